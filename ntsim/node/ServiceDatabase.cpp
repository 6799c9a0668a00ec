#include "ntsim/node/ServiceDatabase.h"

#include "ntsim/lab/TomlText.h"
#include "platform/Utf16.h"
#include "platform/lab/TableReader.h"

namespace ntsim::node {
namespace {

using platform::ToUtf8;

std::u16string RequireName(platform::lab::TableReader& reader, std::string_view key) {
    std::string text = reader.RequireString(key);
    std::optional<std::u16string> name = platform::Utf8ToUtf16(text);
    if (!name || name->empty()) {
        reader.FailAt(key, "expected a non-empty name");
    }
    return *name;
}

std::u16string OptionalText(platform::lab::TableReader& reader, std::string_view key) {
    return platform::ToUtf16(reader.OptionalString(key).value_or(""));
}

std::string QuotedList(const std::vector<std::u16string>& names) {
    std::string out = "[";
    for (std::size_t i = 0; i < names.size(); ++i) {
        out += (i == 0 ? "" : ", ") + lab::TomlQuote(ToUtf8(names[i]));
    }
    return out + "]";
}

} // namespace

std::filesystem::path ServiceDatabaseFile(const std::filesystem::path& computerState) {
    return computerState / "services.toml";
}

SavedServices LoadSavedServices(const std::filesystem::path& file) {
    SavedServices saved;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return saved;
    }
    toml::table document = platform::lab::ParseTomlFile(file);
    platform::lab::TableReader root(document, file.string(), "");
    for (platform::lab::TableReader& reader : root.OptionalTableArray("service")) {
        ServiceConfig config;
        config.name = RequireName(reader, "name");
        config.displayName = OptionalText(reader, "display_name");
        config.type = static_cast<DWORD>(reader.RequireInteger("type", 0, 0xFFFFFFFF));
        config.startType = static_cast<DWORD>(reader.RequireInteger("start_type", 0, 4));
        config.errorControl = static_cast<DWORD>(reader.RequireInteger("error_control", 0, 3));
        config.binaryPath = OptionalText(reader, "binary_path");
        for (const std::string& dependency : reader.OptionalStringArray("dependencies")) {
            config.dependencies.push_back(platform::ToUtf16(dependency));
        }
        config.markedForDelete = reader.OptionalBool("marked_for_delete").value_or(false);
        reader.Finish();
        saved.created.push_back(std::move(config));
    }
    for (const std::string& name : root.OptionalStringArray("removed_built_ins")) {
        saved.removedBuiltIns.push_back(platform::ToUtf16(name));
    }
    root.Finish();
    return saved;
}

bool SaveServices(const std::filesystem::path& file, const SavedServices& services, std::string& error) {
    std::string out = "# The services created and deleted on this computer, kept by its ntnode;\n"
                      "# 'ntlab reset' starts them afresh.\n\n";
    out += "removed_built_ins = " + QuotedList(services.removedBuiltIns) + "\n\n";
    for (const ServiceConfig& config : services.created) {
        out += "[[service]]\nname = " + lab::TomlQuote(ToUtf8(config.name)) +
               "\ndisplay_name = " + lab::TomlQuote(ToUtf8(config.displayName)) +
               "\ntype = " + std::to_string(config.type) + "\nstart_type = " + std::to_string(config.startType) +
               "\nerror_control = " + std::to_string(config.errorControl) +
               "\nbinary_path = " + lab::TomlQuote(ToUtf8(config.binaryPath)) +
               "\ndependencies = " + QuotedList(config.dependencies) +
               "\nmarked_for_delete = " + (config.markedForDelete ? "true" : "false") + "\n\n";
    }
    return lab::ReplaceFile(file, out, error);
}

} // namespace ntsim::node
