#pragma once
// Binds the C++ signatures of the stubs and routines to the description, so that neither side
// copies any marshalling: a parameter's C++ type says where its value sits in an Argument, and
// a compile-time check refuses a signature whose types do not fit the description's kinds.
//
//   LONG          Int, Size          const WCHAR*  OptText, InText    const BYTE*  InBytes
//   LONG*         InOutInt, OutInt   WCHAR*        OutText            BYTE*        OutBytes
#include "agent/contract/NodeAgentMarshal.h"
#include "platform/WinError.h"

#include <array>
#include <type_traits>
#include <utility>

namespace nodeagent::typed {

template <class T> constexpr bool Accepts(ParamKind kind) {
    if constexpr (std::is_same_v<T, LONG>) {
        return kind == ParamKind::Int || kind == ParamKind::Size;
    } else if constexpr (std::is_same_v<T, LONG*>) {
        return kind == ParamKind::InOutInt || kind == ParamKind::OutInt;
    } else if constexpr (std::is_same_v<T, const WCHAR*>) {
        return kind == ParamKind::OptText || kind == ParamKind::InText;
    } else if constexpr (std::is_same_v<T, WCHAR*>) {
        return kind == ParamKind::OutText;
    } else if constexpr (std::is_same_v<T, const BYTE*>) {
        return kind == ParamKind::InBytes;
    } else if constexpr (std::is_same_v<T, BYTE*>) {
        return kind == ParamKind::OutBytes;
    } else {
        return false;
    }
}

template <class... Params, std::size_t... I>
constexpr bool MatchesAt(const Operation& operation, std::index_sequence<I...>) {
    return operation.params.size() == sizeof...(Params) && (Accepts<Params>(operation.params[I].kind) && ...);
}

template <class... Params> constexpr bool Matches(const Operation& operation) {
    return MatchesAt<Params...>(operation, std::index_sequence_for<Params...>{});
}

// Calling side: the caller's values into Arguments and, after a decoded reply, back out.
inline void Pack(ParamKind, Argument& argument, LONG value) {
    argument.integer = value;
}
inline void Pack(ParamKind kind, Argument& argument, LONG* value) {
    if (kind == ParamKind::InOutInt) { // an out int's initial value is not sent, nor read
        argument.integer = *value;
    }
}
inline void Pack(ParamKind, Argument& argument, const void* data) {
    argument.input = data;
}
inline void Pack(ParamKind, Argument& argument, void* buffer) {
    argument.output = buffer;
}

// In/out and out integers are references: a null one is refused before anything is sent.
inline bool IsMissingInteger(LONG* value) {
    return value == nullptr;
}
template <class T> bool IsMissingInteger(T) {
    return false;
}

inline void Unpack(const Argument& argument, LONG* value) {
    *value = argument.integer;
}
template <class T>
void Unpack(const Argument&, T) {} // out arrays were written in place; inputs stay as they are

template <const Operation& operation, std::uint32_t Opnum, class... Params, std::size_t... I>
RPC_STATUS CallAt(const rpc::Dispatcher& transport, std::index_sequence<I...>, Params... params) {
    if ((IsMissingInteger(params) || ...)) {
        return RPC_X_NULL_REF_POINTER;
    }
    std::array<Argument, sizeof...(Params)> arguments{};
    (Pack(operation.params[I].kind, arguments[I], params), ...);
    RPC_STATUS result = 0;
    if (RPC_STATUS status = CallOperation(operation, Opnum, transport, arguments, result);
        status != RPC_S_OK) {
        return status;
    }
    (Unpack(arguments[I], params), ...);
    return result;
}

// The stub of operation `Opnum` of `Table` (kProcedures or kCallbacks) over `transport`
// (NdrClientCall or NdrServerCallback).
template <const auto& Table, std::uint32_t Opnum, class... Params>
RPC_STATUS Call(const rpc::Dispatcher& transport, Params... params) {
    static_assert(Matches<Params...>(Table[Opnum]), "the stub's parameters do not fit the description");
    return CallAt<Table[Opnum], Opnum>(transport, std::index_sequence_for<Params...>{}, params...);
}

// Serving side: the decoded Arguments as a routine's parameters.
template <class T> T Unwrap(Argument& argument) {
    if constexpr (std::is_same_v<T, LONG>) {
        return argument.integer;
    } else if constexpr (std::is_same_v<T, LONG*>) {
        return &argument.integer;
    } else if constexpr (std::is_const_v<std::remove_pointer_t<T>>) {
        return static_cast<T>(argument.input);
    } else {
        return static_cast<T>(argument.output);
    }
}

// Procedure routines take the binding handle first (null: the call in progress); callback
// routines do not.
template <class Method> struct Routine;

template <class C, class... Params> struct Routine<RPC_STATUS (C::*)(Params...)> {
    using Class = C;
    static constexpr bool Fits(const Operation& operation) { return Matches<Params...>(operation); }
    template <auto Method, std::size_t... I>
    static RPC_STATUS Invoke(C& routines, [[maybe_unused]] std::span<Argument> arguments,
                             std::index_sequence<I...>) {
        return (routines.*Method)(Unwrap<Params>(arguments[I])...);
    }
    using Indices = std::index_sequence_for<Params...>;
};

template <class C, class... Params> struct Routine<RPC_STATUS (C::*)(handle_t, Params...)> {
    using Class = C;
    static constexpr bool Fits(const Operation& operation) { return Matches<Params...>(operation); }
    template <auto Method, std::size_t... I>
    static RPC_STATUS Invoke(C& routines, [[maybe_unused]] std::span<Argument> arguments,
                             std::index_sequence<I...>) {
        return (routines.*Method)(nullptr, Unwrap<Params>(arguments[I])...);
    }
    using Indices = std::index_sequence_for<Params...>;
};

// Runs routine `Method` for operation `Opnum` of `Table` on the decoded arguments.
template <const auto& Table, std::uint32_t Opnum, auto Method>
RPC_STATUS Invoke(typename Routine<decltype(Method)>::Class& routines, std::span<Argument> arguments) {
    using Traits = Routine<decltype(Method)>;
    static_assert(Traits::Fits(Table[Opnum]), "the routine's parameters do not fit the description");
    return Traits::template Invoke<Method>(routines, arguments, typename Traits::Indices{});
}

template <class Routines> using Invoker = RPC_STATUS (*)(Routines&, std::span<Argument>);

// Serves call `opnum` of `table` with the routine behind `invokers[opnum]`.
template <class Routines, std::size_t Count>
RPC_STATUS Dispatch(const Operation (&table)[Count], const Invoker<Routines> (&invokers)[Count],
                    Routines& routines, std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    if (opnum >= Count) {
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
    Invoker<Routines> invoker = invokers[opnum];
    return ServeCall(table[opnum], request, reply,
                     [&](std::span<Argument> arguments) { return invoker(routines, arguments); });
}

} // namespace nodeagent::typed
