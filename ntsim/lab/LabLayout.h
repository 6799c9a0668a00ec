#pragma once
// Where a lab keeps what: the definition (network.toml, one folder per computer with its
// machine.toml, fabric/) and the state of the running computers under state/, one folder per
// computer. The definition is read-only input; everything the computers change lives in state/.
#include <filesystem>
#include <string>

namespace ntsim::lab {

class LabLayout {
public:
    explicit LabLayout(std::filesystem::path labFolder);

    const std::filesystem::path& Folder() const { return m_folder; }
    std::filesystem::path NetworkFile() const;
    std::filesystem::path FabricFolder() const;
    std::filesystem::path MachineFile(const std::string& computer) const;

    std::filesystem::path StateFolder() const;
    // state/<computer>: the computer's folder, VTARN_COMPUTER_DIR of its processes.
    std::filesystem::path ComputerState(const std::string& computer) const;
    std::filesystem::path DrivesFolder(const std::string& computer) const;
    std::filesystem::path MachineKeyFile(const std::string& computer) const;
    std::filesystem::path RegistryFile(const std::string& computer) const;
    std::filesystem::path SharesFile(const std::string& computer) const;
    std::filesystem::path EventLogFile(const std::string& computer) const;
    std::filesystem::path NodePidFile(const std::string& computer) const; // ntnode's own process
    std::filesystem::path NodeLogFile(const std::string& computer) const; // ntnode's output
    std::filesystem::path ProcessesFolder(const std::string& computer) const; // processes it started
    std::filesystem::path FaultsFolder(const std::string& computer) const;   // one-time failures

private:
    std::filesystem::path m_folder; // absolute and normalised
};

} // namespace ntsim::lab
