// ntlab as a user runs it: start, status and stop of a lab made in a temporary folder, stop
// leaving no process of the lab behind (also when an ntnode died and left a process running),
// a bad lab file starting nothing, and the default lab of the source tree.
#include "ntsim/node/ProcessBook.h"
#include "platform/LabEnvironment.h"
#include "tests/lab/support/NodeProcesses.h"
#include "tests/lab/support/TempLab.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct NtlabRun {
    int exitCode = -1;
    std::string output; // standard output and standard error
};

// Runs ntlab with `arguments` (each a word) and waits for it.
NtlabRun RunNtlab(const std::vector<std::string>& arguments) {
    std::string command = labtest::Program("ntlab").string();
    for (const std::string& argument : arguments) {
        command += " '" + argument + "'";
    }
    command += " 2>&1";
    NtlabRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 4096> buffer{};
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
        run.output.append(buffer.data(), n);
    }
    int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The processes whose environment names `lab` as their VTARN_LAB.
std::vector<pid_t> ProcessesOfLab(const fs::path& lab) {
    std::string wanted = std::string(platform::lab::kLabVariable) + "=" + fs::weakly_canonical(lab).string();
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos || !ntsim::node::DescribeProcess(std::stoi(name), "")) {
            continue;
        }
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(environ, variable, '\0')) {
            if (variable == wanted) {
                found.push_back(std::stoi(name));
                break;
            }
        }
    }
    return found;
}

class NtlabCommands : public testing::Test {
protected:
    NtlabCommands() : m_noLab(platform::lab::kLabVariable, std::nullopt) { m_lab.WriteStandard(labtest::FreePorts(3)); }
    ~NtlabCommands() override { RunNtlab({"stop", m_lab.Folder().string()}); }

    labtest::TempLab m_lab;
    labtest::ScopedVariable m_noLab;
};

TEST_F(NtlabCommands, StartStatusStopLeaveNoProcessBehind) {
    NtlabRun start = RunNtlab({"start", m_lab.Folder().string()});
    ASSERT_EQ(start.exitCode, 0) << start.output;
    for (const char* computer : {"NODE1", "NODE2", "ADMINWS"}) {
        EXPECT_NE(start.output.find(computer), std::string::npos) << start.output;
    }
    EXPECT_EQ(ProcessesOfLab(m_lab.Folder()).size(), 3u);

    NtlabRun again = RunNtlab({"start", m_lab.Folder().string()});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_NE(again.output.find("already up"), std::string::npos) << again.output;
    EXPECT_EQ(ProcessesOfLab(m_lab.Folder()).size(), 3u);

    NtlabRun status = RunNtlab({"status", m_lab.Folder().string()});
    ASSERT_EQ(status.exitCode, 0) << status.output;
    EXPECT_NE(status.output.find("NODE1"), std::string::npos);
    EXPECT_NE(status.output.find("ADMIN$ C:\\WINNT"), std::string::npos) << status.output;
    EXPECT_EQ(status.output.find("down"), std::string::npos) << status.output;

    NtlabRun json = RunNtlab({"status", m_lab.Folder().string(), "--json"});
    ASSERT_EQ(json.exitCode, 0);
    EXPECT_NE(json.output.find("\"computers\""), std::string::npos) << json.output;
    EXPECT_NE(json.output.find("\"up\" : true"), std::string::npos) << json.output;
    EXPECT_NE(json.output.find("\"shares\""), std::string::npos) << json.output;

    NtlabRun stop = RunNtlab({"stop", m_lab.Folder().string()});
    ASSERT_EQ(stop.exitCode, 0) << stop.output;
    EXPECT_TRUE(ProcessesOfLab(m_lab.Folder()).empty());
    NtlabRun down = RunNtlab({"status", "--json", m_lab.Folder().string()});
    EXPECT_EQ(down.output.find("\"up\" : true"), std::string::npos) << down.output;
    EXPECT_NE(RunNtlab({"stop", m_lab.Folder().string()}).output.find("was not running"), std::string::npos);
}

