#pragma once
// The service control manager interface of a computer's ntnode, the "services" section of its
// status document, and the stopping of the service processes when the node stops.
#include "ntsim/node/NodeServer.h"
#include "ntsim/node/ServiceManager.h"

#include <filesystem>

namespace ntsim::node {

void AddServiceFamily(NodeServer& server);

// What the manager of `node` is made of: its database file, the profile's services, the
// computer's drives for the programs and the environment of its processes.
ServiceManagerSetup ServiceSetupFor(Node& node);

// The Linux program behind a service's NT program path on `drives`: the file as named, or
// without its ".exe" when only that exists. ERROR_PATH_NOT_FOUND for a path that is no drive
// path of the computer, ERROR_FILE_NOT_FOUND for a missing file.
DWORD ResolveServiceProgram(const platform::DriveMap& drives, std::u16string_view ntPath,
                            std::filesystem::path& program);

// The procedures of the interface, served by `manager` for callers that `node` authenticates.
RPC_STATUS DispatchServiceCall(Node& node, ServiceManager& manager, std::uint32_t opnum, rpc::ByteView request,
                               rpc::Bytes& reply);

} // namespace ntsim::node
