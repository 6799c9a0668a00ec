// ntnode LAB COMPUTER: one simulated Windows NT computer of a lab. It reads the lab's name
// directory and the computer's profile, prepares or reopens the computer's state, serves the
// computer's families on its TCP port, and on SIGTERM (or SIGINT) stops what it started and
// exits. A bad lab file or state file: one message naming it, exit code 2, nothing served.
#include "ntsim/lab/LabDefinition.h"
#include "ntsim/node/Node.h"
#include "ntsim/node/NodeFamilies.h"
#include "ntsim/node/NodeServer.h"
#include "ntsim/node/ProcessBook.h"
#include "platform/lab/LabFileError.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

namespace lab = ntsim::lab;
namespace node = ntsim::node;

constexpr int kBadInput = 2;

int Usage() {
    std::fprintf(stderr, "usage: ntnode LAB-FOLDER COMPUTER\n");
    return kBadInput;
}

// SIGTERM and SIGINT are taken by one thread that asks the server to stop, so that no handler
// runs in the middle of the server's own work.
void StopOnSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        int received = 0;
        sigwait(&signals, &received);
        node::NodeServer::RequestStop();
    }).detach();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    lab::LabLayout layout{std::filesystem::path(argv[1])};
    std::string computerName = argv[2];
    std::unique_ptr<node::Node> computer;
    try {
        platform::lab::LabNetwork network = platform::lab::LoadLabNetwork(layout.NetworkFile());
        const platform::lab::ComputerDef* def = network.FindComputer(computerName);
        if (def == nullptr) {
            std::fprintf(stderr, "ntnode: %s names no computer %s\n", layout.NetworkFile().c_str(), argv[2]);
            return kBadInput;
        }
        computerName = def->name;
        lab::MachineProfile profile = lab::LoadComputerProfile(layout, network, *def);
        std::optional<node::ProcessRecord> running = [&]() -> std::optional<node::ProcessRecord> {
            std::optional<node::ProcessRecord> record = node::ReadProcessRecord(layout.NodePidFile(computerName));
            return record && node::IsRunning(*record) && record->pid != ::getpid() ? record : std::nullopt;
        }();
        if (running) {
            std::fprintf(stderr, "ntnode: %s already runs (process %d)\n", computerName.c_str(),
                         static_cast<int>(running->pid));
            return 1;
        }
        computer = std::make_unique<node::Node>(layout, std::move(network), computerName, std::move(profile));
    } catch (const platform::lab::LabFileError& error) {
        std::fprintf(stderr, "ntnode: %s\n", error.what());
        return kBadInput;
    }

    StopOnSignals();
    std::optional<node::ProcessRecord> self = node::DescribeProcess(::getpid(), "ntnode " + computerName);
    if (!self || !node::WriteProcessRecord(layout.NodePidFile(computerName), *self)) {
        std::fprintf(stderr, "ntnode: cannot write %s\n", layout.NodePidFile(computerName).c_str());
        return 1;
    }
    node::NodeServer server(*computer);
    node::AddNodeFamilies(server);
    std::printf("ntnode: %s serves on %s:%u\n", computerName.c_str(), computer->Computer().host.c_str(),
                static_cast<unsigned>(computer->Computer().port));
    std::fflush(stdout);
    RPC_STATUS status = server.Serve();
    std::error_code ignored;
    std::filesystem::remove(layout.NodePidFile(computerName), ignored);
    if (status != 0) {
        std::fprintf(stderr, "ntnode: %s cannot serve on port %u (RPC status %ld)\n", computerName.c_str(),
                     static_cast<unsigned>(computer->Computer().port), static_cast<long>(status));
        return 1;
    }
    std::printf("ntnode: %s stopped\n", computerName.c_str());
    return 0;
}
