#include "ntsim/node/ProcessBook.h"

#include "platform/Clock.h"
#include "platform/LabEnvironment.h"

#include <csignal>
#include <fstream>
#include <sstream>

namespace ntsim::node {
namespace {

struct StatFields {
    char state = '?';
    pid_t group = 0;
    unsigned long long startTime = 0;
};

std::optional<StatFields> ReadStat(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line)) {
        return std::nullopt;
    }
    std::size_t close = line.rfind(')'); // the command name may hold blanks and parentheses
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream rest(line.substr(close + 1));
    StatFields fields;
    long parent = 0, group = 0;
    rest >> fields.state >> parent >> group;
    std::string skipped;
    for (int field = 6; field < 22 && rest; ++field) { // fields 6 to 21, then starttime (22)
        rest >> skipped;
    }
    rest >> fields.startTime;
    if (!rest) {
        return std::nullopt;
    }
    fields.group = static_cast<pid_t>(group);
    return fields;
}

} // namespace

std::optional<ProcessRecord> DescribeProcess(pid_t pid, std::string name) {
    std::optional<StatFields> stat = ReadStat(pid);
    if (!stat || stat->state == 'Z' || stat->state == 'X') {
        return std::nullopt;
    }
    return ProcessRecord{pid, stat->startTime, std::move(name)};
}

bool IsRunning(const ProcessRecord& record) {
    std::optional<StatFields> stat = ReadStat(record.pid);
    return stat && stat->state != 'Z' && stat->state != 'X' && stat->startTime == record.startTime;
}

std::optional<pid_t> ProcessGroupOf(pid_t pid) {
    std::optional<StatFields> stat = ReadStat(pid);
    if (!stat || stat->state == 'Z' || stat->state == 'X') {
        return std::nullopt;
    }
    return stat->group;
}

std::vector<pid_t> ProcessGroupMembers(pid_t group) {
    std::vector<pid_t> members;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        pid_t pid = static_cast<pid_t>(std::stol(name));
        if (ProcessGroupOf(pid) == group) {
            members.push_back(pid);
        }
    }
    return members;
}

bool WriteProcessRecord(const std::filesystem::path& file, const ProcessRecord& record) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << record.pid << ' ' << record.startTime << ' ' << record.name << '\n';
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    return !error;
}

std::optional<ProcessRecord> ReadProcessRecord(const std::filesystem::path& file) {
    std::ifstream in(file);
    ProcessRecord record;
    long pid = 0;
    if (!(in >> pid >> record.startTime) || pid <= 0) {
        return std::nullopt;
    }
    std::getline(in >> std::ws, record.name);
    record.pid = static_cast<pid_t>(pid);
    return record;
}

bool BelongsToLab(pid_t pid, const std::filesystem::path& lab) {
    std::ifstream environ("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    std::string wanted = std::string(platform::lab::kLabVariable) + "=" + lab.string();
    std::string entry;
    while (std::getline(environ, entry, '\0')) {
        if (entry == wanted) {
            return true;
        }
    }
    return false;
}

void StopProcessTree(const ProcessRecord& record, DWORD graceMilliseconds, const std::filesystem::path& lab) {
    if (IsRunning(record)) {
        bool leader = ProcessGroupOf(record.pid) == record.pid;
        pid_t target = leader ? -record.pid : record.pid;
        ::kill(target, SIGTERM);
        auto deadline = platform::DeadlineAfter(graceMilliseconds);
        while (IsRunning(record) && std::chrono::steady_clock::now() < deadline) {
            Sleep(20);
        }
        if (IsRunning(record)) {
            ::kill(target, SIGKILL);
        }
    }
    for (pid_t member : ProcessGroupMembers(record.pid)) {
        if (BelongsToLab(member, lab)) {
            ::kill(member, SIGKILL);
        }
    }
}

ProcessBook::ProcessBook(std::filesystem::path folder) : m_folder(std::move(folder)) {}

bool ProcessBook::Track(pid_t pid, std::string name) {
    std::optional<ProcessRecord> record = DescribeProcess(pid, std::move(name));
    if (!record) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    return WriteProcessRecord(m_folder / std::to_string(pid), *record);
}

void ProcessBook::Forget(pid_t pid) {
    std::error_code error;
    std::filesystem::remove(m_folder / std::to_string(pid), error);
}

std::vector<ProcessRecord> ProcessBook::Running() const {
    std::vector<ProcessRecord> running;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder, error)) {
        std::optional<ProcessRecord> record = ReadProcessRecord(entry.path());
        if (record && IsRunning(*record)) {
            running.push_back(*record);
        } else if (entry.path().extension() != ".tmp") {
            std::filesystem::remove(entry.path(), error);
        }
    }
    return running;
}

void ProcessBook::StopAll(DWORD graceMilliseconds, const std::filesystem::path& lab) {
    for (const ProcessRecord& record : Running()) {
        StopProcessTree(record, graceMilliseconds, lab);
        Forget(record.pid);
    }
}

} // namespace ntsim::node
