// Serving a call: the buffers a routine gets, what becomes of them on every path, and how the
// outcome reaches the caller.
#include "tests/contract/AllocationProbe.h"
#include "tests/contract/MockRoutines.h"

#include "agent/contract/NodeAgentMarshal.h"
#include "agent/contract/TypedStubs.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

using namespace contracttest;
using nodeagent::Argument;
using nodeagent::kProcedures;
using nodeagent::typed::Call;
using rpc::Bytes;
using testing::_;
using testing::StrictMock;

const nodeagent::Operation& kTestSharedDrives = kProcedures[nodeagent::kTestSharedDrives];

// Procedure 12 with the console's buffer sizes.
Bytes SharedDrivesRequest() {
    Argument arguments[7] = {};
    arguments[0].input = u"NODE2";
    arguments[2].integer = nodeagent::kSharedDrivesSummaryChars;
    arguments[4].integer = nodeagent::kSharedDrivesChars;
    arguments[6].integer = nodeagent::kReserveReleaseChars;
    WCHAR unused[1];
    arguments[1].output = arguments[3].output = arguments[5].output = unused; // not sent
    Bytes request;
    EXPECT_EQ(nodeagent::EncodeRequest(kTestSharedDrives, arguments, request), RPC_S_OK);
    return request;
}

bool AllZero(const WCHAR* buffer, LONG size) {
    return std::all_of(buffer, buffer + size, [](WCHAR c) { return c == 0; });
}

TEST(NodeAgentDispatch, OutBuffersArriveZeroFilledAtExactlyTheRequestedSizes) {
    const Bytes request = SharedDrivesRequest();
    Bytes reply;
    std::vector<std::size_t> sizes;
    {
        AllocationProbe probe;
        RPC_STATUS status =
            nodeagent::ServeCall(kTestSharedDrives, request, reply, [](std::span<Argument> a) {
                EXPECT_EQ(std::u16string(static_cast<const WCHAR*>(a[0].input)), u"NODE2");
                EXPECT_TRUE(AllZero(static_cast<WCHAR*>(a[1].output), a[2].integer));
                EXPECT_TRUE(AllZero(static_cast<WCHAR*>(a[3].output), a[4].integer));
                EXPECT_TRUE(AllZero(static_cast<WCHAR*>(a[5].output), a[6].integer));
                return RPC_STATUS{0};
            });
        EXPECT_EQ(status, RPC_S_OK);
        sizes = probe.Sizes();
    }
    // The copy of "NODE2" and its NUL, then one block per out text of exactly its size.
    EXPECT_THAT(sizes,
                testing::IsSupersetOf({std::size_t{6 * 2}, std::size_t{504 * 2}, std::size_t{1512 * 2}}));
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), std::size_t{1512 * 2}), 2);
    // Every buffer travels whole: three counts, 504 + 1512 + 1512 characters, the status.
    EXPECT_EQ(reply.size(), 4 + 504 * 2 + 4 + 1512 * 2 + 4 + 1512 * 2 + 4);
}

// What a routine throws goes on to the runtime, which answers with a fault; the buffers are
// freed on the way.
TEST(NodeAgentDispatch, ARoutineThatThrowsLeavesNoBufferBehind) {
    const Bytes request = SharedDrivesRequest();
    Bytes reply;
    AllocationProbe probe;
    EXPECT_THROW(nodeagent::ServeCall(kTestSharedDrives, request, reply,
                                      [](std::span<Argument> a) -> RPC_STATUS {
                                          static_cast<WCHAR*>(a[1].output)[0] = u'S';
                                          throw std::runtime_error("probe failed");
                                      }),
                 std::runtime_error);
    EXPECT_GE(probe.Allocated(), 4u); // the other node's name and the three out texts
    EXPECT_EQ(probe.Freed(), probe.Allocated());
}

TEST(NodeAgentDispatch, ABufferThatCannotBeAllocatedRaisesBeforeTheRoutineRuns) {
    const Bytes request = SharedDrivesRequest();
    Bytes reply;
    bool ran = false;
    AllocationProbe probe(1512 * 2); // the summary fits, the drives buffer does not
    EXPECT_THROW(nodeagent::ServeCall(kTestSharedDrives, request, reply,
                                      [&](std::span<Argument>) {
                                          ran = true;
                                          return RPC_STATUS{0};
                                      }),
                 std::bad_alloc);
    EXPECT_FALSE(ran);
    EXPECT_EQ(probe.Freed(), probe.Allocated());
}

