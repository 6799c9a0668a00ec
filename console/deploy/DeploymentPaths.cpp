#include "console/deploy/DeploymentPaths.h"

#include "console/deploy/DeploymentNames.h"
#include "console/deploy/FailureStatus.h"
#include "platform/Files.h"
#include "platform/WideFormat.h"
#include "platform/WinError.h"

namespace deploy {
namespace {

DWORD Built(int length, LPWSTR buffer, DWORD capacity) {
    if (length >= 0) {
        return ERROR_SUCCESS;
    }
    if (buffer != nullptr && capacity > 0) {
        buffer[0] = 0;
    }
    return ERROR_FILENAME_EXCED_RANGE;
}

} // namespace

DWORD BuildServiceProgramPath(std::u16string_view systemRoot, LPWSTR buffer, DWORD capacity) {
    return Built(
        platform::FormatText(buffer, capacity, u"%s\\%s%s", systemRoot, kAgentBaseName, kAgentExtension),
        buffer, capacity);
}

DWORD BuildCopyDestination(std::u16string_view computer, LPWSTR buffer, DWORD capacity) {
    return Built(
        platform::FormatText(buffer, capacity, u"\\\\%s\\%s\\%s.exe", computer, kShareName, kAgentBaseName),
        buffer, capacity);
}

DWORD BuildCopySource(std::u16string_view programPath, LPWSTR buffer, DWORD capacity) {
    const std::size_t lastBackslash = programPath.rfind(u'\\');
    const std::u16string_view directory = lastBackslash == std::u16string_view::npos
                                              ? std::u16string_view()
                                              : programPath.substr(0, lastBackslash + 1);
    return Built(
        platform::FormatText(buffer, capacity, u"%s%s%s", directory, kAgentBaseName, kAgentExtension), buffer,
        capacity);
}

DWORD GetCopySource(LPWSTR buffer, DWORD capacity) {
    WCHAR programPath[kPathCapacity];
    const DWORD length = GetModuleFileNameW(nullptr, programPath, kPathCapacity);
    if (length == 0) {
        return LastFailureStatus();
    }
    if (length >= kPathCapacity) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    return BuildCopySource(std::u16string_view(programPath, length), buffer, capacity);
}

} // namespace deploy
