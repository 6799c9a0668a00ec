#include "platform/WinError.h"
#include "platform/rpc/FaultStatus.h"
#include "platform/rpc/PduBind.h"
#include "platform/rpc/PduCall.h"
#include "platform/rpc/PduFragments.h"
#include "platform/rpc/Uuid.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using namespace rpc::pdu;
using rpc::Bytes;
using rpc::ByteView;

// "05 00 0b" -> bytes; blanks and line breaks are ignored.
Bytes Hex(const std::string& text) {
    Bytes bytes;
    std::string digits;
    for (char c : text) {
        if (c != ' ' && c != '\n') {
            digits.push_back(c);
        }
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

const RPC_SYNTAX_IDENTIFIER kNodeAgent = {*rpc::ParseUuid("df34bdae-f157-11d0-95da-00805fe6d053"), {1, 0}};

// A bind for NodeAgent 1.0 over NDR 2.0, call id 1, fragment sizes 5840, new association group.
const char* const kBindBytes = "05 00 0b 03 10 00 00 00 48 00 00 00 01 00 00 00"
                               "d0 16 d0 16 00 00 00 00"
                               "01 00 00 00"
                               "00 00 01 00"
                               "ae bd 34 df 57 f1 d0 11 95 da 00 80 5f e6 d0 53 01 00 00 00"
                               "04 5d 88 8a eb 1c c9 11 9f e8 08 00 2b 10 48 60 02 00 00 00";

// Its acceptance: secondary address "1025" (5 bytes with the NUL, then 1 pad byte to align the
// result list), association group 0x12345.
const char* const kBindAckBytes = "05 00 0c 03 10 00 00 00 3c 00 00 00 01 00 00 00"
                                  "d0 16 d0 16 45 23 01 00"
                                  "05 00 31 30 32 35 00 00"
                                  "01 00 00 00"
                                  "00 00 00 00 04 5d 88 8a eb 1c c9 11 9f e8 08 00 2b 10 48 60 02 00 00 00";

BindPdu NodeAgentBind() {
    BindPdu bind;
    bind.callId = 1;
    bind.maxXmitFrag = 5840;
    bind.maxRecvFrag = 5840;
    bind.contexts.push_back({0, kNodeAgent, {NdrTransferSyntax}});
    return bind;
}

BindAckPdu NodeAgentBindAck() {
    BindAckPdu ack;
    ack.callId = 1;
    ack.maxXmitFrag = 5840;
    ack.maxRecvFrag = 5840;
    ack.assocGroupId = 0x12345;
    ack.secondaryAddress = "1025";
    ack.results.push_back({ContextResultKind::Acceptance, ProviderReason::NotSpecified, NdrTransferSyntax});
    return ack;
}

void SetFragLength(Bytes& pdu, std::size_t length) {
    pdu[8] = static_cast<std::uint8_t>(length);
    pdu[9] = static_cast<std::uint8_t>(length >> 8);
}

TEST(PduBind, EncodesAndDecodesTheHandWrittenBind) {
    EXPECT_EQ(EncodeBind(NodeAgentBind()), Hex(kBindBytes));

    BindPdu bind;
    PduType type{};
    ASSERT_EQ(DecodeBind(Hex(kBindBytes), bind, &type), RPC_S_OK);
    EXPECT_EQ(type, PduType::Bind);
    EXPECT_EQ(bind.callId, 1u);
    EXPECT_EQ(bind.maxXmitFrag, 5840);
    EXPECT_EQ(bind.maxRecvFrag, 5840);
    EXPECT_EQ(bind.assocGroupId, 0u);
    EXPECT_FALSE(bind.authenticated);
    ASSERT_EQ(bind.contexts.size(), 1u);
    EXPECT_EQ(bind.contexts[0].contextId, 0);
    EXPECT_EQ(bind.contexts[0].abstractSyntax, kNodeAgent);
    ASSERT_EQ(bind.contexts[0].transferSyntaxes.size(), 1u);
    EXPECT_EQ(bind.contexts[0].transferSyntaxes[0], NdrTransferSyntax);
}

TEST(PduBind, EncodesAndDecodesTheHandWrittenBindAck) {
    EXPECT_EQ(EncodeBindAck(NodeAgentBindAck()), Hex(kBindAckBytes));

    BindAckPdu ack;
    ASSERT_EQ(DecodeBindAck(Hex(kBindAckBytes), ack), RPC_S_OK);
    EXPECT_EQ(ack.assocGroupId, 0x12345u);
    EXPECT_EQ(ack.secondaryAddress, "1025");
    ASSERT_EQ(ack.results.size(), 1u);
    EXPECT_EQ(ack.results[0].result, ContextResultKind::Acceptance);
    EXPECT_EQ(ack.results[0].transferSyntax, NdrTransferSyntax);
}

TEST(PduBind, AlterContextAndNegotiationOutcomesRoundTrip) {
    BindPdu alter = NodeAgentBind();
    alter.callId = 7;
    alter.assocGroupId = 99;
    alter.contexts.push_back({1, kNodeAgent, {NdrTransferSyntax, kNodeAgent}});
    BindPdu decoded;
    PduType type{};
    ASSERT_EQ(DecodeBind(EncodeBind(alter, PduType::AlterContext), decoded, &type), RPC_S_OK);
    EXPECT_EQ(type, PduType::AlterContext);
    EXPECT_EQ(decoded.assocGroupId, 99u);
    ASSERT_EQ(decoded.contexts.size(), 2u);
    EXPECT_EQ(decoded.contexts[1].contextId, 1);
    EXPECT_EQ(decoded.contexts[1].transferSyntaxes.size(), 2u);

    // alter_context_resp carries no secondary address; a rejected context no transfer syntax.
    BindAckPdu response;
    response.callId = 7;
    response.results.push_back({ContextResultKind::ProviderRejection,
                                ProviderReason::AbstractSyntaxNotSupported, RPC_SYNTAX_IDENTIFIER{}});
    Bytes encoded = EncodeBindAck(response, PduType::AlterContextResp);
    EXPECT_EQ(encoded.size(), 28u + 4 + 24); // 26 bytes, padded to 28, then the result list
    BindAckPdu ack;
    ASSERT_EQ(DecodeBindAck(encoded, ack, &type), RPC_S_OK);
    EXPECT_EQ(type, PduType::AlterContextResp);
    EXPECT_EQ(ack.secondaryAddress, "");
    ASSERT_EQ(ack.results.size(), 1u);
    EXPECT_EQ(ack.results[0].result, ContextResultKind::ProviderRejection);
    EXPECT_EQ(ack.results[0].reason, ProviderReason::AbstractSyntaxNotSupported);

    BindNakPdu nak{3, RejectReason::ProtocolVersionNotSupported, {{5, 0}}};
    BindNakPdu decodedNak;
    ASSERT_EQ(DecodeBindNak(EncodeBindNak(nak), decodedNak), RPC_S_OK);
    EXPECT_EQ(decodedNak.callId, 3u);
    EXPECT_EQ(decodedNak.reason, RejectReason::ProtocolVersionNotSupported);
    ASSERT_EQ(decodedNak.versions.size(), 1u);
    EXPECT_EQ(decodedNak.versions[0].major, 5);
}

TEST(PduCall, RequestResponseAndFaultRoundTrip) {
    Bytes stub = {1, 2, 3, 4, 5};
    RequestPdu request;
    request.callId = 42;
    request.allocHint = 5;
    request.contextId = 1;
    request.opnum = 9;
    request.objectUuid = kNodeAgent.SyntaxGUID;
    request.stub = stub;
    Bytes encodedRequest = EncodeRequest(request);
    EXPECT_EQ(encodedRequest.size(), kRequestHeaderSize + 16 + stub.size());
    RequestPdu decodedRequest;
    ASSERT_EQ(DecodeRequest(encodedRequest, decodedRequest), RPC_S_OK);
    EXPECT_EQ(decodedRequest.callId, 42u);
    EXPECT_EQ(decodedRequest.opnum, 9);
    EXPECT_EQ(decodedRequest.contextId, 1);
    EXPECT_TRUE(decodedRequest.flags & PFC_OBJECT_UUID);
    ASSERT_TRUE(decodedRequest.objectUuid.has_value());
    EXPECT_EQ(*decodedRequest.objectUuid, kNodeAgent.SyntaxGUID);
    EXPECT_EQ(Bytes(decodedRequest.stub.begin(), decodedRequest.stub.end()), stub);

    ResponsePdu response;
    response.callId = 42;
    response.contextId = 1;
    response.cancelCount = 2;
    response.stub = stub;
    ResponsePdu decodedResponse;
    ASSERT_EQ(DecodeResponse(EncodeResponse(response), decodedResponse), RPC_S_OK);
    EXPECT_EQ(decodedResponse.cancelCount, 2);
    EXPECT_EQ(Bytes(decodedResponse.stub.begin(), decodedResponse.stub.end()), stub);

    FaultPdu fault;
    fault.callId = 42;
    fault.flags = kWholeCall | PFC_DID_NOT_EXECUTE;
    fault.status = nca_s_op_rng_error;
    Bytes encodedFault = EncodeFault(fault);
    EXPECT_EQ(encodedFault.size(), kFaultSize);
    FaultPdu decodedFault;
    ASSERT_EQ(DecodeFault(encodedFault, decodedFault), RPC_S_OK);
    EXPECT_EQ(decodedFault.status, nca_s_op_rng_error);
    EXPECT_TRUE(decodedFault.flags & PFC_DID_NOT_EXECUTE);
}

TEST(PduCall, StubDataStopsBeforeTheAuthenticationTrailer) {
    // A request whose 4 stub bytes are followed by 4 pad bytes, an 8-byte trailer (pad length
    // 4) and 4 bytes of credentials.
    Bytes pdu = Hex("05 00 00 03 10 00 00 00 2c 00 04 00 02 00 00 00"
                    "04 00 00 00 00 00 03 00"
                    "aa bb cc dd 00 00 00 00"
                    "0a 02 04 00 01 00 00 00"
                    "11 22 33 44");
    RequestPdu request;
    ASSERT_EQ(DecodeRequest(pdu, request), RPC_S_OK);
    EXPECT_EQ(Bytes(request.stub.begin(), request.stub.end()), Hex("aa bb cc dd"));
    Fragment fragment;
    ASSERT_EQ(DecodeFragment(pdu, fragment), RPC_S_OK);
    ASSERT_TRUE(fragment.auth.has_value());
    EXPECT_EQ(fragment.auth->authType, 10);
    EXPECT_EQ(fragment.auth->credentials.size(), 4u);
}

TEST(PduCall, BigEndianHeadersAreReadInTheSendersOrder) {
    // The same request as sent by a big-endian peer: data representation 00 00 00 00.
    Bytes pdu = Hex("05 00 00 03 00 00 00 00 00 1a 00 00 00 00 01 02"
                    "00 00 00 02 00 01 00 07"
                    "ab cd");
    RequestPdu request;
    ASSERT_EQ(DecodeRequest(pdu, request), RPC_S_OK);
    EXPECT_EQ(request.callId, 0x0102u);
    EXPECT_EQ(request.allocHint, 2u);
    EXPECT_EQ(request.contextId, 1);
    EXPECT_EQ(request.opnum, 7);
    EXPECT_EQ(request.stub.size(), 2u);
    EXPECT_FALSE(IsNativeRepresentation(request.drep)); // the runtime must not pass its stub on as NDR LE
}

struct FragmentCase {
    const char* name;
    std::size_t maxFragment;
    bool request;
};

void PrintTo(const FragmentCase& c, std::ostream* out) {
    *out << c.name;
}

class PduFragmentation : public testing::TestWithParam<FragmentCase> {};

TEST_P(PduFragmentation, ALargeBodyTravelsInFragmentsThatFitAndComesBackEqual) {
    const FragmentCase& c = GetParam();
    Bytes body(41240);
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    std::vector<Bytes> fragments;
    auto collect = [&fragments](ByteView fragment) {
        fragments.emplace_back(fragment.begin(), fragment.end());
        return RPC_STATUS{RPC_S_OK};
    };
    RequestPdu requestCall;
    requestCall.callId = 5;
    requestCall.contextId = 0;
    requestCall.opnum = 9;
    ResponsePdu responseCall;
    responseCall.callId = 5;
    RPC_STATUS sent = c.request ? SendRequestFragments(requestCall, body, c.maxFragment, collect)
                                : SendResponseFragments(responseCall, body, c.maxFragment, collect);
    ASSERT_EQ(sent, RPC_S_OK);
    ASSERT_GT(fragments.size(), 1u);

    Reassembler reassembler(64 * 1024);
    std::size_t bodyLeft = body.size();
    for (std::size_t i = 0; i < fragments.size(); ++i) {
        const Bytes& fragment = fragments[i];
        EXPECT_LE(fragment.size(), c.maxFragment);
        std::uint8_t flags = fragment[3];
        EXPECT_EQ((flags & PFC_FIRST_FRAG) != 0, i == 0);
        EXPECT_EQ((flags & PFC_LAST_FRAG) != 0, i + 1 == fragments.size());
        std::uint32_t allocHint = 0;
        if (c.request) {
            RequestPdu pdu;
            ASSERT_EQ(DecodeRequest(fragment, pdu), RPC_S_OK);
            allocHint = pdu.allocHint;
            ASSERT_EQ(reassembler.Add(pdu), RPC_S_OK);
        } else {
            ResponsePdu pdu;
            ASSERT_EQ(DecodeResponse(fragment, pdu), RPC_S_OK);
            allocHint = pdu.allocHint;
            ASSERT_EQ(reassembler.Add(pdu), RPC_S_OK);
        }
        EXPECT_EQ(allocHint, bodyLeft);
        bodyLeft -= fragment.size() - kResponseHeaderSize;
        EXPECT_EQ(reassembler.Complete(), i + 1 == fragments.size());
    }
    EXPECT_EQ(reassembler.Take(), body);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PduFragmentation,
                         testing::Values(FragmentCase{"Response1024", 1024, false},
                                         FragmentCase{"Response5840", 5840, false},
                                         FragmentCase{"Request1024", 1024, true},
                                         FragmentCase{"Request5840", 5840, true}),
                         [](const testing::TestParamInfo<FragmentCase>& param) { return param.param.name; });

TEST(PduFragmentation, EmptyBodyIsOneFragmentAndTinyFragmentSizesAreRefused) {
    int count = 0;
    auto countFragments = [&count](ByteView) {
        ++count;
        return RPC_STATUS{RPC_S_OK};
    };
    ResponsePdu call;
    EXPECT_EQ(SendResponseFragments(call, {}, 1024, countFragments), RPC_S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(SendResponseFragments(call, Bytes(100), kResponseHeaderSize + 7, countFragments),
              static_cast<RPC_STATUS>(ERROR_INVALID_PARAMETER));
}

ResponsePdu Part(std::uint32_t callId, std::uint8_t flags, ByteView stub, std::uint32_t allocHint = 0) {
    ResponsePdu pdu;
    pdu.callId = callId;
    pdu.flags = flags;
    pdu.allocHint = allocHint;
    pdu.stub = stub;
    return pdu;
}

TEST(PduReassembly, RefusesFragmentsThatDoNotContinueTheCall) {
    Bytes stub(16);
    struct Case {
        const char* name;
        std::vector<ResponsePdu> parts;
    };
    const Case cases[] = {
        {"no first fragment", {Part(1, PFC_LAST_FRAG, stub)}},
        {"second first fragment", {Part(1, PFC_FIRST_FRAG, stub), Part(1, PFC_FIRST_FRAG, stub)}},
        {"other call id", {Part(1, PFC_FIRST_FRAG, stub), Part(2, PFC_LAST_FRAG, stub)}},
        {"body beyond the bound", {Part(1, PFC_FIRST_FRAG, stub), Part(1, 0, stub), Part(1, 0, stub)}},
    };
    for (const Case& c : cases) {
        Reassembler reassembler(40);
        RPC_STATUS last = RPC_S_OK;
        for (const ResponsePdu& part : c.parts) {
            last = reassembler.Add(part);
            if (last != RPC_S_OK) {
                break;
            }
        }
        EXPECT_EQ(last, RPC_S_PROTOCOL_ERROR) << c.name;
        EXPECT_FALSE(reassembler.InProgress()) << c.name;
    }

    // A huge alloc_hint is only a hint: nothing beyond the bound is reserved or accepted.
    Reassembler reassembler(40);
    ASSERT_EQ(reassembler.Add(Part(1, kWholeCall, stub, 0xFFFFFFFF)), RPC_S_OK);
    EXPECT_EQ(reassembler.Take().size(), 16u);
}

TEST(PduDecode, RefusesHeadersThatCannotBeRead) {
    Bytes bind = Hex(kBindBytes);
    struct Case {
        const char* name;
        std::size_t offset;
        std::uint8_t value;
    };
    const Case cases[] = {
        {"version 4", 0, 4},
        {"minor version 2", 1, 2},
        {"unknown integer representation", 4, 0x20},
        {"unknown floating point representation", 5, 7},
        {"fragment length below the header", 8, 15},
        {"fragment length beyond the bytes held", 8, 0x49},
        {"authentication trailer longer than the fragment", 10, 0x40},
    };
    for (const Case& c : cases) {
        Bytes pdu = bind;
        pdu[c.offset] = c.value;
        BindPdu decoded;
        EXPECT_EQ(DecodeBind(pdu, decoded), RPC_S_PROTOCOL_ERROR) << c.name;
    }
    CommonHeader header;
    EXPECT_EQ(DecodeCommonHeader(ByteView(bind).first(10), header), RPC_S_PROTOCOL_ERROR);
    // A PDU of another type is not taken for a bind.
    BindPdu decoded;
    EXPECT_EQ(DecodeBind(Hex(kBindAckBytes), decoded), RPC_S_PROTOCOL_ERROR);
}

TEST(PduDecode, RefusesEveryCutShortPdu) {
    RequestPdu request;
    request.objectUuid = kNodeAgent.SyntaxGUID;
    FaultPdu fault;
    BindNakPdu nak{1, RejectReason::NotSpecified, {{5, 0}}};
    struct Case {
        const char* name;
        Bytes pdu;
        std::size_t fixedPart; // every cut below this length must be refused
        std::function<RPC_STATUS(ByteView)> decode;
    };
    const Case cases[] = {
        {"bind", Hex(kBindBytes), 72,
         [](ByteView d) {
             BindPdu p;
             return DecodeBind(d, p);
         }},
        {"bind_ack", Hex(kBindAckBytes), 60,
         [](ByteView d) {
             BindAckPdu p;
             return DecodeBindAck(d, p);
         }},
        {"request", EncodeRequest(request), kRequestHeaderSize + 16,
         [](ByteView d) {
             RequestPdu p;
             return DecodeRequest(d, p);
         }},
        {"response", EncodeResponse(ResponsePdu{}), kResponseHeaderSize,
         [](ByteView d) {
             ResponsePdu p;
             return DecodeResponse(d, p);
         }},
        {"fault", EncodeFault(fault), 28,
         [](ByteView d) {
             FaultPdu p;
             return DecodeFault(d, p);
         }},
        {"bind_nak", EncodeBindNak(nak), 21,
         [](ByteView d) {
             BindNakPdu p;
             return DecodeBindNak(d, p);
         }},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.decode(c.pdu), RPC_S_OK) << c.name;
        for (std::size_t length = 0; length < c.fixedPart; ++length) {
            Bytes cut(c.pdu.begin(), c.pdu.begin() + static_cast<std::ptrdiff_t>(length));
            // Once as cut off by the transport, once with frag_length claiming the cut length.
            EXPECT_EQ(c.decode(cut), RPC_S_PROTOCOL_ERROR) << c.name << " cut to " << length;
            if (length >= 10) {
                SetFragLength(cut, length);
                if (length != 18) { // a bind_nak of 18 bytes is its reason alone, which is legal
                    EXPECT_EQ(c.decode(cut), RPC_S_PROTOCOL_ERROR) << c.name << " claiming " << length;
                }
            }
        }
    }
}

TEST(PduDecode, RefusesCountsThatPointPastTheFragment) {
    Bytes bind = Hex(kBindBytes);
    Bytes tooManyContexts = bind;
    tooManyContexts[24] = 2;
    Bytes tooManySyntaxes = bind;
    tooManySyntaxes[30] = 3;
    Bytes bindAck = Hex(kBindAckBytes);
    Bytes longAddress = bindAck;
    longAddress[24] = 0xFF;
    Bytes tooManyResults = bindAck;
    tooManyResults[32] = 9;
    BindPdu decodedBind;
    EXPECT_EQ(DecodeBind(tooManyContexts, decodedBind), RPC_S_PROTOCOL_ERROR);
    EXPECT_EQ(DecodeBind(tooManySyntaxes, decodedBind), RPC_S_PROTOCOL_ERROR);
    BindAckPdu decodedAck;
    EXPECT_EQ(DecodeBindAck(longAddress, decodedAck), RPC_S_PROTOCOL_ERROR);
    EXPECT_EQ(DecodeBindAck(tooManyResults, decodedAck), RPC_S_PROTOCOL_ERROR);

    // An authentication pad that claims more than the body holds.
    Bytes request = Hex("05 00 00 03 10 00 00 00 28 00 04 00 02 00 00 00"
                        "04 00 00 00 00 00 03 00"
                        "0a 02 f0 00 01 00 00 00"
                        "11 22 33 44");
    RequestPdu decodedRequest;
    EXPECT_EQ(DecodeRequest(request, decodedRequest), RPC_S_PROTOCOL_ERROR);
}

} // namespace
