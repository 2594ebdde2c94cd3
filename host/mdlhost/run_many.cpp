// Several models (files, folders of them, archives): each converted in
// turn, whatever befalls the others, with a progress line, then summed up.
#include <algorithm>
#include <deque>
#include <future>
#include <iostream>
#include <optional>
#include <thread>
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

// Models that one job leaves drawing their pictures while it converts the
// next: each held whole meanwhile.
constexpr size_t PICTURES_BEHIND = 3;

// A model on its way: imported, then exported on a worker while the next
// ones are imported, its picture drawn on past the rest; retired in the
// models' order. What the worker and the picture use is on the heap, where
// a move leaves it.
struct Pending {
    std::optional<Result> ended;  // before its export: failed, refused, or converted without one
    std::unique_ptr<Imported> imported;
    std::unique_ptr<ExportMessages> messages;  // the worker's, read once it is done
    std::unique_ptr<PendingPicture> picture;   // the worker's, finished once it is done
    std::future<Result> exported;             // last: the worker ends before what it uses
};

// Whatever a worker throws ends its model, not the run.
Result Exported(const Imported& imported, const ModelName& name, const fs::path& output, const Options& options,
                ExportMessages& messages, PendingPicture& picture) {
    try {
        return ExportFiles(imported, name, output, options, messages, picture);
    } catch (const std::exception& failure) {
        return Result{name, Outcome::Failed, failure.what()};
    }
}

// The import and what comes before the export, on this thread, whose window
// receives the plug-in's deliveries: the plug-in imports one model at a time.
Pending Prepare(ConverterHost& host, const ModelSource& source, const fs::path& output, const Options& options,
                bool worker, std::string* json) {
    const ModelName& name = source.name;
    Pending pending;
    const auto end = [&pending](Result result) {
        pending.ended = std::move(result);
        return std::move(pending);
    };
    std::string error;
    std::unique_ptr<TemporaryModel> copy;
    if (source.archive != nullptr) {
        std::vector<uint8_t> bytes;
        if (!source.archive->Read(source.archive->Entries()[source.entry], bytes, error))
            return end({name, Outcome::Failed, error});
        copy = std::make_unique<TemporaryModel>(bytes, error);
        if (!error.empty()) return end({name, Outcome::Failed, error});
    }
    const fs::path& file = copy ? copy->Path() : source.file;
    pending.imported = Imported::Run(host, file, source.name.shown, error);
    if (!pending.imported) return end({name, Outcome::Failed, error});
    const Imported& imported = *pending.imported;
    if (json != nullptr) *json = JsonDump(imported.Model());
    if (options.exportDir.empty()) {
        if (!imported.Model().Succeeded()) return end({name, Outcome::Refused, BoxTexts(imported.Model())});
        return end({name, Outcome::Converted, {}});
    }
    if (!pending.imported->Ungroup(host, file, error)) return end({name, Outcome::Failed, error});
    if (!imported.Converted().Succeeded()) return end({name, Outcome::Refused, imported.Refusal()});

    pending.messages = std::make_unique<ExportMessages>();
    pending.picture = std::make_unique<PendingPicture>();
    ExportMessages& messages = *pending.messages;
    PendingPicture& picture = *pending.picture;
    if (!worker) return end(Exported(imported, name, output, options, messages, picture));
    pending.exported = std::async(std::launch::async, Exported, std::cref(imported), std::cref(name), std::cref(output),
                                  std::cref(options), std::ref(messages), std::ref(picture));
    return pending;
}

// The model's export once done, its picture written, its card added in the
// models' order, its notes printed (such as a model without a mesh).
Result Retire(Pending& pending, const fs::path& output, const Options& options, Gallery* gallery) {
    Result result = pending.ended ? std::move(*pending.ended) : pending.exported.get();
    if (!pending.messages) return result;
    result = FinishPicture(std::move(result), *pending.picture, *pending.messages);
    if (gallery != nullptr)
        result = AddToGallery(std::move(result), *pending.imported, output, options, *gallery, *pending.messages);
    if (result.outcome == Outcome::Converted) PrintMessages(*pending.messages, true);
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
        // A model is exported while the next ones are imported, as many at
        // once as there are jobs. One job exports each in turn, as it comes,
        // and its picture is finished while the next few are converted: a
        // picture costs about what the rest of a small model does, and a
        // model that takes longer than its picture leaves time for the
        // pictures of the small ones after it.
        const size_t jobs = options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
        std::deque<std::pair<size_t, Pending>> flight;  // each with its model's index
        const auto retire = [&] {
            const size_t i = flight.front().first;
            try {
                summary.Add(Retire(flight.front().second, folders[i], options, gallery ? &*gallery : nullptr));
            } catch (const std::exception& failure) {
                summary.Add({inputs.models[i].name, Outcome::Failed, failure.what()});
            }
            flight.pop_front();
        };
        Progress progress(inputs.models.size());
        for (size_t i = 0; i < inputs.models.size(); ++i) {
            progress.Show(i, inputs.models[i].name.shown);
            while (jobs > 1 && flight.size() >= jobs) retire();
            std::string json;  // none for a model that fails before its import
            try {
                flight.emplace_back(i, Prepare(host, inputs.models[i], folders[i], options, jobs > 1,
                                               dumps ? &json : nullptr));
            } catch (const std::exception& failure) {
                Pending failed;
                failed.ended = Result{inputs.models[i].name, Outcome::Failed, failure.what()};
                flight.emplace_back(i, std::move(failed));
            }
            if (dumps && !json.empty()) dumps->Add(json);
            while (jobs == 1 && flight.size() > PICTURES_BEHIND) retire();
        }
        while (!flight.empty()) retire();
    }
    if (dumps) dumps->Close();
    std::ostream& out = options.json ? std::cerr : std::cout;
    summary.Print(out);
    if (gallery && !WriteGallery(*gallery, summary.Results(), options, out)) return 1;
    return summary.ExitStatus();
}
