#pragma once
// Bookkeeping of a lab's processes under its state folder, so that `ntlab stop` from another
// shell finds and stops every process of the lab even when an ntnode has died: each ntnode has
// a pid file, and every process an ntnode starts (the services of the computer) is recorded in
// the computer's processes/ folder while it runs. A record holds the process's start time as
// well, so that a number the system has given to another process since is never stopped.
#include "platform/WinTypes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ntsim::node {

struct ProcessRecord {
    pid_t pid = 0;
    unsigned long long startTime = 0; // clock ticks after boot, from /proc/<pid>/stat
    std::string name;
};

// The record of a live process; nullopt when there is no such process (or only its zombie).
std::optional<ProcessRecord> DescribeProcess(pid_t pid, std::string name);

// True while the recorded process itself (not a later one with its number) runs.
bool IsRunning(const ProcessRecord& record);

// The process group of a live process; nullopt when it has ended.
std::optional<pid_t> ProcessGroupOf(pid_t pid);

// The live processes of a process group (found in /proc).
std::vector<pid_t> ProcessGroupMembers(pid_t group);

bool WriteProcessRecord(const std::filesystem::path& file, const ProcessRecord& record);
std::optional<ProcessRecord> ReadProcessRecord(const std::filesystem::path& file);

// True when `pid`'s environment names `lab` as its VTARN_LAB.
bool BelongsToLab(pid_t pid, const std::filesystem::path& lab);

// Stops a recorded process and what it started: SIGTERM to the process (to its whole process
// group when it leads one), up to `graceMilliseconds` of program time for it to end, then
// SIGKILL to what is left; members of its group that outlived it are found in /proc and
// stopped when their environment names `lab`.
void StopProcessTree(const ProcessRecord& record, DWORD graceMilliseconds, const std::filesystem::path& lab);

class ProcessBook {
public:
    explicit ProcessBook(std::filesystem::path folder);

    // Records a process the computer started; false when it has already ended or the record
    // cannot be written.
    bool Track(pid_t pid, std::string name);
    void Forget(pid_t pid);

    // The recorded processes that still run (records of ended ones are dropped).
    std::vector<ProcessRecord> Running() const;

    // Stops every recorded process of the lab `lab` (StopProcessTree) and drops the records.
    void StopAll(DWORD graceMilliseconds, const std::filesystem::path& lab);

private:
    std::filesystem::path m_folder;
};

} // namespace ntsim::node
