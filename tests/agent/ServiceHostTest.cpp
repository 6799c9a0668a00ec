// The agent's life as a service, seen from the service control manager and the event log: the
// reports of a start and a stop, the controls, the events of failures, and the quiet of a
// foreground run. The host runs on calls of this test's own, which record what it sends; its RPC
// server is the real one.
#include "tests/agent/TestTransports.h"

#include "agent/endpoint/NodeKey.h"
#include "agent/host/AgentEntry.h"
#include "agent/host/ServiceHost.h"
#include "platform/LastError.h"
#include "platform/WinError.h"
#include "platform/rpc/EndpointResolver.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using agent::ServiceHost;

// A SERVICE_STATUS as the fake keeps it, comparable and printable.
struct Status {
    DWORD type;
    DWORD state;
    DWORD controlsAccepted;
    DWORD exitCode;
    DWORD specificExitCode;
    DWORD checkPoint;
    DWORD waitHint;
    friend bool operator==(const Status&, const Status&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Status& s) {
        return out << "{state " << s.state << ", accepts " << s.controlsAccepted << ", exit " << s.exitCode
                   << ", check point " << s.checkPoint << ", hint " << s.waitHint << ", type " << s.type
                   << "}";
    }
};

struct RecordedEvent {
    std::u16string source;
    WORD type;
    WORD category;
    DWORD eventId;
    std::vector<std::u16string> strings;
    friend bool operator==(const RecordedEvent&, const RecordedEvent&) = default;
};

// A service control manager and event log that record what the host sends. Like a real
// dispatcher, StartServiceCtrlDispatcherW runs service main on a thread of its own and the
// control handler on the calling thread, with the controls the test queues.
struct FakeSystem {
    // What the fake answers.
    std::vector<std::u16string> startArguments = {u"VtarnService", u"1"};
    std::optional<DWORD> dispatcherFailure;
    bool handlerRegistrationFails = false;
    std::size_t refusedReport = 0; // counted from 1; 0: none
    bool eventLogAvailable = true;
    // Called with every report, under the host's status lock: may queue controls, nothing more.
    std::function<void(const SERVICE_STATUS&)> onReport;

    // What the host sent.
    std::vector<Status> reports;
    std::vector<RecordedEvent> events;
    int openEventSources = 0;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<DWORD> controls;
    LPHANDLER_FUNCTION handler = nullptr;

    void QueueControl(DWORD control) {
        controls.push_back(control);
        changed.notify_all();
    }
};

FakeSystem* gFake = nullptr;
const SERVICE_STATUS_HANDLE kStatusHandle = &gFake;
const HANDLE kEventSourceHandle = &gFake + 1;

BOOL FakeStartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRYW* table) {
    if (gFake->dispatcherFailure) {
        SetLastError(*gFake->dispatcherFailure);
        return FALSE;
    }
    EXPECT_EQ(std::u16string(table[0].lpServiceName), u"VtarnService");
    std::vector<std::u16string> arguments = gFake->startArguments;
    std::vector<LPWSTR> argv;
    for (std::u16string& argument : arguments) {
        argv.push_back(argument.data());
    }
    bool ended = false;
    std::thread serviceMain([&] {
        table[0].lpServiceProc(static_cast<DWORD>(argv.size()), argv.data());
        std::lock_guard lock(gFake->mutex);
        ended = true;
        gFake->changed.notify_all();
    });
    std::unique_lock lock(gFake->mutex);
    for (;;) {
        gFake->changed.wait(lock, [&] { return ended || !gFake->controls.empty(); });
        if (gFake->controls.empty()) {
            break;
        }
        DWORD control = gFake->controls.front();
        gFake->controls.pop_front();
        LPHANDLER_FUNCTION handler = gFake->handler;
        lock.unlock();
        handler(control);
        lock.lock();
    }
    lock.unlock();
    serviceMain.join();
    return TRUE;
}

SERVICE_STATUS_HANDLE FakeRegisterServiceCtrlHandler(LPCWSTR serviceName, LPHANDLER_FUNCTION handler) {
    EXPECT_EQ(std::u16string(serviceName), u"VtarnService");
    if (gFake->handlerRegistrationFails) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    std::lock_guard lock(gFake->mutex);
    gFake->handler = handler;
    return kStatusHandle;
}

