#include "platform/lab/LabNetwork.h"

#include "platform/AsciiCase.h"
#include "platform/lab/TableReader.h"

#include <algorithm>

namespace platform::lab {
namespace {

constexpr const char* kDefaultProvider = "Microsoft Windows Network";

template <typename T>
const T* FindByName(const std::vector<T>& items, std::string_view name) {
    for (const T& item : items) {
        if (platform::EqualsIgnoreCase(item.name, name)) {
            return &item;
        }
    }
    return nullptr;
}

// Refuses a name that an earlier entry of the same kind already uses.
template <typename T>
void RequireUnique(const std::vector<T>& earlier, const std::string& name, TableReader& reader) {
    if (FindByName(earlier, name) != nullptr) {
        reader.FailAt("name", "\"" + name + "\" is used twice");
    }
}

// A NetBIOS name (computers, domains), unique among `earlier`.
template <typename T>
std::string RequireNetBiosName(const std::vector<T>& earlier, TableReader& reader) {
    std::string name = reader.RequireString("name");
    if (!IsValidComputerName(name)) {
        reader.FailAt("name", "expected 1 to 15 letters, digits, '-' or '_', found \"" + name + "\"");
    }
    RequireUnique(earlier, name, reader);
    return name;
}

void RequireNonEmpty(const std::string& value, TableReader& reader, std::string_view key) {
    if (value.empty()) {
        reader.FailAt(key, "must not be empty");
    }
}

} // namespace

bool IsValidComputerName(std::string_view name) {
    if (name.empty() || name.size() > 15) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

const ComputerDef* LabNetwork::FindComputer(std::string_view name) const { return FindByName(computers, name); }
const DomainDef* LabNetwork::FindDomain(std::string_view name) const { return FindByName(domains, name); }
const SegmentDef* LabNetwork::FindSegment(std::string_view name) const { return FindByName(segments, name); }

const AccountDef* LabNetwork::FindAccount(std::string_view name) const {
    std::size_t slash = name.find('\\');
    if (slash == std::string_view::npos) {
        return FindByName(accounts, name);
    }
    std::string_view domain = name.substr(0, slash);
    const AccountDef* account = FindByName(accounts, name.substr(slash + 1));
    if (account == nullptr || !platform::EqualsIgnoreCase(account->domain, domain)) {
        return nullptr;
    }
    return account;
}

bool LabNetwork::Administers(const AccountDef& account, std::string_view computer) const {
    return std::any_of(account.administers.begin(), account.administers.end(),
                       [&](const std::string& name) { return platform::EqualsIgnoreCase(name, computer); });
}

LabNetwork LoadLabNetwork(const std::filesystem::path& file) {
    toml::table document = ParseTomlFile(file);
    TableReader root(document, file.string(), "");
    LabNetwork network;
    network.file = file.string();

    for (TableReader& reader : root.OptionalTableArray("provider")) {
        ProviderDef provider;
        provider.name = reader.RequireString("name");
        RequireNonEmpty(provider.name, reader, "name");
        RequireUnique(network.providers, provider.name, reader);
        reader.Finish();
        network.providers.push_back(std::move(provider));
    }
    if (network.providers.empty()) {
        network.providers.push_back({kDefaultProvider});
    }

    for (TableReader& reader : root.OptionalTableArray("domain")) {
        DomainDef domain;
        domain.name = RequireNetBiosName(network.domains, reader);
        domain.provider = reader.OptionalString("provider").value_or(network.providers.front().name);
        if (FindByName(network.providers, domain.provider) == nullptr) {
            reader.FailAt("provider", "expected the name of a [[provider]], found \"" + domain.provider + "\"");
        }
        domain.comment = reader.OptionalString("comment").value_or("");
        reader.Finish();
        network.domains.push_back(std::move(domain));
    }

    for (TableReader& reader : root.OptionalTableArray("segment")) {
        SegmentDef segment;
        segment.name = reader.RequireString("name");
        RequireNonEmpty(segment.name, reader, "name");
        RequireUnique(network.segments, segment.name, reader);
        segment.comment = reader.OptionalString("comment").value_or("");
        reader.Finish();
        network.segments.push_back(std::move(segment));
    }

    for (TableReader& reader : root.OptionalTableArray("computer")) {
        ComputerDef computer;
        computer.name = RequireNetBiosName(network.computers, reader);
        computer.domain = reader.OptionalString("domain").value_or("");
        if (!computer.domain.empty() && network.FindDomain(computer.domain) == nullptr) {
            reader.FailAt("domain", "expected the name of a [[domain]], found \"" + computer.domain + "\"");
        }
        computer.host = reader.OptionalString("host").value_or("127.0.0.1");
        RequireNonEmpty(computer.host, reader, "host");
        computer.port = static_cast<std::uint16_t>(reader.RequireInteger("port", 1, 65535));
        for (const ComputerDef& other : network.computers) {
            if (other.host == computer.host && other.port == computer.port) {
                reader.FailAt("port", computer.host + ":" + std::to_string(computer.port) + " is already the address of " +
                                          other.name);
            }
        }
        computer.comment = reader.OptionalString("comment").value_or("");
        reader.Finish();
        network.computers.push_back(std::move(computer));
    }
    if (network.computers.empty()) {
        root.Fail("expected at least one [[computer]]");
    }

    for (TableReader& reader : root.OptionalTableArray("account")) {
        AccountDef account;
        account.name = reader.RequireString("name");
        RequireNonEmpty(account.name, reader, "name");
        if (account.name.find('\\') != std::string::npos) {
            reader.FailAt("name", "expected a name without a domain (give the domain in \"domain\")");
        }
        RequireUnique(network.accounts, account.name, reader);
        account.domain = reader.OptionalString("domain").value_or("");
        if (!account.domain.empty() && network.FindDomain(account.domain) == nullptr) {
            reader.FailAt("domain", "expected the name of a [[domain]], found \"" + account.domain + "\"");
        }
        account.password = reader.RequireString("password");
        account.administers = reader.OptionalStringArray("administers");
        for (const std::string& name : account.administers) {
            if (network.FindComputer(name) == nullptr) {
                reader.FailAt("administers", "expected names of [[computer]] entries, found \"" + name + "\"");
            }
        }
        reader.Finish();
        network.accounts.push_back(std::move(account));
    }

    std::optional<TableReader> workstation = root.OptionalTable("workstation");
    if (!workstation) {
        root.FailAt("workstation", "missing; expected a [workstation] table with computer and account");
    }
    network.workstation.computer = workstation->RequireString("computer");
    if (network.FindComputer(network.workstation.computer) == nullptr) {
        workstation->FailAt("computer", "expected the name of a [[computer]], found \"" + network.workstation.computer + "\"");
    }
    network.workstation.account = workstation->RequireString("account");
    if (network.FindAccount(network.workstation.account) == nullptr) {
        workstation->FailAt("account", "expected the name of an [[account]], found \"" + network.workstation.account + "\"");
    }
    workstation->Finish();
    root.Finish();
    return network;
}

} // namespace platform::lab
