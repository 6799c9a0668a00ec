#pragma once
// A lab of one server, NODE1, and the workstation ADMINWS, whose account administers both, in a
// temporary folder on free ports, running (ntlab start) for the life of the object. Its times
// are scaled down.
#include "tests/lab/support/TempLab.h"

#include <string>
#include <vector>

namespace agenttest {

class SmallLab {
public:
    static constexpr const char* kTimeScale = "0.05";

    SmallLab();  // a failure to start is a test failure
    ~SmallLab(); // ntlab stop
    SmallLab(const SmallLab&) = delete;
    SmallLab& operator=(const SmallLab&) = delete;

    bool Started() const { return m_started; }
    const std::filesystem::path& Folder() const { return m_lab.Folder(); }
    // NODE1's ntnode, "127.0.0.1:<port>": the address its processes find in VTARN_NTNODE.
    std::string Node1Address() const;

    // ntlab on this lab (--lab, --time-scale, then `arguments`): its standard output.
    std::string Ntlab(const std::vector<std::string>& arguments, int* exitCode = nullptr) const;
    // The arguments of `ntlab ... exec NODE1 -- VtarnSvc.exe <agentArguments>`.
    std::vector<std::string> AgentAtNode1(const std::vector<std::string>& agentArguments) const;

private:
    std::vector<std::string> LabArguments() const;

    labtest::TempLab m_lab;
    std::vector<std::uint16_t> m_ports;
    bool m_started = false;
};

} // namespace agenttest
