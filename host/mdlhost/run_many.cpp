// Several models (files, folders of them, archives): each converted in
// turn, whatever befalls the others, with a progress line, then summed up.
#include <iostream>
#include <optional>
#include <string_view>

#include "pak_reader.h"
#include "reports.h"
#include "runs.h"

namespace fs = std::filesystem;

namespace {

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
            if (result.outcome == Outcome::Refused) out << "refused " << result.name.shown << ": " << result.reason << "\n";
            if (result.outcome == Outcome::Failed) out << "failed " << result.name.shown << ": " << result.reason << "\n";
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

Result Convert(ConverterHost& host, const ModelSource& source, const fs::path& output, const Options& options,
               std::string* json, Gallery* gallery) {
    const ModelName& name = source.name;
    std::string error;
    std::unique_ptr<TemporaryModel> copy;
    if (source.archive != nullptr) {
        std::vector<uint8_t> bytes;
        if (!source.archive->Read(source.archive->Entries()[source.entry], bytes, error))
            return Result{name, Outcome::Failed, error};
        copy = std::make_unique<TemporaryModel>(bytes, error);
        if (!error.empty()) return Result{name, Outcome::Failed, error};
    }
    const fs::path& file = copy ? copy->Path() : source.file;
    const std::unique_ptr<Imported> imported = Imported::Run(host, file, source.name.shown, error);
    if (!imported) return Result{name, Outcome::Failed, error};
    if (json != nullptr) *json = JsonDump(imported->Model());
    if (options.exportDir.empty()) {
        if (!imported->Model().Succeeded()) return Result{name, Outcome::Refused, BoxTexts(imported->Model())};
        return Result{name, Outcome::Converted, {}};
    }
    if (!imported->Ungroup(host, file, error)) return Result{name, Outcome::Failed, error};
    if (!imported->Converted().Succeeded()) return Result{name, Outcome::Refused, imported->Refusal()};

    ExportMessages messages;
    const Result result = ExportModel(*imported, name, output, options, gallery, messages);
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

}  // namespace

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
            progress.Show(i, inputs.models[i].name.shown);
            std::string json;  // none for a model that fails before its import
            try {
                summary.Add(Convert(host, inputs.models[i], folders[i], options, dumps ? &json : nullptr,
                                    gallery ? &*gallery : nullptr));
            } catch (const std::exception& failure) {
                summary.Add({inputs.models[i].name, Outcome::Failed, failure.what()});
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
