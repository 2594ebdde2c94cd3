// Times whole import runs in-process, as a host makes them, against the floor
// (one read of the file plus writing as many bytes as the import delivers)
// and, when given its times, a peer importer; prints one table and the cost
// per frame and per vertex.
//
// Usage: import_bench [--write-models DIR] [--write-real DIR N] [--peer FILE] [--thumbnail FILE]
//                     [--thumbnails DIR] [benchmark flags]
//   --write-models DIR  write the table's models to DIR and exit
//   --write-real DIR N  write N models shaped like a game's to DIR and exit
//   --peer FILE         lines "model seconds" from the peer's helper
//   --thumbnail FILE    print the milliseconds thumbnail.png of FILE takes
//                       (drawn and encoded, the median of five) and exit
//   --thumbnails DIR    print the milliseconds the pictures of DIR's models
//                       take, each once in turn (the best of five rounds)
//                       and exit
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "export_mesh.h"
#include "models.h"
#include "png.h"
#include "plugin/exports.h"
#include "thumbnail.h"

namespace {

// A host as a host must be: its capture copies every list it is given and
// takes the animation data, and its ScaleImage allocates a result of its own.
struct BenchHost {
    ImportCapture capture;
    std::vector<void*> owned;  // ScaleImage's results
    size_t deliveredBytes = 0;
    HWND window = nullptr;

    BenchHost() {
        window = winstub::CreateWindow([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            return capture.NoteDelivery(message, reinterpret_cast<const void*>(wParam), int32_t(lParam), true);
        });
        InitWindow(window);
    }
    // What the lists and the animation data came to.
    size_t CapturedBytes() const {
        size_t bytes = 0;
        for (const DeliverySeen& delivery : capture.deliveries) {
            bytes += delivery.records.size();
            for (const AnimationData& data : delivery.animationData) bytes += data.size() * sizeof(_VEC3);
        }
        return bytes;
    }
    void Release() {
        for (void* block : owned) std::free(block);
        owned.clear();
        capture = ImportCapture{};
    }
};

BenchHost* host = nullptr;

struct ModelFile {
    std::string name;
    std::string path;
    size_t bytes;
    size_t outputBytes;  // what one import delivers: records, pixels, animation data
    double peakMb;       // the most memory one import added to the process
};

// Two kinds of heap, both measured. Fresh: glibc's 32-bit default maps every
// block over 512 KB anew and unmaps it on free, so each run also pays the
// kernel for clearing new pages. Reused: the heap keeps what is freed for
// the next allocation, as a long-running host's heap does.
enum class Heap { Fresh, Reused };

void UseHeap(Heap heap) {
    if (heap == Heap::Reused) {
        mallopt(M_MMAP_THRESHOLD, 256 << 20);
        mallopt(M_TRIM_THRESHOLD, 512 << 20);
    } else {
        mallopt(M_MMAP_THRESHOLD, 128 << 10);
        mallopt(M_TRIM_THRESHOLD, 128 << 10);
        malloc_trim(0);
    }
}

const char* HeapName(Heap heap) { return heap == Heap::Fresh ? "fresh" : "reused"; }

std::vector<ModelFile> files;
std::map<std::string, double> peerSeconds;

}  // namespace

extern "C" char* ScaleImage(_COLOR* pixels, int width, int height) {
    const size_t bytes = size_t(width) * size_t(height) * sizeof(_COLOR);
    auto* result = static_cast<char*>(std::malloc(bytes + 1));
    if (bytes > 0) std::memcpy(result, pixels, bytes);
    std::free(pixels);
    if (host != nullptr) {
        host->owned.push_back(result);
        host->deliveredBytes += bytes;  // the pixels the plug-in expanded
    }
    return result;
}

namespace {

size_t StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::stoul(line.substr(std::strlen(field)));
    return 0;
}

void Import(benchmark::State& state, const ModelFile& file, Heap heap) {
    UseHeap(heap);
    for (auto _ : state) {
        if (ExecFunction(file.path.c_str()) != 1 || host->capture.deliveries.size() != DELIVERY_COUNT)
            state.SkipWithError("import failed");
        host->Release();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.bytes));
}

// The least any importer must do: read the file in one read and write the
// bytes it delivers, into fresh memory as an import does.
void Floor(benchmark::State& state, const ModelFile& file, Heap heap) {
    UseHeap(heap);
    for (auto _ : state) {
        FILE* in = std::fopen(file.path.c_str(), "rb");
        auto* data = static_cast<char*>(std::malloc(file.bytes));
        if (std::fread(data, 1, file.bytes, in) != file.bytes) state.SkipWithError("short read");
        std::fclose(in);
        auto* output = static_cast<char*>(std::malloc(file.outputBytes));
        std::memset(output, data[file.bytes / 2], file.outputBytes);
        benchmark::DoNotOptimize(output);
        benchmark::ClobberMemory();
        std::free(output);
        std::free(data);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.bytes));
}

