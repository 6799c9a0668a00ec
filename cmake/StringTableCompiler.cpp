// tarn_string_table_compiler: turns a program's strings.txt (format in resources/README.md) into
// a C++ source that registers the table with the platform and a header of the identifiers.
//
//   tarn_string_table_compiler <strings.txt> <out.cpp> <out.h> <namespace> <header include path>
//
// A malformed table writes "<file>:<line>: <what is wrong>" for every fault to standard error
// and exits with 1 without writing anything, so that the build stops at the table.
#include "platform/Utf16.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Entry {
    unsigned id;
    std::string name;
    std::u16string text;
    int line;
};

class TableParser {
public:
    explicit TableParser(std::string fileName) : m_fileName(std::move(fileName)) {}

    // Parses one line; faults are collected, not thrown.
    void ParseLine(std::string_view line, int lineNumber) {
        m_line = lineNumber;
        m_rest = line;
        if (lineNumber == 1 && m_rest.starts_with("\xEF\xBB\xBF")) {
            m_rest.remove_prefix(3); // a byte-order mark
        }
        if (m_rest.ends_with('\r')) {
            m_rest.remove_suffix(1);
        }
        SkipBlanks();
        if (m_rest.empty() || m_rest.front() == '#') {
            return;
        }
        Entry entry{0, {}, {}, lineNumber};
        if (ParseId(entry.id) && ParseName(entry.name) && ParseText(entry.text) && ParseEnd()) {
            Add(std::move(entry));
        }
    }

    const std::vector<Entry>& Entries() const { return m_entries; }
    const std::vector<std::string>& Faults() const { return m_faults; }

private:
    void Fault(const std::string& what) {
        m_faults.push_back(m_fileName + ":" + std::to_string(m_line) + ": " + what);
    }

    void SkipBlanks() {
        while (!m_rest.empty() && (m_rest.front() == ' ' || m_rest.front() == '\t')) {
            m_rest.remove_prefix(1);
        }
    }

    bool ParseId(unsigned& id) {
        std::size_t digits = 0;
        unsigned long value = 0;
        while (digits < m_rest.size() && m_rest[digits] >= '0' && m_rest[digits] <= '9' && value <= 65535) {
            value = value * 10 + static_cast<unsigned>(m_rest[digits] - '0');
            ++digits;
        }
        if (digits == 0) {
            Fault("expected a string identifier (a number from 0 to 65535) at the start of the line");
            return false;
        }
        if (value > 65535) {
            Fault("string identifier " + std::string(m_rest.substr(0, digits)) +
                  "... is out of range (0 to 65535)");
            return false;
        }
        id = static_cast<unsigned>(value);
        m_rest.remove_prefix(digits);
        SkipBlanks();
        return true;
    }

    bool ParseName(std::string& name) {
        std::size_t length = 0;
        while (length < m_rest.size() && (std::isalnum(static_cast<unsigned char>(m_rest[length])) != 0)) {
            ++length;
        }
        name = std::string(m_rest.substr(0, length));
        if (name.size() < 2 || name[0] != 'k' || name[1] < 'A' || name[1] > 'Z') {
            Fault("expected a constant name such as kTcpIpNotRunning after the identifier");
            return false;
        }
        m_rest.remove_prefix(length);
        SkipBlanks();
        return true;
    }

    static std::optional<unsigned> Hex(std::string_view digits) {
        unsigned value = 0;
        for (char c : digits) {
            const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0 ? c - '0'
                              : (c >= 'a' && c <= 'f')                         ? c - 'a' + 10
                              : (c >= 'A' && c <= 'F')                         ? c - 'A' + 10
                                                                               : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<unsigned>(digit);
        }
        return value;
    }

