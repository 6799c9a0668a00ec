#pragma once
// ntnode processes of a temporary lab for one test, and the environment a test process needs
// to act as a process of that lab.
#include "tests/lab/support/TempLab.h"

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>

namespace labtest {

// A program of the build ($TARN_BIN_DIR/name).
std::filesystem::path Program(const std::string& name);

// Runs `command` through the shell and waits for it: what it printed (standard output and
// standard error) and its exit status (-1 when it did not exit).
std::pair<std::string, int> RunCommand(const std::string& command);

class NodeProcesses {
public:
    explicit NodeProcesses(const TempLab& lab) : m_lab(lab) {}
    ~NodeProcesses();

    // Starts `computer`'s ntnode and waits until it answers.
    void Start(const std::string& computer);
    // SIGTERM, then waits for it to end; its exit status.
    int Stop(const std::string& computer);

private:
    const TempLab& m_lab;
    std::map<std::string, pid_t> m_running;
};

// Sets an environment variable for the life of the object (unset when `value` is nullopt).
class ScopedVariable {
public:
    ScopedVariable(const char* name, std::optional<std::string> value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

} // namespace labtest
