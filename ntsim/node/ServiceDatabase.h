#pragma once
// The registrations of a computer's service control manager and the file that keeps them
// under the computer's state folder, so that services created (or deleted) through the manager
// are still there (or still gone) after a restart of ntnode. The built-in services come from the
// machine profile on every start; the file records only the changes made to them.
#include "platform/WinTypes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ntsim::node {

struct ServiceConfig {
    std::u16string name;
    std::u16string displayName;
    DWORD type = 0x10;        // SERVICE_WIN32_OWN_PROCESS
    DWORD startType = 3;      // SERVICE_DEMAND_START
    DWORD errorControl = 1;   // SERVICE_ERROR_NORMAL
    std::u16string binaryPath; // NT path of the program; empty for a built-in without one
    std::vector<std::u16string> dependencies;
    bool builtIn = false;        // listed by the machine profile
    bool markedForDelete = false; // DeleteService was called; it goes once stopped and unused
};

struct SavedServices {
    std::vector<ServiceConfig> created;        // services made through the manager
    std::vector<std::u16string> removedBuiltIns; // built-in services deleted through it
};

// Reads the file; a missing file is an empty database. A damaged one throws LabFileError.
SavedServices LoadSavedServices(const std::filesystem::path& file);

// Replaces the file in one step; false (with `error` set) when it cannot be written.
bool SaveServices(const std::filesystem::path& file, const SavedServices& services, std::string& error);

// services.toml in the computer's state folder.
std::filesystem::path ServiceDatabaseFile(const std::filesystem::path& computerState);

} // namespace ntsim::node
