// mdlhost: the reference host and converter. Loads the plug-in module, asks
// it what it is, gives it a window and imports a model, then reports what it
// received and, on request, exports it. Given several models (files, folders
// of them, Quake .pak archives), it converts each in turn and sums up, and
// with --gallery writes the page that shows them all. Files dropped on it in
// a file manager are converted so, into a folder beside the first. Each kind
// of run has a file of its own; this one reads the options and dispatches.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "runs.h"

namespace fs = std::filesystem;

namespace {

// The command line into options, droppedOnProgram when it was made for
// files dropped on the program; a status to exit with when there is nothing
// to convert (help, or a command line that is wrong).
std::optional<int> ParseOptions(const std::vector<std::string>& arguments, bool droppedOnProgram, Options& options) {
    CLI::App app{"Imports model files through the plug-in and reports what the host received; converts them "
                 "to glTF and OBJ with --export. FILE may name models, folders of models and .pak archives."};
    // Options begin with '-' on every platform: on Windows, /Models/ogre.mdl
    // is a path like any other.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "mdlhost " MDL_VERSION, "print the program's version and exit");
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
    CLI::Option* thumbnailOption =
        app.add_option("--thumbnail", options.thumbnailFile,
                       "draw only the model's picture into this PNG file, the same bytes as --export's "
                       "thumbnail.png, and write nothing else, as a file manager's thumbnailer asks; exits 1, "
                       "writing no file, for a model that gives no picture")
            ->excludes(exportOption)
            ->excludes("--json");
    app.add_option("--thumbnail-size", options.thumbnailSize,
                   "--thumbnail's width and height in pixels (default " + std::to_string(THUMBNAIL_DEFAULT_SIZE) + ")")
        ->check(CLI::Range(1, THUMBNAIL_LARGEST_SIZE))
        ->needs(thumbnailOption);
    app.add_flag("--open", options.open,
                 "convert into a folder beside the first file named (NAME converted), with the gallery, and show "
                 "the gallery in the web browser: what the desktop's Open With runs")
        ->excludes(exportOption)
        ->excludes(thumbnailOption);
    app.add_option("-j,--jobs", options.jobs,
                   "models exported at once when converting several (default: one a core); the plug-in imports "
                   "them one at a time, and the outputs are the same whatever the number")
        ->check(CLI::Range(1u, 256u));
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
    if (!options.thumbnailFile.empty() && options.files.size() != 1) {
        std::cerr << "mdlhost: --thumbnail draws one model\n";
        return 2;
    }
    if (options.open) {
        const std::optional<fs::path> folder = DroppedFilesFolder(options.files, Classify(options.files[0]), true);
        if (!folder) {
            std::cerr << "mdlhost: --open converts files, folders and archives that are there\n";
            return 2;
        }
        options.exportDir = folder->u8string();
        options.gallery = true;
    }
    options.dropped = droppedOnProgram || options.open;
    return std::nullopt;
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

// The kinds of run, each in a file of its own.
enum class RunKind {
    Picture,     // --thumbnail: one model's picture alone
    OneModel,    // one model named as a file (or as what is not there), reported whole
    ManyModels,  // anything more, or files dropped on the program: converted in turn and summed up
};

RunKind KindOfRun(const Options& options, const std::vector<InputKind>& kinds) {
    if (!options.thumbnailFile.empty()) return RunKind::Picture;
    const bool oneModel = kinds.size() == 1 && (kinds[0] == InputKind::Model || kinds[0] == InputKind::Missing);
    return oneModel && !options.dropped ? RunKind::OneModel : RunKind::ManyModels;
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

    std::vector<InputKind> kinds;
    for (const std::string& file : options.files) kinds.push_back(Classify(file));
    switch (KindOfRun(options, kinds)) {
    case RunKind::Picture: return DrawOneThumbnail(*host, options);
    case RunKind::OneModel: return ConvertOne(*host, options.files[0], plugin, options);
    case RunKind::ManyModels: return ConvertMany(*host, options, kinds);
    }
    return 2;
}

// The gallery of an --open run in the desktop's web browser. False, having
// said where the page is, when no browser opened it.
bool ShowGallery(const Options& options) {
    const fs::path page = fs::u8path(options.exportDir) / GALLERY_PAGE;
    std::error_code error;
    if (!fs::exists(page, error)) return false;  // the run has said why
    if (OpenInBrowser(page)) return true;
    std::cout << "No web browser opened the gallery. Open " << Shown(page) << " in one." << std::endl;
    return false;
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
    if (const std::optional<int> status = ParseOptions(dropped ? *dropped : arguments, dropped.has_value(), options))
        return *status;
    const int status = Run(options);
    const bool shown = options.open && ShowGallery(options);
    // The window closes with the program: it stays while there is something
    // to read, a failure or a gallery that no browser showed.
    if (options.dropped && (status != 0 || !shown)) WaitForEnter();
    return status;
}
