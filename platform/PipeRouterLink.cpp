#include "platform/PipeRouterLink.h"

#include <mutex>

namespace platform {

std::shared_ptr<PipeRouterLink> MakeNodePipeRouterLink(); // PipeRouterClient.cpp

namespace {

std::mutex g_linkMutex;
std::shared_ptr<PipeRouterLink> g_link;

} // namespace

std::shared_ptr<PipeRouterLink> CurrentPipeRouterLink() {
    std::lock_guard lock(g_linkMutex);
    if (!g_link) {
        g_link = MakeNodePipeRouterLink();
    }
    return g_link;
}

void InstallPipeRouterLink(std::shared_ptr<PipeRouterLink> link) {
    std::lock_guard lock(g_linkMutex);
    g_link = std::move(link);
}

} // namespace platform
