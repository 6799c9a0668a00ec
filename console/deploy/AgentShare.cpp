#include "console/deploy/AgentShare.h"

#include "console/deploy/DeploymentNames.h"
#include "console/deploy/ScopedHandle.h"
#include "platform/NetShare.h"
#include "platform/WinError.h"

namespace deploy {
namespace {

// The share functions take their texts as LPWSTR but never write them.
LPWSTR ApiText(LPCWSTR text) {
    return const_cast<LPWSTR>(text);
}

} // namespace

bool AgentShareExists(LPCWSTR computer) {
    ScopedNetBuffer info;
    return NetShareGetInfo(ApiText(computer), ApiText(kShareName), kShareLevel, info.Receive()) ==
           NERR_Success;
}

DWORD AddAgentShare(LPCWSTR computer, LPCWSTR path) {
    SHARE_INFO_2 share{};
    share.shi2_netname = ApiText(kShareName);
    share.shi2_type = kShareType;
    share.shi2_remark = nullptr;
    share.shi2_permissions = kSharePermissions;
    share.shi2_max_uses = kShareMaxUses;
    share.shi2_current_uses = 0;
    share.shi2_path = ApiText(path);
    share.shi2_passwd = nullptr;
    return NetShareAdd(ApiText(computer), kShareLevel, reinterpret_cast<LPBYTE>(&share), nullptr);
}

DWORD DeleteAgentShare(LPCWSTR computer) {
    return NetShareDel(ApiText(computer), ApiText(kShareName), 0);
}

} // namespace deploy
