#pragma once
// The fixture of the service and pipe tests: a temporary lab (NODE1, NODE2, the workstation
// ADMINWS) with NODE1's ntnode running, this test process acting as the lab's workstation
// (logged on as Administrator), and waits at a small time scale.
#include "platform/WinTypes.h"
#include "tests/lab/support/NodeProcesses.h"
#include "tests/lab/support/TempLab.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace labtest {

class WorkstationLab : public testing::Test {
protected:
    WorkstationLab();
    ~WorkstationLab() override;

    // Acts as a process of `computer` (nullopt: of the workstation) for the scope's life: a
    // process of NODE2 opens NODE1's pipes without credentials.
    class As {
    public:
        As(const TempLab& lab, std::optional<std::string> computer);

    private:
        ScopedVariable m_computer;
        ScopedVariable m_folder;
    };

    // Writes `computer`'s LanmanServer NullSessionPipes (the names, each closed by a NUL, and a
    // closing NUL) as the workstation's administrator.
    static void SetNullSessionPipes(const WCHAR* computer, std::u16string_view names);

    TempLab m_lab;
    std::vector<std::uint16_t> m_ports;
    ScopedVariable m_labVariable;
    ScopedVariable m_computerVariable;
    ScopedVariable m_accountVariable;
    ScopedVariable m_timeScale;
    NodeProcesses m_nodes;
};

} // namespace labtest
