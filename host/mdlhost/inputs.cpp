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

void CollectFolder(size_t index, const std::string& argument, const fs::path& folder, Inputs& inputs) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_regular_file(ignored) && EndsWith(it->path().filename().u8string(), ".mdl")) found.push_back(it->path());
    }
    if (error)
        inputs.unreadable.push_back({{index, {}, argument}, Outcome::Failed, "cannot read the folder: " + error.message()});
    std::sort(found.begin(), found.end());
    for (const fs::path& file : found) {
        const fs::path relative = file.lexically_relative(folder);
        const std::string shown = (fs::u8path(argument) / relative).generic_u8string();
        inputs.models.push_back({{index, relative.generic_u8string(), shown}, file, nullptr, 0, relative});
    }
}

void CollectArchive(size_t index, const std::string& argument, const fs::path& path, Inputs& inputs) {
    std::string error;
    std::unique_ptr<PakArchive> archive = PakArchive::Open(path, error);
    if (!archive) {
        inputs.unreadable.push_back({{index, {}, argument}, Outcome::Failed, error});
        return;
    }
    for (size_t i = 0; i < archive->Entries().size(); ++i) {
        const PakEntry& entry = archive->Entries()[i];
        if (!EndsWith(entry.name, ".mdl")) continue;
        const std::string unsafe = UnsafeEntryName(entry.name);
        if (!unsafe.empty()) {
            // Any bytes, shown as the dump shows them.
            const std::string name = BytesAsText(entry.name);
            inputs.unreadable.push_back({{index, name, argument + "/" + name}, Outcome::Refused, unsafe});
            continue;
        }
        // A safe name is UTF-8 text, a relative path that stays under the export's folder.
        inputs.models.push_back({{index, entry.name, argument + "/" + entry.name}, {}, archive.get(), i, fs::u8path(entry.name)});
    }
    inputs.archives.push_back(std::move(archive));
}

}  // namespace

fs::path ArgumentPath(const std::string& argument) {
    fs::path path = fs::u8path(argument);
    while (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
    return path;
}

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
        case InputKind::Folder: CollectFolder(i, argument, path, inputs); break;
        case InputKind::Archive: CollectArchive(i, argument, path, inputs); break;
        case InputKind::Missing:
            inputs.unreadable.push_back({{i, {}, argument}, Outcome::Failed, "no such file or folder"});
            break;
        case InputKind::Model:
            inputs.models.push_back({{i, path.filename().generic_u8string(), argument}, path, nullptr, 0, path.filename()});
            break;
        }
    }
    return inputs;
}

std::vector<fs::path> ChooseOutputFolders(const std::vector<ModelSource>& models,
                                          const std::vector<std::string>& reserved) {
    std::set<std::string> firstParts;
    for (const std::string& name : reserved) firstParts.insert(Lower(name));
    std::vector<fs::path> folders;
    std::set<std::string> taken;
    for (const ModelSource& model : models) {
        fs::path wanted = fs::path(model.relative).replace_extension();
        if (firstParts.count(Lower(wanted.begin()->u8string())) != 0) {
            // The first part gets the suffix, so the whole tree stays out of the reserved name.
            fs::path first = *wanted.begin();
            for (int n = 2; firstParts.count(Lower(first.u8string())) != 0; ++n)
                first = fs::u8path(wanted.begin()->u8string() + "-" + std::to_string(n));
            wanted = first / wanted.lexically_relative(*wanted.begin());
            if (wanted.filename() == ".") wanted = first;
        }
        fs::path candidate = wanted;
        for (int n = 2; !taken.insert(Lower(candidate.generic_u8string())).second; ++n)
            candidate = fs::u8path(wanted.u8string() + "-" + std::to_string(n));
        folders.push_back(candidate);
    }
    return folders;
}

std::optional<fs::path> DroppedFilesFolder(const std::vector<std::string>& files, InputKind first, bool ownConsole) {
    if (!ownConsole || files.empty()) return std::nullopt;
    for (const std::string& file : files)
        if (file.empty() || file[0] == '-') return std::nullopt;
    const fs::path path = ArgumentPath(files[0]);
    const fs::path name = first == InputKind::Folder ? path.filename() : path.stem();
    return path.parent_path() / fs::u8path(name.u8string() + " converted");
}
