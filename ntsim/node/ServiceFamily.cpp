#include "ntsim/node/ServiceFamily.h"

#include "ntsim/node/CallerGate.h"
#include "platform/AsciiCase.h"
#include "platform/ServiceControlProtocol.h"
#include "platform/Utf16.h"

#include <memory>

namespace ntsim::node {
namespace {

namespace wire = platform::wire;
namespace scmwire = platform::scmwire;

std::string TokenOf(const std::u16string& token) { return platform::ToUtf8(token); }

const char* StateWord(DWORD state) {
    switch (state) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "start pending";
    case SERVICE_STOP_PENDING: return "stop pending";
    case SERVICE_RUNNING: return "running";
    case SERVICE_CONTINUE_PENDING: return "continue pending";
    case SERVICE_PAUSE_PENDING: return "pause pending";
    case SERVICE_PAUSED: return "paused";
    }
    return "unknown";
}

toml::array ServiceSection(const ServiceManager& manager) {
    toml::array services;
    for (const ServiceSummary& service : manager.List()) {
        services.push_back(toml::table{{"name", platform::ToUtf8(service.name)},
                                       {"display_name", platform::ToUtf8(service.displayName)},
                                       {"state", StateWord(service.status.dwCurrentState)},
                                       {"exit_code", static_cast<std::int64_t>(service.status.dwWin32ExitCode)},
                                       {"pid", static_cast<std::int64_t>(service.pid)},
                                       {"marked_for_delete", service.markedForDelete}});
    }
    return services;
}

template <class Request, class Reply, class F>
RPC_STATUS ForCaller(Node& node, rpc::ByteView request, rpc::Bytes& reply, const char* operation, F serve) {
    // The manager itself decides what each caller may do (it hands out handles with rights).
    return ServeForCaller<Request, Reply>(node, request, reply, operation, Access::Anyone, serve);
}

scmwire::ServiceStatusReply StatusReply(DWORD status, const SERVICE_STATUS& value) {
    scmwire::ServiceStatusReply reply;
    reply.status = status;
    reply.serviceStatus.value = value;
    return reply;
}

} // namespace

