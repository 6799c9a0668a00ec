#pragma once
// A whole lab as its files define it: the name directory and every computer's profile, checked
// against each other. Loading it either yields a complete, consistent definition or throws one
// LabFileError; nothing is started from a half-read lab.
#include "ntsim/lab/LabLayout.h"
#include "ntsim/lab/MachineProfile.h"
#include "platform/lab/LabNetwork.h"

#include <filesystem>
#include <vector>

namespace ntsim::lab {

struct LabDefinition {
    LabLayout layout;
    platform::lab::LabNetwork network;
    std::vector<MachineProfile> profiles; // one per computer, in the order of network.computers

    const MachineProfile* FindProfile(std::string_view computer) const;
};

// Reads network.toml and every computer's machine.toml; throws LabFileError.
LabDefinition LoadLab(const std::filesystem::path& labFolder);

// The profile of one computer of an already read name directory (what an ntnode needs).
MachineProfile LoadComputerProfile(const LabLayout& layout, const platform::lab::LabNetwork& network, const platform::lab::ComputerDef& computer);

} // namespace ntsim::lab
