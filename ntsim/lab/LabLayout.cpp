#include "ntsim/lab/LabLayout.h"

#include "platform/LabEnvironment.h"

#include <system_error>

namespace ntsim::lab {

LabLayout::LabLayout(std::filesystem::path labFolder) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(labFolder, error);
    m_folder = error ? std::filesystem::absolute(labFolder).lexically_normal() : canonical;
}

std::filesystem::path LabLayout::NetworkFile() const { return m_folder / "network.toml"; }
std::filesystem::path LabLayout::FabricFolder() const { return m_folder / "fabric"; }
std::filesystem::path LabLayout::MachineFile(const std::string& computer) const {
    return m_folder / computer / "machine.toml";
}

std::filesystem::path LabLayout::StateFolder() const { return m_folder / "state"; }
std::filesystem::path LabLayout::ComputerState(const std::string& computer) const { return StateFolder() / computer; }
std::filesystem::path LabLayout::DrivesFolder(const std::string& computer) const {
    return ComputerState(computer) / platform::lab::kDrivesFolder;
}
std::filesystem::path LabLayout::MachineKeyFile(const std::string& computer) const {
    return ComputerState(computer) / platform::lab::kMachineKeyFile;
}
std::filesystem::path LabLayout::RegistryFile(const std::string& computer) const {
    return ComputerState(computer) / "registry.toml";
}
std::filesystem::path LabLayout::SharesFile(const std::string& computer) const {
    return ComputerState(computer) / "shares.toml";
}
std::filesystem::path LabLayout::EventLogFile(const std::string& computer) const {
    return ComputerState(computer) / "eventlog.toml";
}
std::filesystem::path LabLayout::NodePidFile(const std::string& computer) const {
    return ComputerState(computer) / "ntnode.pid";
}
std::filesystem::path LabLayout::NodeLogFile(const std::string& computer) const {
    return ComputerState(computer) / "ntnode.log";
}
std::filesystem::path LabLayout::ProcessesFolder(const std::string& computer) const {
    return ComputerState(computer) / "processes";
}
std::filesystem::path LabLayout::FaultsFolder(const std::string& computer) const {
    return ComputerState(computer) / "faults";
}

} // namespace ntsim::lab
