#pragma once
// The hidden share "VTARN$" through which the agent program reaches a node.
#include "platform/WinTypes.h"

#include <string_view>

namespace deploy {

// Whether the node has a share named "VTARN$" (NetShareGetInfo level 2 succeeds); any failure
// counts as no share.
bool AgentShareExists(LPCWSTR computer);

// Shares `path` on the node as "VTARN$": a hidden disk share, permissions 0x7F, at most 2 users,
// no remark or password. Returns NetShareAdd's status.
DWORD AddAgentShare(LPCWSTR computer, LPCWSTR path);

// NetShareDel of "VTARN$"; its status.
DWORD DeleteAgentShare(LPCWSTR computer);

} // namespace deploy
