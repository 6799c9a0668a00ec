#pragma once
// ntlab's side of the node-control interface: is a computer's ntnode up, and its status
// document.
#include "ntsim/lab/LabLayout.h"
#include "platform/NodeControlProtocol.h"
#include "platform/lab/LabNetwork.h"

#include <toml++/toml.h>

namespace ntsim::node {

// RPC_S_OK when the ntnode at the computer's address answers as that computer of `lab`.
RPC_STATUS PingNode(const lab::LabLayout& lab, const platform::lab::ComputerDef& computer,
                    platform::controlwire::PingReply& reply);

// The status document (NodeServer::StatusDocument) of a running ntnode of `lab`.
RPC_STATUS FetchNodeStatus(const lab::LabLayout& lab, const platform::lab::ComputerDef& computer, toml::table& document);

} // namespace ntsim::node
