// mdlhost: the reference host and converter. Loads the plug-in module, asks
// it what it is, gives it a window and imports a model, then reports what it
// received and, on request, exports it. Given several models (files, folders
// of them, Quake .pak archives), it converts each in turn and sums up, and
// with --gallery writes the page that shows them all. Files dropped on it in
// a file manager are converted so, into a folder beside the first.
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "converter_host.h"
#include "export_scene.h"
#include "gallery.h"
#include "inputs.h"
#include "pak_reader.h"
#include "reports.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    std::vector<std::string> files;  // UTF-8, as given
    bool json = false;
    std::vector<std::string> refused;
    std::string exportDir;  // UTF-8
    ExportOptions exportOptions;
    bool gallery = false;
    bool dropped = false;  // files dropped on the program: converted as many, then it waits for Enter
    std::string plugin;  // the module's path, UTF-8
};

// What became of every model, counted; the counts give the exit status.
class Summary {
public:
    void Add(Result result) {
        ++(result.outcome == Outcome::Converted ? converted : result.outcome == Outcome::Refused ? refused : failed);
        results.push_back(std::move(result));
    }
    int ExitStatus() const { return refused + failed == 0 ? 0 : 1; }
    const std::vector<Result>& Results() const { return results; }
    void Print(std::ostream& out) const {
        out << converted << " converted, " << refused << " refused, " << failed << " failed\n";
        for (const Result& result : results) {
            if (result.outcome == Outcome::Refused) out << "refused " << result.shown << ": " << result.reason << "\n";
            if (result.outcome == Outcome::Failed) out << "failed " << result.shown << ": " << result.reason << "\n";
        }
    }

private:
    size_t converted = 0;
    size_t refused = 0;
    size_t failed = 0;
    std::vector<Result> results;
};

// Dumps as one JSON array, written as they come; each dump may end its text
// with a newline or not.
class JsonArray {
public:
    explicit JsonArray(std::ostream& out_) : out(out_) { out << "["; }
    void Add(std::string_view value) {
        while (!value.empty() && value.back() == '\n') value.remove_suffix(1);
        out << (empty ? "\n" : ",\n") << value;
        empty = false;
    }
    void Close() { out << "\n]\n" << std::flush; }

private:
    std::ostream& out;
    bool empty = true;
};

// The export's notes and failure as mdlhost prints them, under its name.
void PrintMessages(const ExportMessages& messages, bool imported) {
    for (const std::string& note : messages.notes) std::cerr << "mdlhost: " << note << "\n";
    if (!messages.Failed()) return;
    std::cerr << "mdlhost: " << messages.failure << "\n";
    if (imported) std::cerr << "mdlhost: the export is incomplete\n";
}

// An archive entry as a file of its own for the plug-in, removed afterwards.
class TemporaryModel {
public:
    TemporaryModel(const PakArchive& archive, const PakEntry& entry, std::string& error) {
        std::vector<uint8_t> bytes;
        if (!archive.Read(entry, bytes, error)) return;
        std::error_code failure;
        const fs::path folder = fs::temp_directory_path(failure);
        if (failure) {
            error = "no temporary folder: " + failure.message();
            return;
        }
        std::random_device random;
        const fs::path name = "mdlhost-" + std::to_string(random()) + "-" + std::to_string(random()) + ".mdl";
        ExportMessages messages;
        OutputFile file(OutputFolder(folder, messages), name);
        file.Write(bytes.data(), bytes.size());
        if (!file.Commit()) {
            error = messages.failure;
            return;
        }
        path = folder / name;
    }
    ~TemporaryModel() {
        std::error_code ignored;
        if (!path.empty()) fs::remove(path, ignored);
    }
    TemporaryModel(const TemporaryModel&) = delete;
    TemporaryModel& operator=(const TemporaryModel&) = delete;

    const fs::path& Path() const { return path; }

private:
    fs::path path;
};

std::string BoxTexts(const ReceivedModel& model) {
    std::string texts;
    for (const MessageBoxSeen& box : model.messageBoxes) texts += (texts.empty() ? "" : " / ") + box.text;
    return texts.empty() ? "the import failed" : texts;
}

// One import, as both kinds of run make it: the capture and the model built
// from it, which points into the capture and so lives beside it.
class Imported {
public:
    // Null, with the reason, when the file cannot be handed to the plug-in.
    static std::unique_ptr<Imported> Run(ConverterHost& host, const fs::path& file, const std::string& shown,
                                         std::string& error) {
        const PluginPath pluginPath(file, error);
        if (pluginPath.Get().empty()) return nullptr;
        return std::unique_ptr<Imported>(new Imported(host.Import(pluginPath.Get()), shown));
    }
    Imported(const Imported&) = delete;
    Imported& operator=(const Imported&) = delete;
    const ReceivedModel& Model() const { return model; }

private:
    Imported(ImportCapture capture_, const std::string& shown) : capture(std::move(capture_)) {
        capture.file = shown;
        model = ReceiveModel(capture);
    }

