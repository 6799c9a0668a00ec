#pragma once
// One simulated computer as its ntnode holds it: the lab's name directory, the computer's
// profile, its state folder (prepared on the first start), and the parts its families share:
// registry, shares, files, event log, logon authority, one-time failures and the processes it
// started.
#include "ntsim/lab/LabLayout.h"
#include "ntsim/lab/MachineProfile.h"
#include "ntsim/node/ComputerEnvironment.h"
#include "ntsim/node/EventLogStore.h"
#include "ntsim/node/FaultInjector.h"
#include "ntsim/node/FileService.h"
#include "ntsim/node/LogonAuthority.h"
#include "ntsim/node/ProcessBook.h"
#include "ntsim/node/RegistryStore.h"
#include "ntsim/node/ShareStore.h"
#include "platform/NtPath.h"
#include "platform/lab/LabNetwork.h"

#include <memory>
#include <string>

namespace ntsim::node {

class Node {
public:
    // Prepares the computer's state folder if needed and opens its stores; throws LabFileError
    // for a state file that is damaged or a state folder that cannot be written.
    Node(lab::LabLayout layout, platform::lab::LabNetwork network, const std::string& computer, lab::MachineProfile profile);

    const std::string& Name() const { return m_computer.name; }
    const platform::lab::ComputerDef& Computer() const { return m_computer; }
    const lab::LabLayout& Layout() const { return m_layout; }
    const platform::lab::LabNetwork& Network() const { return m_network; }
    const lab::MachineProfile& Profile() const { return m_profile; }
    std::filesystem::path StateFolder() const { return m_layout.ComputerState(Name()); }
    const platform::DriveMap& Drives() const { return m_drives; }

    // The environment for a process this computer starts (it runs as the computer's SYSTEM).
    Environment ProcessEnvironment() const;

    RegistryStore& Registry() { return *m_registry; }
    ShareStore& Shares() { return *m_shares; }
    FileService& Files() { return *m_files; }
    EventLogStore& EventLog() { return *m_eventLog; }
    LogonAuthority& Logon() { return *m_logon; }
    const FaultInjector& Faults() const { return m_faults; }
    ProcessBook& Processes() { return m_processes; }

private:
    lab::LabLayout m_layout;
    platform::lab::LabNetwork m_network;
    platform::lab::ComputerDef m_computer;
    lab::MachineProfile m_profile;
    platform::DriveMap m_drives;
    FaultInjector m_faults;
    ProcessBook m_processes;
    std::unique_ptr<RegistryStore> m_registry;
    std::unique_ptr<ShareStore> m_shares;
    std::unique_ptr<FileService> m_files;
    std::unique_ptr<EventLogStore> m_eventLog;
    std::unique_ptr<LogonAuthority> m_logon;
};

// The computer's machine key (state/<computer>/machine.key), made on the first start.
platform::logon::Digest ReadOrCreateMachineKey(const std::filesystem::path& file);

} // namespace ntsim::node
