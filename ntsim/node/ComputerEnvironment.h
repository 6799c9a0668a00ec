#pragma once
// The environment of a simulated computer's processes (its services, `ntlab exec`): which lab
// and computer they belong to, the computer's state folder and ntnode, a PATH that finds the
// computer's own tools in its system folder first, and the variables an NT process has
// (COMPUTERNAME, SystemRoot, windir, OS).
#include "ntsim/lab/LabLayout.h"
#include "ntsim/lab/MachineProfile.h"
#include "platform/lab/LabNetwork.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ntsim::node {

using Environment = std::map<std::string, std::string>;

// The current process's environment.
Environment InheritedEnvironment();

// `inherited` with the computer's variables set over it.
Environment ComputerEnvironment(const lab::LabLayout& layout, const platform::lab::ComputerDef& computer,
                                const lab::MachineProfile& profile, Environment inherited);

// The Linux folder of the computer's system folder (<system root>\system32).
std::filesystem::path SystemFolder(const lab::LabLayout& layout, const lab::MachineProfile& profile);

// "NAME=value" strings for execve.
std::vector<std::string> EnvironmentStrings(const Environment& environment);

} // namespace ntsim::node
