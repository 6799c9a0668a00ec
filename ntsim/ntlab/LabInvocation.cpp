#include "ntsim/ntlab/LabCommand.h"

#include "platform/LabEnvironment.h"
#include "platform/lab/LabFileError.h"

#include <cstdio>

#include <system_error>

namespace ntsim::ntlab {
namespace {

// labs/default of the tree this program was built in: looked for above the program's own
// folder (build/<name>/bin/ntlab), then in the source tree it was configured from.
std::filesystem::path DefaultLab() {
    std::error_code error;
    std::filesystem::path here = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    for (std::filesystem::path folder = here; !folder.empty() && folder != folder.root_path();
         folder = folder.parent_path()) {
        if (std::filesystem::exists(folder / "labs/default/network.toml", error)) {
            return folder / "labs/default";
        }
    }
    return std::filesystem::path(TARN_SOURCE_DIR) / "labs/default";
}

} // namespace

std::filesystem::path LabInvocation::LabFolder() const {
    if (lab) {
        return *lab;
    }
    if (std::optional<std::filesystem::path> fromEnvironment = platform::lab::LabFolder()) {
        return *fromEnvironment;
    }
    return DefaultLab();
}

bool LabInvocation::TakeOnlyLabArgument(const char* usage) {
    if (!arguments.empty()) {
        lab = arguments.front();
        arguments.erase(arguments.begin());
    }
    if (!arguments.empty()) {
        std::fprintf(stderr, "usage: ntlab %s\n", usage);
        return false;
    }
    return true;
}

bool FindLabComputer(const lab::LabLayout& layout, const std::string& name, platform::lab::LabNetwork& network,
                     const platform::lab::ComputerDef*& computer) {
    try {
        network = platform::lab::LoadLabNetwork(layout.NetworkFile());
    } catch (const platform::lab::LabFileError& error) {
        std::fprintf(stderr, "ntlab: %s\n", error.what());
        return false;
    }
    computer = network.FindComputer(name);
    if (computer == nullptr) {
        std::fprintf(stderr, "ntlab: the lab %s has no computer %s\n", layout.Folder().c_str(), name.c_str());
    }
    return computer != nullptr;
}

} // namespace ntsim::ntlab
