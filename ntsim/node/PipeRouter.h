#pragma once
// A computer's named-pipe router: the pipes its processes serve (one registration an instance,
// dropped when its process is gone), and the opening of a pipe by a caller from anywhere in the
// lab. An authenticated caller may open any pipe; a null session only those named in the
// computer's LanmanServer "NullSessionPipes". The opener receives, for every instance, where it
// listens and a ticket sealed with the instance's secret that names the opener, so the serving
// process learns who opened it (platform/PipeTicket.h).
#include "ntsim/node/LogonAuthority.h"
#include "ntsim/node/ProcessBook.h"
#include "platform/PipeRouterLink.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace ntsim::node {

class RegistryStore;

struct PipeSummary {
    std::u16string name;
    std::uint16_t port = 0;
    std::int32_t pid = 0;
};

class PipeRouter {
public:
    // `nullSessionPipes` gives the names a null session may open, read afresh on every open.
    explicit PipeRouter(std::function<std::vector<std::u16string>()> nullSessionPipes);

    // Only the computer's own processes (its SYSTEM account) register; ERROR_PIPE_BUSY when the
    // name already has its maximum of instances, ERROR_ACCESS_DENIED when the new instance asks
    // for another maximum than the first.
    DWORD Register(const Caller& caller, const platform::PipeRegistration& registration, std::uint64_t& id);
    DWORD Unregister(const Caller& caller, std::uint64_t id);
    // ERROR_FILE_NOT_FOUND when nobody serves `name`, ERROR_ACCESS_DENIED for a null session
    // and a name not open to null sessions.
    DWORD Open(const Caller& caller, std::u16string_view name, std::vector<platform::PipeOffer>& offers);

    std::vector<PipeSummary> List();

private:
    struct Instance {
        platform::PipeRegistration registration;
        ProcessRecord process;
    };

    void DropEnded(); // under the lock

    std::function<std::vector<std::u16string>()> m_nullSessionPipes;
    std::mutex m_mutex;
    std::map<std::uint64_t, Instance> m_instances;
};

// The strings of REG_MULTI_SZ "NullSessionPipes" under
// SYSTEM\CurrentControlSet\Services\LanmanServer\Parameters (none when it is missing).
std::vector<std::u16string> ReadNullSessionPipes(const RegistryStore& registry);

} // namespace ntsim::node
