#include "tests/lab/support/WorkstationLab.h"

#include "platform/Clock.h"
#include "platform/LabEnvironment.h"
#include "platform/Registry.h"
#include "platform/WinError.h"

namespace labtest {
namespace {

namespace env = platform::lab;

constexpr const char* kTimeScale = "0.1";
const WCHAR kServerParameters[] = u"SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";

} // namespace

WorkstationLab::WorkstationLab()
    : m_ports(FreePorts(3)), m_labVariable(env::kLabVariable, (m_lab.WriteStandard(m_ports), m_lab.Folder().string())),
      m_computerVariable(env::kComputerVariable, std::nullopt), m_accountVariable(env::kAccountVariable, std::nullopt),
      m_timeScale(env::kTimeScaleVariable, kTimeScale), m_nodes(m_lab) {
    platform::SetTimeScale(std::stod(kTimeScale));
    m_nodes.Start("NODE1");
}

WorkstationLab::~WorkstationLab() { platform::SetTimeScale(1); }

WorkstationLab::As::As(const TempLab& lab, std::optional<std::string> computer)
    : m_computer(env::kComputerVariable, computer),
      m_folder(env::kComputerDirVariable,
               computer ? std::optional((lab.Folder() / "state" / *computer).string()) : std::nullopt) {}

void WorkstationLab::SetNullSessionPipes(const WCHAR* computer, std::u16string_view names) {
    HKEY root = nullptr;
    ASSERT_EQ(RegConnectRegistryW(computer, HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, kServerParameters, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, u"NullSessionPipes", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(names.data()),
                             static_cast<DWORD>(names.size() * sizeof(WCHAR))),
              ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(root);
}

} // namespace labtest
