// ntlab inject NODE OPERATION ERROR: the next OPERATION that reaches NODE fails with ERROR
// (one time; give the command again for more).
#include "ntsim/lab/LabLayout.h"
#include "ntsim/node/FaultInjector.h"
#include "ntsim/ntlab/LabCommand.h"
#include "platform/lab/LabNetwork.h"

#include <charconv>
#include <cstdio>

namespace ntsim::ntlab {

int InjectCommand(LabInvocation& invocation) {
    const std::vector<std::string>& arguments = invocation.arguments;
    DWORD error = 0;
    if (arguments.size() == 3) {
        const std::string& text = arguments[2];
        auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), error);
        if (code != std::errc() || end != text.data() + text.size()) {
            error = 0; // not a number: the usage below
        }
    }
    if (arguments.size() != 3 || error == 0) {
        std::fprintf(stderr, "usage: ntlab inject NODE OPERATION ERROR   (ERROR: a non-zero Win32 error number)\n");
        return kBadInput;
    }
    lab::LabLayout layout(invocation.LabFolder());
    platform::lab::LabNetwork network;
    const platform::lab::ComputerDef* computer = nullptr;
    if (!FindLabComputer(layout, arguments[0], network, computer)) {
        return kBadInput;
    }
    std::string message;
    if (!node::FaultInjector::Plan(layout.FaultsFolder(computer->name), arguments[1], error, message)) {
        std::fprintf(stderr, "ntlab: %s\n", message.c_str());
        return kBadInput;
    }
    std::printf("%s: the next %s fails with %u\n", computer->name.c_str(), arguments[1].c_str(), error);
    return 0;
}

} // namespace ntsim::ntlab
