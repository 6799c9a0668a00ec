#include "ntsim/node/PipeRouter.h"

#include "ntsim/node/RegistryStore.h"
#include "platform/AsciiCase.h"
#include "platform/Pipe.h"
#include "platform/PipeName.h"
#include "platform/Registry.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <algorithm>

namespace ntsim::node {
namespace {

constexpr std::u16string_view kServerParameters = u"SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";

bool SameName(std::u16string_view a, std::u16string_view b) { return platform::EqualsIgnoreCase(a, b); }

} // namespace

std::vector<std::u16string> ReadNullSessionPipes(const RegistryStore& registry) {
    RegistryValue value;
    std::vector<std::u16string> names;
    if (registry.QueryValue(kServerParameters, u"NullSessionPipes", value) != ERROR_SUCCESS ||
        value.type != REG_MULTI_SZ) {
        return names;
    }
    std::u16string current;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        char16_t c = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
        if (c != u'\0') {
            current.push_back(c);
        } else if (!current.empty()) {
            names.push_back(std::move(current));
            current.clear();
        } else {
            break; // the closing empty string
        }
    }
    if (!current.empty()) {
        names.push_back(std::move(current));
    }
    return names;
}

PipeRouter::PipeRouter(std::function<std::vector<std::u16string>()> nullSessionPipes)
    : m_nullSessionPipes(std::move(nullSessionPipes)) {}

void PipeRouter::DropEnded() {
    std::erase_if(m_instances, [](const auto& entry) { return !IsRunning(entry.second.process); });
}

DWORD PipeRouter::Register(const Caller& caller, const platform::PipeRegistration& registration, std::uint64_t& id) {
    id = 0;
    if (caller.kind != Caller::Kind::System) {
        return ERROR_ACCESS_DENIED;
    }
    if (registration.name.empty() || registration.name.size() > platform::kMaxPipeName ||
        registration.maxInstances == 0 || registration.maxInstances > PIPE_UNLIMITED_INSTANCES ||
        registration.port == 0 || registration.pid <= 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::optional<ProcessRecord> process = DescribeProcess(registration.pid, "pipe server");
    if (!process) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(m_mutex);
    DropEnded();
    std::size_t instances = 0;
    for (const auto& [key, instance] : m_instances) {
        if (SameName(instance.registration.name, registration.name)) {
            if (instance.registration.maxInstances != registration.maxInstances) {
                return ERROR_ACCESS_DENIED;
            }
            ++instances;
        }
    }
    if (registration.maxInstances != PIPE_UNLIMITED_INSTANCES && instances >= registration.maxInstances) {
        return ERROR_PIPE_BUSY;
    }
    do {
        if (!platform::logon::RandomBytes(reinterpret_cast<std::uint8_t*>(&id), sizeof id)) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    } while (id == 0 || m_instances.count(id) != 0);
    m_instances[id] = Instance{registration, *process};
    return ERROR_SUCCESS;
}

DWORD PipeRouter::Unregister(const Caller& caller, std::uint64_t id) {
    if (caller.kind != Caller::Kind::System) {
        return ERROR_ACCESS_DENIED;
    }
    std::lock_guard lock(m_mutex);
    return m_instances.erase(id) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

DWORD PipeRouter::Open(const Caller& caller, std::u16string_view name, std::vector<platform::PipeOffer>& offers) {
    offers.clear();
    if (name.empty() || name.size() > platform::kMaxPipeName) {
        return ERROR_INVALID_NAME;
    }
    platform::PipeOpener opener;
    if (caller.kind == Caller::Kind::Account) {
        opener.account = platform::ToUtf16(caller.account);
    } else if (caller.kind == Caller::Kind::System) {
        opener.account = std::u16string(platform::logon::kSystemAccount);
    }
    std::lock_guard lock(m_mutex);
    DropEnded();
    bool served = false;
    for (const auto& [id, instance] : m_instances) {
        served = served || SameName(instance.registration.name, name);
    }
    if (!served) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (caller.kind == Caller::Kind::Anonymous) {
        std::vector<std::u16string> open = m_nullSessionPipes ? m_nullSessionPipes() : std::vector<std::u16string>{};
        if (std::none_of(open.begin(), open.end(), [&](const std::u16string& n) { return SameName(n, name); })) {
            return ERROR_ACCESS_DENIED;
        }
    }
    for (const auto& [id, instance] : m_instances) {
        if (SameName(instance.registration.name, name)) {
            platform::PipeOffer offer;
            offer.port = instance.registration.port;
            offer.ticket = platform::MakePipeTicket(instance.registration.secret, id, opener);
            if (offer.ticket.empty()) {
                return ERROR_NOT_ENOUGH_MEMORY;
            }
            offers.push_back(std::move(offer));
        }
    }
    return ERROR_SUCCESS;
}

std::vector<PipeSummary> PipeRouter::List() {
    std::lock_guard lock(m_mutex);
    DropEnded();
    std::vector<PipeSummary> list;
    for (const auto& [id, instance] : m_instances) {
        list.push_back({instance.registration.name, instance.registration.port, instance.registration.pid});
    }
    return list;
}

} // namespace ntsim::node
