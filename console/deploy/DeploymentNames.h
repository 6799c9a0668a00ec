#pragma once
// The fixed names and settings of the agent's footprint on a node: the hidden share, the
// program file, the service registration, and the waits of installing and removing it. The
// service name, display name and dependency are the ones the agent's own "-install" registers.
#include "platform/NetShare.h"
#include "platform/WinTypes.h"

namespace deploy {

// Every path is built in a buffer of this many UTF-16 code units; longer ones are refused.
inline constexpr DWORD kPathCapacity = 1024;
// Every error text (LastErrorText) is built in a buffer of this many code units.
inline constexpr DWORD kErrorTextCapacity = 256;

inline constexpr const WCHAR* kShareName = u"VTARN$";
inline constexpr DWORD kShareType = STYPE_DISKTREE | STYPE_SPECIAL;
inline constexpr DWORD kSharePermissions = 0x7F;
inline constexpr DWORD kShareMaxUses = 2;
inline constexpr DWORD kShareLevel = 2;

inline constexpr const WCHAR* kSystemRootKey = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr const WCHAR* kSystemRootValue = u"SystemRoot";
inline constexpr DWORD kSystemRootBytes = 2048;

inline constexpr const WCHAR* kAgentBaseName = u"VtarnSvc";
inline constexpr const WCHAR* kAgentExtension = u".exe";

inline constexpr const WCHAR* kServiceName = u"VtarnService";
inline constexpr const WCHAR* kDisplayName = u"Vtarn RPC Service";
// A list of service names, each NUL-terminated, closed by a second NUL (the literal adds it).
inline constexpr WCHAR kDependencies[] = u"RPCSS\0";

// Program milliseconds, scaled by the platform clock.
inline constexpr DWORD kStartSettleWait = 4000; // after a successful start
inline constexpr DWORD kStopPollWait = 1000;    // after the stop request and between polls
// A service still stopping this long after the stop request counts as not stopped.
inline constexpr DWORD kStopPollLimit = 30000;

} // namespace deploy
