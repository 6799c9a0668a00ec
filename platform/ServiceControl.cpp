// The callers' side of the service control manager: every handle stands for a handle of the
// computer's ntnode and keeps the connection to it; every request carries this process's proof.
#include "platform/Service.h"

#include "platform/AsciiCase.h"
#include "platform/LastError.h"
#include "platform/NodeConnection.h"
#include "platform/ServiceControlProtocol.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <memory>
#include <mutex>
#include <set>

struct SC_HANDLE__ {
    std::shared_ptr<platform::lab::NodeConnection> connection;
    std::uint64_t remote = 0;
    bool manager = false;
};

namespace {

namespace wire = platform::wire;
namespace scmwire = platform::scmwire;

const RPC_CLIENT_INTERFACE& ScmInterface() {
    static const RPC_CLIENT_INTERFACE kScm = platform::lab::ClientInterface(scmwire::kInterfaceId);
    return kScm;
}

// The handles this process holds, so that a stale or made-up one is refused, not followed.
std::mutex g_handlesMutex;
std::set<SC_HANDLE> g_handles;

SC_HANDLE Keep(std::unique_ptr<SC_HANDLE__> object) {
    std::lock_guard lock(g_handlesMutex);
    SC_HANDLE handle = object.release();
    g_handles.insert(handle);
    return handle;
}

// The handle's object while it is open (the caller must not close it meanwhile, as on NT).
SC_HANDLE__* Find(SC_HANDLE handle, bool manager) {
    std::lock_guard lock(g_handlesMutex);
    return g_handles.count(handle) != 0 && handle->manager == manager ? handle : nullptr;
}

// What a failed call to the computer means to the caller: a computer that is not there is an
// unavailable server.
DWORD CallFailure(DWORD status) {
    return platform::lab::IsUnreachable(status) ? static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE) : status;
}

// One call: a fresh proof in `request.proof`, the request, the manager's answer in `reply`.
// Returns the failure of the call itself, or the manager's status.
template <class Request, class Reply>
DWORD Call(platform::lab::NodeConnection& connection, std::uint32_t opnum, Request& request, Reply& reply) {
    RPC_STATUS status = connection.Prove(request.proof);
    if (status == RPC_S_OK) {
        status = connection.Call(ScmInterface(), opnum, request, reply);
    }
    return status != RPC_S_OK ? CallFailure(static_cast<DWORD>(status)) : reply.status;
}

BOOL Finish(DWORD status) {
    SetLastError(status);
    return status == ERROR_SUCCESS ? TRUE : FALSE;
}

SC_HANDLE FinishHandle(DWORD status, std::unique_ptr<SC_HANDLE__> object) {
    SetLastError(status);
    return status == ERROR_SUCCESS ? Keep(std::move(object)) : nullptr;
}

std::vector<std::u16string> MultiString(LPCWSTR list) {
    std::vector<std::u16string> strings;
    for (LPCWSTR entry = list; entry != nullptr && *entry != u'\0'; entry += strings.back().size() + 1) {
        strings.emplace_back(platform::WideView(entry));
    }
    return strings;
}

} // namespace

SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess) {
    std::u16string_view database = platform::WideView(lpDatabaseName);
    if (!database.empty() && !platform::EqualsIgnoreCase(database, u"ServicesActive")) {
        SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
        return nullptr;
    }
    auto object = std::make_unique<SC_HANDLE__>();
    object->connection = std::make_shared<platform::lab::NodeConnection>();
    object->manager = true;
    DWORD status = object->connection->Open(platform::WideView(lpMachineName));
    if (status != ERROR_SUCCESS) {
        SetLastError(CallFailure(status));
        return nullptr;
    }
    scmwire::OpenManagerRequest request;
    request.access = dwDesiredAccess;
    scmwire::HandleReply reply;
    status = Call(*object->connection, scmwire::kOpenManager, request, reply);
    object->remote = reply.handle;
    return FinishHandle(status, std::move(object));
}

