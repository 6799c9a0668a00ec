#pragma once
// Names of named pipes: "\\SERVER\pipe\NAME", where SERVER is "." for the own computer.
#include "platform/WinTypes.h"

#include <string>
#include <string_view>

namespace platform {

// The longest pipe name (the part after "\pipe\"), in characters.
inline constexpr std::size_t kMaxPipeName = 256;

struct PipePath {
    std::u16string server; // "." for the own computer, else the computer name as written
    std::u16string name;   // the pipe's own name; it may hold backslashes
};

// True when `path` has the form above ("pipe" in any case, a name of 1 to kMaxPipeName
// characters without NUL).
bool ParsePipePath(std::u16string_view path, PipePath& out);

// True for a server part that names the own computer: ".".
inline bool IsOwnComputer(std::u16string_view server) { return server == u"."; }

} // namespace platform
