#include "ntsim/node/ServiceManager.h"

#include "ntsim/lab/TomlText.h"
#include "ntsim/node/ProcessBook.h"
#include "platform/AsciiCase.h"
#include "platform/Clock.h"
#include "platform/LogonProof.h"
#include "platform/ServiceControlProtocol.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/lab/LabFileError.h"

#include <algorithm>
#include <cstdio>

namespace ntsim::node {
namespace {

constexpr DWORD MAXIMUM_ALLOWED = 0x02000000;
constexpr std::size_t kMaxServiceName = 256;
constexpr int kMaxDependencyDepth = 16;

// What a caller who does not administer the computer may have.
constexpr DWORD kLookManagerRights = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE |
                                     SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
constexpr DWORD kLookServiceRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
                                     SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL | READ_CONTROL;

// Generic rights in terms of the object's own.
DWORD MapGeneric(DWORD access, bool manager) {
    DWORD mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (access & GENERIC_READ) {
        mapped |= manager ? STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS
                          : STANDARD_RIGHTS_READ | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                                SERVICE_INTERROGATE | SERVICE_ENUMERATE_DEPENDENTS;
    }
    if (access & GENERIC_WRITE) {
        mapped |= manager ? STANDARD_RIGHTS_WRITE | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG
                          : STANDARD_RIGHTS_WRITE | SERVICE_CHANGE_CONFIG;
    }
    if (access & GENERIC_EXECUTE) {
        mapped |= manager ? STANDARD_RIGHTS_EXECUTE | SC_MANAGER_CONNECT | SC_MANAGER_LOCK
                          : STANDARD_RIGHTS_EXECUTE | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
                                SERVICE_USER_DEFINED_CONTROL;
    }
    if (access & GENERIC_ALL) {
        mapped |= manager ? SC_MANAGER_ALL_ACCESS : SERVICE_ALL_ACCESS;
    }
    return mapped;
}

// The rights granted for `desired`, or ERROR_ACCESS_DENIED.
DWORD Grant(DWORD desired, bool manager, bool administrator, DWORD& granted) {
    DWORD all = manager ? SC_MANAGER_ALL_ACCESS : SERVICE_ALL_ACCESS;
    DWORD allowed = administrator ? all : (manager ? kLookManagerRights : kLookServiceRights);
    DWORD wanted = MapGeneric(desired, manager);
    if (wanted & MAXIMUM_ALLOWED) {
        granted = allowed;
        return ERROR_SUCCESS;
    }
    if ((wanted & ~all) != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if ((wanted & ~allowed) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    granted = wanted;
    return ERROR_SUCCESS;
}

std::u16string KeyOf(std::u16string_view name) { return platform::ToUpper(name); }

bool IsValidServiceName(std::u16string_view name) {
    return !name.empty() && name.size() <= kMaxServiceName && name.find_first_of(u"\\/") == std::u16string_view::npos &&
           platform::Utf16ToUtf8(name).has_value();
}

bool IsValidServiceType(DWORD type) {
    DWORD process = type & ~SERVICE_INTERACTIVE_PROCESS;
    if (process == SERVICE_WIN32_OWN_PROCESS || process == SERVICE_WIN32_SHARE_PROCESS) {
        return true;
    }
    return type == SERVICE_KERNEL_DRIVER || type == SERVICE_FILE_SYSTEM_DRIVER;
}

DWORD StartTypeOf(lab::ServiceStart start) {
    switch (start) {
    case lab::ServiceStart::Boot: return SERVICE_BOOT_START;
    case lab::ServiceStart::System: return SERVICE_SYSTEM_START;
    case lab::ServiceStart::Auto: return SERVICE_AUTO_START;
    case lab::ServiceStart::Demand: return SERVICE_DEMAND_START;
    case lab::ServiceStart::Disabled: return SERVICE_DISABLED;
    }
    return SERVICE_DEMAND_START;
}

SERVICE_STATUS StatusOf(DWORD type, DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = type;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    return status;
}

// The program and the words after it: "C:\a b\x.exe" as it stands, or a quoted program
// followed by words separated by blanks.
void SplitProgramPath(std::u16string_view path, std::u16string& program, std::vector<std::u16string>& words) {
    if (path.empty() || path.front() != u'"') {
        program = std::u16string(path);
        return;
    }
    std::size_t close = path.find(u'"', 1);
    if (close == std::u16string_view::npos) {
        program = std::u16string(path.substr(1));
        return;
    }
    program = std::u16string(path.substr(1, close - 1));
    std::u16string_view rest = path.substr(close + 1);
    while (!rest.empty()) {
        std::size_t start = rest.find_first_not_of(u' ');
        if (start == std::u16string_view::npos) {
            break;
        }
        std::size_t end = rest.find(u' ', start);
        words.emplace_back(rest.substr(start, end == std::u16string_view::npos ? rest.size() - start : end - start));
        rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end);
    }
}

std::string NewToken() {
    std::uint8_t bytes[16];
    if (!platform::logon::RandomBytes(bytes, sizeof bytes)) {
        return {};
    }
    return lab::ToHex(bytes);
}

ScHandleId NewHandleId() {
    ScHandleId id = 0;
    while (id == 0) {
        if (!platform::logon::RandomBytes(reinterpret_cast<std::uint8_t*>(&id), sizeof id)) {
            return 0;
        }
    }
    return id;
}

} // namespace

ServiceManager::ServiceManager(ServiceManagerSetup setup) : m_setup(std::move(setup)) {
    SavedServices saved = LoadSavedServices(m_setup.databaseFile);
    m_removedBuiltIns = saved.removedBuiltIns;
    for (const lab::ServiceDef& def : m_setup.builtIns) {
        std::u16string name = platform::ToUtf16(def.name);
        bool removed = std::any_of(m_removedBuiltIns.begin(), m_removedBuiltIns.end(),
                                   [&](const std::u16string& r) { return platform::EqualsIgnoreCase(r, name); });
        if (removed) {
            continue;
        }
        Service service;
        service.config.name = name;
        service.config.displayName = platform::ToUtf16(def.displayName.empty() ? def.name : def.displayName);
        service.config.type = def.type;
        service.config.startType = StartTypeOf(def.start);
        service.config.binaryPath = platform::ToUtf16(def.binaryPath);
        for (const std::string& dependency : def.dependencies) {
            service.config.dependencies.push_back(platform::ToUtf16(dependency));
        }
        service.config.builtIn = true;
        // A built-in with a program runs once its process has been started.
        bool running = def.state == lab::ServiceState::Running && def.binaryPath.empty();
        service.status = StatusOf(def.type, running ? SERVICE_RUNNING : SERVICE_STOPPED);
        m_services[KeyOf(name)] = std::move(service);
    }
    bool changed = false;
    for (ServiceConfig& config : saved.created) {
        if (config.markedForDelete) {
            changed = true; // nothing runs and nobody holds a handle after a restart
            continue;
        }
        config.builtIn = false;
        Service service;
        service.status = StatusOf(config.type, SERVICE_STOPPED);
        service.config = std::move(config);
        m_services[KeyOf(service.config.name)] = std::move(service);
    }
    if (changed) {
        Save();
    }
}

ServiceManager::~ServiceManager() { StopAll(); }

DWORD ServiceManager::Save() {
    SavedServices saved;
    saved.removedBuiltIns = m_removedBuiltIns;
    for (const auto& [key, service] : m_services) {
        if (!service.config.builtIn) {
            saved.created.push_back(service.config);
        }
    }
    std::string error;
    if (!SaveServices(m_setup.databaseFile, saved, error)) {
        std::fprintf(stderr, "ntnode: the service database cannot be saved: %s\n", error.c_str());
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

DWORD ServiceManager::NewHandle(Handle handle, ScHandleId& out) {
    ScHandleId id = NewHandleId();
    if (id == 0 || m_handles.count(id) != 0 || m_handles.size() >= kMaxOpenHandles) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!handle.manager) {
        ++m_services.at(handle.serviceKey).openHandles;
    }
    m_handles[id] = std::move(handle);
    out = id;
    return ERROR_SUCCESS;
}

DWORD ServiceManager::ServiceHandleFor(const Handle& manager, std::u16string_view name, DWORD desiredAccess,
                                       Handle& out) {
    out.serviceKey = KeyOf(name);
    out.administrator = manager.administrator;
    return Grant(desiredAccess, false, manager.administrator, out.granted);
}

DWORD ServiceManager::FindHandle(ScHandleId id, bool manager, DWORD required, Handle*& out) {
    auto it = m_handles.find(id);
    if (it == m_handles.end() || it->second.manager != manager) {
        return ERROR_INVALID_HANDLE;
    }
    if ((it->second.granted & required) != required) {
        return ERROR_ACCESS_DENIED;
    }
    out = &it->second;
    return ERROR_SUCCESS;
}

ServiceManager::Service* ServiceManager::FindService(std::u16string_view name) {
    auto it = m_services.find(KeyOf(name));
    return it == m_services.end() ? nullptr : &it->second;
}

ServiceManager::Service* ServiceManager::FindByToken(std::string_view token) {
    if (token.empty()) {
        return nullptr;
    }
    for (auto& [key, service] : m_services) {
        if (service.run.generation != 0 && service.run.token == token) {
            return &service;
        }
    }
    return nullptr;
}

DWORD ServiceManager::OpenManager(const Caller& caller, DWORD desiredAccess, ScHandleId& out) {
    out = 0;
    if (caller.kind == Caller::Kind::Anonymous) {
        return ERROR_ACCESS_DENIED;
    }
    Handle handle;
    handle.manager = true;
    handle.administrator = caller.administrator;
    DWORD status = Grant(desiredAccess, true, caller.administrator, handle.granted);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::lock_guard lock(m_mutex);
    return NewHandle(std::move(handle), out);
}

DWORD ServiceManager::CreateService(ScHandleId manager, ServiceConfig config, DWORD desiredAccess, ScHandleId& out) {
    out = 0;
    std::lock_guard lock(m_mutex);
    Handle* managerHandle = nullptr;
    DWORD status = FindHandle(manager, true, SC_MANAGER_CREATE_SERVICE, managerHandle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!IsValidServiceName(config.name)) {
        return ERROR_INVALID_NAME;
    }
    if (!IsValidServiceType(config.type) || config.startType > SERVICE_DISABLED ||
        config.errorControl > SERVICE_ERROR_CRITICAL || config.binaryPath.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    if (config.displayName.empty()) {
        config.displayName = config.name;
    }
    if (Service* existing = FindService(config.name)) {
        return existing->config.markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS;
    }
    for (const auto& [key, other] : m_services) {
        if (platform::EqualsIgnoreCase(other.config.displayName, config.displayName) ||
            platform::EqualsIgnoreCase(other.config.name, config.displayName)) {
            return ERROR_DUPLICATE_SERVICE_NAME;
        }
    }
    Handle handle;
    status = ServiceHandleFor(*managerHandle, config.name, desiredAccess, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    config.builtIn = false;
    config.markedForDelete = false;
    Service service;
    service.status = StatusOf(config.type, SERVICE_STOPPED);
    service.config = std::move(config);
    auto [it, inserted] = m_services.emplace(handle.serviceKey, std::move(service));
    status = Save();
    if (status != ERROR_SUCCESS) {
        m_services.erase(it);
        return status;
    }
    return NewHandle(std::move(handle), out);
}

DWORD ServiceManager::OpenService(ScHandleId manager, std::u16string_view name, DWORD desiredAccess, ScHandleId& out) {
    out = 0;
    std::lock_guard lock(m_mutex);
    Handle* managerHandle = nullptr;
    DWORD status = FindHandle(manager, true, SC_MANAGER_CONNECT, managerHandle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (name.empty() || name.size() > kMaxServiceName) {
        return ERROR_INVALID_NAME;
    }
    if (FindService(name) == nullptr) {
        return ERROR_SERVICE_DOES_NOT_EXIST;
    }
    Handle handle;
    status = ServiceHandleFor(*managerHandle, name, desiredAccess, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return NewHandle(std::move(handle), out);
}

DWORD ServiceManager::StartService(ScHandleId serviceHandle, const std::vector<std::u16string>& arguments) {
    ReapEnded();
    Lock lock(m_mutex);
    Handle* handle = nullptr;
    DWORD status = FindHandle(serviceHandle, false, SERVICE_START, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return StartLocked(lock, m_services.at(handle->serviceKey), arguments, 0);
}

DWORD ServiceManager::StartLocked(Lock& lock, Service& service, const std::vector<std::u16string>& arguments, int depth) {
    if (m_stopping) {
        return ERROR_SHUTDOWN_IN_PROGRESS;
    }
    if (service.config.markedForDelete) {
        return ERROR_SERVICE_MARKED_FOR_DELETE;
    }
    if (service.config.startType == SERVICE_DISABLED) {
        return ERROR_SERVICE_DISABLED;
    }
    if (service.status.dwCurrentState != SERVICE_STOPPED) {
        return ERROR_SERVICE_ALREADY_RUNNING;
    }
    for (const std::u16string& name : service.config.dependencies) {
        Service* dependency = FindService(name);
        if (dependency == nullptr || dependency->config.markedForDelete) {
            return ERROR_SERVICE_DEPENDENCY_DELETED;
        }
        if (dependency->status.dwCurrentState == SERVICE_RUNNING) {
            continue;
        }
        if (dependency->status.dwCurrentState != SERVICE_STOPPED || depth >= kMaxDependencyDepth ||
            StartLocked(lock, *dependency, {}, depth + 1) != ERROR_SUCCESS) {
            return ERROR_SERVICE_DEPENDENCY_FAIL;
        }
    }
    if (service.config.binaryPath.empty()) {
        service.status = StatusOf(service.config.type, SERVICE_RUNNING);
        return ERROR_SUCCESS;
    }
    DWORD status = LaunchProcess(service, arguments);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // The start is over once the process has connected its dispatcher (or has ended, or took
    // too long: then it is stopped and the start fails as a real manager's does). The pin keeps
    // the service's entry while the lock is released.
    std::uint64_t generation = service.run.generation;
    ++service.openHandles;
    bool answered = m_changed.wait_until(lock, platform::DeadlineAfter(kStartTimeout), [&] {
        return service.run.generation != generation || service.run.connected || m_stopping;
    });
    status = service.run.generation == generation && service.run.connected ? ERROR_SUCCESS
                                                                            : ERROR_SERVICE_REQUEST_TIMEOUT;
    if (!answered && service.run.generation == generation) {
        if (std::shared_ptr<ServiceProcess> process = service.run.process.lock()) {
            lock.unlock();
            process->Terminate(kTerminateGrace);
            process.reset(); // outside the lock: the last owner waits for the exit handler
            lock.lock();
        }
    }
    --service.openHandles;
    RemoveIfUnused(m_services.find(KeyOf(service.config.name)));
    return status;
}

DWORD ServiceManager::LaunchProcess(Service& service, const std::vector<std::u16string>& arguments) {
    std::u16string programPath;
    std::vector<std::u16string> words;
    SplitProgramPath(service.config.binaryPath, programPath, words);
    std::filesystem::path program;
    DWORD status = m_setup.resolveProgram ? m_setup.resolveProgram(programPath, program) : ERROR_FILE_NOT_FOUND;
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::string token = NewToken();
    if (token.empty()) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    Runtime run;
    run.generation = m_nextGeneration++;
    run.token = token;
    run.arguments.push_back(service.config.name);
    run.arguments.insert(run.arguments.end(), arguments.begin(), arguments.end());
    std::vector<std::string> argv;
    for (const std::u16string& word : words) {
        argv.push_back(platform::ToUtf8(word));
    }
    for (const std::u16string& word : run.arguments) {
        argv.push_back(platform::ToUtf8(word));
    }
    Environment environment = m_setup.environment;
    environment[platform::scmwire::kServiceTokenVariable] = token;

    std::u16string key = KeyOf(service.config.name);
    std::uint64_t generation = run.generation;
    std::unique_ptr<ServiceProcess> process;
    status = ServiceProcess::Start(program, argv, EnvironmentStrings(environment),
                                   [this, key, generation](pid_t pid, DWORD exitStatus) {
                                       OnProcessExit(key, generation, pid, exitStatus);
                                   },
                                   process);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::shared_ptr<ServiceProcess> owned = std::move(process);
    run.process = owned;
    m_processes.push_back(owned);
    if (m_setup.processBook != nullptr) {
        m_setup.processBook->Track(owned->Pid(), platform::ToUtf8(service.config.name));
    }
    service.run = std::move(run);
    service.status = StatusOf(service.config.type, SERVICE_START_PENDING);
    service.status.dwWaitHint = 2000;
    return ERROR_SUCCESS;
}

void ServiceManager::OnProcessExit(const std::u16string& key, std::uint64_t generation, pid_t pid, DWORD exitStatus) {
    std::lock_guard lock(m_mutex);
    if (m_setup.processBook != nullptr) {
        m_setup.processBook->Forget(pid);
    }
    auto it = m_services.find(key);
    if (it != m_services.end() && it->second.run.generation == generation) {
        Service& service = it->second;
        if (service.status.dwCurrentState != SERVICE_STOPPED) {
            // It ended without saying it stopped: the exit status tells how.
            service.status = StatusOf(service.config.type, SERVICE_STOPPED);
            service.status.dwWin32ExitCode = ERROR_PROCESS_ABORTED;
            service.status.dwServiceSpecificExitCode = exitStatus;
        }
        service.run = Runtime{};
        RemoveIfUnused(it);
    }
    m_changed.notify_all();
}

DWORD ServiceManager::ControlService(ScHandleId serviceHandle, DWORD control, SERVICE_STATUS& status) {
    DWORD required = 0;
    switch (control) {
    case SERVICE_CONTROL_STOP: required = SERVICE_STOP; break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: required = SERVICE_PAUSE_CONTINUE; break;
    case SERVICE_CONTROL_INTERROGATE: required = SERVICE_INTERROGATE; break;
    default:
        if (control < 128 || control > 255) {
            return ERROR_INVALID_PARAMETER; // shutdown is the system's, and no other code exists
        }
        required = SERVICE_USER_DEFINED_CONTROL;
    }
    Lock lock(m_mutex);
    Handle* handle = nullptr;
    DWORD result = FindHandle(serviceHandle, false, required, handle);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    Service& service = m_services.at(handle->serviceKey);
    DWORD state = service.status.dwCurrentState;
    if (state == SERVICE_STOPPED) {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING) {
        return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    }
    DWORD accepted = service.status.dwControlsAccepted;
    bool acceptable = control == SERVICE_CONTROL_INTERROGATE || control >= 128 ||
                      (control == SERVICE_CONTROL_STOP && (accepted & SERVICE_ACCEPT_STOP)) ||
                      (control != SERVICE_CONTROL_STOP && (accepted & SERVICE_ACCEPT_PAUSE_CONTINUE));
    if (!acceptable) {
        return ERROR_INVALID_SERVICE_CONTROL;
    }
    if (control == SERVICE_CONTROL_STOP) {
        for (const auto& [key, other] : m_services) {
            bool depends = std::any_of(other.config.dependencies.begin(), other.config.dependencies.end(),
                                       [&](const std::u16string& d) { return KeyOf(d) == handle->serviceKey; });
            if (depends && other.status.dwCurrentState != SERVICE_STOPPED) {
                return ERROR_DEPENDENT_SERVICES_RUNNING;
            }
        }
    }
    result = service.run.generation == 0 ? ControlBuiltIn(service, control) : ControlProcess(lock, service, control);
    if (result == ERROR_SUCCESS) {
        status = service.status;
    }
    return result;
}

DWORD ServiceManager::ControlBuiltIn(Service& service, DWORD control) {
    if (control == SERVICE_CONTROL_STOP) {
        service.status = StatusOf(service.config.type, SERVICE_STOPPED);
    } else if (control != SERVICE_CONTROL_INTERROGATE) {
        return ERROR_INVALID_SERVICE_CONTROL;
    }
    return ERROR_SUCCESS;
}

DWORD ServiceManager::ControlProcess(Lock& lock, Service& service, DWORD control) {
    std::uint64_t generation = service.run.generation;
    auto gone = [&] {
        return service.run.generation != generation || service.status.dwCurrentState == SERVICE_STOPPED || m_stopping;
    };
    auto deadline = platform::DeadlineAfter(kControlTimeout);
    // One control at a time reaches a service, as its handler runs on one thread.
    if (!m_changed.wait_until(lock, deadline,
                              [&] { return gone() || service.run.pendingSequence == service.run.doneSequence; })) {
        return ERROR_SERVICE_REQUEST_TIMEOUT;
    }
    if (gone()) {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    std::uint32_t sequence = m_nextSequence++;
    service.run.pendingControl = control;
    service.run.pendingSequence = sequence;
    m_changed.notify_all();
    if (!m_changed.wait_until(lock, deadline, [&] { return gone() || service.run.doneSequence >= sequence; })) {
        return ERROR_SERVICE_REQUEST_TIMEOUT;
    }
    return ERROR_SUCCESS;
}

DWORD ServiceManager::QueryServiceStatus(ScHandleId serviceHandle, SERVICE_STATUS& status) {
    std::lock_guard lock(m_mutex);
    Handle* handle = nullptr;
    DWORD result = FindHandle(serviceHandle, false, SERVICE_QUERY_STATUS, handle);
    if (result == ERROR_SUCCESS) {
        status = m_services.at(handle->serviceKey).status;
    }
    return result;
}

DWORD ServiceManager::DeleteService(ScHandleId serviceHandle) {
    std::lock_guard lock(m_mutex);
    Handle* handle = nullptr;
    DWORD result = FindHandle(serviceHandle, false, DELETE, handle);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    Service& service = m_services.at(handle->serviceKey);
    if (service.config.markedForDelete) {
        return ERROR_SERVICE_MARKED_FOR_DELETE;
    }
    service.config.markedForDelete = true;
    if (service.config.builtIn) {
        m_removedBuiltIns.push_back(service.config.name);
    }
    result = Save();
    if (result != ERROR_SUCCESS) {
        service.config.markedForDelete = false;
        if (service.config.builtIn) {
            m_removedBuiltIns.pop_back();
        }
    }
    return result;
}

DWORD ServiceManager::CloseHandle(ScHandleId id) {
    std::lock_guard lock(m_mutex);
    auto it = m_handles.find(id);
    if (it == m_handles.end()) {
        return ERROR_INVALID_HANDLE;
    }
    Handle handle = std::move(it->second);
    m_handles.erase(it);
    if (!handle.manager) {
        auto service = m_services.find(handle.serviceKey);
        --service->second.openHandles;
        RemoveIfUnused(service);
    }
    return ERROR_SUCCESS;
}

void ServiceManager::RemoveIfUnused(ServiceMap::iterator it) {
    const Service& service = it->second;
    if (service.config.markedForDelete && service.openHandles == 0 && service.status.dwCurrentState == SERVICE_STOPPED) {
        m_services.erase(it);
        Save();
    }
}

DWORD ServiceManager::ConnectDispatcher(std::string_view token, std::u16string& serviceName,
                                        std::vector<std::u16string>& arguments) {
    std::lock_guard lock(m_mutex);
    Service* service = FindByToken(token);
    if (service == nullptr || service->run.connected) {
        return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    }
    service->run.connected = true;
    serviceName = service->config.name;
    arguments = service->run.arguments;
    m_changed.notify_all();
    return ERROR_SUCCESS;
}

DWORD ServiceManager::NextControl(std::string_view token, std::uint32_t doneSequence, DWORD waitMs, DWORD& control,
                                  std::uint32_t& sequence) {
    control = 0;
    sequence = 0;
    Lock lock(m_mutex);
    Service* service = FindByToken(token);
    if (service == nullptr || !service->run.connected) {
        return ERROR_INVALID_HANDLE;
    }
    if (doneSequence != 0 && doneSequence == service->run.deliveredSequence) {
        service->run.doneSequence = doneSequence;
        m_changed.notify_all();
    }
    std::uint64_t generation = service->run.generation;
    auto pending = [&] { return service->run.pendingSequence > service->run.deliveredSequence; };
    // The service stays while its process runs: a handle-less deleted service goes only once
    // stopped, and a stopped one is never waited on here.
    m_changed.wait_until(lock, platform::DeadlineAfter(std::min(waitMs, kControlPollLimit)), [&] {
        return m_stopping || FindByToken(token) != service || service->run.generation != generation || pending() ||
               service->status.dwCurrentState == SERVICE_STOPPED;
    });
    if (FindByToken(token) != service || service->run.generation != generation) {
        return ERROR_INVALID_HANDLE;
    }
    if (pending()) {
        service->run.deliveredSequence = service->run.pendingSequence;
        control = service->run.pendingControl;
        sequence = service->run.pendingSequence;
    }
    return ERROR_SUCCESS;
}

DWORD ServiceManager::ReportStatus(std::string_view token, const SERVICE_STATUS& status) {
    if (status.dwCurrentState < SERVICE_STOPPED || status.dwCurrentState > SERVICE_PAUSED) {
        return ERROR_INVALID_DATA;
    }
    std::lock_guard lock(m_mutex);
    Service* service = FindByToken(token);
    if (service == nullptr || !service->run.connected) {
        return ERROR_INVALID_HANDLE;
    }
    DWORD type = service->config.type;
    service->status = status;
    service->status.dwServiceType = type;
    if (status.dwCurrentState == SERVICE_STOPPED) {
        service->status.dwCheckPoint = 0;
        service->status.dwWaitHint = 0;
        service->status.dwControlsAccepted = 0;
        RemoveIfUnused(m_services.find(KeyOf(service->config.name)));
    }
    m_changed.notify_all();
    return ERROR_SUCCESS;
}

std::vector<ServiceSummary> ServiceManager::List() const {
    std::lock_guard lock(m_mutex);
    std::vector<ServiceSummary> list;
    for (const auto& [key, service] : m_services) {
        ServiceSummary summary;
        summary.name = service.config.name;
        summary.displayName = service.config.displayName;
        summary.status = service.status;
        summary.builtIn = service.config.builtIn;
        summary.markedForDelete = service.config.markedForDelete;
        std::shared_ptr<ServiceProcess> process = service.run.process.lock();
        summary.pid = process && !process->Ended() ? process->Pid() : 0;
        list.push_back(std::move(summary));
    }
    return list;
}

void ServiceManager::ReapEnded() {
    std::vector<std::shared_ptr<ServiceProcess>> ended;
    {
        std::lock_guard lock(m_mutex);
        auto split = std::stable_partition(m_processes.begin(), m_processes.end(),
                                           [](const std::shared_ptr<ServiceProcess>& p) { return !p->Ended(); });
        ended.assign(std::make_move_iterator(split), std::make_move_iterator(m_processes.end()));
        m_processes.erase(split, m_processes.end());
    }
}

void ServiceManager::StopAll() {
    std::vector<std::shared_ptr<ServiceProcess>> processes;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        processes.swap(m_processes);
        m_changed.notify_all();
    }
    for (const std::shared_ptr<ServiceProcess>& process : processes) {
        process->Terminate(kTerminateGrace);
    }
    processes.clear(); // waits for the exit handlers, which mark the services stopped
    std::lock_guard lock(m_mutex);
    m_stopping = false;
}

} // namespace ntsim::node
