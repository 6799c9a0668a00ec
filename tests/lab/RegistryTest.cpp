// A computer's registry: the tree's rules and its survival across a restart of the store.
#include "ntsim/lab/MachineProfile.h"
#include "ntsim/node/RegistryImage.h"
#include "ntsim/node/RegistryStore.h"
#include "platform/Registry.h"
#include "platform/WinError.h"
#include "platform/lab/LabFileError.h"
#include "tests/lab/support/TempLab.h"

#include <gtest/gtest.h>

namespace {

using ntsim::node::RegistryTree;
using ntsim::node::RegistryValue;

const std::u16string kServer = u"SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";

TEST(Registry, TreeFindsNamesIgnoringCaseAndKeepsNT4Rules) {
    RegistryTree tree;
    bool created = false;
    ASSERT_EQ(tree.CreateKey(u"SOFTWARE\\Vendor\\Product", created), ERROR_SUCCESS);
    EXPECT_TRUE(created);
    ASSERT_EQ(tree.CreateKey(u"software\\VENDOR", created), ERROR_SUCCESS);
    EXPECT_FALSE(created);
    ASSERT_EQ(tree.SetValue(u"Software\\Vendor", u"Name", REG_SZ, ntsim::node::StringData(u"x")), ERROR_SUCCESS);
    RegistryValue value;
    ASSERT_EQ(tree.QueryValue(u"SOFTWARE\\vendor", u"NAME", value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, REG_SZ);
    EXPECT_TRUE(value.name == u"Name"); // the case it was created with

    struct Case {
        const char* what;
        DWORD status;
        DWORD expected;
    };
    const Case cases[] = {
        {"missing key", tree.QueryValue(u"SOFTWARE\\Nobody", u"Name", value), ERROR_FILE_NOT_FOUND},
        {"missing value", tree.QueryValue(u"SOFTWARE\\Vendor", u"Other", value), ERROR_FILE_NOT_FOUND},
        {"empty component", tree.CheckKey(u"SOFTWARE\\\\Vendor"), ERROR_BAD_PATHNAME},
        {"leading backslash", tree.CheckKey(u"\\SOFTWARE"), ERROR_BAD_PATHNAME},
        {"name too long", tree.CheckKey(std::u16string(256, u'k')), ERROR_INVALID_PARAMETER},
        {"key with subkeys", tree.DeleteKey(u"SOFTWARE\\Vendor"), ERROR_ACCESS_DENIED},
        {"value on a missing key", tree.SetValue(u"SOFTWARE\\None", u"v", REG_DWORD, {}), ERROR_FILE_NOT_FOUND},
        {"value too large",
         tree.SetValue(u"SOFTWARE\\Vendor", u"big", REG_BINARY,
                       std::vector<std::uint8_t>(ntsim::node::kMaxRegistryValueBytes + 1)),
         ERROR_INVALID_PARAMETER},
        {"the root", tree.DeleteKey(u""), ERROR_ACCESS_DENIED},
        {"leaf key", tree.DeleteKey(u"SOFTWARE\\Vendor\\Product"), ERROR_SUCCESS},
        {"then its parent", tree.DeleteKey(u"SOFTWARE\\Vendor"), ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.status, c.expected) << c.what;
    }
}

TEST(Registry, ImageHoldsTheProfileAndItsOwnValues) {
    ntsim::lab::MachineProfile profile;
    profile.computer = "NODE1";
    profile.os.productSuite = {"Enterprise"};
    ntsim::lab::RegistryValueDef extra;
    extra.key = "SOFTWARE\\Vendor";
    extra.name = "Count";
    extra.type = REG_DWORD;
    extra.number = 0x01020304;
    profile.registry.push_back(extra);
    RegistryTree tree = ntsim::node::BuildRegistryImage(profile);

    RegistryValue value;
    ASSERT_EQ(tree.QueryValue(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"SystemRoot", value), ERROR_SUCCESS);
    EXPECT_EQ(value.data, ntsim::node::StringData(u"C:\\WINNT"));
    ASSERT_EQ(tree.QueryValue(u"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", u"ProductSuite", value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, REG_MULTI_SZ);
    EXPECT_EQ(ntsim::node::MultiStrings(value.data), std::vector<std::u16string>{u"Enterprise"});
    ASSERT_EQ(tree.QueryValue(kServer, u"NullSessionPipes", value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, REG_MULTI_SZ);
    ASSERT_EQ(tree.QueryValue(u"SOFTWARE\\Vendor", u"Count", value), ERROR_SUCCESS);
    EXPECT_EQ(value.data, (std::vector<std::uint8_t>{4, 3, 2, 1}));
}

TEST(Registry, ChangesSurviveAReopenOfTheStore) {
    labtest::TempLab lab;
    std::filesystem::path file = lab.Folder() / "registry.toml";
    int builds = 0;
    auto build = [&] {
        ++builds;
        ntsim::lab::MachineProfile profile;
        profile.computer = "NODE1";
        return ntsim::node::BuildRegistryImage(profile);
    };
    std::vector<std::uint8_t> pipes = ntsim::node::MultiStringData({u"tarn", u"COMNAP", u"SQL\\QUERY"});
    std::vector<std::uint8_t> odd = {0x41, 0x00, 0x42}; // odd length, no terminator: kept exactly
    {
        ntsim::node::RegistryStore store(file, build);
        ASSERT_EQ(store.SetValue(kServer, u"NullSessionPipes", REG_MULTI_SZ, pipes), ERROR_SUCCESS);
        ASSERT_EQ(store.SetValue(kServer, u"Odd \"quoted\"\\name", REG_SZ, odd), ERROR_SUCCESS);
        bool created = false;
        ASSERT_EQ(store.CreateKey(u"SOFTWARE\\Empty\\Key", created), ERROR_SUCCESS);
        ASSERT_EQ(store.DeleteValue(kServer, u"NullSessionShares"), ERROR_SUCCESS);
    }
    ntsim::node::RegistryStore reopened(file, build);
    EXPECT_EQ(builds, 1); // the second store read the file
    RegistryValue value;
    ASSERT_EQ(reopened.QueryValue(kServer, u"NullSessionPipes", value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, REG_MULTI_SZ);
    EXPECT_EQ(value.data, pipes);
    ASSERT_EQ(reopened.QueryValue(kServer, u"odd \"QUOTED\"\\NAME", value), ERROR_SUCCESS);
    EXPECT_EQ(value.data, odd);
    EXPECT_EQ(reopened.CheckKey(u"SOFTWARE\\Empty\\Key"), ERROR_SUCCESS);
    EXPECT_EQ(reopened.QueryValue(kServer, u"NullSessionShares", value), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, DamagedFileIsReportedNotRebuilt) {
    labtest::TempLab lab;
    lab.Write("registry.toml", "[[key]]\npath = \"SOFTWARE\"\n[[key.value]]\nname = \"x\"\ntype = 1\ndata = \"zz\"\n");
    try {
        ntsim::node::RegistryStore store(lab.Folder() / "registry.toml", [] { return RegistryTree(); });
        FAIL() << "a damaged registry file was accepted";
    } catch (const platform::lab::LabFileError& error) {
        EXPECT_EQ(error.Line(), 6u) << error.what();
        EXPECT_EQ(error.Field(), "key[1].value[1].data") << error.what();
    }
}

} // namespace
