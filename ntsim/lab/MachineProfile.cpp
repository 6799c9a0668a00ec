#include "ntsim/lab/MachineProfile.h"

#include "platform/AsciiCase.h"
#include "platform/Registry.h"
#include "platform/lab/TableReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace ntsim::lab {

using platform::lab::LabFileError;
using platform::lab::ParseTomlFile;
using platform::lab::TableReader;

namespace {

constexpr DWORD kOwnProcess = 0x10;
constexpr DWORD kShareProcess = 0x20;
constexpr DWORD kStypeSpecial = 0x80000000;
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::size_t kMaxValueBytes = 1024 * 1024;

ServiceDef Builtin(const char* name, const char* display, ServiceStart start, ServiceState state,
                   std::vector<std::string> dependencies = {}) {
    ServiceDef service;
    service.name = name;
    service.displayName = display;
    service.type = kShareProcess;
    service.start = start;
    service.state = state;
    service.dependencies = std::move(dependencies);
    return service;
}

// "00 a0 ff", "00a0ff" or "00,a0,ff" as bytes.
std::vector<std::uint8_t> ParseHexBytes(const std::string& text, TableReader& reader, std::string_view key) {
    std::vector<std::uint8_t> bytes;
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\n' || c == '\t') {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            reader.FailAt(key, "expected hexadecimal bytes such as \"00 a0 ff\", found the character '" +
                                   std::string(1, c) + "'");
        }
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0) {
        reader.FailAt(key, "expected hexadecimal bytes (two digits each), found an odd number of digits");
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        unsigned value = 0;
        std::from_chars(digits.data() + i, digits.data() + i + 2, value, 16);
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    if (bytes.size() > kMaxValueBytes) {
        reader.FailAt(key, "expected at most " + std::to_string(kMaxValueBytes) + " bytes");
    }
    return bytes;
}

bool IsValidKeyPath(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end == start || end - start > kMaxKeyNameLength) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool IsValidIpv4(const std::string& text) {
    int parts = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('.', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        unsigned value = 0;
        auto [ptr, error] = std::from_chars(text.data() + start, text.data() + end, value);
        if (error != std::errc() || ptr != text.data() + end || end == start || end - start > 3 || value > 255) {
            return false;
        }
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

std::string RequireIpv4(TableReader& reader, std::string_view key) {
    std::string value = reader.RequireString(key);
    if (!IsValidIpv4(value)) {
        reader.FailAt(key, "expected a dotted IPv4 address such as \"10.0.0.1\", found \"" + value + "\"");
    }
    return value;
}

std::string OptionalIpv4(TableReader& reader, std::string_view key) {
    std::optional<std::string> value = reader.OptionalString(key);
    if (value && !IsValidIpv4(*value)) {
        reader.FailAt(key, "expected a dotted IPv4 address such as \"10.0.0.1\", found \"" + *value + "\"");
    }
    return value.value_or("");
}

// "X:\..." with X a letter; the letter, upper case, or 0.
char DriveLetterOf(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\') {
        return platform::FoldCase(path[0]);
    }
    return 0;
}

void ReadOs(TableReader& reader, OsDef& os) {
    if (std::optional<std::string> version = reader.OptionalString("version")) {
        unsigned major = 0, minor = 0;
        const char* text = version->c_str();
        const char* end = text + version->size();
        auto first = std::from_chars(text, end, major);
        bool ok = first.ec == std::errc() && first.ptr < end && *first.ptr == '.';
        if (ok) {
            auto second = std::from_chars(first.ptr + 1, end, minor);
            ok = second.ec == std::errc() && second.ptr == end;
        }
        if (!ok) {
            reader.FailAt("version", "expected \"major.minor\" such as \"4.0\", found \"" + *version + "\"");
        }
        os.majorVersion = major;
        os.minorVersion = minor;
    }
    os.buildNumber = static_cast<DWORD>(reader.OptionalInteger("build", 0, 0xFFFFFFFF).value_or(os.buildNumber));
    os.servicePack = reader.OptionalString("service_pack").value_or(os.servicePack);
    os.productType = reader.OptionalChoice<ProductType>(
                               "product_type", {{"WinNT", ProductType::WinNt},
                                                {"ServerNT", ProductType::ServerNt},
                                                {"LanmanNT", ProductType::LanmanNt}})
                         .value_or(os.productType);
    os.productSuite = reader.OptionalStringArray("product_suite");
    os.systemRoot = reader.OptionalString("system_root").value_or(os.systemRoot);
    if (DriveLetterOf(os.systemRoot) == 0 || os.systemRoot.size() < 4 || os.systemRoot.back() == '\\') {
        reader.FailAt("system_root", "expected a folder path such as \"C:\\\\WINNT\", found \"" + os.systemRoot + "\"");
    }
    reader.Finish();
}

void ReadMembership(TableReader& reader, MembershipDef& membership) {
    std::optional<std::string> domain = reader.OptionalString("domain");
    std::optional<std::string> workgroup = reader.OptionalString("workgroup");
    if (domain && workgroup) {
        reader.FailAt("workgroup", "expected either domain or workgroup, not both");
    }
    if (domain) {
        membership = {*domain, false};
    } else if (workgroup) {
        membership = {*workgroup, true};
    } else {
        membership = {"", true}; // a stand-alone computer
    }
    reader.Finish();
}

DriveDef ReadDrive(TableReader& reader) {
    DriveDef drive;
    std::string letter = reader.RequireString("letter");
    if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])) ||
        platform::FoldCase(letter[0]) == 'Z') {
        reader.FailAt("letter", "expected one drive letter from A to Y (Z is the host file system), found \"" +
                                    letter + "\"");
    }
    drive.letter = platform::FoldCase(letter[0]);
    drive.type = reader.OptionalChoice<DriveType>("type", {{"fixed", DriveType::Fixed},
                                                           {"removable", DriveType::Removable},
                                                           {"cdrom", DriveType::CdRom},
                                                           {"remote", DriveType::Remote},
                                                           {"ramdisk", DriveType::RamDisk}})
                     .value_or(DriveType::Fixed);
    drive.fileSystem = reader.OptionalString("file_system").value_or("NTFS");
    drive.label = reader.OptionalString("label").value_or("");
    drive.fabricDisk = reader.OptionalString("fabric_disk").value_or("");
    reader.Finish();
    return drive;
}

