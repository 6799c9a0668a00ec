// Raw PDUs from a plain socket: what a server makes of input no well-behaved client sends.
#include "platform/rpc/FaultStatus.h"
#include "platform/rpc/PduBind.h"
#include "platform/rpc/PduCall.h"
#include "tests/rpc/support/ServerFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <thread>

namespace {

using namespace rpc::pdu;
using rpc::Bytes;
using rpctest::ClientBinding;

// Guards the test against a server that never answers; not a measured time.
constexpr int kHangGuardMs = 20000;

std::uint16_t PortOf(const std::u16string& binding) {
    std::size_t open = binding.find(u'[');
    std::string port(binding.begin() + static_cast<std::ptrdiff_t>(open) + 1, binding.end() - 1);
    return static_cast<std::uint16_t>(std::stoi(port));
}

class RawConnection {
public:
    explicit RawConnection(std::uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawConnection() { ::close(m_fd); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool Connected() const { return m_connected; }
    void Send(rpc::ByteView bytes) { ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void EndSending() { ::shutdown(m_fd, SHUT_WR); }

    // The next PDU the server sends; nullopt when it closes the connection instead.
    std::optional<Bytes> Receive() {
        Bytes header(kCommonHeaderSize);
        if (!ReadExact(header)) {
            return std::nullopt;
        }
        std::size_t length = static_cast<std::size_t>(header[8] | header[9] << 8);
        Bytes pdu = header;
        pdu.resize(std::max(length, kCommonHeaderSize));
        if (!ReadExact(std::span(pdu).subspan(kCommonHeaderSize))) {
            return std::nullopt;
        }
        return pdu;
    }

private:
    bool ReadExact(std::span<std::uint8_t> buffer) {
        std::size_t done = 0;
        while (done < buffer.size()) {
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, kHangGuardMs) != 1) {
                ADD_FAILURE() << "the server neither answered nor closed the connection";
                return false;
            }
            ssize_t got = ::recv(m_fd, buffer.data() + done, buffer.size() - done, 0);
            if (got <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

    int m_fd = -1;
    bool m_connected = false;
};

Bytes Bind(std::uint16_t maxFrag = 5840) {
    BindPdu bind;
    bind.callId = 1;
    bind.maxXmitFrag = maxFrag;
    bind.maxRecvFrag = maxFrag;
    bind.contexts.push_back({0, rpctest::kTestInterfaceId, {NdrTransferSyntax}});
    return EncodeBind(bind);
}

Bytes Request(std::uint16_t contextId, std::uint8_t flags = kWholeCall, std::uint32_t allocHint = 0) {
    RequestPdu request;
    request.callId = 2;
    request.flags = flags;
    request.contextId = contextId;
    request.opnum = rpctest::Ping;
    request.allocHint = allocHint;
    return EncodeRequest(request);
}

Bytes Patched(Bytes pdu, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    if (offset + bytes.size() <= pdu.size()) {
        std::copy(bytes.begin(), bytes.end(), pdu.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    return pdu;
}

Bytes Truncated(Bytes pdu, std::size_t length) {
    pdu.resize(length);
    return pdu;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// A bind carrying an 8-byte authentication trailer with 4 bytes of credentials.
Bytes AuthenticatedBind() {
    Bytes pdu = Bind();
    Bytes trailer = {10, 2, 0, 0, 1, 0, 0, 0, 0xde, 0xad, 0xbe, 0xef};
    pdu.insert(pdu.end(), trailer.begin(), trailer.end());
    pdu[8] = static_cast<std::uint8_t>(pdu.size());
    pdu[10] = 4;
    return pdu;
}

struct Expected {
    std::optional<PduType> reply; // nullopt: the connection is closed without an answer
    std::uint32_t code = 0;       // the fault status or the bind_nak reason
    bool closedAfter = true;
};

struct WireCase {
    const char* name;
    bool bindFirst;
    Bytes sent;
    Expected expected;
};

class RpcWire : public rpctest::ServerFixture {};

TEST_F(RpcWire, MalformedPdusAreAnsweredOrCutOffWhileTheServerGoesOn) {
    std::uint16_t port = PortOf(ServerBinding(u"ncacn_ip_tcp"));
    Bytes bigEndianRequest = Patched(Request(0), 4, {0x00});
    bigEndianRequest = Patched(bigEndianRequest, 8, {0x00, 0x18}); // frag_length 24, big-endian
    const WireCase cases[] = {
        {"truncated header", false, Truncated(Bind(), 10), {}},
        {"fragment length below the header", false, Patched(Bind(), 8, {8, 0}), {}},
        {"fragment length beyond the largest fragment", false, Patched(Bind(), 8, {0x70, 0x17}), {}},
        {"another protocol version",
         false,
         Patched(Bind(), 0, {4}),
         {PduType::BindNak, static_cast<std::uint32_t>(RejectReason::ProtocolVersionNotSupported)}},
        {"fragment sizes below the minimum",
         false,
         Bind(100),
         {PduType::BindNak, static_cast<std::uint32_t>(RejectReason::LocalLimitExceeded)}},
        {"authentication in the bind",
         false,
         AuthenticatedBind(),
         {PduType::BindNak, static_cast<std::uint32_t>(RejectReason::AuthenticationTypeNotRecognized)}},
        {"context list longer than the bind",
         false,
         Patched(Bind(), 24, {3}),
         {PduType::BindNak, static_cast<std::uint32_t>(RejectReason::NotSpecified)}},
        {"request before bind", false, Request(0), {PduType::Fault, nca_s_proto_error}},
        {"second bind",
         true,
         Bind(),
         {PduType::BindNak, static_cast<std::uint32_t>(RejectReason::NotSpecified)}},
        {"unknown context id", true, Request(7), {PduType::Fault, nca_s_unk_if, false}},
        {"big-endian stub data", true, bigEndianRequest, {PduType::Fault, RPC_X_BAD_STUB_DATA, false}},
        {"two first fragments",
         true,
         Joined({Request(0, PFC_FIRST_FRAG), Request(0, PFC_FIRST_FRAG)}),
         {PduType::Fault, nca_s_proto_error}},
        {"a last fragment without a first",
         true,
         Request(0, PFC_LAST_FRAG),
         {PduType::Fault, nca_s_proto_error}},
        {"huge allocation hint", true, Request(0, kWholeCall, 0xFFFFFFFF), {PduType::Response, 0, false}},
        {"connectionless PDU type", true, Patched(Request(0), 2, {1}), {}},
    };
    for (const WireCase& c : cases) {
        SCOPED_TRACE(c.name);
        RawConnection raw(port);
        ASSERT_TRUE(raw.Connected());
        if (c.bindFirst) {
            raw.Send(Bind());
            auto ack = raw.Receive();
            ASSERT_TRUE(ack.has_value());
            ASSERT_EQ(static_cast<PduType>((*ack)[2]), PduType::BindAck);
        }
        raw.Send(c.sent);
        if (!c.bindFirst && c.sent.size() < kCommonHeaderSize) {
            raw.EndSending();
        }
        auto answer = raw.Receive();
        ASSERT_EQ(answer.has_value(), c.expected.reply.has_value());
        if (answer) {
            ASSERT_EQ(static_cast<PduType>((*answer)[2]), *c.expected.reply);
            if (*c.expected.reply == PduType::Fault) {
                FaultPdu fault;
                ASSERT_EQ(DecodeFault(*answer, fault), RPC_S_OK);
                EXPECT_EQ(fault.status, c.expected.code);
            } else if (*c.expected.reply == PduType::BindNak) {
                BindNakPdu nak;
                ASSERT_EQ(DecodeBindNak(*answer, nak), RPC_S_OK);
                EXPECT_EQ(static_cast<std::uint32_t>(nak.reason), c.expected.code);
            }
            if (c.expected.closedAfter) {
                EXPECT_FALSE(raw.Receive().has_value());
            } else {
                raw.Send(Request(0));
                auto next = raw.Receive();
                ASSERT_TRUE(next.has_value());
                EXPECT_EQ(static_cast<PduType>((*next)[2]), PduType::Response);
            }
        }
    }
    ClientBinding binding(ServerBinding(u"ncacn_ip_tcp"));
    rpc::Bytes reply;
    EXPECT_EQ(binding.Call(rpctest::Ping, {}, reply), RPC_S_OK);
}

TEST_F(RpcWire, AConnectionStuckMidFragmentHoldsUpNoOtherCaller) {
    std::u16string server = ServerBinding(u"ncacn_ip_tcp");
    RawConnection stuck(PortOf(server));
    ASSERT_TRUE(stuck.Connected());
    Bytes bind = Bind();
    stuck.Send(rpc::ByteView(bind).first(20)); // and never the rest
    ClientBinding binding(server);
    rpc::Bytes reply;
    EXPECT_EQ(binding.Call(rpctest::Echo, rpctest::Pattern(5000), reply), RPC_S_OK);
    EXPECT_EQ(reply, rpctest::Pattern(5000));
    // Stopping the server is not held up by the stuck connection either (TearDown waits).
}

} // namespace
