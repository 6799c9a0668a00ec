#pragma once
// The protocol sequences the agent's server finds in a test: "ncacn_np" stands for the lab's
// named pipes, whose opener the pipe router has authenticated (every caller is the account
// kPipeAccount); "ncacn_ip_tcp" and "ncalrpc" carry anonymous callers; "ncadg_ip_udp" is not
// supported by the run time.
#include "platform/rpc/Transport.h"

#include <initializer_list>
#include <string_view>

namespace agenttest {

inline constexpr const char16_t* kPipeAccount = u"LAB\\Administrator";

// Installs the authenticating "ncacn_np" transport.
void InstallAuthenticatedPipes();

// For its lifetime, the listed protocol sequences have no transport; the run time's own are
// put back at the end (and the pipes of InstallAuthenticatedPipes).
class WithoutTransports {
public:
    explicit WithoutTransports(std::initializer_list<std::u16string_view> protseqs);
    ~WithoutTransports();
    WithoutTransports(const WithoutTransports&) = delete;
    WithoutTransports& operator=(const WithoutTransports&) = delete;
};

} // namespace agenttest
