#include "tests/lab/support/TempLab.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace labtest {

TempLab::TempLab() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarn-lab-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_folder = pattern;
}

TempLab::~TempLab() {
    std::error_code error;
    std::filesystem::remove_all(m_folder, error);
}

void TempLab::Write(const std::string& relativePath, const std::string& content) const {
    std::filesystem::path file = m_folder / relativePath;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::trunc) << content;
}

void TempLab::WriteStandard(const std::vector<std::uint16_t>& ports) const {
    std::string network = R"([[domain]]
name = "TARNDOM"

[[segment]]
name = "public"
)";
    const char* names[] = {"ADMINWS", "NODE1", "NODE2"};
    for (std::size_t i = 0; i < 3; ++i) {
        network += "\n[[computer]]\nname = \"" + std::string(names[i]) + "\"\ndomain = \"TARNDOM\"\nport = " +
                   std::to_string(ports.at(i)) + "\n";
        Write(std::string(names[i]) + "/machine.toml", "[[adapter]]\nname = \"El90x1\"\nsegment = \"public\"\n");
    }
    network += R"(
[[account]]
name = "Administrator"
domain = "TARNDOM"
password = "right"
administers = ["NODE1", "NODE2", "ADMINWS"]

[[account]]
name = "Operator"
password = "operator"

[workstation]
computer = "ADMINWS"
account = "Administrator"
)";
    Write("network.toml", network);
}

std::vector<std::uint16_t> FreePorts(std::size_t count) {
    std::vector<int> sockets;
    std::vector<std::uint16_t> ports;
    for (std::size_t i = 0; i < count; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        ports.push_back(ntohs(address.sin_port));
        sockets.push_back(fd); // kept open until all are chosen, so that none repeats
    }
    for (int fd : sockets) {
        ::close(fd);
    }
    return ports;
}

} // namespace labtest