DWORD ResolveServiceProgram(const platform::DriveMap& drives, std::u16string_view ntPath,
                            std::filesystem::path& program) {
    platform::NtPathParts parts;
    if (platform::ParseNtPath(ntPath, parts) != ERROR_SUCCESS || parts.kind != platform::NtPathParts::Kind::Drive ||
        parts.components.empty() || drives.ToLinux(parts, program) != ERROR_SUCCESS) {
        return ERROR_PATH_NOT_FOUND;
    }
    std::error_code error;
    if (std::filesystem::is_regular_file(program, error)) {
        return ERROR_SUCCESS;
    }
    std::u16string& last = parts.components.back();
    constexpr std::u16string_view kExe = u".exe";
    if (last.size() > kExe.size() && platform::EqualsIgnoreCase(std::u16string_view(last).substr(last.size() - 4), kExe)) {
        last.resize(last.size() - kExe.size());
        if (drives.ToLinux(parts, program) == ERROR_SUCCESS && std::filesystem::is_regular_file(program, error)) {
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

ServiceManagerSetup ServiceSetupFor(Node& node) {
    ServiceManagerSetup setup;
    setup.databaseFile = ServiceDatabaseFile(node.StateFolder());
    setup.builtIns = node.Profile().services;
    setup.resolveProgram = [&node](std::u16string_view ntPath, std::filesystem::path& program) {
        return ResolveServiceProgram(node.Drives(), ntPath, program);
    };
    setup.environment = node.ProcessEnvironment();
    setup.processBook = &node.Processes();
    return setup;
}

RPC_STATUS DispatchServiceCall(Node& node, ServiceManager& manager, std::uint32_t opnum, rpc::ByteView request,
                               rpc::Bytes& reply) {
    switch (opnum) {
    case scmwire::kOpenManager:
        return ForCaller<scmwire::OpenManagerRequest, scmwire::HandleReply>(
            node, request, reply, "OpenSCManagerW", [&](const scmwire::OpenManagerRequest& call, const Caller& caller) {
                scmwire::HandleReply answer;
                answer.status = manager.OpenManager(caller, call.access, answer.handle);
                return answer;
            });
    case scmwire::kCreateService:
        return ForCaller<scmwire::CreateServiceRequest, scmwire::HandleReply>(
            node, request, reply, "CreateServiceW", [&](const scmwire::CreateServiceRequest& call, const Caller&) {
                ServiceConfig config;
                config.name = call.name;
                config.displayName = call.displayName;
                config.type = call.type;
                config.startType = call.startType;
                config.errorControl = call.errorControl;
                config.binaryPath = call.binaryPath;
                config.dependencies = call.dependencies;
                scmwire::HandleReply answer;
                answer.status = manager.CreateService(call.manager, std::move(config), call.access, answer.handle);
                return answer;
            });
    case scmwire::kOpenService:
        return ForCaller<scmwire::OpenServiceRequest, scmwire::HandleReply>(
            node, request, reply, "OpenServiceW", [&](const scmwire::OpenServiceRequest& call, const Caller&) {
                scmwire::HandleReply answer;
                answer.status = manager.OpenService(call.manager, call.name, call.access, answer.handle);
                return answer;
            });
    case scmwire::kStartService:
        return ForCaller<scmwire::StartServiceRequest, wire::StatusReply>(
            node, request, reply, "StartServiceW", [&](const scmwire::StartServiceRequest& call, const Caller&) {
                return wire::StatusReply{manager.StartService(call.handle, call.arguments)};
            });
    case scmwire::kControlService:
        return ForCaller<scmwire::ControlRequest, scmwire::ServiceStatusReply>(
            node, request, reply, "ControlService", [&](const scmwire::ControlRequest& call, const Caller&) {
                SERVICE_STATUS status{};
                DWORD result = manager.ControlService(call.handle, call.control, status);
                return StatusReply(result, status);
            });
    case scmwire::kQueryServiceStatus:
        return ForCaller<scmwire::HandleRequest, scmwire::ServiceStatusReply>(
            node, request, reply, "QueryServiceStatus", [&](const scmwire::HandleRequest& call, const Caller&) {
                SERVICE_STATUS status{};
                DWORD result = manager.QueryServiceStatus(call.handle, status);
                return StatusReply(result, status);
            });
    case scmwire::kDeleteService:
        return ForCaller<scmwire::HandleRequest, wire::StatusReply>(
            node, request, reply, "DeleteService", [&](const scmwire::HandleRequest& call, const Caller&) {
                return wire::StatusReply{manager.DeleteService(call.handle)};
            });
    case scmwire::kCloseHandle:
        return ForCaller<scmwire::HandleRequest, wire::StatusReply>(
            node, request, reply, "CloseServiceHandle", [&](const scmwire::HandleRequest& call, const Caller&) {
                return wire::StatusReply{manager.CloseHandle(call.handle)};
            });
    case scmwire::kConnectDispatcher:
        return wire::ServeCall<scmwire::TokenRequest, scmwire::DispatcherReply>(
            request, reply, [&](const scmwire::TokenRequest& call) {
                scmwire::DispatcherReply answer;
                answer.status = manager.ConnectDispatcher(TokenOf(call.token), answer.serviceName, answer.arguments);
                return answer;
            });
    case scmwire::kNextControl:
        return wire::ServeCall<scmwire::NextControlRequest, scmwire::NextControlReply>(
            request, reply, [&](const scmwire::NextControlRequest& call) {
                scmwire::NextControlReply answer;
                answer.status = manager.NextControl(TokenOf(call.token), call.doneSequence, call.waitMs,
                                                    answer.control, answer.sequence);
                return answer;
            });
    case scmwire::kReportStatus:
        return wire::ServeCall<scmwire::ReportStatusRequest, wire::StatusReply>(
            request, reply, [&](const scmwire::ReportStatusRequest& call) {
                return wire::StatusReply{manager.ReportStatus(TokenOf(call.token), call.serviceStatus.value)};
            });
    default:
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
}

void AddServiceFamily(NodeServer& server) {
    Node& node = server.Computer();
    auto manager = std::make_shared<ServiceManager>(ServiceSetupFor(node));
    server.AddInterface(scmwire::kInterfaceId, scmwire::kProcedureCount,
                        [&node, manager](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                            return DispatchServiceCall(node, *manager, opnum, request, reply);
                        });
    server.AddStatusSection("services", [manager] { return ServiceSection(*manager); });
    server.AddShutdownStep([manager] { manager->StopAll(); });
}

} // namespace ntsim::node
