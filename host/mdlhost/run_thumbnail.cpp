// One model's picture, as a file manager's thumbnailer asks for it:
// thumbnail.png as the export draws it, at the size asked, written whole to
// the file named and nothing else: a new file as every export file is, one
// already there in place (see WriteInPlace). A model that gives no picture
// (one the plug-in refuses, or without a mesh) leaves no file and exits 1
// with the reason; the plug-in's message boxes go to the host's window,
// never to the screen.
#include <fstream>
#include <iostream>
#include <new>

#include "runs.h"

namespace fs = std::filesystem;

namespace {

// A file already there is a thumbnailer's temporary, which its caller made
// and reads through a handle of its own: a new file renamed over it would go
// unseen (tumbler reads nothing). So the picture, encoded whole beforehand,
// goes into that file; one that cannot be written whole is removed.
bool WriteInPlace(const fs::path& out, const std::string& png) {
    {
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        if (file.write(png.data(), std::streamsize(png.size())) && file.flush()) {
            file.close();
            if (file) return true;
        }
    }
    std::error_code ignored;
    fs::remove(out, ignored);
    return false;
}

}  // namespace

int DrawOneThumbnail(ConverterHost& host, const Options& options) {
    const std::string& file = options.files[0];
    const auto none = [&](const std::string& reason) {
        std::cerr << "mdlhost: no picture of " << file << ": " << reason << "\n";
        return 1;
    };
    std::string error;
    const std::unique_ptr<Imported> imported = Imported::Run(host, fs::u8path(file), file, error);
    if (!imported || !imported->Ungroup(host, fs::u8path(file), error)) return none(error);
    const ReceivedModel& model = imported->Converted();
    if (!model.Succeeded()) return none(imported->Refusal());
    ExportOptions exportOptions = options.exportOptions;
    exportOptions.thumbnail = options.thumbnailSize;
    if (!ExportsThumbnail(model, exportOptions)) return none("the model has no mesh");

    const fs::path out = fs::u8path(options.thumbnailFile);
    ExportMessages messages;
    try {
        const std::string png = ThumbnailAlone(model, imported->Groups(), exportOptions);
        std::error_code unknown;
        if (fs::is_regular_file(out, unknown)) return WriteInPlace(out, png) ? 0 : none("cannot write " + Shown(out));
        const OutputFolder folder(out.has_parent_path() ? out.parent_path() : fs::path("."), messages);
        if (!folder.WriteFile(out.filename(), png)) return none(messages.failure);
    } catch (const std::bad_alloc&) {
        return none("not enough memory");
    }
    return 0;
}
