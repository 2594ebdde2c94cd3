#include "runs.h"

#include <fstream>
#include <iostream>
#include <limits>
#include <random>

namespace fs = std::filesystem;

void PrintMessages(const ExportMessages& messages, bool imported) {
    for (const std::string& note : messages.notes) std::cerr << "mdlhost: " << note << "\n";
    if (!messages.Failed()) return;
    std::cerr << "mdlhost: " << messages.failure << "\n";
    if (imported) std::cerr << "mdlhost: the export is incomplete\n";
}

std::string BoxTexts(const ReceivedModel& model) {
    std::string texts;
    for (const MessageBoxSeen& box : model.messageBoxes) texts += (texts.empty() ? "" : " / ") + box.text;
    return texts.empty() ? "the import failed" : texts;
}

TemporaryModel::TemporaryModel(const std::vector<uint8_t>& bytes, std::string& error) {
    std::error_code failure;
    const fs::path folder = fs::temp_directory_path(failure);
    if (failure) {
        error = "no temporary folder: " + failure.message();
        return;
    }
    std::random_device random;
    const fs::path name = "mdlhost-" + std::to_string(random()) + "-" + std::to_string(random()) + ".mdl";
    ExportMessages messages;
    if (!OutputFolder(folder, messages)
             .WriteFile(name, {reinterpret_cast<const char*>(bytes.data()), bytes.size()})) {
        error = messages.failure;
        return;
    }
    path = folder / name;
}

TemporaryModel::~TemporaryModel() {
    std::error_code ignored;
    if (!path.empty()) fs::remove(path, ignored);
}

std::unique_ptr<Imported> Imported::Run(ConverterHost& host, const fs::path& file, const std::string& shown,
                                        std::string& error) {
    const PluginPath pluginPath(file, error);
    if (pluginPath.Get().empty()) return nullptr;
    return std::unique_ptr<Imported>(new Imported(host.Import(pluginPath.Get()), shown));
}

bool Imported::Ungroup(ConverterHost& host, const fs::path& file, std::string& error) {
    if (model.Succeeded()) return true;
    // The plug-in measures a file in 32 bits: a larger one it has refused as
    // it is.
    std::error_code failure;
    const uintmax_t size = fs::file_size(file, failure);
    if (failure || size > uintmax_t(std::numeric_limits<int32_t>::max())) return true;
    std::vector<uint8_t> bytes(size_t(size), 0);
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size))) {
        error = "cannot read " + Shown(file) + " again";
        return false;
    }
    UngroupedModel ungroupedModel = UngroupModel(bytes.data(), bytes.size());
    if (ungroupedModel.kind == UngroupedModel::Kind::BadGroup) badGroup = ungroupedModel.reason;
    if (ungroupedModel.kind != UngroupedModel::Kind::Ungrouped) return true;
    const TemporaryModel copy(ungroupedModel.bytes, error);
    if (copy.Path().empty()) return false;
    ungrouped = Run(host, copy.Path(), shown, error);
    if (!ungrouped) return false;
    groups = std::move(ungroupedModel.groups);
    return true;
}

std::string Imported::Refusal() const { return badGroup.empty() ? BoxTexts(Converted()) : badGroup; }

Result ExportFiles(const Imported& imported, const ModelName& name, const fs::path& output, const Options& options,
                   ExportMessages& messages, PendingPicture& picture) {
    const ReceivedModel& model = imported.Converted();
    const fs::path root = fs::u8path(options.exportDir);
    const bool exported = ExportScene(model, imported.Groups(), OutputFolder(output.empty() ? root : root / output, messages),
                                      options.exportOptions, picture);
    if (!model.Succeeded()) return Result{name, Outcome::Refused, imported.Refusal()};
    if (!exported) return Result{name, Outcome::Failed, messages.failure};
    return Result{name, Outcome::Converted, {}};
}

Result ExportFiles(const Imported& imported, const ModelName& name, const fs::path& output, const Options& options,
                   ExportMessages& messages) {
    PendingPicture picture;
    return FinishPicture(ExportFiles(imported, name, output, options, messages, picture), picture, messages);
}

Result FinishPicture(Result result, PendingPicture& picture, const ExportMessages& messages) {
    if (picture.Finish() || result.outcome != Outcome::Converted) return result;
    return Result{result.name, Outcome::Failed, messages.failure};
}

Result AddToGallery(Result result, const Imported& imported, const fs::path& output, const Options& options,
                    Gallery& gallery, ExportMessages& messages) {
    if (result.outcome != Outcome::Converted) return result;
    const ReceivedModel& model = imported.Converted();
    if (gallery.AddModel(result.name, output, model, imported.Groups(), ExportsThumbnail(model, options.exportOptions),
                         messages))
        return result;
    return Result{result.name, Outcome::Failed, messages.failure};
}

Result ExportModel(const Imported& imported, const ModelName& name, const fs::path& output, const Options& options,
                   Gallery* gallery, ExportMessages& messages) {
    Result result = ExportFiles(imported, name, output, options, messages);
    return gallery == nullptr ? result : AddToGallery(std::move(result), imported, output, options, *gallery, messages);
}

std::vector<GalleryInput> GalleryInputs(const std::vector<std::string>& files, const std::vector<InputKind>& kinds) {
    std::vector<GalleryInput> inputs;
    for (size_t i = 0; i < files.size(); ++i)
        inputs.push_back({files[i], ArgumentPath(files[i]).filename().u8string(),
                          kinds[i] == InputKind::Model || kinds[i] == InputKind::Missing});
    return inputs;
}

std::string GalleryTitle(const std::vector<std::string>& files) {
    std::string title;
    for (const std::string& file : files) title += (title.empty() ? "" : ", ") + ArgumentPath(file).filename().u8string();
    return title;
}

bool WriteGallery(Gallery& gallery, const std::vector<Result>& results, const Options& options, std::ostream& out) {
    for (const Result& result : results)
        if (result.outcome != Outcome::Converted)
            gallery.AddUnconverted(result.name, result.outcome == Outcome::Refused,
                                   result.reason);
    ExportMessages messages;
    if (!gallery.Write(GalleryTitle(options.files), messages)) {
        PrintMessages(messages, false);
        return false;
    }
    out << "gallery: " << Shown(fs::u8path(options.exportDir) / GALLERY_PAGE) << "\n";
    return true;
}
