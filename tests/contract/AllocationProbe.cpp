#include "tests/contract/AllocationProbe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace contracttest {
namespace {

constexpr std::size_t kKeptSizes = 64;

// Plain counters: operator new may not allocate to record what it does.
std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_allocated{0};
std::atomic<std::size_t> g_freed{0};
std::atomic<std::size_t> g_refuseFrom{0};
std::size_t g_sizes[kKeptSizes];

void* Allocate(std::size_t size) {
    if (g_watching.load()) {
        std::size_t refuseFrom = g_refuseFrom.load();
        if (refuseFrom != 0 && size >= refuseFrom) {
            throw std::bad_alloc();
        }
        std::size_t index = g_allocated.fetch_add(1);
        if (index < kKeptSizes) {
            g_sizes[index] = size;
        }
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void Free(void* block) {
    if (block != nullptr && g_watching.load()) {
        g_freed.fetch_add(1);
    }
    std::free(block);
}

} // namespace

AllocationProbe::AllocationProbe(std::size_t refuseFrom) {
    g_allocated = 0;
    g_freed = 0;
    g_refuseFrom = refuseFrom;
    g_watching = true;
}

AllocationProbe::~AllocationProbe() {
    g_watching = false;
}

std::size_t AllocationProbe::Allocated() const {
    return g_allocated.load();
}
std::size_t AllocationProbe::Freed() const {
    return g_freed.load();
}

std::vector<std::size_t> AllocationProbe::Sizes() const {
    g_watching = false; // the vector below is not part of what is watched
    std::size_t count = std::min(g_allocated.load(), kKeptSizes);
    std::vector<std::size_t> sizes(g_sizes, g_sizes + count);
    g_watching = true;
    return sizes;
}

} // namespace contracttest

void* operator new(std::size_t size) {
    return contracttest::Allocate(size);
}
void* operator new[](std::size_t size) {
    return contracttest::Allocate(size);
}
void operator delete(void* block) noexcept {
    contracttest::Free(block);
}
void operator delete[](void* block) noexcept {
    contracttest::Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    contracttest::Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    contracttest::Free(block);
}
