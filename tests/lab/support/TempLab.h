#pragma once
// A lab in a temporary folder for one test: network.toml and machine.toml files written from
// text, removed again at the end.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace labtest {

class TempLab {
public:
    TempLab();
    ~TempLab();
    TempLab(const TempLab&) = delete;
    TempLab& operator=(const TempLab&) = delete;

    const std::filesystem::path& Folder() const { return m_folder; }
    void Write(const std::string& relativePath, const std::string& content) const;

    // A two-computer lab (NODE1, NODE2 and the workstation ADMINWS) on the given ports:
    // Administrator administers all three, Operator nothing.
    void WriteStandard(const std::vector<std::uint16_t>& ports) const;

private:
    std::filesystem::path m_folder;
};

// Free TCP ports on 127.0.0.1 (bound and released at once).
std::vector<std::uint16_t> FreePorts(std::size_t count);

} // namespace labtest
