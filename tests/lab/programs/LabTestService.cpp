// A service program for the service control manager tests. Started by a computer's manager it
// writes what it was started with to <VTARN_COMPUTER_DIR>/<service name>.started (the process
// arguments, then the service main arguments, one a line), reports start pending (check
// point 1, wait hint 3000) and running (stop accepted), then acts on its first start argument:
//   none or "run"   on stop: stop pending (check point 7, wait hint 1234), then stopped, exit 0
//   "stopcode:N"    as "run", but it stops with Win32 exit code N
//   "exit:N"        ends the process with exit status N at once, without reporting stopped
//   "pipe:NAME"     serves pipe \\.\pipe\NAME (made before it reports running), one client at a
//                   time: answers each message with "<opener's account or anonymous>|<message>";
//                   on stop it closes the pipe
// Run by hand (not by a manager) it prints the dispatcher's error number and exits with 2.
#include "platform/Clock.h"
#include "platform/LabEnvironment.h"
#include "platform/LastError.h"
#include "platform/Pipe.h"
#include "platform/Service.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_processArguments;
SERVICE_STATUS_HANDLE g_status = nullptr;
std::mutex g_mutex;
std::condition_variable g_stopRequested;
bool g_stop = false;
std::atomic<HANDLE> g_pipe{INVALID_HANDLE_VALUE};

void Report(DWORD state, DWORD exitCode, DWORD checkPoint, DWORD waitHint) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP;
    status.dwWin32ExitCode = exitCode;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    SetServiceStatus(g_status, &status);
}

void Handler(DWORD control) {
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING, 0, 7, 1234);
        std::lock_guard lock(g_mutex);
        g_stop = true;
        g_stopRequested.notify_all();
        HANDLE pipe = g_pipe.exchange(INVALID_HANDLE_VALUE);
        if (pipe != INVALID_HANDLE_VALUE) {
            CloseHandle(pipe); // ends the wait for a client and the reads
        }
    }
}

// One client after the other until the pipe is closed.
void ServePipe(HANDLE pipe) {
    for (;;) {
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            return;
        }
        std::optional<std::u16string> account;
        platform::PipeClientAccount(pipe, account);
        std::string prefix = account ? platform::ToUtf8(*account) : "anonymous";
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr)) {
            std::string reply = prefix + "|" + std::string(buffer, read);
            DWORD written = 0;
            if (!WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr)) {
                break;
            }
        }
        FlushFileBuffers(pipe);
        if (!DisconnectNamedPipe(pipe)) {
            return;
        }
    }
}

void ServiceMain(DWORD argc, LPWSTR* argv) {
    std::vector<std::string> arguments;
    for (DWORD i = 0; i < argc; ++i) {
        arguments.push_back(platform::ToUtf8(platform::WideView(argv[i])));
    }
    g_status = RegisterServiceCtrlHandlerW(argv[0], Handler);
    if (g_status == nullptr) {
        return;
    }
    Report(SERVICE_START_PENDING, 0, 1, 3000);
    std::string folder = platform::lab::EnvironmentValue(platform::lab::kComputerDirVariable).value_or(".");
    {
        std::ofstream out(folder + "/" + arguments.at(0) + ".started", std::ios::trunc);
        for (const std::string& argument : g_processArguments) {
            out << "process " << argument << "\n";
        }
        for (const std::string& argument : arguments) {
            out << "main " << argument << "\n";
        }
    }
    std::string mode = arguments.size() > 1 ? arguments[1] : "run";
    if (mode.rfind("pipe:", 0) == 0) {
        std::u16string name = u"\\\\.\\pipe\\" + platform::ToUtf16(mode.substr(5));
        HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1,
                                       1024, 1024, 5000, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            Report(SERVICE_STOPPED, GetLastError(), 0, 0);
            return;
        }
        g_pipe = pipe;
        Report(SERVICE_RUNNING, 0, 0, 0);
        ServePipe(pipe);
        Report(SERVICE_STOPPED, 0, 0, 0);
        return;
    }
    Report(SERVICE_RUNNING, 0, 0, 0);
    if (mode.rfind("exit:", 0) == 0) {
        std::_Exit(std::atoi(mode.c_str() + 5));
    }
    DWORD exitCode = mode.rfind("stopcode:", 0) == 0 ? static_cast<DWORD>(std::atoi(mode.c_str() + 9)) : 0;
    {
        std::unique_lock lock(g_mutex);
        g_stopRequested.wait(lock, [] { return g_stop; });
    }
    Sleep(300);
    Report(SERVICE_STOPPED, exitCode, 0, 0);
}

} // namespace

int main(int argc, char** argv) {
    g_processArguments.assign(argv + 1, argv + argc);
    std::u16string name = u"LabTestService";
    SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        std::printf("%u\n", static_cast<unsigned>(GetLastError()));
        return 2;
    }
    return 0;
}
