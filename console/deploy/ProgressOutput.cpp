#include "console/deploy/ProgressOutput.h"

#include "console/deploy/DeploymentNames.h"
#include "console/deploy/LastErrorText.h"
#include "platform/LastError.h"
#include "platform/Utf16.h"

#include <cstdio>
#include <string>

namespace deploy {

void WriteProgress(std::u16string_view text) {
    const std::string line = platform::ToUtf8(text);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void WriteFailure(platform::WideFormat<LPCWSTR> format) {
    const DWORD lastError = GetLastError();
    WCHAR errorText[kErrorTextCapacity];
    LastErrorText(errorText, kErrorTextCapacity);
    WriteProgress(platform::FormatString<LPCWSTR>(format, errorText));
    SetLastError(lastError);
}

} // namespace deploy
