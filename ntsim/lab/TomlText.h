#pragma once
// Writing the lab's state files: TOML basic strings and hexadecimal byte strings, and replacing
// a file in one step so that a reader (or a crash) never sees half a file.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ntsim::lab {

// `text` (UTF-8) as a quoted TOML basic string, every control character escaped.
std::string TomlQuote(std::string_view text);

// "0a1bff": two lower-case digits a byte. ParseHex is its inverse (false on anything else).
std::string ToHex(std::span<const std::uint8_t> bytes);
bool ParseHex(std::string_view text, std::vector<std::uint8_t>& out);

// Writes `content` to a temporary file beside `file`, flushes it to disk and renames it over
// `file`. False (with `error` set) when any step fails; `file` is then unchanged.
bool ReplaceFile(const std::filesystem::path& file, std::string_view content, std::string& error);

} // namespace ntsim::lab
