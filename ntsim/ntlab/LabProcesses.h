#pragma once
// The processes of a running lab as ntlab starts and stops them: one ntnode per computer, in a
// session and process group of its own, its output in the computer's ntnode.log; stopping a
// computer stops its ntnode and every process recorded for it, with their process groups,
// also when the ntnode has died.
#include "ntsim/lab/LabLayout.h"
#include "ntsim/node/ProcessBook.h"
#include "platform/lab/LabNetwork.h"

#include <optional>
#include <string>

namespace ntsim::ntlab {

// The running ntnode of `computer`, from its pid file; nullopt when it does not run.
std::optional<node::ProcessRecord> RunningNode(const lab::LabLayout& layout, const std::string& computer);

// Starts `computer`'s ntnode (VTARN_TIME_SCALE set to `timeScale` when given); its process id,
// or -1 with `message` set.
pid_t LaunchNode(const lab::LabLayout& layout, const std::string& computer, const std::optional<std::string>& timeScale,
                 std::string& message);

// True once the ntnode answers; false when the process `pid` ended first or gave no answer in
// time (`message` says which).
bool WaitUntilAnswering(const lab::LabLayout& layout, const platform::lab::ComputerDef& computer, pid_t pid,
                        std::string& message);

enum class StopOutcome { Stopped, NotRunning, DiedBefore };

// Stops the ntnode of `computer` and every process it started, leaving none behind.
StopOutcome StopComputer(const lab::LabLayout& layout, const std::string& computer);

// The last lines of a computer's ntnode.log, for a message.
std::string NodeLogTail(const lab::LabLayout& layout, const std::string& computer);

} // namespace ntsim::ntlab
