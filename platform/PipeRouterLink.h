#pragma once
// How the pipe family reaches the pipe routers of the lab's computers: a server registers its
// pipe with its own computer's router, an opener asks the router of the pipe's computer for
// tickets. The link to the computers' ntnodes is the one in use; tests may put another in its
// place.
#include "platform/PipeTicket.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct PipeRegistration {
    std::u16string name;        // the pipe's own name
    std::uint16_t port = 0;     // where the serving process listens, on its computer's host
    DWORD maxInstances = 1;     // 1 to PIPE_UNLIMITED_INSTANCES
    std::int32_t pid = 0;       // the serving process
    PipeSecret secret{};        // seals the tickets the router hands out for this instance
};

// One instance that may take the opener, and the ticket to enter it with.
struct PipeOffer {
    std::uint16_t port = 0;
    std::vector<std::uint8_t> ticket;
};

class PipeRouterLink {
public:
    virtual ~PipeRouterLink() = default;

    // The host on which this process's computer serves pipes; ERROR_PATH_NOT_FOUND for a
    // process of no computer.
    virtual DWORD ServingHost(std::string& host) = 0;
    // With the own computer's router, as the computer's own process.
    virtual DWORD Register(const PipeRegistration& registration, std::uint64_t& id) = 0;
    virtual DWORD Unregister(std::uint64_t id) = 0;
    // With the router of `computer` ("." for the own one), as this process's caller identity.
    // `host`: where that computer's instances listen.
    virtual DWORD Open(std::u16string_view computer, std::u16string_view name, std::string& host,
                       std::vector<PipeOffer>& offers) = 0;
};

// The link in use; null restores the link to the computers' ntnodes.
std::shared_ptr<PipeRouterLink> CurrentPipeRouterLink();
void InstallPipeRouterLink(std::shared_ptr<PipeRouterLink> link);

} // namespace platform
