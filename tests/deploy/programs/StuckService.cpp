// A service that accepts the stop control and then never stops: it reports stop pending and
// stays so until its process is ended. The deployment tests register it as the agent's service
// to see RemoveAgent give up on a stop that does not end.
#include "platform/Clock.h"
#include "platform/Service.h"

#include <cstdio>
#include <string>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;

void Report(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWaitHint = 1000;
    SetServiceStatus(g_status, &status);
}

void Handler(DWORD control) {
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
    }
}

void ServiceMain(DWORD, LPWSTR* argv) {
    g_status = RegisterServiceCtrlHandlerW(argv[0], Handler);
    if (g_status == nullptr) {
        return;
    }
    Report(SERVICE_RUNNING);
    for (;;) {
        Sleep(INFINITE);
    }
}

} // namespace

int main() {
    std::u16string name = u"VtarnService";
    SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        std::fprintf(stderr, "deploy_stuck_service: not started by a service control manager\n");
        return 2;
    }
    return 0;
}