BOOL FakeSetServiceStatus(SERVICE_STATUS_HANDLE handle, LPSERVICE_STATUS status) {
    EXPECT_EQ(handle, kStatusHandle);
    std::lock_guard lock(gFake->mutex);
    gFake->reports.push_back({status->dwServiceType, status->dwCurrentState, status->dwControlsAccepted,
                              status->dwWin32ExitCode, status->dwServiceSpecificExitCode,
                              status->dwCheckPoint, status->dwWaitHint});
    if (gFake->reports.size() == gFake->refusedReport) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (gFake->onReport) {
        gFake->onReport(*status);
    }
    return TRUE;
}

HANDLE FakeRegisterEventSource(LPCWSTR server, LPCWSTR source) {
    EXPECT_EQ(server, nullptr);
    EXPECT_EQ(std::u16string(source), u"VtarnService");
    if (!gFake->eventLogAvailable) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    ++gFake->openEventSources;
    return kEventSourceHandle;
}

BOOL FakeReportEvent(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID user, WORD stringCount,
                     DWORD dataSize, LPCWSTR* strings, LPVOID data) {
    EXPECT_EQ(eventLog, kEventSourceHandle);
    EXPECT_EQ(user, nullptr);
    EXPECT_EQ(dataSize, 0u);
    EXPECT_EQ(data, nullptr);
    RecordedEvent event{u"VtarnService", type, category, eventId, {}};
    for (WORD i = 0; i < stringCount; ++i) {
        event.strings.emplace_back(strings[i]);
    }
    std::lock_guard lock(gFake->mutex);
    gFake->events.push_back(event);
    return TRUE;
}

BOOL FakeDeregisterEventSource(HANDLE eventLog) {
    EXPECT_EQ(eventLog, kEventSourceHandle);
    --gFake->openEventSources;
    return TRUE;
}

constexpr agent::ServiceHostCalls kFakeCalls = {FakeStartServiceCtrlDispatcher,
                                                FakeRegisterServiceCtrlHandler,
                                                FakeSetServiceStatus,
                                                FakeRegisterEventSource,
                                                FakeReportEvent,
                                                FakeDeregisterEventSource};

Status Report(DWORD state, DWORD controlsAccepted, DWORD exitCode, DWORD checkPoint, DWORD waitHint) {
    return {SERVICE_WIN32_OWN_PROCESS, state, controlsAccepted, exitCode, 0, checkPoint, waitHint};
}

std::vector<Status> StartPendingReports(DWORD count) {
    std::vector<Status> reports;
    for (DWORD checkPoint = 1; checkPoint <= count; ++checkPoint) {
        reports.push_back(Report(SERVICE_START_PENDING, 0, 0, checkPoint, 3000));
    }
    return reports;
}

RecordedEvent ErrorEvent(std::u16string first, std::u16string message) {
    return {u"VtarnService", EVENTLOG_ERROR_TYPE, 0, 0, {std::move(first), std::move(message)}};
}

class ServiceHostTest : public testing::Test {
protected:
    void SetUp() override {
        agenttest::InstallAuthenticatedPipes();
        gFake = &fake;
    }
    void TearDown() override {
        EXPECT_EQ(fake.openEventSources, 0) << "every event source registered is deregistered";
        gFake = nullptr;
    }

    FakeSystem fake;
    ServiceHost host{kFakeCalls};
};

TEST_F(ServiceHostTest, ReportsEachStartStepThenStopsWhenAsked) {
    fake.onReport = [&](const SERVICE_STATUS& status) {
        if (status.dwCurrentState == SERVICE_RUNNING && fake.controls.empty() && fake.reports.size() == 10) {
            fake.QueueControl(SERVICE_CONTROL_INTERROGATE);
            fake.QueueControl(SERVICE_CONTROL_STOP);
        }
    };

    host.RunServiceDispatcher();

    std::vector<Status> expected = StartPendingReports(9);
    expected.push_back(Report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0));
    expected.push_back(Report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0)); // the interrogation
    expected.push_back(Report(SERVICE_STOP_PENDING, SERVICE_ACCEPT_STOP, 0, 10, 0));
    expected.push_back(Report(SERVICE_STOPPED, SERVICE_ACCEPT_STOP, 0, 0, 0));
    EXPECT_EQ(fake.reports, expected);
    EXPECT_TRUE(fake.events.empty());
    EXPECT_EQ(agent::NodeKey(), 1);
}

