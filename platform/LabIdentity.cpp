#include "platform/LabIdentity.h"

#include "platform/AsciiCase.h"
#include "platform/LabEnvironment.h"
#include "platform/Utf16.h"

#include <fstream>

namespace platform::logon {
namespace {

std::optional<Digest> ReadMachineKey() {
    std::optional<std::filesystem::path> folder = lab::ComputerFolder();
    if (!folder) {
        return std::nullopt;
    }
    Digest key{};
    std::ifstream in(*folder / lab::kMachineKeyFile, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(key.data()), key.size())) {
        return std::nullopt;
    }
    return key;
}

Proof Answer(std::u16string account, const Digest& key, const lab::ComputerAddress& computer,
             const Challenge& challenge) {
    Digest response = ComputeResponse(key, challenge, account, computer.name);
    return Proof{std::move(account), challenge.id, response};
}

} // namespace

Proof MakeProof(const lab::ComputerAddress& computer, const Challenge& challenge) {
    std::shared_ptr<const lab::LabNetwork> network = lab::Network();
    if (!network) {
        return Proof{};
    }
    std::optional<std::string> named = lab::EnvironmentValue(lab::kAccountVariable);
    bool onWorkstation = EqualsIgnoreCase(lab::OwnComputer(), ToUtf16(network->workstation.computer));
    if (!named && onWorkstation) {
        named = network->workstation.account;
    }
    if (named) {
        const lab::AccountDef* account = network->FindAccount(*named);
        // An account the lab does not know still presents itself, and is refused by the computer.
        Digest key = account != nullptr ? PasswordHash(ToUtf16(account->password)) : Digest{};
        return Answer(ToUtf16(*named), key, computer, challenge);
    }
    std::optional<Digest> machineKey = computer.local ? ReadMachineKey() : std::nullopt;
    if (!machineKey) {
        return Proof{}; // a null session
    }
    return Answer(std::u16string(kSystemAccount), *machineKey, computer, challenge);
}

} // namespace platform::logon
