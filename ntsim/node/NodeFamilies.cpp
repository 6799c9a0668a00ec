#include "ntsim/node/NodeFamilies.h"

#include "ntsim/node/EndpointMapFamily.h"
#include "ntsim/node/EventLogFamily.h"
#include "ntsim/node/LogonFamily.h"
#include "ntsim/node/NodeControlFamily.h"
#include "ntsim/node/PipeFamily.h"
#include "ntsim/node/RegistryFamily.h"
#include "ntsim/node/ServiceFamily.h"
#include "ntsim/node/ShareFamily.h"

namespace ntsim::node {

// A family adds its interface, status section and shutdown step in its own Add function; list
// it here to have every ntnode serve it.
void AddNodeFamilies(NodeServer& server) {
    AddNodeControlFamily(server);
    AddLogonFamily(server);
    AddEndpointMapFamily(server);
    AddRegistryFamily(server);
    AddShareFamily(server);
    AddFileFamily(server);
    AddEventLogFamily(server);
    AddServiceFamily(server);
    AddPipeFamily(server);
}

} // namespace ntsim::node
