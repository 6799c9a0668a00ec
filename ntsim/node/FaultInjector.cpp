#include "ntsim/node/FaultInjector.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ntsim::node {
namespace {

bool IsOperationName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// The whole content of an open file.
std::string ReadAll(int fd) {
    std::string content;
    char buffer[512];
    ::lseek(fd, 0, SEEK_SET);
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

} // namespace

FaultInjector::FaultInjector(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::optional<DWORD> FaultInjector::Take(std::string_view operation) const {
    if (!IsOperationName(operation)) {
        return std::nullopt;
    }
    std::filesystem::path file = m_folder / std::string(operation);
    int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    ::flock(fd, LOCK_EX);
    std::string content = ReadAll(fd);
    std::optional<DWORD> error;
    std::size_t lineEnd = content.find('\n');
    std::string_view first = std::string_view(content).substr(0, lineEnd);
    DWORD value = 0;
    auto [ptr, code] = std::from_chars(first.data(), first.data() + first.size(), value);
    if (code == std::errc() && ptr == first.data() + first.size() && !first.empty()) {
        error = value;
    }
    std::string rest = lineEnd == std::string::npos ? std::string() : content.substr(lineEnd + 1);
    if (rest.find_first_not_of(" \n") == std::string::npos) {
        ::unlink(file.c_str());
    } else {
        (void)!::ftruncate(fd, 0);
        ::lseek(fd, 0, SEEK_SET);
        (void)!::write(fd, rest.data(), rest.size());
    }
    ::close(fd); // releases the lock
    return error;
}

bool FaultInjector::Plan(const std::filesystem::path& folder, std::string_view operation, DWORD error,
                         std::string& message) {
    if (!IsOperationName(operation)) {
        message = "\"" + std::string(operation) + "\" is not an operation name (letters, digits and '_')";
        return false;
    }
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::path file = folder / std::string(operation);
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        message = file.string() + ": " + std::strerror(errno);
        return false;
    }
    ::flock(fd, LOCK_EX);
    std::string line = std::to_string(error) + "\n";
    bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) {
        message = file.string() + ": cannot be written";
    }
    return written;
}

} // namespace ntsim::node
