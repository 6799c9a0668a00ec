#include "ntsim/node/ComputerEnvironment.h"

#include "platform/LabEnvironment.h"
#include "platform/NtPath.h"
#include "platform/Utf16.h"

extern char** environ;

namespace ntsim::node {

namespace env = platform::lab;

Environment InheritedEnvironment() {
    Environment environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::size_t equals = text.find('=');
        if (equals != std::string::npos && equals > 0) {
            environment[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    return environment;
}

std::filesystem::path SystemFolder(const lab::LabLayout& layout, const lab::MachineProfile& profile) {
    // Worked out from the profile, so that it is known before the computer's first start.
    platform::NtPathParts parts;
    platform::ParseNtPath(platform::ToUtf16(profile.os.systemRoot + "\\system32"), parts);
    std::filesystem::path folder;
    platform::AppendIgnoringCase(layout.DrivesFolder(profile.computer) / std::string(1, static_cast<char>(parts.drive)),
                                 parts.components, folder);
    return folder;
}

Environment ComputerEnvironment(const lab::LabLayout& layout, const platform::lab::ComputerDef& computer,
                                const lab::MachineProfile& profile, Environment environment) {
    environment[env::kLabVariable] = layout.Folder().string();
    environment[env::kComputerVariable] = computer.name;
    environment[env::kComputerDirVariable] = layout.ComputerState(computer.name).string();
    environment[env::kNodeAddressVariable] = computer.host + ":" + std::to_string(computer.port);
    std::filesystem::path system = SystemFolder(layout, profile);
    std::string path = system.string() + ":" + system.parent_path().string();
    auto inheritedPath = environment.find("PATH");
    if (inheritedPath != environment.end() && !inheritedPath->second.empty()) {
        path += ":" + inheritedPath->second;
    }
    environment["PATH"] = path;
    environment["COMPUTERNAME"] = computer.name;
    environment["SystemRoot"] = profile.os.systemRoot;
    environment["windir"] = profile.os.systemRoot;
    environment["OS"] = "Windows_NT";
    return environment;
}

std::vector<std::string> EnvironmentStrings(const Environment& environment) {
    std::vector<std::string> strings;
    for (const auto& [name, value] : environment) {
        strings.push_back(name + "=" + value);
    }
    return strings;
}

} // namespace ntsim::node
