// The NodeAgent bodies on the wire, byte for byte. Each call goes from the calling side's
// marshaller through the serving side's dispatcher and back; the bodies in between are
// compared with bytes written out by hand from the interface's wire order (request: inputs in
// parameter order; reply: outputs in parameter order, then the status). All integers are
// little-endian and start at a multiple of 4.
#include "tests/contract/MockRoutines.h"

#include "agent/contract/TypedStubs.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

namespace {

using namespace contracttest;
using nodeagent::kCallbacks;
using nodeagent::kProcedures;
using nodeagent::typed::Call;
using rpc::Bytes;
using testing::_;
using testing::StrictMock;

constexpr const WCHAR* kNoText = nullptr;

TEST(NodeAgentWire, PingHasAnEmptyRequestAndTheStatusAsReply) {
    StrictMock<MockServerRoutines> routines;
    EXPECT_CALL(routines, Ping(nullptr)).WillOnce(testing::Return(0));
    Loopback loop = ToAgent(routines);
    EXPECT_EQ((Call<kProcedures, nodeagent::kPing>(loop.Transport())), 0);
    EXPECT_TRUE(loop.request.empty());
    EXPECT_EQ(loop.reply, (Bytes{0, 0, 0, 0}));
}

// Procedure 4 with each form of its opt text: a name, null, and the empty text (which is not
// null: it travels as a one-character string).
struct ClusterInfoCase {
    const char* name;
    const WCHAR* nodeName;
    Bytes request;
};

class GetClusterInfoWire : public testing::TestWithParam<ClusterInfoCase> {};

TEST_P(GetClusterInfoWire, RequestAndReply) {
    const ClusterInfoCase& c = GetParam();
    StrictMock<MockServerRoutines> routines;
    EXPECT_CALL(routines, GetClusterInfo(nullptr, _, _, _, _, 3, _, 2))
        .WillOnce([&](handle_t, const WCHAR* nodeName, LONG* failure, LONG* nodeState, WCHAR* clusterName,
                      LONG, WCHAR* version, LONG) {
            EXPECT_EQ(TextOf(nodeName), TextOf(c.nodeName));
            EXPECT_EQ(*failure, 7);
            EXPECT_EQ(*nodeState, -1);
            *failure = 0;
            *nodeState = 2;
            Put(clusterName, u"CL");
            Put(version, u"V");
            return RPC_STATUS{0};
        });
    Loopback loop = ToAgent(routines);

    LONG failure = 7;
    LONG nodeState = -1;
    WCHAR clusterName[3] = {u'?', u'?', u'?'};
    WCHAR version[2] = {u'?', u'?'};
    RPC_STATUS status = Call<kProcedures, nodeagent::kGetClusterInfo>(loop.Transport(), c.nodeName, &failure,
                                                                      &nodeState, clusterName, 3, version, 2);

    EXPECT_EQ(loop.request, c.request);
    const Bytes reply = {
        0x00, 0x00, 0x00, 0x00,             // failure 0
        0x02, 0x00, 0x00, 0x00,             // node state 2
        0x03, 0x00, 0x00, 0x00,             // cluster name: maximum count = size A
        'C',  0x00, 'L',  0x00, 0x00, 0x00, //   "CL" NUL
        0x00, 0x00,                         //   padding
        0x02, 0x00, 0x00, 0x00,             // version: maximum count = size B
        'V',  0x00, 0x00, 0x00,             //   "V" NUL
        0x00, 0x00, 0x00, 0x00,             // status 0
    };
    EXPECT_EQ(loop.reply, reply);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(failure, 0);
    EXPECT_EQ(nodeState, 2);
    EXPECT_EQ(std::u16string(clusterName), u"CL");
    EXPECT_EQ(std::u16string(version), u"V");
}

INSTANTIATE_TEST_SUITE_P(
    NodeAgentWire, GetClusterInfoWire,
    testing::Values(ClusterInfoCase{"NamedNode",
                                    u"N1",
                                    {
                                        0x00, 0x00, 0x02, 0x00,             // node name: referent
                                        0x03, 0x00, 0x00, 0x00,             //   maximum count 3
                                        0x00, 0x00, 0x00, 0x00,             //   offset 0
                                        0x03, 0x00, 0x00, 0x00,             //   actual count 3
                                        'N',  0x00, '1',  0x00, 0x00, 0x00, //   "N1" NUL
                                        0x00, 0x00,                         //   padding
                                        0x07, 0x00, 0x00, 0x00,             // failure 7
                                        0xFF, 0xFF, 0xFF, 0xFF,             // node state -1
                                        0x03, 0x00, 0x00, 0x00,             // size A 3
                                        0x02, 0x00, 0x00, 0x00,             // size B 2
                                    }},
                    ClusterInfoCase{"NullNode",
                                    kNoText,
                                    {
                                        0x00, 0x00, 0x00, 0x00, // node name: null, nothing follows
                                        0x07, 0x00, 0x00, 0x00, // failure 7
                                        0xFF, 0xFF, 0xFF, 0xFF, // node state -1
                                        0x03, 0x00, 0x00, 0x00, // size A 3
                                        0x02, 0x00, 0x00, 0x00, // size B 2
                                    }},
                    ClusterInfoCase{"EmptyNode",
                                    u"",
                                    {
                                        0x00, 0x00, 0x02, 0x00, // node name: referent
                                        0x01, 0x00, 0x00, 0x00, //   maximum count 1
                                        0x00, 0x00, 0x00, 0x00, //   offset 0
                                        0x01, 0x00, 0x00, 0x00, //   actual count 1
                                        0x00, 0x00,             //   NUL
                                        0x00, 0x00,             //   padding
                                        0x07, 0x00, 0x00, 0x00, // failure 7
                                        0xFF, 0xFF, 0xFF, 0xFF, // node state -1
                                        0x03, 0x00, 0x00, 0x00, // size A 3
                                        0x02, 0x00, 0x00, 0x00, // size B 2
                                    }}),
    [](const testing::TestParamInfo<ClusterInfoCase>& param) { return param.param.name; });

TEST(NodeAgentWire, GetNicSlotsSendsItsInOutIntegersAndReturnsBothTextsWhole) {
    StrictMock<MockServerRoutines> routines;
    EXPECT_CALL(routines, GetNicSlots(nullptr, nullptr, _, _, 4, _, _, 3))
        .WillOnce([](handle_t, const WCHAR*, LONG* nextAdapter, WCHAR* adapterList, LONG,
                     LONG* separatorCount, WCHAR* otherDevices, LONG) {
            Put(adapterList, u"A" + std::u16string(1, static_cast<WCHAR>(u'0' + *nextAdapter)));
            ++*nextAdapter;
            Put(otherDevices, u"x");
            ++*separatorCount;
            return RPC_STATUS{1};
        });
    Loopback loop = ToAgent(routines);

    LONG nextAdapter = 1;
    LONG separatorCount = 0;
    WCHAR adapterList[4];
    WCHAR otherDevices[3];
    RPC_STATUS status = Call<kProcedures, nodeagent::kGetNicSlots>(
        loop.Transport(), kNoText, &nextAdapter, adapterList, 4, &separatorCount, otherDevices, 3);

    const Bytes request = {
        0x00, 0x00, 0x00, 0x00, // text: null
        0x01, 0x00, 0x00, 0x00, // next adapter number 1
        0x04, 0x00, 0x00, 0x00, // size A 4
        0x00, 0x00, 0x00, 0x00, // separator count 0
        0x03, 0x00, 0x00, 0x00, // size B 3
    };
    const Bytes reply = {
        0x02, 0x00, 0x00, 0x00,                         // next adapter number 2
        0x04, 0x00, 0x00, 0x00,                         // adapter list: maximum count 4
        'A',  0x00, '1',  0x00, 0x00, 0x00, 0x00, 0x00, //   "A1" NUL, then the zero fill
        0x01, 0x00, 0x00, 0x00,                         // separator count 1
        0x03, 0x00, 0x00, 0x00,                         // other devices: maximum count 3
        'x',  0x00, 0x00, 0x00, 0x00, 0x00,             //   "x" NUL, zero fill
        0x00, 0x00,                                     //   padding
        0x01, 0x00, 0x00, 0x00,                         // status 1
    };
    EXPECT_EQ(loop.request, request);
    EXPECT_EQ(loop.reply, reply);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(nextAdapter, 2);
    EXPECT_EQ(separatorCount, 1);
    EXPECT_EQ(std::u16string(adapterList), u"A1");
    EXPECT_EQ(std::u16string(otherDevices), u"x");
}

TEST(NodeAgentWire, RunCommandSendsItsWholeCommandBufferBeforeTheSizes) {
    StrictMock<MockServerRoutines> routines;
    EXPECT_CALL(routines, RunCommand(nullptr, _, 3, _, 4, _))
        .WillOnce([](handle_t, const WCHAR* commandLine, LONG, WCHAR* output, LONG, LONG* length) {
            EXPECT_EQ(std::u16string(commandLine), u"pi");
            Put(output, u"ok");
            *length = 2;
            return RPC_STATUS{0};
        });
    Loopback loop = ToAgent(routines);

    const WCHAR commandLine[3] = {u'p', u'i', 0};
    WCHAR output[4];
    LONG length = -5;
    RPC_STATUS status = Call<kProcedures, nodeagent::kRunCommand>(loop.Transport(), &commandLine[0], 3,
                                                                  &output[0], 4, &length);

    const Bytes request = {
        0x03, 0x00, 0x00, 0x00,             // command line: maximum count = size A
        'p',  0x00, 'i',  0x00, 0x00, 0x00, //   "pi" NUL, the whole buffer
        0x00, 0x00,                         //   padding
        0x03, 0x00, 0x00, 0x00,             // size A 3
        0x04, 0x00, 0x00, 0x00,             // size B 4
    };
    const Bytes reply = {
        0x04, 0x00, 0x00, 0x00,                         // output: maximum count = size B
        'o',  0x00, 'k',  0x00, 0x00, 0x00, 0x00, 0x00, //   "ok" NUL, zero fill
        0x02, 0x00, 0x00, 0x00,                         // length 2
        0x00, 0x00, 0x00, 0x00,                         // status 0
    };
    EXPECT_EQ(loop.request, request);
    EXPECT_EQ(loop.reply, reply);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(std::u16string(output), u"ok");
}

TEST(NodeAgentWire, TestSharedDrivesReturnsThreeArraysThenTheStatus) {
    StrictMock<MockServerRoutines> routines;
    EXPECT_CALL(routines, TestSharedDrives(nullptr, _, _, 2, _, 3, _, 1))
        .WillOnce(
            [](handle_t, const WCHAR* otherNode, WCHAR* summary, LONG, WCHAR* drives, LONG, WCHAR*, LONG) {
                EXPECT_EQ(TextOf(otherNode), std::u16string(u"B"));
                Put(summary, u"S");
                Put(drives, u"DE");
                return RPC_STATUS{2};
            });
    Loopback loop = ToAgent(routines);

    WCHAR summary[2];
    WCHAR drives[3];
    WCHAR reserveRelease[1];
    RPC_STATUS status = Call<kProcedures, nodeagent::kTestSharedDrives>(
        loop.Transport(), u"B", &summary[0], 2, &drives[0], 3, &reserveRelease[0], 1);

    const Bytes request = {
        0x00, 0x00, 0x02, 0x00, // other node: referent
        0x02, 0x00, 0x00, 0x00, //   maximum count 2
        0x00, 0x00, 0x00, 0x00, //   offset 0
        0x02, 0x00, 0x00, 0x00, //   actual count 2
        'B',  0x00, 0x00, 0x00, //   "B" NUL (no padding needed)
        0x02, 0x00, 0x00, 0x00, // size A 2
        0x03, 0x00, 0x00, 0x00, // size B 3
        0x01, 0x00, 0x00, 0x00, // size C 1
    };
    const Bytes reply = {
        0x02, 0x00, 0x00, 0x00,             // summary: maximum count 2
        'S',  0x00, 0x00, 0x00,             //   "S" NUL
        0x03, 0x00, 0x00, 0x00,             // drives: maximum count 3
        'D',  0x00, 'E',  0x00, 0x00, 0x00, //   "DE" NUL
        0x00, 0x00,                         //   padding
        0x01, 0x00, 0x00, 0x00,             // reserve/release: maximum count 1
        0x00, 0x00,                         //   the zero-filled buffer, untouched
        0x00, 0x00,                         //   padding
        0x02, 0x00, 0x00, 0x00,             // status 2
    };
    EXPECT_EQ(loop.request, request);
    EXPECT_EQ(loop.reply, reply);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(std::u16string(summary), u"S");
    EXPECT_EQ(std::u16string(drives), u"DE");
    EXPECT_EQ(reserveRelease[0], 0);
}

TEST(NodeAgentWire, RelayPostSendsTheDataBeforeItsSize) {
    StrictMock<MockCallbackRoutines> routines;
    EXPECT_CALL(routines, RelayPost(2, 0x40000, _, 3)).WillOnce([](LONG, LONG, const BYTE* data, LONG) {
        EXPECT_EQ(Bytes(data, data + 3), (Bytes{0xAA, 0xBB, 0xCC}));
        return RPC_STATUS{1721};
    });
    Loopback loop = ToConsole(routines);

    const BYTE data[3] = {0xAA, 0xBB, 0xCC};
    RPC_STATUS status = Call<kCallbacks, nodeagent::kRelayPost>(loop.Transport(), 2, 0x40000, &data[0], 3);

    const Bytes request = {
        0x02, 0x00, 0x00, 0x00, // sender key 2
        0x00, 0x00, 0x04, 0x00, // tag 0x40000
        0x03, 0x00, 0x00, 0x00, // data: maximum count = size A
        0xAA, 0xBB, 0xCC,       //   the bytes
        0x00,                   //   padding
        0x03, 0x00, 0x00, 0x00, // size A 3
    };
    EXPECT_EQ(loop.request, request);
    EXPECT_EQ(loop.reply, (Bytes{0xB9, 0x06, 0x00, 0x00})); // status 1721
    EXPECT_EQ(status, 1721);
}

TEST(NodeAgentWire, RelayFetchReturnsTheWholeCapacityThenTheSize) {
    StrictMock<MockCallbackRoutines> routines;
    EXPECT_CALL(routines, RelayFetch(1, 0x20000, _, 6, _))
        .WillOnce([](LONG, LONG, BYTE* data, LONG, LONG* size) {
            data[0] = 1;
            data[1] = 2;
            data[2] = 3;
            *size = 3;
            return RPC_STATUS{0};
        });
    Loopback loop = ToConsole(routines);

    BYTE data[6] = {9, 9, 9, 9, 9, 9};
    LONG size = -1;
    RPC_STATUS status =
        Call<kCallbacks, nodeagent::kRelayFetch>(loop.Transport(), 1, 0x20000, &data[0], 6, &size);

    const Bytes request = {
        0x01, 0x00, 0x00, 0x00, // caller key 1
        0x00, 0x00, 0x02, 0x00, // tag 0x20000
        0x06, 0x00, 0x00, 0x00, // size A 6
    };
    const Bytes reply = {
        0x06, 0x00, 0x00, 0x00,             // data: maximum count = size A
        0x01, 0x02, 0x03, 0x00, 0x00, 0x00, //   the message, then the zero fill
        0x00, 0x00,                         //   padding
        0x03, 0x00, 0x00, 0x00,             // size 3
        0x00, 0x00, 0x00, 0x00,             // status 0
    };
    EXPECT_EQ(loop.request, request);
    EXPECT_EQ(loop.reply, reply);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(Bytes(data, data + 6), (Bytes{1, 2, 3, 0, 0, 0}));
}

} // namespace
