#include "platform/LabDirectory.h"

#include "platform/AsciiCase.h"
#include "platform/LabEnvironment.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/lab/LabFileError.h"

#include <cstdio>
#include <mutex>

namespace platform::lab {
namespace {

struct Cache {
    std::mutex mutex;
    bool read = false;  // the network of `folder` has been read (or found unreadable)
    std::string folder; // the VTARN_LAB the network was read for
    std::shared_ptr<const LabNetwork> network;
};

Cache& TheCache() {
    static Cache* cache = new Cache; // never destroyed: safe to use from threads at exit
    return *cache;
}

std::u16string_view StripBackslashes(std::u16string_view name) {
    while (name.starts_with(u"\\")) {
        name.remove_prefix(1);
    }
    return name;
}

} // namespace

std::shared_ptr<const LabNetwork> Network() {
    std::optional<std::filesystem::path> folder = LabFolder();
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    std::string key = folder ? folder->string() : std::string();
    if (cache.read && key == cache.folder) {
        return cache.network;
    }
    cache.read = true;
    cache.folder = key;
    cache.network.reset();
    if (!folder) {
        return nullptr;
    }
    try {
        cache.network = std::make_shared<const LabNetwork>(LoadLabNetwork(*folder / "network.toml"));
    } catch (const LabFileError& error) {
        std::fprintf(stderr, "lab: %s\n", error.what());
    }
    return cache.network;
}

std::u16string OwnComputer() {
    if (std::optional<std::string> computer = EnvironmentValue(kComputerVariable)) {
        return ToUtf16(*computer);
    }
    std::shared_ptr<const LabNetwork> network = Network();
    return network ? ToUtf16(network->workstation.computer) : std::u16string();
}

DWORD FindComputer(std::u16string_view name, ComputerAddress& out) {
    std::shared_ptr<const LabNetwork> network = Network();
    if (!network) {
        return ERROR_BAD_NETPATH;
    }
    std::u16string own = OwnComputer();
    std::u16string_view wanted = StripBackslashes(name);
    if (wanted.empty() || wanted == u".") {
        wanted = own;
    }
    std::optional<std::string> narrow = Utf16ToUtf8(wanted);
    const ComputerDef* computer = narrow ? network->FindComputer(*narrow) : nullptr;
    if (computer == nullptr) {
        return ERROR_BAD_NETPATH;
    }
    out.name = ToUtf16(computer->name);
    out.host = computer->host;
    out.port = computer->port;
    out.local = EqualsIgnoreCase(out.name, own);
    return ERROR_SUCCESS;
}

} // namespace platform::lab
