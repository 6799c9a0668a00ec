// ntlab: starts, stops and reports on a lab of simulated NT computers. `ntlab help` lists the
// commands (LabCommands.cpp).
#include "ntsim/ntlab/LabCommand.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using ntsim::ntlab::LabCommand;
using ntsim::ntlab::LabCommands;
using ntsim::ntlab::LabInvocation;

int Help(FILE* out) {
    std::fprintf(out, "usage: ntlab [--lab LAB] [--time-scale X] COMMAND [ARGUMENTS]\n\n");
    for (const LabCommand& command : LabCommands()) {
        std::string line = std::string(command.name) + " " + std::string(command.usage);
        std::fprintf(out, "  %-34s %.*s\n", line.c_str(), static_cast<int>(command.summary.size()),
                     command.summary.data());
    }
    std::fprintf(out, "\nWithout LAB: $VTARN_LAB, else labs/default of the source tree.\n");
    return out == stdout ? 0 : ntsim::ntlab::kBadInput;
}

// A positive number, as VTARN_TIME_SCALE takes it.
bool IsTimeScale(const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && value > 0.0;
}

} // namespace

int main(int argc, char** argv) {
    LabInvocation invocation;
    const LabCommand* chosen = nullptr;
    bool verbatim = false; // after "--": a command line of its own (ntlab exec)
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (chosen != nullptr && (verbatim || argument != "--json")) {
            verbatim = verbatim || argument == "--";
            invocation.arguments.push_back(argument);
        } else if (argument == "--json") {
            invocation.json = true;
        } else if ((argument == "--lab" || argument == "--time-scale") && i + 1 < argc) {
            std::string value = argv[++i];
            if (argument == "--lab") {
                invocation.lab = value;
            } else if (IsTimeScale(value)) {
                invocation.timeScale = value;
            } else {
                std::fprintf(stderr, "ntlab: --time-scale wants a positive number, not \"%s\"\n", value.c_str());
                return ntsim::ntlab::kBadInput;
            }
        } else if (argument == "help" || argument == "--help" || argument == "-h") {
            return Help(stdout);
        } else {
            for (const LabCommand& command : LabCommands()) {
                if (command.name == argument) {
                    chosen = &command;
                }
            }
            if (chosen == nullptr) {
                std::fprintf(stderr, "ntlab: unknown command or option \"%s\"\n", argument.c_str());
                return Help(stderr);
            }
        }
    }
    if (chosen == nullptr) {
        return Help(stderr);
    }
    return chosen->run(invocation);
}
