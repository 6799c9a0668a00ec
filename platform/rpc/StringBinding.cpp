#include "platform/rpc/StringBinding.h"

#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/Uuid.h"

#include <algorithm>

namespace rpc {
namespace {

std::u16string_view View(RPC_WSTR text) {
    return text == nullptr ? std::u16string_view{} : std::u16string_view(text);
}

bool IsValidUuidText(std::u16string_view text) {
    auto narrow = platform::Utf16ToUtf8(text);
    return narrow && ParseUuid(*narrow).has_value();
}

// Copies a part out to the caller when asked for (a null `out` is not wanted).
void Hand(RPC_WSTR* out, const std::u16string& value) {
    if (out != nullptr) {
        *out = NewRpcString(value);
    }
}

} // namespace

RPC_STATUS ParseStringBinding(std::u16string_view text, StringBindingParts& parts) {
    parts = {};
    std::size_t at = text.find(u'@');
    std::size_t colon = text.find(u':');
    if (at != std::u16string_view::npos && (colon == std::u16string_view::npos || at < colon)) {
        parts.objectUuid = text.substr(0, at);
        text.remove_prefix(at + 1);
        if (!parts.objectUuid.empty() && !IsValidUuidText(parts.objectUuid)) {
            return RPC_S_INVALID_STRING_UUID;
        }
        colon = text.find(u':');
    }
    if (colon == std::u16string_view::npos || colon == 0) {
        return RPC_S_INVALID_STRING_BINDING;
    }
    parts.protseq = text.substr(0, colon);
    text.remove_prefix(colon + 1);
    std::size_t open = text.find(u'[');
    parts.networkAddress = text.substr(0, open);
    if (open != std::u16string_view::npos) {
        std::u16string_view bracket = text.substr(open + 1);
        if (bracket.empty() || bracket.back() != u']') {
            return RPC_S_INVALID_STRING_BINDING;
        }
        bracket.remove_suffix(1);
        std::size_t comma = bracket.find(u',');
        parts.endpoint = bracket.substr(0, comma);
        if (comma != std::u16string_view::npos) {
            parts.options = bracket.substr(comma + 1);
        }
    }
    // A network address may hold colons (IPv6); no part holds the other separators.
    auto has = [](const std::u16string& part, std::u16string_view separators) {
        return part.find_first_of(separators) != std::u16string::npos;
    };
    if (has(parts.protseq, u"@:[]") || has(parts.networkAddress, u"@[]") || has(parts.endpoint, u"@[]")) {
        return RPC_S_INVALID_STRING_BINDING;
    }
    return RPC_S_OK;
}

std::u16string ComposeStringBinding(const StringBindingParts& parts) {
    std::u16string text;
    if (!parts.objectUuid.empty()) {
        text += parts.objectUuid + u"@";
    }
    text += parts.protseq + u":" + parts.networkAddress;
    if (!parts.endpoint.empty() || !parts.options.empty()) {
        text += u"[" + parts.endpoint;
        if (!parts.options.empty()) {
            text += u"," + parts.options;
        }
        text += u"]";
    }
    return text;
}

RPC_WSTR NewRpcString(std::u16string_view text) {
    auto* copy = new WCHAR[text.size() + 1];
    std::copy(text.begin(), text.end(), copy);
    copy[text.size()] = 0;
    return copy;
}

} // namespace rpc

RPC_STATUS RpcStringBindingComposeW(RPC_WSTR ObjUuid, RPC_WSTR ProtSeq, RPC_WSTR NetworkAddr,
                                    RPC_WSTR Endpoint, RPC_WSTR Options, RPC_WSTR* StringBinding) {
    if (StringBinding == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *StringBinding = nullptr;
    rpc::StringBindingParts parts{std::u16string(rpc::View(ObjUuid)), std::u16string(rpc::View(ProtSeq)),
                                  std::u16string(rpc::View(NetworkAddr)), std::u16string(rpc::View(Endpoint)),
                                  std::u16string(rpc::View(Options))};
    if (!parts.objectUuid.empty() && !rpc::IsValidUuidText(parts.objectUuid)) {
        return RPC_S_INVALID_STRING_UUID;
    }
    *StringBinding = rpc::NewRpcString(rpc::ComposeStringBinding(parts));
    return RPC_S_OK;
}

RPC_STATUS RpcStringBindingParseW(RPC_WSTR StringBinding, RPC_WSTR* ObjUuid, RPC_WSTR* Protseq,
                                  RPC_WSTR* NetworkAddr, RPC_WSTR* Endpoint, RPC_WSTR* NetworkOptions) {
    if (StringBinding == nullptr) {
        return RPC_S_INVALID_STRING_BINDING;
    }
    rpc::StringBindingParts parts;
    RPC_STATUS status = rpc::ParseStringBinding(StringBinding, parts);
    if (status != RPC_S_OK) {
        return status;
    }
    rpc::Hand(ObjUuid, parts.objectUuid);
    rpc::Hand(Protseq, parts.protseq);
    rpc::Hand(NetworkAddr, parts.networkAddress);
    rpc::Hand(Endpoint, parts.endpoint);
    rpc::Hand(NetworkOptions, parts.options);
    return RPC_S_OK;
}

RPC_STATUS RpcStringFreeW(RPC_WSTR* String) {
    if (String == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    delete[] * String;
    *String = nullptr;
    return RPC_S_OK;
}
