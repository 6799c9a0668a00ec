#pragma once
// A program of the build (VtarnSvc.exe, ntlab) run as a child process of a test, with its
// standard output kept in a file.
#include <signal.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace agenttest {

// $TARN_BIN_DIR/<name>, or the program of that name beside this test program.
std::filesystem::path BuildProgram(const std::string& name);

class ChildProgram {
public:
    // Starts `program` with `arguments` (after the program itself) and this process's
    // environment.
    ChildProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    // Kills the program when it still runs.
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    pid_t Pid() const { return m_pid; }
    // Sends `signal` while the program runs.
    void Signal(int signal);

    // Waits for the program to end, for at most `limitMs` of program time; then kills it.
    // Its exit code, or -1 when it had to be killed or a signal ended it.
    int WaitForExit(unsigned limitMs = 60000);
    bool Running();

    // What it has written to its standard output so far.
    std::string Output() const;

private:
    pid_t m_pid = -1;
    int m_exitCode = -1;
    std::filesystem::path m_outputFile;
};

} // namespace agenttest
