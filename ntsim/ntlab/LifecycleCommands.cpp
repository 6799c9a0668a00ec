// ntlab start, stop and reset: bringing a lab's computers up, taking them down, clearing their
// state.
#include "ntsim/lab/LabDefinition.h"
#include "ntsim/ntlab/LabCommand.h"
#include "ntsim/ntlab/LabProcesses.h"
#include "platform/lab/LabFileError.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <system_error>

namespace ntsim::ntlab {
namespace {

namespace fs = std::filesystem;

// The computers whose state a lab holds: those of its name directory when it can be read,
// else every computer folder under state/ (so that a lab whose files went bad can still stop).
std::vector<std::string> ComputersOf(const lab::LabLayout& layout) {
    std::vector<std::string> names;
    try {
        for (const platform::lab::ComputerDef& computer : platform::lab::LoadLabNetwork(layout.NetworkFile()).computers) {
            names.push_back(computer.name);
        }
        return names;
    } catch (const platform::lab::LabFileError&) {
    }
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(layout.StateFolder(), error)) {
        if (entry.is_directory()) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

std::string Address(const platform::lab::ComputerDef& computer) { return computer.host + ":" + std::to_string(computer.port); }

// Held while one ntlab starts, stops or resets a lab, so that two of them at once (two shells,
// two test programs) take turns instead of stopping each other's computers.
class LabLock {
public:
    explicit LabLock(const lab::LabLayout& layout) {
        std::error_code error;
        fs::create_directories(layout.StateFolder(), error);
        m_fd = ::open((layout.StateFolder() / "ntlab.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
    }
    ~LabLock() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    LabLock(const LabLock&) = delete;
    LabLock& operator=(const LabLock&) = delete;

private:
    int m_fd = -1;
};

} // namespace

int StartCommand(LabInvocation& invocation) {
    if (!invocation.TakeOnlyLabArgument("start [LAB]")) {
        return kBadInput;
    }
    lab::LabDefinition definition{lab::LabLayout(invocation.LabFolder()), {}, {}};
    try {
        definition = lab::LoadLab(invocation.LabFolder());
    } catch (const platform::lab::LabFileError& error) {
        std::fprintf(stderr, "ntlab: %s\nntlab: nothing started\n", error.what());
        return kBadInput;
    }
    const lab::LabLayout& layout = definition.layout;
    LabLock lock(layout);
    std::printf("lab %s\n", layout.Folder().c_str());
    std::vector<std::pair<const platform::lab::ComputerDef*, pid_t>> launched;
    std::string failure;
    for (const platform::lab::ComputerDef& computer : definition.network.computers) {
        if (std::optional<node::ProcessRecord> running = RunningNode(layout, computer.name)) {
            std::printf("  %-15s %-21s already up (process %d)\n", computer.name.c_str(), Address(computer).c_str(),
                        static_cast<int>(running->pid));
            continue;
        }
        pid_t pid = LaunchNode(layout, computer.name, invocation.timeScale, failure);
        if (pid < 0) {
            failure = computer.name + ": " + failure;
            break;
        }
        launched.emplace_back(&computer, pid);
    }
    for (const auto& [computer, pid] : launched) {
        if (!failure.empty()) {
            break;
        }
        std::string why;
        if (!WaitUntilAnswering(layout, *computer, pid, why)) {
            failure = computer->name + ": " + why + "\n" + NodeLogTail(layout, computer->name);
            break;
        }
        std::printf("  %-15s %-21s up (process %d)\n", computer->name.c_str(), Address(*computer).c_str(),
                    static_cast<int>(pid));
    }
    if (!failure.empty()) {
        // Nothing half-started stays: the computers started by this command go again.
        for (const auto& [computer, pid] : launched) {
            StopComputer(layout, computer->name);
        }
        std::fprintf(stderr, "ntlab: %s", failure.c_str());
        std::fprintf(stderr, "%sntlab: start abandoned; the computers it had started are stopped again\n",
                     failure.ends_with("\n") ? "" : "\n");
        return kFailed;
    }
    return 0;
}

int StopCommand(LabInvocation& invocation) {
    if (!invocation.TakeOnlyLabArgument("stop [LAB]")) {
        return kBadInput;
    }
    lab::LabLayout layout(invocation.LabFolder());
    std::vector<std::string> computers = ComputersOf(layout);
    if (computers.empty()) {
        std::printf("lab %s: no computers to stop\n", layout.Folder().c_str());
        return 0;
    }
    LabLock lock(layout);
    for (const std::string& computer : computers) {
        switch (StopComputer(layout, computer)) {
        case StopOutcome::Stopped:
            std::printf("  %-15s stopped\n", computer.c_str());
            break;
        case StopOutcome::DiedBefore:
            std::printf("  %-15s had ended; what it left running is stopped\n", computer.c_str());
            break;
        case StopOutcome::NotRunning:
            std::printf("  %-15s was not running\n", computer.c_str());
            break;
        }
    }
    return 0;
}

int ResetCommand(LabInvocation& invocation) {
    if (!invocation.TakeOnlyLabArgument("reset [LAB]")) {
        return kBadInput;
    }
    lab::LabLayout layout(invocation.LabFolder());
    LabLock lock(layout);
    for (const std::string& computer : ComputersOf(layout)) {
        if (RunningNode(layout, computer)) {
            std::fprintf(stderr, "ntlab: %s is running; stop the lab first (ntlab stop)\n", computer.c_str());
            return kFailed;
        }
    }
    std::error_code error;
    fs::remove_all(layout.StateFolder(), error);
    if (error) {
        std::fprintf(stderr, "ntlab: %s: %s\n", layout.StateFolder().c_str(), error.message().c_str());
        return kFailed;
    }
    std::printf("lab %s: state cleared\n", layout.Folder().c_str());
    return 0;
}

} // namespace ntsim::ntlab
