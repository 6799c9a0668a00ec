#include "platform/EventLog.h"

#include "platform/EventLogProtocol.h"
#include "platform/LastError.h"
#include "platform/NodeConnection.h"
#include "platform/ObjectTable.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

namespace {

namespace eventwire = platform::eventwire;

struct EventSource {
    std::u16string computer; // "" for this computer
    std::u16string source;
};

platform::ObjectTable<EventSource>& Sources() {
    static auto* sources = new platform::ObjectTable<EventSource>;
    return *sources;
}

const RPC_CLIENT_INTERFACE& EventLogInterface() {
    static const RPC_CLIENT_INTERFACE clientInterface = platform::lab::ClientInterface(eventwire::kInterfaceId);
    return clientInterface;
}

template <class Request>
DWORD CallEventLog(const std::u16string& computer, std::uint32_t opnum, Request& request) {
    platform::wire::StatusReply reply;
    DWORD status = platform::lab::CallAsThisProcess(computer, EventLogInterface(), opnum, request, reply);
    if (status != ERROR_SUCCESS) {
        return platform::lab::IsUnreachable(status) ? RPC_S_SERVER_UNAVAILABLE : status;
    }
    return reply.status;
}

} // namespace

HANDLE RegisterEventSourceW(LPCWSTR uncServerName, LPCWSTR sourceName) {
    std::u16string_view source = platform::WideView(sourceName);
    if (source.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto opened = std::make_shared<EventSource>(EventSource{std::u16string(platform::WideView(uncServerName)),
                                                            std::u16string(source)});
    eventwire::OpenRequest request;
    request.source = opened->source;
    DWORD status = CallEventLog(opened->computer, eventwire::kOpen, request);
    if (status != ERROR_SUCCESS) {
        SetLastError(status);
        return nullptr;
    }
    return Sources().Insert(std::move(opened));
}

BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID, WORD numStrings, DWORD dataSize,
                  LPCWSTR* strings, LPVOID rawData) {
    std::shared_ptr<EventSource> source = Sources().Find(eventLog);
    if (!source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((numStrings > 0 && strings == nullptr) || numStrings > kMaxEventStrings || (dataSize > 0 && rawData == nullptr) ||
        dataSize > kMaxEventDataBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    eventwire::ReportRequest request;
    request.source = source->source;
    request.type = type;
    request.category = category;
    request.eventId = eventId;
    for (WORD i = 0; i < numStrings; ++i) {
        if (strings[i] == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        request.strings.emplace_back(platform::WideView(strings[i]));
    }
    const BYTE* bytes = static_cast<const BYTE*>(rawData);
    request.data.assign(bytes, bytes + dataSize);
    DWORD status = CallEventLog(source->computer, eventwire::kReport, request);
    if (status != ERROR_SUCCESS) {
        SetLastError(status);
        return FALSE;
    }
    return TRUE;
}

BOOL DeregisterEventSource(HANDLE eventLog) {
    if (!Sources().Remove(eventLog)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
