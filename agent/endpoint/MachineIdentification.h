#pragma once
// The agent's one machine identification object: which row of the model tables procedure 2
// matched last. The storage and adapter probes (procedures 5, 9, 10 and 13) read it to find the
// controllers and storage boxes of this machine's model.
#include "platform/WinTypes.h"

#include <atomic>

namespace agent {

class MachineIdentification {
public:
    // Row 0 of each model table is the placeholder of a machine that was not recognised.
    static constexpr LONG kNoModelFound = 0;

    LONG MachineIndex() const { return m_machineIndex.load(); }
    void SetMachineIndex(LONG index) { m_machineIndex.store(index); }

private:
    // Written by one call and read by later ones, possibly on other RPC threads.
    std::atomic<LONG> m_machineIndex{kNoModelFound};
};

// The object of this process, built before the program's entry runs.
MachineIdentification& TheMachineIdentification();

} // namespace agent
