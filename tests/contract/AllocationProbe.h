#pragma once
// Watches the program's operator new and delete while a probe is alive: how many blocks were
// allocated and freed, their sizes, and optionally refuses blocks from a given size on (the
// allocation then throws std::bad_alloc, as the stubs' allocator must).
#include <cstddef>
#include <vector>

namespace contracttest {

class AllocationProbe {
public:
    // `refuseFrom`: blocks of at least this many bytes fail; 0 refuses none.
    explicit AllocationProbe(std::size_t refuseFrom = 0);
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;

    std::size_t Allocated() const;
    std::size_t Freed() const;
    // The sizes of the blocks allocated so far, in order (the first 64).
    std::vector<std::size_t> Sizes() const;
};

} // namespace contracttest
