#include "ntsim/node/NodeControlFamily.h"

#include "platform/NodeControlProtocol.h"
#include "platform/Utf16.h"

#include <sstream>
#include <unistd.h>

namespace ntsim::node {

namespace wire = platform::wire;
namespace controlwire = platform::controlwire;

void AddNodeControlFamily(NodeServer& server) {
    server.AddInterface(controlwire::kInterfaceId, controlwire::kProcedureCount,
                        [&server](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) -> RPC_STATUS {
                            switch (opnum) {
                            case controlwire::kPing:
                                return wire::ServeCall<wire::NoFields, controlwire::PingReply>(
                                    request, reply, [&](const wire::NoFields&) {
                                        Node& node = server.Computer();
                                        return controlwire::PingReply{platform::ToUtf16(node.Name()),
                                                                      platform::ToUtf16(node.Layout().Folder().string()),
                                                                      static_cast<std::uint32_t>(::getpid())};
                                    });
                            case controlwire::kStatus:
                                return wire::ServeCall<wire::NoFields, controlwire::StatusDocumentReply>(
                                    request, reply, [&](const wire::NoFields&) {
                                        std::ostringstream text;
                                        text << server.StatusDocument();
                                        std::string document = text.str();
                                        return controlwire::StatusDocumentReply{
                                            std::vector<std::uint8_t>(document.begin(), document.end())};
                                    });
                            default:
                                return RPC_S_PROCNUM_OUT_OF_RANGE;
                            }
                        });
}

} // namespace ntsim::node
