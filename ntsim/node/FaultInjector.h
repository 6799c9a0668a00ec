#pragma once
// One-time failures a test plans for a computer: "the next CopyFileW to NODE1 fails with 64".
// A plan is a file faults/<operation> in the computer's state folder with one error number a
// line; each call of the operation on the computer takes the first line, until none are left.
// Files, so that a test or `ntlab inject` can plan a failure for a running ntnode.
#include "platform/WinTypes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ntsim::node {

class FaultInjector {
public:
    explicit FaultInjector(std::filesystem::path folder);

    // The error planned next for `operation` (the Win32 name: "CopyFileW", "NetShareAdd", ...),
    // taken off the plan; nullopt when nothing is planned.
    std::optional<DWORD> Take(std::string_view operation) const;

    // Adds a failure with `error` to the plan of `operation`; false with `message` set when the
    // operation name is not a plain word or the plan cannot be written.
    static bool Plan(const std::filesystem::path& folder, std::string_view operation, DWORD error, std::string& message);

private:
    std::filesystem::path m_folder;
};

} // namespace ntsim::node
