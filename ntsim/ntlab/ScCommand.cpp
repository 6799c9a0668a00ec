// ntlab sc NODE query|start|stop NAME [ARGS...]: a computer's service control manager as the
// lab's workstation sees it (its logged-on account, through the platform's service calls), so
// that it meets the same refusals the console meets. Output in the layout of the system's own
// sc command; a failure prints its operation and error number and exits with 1.
#include "ntsim/ntlab/LabCommand.h"
#include "platform/ErrorText.h"
#include "platform/LabEnvironment.h"
#include "platform/LastError.h"
#include "platform/Service.h"
#include "platform/Utf16.h"

#include <cstdio>
#include <cstdlib>

namespace ntsim::ntlab {
namespace {

const char* StateName(DWORD state) {
    switch (state) {
    case SERVICE_STOPPED: return "STOPPED";
    case SERVICE_START_PENDING: return "START_PENDING";
    case SERVICE_STOP_PENDING: return "STOP_PENDING";
    case SERVICE_RUNNING: return "RUNNING";
    case SERVICE_CONTINUE_PENDING: return "CONTINUE_PENDING";
    case SERVICE_PAUSE_PENDING: return "PAUSE_PENDING";
    case SERVICE_PAUSED: return "PAUSED";
    }
    return "UNKNOWN";
}

const char* TypeName(DWORD type) {
    switch (type & ~SERVICE_INTERACTIVE_PROCESS) {
    case SERVICE_KERNEL_DRIVER: return "KERNEL_DRIVER";
    case SERVICE_FILE_SYSTEM_DRIVER: return "FILE_SYSTEM_DRIVER";
    case SERVICE_WIN32_OWN_PROCESS: return "WIN32_OWN_PROCESS";
    case SERVICE_WIN32_SHARE_PROCESS: return "WIN32_SHARE_PROCESS";
    }
    return "UNKNOWN";
}

void PrintStatus(const std::string& name, const SERVICE_STATUS& status) {
    std::printf("\nSERVICE_NAME: %s\n", name.c_str());
    std::printf("        TYPE               : %x  %s\n", status.dwServiceType, TypeName(status.dwServiceType));
    std::printf("        STATE              : %u  %s\n", status.dwCurrentState, StateName(status.dwCurrentState));
    std::printf("        WIN32_EXIT_CODE    : %u  (0x%x)\n", status.dwWin32ExitCode, status.dwWin32ExitCode);
    std::printf("        SERVICE_EXIT_CODE  : %u  (0x%x)\n", status.dwServiceSpecificExitCode,
                status.dwServiceSpecificExitCode);
    std::printf("        CHECKPOINT         : 0x%x\n", status.dwCheckPoint);
    std::printf("        WAIT_HINT          : 0x%x\n", status.dwWaitHint);
}

// "[SC] OPERATION FAILED N:" and the error's text, as the system's sc prints a failure.
int Failed(const char* operation) {
    DWORD error = GetLastError();
    WCHAR text[256];
    platform::FormatLastErrorText(text, 256);
    std::printf("[SC] %s FAILED %u:\n\n%s\n", operation, static_cast<unsigned>(error),
                platform::ToUtf8(platform::WideView(text)).c_str());
    return kFailed;
}

struct Handles {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = nullptr;
    ~Handles() {
        if (service != nullptr) {
            CloseServiceHandle(service);
        }
        if (manager != nullptr) {
            CloseServiceHandle(manager);
        }
    }
};

} // namespace

int ScCommand(LabInvocation& invocation) {
    const std::vector<std::string>& arguments = invocation.arguments;
    if (arguments.size() < 3 || (arguments[1] != "query" && arguments[1] != "start" && arguments[1] != "stop") ||
        (arguments[1] != "start" && arguments.size() != 3)) {
        std::fprintf(stderr, "usage: ntlab sc NODE query|start|stop NAME [ARGS...]\n");
        return kBadInput;
    }
    const std::string& action = arguments[1];
    // The platform finds the lab through VTARN_LAB and acts as its workstation.
    ::setenv(platform::lab::kLabVariable, invocation.LabFolder().string().c_str(), 1);
    ::unsetenv(platform::lab::kComputerVariable);
    std::u16string computer = platform::ToUtf16(arguments[0]);
    std::u16string name = platform::ToUtf16(arguments[2]);

    Handles handles;
    DWORD managerAccess = action == "query" ? SC_MANAGER_CONNECT : SC_MANAGER_ALL_ACCESS;
    handles.manager = OpenSCManagerW(computer.c_str(), nullptr, managerAccess);
    if (handles.manager == nullptr) {
        return Failed("OpenSCManager");
    }
    DWORD serviceAccess = SERVICE_QUERY_STATUS | (action == "start" ? SERVICE_START : action == "stop" ? SERVICE_STOP : 0);
    handles.service = OpenServiceW(handles.manager, name.c_str(), serviceAccess);
    if (handles.service == nullptr) {
        return Failed("OpenService");
    }
    SERVICE_STATUS status{};
    if (action == "start") {
        std::vector<std::u16string> startArguments;
        for (std::size_t i = 3; i < arguments.size(); ++i) {
            startArguments.push_back(platform::ToUtf16(arguments[i]));
        }
        std::vector<LPCWSTR> pointers;
        for (const std::u16string& argument : startArguments) {
            pointers.push_back(argument.c_str());
        }
        if (!StartServiceW(handles.service, static_cast<DWORD>(pointers.size()), pointers.data())) {
            return Failed("StartService");
        }
    } else if (action == "stop") {
        if (!ControlService(handles.service, SERVICE_CONTROL_STOP, &status)) {
            return Failed("ControlService");
        }
        PrintStatus(arguments[2], status);
        return 0;
    }
    if (!QueryServiceStatus(handles.service, &status)) {
        return Failed("QueryServiceStatus");
    }
    PrintStatus(arguments[2], status);
    return 0;
}

} // namespace ntsim::ntlab
