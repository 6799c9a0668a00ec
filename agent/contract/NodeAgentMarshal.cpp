#include "agent/contract/NodeAgentMarshal.h"

#include "platform/WinError.h"
#include "platform/rpc/Ndr.h"

#include <algorithm>
#include <string>

namespace nodeagent {
namespace {

using rpc::NdrReader;
using rpc::NdrWideChars;
using rpc::NdrWriter;

// Every array names a Size parameter and every bounded length too; caught at compile time.
constexpr bool IsWellFormed(const Operation& operation) {
    if (operation.params.size() > kMaxParameters) {
        return false;
    }
    for (const Parameter& param : operation.params) {
        bool sized = IsArray(param.kind) || (param.kind == ParamKind::OutInt && param.sizeParam != kNoParam);
        if (!sized) {
            continue;
        }
        auto index = static_cast<std::size_t>(param.sizeParam);
        if (param.sizeParam < 0 || index >= operation.params.size() ||
            operation.params[index].kind != ParamKind::Size) {
            return false;
        }
    }
    return true;
}

constexpr bool AllWellFormed() {
    for (const Operation& operation : kProcedures) {
        if (!IsWellFormed(operation)) {
            return false;
        }
    }
    for (const Operation& operation : kCallbacks) {
        if (!IsWellFormed(operation)) {
            return false;
        }
    }
    return true;
}
static_assert(AllWellFormed(), "every array and bounded length of the description names a Size parameter");

bool IsText(ParamKind kind) {
    return kind == ParamKind::InText || kind == ParamKind::OutText;
}

bool IsSaneSize(LONG size) {
    return size >= 0 && size <= kMaxBufferElements;
}

std::size_t SizeOf(const Operation& operation, std::span<const Argument> arguments, std::size_t index) {
    return static_cast<std::size_t>(
        arguments[static_cast<std::size_t>(operation.params[index].sizeParam)].integer);
}

// What one parameter's wire form holds before it is stored anywhere.
struct WireValue {
    LONG integer = 0;
    bool present = false; // OptText: the pointer is not null
    NdrWideChars chars;   // OptText, InText, OutText
    rpc::ByteView bytes;  // InBytes, OutBytes
};
using WireValues = std::array<WireValue, kMaxParameters>;

RPC_STATUS ReadValue(NdrReader& reader, ParamKind kind, WireValue& value) {
    switch (kind) {
    case ParamKind::Int:
    case ParamKind::InOutInt:
    case ParamKind::OutInt:
    case ParamKind::Size:
        return reader.ReadLong(value.integer);
    case ParamKind::OptText: {
        RPC_STATUS status = reader.ReadReferent(value.present);
        if (status == RPC_S_OK && value.present) {
            status = reader.ReadString(value.chars);
        }
        return status;
    }
    case ParamKind::InText:
    case ParamKind::OutText:
        return reader.ReadArray(value.chars);
    case ParamKind::InBytes:
    case ParamKind::OutBytes:
        return reader.ReadArray(value.bytes);
    }
    return RPC_X_BAD_STUB_DATA;
}

std::size_t WireCount(ParamKind kind, const WireValue& value) {
    return kind == ParamKind::InBytes || kind == ParamKind::OutBytes ? value.bytes.size()
                                                                     : value.chars.size();
}

// The request as the serving side holds it: the arguments and the buffers behind them, owned
// here so that they are freed however the call ends.
class ServerFrame {
public:
    explicit ServerFrame(const Operation& operation) : m_operation(operation) {}

    RPC_STATUS DecodeRequest(rpc::ByteView request);
    void TerminateOutTexts();
    std::span<Argument> Arguments() { return std::span(m_arguments).first(m_operation.params.size()); }

private:
    RPC_STATUS CheckRequest(const WireValues& values) const;
    void StoreRequest(const WireValues& values);