// Started from a prompt without an option: the usage text, then the dispatcher, which fails
// because no service control manager started this process.
TEST_F(ServiceHostTest, StartedFromAPromptPrintsTheUsageAndLogsTheDispatcherFailure) {
    fake.dispatcherFailure = ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    const WCHAR* argv[] = {u"VtarnSvc", u"install"}; // an option needs its "-" or "/"

    testing::internal::CaptureStdout();
    EXPECT_EQ(agent::RunAgent(host, 2, argv), 0);
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(output, "VtarnSvc -install          to install the service\n"
                      "VtarnSvc -remove           to remove the service\n"
                      "VtarnSvc -debug <params>   to run as a console app for debugging\n"
                      "\nStartServiceCtrlDispatcher being called.\n"
                      "This may take several seconds.  Please wait.\n");
    EXPECT_TRUE(fake.reports.empty());
    EXPECT_EQ(fake.events, (std::vector<RecordedEvent>{ErrorEvent(u"VtarnService error: 1063",
                                                                  u"StartServiceCtrlDispatcher failed.")}));
}

// The first report is refused: the refusal is logged (when the event log can be reached), the
// RPC server is not started, and the service stops with the refusal's error as exit code.
TEST_F(ServiceHostTest, ARefusedFirstReportEndsTheStartWithItsError) {
    for (bool eventLogAvailable : {true, false}) {
        FakeSystem attempt;
        attempt.refusedReport = 1;
        attempt.eventLogAvailable = eventLogAvailable;
        gFake = &attempt;
        ServiceHost service(kFakeCalls);

        service.RunServiceDispatcher();

        EXPECT_EQ(attempt.reports, (std::vector<Status>{Report(SERVICE_START_PENDING, 0, 0, 1, 3000),
                                                        Report(SERVICE_STOPPED, SERVICE_ACCEPT_STOP,
                                                               ERROR_INVALID_HANDLE, 0, 0)}))
            << "event log available: " << eventLogAvailable;
        std::vector<RecordedEvent> expectedEvents;
        if (eventLogAvailable) {
            expectedEvents.push_back(ErrorEvent(u"VtarnService error: 6", u"SetServiceStatus"));
        }
        EXPECT_EQ(attempt.events, expectedEvents);
        EXPECT_EQ(attempt.openEventSources, 0);
    }
    gFake = &fake;
}

TEST_F(ServiceHostTest, WithoutAControlHandlerServiceMainReportsNothing) {
    fake.handlerRegistrationFails = true;

    host.RunServiceDispatcher();

    EXPECT_TRUE(fake.reports.empty());
    EXPECT_TRUE(fake.events.empty());
}

TEST_F(ServiceHostTest, AStartWithoutProtocolSequencesStopsWithTheLoggedError) {
    agenttest::WithoutTransports none({u"ncalrpc", u"ncacn_ip_tcp", u"ncacn_np"});

    host.RunServiceDispatcher();

    std::vector<Status> expected = StartPendingReports(5);
    expected.push_back(Report(SERVICE_STOPPED, SERVICE_ACCEPT_STOP, RPC_S_PROTSEQ_NOT_SUPPORTED, 0, 0));
    EXPECT_EQ(fake.reports, expected);
    EXPECT_EQ(fake.events, (std::vector<RecordedEvent>{
                               ErrorEvent(u"VtarnService error: 1703", u"RpcServerUseProtseq() failed\n")}));
}

// A registration step that fails is not logged, but the service does not stop as if all had
// gone well: the step's status is its exit code.
TEST_F(ServiceHostTest, AStartThatCannotReachTheEndpointMapStopsWithThatStatus) {
    rpc::SetEndpointMapperResolver([](std::u16string_view, rpc::EndpointMapperAddress&) -> RPC_STATUS {
        return RPC_S_SERVER_UNAVAILABLE;
    });

    host.RunServiceDispatcher();
    rpc::SetEndpointMapperResolver({});

    std::vector<Status> expected = StartPendingReports(6);
    expected.push_back(Report(SERVICE_STOPPED, SERVICE_ACCEPT_STOP, RPC_S_SERVER_UNAVAILABLE, 0, 0));
    EXPECT_EQ(fake.reports, expected);
    EXPECT_TRUE(fake.events.empty());
}

TEST_F(ServiceHostTest, InDebugModeNothingIsReportedOrLogged) {
    host.SetDebug(true);
    SetLastError(ERROR_ACCESS_DENIED);

    EXPECT_TRUE(host.ReportStatus(SERVICE_START_PENDING, 0, 3000));
    EXPECT_TRUE(host.ReportStatus(SERVICE_RUNNING, 0, 0));
    host.AddToMessageLog(u"RpcServerUseProtseq() failed\n");

    EXPECT_TRUE(fake.reports.empty());
    EXPECT_TRUE(fake.events.empty());
}

} // namespace