    // One escape after the backslash; appends its character to `text`.
    bool ParseEscape(std::u16string& text) {
        if (m_rest.empty()) {
            Fault("the text ends in a lone backslash");
            return false;
        }
        const char kind = m_rest.front();
        m_rest.remove_prefix(1);
        switch (kind) {
        case '\\':
        case '"':
            text.push_back(static_cast<char16_t>(kind));
            return true;
        case 'n':
            text.push_back(u'\n');
            return true;
        case 'r':
            text.push_back(u'\r');
            return true;
        case 't':
            text.push_back(u'\t');
            return true;
        case 'u':
        case 'U': {
            const std::size_t count = kind == 'u' ? 4 : 8;
            const std::optional<unsigned> value =
                m_rest.size() >= count ? Hex(m_rest.substr(0, count)) : std::nullopt;
            if (!value) {
                Fault(std::string("\\") + kind + " must be followed by " + std::to_string(count) +
                      " hexadecimal digits");
                return false;
            }
            m_rest.remove_prefix(count);
            if ((*value >= 0xD800 && *value <= 0xDFFF) || *value > 0x10FFFF || *value == 0) {
                Fault("\\" + std::string(1, kind) +
                      " names no character that a text can hold (a NUL, a surrogate or a "
                      "value above 10FFFF)");
                return false;
            }
            if (*value < 0x10000) {
                text.push_back(static_cast<char16_t>(*value));
            } else {
                text.push_back(static_cast<char16_t>(0xD800 + ((*value - 0x10000) >> 10)));
                text.push_back(static_cast<char16_t>(0xDC00 + ((*value - 0x10000) & 0x3FF)));
            }
            return true;
        }
        default:
            Fault(std::string("unknown escape \\") + kind +
                  R"( (the escapes are \\ \" \n \r \t \uXXXX \UXXXXXXXX))");
            return false;
        }
    }

    bool ParseText(std::u16string& text) {
        if (m_rest.empty() || m_rest.front() != '"') {
            Fault("expected the text in double quotes after the name");
            return false;
        }
        m_rest.remove_prefix(1);
        std::string run; // raw characters since the last escape, UTF-8
        const auto flushRun = [&]() {
            const std::optional<std::u16string> converted = platform::Utf8ToUtf16(run);
            if (!converted) {
                Fault("the text is not valid UTF-8");
                return false;
            }
            text.append(*converted);
            run.clear();
            return true;
        };
        while (!m_rest.empty()) {
            const char c = m_rest.front();
            m_rest.remove_prefix(1);
            if (c == '"') {
                if (!flushRun()) {
                    return false;
                }
                if (text.empty()) {
                    Fault("the text is empty; a string table holds no empty strings");
                    return false;
                }
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                Fault("a control character (a tab, for instance) in a text must be written as an escape");
                return false;
            }
            if (c != '\\') {
                run.push_back(c);
                continue;
            }
            if (!flushRun() || !ParseEscape(text)) {
                return false;
            }
        }
        Fault("the text has no closing double quote");
        return false;
    }

    bool ParseEnd() {
        SkipBlanks();
        if (!m_rest.empty()) {
            Fault("unexpected characters after the closing double quote: " + std::string(m_rest));
            return false;
        }
        return true;
    }

    void Add(Entry entry) {
        const auto [idAt, idIsNew] = m_lineOfId.emplace(entry.id, entry.line);
        const auto [nameAt, nameIsNew] = m_lineOfName.emplace(entry.name, entry.line);
        if (!idIsNew) {
            Fault("string identifier " + std::to_string(entry.id) + " is already used on line " +
                  std::to_string(idAt->second));
        }
        if (!nameIsNew) {
            Fault("the name " + entry.name + " is already used on line " + std::to_string(nameAt->second));
        }
        if (idIsNew && nameIsNew) {
            m_entries.push_back(std::move(entry));
        }
    }

    std::string m_fileName;
    int m_line = 0;
    std::string_view m_rest;
    std::vector<Entry> m_entries;
    std::vector<std::string> m_faults;
    std::map<unsigned, int> m_lineOfId;
    std::map<std::string, int> m_lineOfName;
};

