// The string table compiler on malformed tables: the build must stop with the file, the line
// and what is wrong, and must not leave a half-written table behind.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode;
    std::string errors;
};

class StringTableCompiler : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tarn_strings_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    Outcome Compile(const std::string& table) {
        const fs::path input = m_dir / "strings.txt";
        std::ofstream(input, std::ios::binary) << table;
        // The compiler is built into the same folder as this test program.
        const fs::path compiler =
            fs::read_symlink("/proc/self/exe").parent_path() / "tarn_string_table_compiler";
        const std::string command = compiler.string() + " " + input.string() + " " +
                                    (m_dir / "out.cpp").string() + " " + (m_dir / "out.h").string() +
                                    " test_strings test/StringIds.h 2>&1";
        Outcome outcome{-1, {}};
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return outcome;
        }
        std::array<char, 512> chunk{};
        while (std::fgets(chunk.data(), static_cast<int>(chunk.size()), pipe) != nullptr) {
            outcome.errors += chunk.data();
        }
        const int status = ::pclose(pipe);
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return outcome;
    }

    bool WroteOutput() const { return fs::exists(m_dir / "out.cpp") || fs::exists(m_dir / "out.h"); }

    fs::path m_dir;
};

TEST_F(StringTableCompiler, AcceptsAWellFormedTable) {
    const Outcome outcome = Compile("# comment\n\n1\tkOne\t\"one \\\"1\\\"\"\r\n  2  kTwo  \"\\u00C5\"  \n");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.errors;
    EXPECT_TRUE(WroteOutput());
}

TEST_F(StringTableCompiler, RejectsMalformedLinesNamingFileAndLine) {
    struct Case {
        std::string table;
        std::string message; // after "<file>:<line>: "
    };
    const Case cases[] = {
        {"1\tkOne\t\"fine\"\nkTwo\t\"no id\"\n", ":2: expected a string identifier"},
        {"70000\tkBig\t\"x\"\n", ":1: string identifier 70000... is out of range"},
        {"1\tone\t\"lower-case name\"\n", ":1: expected a constant name"},
        {"1\tkOne\tno quotes\n", ":1: expected the text in double quotes"},
        {"1\tkOne\t\"never closed\n", ":1: the text has no closing double quote"},
        {"1\tkOne\t\"bad \\q escape\"\n", ":1: unknown escape \\q"},
        {"1\tkOne\t\"\\u12\"\n", ":1: \\u must be followed by 4 hexadecimal digits"},
        {"1\tkOne\t\"\\uD800\"\n", ":1: \\u names no character"},
        {"1\tkOne\t\"raw\ttab\"\n", ":1: a control character"},
        {"1\tkOne\t\"bad \xC3\x28 utf-8\"\n", ":1: the text is not valid UTF-8"},
        {"1\tkOne\t\"\"\n", ":1: the text is empty"},
        {"1\tkOne\t\"x\" trailing\n", ":1: unexpected characters after the closing double quote"},
        {"1\tkOne\t\"x\"\n1\tkTwo\t\"y\"\n", ":2: string identifier 1 is already used on line 1"},
        {"1\tkOne\t\"x\"\n2\tkOne\t\"y\"\n", ":2: the name kOne is already used on line 1"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Compile(c.table);
        EXPECT_EQ(outcome.exitCode, 1) << c.message;
        EXPECT_NE(outcome.errors.find((m_dir / "strings.txt").string() + c.message), std::string::npos)
            << "expected \"" << c.message << "\" in: " << outcome.errors;
        EXPECT_FALSE(WroteOutput()) << c.message;
    }
}

TEST_F(StringTableCompiler, ReportsEveryFaultOfATable) {
    const Outcome outcome = Compile("1\tkOne\t\"x\"\nbad line\n3\tkThree\t\"y\n");
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_NE(outcome.errors.find(":2: "), std::string::npos) << outcome.errors;
    EXPECT_NE(outcome.errors.find(":3: "), std::string::npos) << outcome.errors;
}

} // namespace