    ImportCapture capture;
    ReceivedModel model;
};

// An imported model exported into its folder (output, under the export's;
// empty for the export's own), and its card added to the gallery when there
// is one: what became of it, the export's notes and failure in messages.
// What became of a model, with where it came from.
Result Ended(const GalleryName& name, Outcome outcome, std::string reason) {
    return {name.full, outcome, std::move(reason), name.input, name.inside};
}

GalleryName NameOf(const ModelSource& source) {
    return {source.argument, source.relative.generic_u8string(), source.shown};
}

Result ExportModel(const ReceivedModel& model, const GalleryName& name, const fs::path& output,
                   const Options& options, Gallery* gallery, ExportMessages& messages) {
    const fs::path root = fs::u8path(options.exportDir);
    const bool exported =
        ExportScene(model, OutputFolder(output.empty() ? root : root / output, messages), options.exportOptions) &&
        (gallery == nullptr ||
         gallery->AddModel(name, output, model, ExportsThumbnail(model, options.exportOptions), messages));
    if (!model.Succeeded()) return Ended(name, Outcome::Refused, BoxTexts(model));
    if (!exported) return Ended(name, Outcome::Failed, messages.failure);
    return Ended(name, Outcome::Converted, {});
}

Result Convert(ConverterHost& host, const ModelSource& source, const fs::path& output, const Options& options,
               std::string* json, Gallery* gallery) {
    const GalleryName name = NameOf(source);
    std::string error;
    std::unique_ptr<TemporaryModel> copy;
    if (source.archive != nullptr) {
        copy = std::make_unique<TemporaryModel>(*source.archive, source.archive->Entries()[source.entry], error);
        if (!error.empty()) return Ended(name, Outcome::Failed, error);
    }
    const std::unique_ptr<Imported> imported = Imported::Run(host, copy ? copy->Path() : source.file, source.shown, error);
    if (!imported) return Ended(name, Outcome::Failed, error);
    const ReceivedModel& model = imported->Model();
    if (json != nullptr) *json = JsonDump(model);
    if (!model.Succeeded()) return Ended(name, Outcome::Refused, BoxTexts(model));
    if (options.exportDir.empty()) return Ended(name, Outcome::Converted, {});

    ExportMessages messages;
    const Result result = ExportModel(model, name, output, options, gallery, messages);
    if (result.outcome == Outcome::Converted) PrintMessages(messages, true);  // notes, such as a model without a mesh
    return result;
}

// A line on the terminal that the next one overwrites.
class Progress {
public:
    explicit Progress(size_t total_) : total(total_), shown(ErrorsGoToATerminal()) {}
    ~Progress() { Clear(); }

    void Show(size_t done, const std::string& name) {
        if (!shown) return;
        const std::string line = "[" + std::to_string(done + 1) + "/" + std::to_string(total) + "] " + name;
        std::cerr << "\r" << line << std::string(width > line.size() ? width - line.size() : 0, ' ') << std::flush;
        width = line.size();
    }
    void Clear() {
        if (shown && width > 0) std::cerr << "\r" << std::string(width, ' ') << "\r" << std::flush;
        width = 0;
    }

private:
    size_t total;
    bool shown;
    size_t width = 0;
};

// What the gallery's models came from: each argument by its last name.
std::vector<GalleryInput> GalleryInputs(const std::vector<std::string>& files, const std::vector<InputKind>& kinds) {
    std::vector<GalleryInput> inputs;
    for (size_t i = 0; i < files.size(); ++i)
        inputs.push_back({files[i], ArgumentPath(files[i]).filename().u8string(),
                          kinds[i] == InputKind::Model || kinds[i] == InputKind::Missing});
    return inputs;
}

// The gallery's title: what was converted, by name.
std::string GalleryTitle(const std::vector<std::string>& files) {
    std::string title;
    for (const std::string& file : files) title += (title.empty() ? "" : ", ") + ArgumentPath(file).filename().u8string();
    return title;
}

// The gallery's page once every model is through, with those that did not
// convert; where it went, or why it did not.
bool WriteGallery(Gallery& gallery, const std::vector<Result>& results, const Options& options, std::ostream& out) {
    for (const Result& result : results)
        if (result.outcome != Outcome::Converted)
            gallery.AddUnconverted({result.argument, result.inside, result.shown}, result.outcome == Outcome::Refused,
                                   result.reason);
    ExportMessages messages;
    if (!gallery.Write(GalleryTitle(options.files), messages)) {
        PrintMessages(messages, false);
        return false;
    }
    out << "gallery: " << Shown(fs::u8path(options.exportDir) / GALLERY_PAGE) << "\n";
    return true;
}