void ReadService(TableReader& reader, std::vector<ServiceDef>& services) {
    std::string name = reader.RequireString("name");
    if (name.empty() || name.size() > 256 || name.find_first_of("/\\") != std::string::npos) {
        reader.FailAt("name", "expected a service name of 1 to 256 characters without slashes");
    }
    auto existing = std::find_if(services.begin(), services.end(),
                                 [&](const ServiceDef& s) { return platform::EqualsIgnoreCase(s.name, name); });
    ServiceDef service;
    if (existing != services.end()) {
        service = *existing;
    } else {
        service.name = name;
        service.displayName = name;
        service.type = kOwnProcess;
        service.start = ServiceStart::Demand;
        service.state = ServiceState::Stopped;
    }
    service.displayName = reader.OptionalString("display_name").value_or(service.displayName);
    service.type = reader.OptionalChoice<DWORD>("type", {{"kernel_driver", 0x1},
                                                         {"file_system_driver", 0x2},
                                                         {"own_process", kOwnProcess},
                                                         {"share_process", kShareProcess}})
                       .value_or(service.type);
    service.start = reader.OptionalChoice<ServiceStart>("start", {{"boot", ServiceStart::Boot},
                                                                  {"system", ServiceStart::System},
                                                                  {"auto", ServiceStart::Auto},
                                                                  {"demand", ServiceStart::Demand},
                                                                  {"disabled", ServiceStart::Disabled}})
                        .value_or(service.start);
    service.state = reader.OptionalChoice<ServiceState>("state", {{"running", ServiceState::Running},
                                                                  {"stopped", ServiceState::Stopped}})
                        .value_or(service.state);
    service.binaryPath = reader.OptionalString("binary_path").value_or(service.binaryPath);
    if (reader.OptionalNode("dependencies") != nullptr) {
        service.dependencies = reader.OptionalStringArray("dependencies");
    }
    reader.Finish();
    if (existing != services.end()) {
        *existing = std::move(service);
    } else {
        services.push_back(std::move(service));
    }
}

