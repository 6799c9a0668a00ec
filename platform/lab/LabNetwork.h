#pragma once
// The lab's name directory (network.toml): network providers, domains and their computers,
// where each computer's ntnode listens, the network segments, the accounts and the computers
// each administers, and the workstation with its logged-on account.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace platform::lab {

struct ProviderDef {
    std::string name; // "Microsoft Windows Network"
};

struct DomainDef {
    std::string name;     // "TARNDOM"
    std::string provider; // the provider it is listed under
    std::string comment;
};

struct ComputerDef {
    std::string name;   // NetBIOS name, 1 to 15 characters
    std::string domain; // the domain or workgroup it is listed under in the network neighbourhood
    std::string host;   // where its ntnode listens
    std::uint16_t port = 0;
    std::string comment;
};

struct SegmentDef {
    std::string name;
    std::string comment;
};

struct AccountDef {
    std::string name;     // unique in the lab
    std::string domain;   // the domain it belongs to ("" for none)
    std::string password;
    std::vector<std::string> administers; // computer names
};

struct WorkstationDef {
    std::string computer; // a computer of the lab
    std::string account;  // its logged-on account
};

struct LabNetwork {
    std::string file; // where it was read from, for messages
    std::vector<ProviderDef> providers;
    std::vector<DomainDef> domains;
    std::vector<ComputerDef> computers;
    std::vector<SegmentDef> segments;
    std::vector<AccountDef> accounts;
    WorkstationDef workstation;

    // Lookups ignore case; nullptr when there is no such entry.
    const ComputerDef* FindComputer(std::string_view name) const;
    const DomainDef* FindDomain(std::string_view name) const;
    const SegmentDef* FindSegment(std::string_view name) const;
    // `name` may carry a domain prefix: "TARNDOM\Administrator".
    const AccountDef* FindAccount(std::string_view name) const;

    bool Administers(const AccountDef& account, std::string_view computer) const;
};

// Reads and checks network.toml; throws LabFileError (file, line, field, what was expected).
LabNetwork LoadLabNetwork(const std::filesystem::path& file);

// A valid computer name: 1 to 15 letters, digits, '-' or '_'.
bool IsValidComputerName(std::string_view name);

} // namespace platform::lab
