#include "platform/PipeName.h"

#include "platform/AsciiCase.h"

namespace platform {

bool ParsePipePath(std::u16string_view path, PipePath& out) {
    if (path.size() < 2 || path[0] != u'\\' || path[1] != u'\\') {
        return false;
    }
    std::u16string_view rest = path.substr(2);
    std::size_t slash = rest.find(u'\\');
    if (slash == 0 || slash == std::u16string_view::npos) {
        return false;
    }
    std::u16string_view server = rest.substr(0, slash);
    rest = rest.substr(slash + 1);
    constexpr std::u16string_view kPipe = u"pipe\\";
    if (rest.size() <= kPipe.size() || !EqualsIgnoreCase(rest.substr(0, kPipe.size()), kPipe)) {
        return false;
    }
    std::u16string_view name = rest.substr(kPipe.size());
    if (name.empty() || name.size() > kMaxPipeName || name.find(u'\0') != std::u16string_view::npos) {
        return false;
    }
    out.server = std::u16string(server);
    out.name = std::u16string(name);
    return true;
}

} // namespace platform