// One import on a fresh heap, for the bytes it delivers and the memory it
// takes at its peak (resident set high-water mark, reset before the run).
ModelFile Prepare(const std::string& name, const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    ModelFile file{name, path, size_t(in.tellg()), 0, 0};
    UseHeap(Heap::Fresh);
    std::ofstream("/proc/self/clear_refs") << "5";
    const size_t before = StatusKb("VmRSS:");
    ExecFunction(path.c_str());
    file.peakMb = double(StatusKb("VmHWM:") - before) / 1024;
    file.outputBytes = host->deliveredBytes + host->CapturedBytes();
    host->deliveredBytes = 0;
    host->Release();
    return file;
}

std::string Write(const std::string& directory, const ModelShape& shape) {
    const std::string path = directory + "/" + shape.name + ".mdl";
    if (!mdlwriter::WriteFile(path, MakeModel(shape).Bytes())) {
        std::cerr << "import_bench: cannot write " << path << "\n";
        std::exit(1);
    }
    return path;
}

// Keeps the results for the table while the console shows them as usual.
class TableReporter : public benchmark::ConsoleReporter {
public:
    TableReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            // A repeated benchmark counts by its median, which a passing
            // disturbance of the machine does not move.
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (single || median) seconds[run.run_name.str()] = run.GetAdjustedRealTime() / 1e3;  // reported in ms
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

// Slope of import time against frames or vertices, by least squares over a
// family of models that differ only in that.
void Family(const std::string& what, const std::string& directory, const std::vector<ModelShape>& shapes,
            int ModelShape::*axis) {
    for (const ModelShape& shape : shapes) {
        const ModelFile file = Prepare(shape.name, Write(directory, shape));
        benchmark::RegisterBenchmark(("slope-" + what + "/" + std::to_string(shape.*axis)).c_str(),
                                     [file](benchmark::State& state) { Import(state, file, Heap::Reused); })
            ->Unit(benchmark::kMillisecond);
    }
}

void PrintSlope(const TableReporter& reporter, const std::string& what, const std::string& unit) {
    std::vector<std::pair<double, double>> points;
    for (const auto& [name, seconds] : reporter.seconds)
        if (name.rfind("slope-" + what + "/", 0) == 0) points.emplace_back(std::stod(name.substr(7 + what.size())), seconds);
    if (points.size() < 2) return;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto& [x, y] : points) {
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double n = double(points.size());
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    std::printf("time per %-7s %10.3f us  (%s)\n", what.c_str(), slope * 1e6, unit.c_str());
}

// What thumbnail.png is drawn from: the model, and the mesh and rest pose
// the export builds anyway.
struct PictureSource {
    explicit PictureSource(const std::string& path) : model(Import(path)), mesh(model) {
        ExportPoses(model, MdlGroups(), mesh, PoseNormals::Smooth).Compute(0, rest);
    }
    static ReceivedModel Import(const std::string& path) {
        BenchHost benchHost;
        host = &benchHost;
        if (ExecFunction(path.c_str()) != 1) {
            std::cerr << "import_bench: cannot import " << path << "\n";
            std::exit(1);
        }
        ReceivedModel model = ReceiveModel(benchHost.capture);
        benchHost.Release();
        host = nullptr;
        return model;
    }
    // Drawn and encoded, in milliseconds.
    double PictureMs() const {
        const auto start = std::chrono::steady_clock::now();
        const std::string png = EncodePngRgba(THUMBNAIL_DEFAULT_SIZE, THUMBNAIL_DEFAULT_SIZE,
                                              DrawThumbnail(model, mesh, rest, THUMBNAIL_DEFAULT_SIZE));
        benchmark::DoNotOptimize(png.data());
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    const ReceivedModel model;
    const ExportMesh mesh;
    Pose rest;
};

// thumbnail.png of one model: the median of five, in milliseconds.
double ThumbnailMs(const std::string& path) {
    const PictureSource source(path);
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) times.push_back(source.PictureMs());
    std::nth_element(times.begin(), times.begin() + 2, times.end());
    return times[2];
}

// The pictures of a folder's models, each once and one after the other, as
// a conversion draws them: no picture finds the caches and the branches as
// the same picture drawn just before left them. The best of five rounds, in
// milliseconds.
double FolderThumbnailsMs(const std::string& directory) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.path().extension() == ".mdl") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    std::vector<std::unique_ptr<PictureSource>> sources;
    for (const std::string& path : paths) sources.push_back(std::make_unique<PictureSource>(path));
    double best = 0;
    for (int round = 0; round < 5; ++round) {
        double total = 0;
        for (const auto& source : sources) total += source->PictureMs();
        best = round == 0 ? total : std::min(best, total);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    std::string writeModels;
    std::string peerFile;
    std::vector<char*> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--write-models") == 0 && i + 1 < argc) writeModels = argv[++i];
        else if (std::strcmp(argv[i], "--peer") == 0 && i + 1 < argc) peerFile = argv[++i];
        else if (std::strcmp(argv[i], "--write-real") == 0 && i + 2 < argc) {
            const std::string directory = argv[i + 1];
            for (const ModelShape& shape : RealShapedModels(std::atoi(argv[i + 2]))) Write(directory, shape);
            return 0;
        }
        else if (std::strcmp(argv[i], "--thumbnail") == 0 && i + 1 < argc) {
            std::printf("%.3f\n", ThumbnailMs(argv[++i]));
            return 0;
        }
        else if (std::strcmp(argv[i], "--thumbnails") == 0 && i + 1 < argc) {
            std::printf("%.1f\n", FolderThumbnailsMs(argv[++i]));
            return 0;
        }
        else rest.push_back(argv[i]);
    }
    if (!writeModels.empty()) {
        for (const ModelShape& shape : TableModels()) Write(writeModels, shape);
        return 0;
    }
    if (!peerFile.empty()) {
        std::ifstream in(peerFile);
        std::string name;
        double seconds;
        while (in >> name >> seconds) peerSeconds[name] = seconds;
    }
    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());

    char pattern[] = "/tmp/mdlbench.XXXXXX";
    const std::string directory = mkdtemp(pattern);
    BenchHost benchHost;
    host = &benchHost;

    files.push_back(Prepare("small", MDL_SAMPLE_PATH));
    for (const ModelShape& shape : TableModels()) files.push_back(Prepare(shape.name, Write(directory, shape)));
    for (Heap heap : {Heap::Fresh, Heap::Reused}) {
        for (const ModelFile& file : files) {
            const std::string suffix = std::string("/") + HeapName(heap) + "/" + file.name;
            benchmark::RegisterBenchmark(("import" + suffix).c_str(),
                                         [&file, heap](benchmark::State& s) { Import(s, file, heap); })
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("floor" + suffix).c_str(),
                                         [&file, heap](benchmark::State& s) { Floor(s, file, heap); })
                ->Unit(benchmark::kMillisecond);
        }
    }
    std::vector<ModelShape> byFrames, byVertices;
    for (int frames : {50, 100, 200, 400}) byFrames.push_back({"frames" + std::to_string(frames), 2000, 4000, frames, 10, 1, 64, 64});
    for (int verts : {1000, 2000, 4000, 8000}) byVertices.push_back({"verts" + std::to_string(verts), verts, 2 * verts, 100, 10, 1, 64, 64});
    Family("frame", directory, byFrames, &ModelShape::frames);
    Family("vertex", directory, byVertices, &ModelShape::verts);

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-22s | %-23s | %-30s |\n", "", "fresh heap", "reused heap");
    std::printf("%-13s %8s | %9s %6s %6s | %9s %6s %6s %6s | %8s\n", "model", "file MB", "import ms", "MB/s", "floor",
                "import ms", "MB/s", "floor", "peer", "peak MB");
    for (const ModelFile& file : files) {
        double import[2] = {0, 0};
        double floorRatio[2] = {0, 0};
        for (Heap heap : {Heap::Fresh, Heap::Reused}) {
            const std::string suffix = std::string("/") + HeapName(heap) + "/" + file.name;
            const int i = heap == Heap::Fresh ? 0 : 1;
            import[i] = reporter.seconds["import" + suffix];
            floorRatio[i] = import[i] / reporter.seconds["floor" + suffix];
        }
        const double megabytes = double(file.bytes) / 1e6;
        const auto peer = peerSeconds.find(file.name);
        char peerRatio[32] = "-";
        if (peer != peerSeconds.end()) std::snprintf(peerRatio, sizeof peerRatio, "%.2f", import[1] / peer->second);
        std::printf("%-13s %8.2f | %9.3f %6.0f %6.2f | %9.3f %6.0f %6.2f %6s | %8.1f\n", file.name.c_str(), megabytes,
                    import[0] * 1e3, megabytes / import[0], floorRatio[0], import[1] * 1e3, megabytes / import[1],
                    floorRatio[1], peerRatio, file.peakMb);
    }
    std::printf("(floor and peer: import time over the floor's and over the peer importer's; below 1 is faster.\n"
                " peak MB: what one import adds to the resident set at its peak.)\n\n");
    PrintSlope(reporter, "frame", "2000 vertices, 4000 triangles");
    PrintSlope(reporter, "vertex", "100 frames, two triangles per vertex");

    host = nullptr;
    std::filesystem::remove_all(directory);
    return 0;
}
