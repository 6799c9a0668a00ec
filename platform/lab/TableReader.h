#pragma once
// Checked reading of one TOML table of a lab file. Every accessor either returns a value of the
// expected kind and range or throws a LabFileError naming the file, the line, the field and what
// was expected; Finish() refuses fields nobody asked for, so that a misspelt field is an error
// rather than a silently ignored line.
#include "platform/lab/LabFileError.h"

#include <toml++/toml.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::lab {

// Parses a TOML file; a missing file or a syntax error becomes a LabFileError.
toml::table ParseTomlFile(const std::filesystem::path& file);

class TableReader {
public:
    // `context` names the table in messages: "" for the document, "computer[2]", "os".
    TableReader(const toml::table& table, std::string file, std::string context, std::size_t line = 0);

    std::string RequireString(std::string_view key);
    std::optional<std::string> OptionalString(std::string_view key);
    std::int64_t RequireInteger(std::string_view key, std::int64_t min, std::int64_t max);
    std::optional<std::int64_t> OptionalInteger(std::string_view key, std::int64_t min, std::int64_t max);
    std::optional<bool> OptionalBool(std::string_view key);
    std::vector<std::string> OptionalStringArray(std::string_view key);

    // [[key]] arrays of tables; each element's context is "key[n]", counting from 1.
    std::vector<TableReader> OptionalTableArray(std::string_view key);
    std::optional<TableReader> OptionalTable(std::string_view key);

    // The raw node of a field whose form depends on another field (nullptr when absent).
    const toml::node* OptionalNode(std::string_view key);

    // A field accepted in any form and not read (yet): room for tables later tasks interpret.
    void Accept(std::string_view key);

    // One of a fixed set of words.
    template <typename T>
    std::optional<T> OptionalChoice(std::string_view key, std::initializer_list<std::pair<std::string_view, T>> choices) {
        std::optional<std::string> word = OptionalString(key);
        if (!word) {
            return std::nullopt;
        }
        std::string expected;
        for (const auto& [name, value] : choices) {
            if (*word == name) {
                return value;
            }
            expected += (expected.empty() ? "" : ", ") + std::string("\"") + std::string(name) + "\"";
        }
        FailAt(key, "expected one of " + expected + ", found \"" + *word + "\"");
    }

    [[noreturn]] void FailAt(std::string_view key, const std::string& problem) const;
    [[noreturn]] void Fail(const std::string& problem) const;

    // Refuses every field of the table that no accessor has asked for.
    void Finish() const;

    std::string FieldName(std::string_view key) const;
    std::size_t Line() const { return m_line; }
    std::size_t LineOf(std::string_view key) const;
    const std::string& File() const { return m_file; }
    const std::string& Context() const { return m_context; }

private:
    const toml::node* Use(std::string_view key);

    const toml::table* m_table;
    std::string m_file;
    std::string m_context;
    std::size_t m_line;
    std::set<std::string, std::less<>> m_used;
};

} // namespace platform::lab
