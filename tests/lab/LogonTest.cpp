// The logon authority: challenge and response over the password hash, one answer a challenge,
// administrators told apart from other accounts.
#include "ntsim/node/LogonAuthority.h"
#include "platform/LogonProof.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/lab/LabNetwork.h"

#include <gtest/gtest.h>

namespace {

namespace logon = platform::logon;
using ntsim::node::Caller;

class Logon : public testing::Test {
protected:
    Logon() {
        m_network.computers = {{"NODE1", "", "127.0.0.1", 1, ""}, {"NODE2", "", "127.0.0.1", 2, ""}};
        m_network.accounts = {{"Administrator", "TARNDOM", "right", {"NODE1"}}, {"Operator", "", "op", {}}};
        m_machineKey.fill(7);
    }

    // What a caller presents for `account` with `password` to `computer`.
    logon::Proof Answer(ntsim::node::LogonAuthority& authority, std::u16string account, std::u16string_view password,
                        std::u16string_view computer = u"NODE1") {
        logon::Challenge challenge;
        EXPECT_EQ(authority.IssueChallenge(challenge), ERROR_SUCCESS);
        logon::Proof proof{account, challenge.id, {}};
        proof.response = logon::ComputeResponse(logon::PasswordHash(password), challenge, account, computer);
        return proof;
    }

    platform::lab::LabNetwork m_network;
    logon::Digest m_machineKey{};
};

TEST_F(Logon, AcceptsTheRightPasswordAndRefusesTheRest) {
    ntsim::node::LogonAuthority authority(m_network, "NODE1", m_machineKey);
    struct Case {
        const char* what;
        logon::Proof proof;
        DWORD status;
        Caller::Kind kind;
        bool administrator;
    };
    logon::Proof forOtherComputer = Answer(authority, u"Administrator", u"right", u"NODE2");
    Case cases[] = {
        {"administrator", Answer(authority, u"Administrator", u"right"), ERROR_SUCCESS, Caller::Kind::Account, true},
        {"domain prefix, other case", Answer(authority, u"tarndom\\ADMINISTRATOR", u"right"), ERROR_SUCCESS,
         Caller::Kind::Account, true},
        {"wrong password", Answer(authority, u"Administrator", u"wrong"), ERROR_LOGON_FAILURE, {}, false},
        {"non-administrator", Answer(authority, u"Operator", u"op"), ERROR_SUCCESS, Caller::Kind::Account, false},
        {"unknown account", Answer(authority, u"Nobody", u"right"), ERROR_LOGON_FAILURE, {}, false},
        {"answer made for another computer", forOtherComputer, ERROR_LOGON_FAILURE, {}, false},
        {"null session", logon::Proof{}, ERROR_SUCCESS, Caller::Kind::Anonymous, false},
    };
    for (const Case& c : cases) {
        Caller caller;
        caller.administrator = !c.administrator;
        EXPECT_EQ(authority.Authenticate(c.proof, caller), c.status) << c.what;
        if (c.status == ERROR_SUCCESS) {
            EXPECT_EQ(caller.kind, c.kind) << c.what;
            EXPECT_EQ(caller.administrator, c.administrator) << c.what;
        }
    }
}

TEST_F(Logon, ChallengeAnswersOnceAndOnlyOnItsOwnAuthority) {
    ntsim::node::LogonAuthority authority(m_network, "NODE1", m_machineKey);
    logon::Proof proof = Answer(authority, u"Administrator", u"right");
    Caller caller;
    ASSERT_EQ(authority.Authenticate(proof, caller), ERROR_SUCCESS);
    EXPECT_EQ(authority.Authenticate(proof, caller), ERROR_LOGON_FAILURE); // replayed

    ntsim::node::LogonAuthority restarted(m_network, "NODE1", m_machineKey);
    logon::Proof earlier = Answer(authority, u"Administrator", u"right");
    EXPECT_EQ(restarted.Authenticate(earlier, caller), ERROR_LOGON_FAILURE); // issued by the earlier run

    logon::Proof wrongThenRight = Answer(authority, u"Administrator", u"wrong");
    EXPECT_EQ(authority.Authenticate(wrongThenRight, caller), ERROR_LOGON_FAILURE);
    wrongThenRight.response = logon::ComputeResponse(logon::PasswordHash(u"right"),
                                                     {wrongThenRight.challengeId, {}}, u"Administrator", u"NODE1");
    EXPECT_EQ(authority.Authenticate(wrongThenRight, caller), ERROR_LOGON_FAILURE); // a refused challenge is spent
}

TEST_F(Logon, SystemAccountUsesTheMachineKey) {
    ntsim::node::LogonAuthority authority(m_network, "NODE1", m_machineKey);
    logon::Challenge challenge;
    ASSERT_EQ(authority.IssueChallenge(challenge), ERROR_SUCCESS);
    logon::Proof proof{std::u16string(logon::kSystemAccount), challenge.id,
                       logon::ComputeResponse(m_machineKey, challenge, logon::kSystemAccount, u"NODE1")};
    Caller caller;
    ASSERT_EQ(authority.Authenticate(proof, caller), ERROR_SUCCESS);
    EXPECT_EQ(caller.kind, Caller::Kind::System);
    EXPECT_TRUE(caller.administrator);

    logon::Digest otherKey{};
    ASSERT_EQ(authority.IssueChallenge(challenge), ERROR_SUCCESS);
    proof = {std::u16string(logon::kSystemAccount), challenge.id,
             logon::ComputeResponse(otherKey, challenge, logon::kSystemAccount, u"NODE1")};
    EXPECT_EQ(authority.Authenticate(proof, caller), ERROR_LOGON_FAILURE); // another computer's SYSTEM
}

} // namespace
