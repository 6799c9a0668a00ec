#include "platform/rpc/EndpointResolver.h"

#include "platform/LabDirectory.h"
#include "platform/LabEnvironment.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <mutex>

namespace rpc {
namespace {

// A computer of the lab: its ntnode, which serves the computer's endpoint map, as the lab's name
// directory has it. An unknown computer (or an unreadable directory) is not available.
RPC_STATUS ResolveFromDirectory(std::u16string_view computer, EndpointMapperAddress& address) {
    platform::lab::ComputerAddress found;
    if (platform::lab::FindComputer(computer, found) != ERROR_SUCCESS) {
        return RPC_S_SERVER_UNAVAILABLE;
    }
    address.host = platform::ToUtf16(found.host);
    address.port = platform::ToUtf16(std::to_string(found.port));
    return RPC_S_OK;
}

RPC_STATUS DefaultResolver(std::u16string_view computer, EndpointMapperAddress& address) {
    if (platform::lab::LabFolder()) {
        return ResolveFromDirectory(computer, address);
    }
    address = {std::u16string(computer), kDefaultEndpointMapperPort};
    if (!computer.empty()) {
        return RPC_S_OK;
    }
    address.host = u"127.0.0.1";
    std::optional<std::string> own = platform::lab::EnvironmentValue(platform::lab::kNodeAddressVariable);
    if (!own) {
        return RPC_S_OK;
    }
    std::u16string hostPort = platform::Utf8ToUtf16(*own).value_or(u"");
    std::size_t colon = hostPort.rfind(u':');
    if (colon == std::u16string::npos || colon == 0 || colon + 1 == hostPort.size()) {
        return RPC_S_INVALID_NET_ADDR;
    }
    address.host = hostPort.substr(0, colon);
    address.port = hostPort.substr(colon + 1);
    return RPC_S_OK;
}

struct ResolverSlot {
    std::mutex mutex;
    EndpointMapperResolver resolver = DefaultResolver;
};

ResolverSlot& Slot() {
    static ResolverSlot* slot = new ResolverSlot;
    return *slot;
}

} // namespace

void SetEndpointMapperResolver(EndpointMapperResolver resolver) {
    ResolverSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    slot.resolver = resolver ? std::move(resolver) : EndpointMapperResolver(DefaultResolver);
}

RPC_STATUS ResolveEndpointMapper(std::u16string_view computer, EndpointMapperAddress& address) {
    EndpointMapperResolver resolver;
    {
        ResolverSlot& slot = Slot();
        std::lock_guard lock(slot.mutex);
        resolver = slot.resolver;
    }
    return resolver(computer, address);
}

} // namespace rpc
