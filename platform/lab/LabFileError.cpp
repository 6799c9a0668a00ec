#include "platform/lab/LabFileError.h"

namespace platform::lab {
namespace {

// "file:line: field: problem", leaving out what is not known.
std::string Compose(const std::string& file, std::size_t line, const std::string& field, const std::string& problem) {
    std::string text = file;
    if (line > 0) {
        text += ":" + std::to_string(line);
    }
    text += ": ";
    if (!field.empty()) {
        text += field + ": ";
    }
    return text + problem;
}

} // namespace

LabFileError::LabFileError(std::string file, std::size_t line, std::string field, std::string problem)
    : std::runtime_error(Compose(file, line, field, problem)), m_file(std::move(file)), m_line(line),
      m_field(std::move(field)), m_problem(std::move(problem)) {}

} // namespace platform::lab