TEST_F(NtlabCommands, StopCopesWithANodeThatDiedAndStopsWhatItLeftRunning) {
    ASSERT_EQ(RunNtlab({"start", m_lab.Folder().string()}).exitCode, 0);
    // A process NODE1 started, in a group of its own as service processes are.
    pid_t orphan = ::fork();
    if (orphan == 0) {
        ::setpgid(0, 0);
        std::string lab = fs::weakly_canonical(m_lab.Folder()).string();
        ::setenv(platform::lab::kLabVariable, lab.c_str(), 1);
        ::execlp("sleep", "sleep", "600", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ntsim::node::ProcessBook book(m_lab.Folder() / "state/NODE1/processes");
    for (int attempt = 0; attempt < 200 && ProcessesOfLab(m_lab.Folder()).size() < 4; ++attempt) {
        ::usleep(10000); // until the child has exec'd with the lab's environment
    }
    ASSERT_TRUE(book.Track(orphan, "sleep"));

    std::optional<ntsim::node::ProcessRecord> node1 =
        ntsim::node::ReadProcessRecord(m_lab.Folder() / "state/NODE1/ntnode.pid");
    ASSERT_TRUE(node1);
    ::kill(node1->pid, SIGKILL);
    for (int attempt = 0; attempt < 200 && ntsim::node::IsRunning(*node1); ++attempt) {
        ::usleep(10000);
    }

    NtlabRun stop = RunNtlab({"stop", m_lab.Folder().string()});
    ASSERT_EQ(stop.exitCode, 0) << stop.output;
    EXPECT_NE(stop.output.find("had ended"), std::string::npos) << stop.output;
    int status = 0;
    EXPECT_EQ(::waitpid(orphan, &status, 0), orphan);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(ProcessesOfLab(m_lab.Folder()).empty());
}

TEST_F(NtlabCommands, BadLabFileStartsNothing) {
    m_lab.Write("NODE2/machine.toml", "[os]\nproduct_type = \"Server\"\n");
    NtlabRun start = RunNtlab({"start", m_lab.Folder().string()});
    EXPECT_EQ(start.exitCode, 2);
    EXPECT_NE(start.output.find("NODE2/machine.toml:2: os.product_type: expected one of"), std::string::npos)
        << start.output;
    EXPECT_NE(start.output.find("nothing started"), std::string::npos);
    EXPECT_TRUE(ProcessesOfLab(m_lab.Folder()).empty());
    EXPECT_FALSE(fs::exists(m_lab.Folder() / "state"));
}

TEST_F(NtlabCommands, PortTakenAbandonsTheStartWholly) {
    labtest::TempLab copy; // NODE2's port held by the NODE2 of a copy of the lab
    for (const char* file : {"network.toml", "ADMINWS/machine.toml", "NODE1/machine.toml", "NODE2/machine.toml"}) {
        std::ifstream in(m_lab.Folder() / file);
        copy.Write(file, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    labtest::NodeProcesses holder(copy);
    holder.Start("NODE2");
    NtlabRun start = RunNtlab({"start", m_lab.Folder().string()});
    EXPECT_EQ(start.exitCode, 1) << start.output;
    EXPECT_NE(start.output.find("NODE2"), std::string::npos) << start.output;
    EXPECT_TRUE(ProcessesOfLab(m_lab.Folder()).empty()) << start.output;
}

TEST_F(NtlabCommands, ExecRunsACommandAsAProcessOfTheComputer) {
    fs::path out = m_lab.Folder() / "env.txt";
    NtlabRun exec = RunNtlab({"--lab", m_lab.Folder().string(), "exec", "NODE1", "--", "sh", "-c",
                      "echo $VTARN_COMPUTER $COMPUTERNAME $SystemRoot; echo $PATH; exit 3"});
    EXPECT_EQ(exec.exitCode, 3) << exec.output;
    EXPECT_NE(exec.output.find("NODE1 NODE1 C:\\WINNT"), std::string::npos) << exec.output;
    EXPECT_NE(exec.output.find("state/NODE1/drives/C/WINNT/system32:"), std::string::npos) << exec.output;
}

TEST_F(NtlabCommands, EventsAndResetOfAStoppedLab) {
    ASSERT_EQ(RunNtlab({"start", m_lab.Folder().string()}).exitCode, 0);
    NtlabRun refused = RunNtlab({"reset", m_lab.Folder().string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(fs::exists(m_lab.Folder() / "state/NODE1/registry.toml"));
    ASSERT_EQ(RunNtlab({"stop", m_lab.Folder().string()}).exitCode, 0);
    m_lab.Write("state/NODE1/eventlog.toml",
                "[[event]]\nrecord = 1\ntime = 0\nlog = \"Application\"\nsource = \"VtarnService\"\ntype = 1\n"
                "category = 0\nid = 0\nuser = \"SYSTEM\"\nstrings = [\"VtarnService error: 5\", \"SetServiceStatus\"]\n"
                "data = \"\"\n");
    NtlabRun events = RunNtlab({"--lab", m_lab.Folder().string(), "events", "node1"});
    EXPECT_EQ(events.exitCode, 0) << events.output;
    EXPECT_NE(events.output.find("1 1970-01-01 00:00:00 UTC Application error VtarnService"), std::string::npos)
        << events.output;
    EXPECT_NE(events.output.find("    SetServiceStatus"), std::string::npos);
    ASSERT_EQ(RunNtlab({"reset", m_lab.Folder().string()}).exitCode, 0);
    EXPECT_FALSE(fs::exists(m_lab.Folder() / "state"));
}

TEST_F(NtlabCommands, NtnodeEndsOnSigtermAsSoonAsItIsUp) {
    // Asked to stop the moment it has written its pid file, before it may be listening.
    pid_t pid = ::fork();
    if (pid == 0) {
        std::string program = labtest::Program("ntnode").string();
        std::string lab = m_lab.Folder().string();
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execl(program.c_str(), program.c_str(), lab.c_str(), "NODE1", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    fs::path pidFile = m_lab.Folder() / "state/NODE1/ntnode.pid";
    for (int attempt = 0; attempt < 1000 && !fs::exists(pidFile); ++attempt) {
        ::usleep(1000);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(pidFile));
}

TEST(NtlabDefaultLab, StartsFromTheBuildTree) {
    // Test programs of other build folders may run this at the same time: one at a time.
    int lock = ::open((fs::temp_directory_path() / "tarn-default-lab-test.lock").c_str(), O_RDWR | O_CREAT, 0666);
    ::flock(lock, LOCK_EX);
    struct Unlock {
        int fd;
        ~Unlock() { ::close(fd); }
    } unlock{lock};
    labtest::ScopedVariable noLab(platform::lab::kLabVariable, std::nullopt);
    fs::path defaultLab = fs::path(TARN_SOURCE_DIR) / "labs/default";
    NtlabRun status = RunNtlab({"status"});
    ASSERT_EQ(status.exitCode, 0) << status.output;
    ASSERT_NE(status.output.find("lab " + fs::weakly_canonical(defaultLab).string()), std::string::npos)
        << status.output;
    if (status.output.find(" up ") != std::string::npos || !ProcessesOfLab(defaultLab).empty()) {
        GTEST_SKIP() << "the default lab is running already; it is left alone";
    }
    NtlabRun start = RunNtlab({"start"});
    NtlabRun after = RunNtlab({"status"});
    NtlabRun stop = RunNtlab({"stop"});
    if (start.exitCode != 0 && start.output.find("gave no answer") == std::string::npos &&
        start.output.find("ended at its start") != std::string::npos) {
        GTEST_SKIP() << "the default lab's ports are taken on this machine:\n" << start.output;
    }
    ASSERT_EQ(start.exitCode, 0) << start.output;
    EXPECT_EQ(after.output.find("down"), std::string::npos) << after.output;
    EXPECT_EQ(stop.exitCode, 0) << stop.output;
    EXPECT_TRUE(ProcessesOfLab(defaultLab).empty());
}

} // namespace
