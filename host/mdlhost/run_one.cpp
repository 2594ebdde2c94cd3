// One model named as a file, reported whole: the plug-in's answers, the
// report or the dump, and on request its export and gallery.
#include <iostream>

#include "reports.h"
#include "runs.h"

namespace fs = std::filesystem;

int ConvertOne(ConverterHost& host, const std::string& file, const PluginIdentity& plugin, const Options& options) {
    std::string error;
    const std::unique_ptr<Imported> imported = Imported::Run(host, fs::u8path(file), file, error);
    if (!imported) {
        std::cerr << "mdlhost: cannot hand " << file << " to the plug-in: " << error << "\n";
        return 1;
    }
    const ReceivedModel& model = imported->Model();
    // The report's verdict, unless the model is exported: then the export's.
    int status = model.Succeeded() ? 0 : 1;
    if (!options.exportDir.empty()) {
        status = 0;
        if (!imported->Ungroup(host, fs::u8path(file), error)) {
            std::cerr << "mdlhost: " << error << "\n";
            status = 1;
        }
        std::optional<Gallery> gallery;
        const std::string name = ArgumentPath(file).filename().u8string();
        if (options.gallery) gallery.emplace(fs::u8path(options.exportDir), std::vector<GalleryInput>{{file, name, true}});
        ExportMessages messages;
        const Result result =
            ExportModel(*imported, {0, name, file}, {}, options, gallery ? &*gallery : nullptr, messages);
        if (result.outcome != Outcome::Converted) status = 1;
        if (!imported->BadGroup().empty()) std::cerr << "mdlhost: " << imported->BadGroup() << "\n";
        PrintMessages(messages, imported->Converted().Succeeded());
        if (gallery && !WriteGallery(*gallery, {result}, options, std::cerr)) status = 1;
    }
    const std::string header = "Plug-in type: " + std::to_string(plugin.type) + "\nFilter: " + plugin.filter + "\n";
    std::cout << (options.json ? JsonDump(model) : header + TextReport(model, plugin.description)) << std::flush;
    return status;
}
