#include "agent/host/ConsoleControl.h"

#include "agent/endpoint/RpcServer.h"
#include "agent/host/ConsoleText.h"
#include "agent/host/ServiceIdentity.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

namespace agent {
namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGQUIT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

void InstallConsoleControlHandler() {
    // The signals are taken by a thread that waits for them, not by a signal handler, so that
    // what a stop does (printing, stopping the server) runs as ordinary code.
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        for (;;) {
            int received = 0;
            if (sigwait(&signals, &received) == 0) {
                PrintText(u"Stopping %s.\n", kServiceDisplayName);
                StopServer();
            }
        }
    }).detach();
}

} // namespace agent
