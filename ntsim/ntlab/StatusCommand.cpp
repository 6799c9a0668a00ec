// ntlab status [LAB] [--json]: each computer with its address, up or down, and what its ntnode
// reports: services and their states, shares, registered RPC endpoints, pipes.
#include "ntsim/lab/LabDefinition.h"
#include "ntsim/node/NodeControlClient.h"
#include "ntsim/ntlab/LabCommand.h"
#include "platform/lab/LabFileError.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <toml++/toml.h>

namespace ntsim::ntlab {
namespace {

std::string Text(const toml::table& table, std::string_view key) { return table[key].value_or(std::string()); }

std::int64_t Number(const toml::table& table, std::string_view key) { return table[key].value_or(std::int64_t{0}); }

// One line a list entry, in the words of the section it belongs to.
std::string DescribeEntry(std::string_view section, const toml::table& entry) {
    if (section == "services") {
        return Text(entry, "name") + " " + Text(entry, "state");
    }
    if (section == "shares") {
        std::string path = Text(entry, "path");
        return Text(entry, "name") + (path.empty() ? "" : " " + path);
    }
    if (section == "endpoints") {
        return Text(entry, "protseq") + " " + Text(entry, "endpoint") + " " + Text(entry, "interface") + " " +
               Text(entry, "version") + " (process " + std::to_string(Number(entry, "pid")) + ")";
    }
    std::string line;
    for (const auto& [key, value] : entry) {
        std::ostringstream text;
        value.visit([&text](const auto& leaf) { text << leaf; });
        line += (line.empty() ? "" : " ") + std::string(key.str()) + "=" + text.str();
    }
    return line;
}

void PrintComputer(const toml::table& computer) {
    bool up = computer["up"].value_or(false);
    std::printf("%-15s %-21s %s", Text(computer, "name").c_str(), Text(computer, "address").c_str(),
                up ? "up" : "down");
    if (up) {
        std::printf(" (process %lld)", static_cast<long long>(Number(computer, "pid")));
    }
    std::printf("\n");
    // The sections people look for first, then whatever else the node reports.
    std::vector<std::string> order = {"services", "shares", "endpoints", "pipes"};
    for (const auto& [key, value] : computer) {
        if (value.is_array() && std::find(order.begin(), order.end(), key.str()) == order.end()) {
            order.emplace_back(key.str());
        }
    }
    for (const std::string& section : order) {
        const toml::array* list = computer[section].as_array();
        if (list == nullptr) {
            continue;
        }
        std::printf("  %s:%s\n", section.c_str(), list->empty() ? " none" : "");
        for (const toml::node& item : *list) {
            if (const toml::table* entry = item.as_table()) {
                std::printf("    %s\n", DescribeEntry(section, *entry).c_str());
            }
        }
    }
}

} // namespace

int StatusCommand(LabInvocation& invocation) {
    if (!invocation.TakeOnlyLabArgument("status [LAB] [--json]")) {
        return kBadInput;
    }
    lab::LabLayout layout(invocation.LabFolder());
    platform::lab::LabNetwork network;
    try {
        network = platform::lab::LoadLabNetwork(layout.NetworkFile());
    } catch (const platform::lab::LabFileError& error) {
        std::fprintf(stderr, "ntlab: %s\n", error.what());
        return kBadInput;
    }
    toml::array computers;
    for (const platform::lab::ComputerDef& def : network.computers) {
        toml::table computer;
        if (node::FetchNodeStatus(layout, def, computer) != 0) {
            computer = toml::table{};
        }
        bool up = !computer.empty();
        // The name directory's view of the computer comes first; the node's own document adds to it.
        computer.insert_or_assign("name", def.name);
        computer.insert_or_assign("address", def.host + ":" + std::to_string(def.port));
        computer.insert_or_assign("up", up);
        computer.erase("computer");
        computers.push_back(std::move(computer));
    }
    if (invocation.json) {
        toml::table document{{"lab", layout.Folder().string()}, {"computers", std::move(computers)}};
        std::cout << toml::json_formatter(document) << "\n";
        return 0;
    }
    std::printf("lab %s\n", layout.Folder().c_str());
    for (const toml::node& computer : computers) {
        PrintComputer(*computer.as_table());
    }
    return 0;
}

} // namespace ntsim::ntlab
