#include "ntsim/ntlab/LabCommand.h"

namespace ntsim::ntlab {

const std::vector<LabCommand>& LabCommands() {
    static const std::vector<LabCommand> commands = {
        {"start", "[LAB]", "start one ntnode per computer and wait until each answers", StartCommand},
        {"stop", "[LAB]", "stop the lab's ntnodes and every process they started", StopCommand},
        {"status", "[LAB] [--json]", "each computer: address, up or down, services, shares, endpoints", StatusCommand},
        {"events", "NODE", "the event log of a computer", EventsCommand},
        {"exec", "NODE -- COMMAND...", "run a command as a process of a computer", ExecCommand},
        {"reset", "[LAB]", "clear the state of a stopped lab", ResetCommand},
        {"sc", "NODE query|start|stop NAME [ARGS...]", "a service of a computer, as the workstation's account",
         ScCommand},
        {"inject", "NODE OPERATION ERROR", "make the next OPERATION (CopyFileW, ...) on NODE fail with ERROR",
         InjectCommand},
    };
    return commands;
}

} // namespace ntsim::ntlab
