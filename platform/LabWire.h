#pragma once
// The bodies of the calls between the platform and a computer's ntnode. Each request and
// reply is a struct that lists its fields once, in wire order, in a static Fields(self, visit)
// member; the one Encoder and the one Decoder below walk that list with the NDR primitives, so
// that the client stub and the server stub of a procedure share a single description.
//
//   std::uint32_t, bool          a long (bool: 0 or 1)
//   std::uint64_t                two longs, low half first
//   std::u16string               a conformant varying string (no NUL inside)
//   std::vector<std::uint8_t>    a conformant byte array
//   std::array<std::uint8_t, N>  a conformant byte array of exactly N bytes
//   std::vector<std::u16string>  a long count, then the strings
//   a struct with Fields         its fields in order
#include "platform/WinError.h"
#include "platform/rpc/Ndr.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::wire {

// Limits every decoder applies before it keeps anything.
inline constexpr std::size_t kMaxTextLength = 32767;     // characters of one text
inline constexpr std::uint32_t kMaxTextCount = 4096;     // texts of one list

template <class T, class Visitor>
concept Described = requires(T& value, Visitor& visitor) { T::Fields(value, visitor); };

class Encoder {
public:
    explicit Encoder(rpc::Bytes& body) : m_writer(body) {}

    void operator()(const std::uint32_t& value) { m_writer.WriteLong(value); }
    void operator()(const bool& value) { m_writer.WriteLong(std::uint32_t{value ? 1u : 0u}); }
    void operator()(const std::uint64_t& value) {
        m_writer.WriteLong(static_cast<std::uint32_t>(value));
        m_writer.WriteLong(static_cast<std::uint32_t>(value >> 32));
    }
    void operator()(const std::u16string& text) { m_writer.WriteString(text); }
    void operator()(const std::vector<std::uint8_t>& bytes) { m_writer.WriteArray(std::span<const BYTE>(bytes)); }
    template <std::size_t N>
    void operator()(const std::array<std::uint8_t, N>& bytes) {
        m_writer.WriteArray(std::span<const BYTE>(bytes));
    }
    void operator()(const std::vector<std::u16string>& texts) {
        m_writer.WriteLong(static_cast<std::uint32_t>(texts.size()));
        for (const std::u16string& text : texts) {
            m_writer.WriteString(text);
        }
    }
    template <class T>
        requires Described<const T, Encoder>
    void operator()(const T& value) {
        T::Fields(value, *this);
    }

private:
    rpc::NdrWriter m_writer;
};

class Decoder {
public:
    explicit Decoder(rpc::ByteView body) : m_reader(body) {}

    void operator()(std::uint32_t& value) { Read([&] { return m_reader.ReadLong(value); }); }
    void operator()(bool& value) {
        std::uint32_t number = 0;
        (*this)(number);
        Check(number <= 1);
        value = number == 1;
    }
    void operator()(std::uint64_t& value) {
        std::uint32_t low = 0, high = 0;
        (*this)(low);
        (*this)(high);
        value = (std::uint64_t{high} << 32) | low;
    }
    void operator()(std::u16string& text) {
        rpc::NdrWideChars chars;
        Read([&] { return m_reader.ReadString(chars); });
        if (m_status != RPC_S_OK) {
            return;
        }
        // The characters include the closing NUL; none may stand inside.
        Check(chars.size() - 1 <= kMaxTextLength);
        if (m_status == RPC_S_OK) {
            text.resize(chars.size());
            chars.CopyTo(text.data());
            text.pop_back();
            Check(text.find(u'\0') == std::u16string::npos);
        }
    }
    void operator()(std::vector<std::uint8_t>& bytes) {
        rpc::ByteView view;
        Read([&] { return m_reader.ReadArray(view); });
        if (m_status == RPC_S_OK) {
            bytes.assign(view.begin(), view.end());
        }
    }
    template <std::size_t N>
    void operator()(std::array<std::uint8_t, N>& bytes) {
        rpc::ByteView view;
        Read([&] { return m_reader.ReadArray(view); });
        Check(m_status != RPC_S_OK || view.size() == N);
        if (m_status == RPC_S_OK) {
            std::copy(view.begin(), view.end(), bytes.begin());
        }
    }
    void operator()(std::vector<std::u16string>& texts) {
        std::uint32_t count = 0;
        (*this)(count);
        Check(count <= kMaxTextCount);
        texts.clear();
        for (std::uint32_t i = 0; i < count && m_status == RPC_S_OK; ++i) {
            std::u16string text;
            (*this)(text);
            texts.push_back(std::move(text));
        }
    }
    template <class T>
        requires Described<T, Decoder>
    void operator()(T& value) {
        T::Fields(value, *this);
    }

    // The first failure met, or the reader's verdict on what is left over.
    RPC_STATUS Finish() const { return m_status != RPC_S_OK ? m_status : m_reader.Finish(); }

private:
    template <class F>
    void Read(F read) {
        if (m_status == RPC_S_OK) {
            m_status = read();
        }
    }
    void Check(bool good) {
        if (m_status == RPC_S_OK && !good) {
            m_status = RPC_X_BAD_STUB_DATA;
        }
    }

    rpc::NdrReader m_reader;
    RPC_STATUS m_status = RPC_S_OK;
};

// The bodies many procedures share.
struct NoFields {
    static void Fields(auto&, auto&) {}
};

struct StatusReply {
    std::uint32_t status = 0;

    static void Fields(auto& self, auto& visit) { visit(self.status); }
};

template <class Message>
rpc::Bytes Encode(const Message& message) {
    rpc::Bytes body;
    Encoder encoder(body);
    encoder(message);
    return body;
}

// RPC_X_BAD_STUB_DATA (or the reader's status) for a body that does not hold exactly a Message.
template <class Message>
RPC_STATUS Decode(rpc::ByteView body, Message& message) {
    Decoder decoder(body);
    decoder(message);
    return decoder.Finish();
}

// Server side: decodes the request, lets `serve` answer it, encodes the reply.
template <class Request, class Reply, class Serve>
RPC_STATUS ServeCall(rpc::ByteView request, rpc::Bytes& reply, Serve&& serve) {
    Request decoded{};
    if (RPC_STATUS status = Decode(request, decoded); status != RPC_S_OK) {
        return status;
    }
    Reply answer = serve(decoded);
    reply = Encode(answer);
    return RPC_S_OK;
}

// Client side: one call with an encoded request and a decoded reply.
template <class Request, class Reply>
RPC_STATUS CallProcedure(RPC_BINDING_HANDLE binding, const RPC_CLIENT_INTERFACE* clientInterface, std::uint32_t opnum,
                         const Request& request, Reply& reply) {
    rpc::Bytes replyBody;
    RPC_STATUS status = NdrClientCall(binding, clientInterface, opnum, Encode(request), replyBody);
    if (status != RPC_S_OK) {
        return status;
    }
    return Decode(replyBody, reply);
}

} // namespace platform::wire
