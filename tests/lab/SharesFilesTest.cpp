// A computer's shares and the files reached through them, on a computer prepared in a
// temporary lab: the hidden share the console makes on the system root, a program copied into
// it and deleted again, and the refusals and errors on the way.
#include "ntsim/lab/LabDefinition.h"
#include "ntsim/node/Node.h"
#include "platform/NetShare.h"
#include "platform/WinError.h"
#include "tests/lab/support/TempLab.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using ntsim::node::Caller;
using ntsim::node::Share;

class SharesFiles : public testing::Test {
protected:
    SharesFiles() { m_lab.WriteStandard({4100, 4101, 4102}); }

    std::unique_ptr<ntsim::node::Node> Start() {
        ntsim::lab::LabDefinition lab = ntsim::lab::LoadLab(m_lab.Folder());
        return std::make_unique<ntsim::node::Node>(lab.layout, lab.network, "NODE1", *lab.FindProfile("NODE1"));
    }

    static Share VtarnShare() {
        Share share;
        share.name = u"VTARN$";
        share.type = STYPE_DISKTREE | STYPE_SPECIAL;
        share.permissions = 0x7F;
        share.maxUses = 2;
        share.path = u"C:\\WINNT";
        return share;
    }

    // Copies `content` to \\NODE1\<share>\<name> as `caller` would.
    static DWORD Copy(ntsim::node::Node& node, const Caller& caller, std::u16string share, std::u16string name,
                      const std::string& content, bool failIfExists = false) {
        std::uint64_t transfer = 0;
        DWORD status = node.Files().BeginWrite(caller, share, {name}, failIfExists, true, transfer);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
        std::size_t half = bytes.size() / 2;
        EXPECT_EQ(node.Files().Write(transfer, 0, bytes.first(half)), ERROR_SUCCESS);
        EXPECT_EQ(node.Files().Write(transfer, 0, bytes.subspan(half)), ERROR_INVALID_PARAMETER); // out of order
        EXPECT_EQ(node.Files().Write(transfer, half, bytes.subspan(half)), ERROR_SUCCESS);
        return node.Files().End(transfer, true);
    }

    labtest::TempLab m_lab;
    const Caller m_admin{Caller::Kind::Account, "Administrator", true};
    const Caller m_operator{Caller::Kind::Account, "Operator", false};
    const Caller m_anonymous{};
};

TEST_F(SharesFiles, AdministrativeSharesExistFromTheStart) {
    auto node = Start();
    Share share;
    ASSERT_EQ(node->Shares().Get(u"admin$", share), NERR_Success);
    EXPECT_TRUE(share.path == u"C:\\WINNT");
    EXPECT_EQ(share.type, STYPE_DISKTREE | STYPE_SPECIAL);
    EXPECT_EQ(node->Shares().Get(u"C$", share), NERR_Success);
    EXPECT_EQ(node->Shares().Get(u"IPC$", share), NERR_Success);
    EXPECT_EQ(node->Shares().Get(u"VTARN$", share), NERR_NetNameNotFound);
    EXPECT_TRUE(fs::is_directory(m_lab.Folder() / "state/NODE1/drives/C/WINNT/system32"));
}

TEST_F(SharesFiles, AddGetDeleteAndTheRefusalsOfAdd) {
    auto node = Start();
    DWORD parmError = 0;
    ASSERT_EQ(node->Shares().Add(VtarnShare(), parmError), NERR_Success);
    Share share;
    ASSERT_EQ(node->Shares().Get(u"vtarn$", share), NERR_Success);
    EXPECT_EQ(share.maxUses, 2u);
    EXPECT_EQ(share.permissions, 0x7Fu);
    EXPECT_TRUE(share.path == u"C:\\WINNT");

    struct Case {
        const char* what;
        Share share;
        DWORD status;
        DWORD parmError;
    };
    auto with = [](auto change) {
        Share other = VtarnShare();
        other.name = u"OTHER";
        change(other);
        return other;
    };
    const Case cases[] = {
        {"duplicate", VtarnShare(), NERR_DuplicateShare, 0},
        {"missing folder", with([](Share& s) { s.path = u"C:\\NOWHERE"; }), NERR_UnknownDevDir, 0},
        {"missing drive", with([](Share& s) { s.path = u"Q:\\"; }), NERR_UnknownDevDir, 0},
        {"bad name", with([](Share& s) { s.name = u"A\\B"; }), ERROR_INVALID_PARAMETER, SHARE_NETNAME_PARMNUM},
        {"empty name", with([](Share& s) { s.name.clear(); }), ERROR_INVALID_PARAMETER, SHARE_NETNAME_PARMNUM},
        {"long remark", with([](Share& s) { s.remark.assign(MAXCOMMENTSZ + 1, u'r'); }), ERROR_INVALID_PARAMETER,
         SHARE_REMARK_PARMNUM},
        {"relative path", with([](Share& s) { s.path = u"WINNT"; }), ERROR_INVALID_PARAMETER, SHARE_PATH_PARMNUM},
        {"bad type", with([](Share& s) { s.type = 7; }), ERROR_INVALID_PARAMETER, SHARE_TYPE_PARMNUM},
    };
    for (const Case& c : cases) {
        parmError = 0;
        EXPECT_EQ(node->Shares().Add(c.share, parmError), c.status) << c.what;
        EXPECT_EQ(parmError, c.parmError) << c.what;
    }

    EXPECT_EQ(node->Shares().Delete(u"VTARN$"), NERR_Success);
    EXPECT_EQ(node->Shares().Delete(u"VTARN$"), NERR_NetNameNotFound);
    EXPECT_EQ(node->Shares().Get(u"VTARN$", share), NERR_NetNameNotFound);
}

