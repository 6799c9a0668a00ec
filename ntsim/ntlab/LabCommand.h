#pragma once
// ntlab's commands: one table (LabCommands.cpp) of names, usage lines and the functions that
// run them. A family that brings a command of its own (`ntlab sc ...`) adds a row there.
#include "ntsim/lab/LabLayout.h"
#include "platform/lab/LabNetwork.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ntsim::ntlab {

struct LabInvocation {
    std::optional<std::filesystem::path> lab; // --lab, or the LAB argument of the commands that take one
    std::optional<std::string> timeScale;     // --time-scale: VTARN_TIME_SCALE of the lab's processes
    bool json = false;                        // --json
    std::vector<std::string> arguments;       // what follows the command name

    // The lab folder: the one given, else VTARN_LAB, else labs/default of the source tree.
    std::filesystem::path LabFolder() const;
    // For the commands whose only argument may name the lab ([LAB]): takes it; false (with
    // `usage` written) when more is given.
    bool TakeOnlyLabArgument(const char* usage);
};

// The lab's name directory and its computer `name`; false, with the reason written, when the
// lab's files are bad or it has no such computer.
bool FindLabComputer(const lab::LabLayout& layout, const std::string& name, platform::lab::LabNetwork& network,
                     const platform::lab::ComputerDef*& computer);

using CommandFunction = int (*)(LabInvocation& invocation);

struct LabCommand {
    std::string_view name;
    std::string_view usage;   // the arguments, as shown by `ntlab help`
    std::string_view summary; // one line
    CommandFunction run;
};

const std::vector<LabCommand>& LabCommands();

// Exit codes: 0 done, 1 failed, 2 bad command line or bad lab files.
inline constexpr int kFailed = 1;
inline constexpr int kBadInput = 2;

int StartCommand(LabInvocation& invocation);
int StopCommand(LabInvocation& invocation);
int StatusCommand(LabInvocation& invocation);
int EventsCommand(LabInvocation& invocation);
int ExecCommand(LabInvocation& invocation);
int ResetCommand(LabInvocation& invocation);
int InjectCommand(LabInvocation& invocation);
int ScCommand(LabInvocation& invocation);

} // namespace ntsim::ntlab
