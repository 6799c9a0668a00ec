#pragma once
// The NodeAgent procedures and callbacks as data: for each one its parameters in call order
// (after the binding handle), each with its kind and, for arrays, the parameter that sizes it.
// One marshaller reads this description for both sides, client and server, so that the wire
// layout of a call is stated here and nowhere else.
//
// Wire order: a request body holds the inputs (int, in/out int, size, opt text, in arrays) in
// parameter order; a reply body holds the outputs (in/out int, out int, out arrays) in
// parameter order, then the 32-bit status.
#include "agent/include/NodeAgent.h"
#include "agent/include/NodeAgentBufferSizes.h"
#include "platform/WinTypes.h"

#include <span>
#include <string_view>

namespace nodeagent {

enum class ParamKind : std::uint8_t {
    Int,      // input integer
    InOutInt, // integer sent, replaced by the other side's value
    OutInt,   // integer returned only
    OptText,  // full pointer to a NUL-terminated wide string; null is legal and differs from ""
    InText,   // wide characters, as many as the size parameter says, all sent
    OutText,  // wide characters, as many as the size parameter says, all returned
    InBytes,  // bytes, as many as the size parameter says, all sent
    OutBytes, // bytes, as many as the size parameter says, all returned
    Size,     // input integer giving an array's element count
};

constexpr bool IsInput(ParamKind kind) {
    return kind != ParamKind::OutInt && kind != ParamKind::OutText && kind != ParamKind::OutBytes;
}
constexpr bool IsOutput(ParamKind kind) {
    return kind == ParamKind::InOutInt || kind == ParamKind::OutInt || kind == ParamKind::OutText ||
           kind == ParamKind::OutBytes;
}
constexpr bool IsArray(ParamKind kind) {
    return kind == ParamKind::InText || kind == ParamKind::OutText || kind == ParamKind::InBytes ||
           kind == ParamKind::OutBytes;
}

inline constexpr int kNoParam = -1;

struct Parameter {
    std::string_view name;
    ParamKind kind;
    // Arrays: the index of the Size parameter that counts their elements. OutInt: the Size
    // parameter the returned value may not exceed (a length within that array), or kNoParam.
    int sizeParam = kNoParam;
    // Arrays the console passes: the buffer size it uses (NodeAgentBufferSizes.h); 0 otherwise.
    LONG consoleSize = 0;
};

struct Operation {
    std::string_view name;
    std::span<const Parameter> params;
};

// The most parameters any procedure or callback has.
inline constexpr std::size_t kMaxParameters = 7;

// The largest element count either side accepts for a size parameter or an opt text: well
// above the largest buffer of the contract (20620 characters), far below what could exhaust
// memory. A larger count is refused before anything is allocated.
inline constexpr LONG kMaxBufferElements = 65536;

namespace detail {

using K = ParamKind;

inline constexpr Parameter kGetMachineModel[] = {
    {"selector", K::Int}, {"model", K::OutText, 2, kModelChars}, {"sizeA", K::Size}};
inline constexpr Parameter kGetOsVersion[] = {{"version", K::OutText, 1, kOsVersionChars},
                                              {"sizeA", K::Size}};
inline constexpr Parameter kGetClusterInfo[] = {
    {"nodeName", K::OptText},   {"failure", K::InOutInt},
    {"nodeState", K::InOutInt}, {"clusterName", K::OutText, 4, kClusterNameChars},
    {"sizeA", K::Size},         {"version", K::OutText, 6, kClusterVersionChars},
    {"sizeB", K::Size}};
inline constexpr Parameter kGetNicSlots[] = {{"unused", K::OptText},
                                             {"nextAdapter", K::InOutInt},
                                             {"adapterList", K::OutText, 3, kAdapterListChars},
                                             {"sizeA", K::Size},
                                             {"separatorCount", K::InOutInt},
                                             {"otherDevices", K::OutText, 6, kOtherAdaptersChars},
                                             {"sizeB", K::Size}};
inline constexpr Parameter kCheckDomain[] = {{"otherNode", K::OptText},
                                             {"domain", K::OutText, 2, kDomainChars},
                                             {"sizeA", K::Size},
                                             {"otherDomain", K::OutText, 4, kOtherDomainChars},
                                             {"sizeB", K::Size}};
inline constexpr Parameter kGetIpConfig[] = {{"unused", K::OptText},
                                             {"configuration", K::OutText, 2, kIpConfigChars},
                                             {"sizeA", K::Size},
                                             {"length", K::OutInt}};
inline constexpr Parameter kRunCommand[] = {{"commandLine", K::InText, 1, kCommandChars},
                                            {"sizeA", K::Size},
                                            {"output", K::OutText, 3, kCommandOutputChars},
                                            {"sizeB", K::Size},
                                            {"length", K::OutInt}};
inline constexpr Parameter kTestStorage[] = {{"otherNode", K::OptText},
                                             {"configuration", K::Int},
                                             {"record", K::OutText, 3, kStorageRecordChars},
                                             {"sizeA", K::Size}};
inline constexpr Parameter kGetControllerSlots[] = {{"configuration", K::Int},
                                                    {"controllerCount", K::InOutInt},
                                                    {"record", K::OutText, 3, kControllerSlotsChars},
                                                    {"sizeA", K::Size}};
inline constexpr Parameter kGetDriverRevision[] = {{"configuration", K::Int},
                                                   {"controllerCount", K::Int},
                                                   {"firstPort", K::InOutInt},
                                                   {"record", K::OutText, 4, kDriverRevisionChars},
                                                   {"sizeA", K::Size}};
inline constexpr Parameter kTestSharedDrives[] = {
    {"otherNode", K::OptText}, {"summary", K::OutText, 2, kSharedDrivesSummaryChars},
    {"sizeA", K::Size},        {"drives", K::OutText, 4, kSharedDrivesChars},
    {"sizeB", K::Size},        {"reserveRelease", K::OutText, 6, kReserveReleaseChars},
    {"sizeC", K::Size}};
inline constexpr Parameter kDetectStorageBox[] = {{"configuration", K::Int},
                                                  {"port", K::Int},
                                                  {"record", K::OutText, 3, kStorageBoxChars},
                                                  {"sizeA", K::Size}};

inline constexpr Parameter kRelayPost[] = {
    {"senderKey", K::Int}, {"tag", K::Int}, {"data", K::InBytes, 3}, {"sizeA", K::Size}};
// `size` is the length of the message within `data`, so it may not exceed the capacity.
inline constexpr Parameter kRelayFetch[] = {{"callerKey", K::Int},
                                            {"tag", K::Int},
                                            {"data", K::OutBytes, 3},
                                            {"sizeA", K::Size},
                                            {"size", K::OutInt, 3}};

} // namespace detail

// Indexed by Opnum.
inline constexpr Operation kProcedures[kProcedureCount] = {
    {"Ping", {}},
    {"CheckAccess", {}},
    {"GetMachineModel", detail::kGetMachineModel},
    {"GetOsVersion", detail::kGetOsVersion},
    {"GetClusterInfo", detail::kGetClusterInfo},
    {"GetNicSlots", detail::kGetNicSlots},
    {"CheckDomain", detail::kCheckDomain},
    {"GetIpConfig", detail::kGetIpConfig},
    {"RunCommand", detail::kRunCommand},
    {"TestStorage", detail::kTestStorage},
    {"GetControllerSlots", detail::kGetControllerSlots},
    {"GetDriverRevision", detail::kGetDriverRevision},
    {"TestSharedDrives", detail::kTestSharedDrives},
    {"DetectStorageBox", detail::kDetectStorageBox},
};

// Indexed by CallbackOpnum.
inline constexpr Operation kCallbacks[kCallbackCount] = {
    {"RelayPost", detail::kRelayPost},
    {"RelayFetch", detail::kRelayFetch},
};

} // namespace nodeagent
