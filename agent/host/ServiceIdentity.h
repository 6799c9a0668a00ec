#pragma once
// Who the agent is to the service control manager and the event log. The console's remote
// installation registers the same service under the same names.
#include "platform/Service.h"
#include "platform/WinTypes.h"

namespace agent {

inline constexpr const WCHAR* kServiceName = u"VtarnService";
inline constexpr const WCHAR* kServiceDisplayName = u"Vtarn RPC Service";
inline constexpr const WCHAR* kProgramBaseName = u"VtarnSvc"; // as the usage text names it
inline constexpr const WCHAR* kEventSource = u"VtarnService";

inline constexpr DWORD kServiceType = SERVICE_WIN32_OWN_PROCESS;
inline constexpr DWORD kServiceStartType = SERVICE_DEMAND_START;
inline constexpr DWORD kServiceErrorControl = SERVICE_ERROR_NORMAL;
// A list of one name, closed by a second NUL.
inline constexpr WCHAR kServiceDependencies[] = u"RPCSS\0";

} // namespace agent