// A C++ UTF-16 literal of the text: printable ASCII as it is, everything else escaped so that
// the generated source is ASCII and no escape can swallow the character after it.
std::string Literal(std::u16string_view text) {
    std::string out = "u\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        char piece[16];
        if (c == u'"' || c == u'\\') {
            std::snprintf(piece, sizeof piece, "\\%c", static_cast<char>(c));
        } else if (c >= 0x20 && c < 0x7F) {
            std::snprintf(piece, sizeof piece, "%c", static_cast<char>(c));
        } else if (c < 0x80) {
            std::snprintf(piece, sizeof piece, "\\%03o", static_cast<unsigned>(c));
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            const unsigned codePoint = 0x10000 + ((c - 0xD800u) << 10) + (text[++i] - 0xDC00u);
            std::snprintf(piece, sizeof piece, "\\U%08X", codePoint);
        } else {
            std::snprintf(piece, sizeof piece, "\\u%04X", static_cast<unsigned>(c));
        }
        out += piece;
    }
    return out + "\"";
}

std::string SourceText(const std::vector<Entry>& entries, const std::string& input, const std::string& ns,
                       const std::string& headerPath) {
    std::ostringstream out;
    out << "// Generated from " << input << " by tarn_string_table_compiler; do not edit.\n"
        << "#include \"" << headerPath << "\"\n\n#include \"platform/StringTable.h\"\n\n"
        << "namespace {\n\nconstexpr platform::StringTableEntry kEntries[] = {\n";
    for (const Entry& entry : entries) {
        out << "    {" << entry.id << ", " << Literal(entry.text) << ", " << entry.text.size() << "},\n";
    }
    out << "};\n\n} // namespace\n\nnamespace " << ns << " {\n\nHINSTANCE Instance() {\n"
        << "    static const HINSTANCE instance = platform::RegisterStringTable(kEntries);\n"
        << "    return instance;\n}\n\n} // namespace " << ns << "\n\n"
        << "// Registers the table as the program starts. The library's users link this symbol in by\n"
        << "// name, so the table is there even when no code refers to it.\n"
        << "extern \"C\" {\nextern const HINSTANCE tarn_string_table_" << ns << ";\n"
        << "const HINSTANCE tarn_string_table_" << ns << " = " << ns << "::Instance();\n}\n";
    return out.str();
}

std::string HeaderText(const std::vector<Entry>& entries, const std::string& input, const std::string& ns) {
    std::ostringstream out;
    out << "#pragma once\n// Generated from " << input << " by tarn_string_table_compiler; do not edit.\n"
        << "// The identifiers of the table's strings, for LoadStringW.\n"
        << "#include \"platform/WinTypes.h\"\n\nnamespace " << ns << " {\n\n";
    for (const Entry& entry : entries) {
        out << "constexpr UINT " << entry.name << " = " << entry.id << ";\n";
    }
    out << "\n// The table's instance handle (LoadStringW also finds the table under a null handle when it\n"
        << "// is the only one the program links).\nHINSTANCE Instance();\n\n} // namespace " << ns << "\n";
    return out.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << path << ": cannot be written\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: tarn_string_table_compiler <strings.txt> <out.cpp> <out.h> <namespace> "
                     "<header include path>\n";
        return 2;
    }
    const std::string input = argv[1];
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << input << ": cannot be read\n";
        return 1;
    }
    TableParser parser(input);
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
        parser.ParseLine(line, lineNumber);
    }
    for (const std::string& fault : parser.Faults()) {
        std::cerr << fault << "\n";
    }
    if (!parser.Faults().empty()) {
        return 1;
    }
    std::vector<Entry> entries = parser.Entries();
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });
    return WriteFile(argv[2], SourceText(entries, input, argv[4], argv[5])) &&
                   WriteFile(argv[3], HeaderText(entries, input, argv[4]))
               ? 0
               : 1;
}