// Several models: each converted in turn, whatever befalls the others; the
// dumps as one JSON array, or a summary; 0 when every model converted.
int ConvertMany(ConverterHost& host, const Options& options, const std::vector<InputKind>& kinds) {
    const Inputs inputs = Collect(options.files, kinds);
    std::optional<Gallery> gallery;
    if (options.gallery) gallery.emplace(fs::u8path(options.exportDir), GalleryInputs(options.files, kinds));
    const std::vector<fs::path> folders =
        ChooseOutputFolders(inputs.models, gallery ? std::vector<std::string>{GALLERY_PAGE, GALLERY_FILES}
                                                   : std::vector<std::string>{});
    Summary summary;
    for (const Result& result : inputs.unreadable) summary.Add(result);
    std::optional<JsonArray> dumps;
    if (options.json) dumps.emplace(std::cout);
    {
        Progress progress(inputs.models.size());
        for (size_t i = 0; i < inputs.models.size(); ++i) {
            progress.Show(i, inputs.models[i].shown);
            std::string json;  // none for a model that fails before its import
            try {
                summary.Add(Convert(host, inputs.models[i], folders[i], options, dumps ? &json : nullptr,
                                    gallery ? &*gallery : nullptr));
            } catch (const std::exception& failure) {
                summary.Add(Ended(NameOf(inputs.models[i]), Outcome::Failed, failure.what()));
            }
            if (dumps && !json.empty()) dumps->Add(json);
        }
    }
    if (dumps) dumps->Close();
    std::ostream& out = options.json ? std::cerr : std::cout;
    summary.Print(out);
    if (gallery && !WriteGallery(*gallery, summary.Results(), options, out)) return 1;
    return summary.ExitStatus();
}

