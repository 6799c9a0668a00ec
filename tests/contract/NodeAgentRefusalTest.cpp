// Bodies that do not fit the description are refused on both sides before anything is stored
// or allocated: the agent answers RPC_X_BAD_STUB_DATA without running the routine, the console
// returns it as the call's status without touching the caller's variables.
#include "tests/contract/MockRoutines.h"

#include "agent/contract/NodeAgentMarshal.h"
#include "agent/contract/TypedStubs.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

namespace {

using namespace contracttest;
using nodeagent::kCallbacks;
using nodeagent::kProcedures;
using nodeagent::typed::Call;
using rpc::Bytes;
using testing::StrictMock;

// Procedure 8 with a 3-character command and output buffers of 4.
const Bytes kRunCommandRequest = {
    0x03, 0x00, 0x00, 0x00,             // command line: maximum count 3
    'p',  0x00, 'i',  0x00, 0x00, 0x00, //   "pi" NUL
    0x00, 0x00,                         //   padding
    0x03, 0x00, 0x00, 0x00,             // size A 3
    0x04, 0x00, 0x00, 0x00,             // size B 4
};

// Procedure 9 with a one-character other node and a record of 3.
const Bytes kTestStorageRequest = {
    0x00, 0x00, 0x02, 0x00, // other node: referent
    0x02, 0x00, 0x00, 0x00, //   maximum count 2
    0x00, 0x00, 0x00, 0x00, //   offset 0
    0x02, 0x00, 0x00, 0x00, //   actual count 2
    'B',  0x00, 0x00, 0x00, //   "B" NUL
    0x00, 0x00, 0x00, 0x00, // configuration 0
    0x03, 0x00, 0x00, 0x00, // size A 3
};

// Callback 0 posting 3 bytes.
const Bytes kRelayPostRequest = {
    0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x03, 0x00,
    0x00, 0x00, 0xAA, 0xBB, 0xCC, 0x00, 0x03, 0x00, 0x00, 0x00,
};

Bytes WithLong(Bytes body, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        body[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return body;
}

struct RequestCase {
    const char* name;
    std::uint32_t opnum;
    Bytes request;
};

class AgentRefusesRequest : public testing::TestWithParam<RequestCase> {};

TEST_P(AgentRefusesRequest, WithoutRunningTheRoutine) {
    StrictMock<MockServerRoutines> routines; // any routine call fails the test
    Bytes reply;
    EXPECT_EQ(nodeagent::DispatchProcedure(routines, GetParam().opnum, GetParam().request, reply),
              RPC_X_BAD_STUB_DATA);
    EXPECT_TRUE(reply.empty());
}

INSTANTIATE_TEST_SUITE_P(
    NodeAgentRefusal, AgentRefusesRequest,
    testing::Values(
        RequestCase{"CommandCountAboveSize", nodeagent::kRunCommand, WithLong(kRunCommandRequest, 12, 2)},
        RequestCase{"CommandCountBelowSize", nodeagent::kRunCommand, WithLong(kRunCommandRequest, 12, 4)},
        RequestCase{"CommandWithoutNul", nodeagent::kRunCommand,
                    [] {
                        Bytes body = kRunCommandRequest;
                        body[8] = 'x';
                        return body;
                    }()},
        RequestCase{"NegativeOutputSize", nodeagent::kRunCommand,
                    WithLong(kRunCommandRequest, 16, 0xFFFFFFFF)},
        RequestCase{"HugeOutputSize", nodeagent::kRunCommand, WithLong(kRunCommandRequest, 16, 0x7FFFFFFF)},
        RequestCase{"OutputSizeAboveLimit", nodeagent::kRunCommand,
                    WithLong(kRunCommandRequest, 16, nodeagent::kMaxBufferElements + 1)},
        RequestCase{"AnotherFieldAfterTheLast", nodeagent::kRunCommand,
                    [] {
                        Bytes body = kRunCommandRequest;
                        body.insert(body.end(), 8, 0);
                        return body;
                    }()},
        RequestCase{"TextActualAboveMaximum", nodeagent::kTestStorage, WithLong(kTestStorageRequest, 12, 3)},
        RequestCase{"TextOffsetNotZero", nodeagent::kTestStorage, WithLong(kTestStorageRequest, 8, 1)},
        RequestCase{"TextWithoutNul", nodeagent::kTestStorage,
                    [] {
                        Bytes body = kTestStorageRequest;
                        body[18] = 'C';
                        return body;
                    }()},
        RequestCase{"NegativeRecordSize", nodeagent::kTestStorage,
                    WithLong(kTestStorageRequest, 24, 0x80000000)}),
    [](const testing::TestParamInfo<RequestCase>& param) { return param.param.name; });

TEST(NodeAgentRefusal, AgentRefusesEveryTruncatedRequest) {
    const struct {
        std::uint32_t opnum;
        const Bytes& request;
    } cases[] = {{nodeagent::kRunCommand, kRunCommandRequest},
                 {nodeagent::kTestStorage, kTestStorageRequest}};
    StrictMock<MockServerRoutines> routines;
    for (const auto& c : cases) {
        for (std::size_t length = 0; length < c.request.size(); ++length) {
            Bytes reply;
            Bytes truncated(c.request.begin(), c.request.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_EQ(nodeagent::DispatchProcedure(routines, c.opnum, truncated, reply), RPC_X_BAD_STUB_DATA)
                << "procedure " << c.opnum << " cut to " << length << " bytes";
        }
    }
}

TEST(NodeAgentRefusal, ConsoleRefusesMalformedCallbacks) {
    StrictMock<MockCallbackRoutines> routines;
    Bytes reply;
    for (std::size_t length = 0; length < kRelayPostRequest.size(); ++length) {
        Bytes truncated(kRelayPostRequest.begin(),
                        kRelayPostRequest.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(nodeagent::DispatchCallback(routines, nodeagent::kRelayPost, truncated, reply),
                  RPC_X_BAD_STUB_DATA)
            << "cut to " << length << " bytes";
    }
    // The data's maximum count says 3, size A says 2.
    EXPECT_EQ(nodeagent::DispatchCallback(routines, nodeagent::kRelayPost, WithLong(kRelayPostRequest, 16, 2),
                                          reply),
              RPC_X_BAD_STUB_DATA);
}

TEST(NodeAgentRefusal, UnknownNumbersAreOutOfRange) {
    StrictMock<MockServerRoutines> server;
    StrictMock<MockCallbackRoutines> console;
    Bytes reply;
    EXPECT_EQ(nodeagent::DispatchProcedure(server, nodeagent::kProcedureCount, {}, reply),
              RPC_S_PROCNUM_OUT_OF_RANGE);
    EXPECT_EQ(nodeagent::DispatchCallback(console, nodeagent::kCallbackCount, {}, reply),
              RPC_S_PROCNUM_OUT_OF_RANGE);
}

// The console's side: a transport that answers with a fixed reply body.
rpc::Dispatcher Answering(Bytes reply) {
    return [reply](std::uint32_t, rpc::ByteView, Bytes& out) {
        out = reply;
        return RPC_STATUS{0};
    };
}

// Procedure 8's reply to the request above: output of 4, length 2, status 0.
const Bytes kRunCommandReply = {
    0x04, 0x00, 0x00, 0x00, 'o',  0x00, 'k',  0x00, 0x00, 0x00,
    0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// Callback 1's reply with a capacity of 2: data, size 2, status 0.
const Bytes kRelayFetchReply = {
    0x02, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

struct ReplyCase {
    const char* name;
    Bytes reply;
};

class ConsoleRefusesRunCommandReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(ConsoleRefusesRunCommandReply, AndLeavesTheCallerAlone) {
    const WCHAR commandLine[3] = {u'p', u'i', 0};
    WCHAR output[4] = {u'?', u'?', u'?', u'?'};
    LONG length = -5;
    EXPECT_EQ((Call<kProcedures, nodeagent::kRunCommand>(Answering(GetParam().reply), &commandLine[0], 3,
                                                         &output[0], 4, &length)),
              RPC_X_BAD_STUB_DATA);
    EXPECT_EQ(length, -5);
    EXPECT_EQ(std::u16string(output, 4), u"????");
}

INSTANTIATE_TEST_SUITE_P(NodeAgentRefusal, ConsoleRefusesRunCommandReply,
                         testing::Values(ReplyCase{"CountAboveSize", WithLong(kRunCommandReply, 0, 5)},
                                         ReplyCase{"CountBelowSize", WithLong(kRunCommandReply, 0, 3)},
                                         ReplyCase{"TextWithoutNul",
                                                   [] {
                                                       Bytes body = kRunCommandReply;
                                                       body[8] = body[10] = 'z';
                                                       return body;
                                                   }()},
                                         ReplyCase{"StatusMissing", Bytes(kRunCommandReply.begin(),
                                                                          kRunCommandReply.end() - 4)}),
                         [](const testing::TestParamInfo<ReplyCase>& param) { return param.param.name; });

TEST(NodeAgentRefusal, ConsoleRefusesEveryTruncatedReply) {
    const WCHAR commandLine[3] = {u'p', u'i', 0};
    for (std::size_t length = 0; length < kRunCommandReply.size(); ++length) {
        WCHAR output[4] = {u'?', u'?', u'?', u'?'};
        LONG outLength = -5;
        Bytes truncated(kRunCommandReply.begin(),
                        kRunCommandReply.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ((Call<kProcedures, nodeagent::kRunCommand>(Answering(truncated), &commandLine[0], 3,
                                                             &output[0], 4, &outLength)),
                  RPC_X_BAD_STUB_DATA)
            << "cut to " << length << " bytes";
        EXPECT_EQ(outLength, -5);
    }
}

TEST(NodeAgentRefusal, AgentRefusesAFetchedSizeOutsideItsCapacity) {
    for (std::uint32_t size : {3u, 0xFFFFFFFFu}) {
        BYTE data[2] = {9, 9};
        LONG fetched = -7;
        EXPECT_EQ((Call<kCallbacks, nodeagent::kRelayFetch>(Answering(WithLong(kRelayFetchReply, 8, size)), 1,
                                                            0x20000, &data[0], 2, &fetched)),
                  RPC_X_BAD_STUB_DATA)
            << "size " << size;
        EXPECT_EQ(fetched, -7);
        EXPECT_EQ(data[0], 9);
    }
}

TEST(NodeAgentRefusal, CallerArgumentsAreCheckedBeforeAnythingIsSent) {
    bool sent = false;
    rpc::Dispatcher transport = [&](std::uint32_t, rpc::ByteView, Bytes&) {
        sent = true;
        return RPC_STATUS{0};
    };
    WCHAR record[4];
    EXPECT_EQ((Call<kProcedures, nodeagent::kTestStorage>(transport, u"B", 0, &record[0], -1)),
              RPC_S_INVALID_BOUND);
    EXPECT_EQ((Call<kProcedures, nodeagent::kTestStorage>(transport, u"B", 0, &record[0],
                                                          nodeagent::kMaxBufferElements + 1)),
              RPC_S_INVALID_BOUND);
    EXPECT_EQ(
        (Call<kProcedures, nodeagent::kTestStorage>(transport, u"B", 0, static_cast<WCHAR*>(nullptr), 4)),
        RPC_X_NULL_REF_POINTER);
    EXPECT_EQ((Call<kProcedures, nodeagent::kGetControllerSlots>(transport, 1, static_cast<LONG*>(nullptr),
                                                                 &record[0], 4)),
              RPC_X_NULL_REF_POINTER);
    std::u16string longName(static_cast<std::size_t>(nodeagent::kMaxBufferElements), u'n');
    EXPECT_EQ((Call<kProcedures, nodeagent::kTestStorage>(transport, longName.c_str(), 0, &record[0], 4)),
              RPC_S_STRING_TOO_LONG);
    EXPECT_FALSE(sent);
}

} // namespace
