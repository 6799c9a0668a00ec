#include "ntsim/lab/LabDefinition.h"

#include "platform/AsciiCase.h"
#include "platform/lab/LabFileError.h"

namespace ntsim::lab {

const MachineProfile* LabDefinition::FindProfile(std::string_view computer) const {
    for (const MachineProfile& profile : profiles) {
        if (platform::EqualsIgnoreCase(profile.computer, computer)) {
            return &profile;
        }
    }
    return nullptr;
}

MachineProfile LoadComputerProfile(const LabLayout& layout, const platform::lab::LabNetwork& network, const platform::lab::ComputerDef& computer) {
    MachineProfile profile = LoadMachineProfile(layout.MachineFile(computer.name), computer.name, computer.domain);
    for (const AdapterDef& adapter : profile.adapters) {
        if (!adapter.segment.empty() && network.FindSegment(adapter.segment) == nullptr) {
            throw platform::lab::LabFileError(profile.file, adapter.line, "adapter \"" + adapter.name + "\".segment",
                               "expected the name of a [[segment]] of " + network.file + ", found \"" +
                                   adapter.segment + "\"");
        }
    }
    return profile;
}

LabDefinition LoadLab(const std::filesystem::path& labFolder) {
    LabLayout layout(labFolder);
    platform::lab::LabNetwork network = platform::lab::LoadLabNetwork(layout.NetworkFile());
    std::vector<MachineProfile> profiles;
    for (const platform::lab::ComputerDef& computer : network.computers) {
        profiles.push_back(LoadComputerProfile(layout, network, computer));
    }
    return LabDefinition{std::move(layout), std::move(network), std::move(profiles)};
}

} // namespace ntsim::lab