    const Operation& m_operation;
    std::array<Argument, kMaxParameters> m_arguments{};
    std::array<std::unique_ptr<WCHAR[]>, kMaxParameters> m_chars;
    std::array<std::unique_ptr<BYTE[]>, kMaxParameters> m_bytes;
};

RPC_STATUS ServerFrame::DecodeRequest(rpc::ByteView request) {
    NdrReader reader(request);
    WireValues values{};
    for (std::size_t i = 0; i < m_operation.params.size(); ++i) {
        ParamKind kind = m_operation.params[i].kind;
        if (!IsInput(kind)) {
            continue;
        }
        if (RPC_STATUS status = ReadValue(reader, kind, values[i]); status != RPC_S_OK) {
            return status;
        }
    }
    if (RPC_STATUS status = reader.Finish(); status != RPC_S_OK) {
        return status;
    }
    if (RPC_STATUS status = CheckRequest(values); status != RPC_S_OK) {
        return status;
    }
    StoreRequest(values);
    return RPC_S_OK;
}

// Everything is checked before the first allocation.
RPC_STATUS ServerFrame::CheckRequest(const WireValues& values) const {
    for (std::size_t i = 0; i < m_operation.params.size(); ++i) {
        const Parameter& param = m_operation.params[i];
        const WireValue& value = values[i];
        if (param.kind == ParamKind::Size && !IsSaneSize(value.integer)) {
            return RPC_X_BAD_STUB_DATA;
        }
        if (param.kind == ParamKind::OptText && value.present &&
            value.chars.size() > static_cast<std::size_t>(kMaxBufferElements)) {
            return RPC_X_BAD_STUB_DATA;
        }
        if (param.kind == ParamKind::InText || param.kind == ParamKind::InBytes) {
            const WireValue& size = values[static_cast<std::size_t>(param.sizeParam)];
            if (WireCount(param.kind, value) != static_cast<std::size_t>(size.integer)) {
                return RPC_X_BAD_STUB_DATA;
            }
            if (param.kind == ParamKind::InText && !value.chars.ContainsNul()) {
                return RPC_X_BAD_STUB_DATA;
            }
        }
    }
    return RPC_S_OK;
}

void ServerFrame::StoreRequest(const WireValues& values) {
    for (std::size_t i = 0; i < m_operation.params.size(); ++i) {
        m_arguments[i].integer = values[i].integer;
    }
    for (std::size_t i = 0; i < m_operation.params.size(); ++i) {
        const Parameter& param = m_operation.params[i];
        const WireValue& value = values[i];
        Argument& argument = m_arguments[i];
        switch (param.kind) {
        case ParamKind::OptText:
        case ParamKind::InText:
            if (param.kind == ParamKind::InText || value.present) {
                m_chars[i] = std::make_unique<WCHAR[]>(value.chars.size());
                value.chars.CopyTo(m_chars[i].get());
                argument.input = m_chars[i].get();
            }
            break;
        case ParamKind::InBytes:
            m_bytes[i] = std::make_unique<BYTE[]>(value.bytes.size());
            std::copy(value.bytes.begin(), value.bytes.end(), m_bytes[i].get());
            argument.input = m_bytes[i].get();
            break;
        case ParamKind::OutText: // make_unique value-initialises: the buffer comes zero-filled
            m_chars[i] = std::make_unique<WCHAR[]>(SizeOf(m_operation, m_arguments, i));
            argument.output = m_chars[i].get();
            break;
        case ParamKind::OutBytes:
            m_bytes[i] = std::make_unique<BYTE[]>(SizeOf(m_operation, m_arguments, i));
            argument.output = m_bytes[i].get();
            break;
        default:
            break;
        }
    }
}

void ServerFrame::TerminateOutTexts() {
    for (std::size_t i = 0; i < m_operation.params.size(); ++i) {
        if (m_operation.params[i].kind != ParamKind::OutText) {
            continue;
        }
        std::span<WCHAR> text(m_chars[i].get(), SizeOf(m_operation, m_arguments, i));
        if (!text.empty() && std::find(text.begin(), text.end(), WCHAR{0}) == text.end()) {
            text.back() = 0;
        }
    }
}

// One parameter's value in its wire form; `size` is the element count of an array.
void WriteValue(NdrWriter& writer, ParamKind kind, const Argument& argument, std::size_t size) {
    switch (kind) {
    case ParamKind::Int:
    case ParamKind::InOutInt:
    case ParamKind::OutInt:
    case ParamKind::Size:
        writer.WriteLong(argument.integer);
        break;
    case ParamKind::OptText:
        writer.WriteReferent(argument.input != nullptr);
        if (argument.input != nullptr) {
            writer.WriteString(static_cast<const WCHAR*>(argument.input));
        }
        break;
    case ParamKind::InText:
        writer.WriteArray(std::span(static_cast<const WCHAR*>(argument.input), size));
        break;
    case ParamKind::OutText:
        writer.WriteArray(std::span<const WCHAR>(static_cast<const WCHAR*>(argument.output), size));
        break;
    case ParamKind::InBytes:
        writer.WriteArray(std::span(static_cast<const BYTE*>(argument.input), size));
        break;
    case ParamKind::OutBytes:
        writer.WriteArray(std::span<const BYTE>(static_cast<const BYTE*>(argument.output), size));
        break;
    }
}

// The values of the parameters that `travels` selects (inputs or outputs), in parameter order.
void WriteValues(NdrWriter& writer, const Operation& operation, std::span<const Argument> arguments,
                 bool (*travels)(ParamKind)) {
    for (std::size_t i = 0; i < operation.params.size(); ++i) {
        ParamKind kind = operation.params[i].kind;
        if (travels(kind)) {
            WriteValue(writer, kind, arguments[i], IsArray(kind) ? SizeOf(operation, arguments, i) : 0);
        }
    }
}

RPC_STATUS CheckArguments(const Operation& operation, std::span<const Argument> arguments) {
    for (std::size_t i = 0; i < operation.params.size(); ++i) {
        const Parameter& param = operation.params[i];
        if (param.kind == ParamKind::Size && !IsSaneSize(arguments[i].integer)) {
            return RPC_S_INVALID_BOUND;
        }
    }
    for (std::size_t i = 0; i < operation.params.size(); ++i) {
        const Parameter& param = operation.params[i];
        const Argument& argument = arguments[i];
        if (!IsArray(param.kind) || SizeOf(operation, arguments, i) == 0) {
            continue;
        }
        const void* buffer = IsInput(param.kind) ? argument.input : argument.output;
        if (buffer == nullptr) {
            return RPC_X_NULL_REF_POINTER;
        }
    }
    for (std::size_t i = 0; i < operation.params.size(); ++i) {
        const Argument& argument = arguments[i];
        if (operation.params[i].kind == ParamKind::OptText && argument.input != nullptr &&
            std::u16string_view(static_cast<const WCHAR*>(argument.input)).size() >=
                static_cast<std::size_t>(kMaxBufferElements)) {
            return RPC_S_STRING_TOO_LONG;
        }
    }
    return RPC_S_OK;
}

} // namespace

RPC_STATUS EncodeRequest(const Operation& operation, std::span<const Argument> arguments,
                         rpc::Bytes& request) {
    if (RPC_STATUS status = CheckArguments(operation, arguments); status != RPC_S_OK) {
        return status;
    }
    NdrWriter writer(request);
    WriteValues(writer, operation, arguments, IsInput);
    return RPC_S_OK;
}

RPC_STATUS DecodeReply(const Operation& operation, rpc::ByteView reply, std::span<Argument> arguments,
                       RPC_STATUS& result) {
    NdrReader reader(reply);
    WireValues values{};
    for (std::size_t i = 0; i < operation.params.size(); ++i) {
        const Parameter& param = operation.params[i];
        if (!IsOutput(param.kind)) {
            continue;
        }
        if (RPC_STATUS status = ReadValue(reader, param.kind, values[i]); status != RPC_S_OK) {
            return status;
        }
        const WireValue& value = values[i];
        if (IsArray(param.kind)) {
            std::size_t size = SizeOf(operation, arguments, i);
            if (WireCount(param.kind, value) != size ||
                (IsText(param.kind) && size > 0 && !value.chars.ContainsNul())) {
                return RPC_X_BAD_STUB_DATA;
            }
        }
        if (param.kind == ParamKind::OutInt && param.sizeParam != kNoParam &&
            (value.integer < 0 ||
             static_cast<std::size_t>(value.integer) > SizeOf(operation, arguments, i))) {
            return RPC_X_BAD_STUB_DATA;
        }
    }
    LONG status = 0;
    if (RPC_STATUS readStatus = reader.ReadLong(status); readStatus != RPC_S_OK) {
        return readStatus;
    }
    if (RPC_STATUS finished = reader.Finish(); finished != RPC_S_OK) {
        return finished;
    }
    for (std::size_t i = 0; i < operation.params.size(); ++i) {
        const WireValue& value = values[i];
        Argument& argument = arguments[i];
        switch (operation.params[i].kind) {
        case ParamKind::InOutInt:
        case ParamKind::OutInt:
            argument.integer = value.integer;
            break;
        case ParamKind::OutText:
            value.chars.CopyTo(static_cast<WCHAR*>(argument.output));
            break;
        case ParamKind::OutBytes:
            std::copy(value.bytes.begin(), value.bytes.end(), static_cast<BYTE*>(argument.output));
            break;
        default:
            break;
        }
    }
    result = status;
    return RPC_S_OK;
}

RPC_STATUS ServeCall(const Operation& operation, rpc::ByteView request, rpc::Bytes& reply,
                     const RoutineCall& routine) {
    reply.clear();
    ServerFrame frame(operation); // frees every buffer however this call ends
    if (RPC_STATUS status = frame.DecodeRequest(request); status != RPC_S_OK) {
        return status;
    }
    RPC_STATUS result = routine(frame.Arguments());
    frame.TerminateOutTexts();
    NdrWriter writer(reply);
    WriteValues(writer, operation, frame.Arguments(), IsOutput);
    writer.WriteLong(result);
    return RPC_S_OK;
}

RPC_STATUS CallOperation(const Operation& operation, std::uint32_t opnum, const rpc::Dispatcher& transport,
                         std::span<Argument> arguments, RPC_STATUS& result) {
    rpc::Bytes request;
    if (RPC_STATUS status = EncodeRequest(operation, arguments, request); status != RPC_S_OK) {
        return status;
    }
    rpc::Bytes reply;
    if (RPC_STATUS status = transport(opnum, request, reply); status != RPC_S_OK) {
        return status;
    }
    return DecodeReply(operation, reply, arguments, result);
}

} // namespace nodeagent