SC_HANDLE CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                         LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                         LPCWSTR) {
    SC_HANDLE__* manager = Find(hSCManager, true);
    if (manager == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Load order groups, tags and accounts other than LocalSystem are not part of the lab.
    bool localSystem = lpServiceStartName == nullptr || platform::EqualsIgnoreCase(platform::WideView(lpServiceStartName), u"LocalSystem");
    if (lpServiceName == nullptr || lpBinaryPathName == nullptr || lpdwTagId != nullptr || !localSystem ||
        !platform::WideView(lpLoadOrderGroup).empty()) {
        SetLastError(lpServiceName == nullptr ? ERROR_INVALID_NAME : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    scmwire::CreateServiceRequest request;
    request.manager = manager->remote;
    request.name = std::u16string(platform::WideView(lpServiceName));
    request.displayName = std::u16string(platform::WideView(lpDisplayName));
    request.access = dwDesiredAccess;
    request.type = dwServiceType;
    request.startType = dwStartType;
    request.errorControl = dwErrorControl;
    request.binaryPath = std::u16string(platform::WideView(lpBinaryPathName));
    request.dependencies = MultiString(lpDependencies);
    scmwire::HandleReply reply;
    DWORD status = Call(*manager->connection, scmwire::kCreateService, request, reply);
    auto object = std::make_unique<SC_HANDLE__>(SC_HANDLE__{manager->connection, reply.handle, false});
    return FinishHandle(status, std::move(object));
}

SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
    SC_HANDLE__* manager = Find(hSCManager, true);
    if (manager == nullptr || lpServiceName == nullptr) {
        SetLastError(manager == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_NAME);
        return nullptr;
    }
    scmwire::OpenServiceRequest request;
    request.manager = manager->remote;
    request.name = std::u16string(platform::WideView(lpServiceName));
    request.access = dwDesiredAccess;
    scmwire::HandleReply reply;
    DWORD status = Call(*manager->connection, scmwire::kOpenService, request, reply);
    auto object = std::make_unique<SC_HANDLE__>(SC_HANDLE__{manager->connection, reply.handle, false});
    return FinishHandle(status, std::move(object));
}

BOOL StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors) {
    SC_HANDLE__* service = Find(hService, false);
    if (service == nullptr) {
        return Finish(ERROR_INVALID_HANDLE);
    }
    scmwire::StartServiceRequest request;
    request.handle = service->remote;
    if (dwNumServiceArgs > wire::kMaxTextCount || (dwNumServiceArgs > 0 && lpServiceArgVectors == nullptr)) {
        return Finish(ERROR_INVALID_PARAMETER);
    }
    for (DWORD i = 0; i < dwNumServiceArgs; ++i) {
        if (lpServiceArgVectors[i] == nullptr) {
            return Finish(ERROR_INVALID_PARAMETER);
        }
        request.arguments.emplace_back(platform::WideView(lpServiceArgVectors[i]));
    }
    wire::StatusReply reply;
    return Finish(Call(*service->connection, scmwire::kStartService, request, reply));
}

BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    SC_HANDLE__* service = Find(hService, false);
    if (service == nullptr || lpServiceStatus == nullptr) {
        return Finish(service == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    }
    scmwire::ControlRequest request;
    request.handle = service->remote;
    request.control = dwControl;
    scmwire::ServiceStatusReply reply;
    DWORD status = Call(*service->connection, scmwire::kControlService, request, reply);
    if (status == ERROR_SUCCESS) {
        *lpServiceStatus = reply.serviceStatus.value;
    }
    return Finish(status);
}

BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    SC_HANDLE__* service = Find(hService, false);
    if (service == nullptr || lpServiceStatus == nullptr) {
        return Finish(service == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    }
    scmwire::HandleRequest request;
    request.handle = service->remote;
    scmwire::ServiceStatusReply reply;
    DWORD status = Call(*service->connection, scmwire::kQueryServiceStatus, request, reply);
    if (status == ERROR_SUCCESS) {
        *lpServiceStatus = reply.serviceStatus.value;
    }
    return Finish(status);
}

BOOL DeleteService(SC_HANDLE hService) {
    SC_HANDLE__* service = Find(hService, false);
    if (service == nullptr) {
        return Finish(ERROR_INVALID_HANDLE);
    }
    scmwire::HandleRequest request;
    request.handle = service->remote;
    wire::StatusReply reply;
    return Finish(Call(*service->connection, scmwire::kDeleteService, request, reply));
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject) {
    std::unique_ptr<SC_HANDLE__> object;
    {
        std::lock_guard lock(g_handlesMutex);
        if (g_handles.erase(hSCObject) == 0) {
            return Finish(ERROR_INVALID_HANDLE);
        }
        object.reset(hSCObject);
    }
    scmwire::HandleRequest request;
    request.handle = object->remote;
    wire::StatusReply reply;
    // The local handle is gone whatever the computer answers.
    return Finish(Call(*object->connection, scmwire::kCloseHandle, request, reply));
}