// A routine that fills a text buffer to the end has overrun its text: the buffer still travels
// whole, with a NUL in its last character, so that the console never holds an unterminated
// text.
TEST(NodeAgentDispatch, AnUnterminatedTextIsSentWithANulInItsLastCharacter) {
    StrictMock<MockServerRoutines> routines;
    EXPECT_CALL(routines, GetOsVersion(nullptr, _, 4)).WillOnce([](handle_t, WCHAR* version, LONG size) {
        std::fill(version, version + size, u'v');
        return RPC_STATUS{31};
    });
    Loopback loop = ToAgent(routines);
    WCHAR version[4];
    EXPECT_EQ((Call<kProcedures, nodeagent::kGetOsVersion>(loop.Transport(), &version[0], 4)), 31);
    const Bytes reply = {
        0x04, 0x00, 0x00, 0x00,                        // maximum count 4
        'v',  0x00, 'v',  0x00, 'v', 0x00, 0x00, 0x00, // "vvv" and the NUL put in place of the 4th 'v'
        0x1F, 0x00, 0x00, 0x00,                        // status 31
    };
    EXPECT_EQ(loop.reply, reply);
    EXPECT_EQ(std::u16string(version), u"vvv");
}

TEST(NodeAgentDispatch, FailuresOfTheCallAreItsStatusAndLeaveTheCallerAlone) {
    StrictMock<MockServerRoutines> routines; // never reached
    const rpc::Dispatcher unreachable = [](std::uint32_t, rpc::ByteView, Bytes&) {
        return RPC_STATUS{RPC_S_SERVER_UNAVAILABLE};
    };
    // The request loses its last byte on the way: the agent faults with bad stub data.
    const rpc::Dispatcher damaging = [&](std::uint32_t opnum, rpc::ByteView request, Bytes& reply) {
        return nodeagent::DispatchProcedure(routines, opnum, request.first(request.size() - 1), reply);
    };

    const struct {
        const char* name;
        rpc::Dispatcher transport;
        RPC_STATUS status;
    } cases[] = {{"agent unreachable", unreachable, RPC_S_SERVER_UNAVAILABLE},
                 {"agent faulted", damaging, RPC_X_BAD_STUB_DATA}};
    for (const auto& c : cases) {
        LONG controllerCount = 5;
        WCHAR record[3] = {u'?', u'?', u'?'};
        EXPECT_EQ((Call<kProcedures, nodeagent::kGetControllerSlots>(c.transport, 1, &controllerCount,
                                                                     &record[0], 3)),
                  c.status)
            << c.name;
        EXPECT_EQ(controllerCount, 5) << c.name;
        EXPECT_EQ(std::u16string(record, 3), u"???") << c.name;
    }
}

TEST(NodeAgentDispatch, AnInOutIntegerComesBackWithTheAgentsValueWhateverTheStatus) {
    StrictMock<MockServerRoutines> routines;
    EXPECT_CALL(routines, GetDriverRevision(nullptr, 1, 2, _, _, nodeagent::kDriverRevisionChars))
        .WillOnce([](handle_t, LONG, LONG, LONG* firstPort, WCHAR* record, LONG) {
            EXPECT_EQ(*firstPort, -1);
            *firstPort = 3;
            Put(record, u"|DRV|");
            return RPC_STATUS{1200};
        });
    Loopback loop = ToAgent(routines);
    LONG firstPort = -1;
    std::vector<WCHAR> record(nodeagent::kDriverRevisionChars, u'?');
    EXPECT_EQ((Call<kProcedures, nodeagent::kGetDriverRevision>(
                  loop.Transport(), 1, 2, &firstPort, record.data(), nodeagent::kDriverRevisionChars)),
              1200);
    EXPECT_EQ(firstPort, 3);
    EXPECT_EQ(std::u16string(record.data()), u"|DRV|");
    // The rest of the caller's buffer is the agent's zero fill, not what the caller had in it.
    EXPECT_TRUE(AllZero(record.data() + 5, nodeagent::kDriverRevisionChars - 5));
}

} // namespace
