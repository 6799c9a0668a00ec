#include "agent/host/AgentCommandLine.h"
#include "agent/endpoint/NodeKey.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace agent;

struct CommandCase {
    std::vector<const WCHAR*> argv;
    AgentCommand expected;
};

TEST(AgentCommandLine, ClassifiesTheFirstArgument) {
    const CommandCase cases[] = {
        {{u"VtarnSvc"}, AgentCommand::RunAsService},
        {{u"VtarnSvc", u"-install"}, AgentCommand::Install},
        {{u"VtarnSvc", u"/INSTALL"}, AgentCommand::Install},
        {{u"VtarnSvc", u"-Remove"}, AgentCommand::Remove},
        {{u"VtarnSvc", u"/debug", u"2"}, AgentCommand::Debug},
        {{u"VtarnSvc", u"install"}, AgentCommand::RunAsService}, // no option character
        {{u"VtarnSvc", u"-installer"}, AgentCommand::RunAsService},
        {{u"VtarnSvc", u"-"}, AgentCommand::RunAsService},
        {{u"VtarnSvc", u"1"}, AgentCommand::RunAsService},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyAgentCommandLine(static_cast<int>(c.argv.size()), c.argv.data()), c.expected)
            << (c.argv.size() > 1 ? static_cast<int>(c.argv[1][0]) : 0);
    }
}

struct KeyCase {
    std::vector<const WCHAR*> argv;
    LONG expected;
};

TEST(NodeKey, ReadsTheSecondArgumentAsADecimalNumber) {
    const KeyCase cases[] = {
        {{u"VtarnService"}, kNodeKeyUnset},
        {{u"VtarnService", u"1"}, 1},
        {{u"VtarnService", u"2"}, 2},
        {{u"VtarnService", u"x"}, 0},
        {{u"VtarnService", u""}, 0},
        {{u"VtarnService", u"  -7z"}, -7},
        {{u"VtarnService", u"+12 3"}, 12},
        {{u"VtarnSvc", u"-debug"}, 0}, // the debug run's option word is the second argument
        {{u"VtarnService", u"99999999999"}, 2147483647},
        {{u"VtarnService", u"-99999999999"}, -2147483647 - 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseNodeKey(static_cast<DWORD>(c.argv.size()), c.argv.data()), c.expected);
    }
}

} // namespace
