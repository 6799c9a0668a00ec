#include "console/deploy/ErrorModeScope.h"

#include "platform/Files.h"

#include <mutex>

namespace deploy {
namespace {

std::mutex g_lock;
unsigned g_openScopes = 0;
UINT g_savedMode = 0;

} // namespace

ErrorModeScope::ErrorModeScope() {
    const std::lock_guard guard(g_lock);
    if (g_openScopes++ == 0) {
        g_savedMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    }
}

ErrorModeScope::~ErrorModeScope() {
    const std::lock_guard guard(g_lock);
    if (--g_openScopes == 0) {
        SetErrorMode(g_savedMode);
    }
}

} // namespace deploy
