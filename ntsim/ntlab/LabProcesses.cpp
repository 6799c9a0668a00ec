#include "ntsim/ntlab/LabProcesses.h"

#include "ntsim/node/NodeControlClient.h"
#include "platform/Clock.h"
#include "platform/LabEnvironment.h"

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace ntsim::ntlab {
namespace {

namespace fs = std::filesystem;

// Program time an ntnode has to stop its services and end after SIGTERM, and to answer after
// its start, before ntlab gives up on it.
constexpr DWORD kStopGrace = 15000;
constexpr DWORD kStartLimit = 30000;

fs::path NodeProgram() {
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error).parent_path() / "ntnode";
}

} // namespace

std::optional<node::ProcessRecord> RunningNode(const lab::LabLayout& layout, const std::string& computer) {
    std::optional<node::ProcessRecord> record = node::ReadProcessRecord(layout.NodePidFile(computer));
    if (record && node::IsRunning(*record)) {
        return record;
    }
    return std::nullopt;
}

pid_t LaunchNode(const lab::LabLayout& layout, const std::string& computer, const std::optional<std::string>& timeScale,
                 std::string& message) {
    std::error_code error;
    fs::create_directories(layout.ComputerState(computer), error);
    std::string program = NodeProgram().string();
    std::string labFolder = layout.Folder().string();
    std::string log = layout.NodeLogFile(computer).string();
    int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (logFd < 0) {
        message = log + ": " + std::strerror(errno);
        return -1;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid(); // a session and process group of its own: stop reaches all it starts
        ::dup2(logFd, 1);
        ::dup2(logFd, 2);
        int nullFd = ::open("/dev/null", O_RDONLY);
        ::dup2(nullFd, 0);
        ::setenv(platform::lab::kLabVariable, labFolder.c_str(), 1);
        ::unsetenv(platform::lab::kComputerVariable);
        ::unsetenv(platform::lab::kAccountVariable);
        if (timeScale) {
            ::setenv(platform::lab::kTimeScaleVariable, timeScale->c_str(), 1);
        }
        ::execl(program.c_str(), program.c_str(), labFolder.c_str(), computer.c_str(), static_cast<char*>(nullptr));
        std::fprintf(stderr, "ntlab: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    ::close(logFd);
    if (pid < 0) {
        message = std::string("fork: ") + std::strerror(errno);
    }
    return pid;
}

bool WaitUntilAnswering(const lab::LabLayout& layout, const platform::lab::ComputerDef& computer, pid_t pid,
                        std::string& message) {
    auto deadline = platform::DeadlineAfter(kStartLimit);
    platform::controlwire::PingReply reply;
    while (std::chrono::steady_clock::now() < deadline) {
        if (node::PingNode(layout, computer, reply) == 0) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            message = "its ntnode ended at its start (exit status " +
                      std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) + ")";
            return false;
        }
        Sleep(20);
    }
    message = "its ntnode gave no answer on " + computer.host + ":" + std::to_string(computer.port);
    return false;
}

StopOutcome StopComputer(const lab::LabLayout& layout, const std::string& computer) {
    std::optional<node::ProcessRecord> nodeRecord = node::ReadProcessRecord(layout.NodePidFile(computer));
    bool wasRunning = nodeRecord && node::IsRunning(*nodeRecord);
    if (nodeRecord) {
        node::StopProcessTree(*nodeRecord, kStopGrace, layout.Folder());
    }
    // What the ntnode could not stop itself (it died, or a process ignored it).
    node::ProcessBook book(layout.ProcessesFolder(computer));
    bool leftovers = false;
    for (const node::ProcessRecord& record : book.Running()) {
        leftovers = true;
        node::StopProcessTree(record, kStopGrace, layout.Folder());
        book.Forget(record.pid);
    }
    std::error_code error;
    fs::remove(layout.NodePidFile(computer), error);
    if (wasRunning) {
        return StopOutcome::Stopped;
    }
    return nodeRecord || leftovers ? StopOutcome::DiedBefore : StopOutcome::NotRunning;
}

std::string NodeLogTail(const lab::LabLayout& layout, const std::string& computer) {
    std::ifstream in(layout.NodeLogFile(computer));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
        if (lines.size() > 5) {
            lines.erase(lines.begin());
        }
    }
    std::string tail;
    for (const std::string& kept : lines) {
        tail += "    " + kept + "\n";
    }
    return tail;
}

} // namespace ntsim::ntlab
