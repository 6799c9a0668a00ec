#include "tests/agent/SmallLab.h"

#include "tests/agent/ChildProgram.h"

#include <gtest/gtest.h>

namespace agenttest {

SmallLab::SmallLab() : m_ports(labtest::FreePorts(2)) {
    m_lab.Write("network.toml", "[[domain]]\nname = \"TARNDOM\"\n\n"
                                "[[computer]]\nname = \"NODE1\"\ndomain = \"TARNDOM\"\nport = " +
                                    std::to_string(m_ports[0]) +
                                    "\n\n[[computer]]\nname = \"ADMINWS\"\ndomain = \"TARNDOM\"\nport = " +
                                    std::to_string(m_ports[1]) +
                                    "\n\n[[account]]\nname = \"Administrator\"\ndomain = \"TARNDOM\"\n"
                                    "password = \"right\"\nadministers = [\"NODE1\", \"ADMINWS\"]\n\n"
                                    "[workstation]\ncomputer = \"ADMINWS\"\naccount = \"Administrator\"\n");
    m_lab.Write("NODE1/machine.toml", "");
    m_lab.Write("ADMINWS/machine.toml", "");
    int exitCode = -1;
    std::string output = Ntlab({"start"}, &exitCode);
    m_started = exitCode == 0;
    EXPECT_TRUE(m_started) << "ntlab start: " << output;
}

SmallLab::~SmallLab() {
    if (m_started) {
        Ntlab({"stop"});
    }
}

std::string SmallLab::Node1Address() const {
    return "127.0.0.1:" + std::to_string(m_ports[0]);
}

std::vector<std::string> SmallLab::LabArguments() const {
    return {"--lab", m_lab.Folder().string(), "--time-scale", kTimeScale};
}

std::string SmallLab::Ntlab(const std::vector<std::string>& arguments, int* exitCode) const {
    std::vector<std::string> all = LabArguments();
    all.insert(all.end(), arguments.begin(), arguments.end());
    ChildProgram ntlab(BuildProgram("ntlab"), all);
    int code = ntlab.WaitForExit();
    if (exitCode != nullptr) {
        *exitCode = code;
    }
    return ntlab.Output();
}

std::vector<std::string> SmallLab::AgentAtNode1(const std::vector<std::string>& agentArguments) const {
    std::vector<std::string> all = LabArguments();
    all.insert(all.end(), {"exec", "NODE1", "--", BuildProgram("VtarnSvc.exe").string()});
    all.insert(all.end(), agentArguments.begin(), agentArguments.end());
    return all;
}

} // namespace agenttest