RegistryValueDef ReadRegistryValue(TableReader& reader) {
    RegistryValueDef value;
    value.line = reader.Line();
    value.key = reader.RequireString("key");
    if (!IsValidKeyPath(value.key)) {
        reader.FailAt("key", "expected a key path under HKEY_LOCAL_MACHINE such as \"SOFTWARE\\\\Vendor\", "
                             "with names of 1 to 255 characters");
    }
    value.name = reader.OptionalString("name").value_or("");
    if (value.name.size() > kMaxValueNameLength) {
        reader.FailAt("name", "expected at most " + std::to_string(kMaxValueNameLength) + " characters");
    }
    value.type = reader.OptionalChoice<DWORD>("type", {{"REG_SZ", REG_SZ},
                                                       {"REG_EXPAND_SZ", REG_EXPAND_SZ},
                                                       {"REG_MULTI_SZ", REG_MULTI_SZ},
                                                       {"REG_DWORD", REG_DWORD},
                                                       {"REG_BINARY", REG_BINARY},
                                                       {"REG_NONE", REG_NONE}})
                     .value_or(REG_SZ);
    std::optional<std::string> raw = reader.OptionalString("raw");
    const toml::node* given = reader.OptionalNode("value");
    if (raw && given != nullptr) {
        reader.FailAt("raw", "expected either value or raw, not both");
    }
    if (raw) {
        value.raw = true;
        value.bytes = ParseHexBytes(*raw, reader, "raw");
    } else if (given == nullptr) {
        reader.FailAt("value", "missing; expected the value (or raw bytes as \"raw\")");
    } else {
        switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            value.text = reader.RequireString("value");
            break;
        case REG_MULTI_SZ:
            value.strings = reader.OptionalStringArray("value");
            if (std::any_of(value.strings.begin(), value.strings.end(), [](const std::string& s) { return s.empty(); })) {
                reader.FailAt("value", "expected non-empty strings (an empty string ends a REG_MULTI_SZ)");
            }
            break;
        case REG_DWORD:
            value.number = static_cast<DWORD>(reader.RequireInteger("value", 0, 0xFFFFFFFF));
            break;
        default:
            value.bytes = ParseHexBytes(reader.RequireString("value"), reader, "value");
            break;
        }
    }
    reader.Finish();
    return value;
}

ShareDef ReadShare(TableReader& reader) {
    ShareDef share;
    share.name = reader.RequireString("name");
    if (share.name.empty() || share.name.size() > 80 || share.name.find_first_of("\\/:*?\"<>|") != std::string::npos) {
        reader.FailAt("name", "expected a share name of 1 to 80 characters without \\ / : * ? \" < > |");
    }
    share.type = reader.OptionalChoice<DWORD>("type", {{"disk", 0}, {"printer", 1}, {"device", 2}, {"ipc", 3}})
                     .value_or(0);
    if (reader.OptionalBool("special").value_or(false)) {
        share.type |= kStypeSpecial;
    }
    share.path = reader.OptionalString("path").value_or("");
    if ((share.type & 0xFF) == 0 && DriveLetterOf(share.path + "\\") == 0) {
        reader.FailAt("path", "expected a folder of the computer such as \"C:\\\\DATA\", found \"" + share.path + "\"");
    }
    share.remark = reader.OptionalString("remark").value_or("");
    share.permissions = static_cast<DWORD>(reader.OptionalInteger("permissions", 0, 0xFFFFFFFF).value_or(0));
    share.maxUses = static_cast<DWORD>(reader.OptionalInteger("max_uses", -1, 0xFFFFFFFE).value_or(-1));
    reader.Finish();
    return share;
}

AdapterDef ReadAdapter(TableReader& reader) {
    AdapterDef adapter;
    adapter.line = reader.Line();
    adapter.name = reader.RequireString("name");
    adapter.description = reader.OptionalString("description").value_or(adapter.name);
    adapter.mac = reader.OptionalString("mac").value_or("");
    adapter.segment = reader.OptionalString("segment").value_or("");
    adapter.dhcp = reader.OptionalBool("dhcp").value_or(false);
    for (TableReader& address : reader.OptionalTableArray("address")) {
        AddressDef def;
        def.ip = RequireIpv4(address, "ip");
        def.mask = RequireIpv4(address, "mask");
        address.Finish();
        adapter.addresses.push_back(std::move(def));
    }
    adapter.gateways = reader.OptionalStringArray("gateways");
    for (const std::string& gateway : adapter.gateways) {
        if (!IsValidIpv4(gateway)) {
            reader.FailAt("gateways", "expected dotted IPv4 addresses, found \"" + gateway + "\"");
        }
    }
    adapter.dhcpServer = OptionalIpv4(reader, "dhcp_server");
    adapter.winsPrimary = OptionalIpv4(reader, "wins_primary");
    adapter.winsSecondary = OptionalIpv4(reader, "wins_secondary");
    reader.Finish();
    return adapter;
}

} // namespace

std::vector<ServiceDef> BuiltInServices() {
    using enum ServiceStart;
    using enum ServiceState;
    return {
        Builtin("EventLog", "EventLog", Auto, Running),
        Builtin("RPCSS", "Remote Procedure Call (RPC) Service", Auto, Running),
        Builtin("RpcLocator", "Remote Procedure Call (RPC) Locator", Demand, Stopped),
        Builtin("LanmanServer", "Server", Auto, Running),
        Builtin("LanmanWorkstation", "Workstation", Auto, Running),
        Builtin("Browser", "Computer Browser", Auto, Running, {"LanmanWorkstation", "LanmanServer"}),
        Builtin("Netlogon", "Net Logon", Demand, Stopped, {"LanmanWorkstation"}),
    };
}

