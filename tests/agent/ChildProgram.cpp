#include "tests/agent/ChildProgram.h"

#include "platform/Clock.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace agenttest {

std::filesystem::path BuildProgram(const std::string& name) {
    const char* folder = std::getenv("TARN_BIN_DIR");
    std::filesystem::path bin = folder != nullptr
                                    ? std::filesystem::path(folder)
                                    : std::filesystem::read_symlink("/proc/self/exe").parent_path();
    return bin / name;
}

ChildProgram::ChildProgram(const std::filesystem::path& programPath,
                           const std::vector<std::string>& arguments) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarn-child-output-XXXXXX").string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return;
    }
    m_outputFile = pattern;
    const std::string program = programPath.string();
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // The test process may have blocked signals in some thread; the program starts with none.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    if (posix_spawn(&m_pid, program.c_str(), &actions, &attributes, argv.data(), environ) != 0) {
        m_pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fd);
}

ChildProgram::~ChildProgram() {
    if (Running()) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (!m_outputFile.empty()) {
        std::filesystem::remove(m_outputFile);
    }
}

void ChildProgram::Signal(int signal) {
    if (Running()) {
        ::kill(m_pid, signal);
    }
}

bool ChildProgram::Running() {
    if (m_pid <= 0) {
        return false;
    }
    int status = 0;
    pid_t ended = ::waitpid(m_pid, &status, WNOHANG);
    if (ended == 0) {
        return true;
    }
    m_exitCode = ended == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_pid = -1;
    return false;
}

int ChildProgram::WaitForExit(unsigned limitMs) {
    const auto deadline = platform::DeadlineAfter(limitMs);
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            return -1;
        }
        Sleep(20);
    }
    return m_exitCode;
}

std::string ChildProgram::Output() const {
    std::ifstream file(m_outputFile);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace agenttest
