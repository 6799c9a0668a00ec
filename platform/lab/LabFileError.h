#pragma once
// The one error a lab file can give: which file, which line, which field, what was expected.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace platform::lab {

class LabFileError : public std::runtime_error {
public:
    // `line` 0: the file as a whole (it cannot be read); `field` empty: no single field.
    LabFileError(std::string file, std::size_t line, std::string field, std::string problem);

    const std::string& File() const { return m_file; }
    std::size_t Line() const { return m_line; }
    const std::string& Field() const { return m_field; }
    const std::string& Problem() const { return m_problem; }

private:
    std::string m_file;
    std::size_t m_line;
    std::string m_field;
    std::string m_problem;
};

} // namespace platform::lab
