// The lab's files: a good lab loads whole; a bad one gives one error naming the file, the line,
// the field and what was expected.
#include "ntsim/lab/LabDefinition.h"
#include "platform/Registry.h"
#include "platform/lab/LabFileError.h"
#include "tests/lab/support/TempLab.h"

#include <gtest/gtest.h>

namespace {

using platform::lab::LabFileError;

TEST(LabFiles, DefaultLabLoadsWithItsComputersAccountsAndProfiles) {
    ntsim::lab::LabDefinition lab = ntsim::lab::LoadLab(std::filesystem::path(TARN_SOURCE_DIR) / "labs/default");
    ASSERT_EQ(lab.network.computers.size(), 3u);
    const platform::lab::AccountDef* admin = lab.network.FindAccount(lab.network.workstation.account);
    ASSERT_NE(admin, nullptr);
    for (const char* node : {"NODE1", "NODE2", "ADMINWS"}) {
        EXPECT_TRUE(lab.network.Administers(*admin, node)) << node;
    }
    const ntsim::lab::MachineProfile* node1 = lab.FindProfile("node1");
    ASSERT_NE(node1, nullptr);
    EXPECT_EQ(node1->os.systemRoot, "C:\\WINNT");
    EXPECT_EQ(node1->os.productSuite, std::vector<std::string>{"Enterprise"});
    ASSERT_EQ(node1->adapters.size(), 2u);
    EXPECT_EQ(node1->adapters[1].addresses.at(0).ip, "192.168.100.1");
    ASSERT_NE(node1->FindService("Netlogon"), nullptr);
    EXPECT_EQ(node1->FindService("Netlogon")->state, ntsim::lab::ServiceState::Running); // a domain member
    EXPECT_NE(lab.network.FindAccount("TARNDOM\\Administrator"), nullptr);
    EXPECT_EQ(lab.network.FindAccount("OTHER\\Administrator"), nullptr);
}

TEST(LabFiles, ProfileDefaultsAndRegistryValueForms) {
    labtest::TempLab lab;
    lab.WriteStandard({4000, 4001, 4002});
    lab.Write("NODE1/machine.toml", R"(
[[service]]
name = "ClusSvc"
display_name = "Cluster Server"
state = "running"

[[service]]
name = "RPCSS"
state = "stopped"

[[registry]]
key = "SOFTWARE\\Vendor"
name = "List"
type = "REG_MULTI_SZ"
value = ["a", "b"]

[[registry]]
key = "SOFTWARE\\Vendor"
name = "Broken"
type = "REG_DWORD"
raw = "01 02 03"

[pci]
anything = "accepted for later"
)");
    ntsim::lab::LabDefinition definition = ntsim::lab::LoadLab(lab.Folder());
    const ntsim::lab::MachineProfile& profile = *definition.FindProfile("NODE1");
    EXPECT_EQ(profile.os.majorVersion, 4u);
    EXPECT_EQ(profile.os.servicePack, "Service Pack 6");
    ASSERT_EQ(profile.drives.size(), 1u);
    EXPECT_EQ(profile.drives[0].letter, 'C');
    ASSERT_NE(profile.FindService("ClusSvc"), nullptr);
    EXPECT_EQ(profile.FindService("ClusSvc")->displayName, "Cluster Server");
    EXPECT_EQ(profile.FindService("rpcss")->state, ntsim::lab::ServiceState::Stopped);
    ASSERT_EQ(profile.registry.size(), 2u);
    EXPECT_EQ(profile.registry[0].strings, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(profile.registry[1].raw);
    EXPECT_EQ(profile.registry[1].bytes, (std::vector<std::uint8_t>{1, 2, 3}));
}

struct BadFileCase {
    const char* title;
    const char* file;    // the file that is bad
    const char* content; // what it holds
    std::size_t line;
    const char* field;
    const char* problem; // a part of the message
};

const std::string kGoodNetwork = R"([[domain]]
name = "TARNDOM"

[[segment]]
name = "public"

[[computer]]
name = "NODE1"
domain = "TARNDOM"
port = 4101

[[account]]
name = "Administrator"
password = "pw"
administers = ["NODE1"]

[workstation]
computer = "NODE1"
account = "Administrator"
)";

const BadFileCase kBadFiles[] = {
    {"syntax", "network.toml", "[[computer]]\nname = \"NODE1\nport = 1\n", 2, "", "not valid TOML"},
    {"port is text", "network.toml",
     "[[computer]]\nname = \"NODE1\"\nport = 4101\n\n[[computer]]\nname = \"NODE2\"\nport = \"4102\"\n", 7,
     "computer[2].port", "expected an integer from 1 to 65535, found a string"},
    {"port out of range", "network.toml", "[[computer]]\nname = \"NODE1\"\nport = 70000\n", 3, "computer[1].port",
     "found 70000"},
    {"misspelt field", "network.toml", "[[computer]]\nname = \"NODE1\"\nport = 4101\ncoment = \"x\"\n", 4,
     "computer[1].coment", "unknown field; expected one of: comment, domain, host, name, port"},
    {"required field missing", "network.toml", "[[computer]]\nname = \"NODE1\"\n", 1, "computer[1].port",
     "missing; expected an integer"},
    {"unknown domain", "network.toml", "[[computer]]\nname = \"NODE1\"\ndomain = \"NOWHERE\"\nport = 1\n", 3,
     "computer[1].domain", "\"NOWHERE\""},
    {"bad computer name", "network.toml", "[[computer]]\nname = \"NODE 1\"\nport = 1\n", 2, "computer[1].name",
     "letters, digits"},
    {"twice the same computer", "network.toml",
     "[[computer]]\nname = \"NODE1\"\nport = 1\n[[computer]]\nname = \"node1\"\nport = 2\n", 5, "computer[2].name",
     "used twice"},
    {"administers an unknown computer", "network.toml",
     "[[computer]]\nname = \"NODE1\"\nport = 1\n[[account]]\nname = \"A\"\npassword = \"p\"\nadministers = [\"NODE9\"]\n"
     "[workstation]\ncomputer = \"NODE1\"\naccount = \"A\"\n",
     7, "account[1].administers", "\"NODE9\""},
    {"no workstation", "network.toml", "[[computer]]\nname = \"NODE1\"\nport = 1\n", 1, "workstation", "missing"},
    {"product type", "NODE1/machine.toml", "[os]\nversion = \"4.0\"\nproduct_type = \"Server\"\n", 3,
     "os.product_type", "expected one of \"WinNT\", \"ServerNT\", \"LanmanNT\""},
    {"version form", "NODE1/machine.toml", "[os]\nversion = \"4\"\n", 2, "os.version", "expected \"major.minor\""},
    {"dword given as text", "NODE1/machine.toml",
     "[[registry]]\nkey = \"SOFTWARE\\\\X\"\nname = \"N\"\ntype = \"REG_DWORD\"\nvalue = \"1\"\n", 5,
     "registry[1].value", "expected an integer from 0 to 4294967295"},
    {"odd hex", "NODE1/machine.toml", "[[registry]]\nkey = \"SOFTWARE\\\\X\"\ntype = \"REG_BINARY\"\nvalue = \"0a1\"\n",
     4, "registry[1].value", "odd number of digits"},
    {"empty key name", "NODE1/machine.toml", "[[registry]]\nkey = \"SOFTWARE\\\\\\\\X\"\nvalue = \"v\"\n", 2,
     "registry[1].key", "key path"},
    {"host drive letter", "NODE1/machine.toml", "[[drive]]\nletter = \"Z\"\n", 2, "drive[1].letter",
     "Z is the host file system"},
    {"system root on a missing drive", "NODE1/machine.toml", "[os]\nsystem_root = \"D:\\\\WINNT\"\n", 1,
     "os.system_root", "[[drive]]"},
    {"unknown segment", "NODE1/machine.toml", "\n[[adapter]]\nname = \"El90x1\"\nsegment = \"backbone\"\n", 2,
     "adapter \"El90x1\".segment", "\"backbone\""},
    {"bad address", "NODE1/machine.toml",
     "[[adapter]]\nname = \"El90x1\"\n[[adapter.address]]\nip = \"10.0.0.256\"\nmask = \"255.0.0.0\"\n", 4,
     "adapter[1].address[1].ip", "dotted IPv4"},
    {"unknown table", "NODE1/machine.toml", "[opsys]\nversion = \"4.0\"\n", 1, "opsys", "unknown field"},
    {"share outside the drives", "NODE1/machine.toml", "[[share]]\nname = \"DATA\"\npath = \"Q:\\\\DATA\"\n", 3,
     "share[1].path", "[[drive]]"},
};

void PrintTo(const BadFileCase& c, std::ostream* out) { *out << c.title; }

class BadLabFile : public testing::TestWithParam<BadFileCase> {};

TEST_P(BadLabFile, NamesFileLineFieldAndExpectation) {
    const BadFileCase& c = GetParam();
    labtest::TempLab lab;
    lab.Write("network.toml", kGoodNetwork);
    lab.Write("NODE1/machine.toml", "");
    lab.Write(c.file, c.content);
    try {
        ntsim::lab::LoadLab(lab.Folder());
        FAIL() << "loaded a lab with a bad " << c.file;
    } catch (const LabFileError& error) {
        EXPECT_EQ(std::filesystem::path(error.File()), lab.Folder() / c.file) << error.what();
        EXPECT_EQ(error.Line(), c.line) << error.what();
        EXPECT_EQ(error.Field(), c.field) << error.what();
        EXPECT_NE(error.Problem().find(c.problem), std::string::npos) << error.what();
        std::string message = error.what();
        EXPECT_NE(message.find(c.file), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadLabFile, testing::ValuesIn(kBadFiles), [](const testing::TestParamInfo<BadFileCase>& param) {
    std::string name = param.param.title;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return name;
});

TEST(LabFiles, MissingMachineFileIsNamed) {
    labtest::TempLab lab;
    lab.Write("network.toml", kGoodNetwork);
    try {
        ntsim::lab::LoadLab(lab.Folder());
        FAIL() << "loaded a lab without NODE1/machine.toml";
    } catch (const LabFileError& error) {
        EXPECT_EQ(std::filesystem::path(error.File()), lab.Folder() / "NODE1/machine.toml");
        EXPECT_NE(error.Problem().find("cannot be read"), std::string::npos);
    }
}

} // namespace
