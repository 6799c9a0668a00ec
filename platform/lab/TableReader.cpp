#include "platform/lab/TableReader.h"

#include <fstream>
#include <sstream>

namespace platform::lab {
namespace {

std::string Describe(const toml::node& node) {
    switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    default: return "a date or time";
    }
}

std::size_t LineOfNode(const toml::node& node, std::size_t fallback) {
    std::size_t line = node.source().begin.line;
    return line > 0 ? line : fallback;
}

} // namespace

toml::table ParseTomlFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throw LabFileError(file.string(), 0, "", "cannot be read (missing or not accessible)");
    }
    std::ostringstream content;
    content << stream.rdbuf();
    try {
        return toml::parse(content.str(), file.string());
    } catch (const toml::parse_error& error) {
        throw LabFileError(file.string(), error.source().begin.line, "",
                           "not valid TOML: " + std::string(error.description()));
    }
}

TableReader::TableReader(const toml::table& table, std::string file, std::string context, std::size_t line)
    : m_table(&table), m_file(std::move(file)), m_context(std::move(context)),
      m_line(line > 0 ? line : LineOfNode(table, 1)) {}

const toml::node* TableReader::Use(std::string_view key) {
    m_used.emplace(key);
    return m_table->get(key);
}

std::string TableReader::FieldName(std::string_view key) const {
    return m_context.empty() ? std::string(key) : m_context + "." + std::string(key);
}

std::size_t TableReader::LineOf(std::string_view key) const {
    const toml::node* node = m_table->get(key);
    return node == nullptr ? m_line : LineOfNode(*node, m_line);
}

void TableReader::FailAt(std::string_view key, const std::string& problem) const {
    throw LabFileError(m_file, LineOf(key), FieldName(key), problem);
}

void TableReader::Fail(const std::string& problem) const { throw LabFileError(m_file, m_line, m_context, problem); }

std::optional<std::string> TableReader::OptionalString(std::string_view key) {
    const toml::node* node = Use(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_string()) {
        FailAt(key, "expected a string, found " + Describe(*node));
    }
    return node->as_string()->get();
}

std::string TableReader::RequireString(std::string_view key) {
    std::optional<std::string> value = OptionalString(key);
    if (!value) {
        FailAt(key, "missing; expected a string");
    }
    return *value;
}

std::optional<std::int64_t> TableReader::OptionalInteger(std::string_view key, std::int64_t min, std::int64_t max) {
    const toml::node* node = Use(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    std::string range = "an integer from " + std::to_string(min) + " to " + std::to_string(max);
    if (!node->is_integer()) {
        FailAt(key, "expected " + range + ", found " + Describe(*node));
    }
    std::int64_t value = node->as_integer()->get();
    if (value < min || value > max) {
        FailAt(key, "expected " + range + ", found " + std::to_string(value));
    }
    return value;
}

std::int64_t TableReader::RequireInteger(std::string_view key, std::int64_t min, std::int64_t max) {
    std::optional<std::int64_t> value = OptionalInteger(key, min, max);
    if (!value) {
        FailAt(key, "missing; expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
    }
    return *value;
}

std::optional<bool> TableReader::OptionalBool(std::string_view key) {
    const toml::node* node = Use(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_boolean()) {
        FailAt(key, "expected true or false, found " + Describe(*node));
    }
    return node->as_boolean()->get();
}

std::vector<std::string> TableReader::OptionalStringArray(std::string_view key) {
    const toml::node* node = Use(key);
    std::vector<std::string> values;
    if (node == nullptr) {
        return values;
    }
    const toml::array* array = node->as_array();
    if (array == nullptr) {
        FailAt(key, "expected an array of strings, found " + Describe(*node));
    }
    for (std::size_t i = 0; i < array->size(); ++i) {
        const toml::node& element = *array->get(i);
        if (!element.is_string()) {
            throw LabFileError(m_file, LineOfNode(element, LineOf(key)), FieldName(key) + "[" + std::to_string(i + 1) + "]",
                               "expected a string, found " + Describe(element));
        }
        values.push_back(element.as_string()->get());
    }
    return values;
}

std::vector<TableReader> TableReader::OptionalTableArray(std::string_view key) {
    const toml::node* node = Use(key);
    std::vector<TableReader> readers;
    if (node == nullptr) {
        return readers;
    }
    const toml::array* array = node->as_array();
    if (array == nullptr) {
        FailAt(key, "expected an array of tables ([[" + std::string(key) + "]]), found " + Describe(*node));
    }
    for (std::size_t i = 0; i < array->size(); ++i) {
        const toml::node& element = *array->get(i);
        std::string context = FieldName(key) + "[" + std::to_string(i + 1) + "]";
        if (!element.is_table()) {
            throw LabFileError(m_file, LineOfNode(element, LineOf(key)), context, "expected a table, found " + Describe(element));
        }
        readers.emplace_back(*element.as_table(), m_file, context, LineOfNode(element, LineOf(key)));
    }
    return readers;
}

std::optional<TableReader> TableReader::OptionalTable(std::string_view key) {
    const toml::node* node = Use(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_table()) {
        FailAt(key, "expected a table ([" + std::string(key) + "]), found " + Describe(*node));
    }
    return TableReader(*node->as_table(), m_file, FieldName(key), LineOfNode(*node, m_line));
}

const toml::node* TableReader::OptionalNode(std::string_view key) { return Use(key); }

void TableReader::Accept(std::string_view key) { m_used.emplace(key); }

void TableReader::Finish() const {
    for (const auto& [key, node] : *m_table) {
        if (!m_used.contains(key.str())) {
            std::string known;
            for (const std::string& name : m_used) {
                known += (known.empty() ? "" : ", ") + name;
            }
            throw LabFileError(m_file, LineOfNode(node, m_line), FieldName(key.str()),
                               "unknown field" + (known.empty() ? std::string() : "; expected one of: " + known));
        }
    }
}

} // namespace platform::lab
