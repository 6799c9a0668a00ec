// The endpoint map the agent's servers of this test program register in: that of NODE1 of a
// small lab that runs while the tests do. VTARN_NTNODE names it as this computer's, for this
// process and the programs it starts; nothing else of the lab is this process's.
#include "tests/agent/SmallLab.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace agenttest {
namespace {

class LabEndpointMap : public testing::Environment {
public:
    void SetUp() override {
        m_lab = new SmallLab;
        ASSERT_TRUE(m_lab->Started());
        ::setenv("VTARN_NTNODE", m_lab->Node1Address().c_str(), 1);
    }

    void TearDown() override {
        ::unsetenv("VTARN_NTNODE");
        delete m_lab;
        m_lab = nullptr;
    }

private:
    SmallLab* m_lab = nullptr;
};

[[maybe_unused]] testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new LabEndpointMap);

} // namespace
} // namespace agenttest
