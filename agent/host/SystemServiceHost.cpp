// The program's host on the system's service and event-log calls. Kept apart from the host
// itself so that the host's tests, which give it calls of their own, need none of these.
#include "agent/host/ServiceHost.h"

namespace agent {

ServiceHost& ServiceHost::Process() {
    static ServiceHost host({&::StartServiceCtrlDispatcherW, &::RegisterServiceCtrlHandlerW,
                             &::SetServiceStatus, &::RegisterEventSourceW, &::ReportEventW,
                             &::DeregisterEventSource});
    return host;
}

} // namespace agent
