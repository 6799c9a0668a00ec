#pragma once
// One Linux process that a computer's service control manager started for a service: spawned in
// a process group of its own (so that the tools it starts end with it), waited for on a thread
// of its own, which reports how it ended.
#include "platform/WinTypes.h"

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace ntsim::node {

class ServiceProcess {
public:
    // Called once, on the waiting thread, with the exit status (128 + the signal number for a
    // process that a signal ended).
    using ExitHandler = std::function<void(pid_t pid, DWORD exitStatus)>;

    // Starts `program` with `arguments` (argv from argv[1] on; argv[0] is the program) and
    // exactly `environment` ("NAME=value"), standard input from /dev/null, standard output and
    // error those of ntnode. ERROR_FILE_NOT_FOUND when there is no such program,
    // ERROR_ACCESS_DENIED when it cannot be run, another Win32 error when spawning fails.
    static DWORD Start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment, ExitHandler onExit,
                       std::unique_ptr<ServiceProcess>& out);

    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;
    // Ends the process (as Terminate) when it still runs and waits for the waiting thread.
    ~ServiceProcess();

    pid_t Pid() const { return m_pid; }
    bool Ended() const;

    // SIGTERM to the process group, then after `graceMilliseconds` of program time SIGKILL.
    // Returns once the process has ended.
    void Terminate(DWORD graceMilliseconds);

private:
    explicit ServiceProcess(pid_t pid) : m_pid(pid) {}

    struct EndState {
        std::mutex mutex;
        std::condition_variable changed;
        bool ended = false;
    };

    pid_t m_pid;
    std::shared_ptr<EndState> m_end = std::make_shared<EndState>();
    std::thread m_waiter;
};

} // namespace ntsim::node
