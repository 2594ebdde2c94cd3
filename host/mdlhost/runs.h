// What the converter's kinds of run share (one model reported whole, many
// converted in turn, one model's picture): the options, one model's import,
// its export with its card in the gallery, and the gallery's page.
#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "converter_host.h"
#include "export_scene.h"
#include "gallery.h"
#include "inputs.h"

struct Options {
    std::vector<std::string> files;  // UTF-8, as given
    bool json = false;
    std::vector<std::string> refused;
    std::string exportDir;  // UTF-8
    ExportOptions exportOptions;
    bool gallery = false;
    bool dropped = false;  // files dropped on the program: converted as many, then it waits for Enter
    bool open = false;     // opened from a desktop entry: as dropped, then the gallery shown in a browser
    std::string thumbnailFile;  // the picture alone: where it goes (UTF-8), or empty
    int thumbnailSize = THUMBNAIL_DEFAULT_SIZE;
    unsigned jobs = 0;  // models exported at once; 0: one a core
    std::string plugin;  // the module's path, UTF-8
};

// The export's notes and failure as mdlhost prints them, under its name.
void PrintMessages(const ExportMessages& messages, bool imported);

// The plug-in's message boxes, as the reason a model was refused.
std::string BoxTexts(const ReceivedModel& model);

// A model as a file of its own for the plug-in, under a temporary name,
// removed with this object: an archive's entry, or a model ungrouped.
class TemporaryModel {
public:
    // Empty, with the reason in error, when it cannot be written.
    TemporaryModel(const std::vector<uint8_t>& bytes, std::string& error);
    ~TemporaryModel();
    TemporaryModel(const TemporaryModel&) = delete;
    TemporaryModel& operator=(const TemporaryModel&) = delete;

    const std::filesystem::path& Path() const { return path; }

private:
    std::filesystem::path path;
};

// One import, as every kind of run makes it: the capture and the model built
// from it, which points into the capture and so lives beside it. The plug-in
// refuses groups; for the export, a model it refused is imported once more
// when the file has groups, as the same model with every group's skins and
// frames as single entries, and the groups are kept to time and name them.
class Imported {
public:
    // Null, with the reason, when the file cannot be handed to the plug-in.
    static std::unique_ptr<Imported> Run(ConverterHost& host, const std::filesystem::path& file, const std::string& shown,
                                         std::string& error);
    Imported(const Imported&) = delete;
    Imported& operator=(const Imported&) = delete;

    // What the host received: the report and the dump.
    const ReceivedModel& Model() const { return model; }

    // The import again with the groups as single entries, where the plug-in
    // refused file and it has groups. False, with the reason, when the file
    // cannot be read again or the model handed over; a bad group is no
    // failure here but the reason the model is refused.
    bool Ungroup(ConverterHost& host, const std::filesystem::path& file, std::string& error);
    // What the export converts, with its groups (none unless ungrouped).
    const ReceivedModel& Converted() const { return ungrouped ? ungrouped->model : model; }
    const MdlGroups& Groups() const { return groups; }
    // Why Converted() is refused: a bad group, or the plug-in's boxes.
    std::string Refusal() const;
    // What is wrong with the file's groups, or empty.
    const std::string& BadGroup() const { return badGroup; }

private:
    Imported(ImportCapture capture_, const std::string& shown_) : capture(std::move(capture_)), shown(shown_) {
        capture.file = shown;
        model = ReceiveModel(capture);
    }

    ImportCapture capture;
    ReceivedModel model;
    std::string shown;
    std::unique_ptr<Imported> ungrouped;
    MdlGroups groups;
    std::string badGroup;
};

// An imported model (Converted()) exported into its folder (output, under
// the export's; empty for the export's own): what became of it, the export's
// notes and failure in messages. On any thread: it reads only the model.
Result ExportFiles(const Imported& imported, const ModelName& name, const std::filesystem::path& output,
                   const Options& options, ExportMessages& messages);
// The same, but a converted model's thumbnail.png is left in picture to
// finish, while the imported model stays; FinishPicture then gives the
// result.
Result ExportFiles(const Imported& imported, const ModelName& name, const std::filesystem::path& output,
                   const Options& options, ExportMessages& messages, PendingPicture& picture);
// The result once the picture is written: failed when it cannot be.
Result FinishPicture(Result result, PendingPicture& picture, const ExportMessages& messages);
// An exported model's card in the gallery, on the gallery's thread and in
// the models' order: the result, failed when the card cannot be written.
Result AddToGallery(Result result, const Imported& imported, const std::filesystem::path& output,
                    const Options& options, Gallery& gallery, ExportMessages& messages);
// Both in turn, the card when there is a gallery.
Result ExportModel(const Imported& imported, const ModelName& name, const std::filesystem::path& output,
                   const Options& options, Gallery* gallery, ExportMessages& messages);

// What the gallery's models came from: each argument by its last name.
std::vector<GalleryInput> GalleryInputs(const std::vector<std::string>& files, const std::vector<InputKind>& kinds);

// The gallery's title: what was converted, by name.
std::string GalleryTitle(const std::vector<std::string>& files);

// The gallery's page once every model is through, with those that did not
// convert; where it went, or why it did not.
bool WriteGallery(Gallery& gallery, const std::vector<Result>& results, const Options& options, std::ostream& out);

// One model, reported whole: the plug-in's answers, the report or the dump.
int ConvertOne(ConverterHost& host, const std::string& file, const PluginIdentity& plugin, const Options& options);

// Several models: each converted in turn, whatever befalls the others; the
// dumps as one JSON array, or a summary; 0 when every model converted.
int ConvertMany(ConverterHost& host, const Options& options, const std::vector<InputKind>& kinds);

// One model's picture alone, into options.thumbnailFile: 0 when written, 1
// with the reason when the model gives none.
int DrawOneThumbnail(ConverterHost& host, const Options& options);
