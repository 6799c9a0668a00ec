// ntlab exec NODE -- COMMAND...: runs a command as a process of a computer, with the
// computer's environment (ComputerEnvironment.h); the command replaces ntlab, so its exit code
// is ntlab's.
#include "ntsim/lab/LabDefinition.h"
#include "ntsim/node/ComputerEnvironment.h"
#include "ntsim/ntlab/LabCommand.h"
#include "platform/LabEnvironment.h"
#include "platform/lab/LabFileError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace ntsim::ntlab {

int ExecCommand(LabInvocation& invocation) {
    std::vector<std::string>& arguments = invocation.arguments;
    if (arguments.size() >= 2 && arguments[1] == "--") {
        arguments.erase(arguments.begin() + 1);
    }
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: ntlab exec NODE -- COMMAND...\n");
        return kBadInput;
    }
    lab::LabLayout layout(invocation.LabFolder());
    platform::lab::LabNetwork network;
    const platform::lab::ComputerDef* computer = nullptr;
    if (!FindLabComputer(layout, arguments[0], network, computer)) {
        return kBadInput;
    }
    node::Environment environment;
    try {
        lab::MachineProfile profile = lab::LoadComputerProfile(layout, network, *computer);
        environment = node::ComputerEnvironment(layout, *computer, profile, node::InheritedEnvironment());
    } catch (const platform::lab::LabFileError& error) {
        std::fprintf(stderr, "ntlab: %s\n", error.what());
        return kBadInput;
    }
    if (invocation.timeScale) {
        environment[platform::lab::kTimeScaleVariable] = *invocation.timeScale;
    }
    std::vector<std::string> strings = node::EnvironmentStrings(environment);
    std::vector<char*> envp;
    for (std::string& entry : strings) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (auto it = arguments.begin() + 1; it != arguments.end(); ++it) {
        argv.push_back(it->data());
    }
    argv.push_back(nullptr);
    // The computer's PATH finds the command (its own tools first).
    ::environ = envp.data();
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "ntlab: cannot run %s: %s\n", argv[0], std::strerror(errno));
    return 127;
}

} // namespace ntsim::ntlab
