// The console's stubs and the agent's dispatcher over the real RPC runtime in one process: a
// routine that calls back into the console during its call, a raised status, a whole record.
#include "tests/contract/MockRoutines.h"

#include "platform/Clock.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace contracttest;
using testing::_;
using testing::NiceMock;

class NodeAgentOverRuntime : public testing::Test {
protected:
    static void SetUpTestSuite() {
        platform::SetTimeScale(0.01);
        char folder[] = "/tmp/tarn-contract-test-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        s_folder = folder;
        ::setenv("VTARN_COMPUTER_DIR", folder, 1);
        std::u16string tcp = u"ncacn_ip_tcp";
        ASSERT_EQ(RpcServerUseProtseqW(tcp.data(), RPC_C_PROTSEQ_MAX_REQS_DEFAULT, nullptr), RPC_S_OK);
        // Registered for the whole suite and deleted with it (a static mock would outlive
        // gmock's own registry); TearDown verifies each test's expectations.
        s_routines = new NiceMock<MockServerRoutines>;
        s_interface = nodeagent::MakeServerInterface(*s_routines);
        ASSERT_EQ(RpcServerRegisterIf(&s_interface, nullptr, nullptr), RPC_S_OK);
        ASSERT_EQ(RpcServerListen(2, RPC_C_LISTEN_MAX_CALLS_DEFAULT, TRUE), RPC_S_OK);
    }

    static void TearDownTestSuite() {
        if (RpcMgmtStopServerListening(nullptr) == RPC_S_OK) {
            RpcMgmtWaitServerListen();
        }
        RpcServerUnregisterIf(&s_interface, nullptr, TRUE);
        delete s_routines;
        s_routines = nullptr;
        std::error_code ignored;
        std::filesystem::remove_all(s_folder, ignored);
    }

    void SetUp() override {
        RPC_BINDING_VECTOR* bindings = nullptr;
        ASSERT_EQ(RpcServerInqBindings(&bindings), RPC_S_OK);
        RPC_WSTR text = nullptr;
        ASSERT_EQ(RpcBindingToStringBindingW(bindings->BindingH[0], &text), RPC_S_OK);
        ASSERT_EQ(RpcBindingFromStringBindingW(text, &m_binding), RPC_S_OK);
        RpcStringFreeW(&text);
        RpcBindingVectorFree(&bindings);
        nodeagent::SetCallbackRoutines(&m_console);
    }

    void TearDown() override {
        nodeagent::SetCallbackRoutines(nullptr);
        RpcBindingFree(&m_binding);
        testing::Mock::VerifyAndClearExpectations(s_routines);
    }

    static inline NiceMock<MockServerRoutines>* s_routines = nullptr;
    static inline RPC_SERVER_INTERFACE s_interface;
    static inline std::filesystem::path s_folder;
    RPC_BINDING_HANDLE m_binding = nullptr;
    NiceMock<MockCallbackRoutines> m_console;
};

TEST_F(NodeAgentOverRuntime, ARoutineFetchesFromTheConsoleDuringItsCall) {
    EXPECT_CALL(m_console, RelayFetch(2, 0x40000, _, 16, _))
        .WillOnce([](LONG, LONG, BYTE* data, LONG, LONG* size) {
            data[0] = 'D';
            *size = 1;
            return RPC_STATUS{0};
        });
    EXPECT_CALL(*s_routines, CheckDomain(_, _, _, nodeagent::kDomainChars, _, nodeagent::kOtherDomainChars))
        .WillOnce([](handle_t, const WCHAR* otherNode, WCHAR* domain, LONG, WCHAR* otherDomain, LONG) {
            EXPECT_EQ(TextOf(otherNode), std::u16string(u"NODE1"));
            BYTE data[16];
            LONG size = 0;
            EXPECT_EQ(nodeagent::RelayFetch(2, 0x40000, data, 16, &size), 0);
            EXPECT_EQ(size, 1);
            Put(domain, u"LAB");
            otherDomain[0] = static_cast<WCHAR>(data[0]);
            return RPC_STATUS{4};
        });
    WCHAR domain[nodeagent::kDomainChars];
    WCHAR otherDomain[nodeagent::kOtherDomainChars];
    EXPECT_EQ(nodeagent::CheckDomain(m_binding, u"NODE1", domain, nodeagent::kDomainChars, otherDomain,
                                     nodeagent::kOtherDomainChars),
              4);
    EXPECT_EQ(std::u16string(domain), u"LAB");
    EXPECT_EQ(std::u16string(otherDomain), u"D");
}

TEST_F(NodeAgentOverRuntime, ARaisedStatusAndACallbackOutsideACallComeBackAsStatuses) {
    EXPECT_CALL(*s_routines, CheckAccess(_)).WillOnce([](handle_t) -> RPC_STATUS {
        RpcRaiseException(ERROR_ACCESS_DENIED);
    });
    EXPECT_EQ(nodeagent::CheckAccess(m_binding), ERROR_ACCESS_DENIED);
    EXPECT_EQ(nodeagent::Ping(m_binding), 0);
    EXPECT_EQ(nodeagent::RelayPost(1, 0x40000, nullptr, 0), RPC_S_NO_CALL_ACTIVE);
}

TEST_F(NodeAgentOverRuntime, TheStorageRecordTravelsWhole) {
    EXPECT_CALL(*s_routines, TestStorage(_, nullptr, 0, _, nodeagent::kStorageRecordChars))
        .WillOnce([](handle_t, const WCHAR*, LONG, WCHAR* record, LONG size) {
            std::fill(record, record + size - 1, u'R');
            return RPC_STATUS{0};
        });
    std::vector<WCHAR> record(nodeagent::kStorageRecordChars, u'?');
    EXPECT_EQ(nodeagent::TestStorage(m_binding, nullptr, 0, record.data(), nodeagent::kStorageRecordChars),
              0);
    EXPECT_EQ(std::u16string(record.data()).size(), std::size_t(nodeagent::kStorageRecordChars - 1));
}

} // namespace
