#include "ntsim/node/RegistryImage.h"

#include "platform/Registry.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <cctype>

namespace ntsim::node {
namespace {

using platform::ToUtf16;

constexpr std::u16string_view kCurrentVersion = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::u16string_view kProductOptions = u"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr std::u16string_view kComputerName = u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
constexpr std::u16string_view kServerParameters = u"SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";
constexpr std::u16string_view kTcpipParameters = u"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";

void Put(RegistryTree& tree, std::u16string_view key, std::u16string_view name, DWORD type,
         std::vector<std::uint8_t> data) {
    bool created = false;
    tree.CreateKey(key, created);
    tree.SetValue(key, name, type, std::move(data));
}

void PutString(RegistryTree& tree, std::u16string_view key, std::u16string_view name, const std::string& text) {
    Put(tree, key, name, REG_SZ, StringData(ToUtf16(text)));
}

std::vector<std::u16string> ToUtf16All(const std::vector<std::string>& texts) {
    std::vector<std::u16string> out;
    for (const std::string& text : texts) {
        out.push_back(ToUtf16(text));
    }
    return out;
}

void PutAdapter(RegistryTree& tree, const lab::AdapterDef& adapter) {
    std::u16string key = u"SYSTEM\\CurrentControlSet\\Services\\" + ToUtf16(adapter.name) + u"\\Parameters\\Tcpip";
    std::vector<std::string> ips, masks;
    for (const lab::AddressDef& address : adapter.addresses) {
        ips.push_back(address.ip);
        masks.push_back(address.mask);
    }
    if (ips.empty()) {
        ips = masks = {"0.0.0.0"};
    }
    Put(tree, key, u"EnableDHCP", REG_DWORD, DwordData(adapter.dhcp ? 1 : 0));
    Put(tree, key, u"IPAddress", REG_MULTI_SZ, MultiStringData(ToUtf16All(ips)));
    Put(tree, key, u"SubnetMask", REG_MULTI_SZ, MultiStringData(ToUtf16All(masks)));
    Put(tree, key, u"DefaultGateway", REG_MULTI_SZ, MultiStringData(ToUtf16All(adapter.gateways)));
    std::u16string card = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\" + ToUtf16(adapter.name);
    PutString(tree, card, u"ServiceName", adapter.name);
    PutString(tree, card, u"Description", adapter.description);
}

} // namespace

std::vector<std::uint8_t> StringData(std::u16string_view text) {
    std::vector<std::uint8_t> data;
    data.reserve((text.size() + 1) * 2);
    for (char16_t c : text) {
        data.push_back(static_cast<std::uint8_t>(c & 0xFF));
        data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

std::vector<std::uint8_t> MultiStringData(const std::vector<std::u16string>& strings) {
    std::vector<std::uint8_t> data;
    for (const std::u16string& text : strings) {
        std::vector<std::uint8_t> one = StringData(text);
        data.insert(data.end(), one.begin(), one.end());
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

std::vector<std::uint8_t> DwordData(DWORD number) {
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

std::vector<std::uint8_t> ProfileValueData(const lab::RegistryValueDef& value) {
    if (value.raw) {
        return value.bytes;
    }
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return StringData(ToUtf16(value.text));
    case REG_MULTI_SZ:
        return MultiStringData(ToUtf16All(value.strings));
    case REG_DWORD:
        return DwordData(value.number);
    default:
        return value.bytes;
    }
}

std::vector<std::u16string> MultiStrings(const std::vector<std::uint8_t>& data) {
    std::vector<std::u16string> strings;
    std::u16string current;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c != 0) {
            current.push_back(c);
        } else if (current.empty()) {
            break; // the empty string closes the list
        } else {
            strings.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) {
        strings.push_back(std::move(current));
    }
    return strings;
}

RegistryTree BuildRegistryImage(const lab::MachineProfile& profile) {
    RegistryTree tree;
    const lab::OsDef& os = profile.os;
    PutString(tree, kCurrentVersion, u"SystemRoot", os.systemRoot);
    PutString(tree, kCurrentVersion, u"PathName", os.systemRoot);
    PutString(tree, kCurrentVersion, u"CurrentVersion",
              std::to_string(os.majorVersion) + "." + std::to_string(os.minorVersion));
    PutString(tree, kCurrentVersion, u"CurrentBuildNumber", std::to_string(os.buildNumber));
    PutString(tree, kCurrentVersion, u"CurrentType", "Uniprocessor Free");
    PutString(tree, kCurrentVersion, u"SoftwareType", "SYSTEM");
    if (!os.servicePack.empty()) {
        PutString(tree, kCurrentVersion, u"CSDVersion", os.servicePack);
    }
    PutString(tree, kProductOptions, u"ProductType", lab::ProductTypeWord(os.productType));
    Put(tree, kProductOptions, u"ProductSuite", REG_MULTI_SZ, MultiStringData(ToUtf16All(os.productSuite)));
    PutString(tree, kComputerName, u"ComputerName", profile.computer);
    Put(tree, kServerParameters, u"NullSessionPipes", REG_MULTI_SZ,
        MultiStringData({u"COMNAP", u"COMNODE", u"SQL\\QUERY", u"SPOOLSS", u"LLSRPC", u"EPMAPPER", u"LOCATOR"}));
    Put(tree, kServerParameters, u"NullSessionShares", REG_MULTI_SZ, MultiStringData({u"COMCFG", u"DFS$"}));
    std::string hostName = profile.computer; // NT keeps the host name in lower case
    for (char& c : hostName) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    PutString(tree, kTcpipParameters, u"Hostname", hostName);
    for (const lab::AdapterDef& adapter : profile.adapters) {
        PutAdapter(tree, adapter);
    }
    for (const lab::RegistryValueDef& value : profile.registry) {
        Put(tree, ToUtf16(value.key), ToUtf16(value.name), value.type, ProfileValueData(value));
    }
    return tree;
}

} // namespace ntsim::node
