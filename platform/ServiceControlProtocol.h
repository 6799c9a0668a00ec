#pragma once
// The service control manager interface of a computer's ntnode. The callers' procedures carry
// the caller's logon proof and name the manager's handles by number; the dispatcher's
// procedures carry the one-time token of the service process instead (the process finds it in
// its environment, kServiceTokenVariable).
#include "platform/LabWire.h"
#include "platform/LogonProof.h"
#include "platform/Service.h"

#include <cstdint>

namespace platform::scmwire {

// The one-time token of the service a process was started for; a process without it was not
// started by a service control manager.
inline constexpr const char* kServiceTokenVariable = "VTARN_SERVICE_TOKEN";

// 7d0c6a42-93e1-4b1f-9a55-2f4e1c8b7d36 version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kInterfaceId = {
    {0x7d0c6a42, 0x93e1, 0x4b1f, {0x9a, 0x55, 0x2f, 0x4e, 0x1c, 0x8b, 0x7d, 0x36}}, {1, 0}};

enum Procedure : std::uint32_t {
    kOpenManager = 0,        // OpenManagerRequest    -> HandleReply
    kCreateService = 1,      // CreateServiceRequest  -> HandleReply
    kOpenService = 2,        // OpenServiceRequest    -> HandleReply
    kStartService = 3,       // StartServiceRequest   -> StatusReply
    kControlService = 4,     // ControlRequest        -> ServiceStatusReply
    kQueryServiceStatus = 5, // HandleRequest         -> ServiceStatusReply
    kDeleteService = 6,      // HandleRequest         -> StatusReply
    kCloseHandle = 7,        // HandleRequest         -> StatusReply
    kConnectDispatcher = 8,  // TokenRequest          -> DispatcherReply
    kNextControl = 9,        // NextControlRequest    -> NextControlReply
    kReportStatus = 10,      // ReportStatusRequest   -> StatusReply
};
inline constexpr DWORD kProcedureCount = 11;

struct WireServiceStatus {
    SERVICE_STATUS value{};

    static void Fields(auto& self, auto& visit) {
        visit(self.value.dwServiceType);
        visit(self.value.dwCurrentState);
        visit(self.value.dwControlsAccepted);
        visit(self.value.dwWin32ExitCode);
        visit(self.value.dwServiceSpecificExitCode);
        visit(self.value.dwCheckPoint);
        visit(self.value.dwWaitHint);
    }
};

struct OpenManagerRequest {
    logon::Proof proof;
    std::uint32_t access = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.access);
    }
};

struct CreateServiceRequest {
    logon::Proof proof;
    std::uint64_t manager = 0;
    std::u16string name;
    std::u16string displayName;
    std::uint32_t access = 0;
    std::uint32_t type = 0;
    std::uint32_t startType = 0;
    std::uint32_t errorControl = 0;
    std::u16string binaryPath;
    std::vector<std::u16string> dependencies;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.manager);
        visit(self.name);
        visit(self.displayName);
        visit(self.access);
        visit(self.type);
        visit(self.startType);
        visit(self.errorControl);
        visit(self.binaryPath);
        visit(self.dependencies);
    }
};

struct OpenServiceRequest {
    logon::Proof proof;
    std::uint64_t manager = 0;
    std::u16string name;
    std::uint32_t access = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.manager);
        visit(self.name);
        visit(self.access);
    }
};

struct HandleReply {
    std::uint32_t status = 0;
    std::uint64_t handle = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.handle);
    }
};

struct HandleRequest {
    logon::Proof proof;
    std::uint64_t handle = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.handle);
    }
};

struct StartServiceRequest {
    logon::Proof proof;
    std::uint64_t handle = 0;
    std::vector<std::u16string> arguments;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.handle);
        visit(self.arguments);
    }
};

struct ControlRequest {
    logon::Proof proof;
    std::uint64_t handle = 0;
    std::uint32_t control = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.handle);
        visit(self.control);
    }
};

struct ServiceStatusReply {
    std::uint32_t status = 0;
    WireServiceStatus serviceStatus;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.serviceStatus);
    }
};

struct TokenRequest {
    std::u16string token;

    static void Fields(auto& self, auto& visit) { visit(self.token); }
};

struct DispatcherReply {
    std::uint32_t status = 0;
    std::u16string serviceName;
    std::vector<std::u16string> arguments; // the service name first

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.serviceName);
        visit(self.arguments);
    }
};

struct NextControlRequest {
    std::u16string token;
    std::uint32_t doneSequence = 0; // the control whose handler has returned (0: none)
    std::uint32_t waitMs = 0;       // program time to wait for the next one

    static void Fields(auto& self, auto& visit) {
        visit(self.token);
        visit(self.doneSequence);
        visit(self.waitMs);
    }
};

struct NextControlReply {
    std::uint32_t status = 0;
    std::uint32_t control = 0; // 0: none came
    std::uint32_t sequence = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.control);
        visit(self.sequence);
    }
};

struct ReportStatusRequest {
    std::u16string token;
    WireServiceStatus serviceStatus;

    static void Fields(auto& self, auto& visit) {
        visit(self.token);
        visit(self.serviceStatus);
    }
};

} // namespace platform::scmwire
