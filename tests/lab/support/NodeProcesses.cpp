#include "tests/lab/support/NodeProcesses.h"

#include "ntsim/node/NodeControlClient.h"
#include "platform/Clock.h"
#include "platform/lab/LabNetwork.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace labtest {

std::filesystem::path Program(const std::string& name) {
    const char* folder = std::getenv("TARN_BIN_DIR");
    if (folder == nullptr) {
        throw std::runtime_error("TARN_BIN_DIR is not set; run the tests through ctest");
    }
    return std::filesystem::path(folder) / name;
}

std::pair<std::string, int> RunCommand(const std::string& command) {
    FILE* output = ::popen((command + " 2>&1").c_str(), "r");
    std::string text;
    char chunk[256];
    while (output != nullptr && std::fgets(chunk, sizeof chunk, output) != nullptr) {
        text += chunk;
    }
    int status = output != nullptr ? ::pclose(output) : -1;
    return {text, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

NodeProcesses::~NodeProcesses() {
    while (!m_running.empty()) {
        Stop(m_running.begin()->first);
    }
}

void NodeProcesses::Start(const std::string& computer) {
    std::string program = Program("ntnode").string();
    std::string folder = m_lab.Folder().string();
    std::string log = (m_lab.Folder() / (computer + ".log")).string();
    pid_t pid = ::fork();
    if (pid == 0) {
        int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execl(program.c_str(), program.c_str(), folder.c_str(), computer.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    m_running[computer] = pid;
    platform::lab::LabNetwork network = platform::lab::LoadLabNetwork(m_lab.Folder() / "network.toml");
    const platform::lab::ComputerDef* def = network.FindComputer(computer);
    platform::controlwire::PingReply reply;
    auto deadline = platform::DeadlineAfter(15000);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ntsim::node::PingNode(ntsim::lab::LabLayout(m_lab.Folder()), *def, reply) == 0) {
            return;
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            m_running.erase(computer);
            throw std::runtime_error("ntnode " + computer + " ended at its start; see " + log);
        }
        Sleep(20);
    }
    throw std::runtime_error("ntnode " + computer + " does not answer; see " + log);
}

int NodeProcesses::Stop(const std::string& computer) {
    auto found = m_running.find(computer);
    if (found == m_running.end()) {
        return -1;
    }
    ::kill(found->second, SIGTERM);
    int status = 0;
    ::waitpid(found->second, &status, 0);
    m_running.erase(found);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ScopedVariable::ScopedVariable(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* saved = std::getenv(name)) {
        m_saved = saved;
    }
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

ScopedVariable::~ScopedVariable() {
    if (m_saved) {
        ::setenv(m_name.c_str(), m_saved->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

} // namespace labtest
