#include "inputs.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "received_model.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Whether text ends with tail (lower case), in any letter case.
bool EndsWith(const std::string& text, const char* tail) {
    const std::string end(tail);
    return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == end;
}

void CollectFolder(const std::string& argument, const fs::path& folder, Inputs& inputs) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_regular_file(ignored) && EndsWith(it->path().filename().u8string(), ".mdl")) found.push_back(it->path());
    }
    if (error) inputs.unreadable.push_back({argument, Outcome::Failed, "cannot read the folder: " + error.message()});
    std::sort(found.begin(), found.end());
    for (const fs::path& file : found) {
        const fs::path relative = file.lexically_relative(folder);
        ModelSource source{(fs::u8path(argument) / relative).generic_u8string(), file, nullptr, 0, relative};
        inputs.models.push_back(std::move(source));
    }
}

void CollectArchive(const std::string& argument, const fs::path& path, Inputs& inputs) {
    std::string error;
    std::unique_ptr<PakArchive> archive = PakArchive::Open(path, error);
    if (!archive) {
        inputs.unreadable.push_back({argument, Outcome::Failed, error});
        return;
    }
    for (size_t i = 0; i < archive->Entries().size(); ++i) {
        const PakEntry& entry = archive->Entries()[i];
        if (!EndsWith(entry.name, ".mdl")) continue;
        const std::string unsafe = UnsafeEntryName(entry.name);
        if (!unsafe.empty()) {
            // Any bytes, shown as the dump shows them.
            inputs.unreadable.push_back({argument + "/" + BytesAsText(entry.name), Outcome::Refused, unsafe});
            continue;
        }
        // A safe name is UTF-8 text, a relative path that stays under the export's folder.
        inputs.models.push_back({argument + "/" + entry.name, {}, archive.get(), i, fs::u8path(entry.name)});
    }
    inputs.archives.push_back(std::move(archive));
}

}  // namespace

InputKind Classify(const std::string& argument) {
    const fs::path path = fs::u8path(argument);
    std::error_code error;
    if (fs::is_directory(path, error)) return InputKind::Folder;
    if (EndsWith(argument, ".pak")) return InputKind::Archive;
    return fs::exists(path, error) ? InputKind::Model : InputKind::Missing;
}

Inputs Collect(const std::vector<std::string>& arguments, const std::vector<InputKind>& kinds) {
    Inputs inputs;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const fs::path path = fs::u8path(argument);
        switch (kinds[i]) {
        case InputKind::Folder: CollectFolder(argument, path, inputs); break;
        case InputKind::Archive: CollectArchive(argument, path, inputs); break;
        case InputKind::Missing: inputs.unreadable.push_back({argument, Outcome::Failed, "no such file or folder"}); break;
        case InputKind::Model: inputs.models.push_back({argument, path, nullptr, 0, path.filename()}); break;
        }
    }
    return inputs;
}

// Each model's own folder under the export's, in the models' order: its
// path without the extension, with a suffix where another model has it
// already. Compared without case, as Windows' file systems compare names.
std::vector<fs::path> ChooseOutputFolders(const std::vector<ModelSource>& models) {
    std::vector<fs::path> folders;
    std::set<std::string> taken;
    for (const ModelSource& model : models) {
        const fs::path wanted = fs::path(model.relative).replace_extension();
        fs::path candidate = wanted;
        for (int n = 2; !taken.insert(Lower(candidate.generic_u8string())).second; ++n)
            candidate = fs::u8path(wanted.u8string() + "-" + std::to_string(n));
        folders.push_back(candidate);
    }
    return folders;
}

