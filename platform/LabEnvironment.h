#pragma once
// How a process learns which lab and which simulated computer it belongs to.
//
// ntlab and ntnode set these variables for every process of a lab (ntlab exec, the services a
// computer starts); ./run.sh sets VTARN_LAB for the console. Without VTARN_LAB there is no lab and
// every computer name is unknown. A process with VTARN_LAB but without VTARN_COMPUTER runs on the
// lab's workstation.
#include <filesystem>
#include <optional>
#include <string>

namespace platform::lab {

inline constexpr const char* kLabVariable = "VTARN_LAB";                 // the lab folder
inline constexpr const char* kComputerVariable = "VTARN_COMPUTER";       // this process's computer
inline constexpr const char* kComputerDirVariable = "VTARN_COMPUTER_DIR"; // its state folder
inline constexpr const char* kNodeAddressVariable = "VTARN_NTNODE";     // its ntnode, "host:port"
inline constexpr const char* kAccountVariable = "VTARN_ACCOUNT";         // acts as this account
inline constexpr const char* kTimeScaleVariable = "VTARN_TIME_SCALE";

// The parts of a computer's state folder that the computer's own processes use directly.
inline constexpr const char* kDrivesFolder = "drives";          // drives/<letter>/ holds drive <letter>:
inline constexpr const char* kMachineKeyFile = "machine.key";   // the computer's own logon secret

// The value of an environment variable; nullopt when it is unset or empty.
std::optional<std::string> EnvironmentValue(const char* name);

// VTARN_LAB as a folder, VTARN_COMPUTER_DIR as a folder; nullopt when unset.
std::optional<std::filesystem::path> LabFolder();
std::optional<std::filesystem::path> ComputerFolder();

} // namespace platform::lab
