#include "platform/LabEnvironment.h"

#include <cstdlib>

namespace platform::lab {

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::filesystem::path> LabFolder() {
    std::optional<std::string> value = EnvironmentValue(kLabVariable);
    if (!value) {
        return std::nullopt;
    }
    return std::filesystem::path(*value);
}

std::optional<std::filesystem::path> ComputerFolder() {
    std::optional<std::string> value = EnvironmentValue(kComputerDirVariable);
    if (!value) {
        return std::nullopt;
    }
    return std::filesystem::path(*value);
}

} // namespace platform::lab