// The command line into options; a status to exit with when there is
// nothing to convert (help, or a command line that is wrong).
std::optional<int> ParseOptions(const std::vector<std::string>& arguments, Options& options) {
    CLI::App app{"Imports model files through the plug-in and reports what the host received; converts them "
                 "to glTF and OBJ with --export. FILE may name models, folders of models and .pak archives."};
    // Options begin with '-' on every platform: on Windows, /Models/ogre.mdl
    // is a path like any other.
    app.allow_windows_style_options(false);
    options.plugin = DefaultPluginPath().u8string();
    std::string interpolation = "step";
    std::string normals = "smooth";
    app.add_option("file", options.files,
                   "model files, folders (every .mdl under them) and .pak archives (every .mdl in them); "
                   "on Linux the bundled sample by default");
    app.add_flag("--json", options.json, "print the JSON dump instead of the report (several models: an array)");
    app.add_option("--refuse", options.refused, "make the host window refuse this delivery (PM_FACES, PM_VERTICES, "
                                                "PM_ANIMATIONS, PM_TEXTURES, PM_FACEMAPS); may be repeated")
        ->allow_extra_args(false)
        ->check([](const std::string& name) {
            return FindDelivery(name.c_str()) ? std::string() : "not a delivery message: " + name;
        });
    CLI::Option* exportOption = app.add_option("--export", options.exportDir,
                   "write what the host received to this folder (several models: each to a folder of its own "
                   "in it): model.glb (binary glTF with every skin and animation), model.obj with its skins "
                   "as PNG, and thumbnail.png, a picture of the model");
    app.add_option("--export-interpolation", interpolation, "animation playback in model.glb: step (default) or linear")
        ->check(CLI::IsMember({"step", "linear"}));
    app.add_option("--export-normals", normals,
                   "normals in the export: smooth (default), per point and frame, or none for smaller files")
        ->check(CLI::IsMember({"smooth", "none"}));
    app.add_flag("--export-frames", options.exportOptions.frames,
                 "also write every animation frame as an OBJ under frames/");
    app.add_option("--export-thumbnail", options.exportOptions.thumbnail,
                   "thumbnail.png's width and height in pixels (default " + std::to_string(THUMBNAIL_DEFAULT_SIZE) +
                       "), 0 for none")
        ->check(CLI::Range(0, THUMBNAIL_LARGEST_SIZE));
    app.add_flag("--gallery", options.gallery,
                 "also write index.html in the export's folder: a page of every converted model, its picture and "
                 "counts, and a 3D view of the one chosen, which a browser opens from disk")
        ->needs(exportOption);
    app.add_option("--plugin", options.plugin, "plug-in module to load");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    try {
        app.parse(int(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        // Help asked for is a success; any other fault of the command line
        // is exit 2, whatever the parser numbers it.
        return app.exit(error) == 0 ? 0 : 2;
    }
    options.exportOptions.interpolation = interpolation == "linear" ? Interpolation::Linear : Interpolation::Step;
    options.exportOptions.normals = normals == "smooth";
    if (options.files.empty()) options.files.push_back(DefaultModel().u8string());
    if (options.files[0].empty()) {
        std::cerr << "mdlhost: name a model, a folder of models or a .pak archive\n";
        return 1;
    }
    return std::nullopt;
}

// One model, reported whole: the plug-in's answers, the report or the dump.
int ConvertOne(ConverterHost& host, const std::string& file, const PluginIdentity& plugin, const Options& options) {
    std::string error;
    const std::unique_ptr<Imported> imported = Imported::Run(host, fs::u8path(file), file, error);
    if (!imported) {
        std::cerr << "mdlhost: cannot hand " << file << " to the plug-in: " << error << "\n";
        return 1;
    }
    const ReceivedModel& model = imported->Model();
    int status = 0;
    if (!options.exportDir.empty()) {
        std::optional<Gallery> gallery;
        const std::string name = ArgumentPath(file).filename().u8string();
        if (options.gallery) gallery.emplace(fs::u8path(options.exportDir), std::vector<GalleryInput>{{file, name, true}});
        ExportMessages messages;
        const Result result = ExportModel(model, {0, name, file}, {}, options, gallery ? &*gallery : nullptr, messages);
        if (result.outcome != Outcome::Converted) status = 1;
        PrintMessages(messages, model.Succeeded());
        if (gallery && !WriteGallery(*gallery, {result}, options, std::cerr)) status = 1;
    }
    const std::string header = "Plug-in type: " + std::to_string(plugin.type) + "\nFilter: " + plugin.filter + "\n";
    std::cout << (options.json ? JsonDump(model) : header + TextReport(model, plugin.description)) << std::flush;
    if (!model.Succeeded()) status = 1;
    return status;
}

// Files dropped on the program in a file manager, which gives it a console
// of its own that closes with it: the dropped files converted with the
// gallery, and the window kept open until the person has read it.
std::optional<std::vector<std::string>> DroppedFilesArguments(const std::vector<std::string>& arguments,
                                                              bool ownConsole) {
    const std::vector<std::string> files(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
    if (files.empty()) return std::nullopt;
    const std::optional<fs::path> folder = DroppedFilesFolder(files, Classify(files[0]), ownConsole);
    if (!folder) return std::nullopt;
    std::vector<std::string> dropped = arguments;
    dropped.insert(dropped.end(), {"--export", folder->u8string(), "--gallery"});
    return dropped;
}

void WaitForEnter() {
    std::cout << "Press Enter to close this window." << std::endl;
    std::string line;
    std::getline(std::cin, line);
}

int Run(const Options& options) {
    std::string error;
    const std::unique_ptr<ConverterHost> host = LoadConverterHost(fs::u8path(options.plugin), error);
    if (!host) {
        std::cerr << "mdlhost: " << error << "\n";
        return 2;
    }
    for (const std::string& name : options.refused) host->Refuse(FindDelivery(name.c_str())->message);
    const PluginIdentity plugin = Identify(host->Plugin());
    host->Plugin().ReturnData(0, 0);

    // One model named as a file (or as what is not there) is reported whole;
    // anything more is converted in turn and summed up.
    std::vector<InputKind> kinds;
    for (const std::string& file : options.files) kinds.push_back(Classify(file));
    if (!options.dropped && kinds.size() == 1 && (kinds[0] == InputKind::Model || kinds[0] == InputKind::Missing))
        return ConvertOne(*host, options.files[0], plugin, options);
    return ConvertMany(*host, options, kinds);
}

}  // namespace

int ConverterMain(const std::vector<std::string>& arguments) {
    const bool ownConsole = StartedWithAConsoleOfItsOwn();
    if (ownConsole && arguments.size() <= 1) {
        std::cout << "Drop models, folders of models or .pak archives on this program: it converts them into a "
                     "folder beside the first, with index.html, a page that shows them all.\n";
        WaitForEnter();
        return 2;
    }
    const std::optional<std::vector<std::string>> dropped = DroppedFilesArguments(arguments, ownConsole);
    Options options;
    if (const std::optional<int> status = ParseOptions(dropped ? *dropped : arguments, options)) return *status;
    options.dropped = dropped.has_value();
    const int status = Run(options);
    if (options.dropped) WaitForEnter();
    return status;
}