const std::vector<std::string>& ReservedProfileTables() {
    static const std::vector<std::string> names = {"machine", "pci", "bridge", "slot", "rom", "eisa",
                                                   "storage_port", "cluster", "health"};
    return names;
}

const char* ServiceStateWord(ServiceState state) { return state == ServiceState::Running ? "running" : "stopped"; }

const char* ServiceStartWord(ServiceStart start) {
    switch (start) {
    case ServiceStart::Boot: return "boot";
    case ServiceStart::System: return "system";
    case ServiceStart::Auto: return "auto";
    case ServiceStart::Demand: return "demand";
    case ServiceStart::Disabled: return "disabled";
    }
    return "demand";
}

const char* ProductTypeWord(ProductType type) {
    switch (type) {
    case ProductType::WinNt: return "WinNT";
    case ProductType::ServerNt: return "ServerNT";
    case ProductType::LanmanNt: return "LanmanNT";
    }
    return "ServerNT";
}

const DriveDef* MachineProfile::FindDrive(char letter) const {
    for (const DriveDef& drive : drives) {
        if (drive.letter == platform::FoldCase(letter)) {
            return &drive;
        }
    }
    return nullptr;
}

const ServiceDef* MachineProfile::FindService(std::string_view name) const {
    for (const ServiceDef& service : services) {
        if (platform::EqualsIgnoreCase(service.name, name)) {
            return &service;
        }
    }
    return nullptr;
}

MachineProfile LoadMachineProfile(const std::filesystem::path& file, const std::string& computer,
                                  const std::string& membershipDefault) {
    toml::table document = ParseTomlFile(file);
    TableReader root(document, file.string(), "");
    MachineProfile profile;
    profile.file = file.string();
    profile.computer = computer;
    profile.membership = {membershipDefault, membershipDefault.empty()};

    if (std::optional<TableReader> os = root.OptionalTable("os")) {
        ReadOs(*os, profile.os);
    }
    if (std::optional<TableReader> membership = root.OptionalTable("membership")) {
        ReadMembership(*membership, profile.membership);
    }

    for (TableReader& reader : root.OptionalTableArray("drive")) {
        DriveDef drive = ReadDrive(reader);
        if (profile.FindDrive(drive.letter) != nullptr) {
            reader.FailAt("letter", std::string("drive ") + drive.letter + ": is given twice");
        }
        profile.drives.push_back(std::move(drive));
    }
    if (profile.drives.empty()) {
        profile.drives.push_back(DriveDef{});
    }
    if (profile.FindDrive(DriveLetterOf(profile.os.systemRoot)) == nullptr) {
        throw LabFileError(profile.file, root.LineOf("os"), "os.system_root",
                           "expected a folder on one of the computer's [[drive]] entries, found \"" +
                               profile.os.systemRoot + "\"");
    }

    profile.services = BuiltInServices();
    if (!profile.membership.workgroup && !profile.membership.name.empty()) {
        for (ServiceDef& service : profile.services) {
            if (service.name == "Netlogon") { // a domain member logs on to its domain
                service.start = ServiceStart::Auto;
                service.state = ServiceState::Running;
            }
        }
    }
    for (TableReader& reader : root.OptionalTableArray("service")) {
        ReadService(reader, profile.services);
    }

    for (TableReader& reader : root.OptionalTableArray("registry")) {
        profile.registry.push_back(ReadRegistryValue(reader));
    }

    for (TableReader& reader : root.OptionalTableArray("share")) {
        ShareDef share = ReadShare(reader);
        if ((share.type & 0xFF) == 0 && profile.FindDrive(DriveLetterOf(share.path + "\\")) == nullptr) {
            reader.FailAt("path", "expected a folder on one of the computer's [[drive]] entries, found \"" +
                                      share.path + "\"");
        }
        for (const ShareDef& other : profile.shares) {
            if (platform::EqualsIgnoreCase(other.name, share.name)) {
                reader.FailAt("name", "the share \"" + share.name + "\" is given twice");
            }
        }
        profile.shares.push_back(std::move(share));
    }

    for (TableReader& reader : root.OptionalTableArray("adapter")) {
        profile.adapters.push_back(ReadAdapter(reader));
    }

    for (const std::string& name : ReservedProfileTables()) {
        root.Accept(name);
    }
    root.Finish();
    return profile;
}

} // namespace ntsim::lab
