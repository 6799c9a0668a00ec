// The protocol sequence -> transport table. TCP and local transports are the run time's own;
// named pipes are the lab's (platform/PipeTransport.h).
#include "platform/PipeTransport.h"
#include "platform/WinError.h"
#include "platform/rpc/SocketTransports.h"
#include "platform/rpc/Transport.h"

#include <map>
#include <mutex>

namespace rpc {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::u16string, std::shared_ptr<Transport>, std::less<>> transports{
        {u"ncacn_ip_tcp", MakeTcpTransport()},
        {u"ncalrpc", MakeLocalTransport()},
        {u"ncacn_np", platform::MakeNamedPipeTransport()},
    };
};

Registry& TheRegistry() {
    static Registry* registry = new Registry; // lives as long as the process: threads may use it at exit
    return *registry;
}

} // namespace

void InstallTransport(std::u16string_view protseq, std::shared_ptr<Transport> transport) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (transport) {
        registry.transports[std::u16string(protseq)] = std::move(transport);
    } else {
        registry.transports.erase(std::u16string(protseq));
    }
}

RPC_STATUS FindTransport(std::u16string_view protseq, std::shared_ptr<Transport>& transport) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto found = registry.transports.find(protseq);
    if (found == registry.transports.end()) {
        return RPC_S_PROTSEQ_NOT_SUPPORTED;
    }
    transport = found->second;
    return RPC_S_OK;
}

} // namespace rpc