TEST_F(SharesFiles, AddedSharesSurviveARestartAndDeletedAdministrativeOnesComeBack) {
    {
        auto node = Start();
        DWORD parmError = 0;
        ASSERT_EQ(node->Shares().Add(VtarnShare(), parmError), NERR_Success);
        ASSERT_EQ(node->Shares().Delete(u"ADMIN$"), NERR_Success);
    }
    auto node = Start();
    Share share;
    EXPECT_EQ(node->Shares().Get(u"VTARN$", share), NERR_Success);
    EXPECT_EQ(node->Shares().Get(u"ADMIN$", share), NERR_Success);
}

TEST_F(SharesFiles, ProgramCopiedThroughTheHiddenShareAndDeletedAgain) {
    auto node = Start();
    DWORD parmError = 0;
    ASSERT_EQ(node->Shares().Add(VtarnShare(), parmError), NERR_Success);
    fs::path target = m_lab.Folder() / "state/NODE1/drives/C/WINNT/VtarnSvc.exe";

    ASSERT_EQ(Copy(*node, m_admin, u"VTARN$", u"VtarnSvc.exe", "first program"), ERROR_SUCCESS);
    std::ifstream in(target);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "first program");
    EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_exec, fs::perms::none); // the service runs it

    EXPECT_EQ(Copy(*node, m_admin, u"VTARN$", u"vtarnsvc.EXE", "second"), ERROR_SUCCESS); // overwrites
    EXPECT_EQ(fs::file_size(target), 6u);
    EXPECT_EQ(Copy(*node, m_admin, u"VTARN$", u"VtarnSvc.exe", "third", true), ERROR_FILE_EXISTS);

    std::vector<std::uint8_t> bytes;
    std::uint64_t size = 0;
    bool executable = false;
    ASSERT_EQ(node->Files().Read(m_admin, u"ADMIN$", {u"VTARNSVC.EXE"}, 2, 100, bytes, size, executable), ERROR_SUCCESS);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "cond");
    EXPECT_EQ(size, 6u);
    EXPECT_TRUE(executable);

    ASSERT_EQ(node->Files().Delete(m_admin, u"VTARN$", {u"VtarnSvc.exe"}), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(node->Files().Delete(m_admin, u"VTARN$", {u"VtarnSvc.exe"}), ERROR_FILE_NOT_FOUND);
    for (const auto& entry : fs::directory_iterator(target.parent_path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".~")) << "left behind: " << entry.path();
    }
}

TEST_F(SharesFiles, RefusalsAndMissingPlaces) {
    auto node = Start();
    DWORD parmError = 0;
    ASSERT_EQ(node->Shares().Add(VtarnShare(), parmError), NERR_Success);
    struct Case {
        const char* what;
        const Caller& caller;
        std::u16string share;
        std::vector<std::u16string> path;
        DWORD status;
    };
    const Case cases[] = {
        {"anonymous", m_anonymous, u"VTARN$", {u"x.exe"}, ERROR_ACCESS_DENIED},
        {"not an administrator on a hidden share", m_operator, u"VTARN$", {u"x.exe"}, ERROR_ACCESS_DENIED},
        {"missing share", m_admin, u"NOSHARE", {u"x.exe"}, ERROR_BAD_NET_NAME},
        {"the IPC share", m_admin, u"IPC$", {u"x.exe"}, ERROR_BAD_NET_NAME},
        {"missing folder", m_admin, u"VTARN$", {u"nofolder", u"x.exe"}, ERROR_PATH_NOT_FOUND},
        {"a folder", m_admin, u"VTARN$", {u"system32"}, ERROR_ACCESS_DENIED},
        {"climbing out", m_admin, u"VTARN$", {u"..", u"x.exe"}, ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        std::uint64_t transfer = 0;
        EXPECT_EQ(node->Files().BeginWrite(c.caller, c.share, c.path, false, false, transfer), c.status) << c.what;
    }
    EXPECT_EQ(node->Files().Write(12345, 0, {}), ERROR_INVALID_HANDLE);

    std::uint64_t transfer = 0;
    ASSERT_EQ(node->Files().BeginWrite(m_admin, u"VTARN$", {u"abandoned.exe"}, false, false, transfer), ERROR_SUCCESS);
    ASSERT_EQ(node->Files().End(transfer, false), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(m_lab.Folder() / "state/NODE1/drives/C/WINNT/abandoned.exe"));
}

TEST_F(SharesFiles, PlannedFailuresAreTakenOnceEachInOrder) {
    auto node = Start();
    fs::path faults = m_lab.Folder() / "state/NODE1/faults";
    std::string message;
    ASSERT_TRUE(ntsim::node::FaultInjector::Plan(faults, "CopyFileW", ERROR_NETNAME_DELETED, message));
    ASSERT_TRUE(ntsim::node::FaultInjector::Plan(faults, "CopyFileW", ERROR_ACCESS_DENIED, message));
    EXPECT_FALSE(ntsim::node::FaultInjector::Plan(faults, "../escape", 5, message));
    EXPECT_EQ(node->Faults().Take("DeleteFileW"), std::nullopt);
    EXPECT_EQ(node->Faults().Take("CopyFileW"), ERROR_NETNAME_DELETED);
    EXPECT_EQ(node->Faults().Take("CopyFileW"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(node->Faults().Take("CopyFileW"), std::nullopt);
}

} // namespace
