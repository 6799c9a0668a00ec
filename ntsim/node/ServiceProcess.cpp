#include "ntsim/node/ServiceProcess.h"

#include "platform/Clock.h"
#include "platform/WinError.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ntsim::node {
namespace {

DWORD SpawnError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOEXEC: return ERROR_BAD_FORMAT;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_GEN_FAILURE;
    }
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

DWORD ExitStatusOf(int status) {
    if (WIFEXITED(status)) {
        return static_cast<DWORD>(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return 128u + static_cast<DWORD>(WTERMSIG(status));
    }
    return ERROR_GEN_FAILURE;
}

} // namespace

DWORD ServiceProcess::Start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment, ExitHandler onExit,
                            std::unique_ptr<ServiceProcess>& out) {
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = environment;
    std::vector<char*> argvPointers = PointersTo(argv);
    std::vector<char*> envPointers = PointersTo(envp);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // ntnode's sockets and files are none of the service's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    int error = posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, argvPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        return SpawnError(error);
    }

    std::unique_ptr<ServiceProcess> process(new ServiceProcess(pid));
    process->m_waiter = std::thread([pid, end = process->m_end, onExit = std::move(onExit)] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        {
            std::lock_guard lock(end->mutex);
            end->ended = true;
        }
        end->changed.notify_all();
        if (onExit) {
            onExit(pid, ExitStatusOf(status));
        }
    });
    out = std::move(process);
    return ERROR_SUCCESS;
}

ServiceProcess::~ServiceProcess() {
    Terminate(2000);
    if (m_waiter.get_id() == std::this_thread::get_id()) {
        m_waiter.detach(); // the last owner let go in the exit handler, which is ending now
    } else if (m_waiter.joinable()) {
        m_waiter.join();
    }
}

bool ServiceProcess::Ended() const {
    std::lock_guard lock(m_end->mutex);
    return m_end->ended;
}

void ServiceProcess::Terminate(DWORD graceMilliseconds) {
    std::unique_lock lock(m_end->mutex);
    if (m_end->ended) {
        return;
    }
    ::kill(-m_pid, SIGTERM);
    if (!m_end->changed.wait_until(lock, platform::DeadlineAfter(graceMilliseconds), [&] { return m_end->ended; })) {
        ::kill(-m_pid, SIGKILL);
        m_end->changed.wait(lock, [&] { return m_end->ended; });
    }
}

} // namespace ntsim::node
