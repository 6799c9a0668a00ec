#pragma once
// A computer's service control manager: the service database (built-in services from the
// machine profile, services created through the manager, kept in services.toml), the states of
// the services, the handles its callers hold, and the processes it starts for services whose
// program is a file of the computer. A service process talks back to it through its dispatcher
// (StartServiceCtrlDispatcherW), identified by a one-time token the process finds in its
// environment. Every operation returns the Win32 error a real manager gives.
#include "ntsim/lab/MachineProfile.h"
#include "ntsim/node/ComputerEnvironment.h"
#include "ntsim/node/LogonAuthority.h"
#include "ntsim/node/ServiceDatabase.h"
#include "ntsim/node/ServiceProcess.h"
#include "platform/Service.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ntsim::node {

class ProcessBook;

using ScHandleId = std::uint64_t; // 0 is no handle

struct ServiceManagerSetup {
    std::filesystem::path databaseFile;
    std::vector<lab::ServiceDef> builtIns; // from the machine profile, with their states
    // The Linux program behind a service's NT program path; a Win32 error when there is none.
    std::function<DWORD(std::u16string_view ntPath, std::filesystem::path& program)> resolveProgram;
    Environment environment; // of every service process, before its own variables
    ProcessBook* processBook = nullptr; // records the processes started, when set
};

struct ServiceSummary {
    std::u16string name;
    std::u16string displayName;
    SERVICE_STATUS status{};
    bool builtIn = false;
    bool markedForDelete = false;
    pid_t pid = 0; // 0 when no process of the service runs
};

class ServiceManager {
public:
    // Program time a start waits for the new process to connect its dispatcher, and a control
    // waits for the service's handler to return (ERROR_SERVICE_REQUEST_TIMEOUT after that).
    static constexpr DWORD kStartTimeout = 30000;
    static constexpr DWORD kControlTimeout = 30000;
    // The longest a dispatcher's wait for the next control lasts before it asks again.
    static constexpr DWORD kControlPollLimit = 5000;
    // How long a process has to end after SIGTERM before SIGKILL.
    static constexpr DWORD kTerminateGrace = 3000;
    // Handles all callers together may hold; beyond them an open fails with
    // ERROR_NOT_ENOUGH_MEMORY (a caller that never closes cannot exhaust ntnode).
    static constexpr std::size_t kMaxOpenHandles = 16384;

    // Throws LabFileError when the saved database is damaged.
    explicit ServiceManager(ServiceManagerSetup setup);
    // Stops every process the manager started.
    ~ServiceManager();
    ServiceManager(const ServiceManager&) = delete;
    ServiceManager& operator=(const ServiceManager&) = delete;

    // Callers' operations. An anonymous caller gets nothing; a caller who does not administer
    // the computer gets only the rights to look (connect, enumerate, query).
    DWORD OpenManager(const Caller& caller, DWORD desiredAccess, ScHandleId& out);
    DWORD CreateService(ScHandleId manager, ServiceConfig config, DWORD desiredAccess, ScHandleId& out);
    DWORD OpenService(ScHandleId manager, std::u16string_view name, DWORD desiredAccess, ScHandleId& out);
    DWORD StartService(ScHandleId service, const std::vector<std::u16string>& arguments);
    DWORD ControlService(ScHandleId service, DWORD control, SERVICE_STATUS& status);
    DWORD QueryServiceStatus(ScHandleId service, SERVICE_STATUS& status);
    DWORD DeleteService(ScHandleId service);
    DWORD CloseHandle(ScHandleId handle);

    // Dispatcher side. ERROR_FAILED_SERVICE_CONTROLLER_CONNECT for a token of no starting service.
    DWORD ConnectDispatcher(std::string_view token, std::u16string& serviceName,
                            std::vector<std::u16string>& arguments);
    // Acknowledges control `doneSequence` (0: none) and waits up to `waitMs` (at most
    // kControlPollLimit) for the next one: `control` 0 when none came. ERROR_INVALID_HANDLE
    // once the token no longer belongs to a running service process.
    DWORD NextControl(std::string_view token, std::uint32_t doneSequence, DWORD waitMs, DWORD& control,
                      std::uint32_t& sequence);
    // ERROR_INVALID_DATA for a state outside 1 to 7.
    DWORD ReportStatus(std::string_view token, const SERVICE_STATUS& status);

    // The computer's own use (status listings): no caller check.
    std::vector<ServiceSummary> List() const;
    // Stops every process the manager started; they leave their services stopped.
    void StopAll();

private:
    struct Runtime {
        std::uint64_t generation = 0; // 0: no process
        std::string token;
        bool connected = false;
        std::vector<std::u16string> arguments; // service name first
        std::weak_ptr<ServiceProcess> process; // owned by m_processes
        DWORD pendingControl = 0;
        std::uint32_t pendingSequence = 0;   // the last control queued
        std::uint32_t deliveredSequence = 0; // the last one handed to the dispatcher
        std::uint32_t doneSequence = 0;      // the last one whose handler returned
    };
    struct Service {
        ServiceConfig config;
        SERVICE_STATUS status{};
        Runtime run;
        int openHandles = 0;
    };
    struct Handle {
        bool manager = false;
        std::u16string serviceKey;
        DWORD granted = 0;
        bool administrator = false;
    };
    using ServiceMap = std::map<std::u16string, Service>;
    using Lock = std::unique_lock<std::mutex>;

    DWORD FindHandle(ScHandleId id, bool manager, DWORD required, Handle*& out);
    DWORD NewHandle(Handle handle, ScHandleId& out);
    // A handle to service `name` with the rights `manager`'s caller may have of `desiredAccess`.
    static DWORD ServiceHandleFor(const Handle& manager, std::u16string_view name, DWORD desiredAccess, Handle& out);
    Service* FindService(std::u16string_view name);
    Service* FindByToken(std::string_view token);
    DWORD StartLocked(Lock& lock, Service& service, const std::vector<std::u16string>& arguments, int depth);
    DWORD LaunchProcess(Service& service, const std::vector<std::u16string>& arguments);
    DWORD ControlBuiltIn(Service& service, DWORD control);
    DWORD ControlProcess(Lock& lock, Service& service, DWORD control);
    void OnProcessExit(const std::u16string& key, std::uint64_t generation, pid_t pid, DWORD exitStatus);
    // Erases a service marked for deletion once it is stopped and no handle refers to it.
    void RemoveIfUnused(ServiceMap::iterator it);
    DWORD Save();
    // Drops the processes that have ended (outside the lock: that waits for their threads).
    void ReapEnded();

    ServiceManagerSetup m_setup;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    ServiceMap m_services;
    std::vector<std::u16string> m_removedBuiltIns;
    std::map<ScHandleId, Handle> m_handles;
    std::vector<std::shared_ptr<ServiceProcess>> m_processes;
    std::uint64_t m_nextGeneration = 1;
    std::uint32_t m_nextSequence = 1;
    bool m_stopping = false;
};

} // namespace ntsim::node
