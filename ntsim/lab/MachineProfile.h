#pragma once
// A simulated computer's profile (machine.toml): what it is and how it starts. Written for
// people: a product suite by name, services by name and state, registry values by type and
// value. Every table and field is optional; what is left out takes the default of a certified
// Windows NT 4.0 Server with Service Pack 6 in a domain.
#include "platform/WinTypes.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ntsim::lab {

enum class ProductType { WinNt, ServerNt, LanmanNt }; // "WinNT", "ServerNT", "LanmanNT"

struct OsDef {
    DWORD majorVersion = 4;
    DWORD minorVersion = 0;
    DWORD buildNumber = 1381;
    std::string servicePack = "Service Pack 6"; // CSDVersion; "" for none
    ProductType productType = ProductType::ServerNt;
    std::vector<std::string> productSuite;      // e.g. "Enterprise"
    std::string systemRoot = "C:\\WINNT";
};

struct MembershipDef {
    std::string name;      // domain or workgroup name; "" for none
    bool workgroup = false; // true: a workgroup, not a domain
};

enum class DriveType { Fixed, Removable, CdRom, Remote, RamDisk };

struct DriveDef {
    char letter = 'C';         // upper case, not the host drive Z
    DriveType type = DriveType::Fixed;
    std::string fileSystem = "NTFS";
    std::string label;
    std::string fabricDisk;    // the shared disk behind it ("" for a local drive)
};

enum class ServiceState { Stopped, Running };
enum class ServiceStart { Boot, System, Auto, Demand, Disabled };

struct ServiceDef {
    std::string name;
    std::string displayName;
    DWORD type = 0x10; // SERVICE_WIN32_OWN_PROCESS; 0x1 kernel driver, 0x20 shared process
    ServiceStart start = ServiceStart::Auto;
    ServiceState state = ServiceState::Running;
    std::string binaryPath;                // NT path; "" for a built-in service without a program
    std::vector<std::string> dependencies;
};

// A registry value as the profile states it; the computer turns it into the value's bytes.
struct RegistryValueDef {
    std::string key;  // under HKEY_LOCAL_MACHINE, e.g. "SYSTEM\CurrentControlSet\Control"
    std::string name; // "" for the default value
    DWORD type = 1;   // REG_SZ
    std::string text;                 // REG_SZ, REG_EXPAND_SZ
    std::vector<std::string> strings; // REG_MULTI_SZ
    DWORD number = 0;                 // REG_DWORD
    std::vector<std::uint8_t> bytes;  // REG_BINARY, REG_NONE, and any type given as raw bytes
    bool raw = false;                 // the bytes are the value whatever its type (malformed images)
    std::size_t line = 0;
};

struct ShareDef {
    std::string name;
    DWORD type = 0; // STYPE_DISKTREE; STYPE_SPECIAL (0x80000000) for a hidden administrative share
    std::string path; // NT path on the computer
    std::string remark;
    DWORD permissions = 0;
    DWORD maxUses = 0xFFFFFFFF; // unlimited
};

struct AddressDef {
    std::string ip;
    std::string mask;
};

struct AdapterDef {
    std::string name;        // the adapter's service name, e.g. "El90x1"
    std::string description; // e.g. "3Com Etherlink XL"
    std::string mac;         // "00-A0-24-11-22-33"
    std::string segment;     // the network segment it is plugged into
    bool dhcp = false;
    std::vector<AddressDef> addresses;
    std::vector<std::string> gateways;
    std::string dhcpServer;
    std::string winsPrimary;
    std::string winsSecondary;
    std::size_t line = 0;
};

struct MachineProfile {
    std::string file;     // where it was read from, for messages
    std::string computer; // the computer it belongs to
    OsDef os;
    MembershipDef membership;
    std::vector<DriveDef> drives;      // never empty: C is there by default
    std::vector<ServiceDef> services;  // the built-in services, changed and extended by the file
    std::vector<RegistryValueDef> registry;
    std::vector<ShareDef> shares;      // beyond the default administrative shares
    std::vector<AdapterDef> adapters;

    const DriveDef* FindDrive(char letter) const;
    const ServiceDef* FindService(std::string_view name) const;
};

// Reads and checks a machine.toml; throws LabFileError. `computer` and `membershipDefault`
// (the computer's domain in the name directory) fill what the file leaves out.
MachineProfile LoadMachineProfile(const std::filesystem::path& file, const std::string& computer,
                                  const std::string& membershipDefault);

// The services every simulated NT 4.0 computer has (before its profile changes them).
std::vector<ServiceDef> BuiltInServices();

// "RUNNING"/"STOPPED" style names for status output, and the TOML words.
const char* ServiceStateWord(ServiceState state);
const char* ServiceStartWord(ServiceStart start);
const char* ProductTypeWord(ProductType type);

// The top-level tables a machine.toml may hold that are accepted but read by later parts of
// the simulation (PCI functions, ROM and EISA data, storage ports, cluster library, ...).
const std::vector<std::string>& ReservedProfileTables();

} // namespace ntsim::lab
