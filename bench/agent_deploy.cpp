// What InstallAgent and RemoveAgent cost beyond their fixed waits, on a lab of its own at time
// scale 1: InstallAgent's time less its 4000 ms settle wait, RemoveAgent's time less its
// 1000 ms after the stop request and 1000 ms per stop poll. A few rounds on NODE1 of a
// temporary lab, each install and removal bounded by the deployment's own limits.
//
//   bench_agent_deploy [ROUNDS]     (1 to 10, default 3)
#include "console/deploy/AgentDeployment.h"
#include "console/deploy/DeploymentNames.h"
#include "platform/Clock.h"
#include "platform/LabEnvironment.h"
#include "tests/lab/support/NodeProcesses.h"
#include "tests/lab/support/TempLab.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace env = platform::lab;

// Standard output of the operations goes to a file while they run, so that their progress
// lines can be read back and do not mix with the figures.
class CapturedOutput {
public:
    explicit CapturedOutput(std::filesystem::path file) : m_file(std::move(file)) {
        std::fflush(stdout);
        m_saved = ::dup(1);
        const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::close(fd);
    }
    std::string Finish() {
        std::fflush(stdout);
        ::dup2(m_saved, 1);
        ::close(m_saved);
        std::ifstream in(m_file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path m_file;
    int m_saved = -1;
};

// The stop polls RemoveAgent made: the dots written after "Stopping Vtarn RPC Service.".
int StopPolls(const std::string& output) {
    const std::string stopping = "Stopping Vtarn RPC Service.";
    const std::size_t at = output.find(stopping);
    if (at == std::string::npos) {
        return -1;
    }
    std::size_t end = at + stopping.size();
    while (end < output.size() && output[end] == '.') {
        ++end;
    }
    return static_cast<int>(end - at - stopping.size());
}

double Milliseconds(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

void PrintSpread(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::printf("%-34s min %8.1f  median %8.1f  max %8.1f ms\n", what, values.front(),
                values[values.size() / 2], values.back());
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 10) : 3;
    // ntnode and VtarnSvc.exe are beside this program in the build tree.
    const std::string binFolder = std::filesystem::canonical("/proc/self/exe").parent_path().string();
    const labtest::ScopedVariable binVariable("TARN_BIN_DIR", binFolder);

    labtest::TempLab lab;
    lab.WriteStandard(labtest::FreePorts(3));
    const labtest::ScopedVariable labVariable(env::kLabVariable, lab.Folder().string());
    const labtest::ScopedVariable computerVariable(env::kComputerVariable, std::nullopt);
    const labtest::ScopedVariable accountVariable(env::kAccountVariable, std::nullopt);
    const labtest::ScopedVariable timeScale(env::kTimeScaleVariable, "1");
    platform::SetTimeScale(1);
    labtest::NodeProcesses nodes(lab);
    nodes.Start("NODE1");

    std::printf("InstallAgent and RemoveAgent on NODE1 of a temporary lab, time scale 1, %d rounds\n",
                rounds);
    std::vector<double> installBeyond;
    std::vector<double> removeBeyond;
    LPCWSTR arguments[] = {u"1"};
    for (int round = 1; round <= rounds; ++round) {
        CapturedOutput installOutput(lab.Folder() / "install.out");
        const Clock::time_point installStart = Clock::now();
        const DWORD status = deploy::InstallAgent(u"NODE1", 1, arguments);
        const Clock::duration installTime = Clock::now() - installStart;
        installOutput.Finish();
        if (status != 0) {
            std::printf("round %d: InstallAgent failed with %u; see %s\n", round,
                        static_cast<unsigned>(status), lab.Folder().c_str());
            return 1;
        }

        CapturedOutput removeOutput(lab.Folder() / "remove.out");
        const Clock::time_point removeStart = Clock::now();
        const bool removed = deploy::RemoveAgent(u"NODE1");
        const Clock::duration removeTime = Clock::now() - removeStart;
        const int polls = StopPolls(removeOutput.Finish());
        if (!removed || polls < 0) {
            std::printf("round %d: RemoveAgent did not stop the agent\n", round);
            return 1;
        }

        const double installExtra = Milliseconds(installTime) - deploy::kStartSettleWait;
        const double removeExtra = Milliseconds(removeTime) - deploy::kStopPollWait * (1.0 + polls);
        installBeyond.push_back(installExtra);
        removeBeyond.push_back(removeExtra);
        std::printf(
            "round %d: install %8.1f ms beyond its 4000 ms wait; remove %8.1f ms beyond its %d x 1000 ms "
            "waits\n",
            round, installExtra, removeExtra, 1 + polls);
    }
    PrintSpread("InstallAgent beyond its wait", installBeyond);
    PrintSpread("RemoveAgent beyond its waits", removeBeyond);
    return 0;
}
