#include "console/deploy/LastErrorText.h"

#include "platform/ErrorText.h"

namespace deploy {

LPWSTR LastErrorText(LPWSTR buffer, DWORD capacity) {
    return platform::FormatLastErrorText(buffer, capacity);
}

} // namespace deploy
