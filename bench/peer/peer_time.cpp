// Times the peer importer reading each model file with no post-processing.
// Built 64-bit on its own, outside the plug-in's build (scripts/bench.sh).
// Prints "model seconds-per-read" per file, model being the file's stem.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    Assimp::Importer importer;
    for (int i = 1; i < argc; ++i) {
        if (importer.ReadFile(argv[i], 0) == nullptr) {
            std::fprintf(stderr, "peer: %s: %s\n", argv[i], importer.GetErrorString());
            continue;
        }
        using Clock = std::chrono::steady_clock;
        int reads = 0;
        const auto start = Clock::now();
        double elapsed = 0;
        while (reads < 5 || elapsed < 1.0) {
            importer.ReadFile(argv[i], 0);
            ++reads;
            elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        }
        std::printf("%s %.9f\n", std::filesystem::path(argv[i]).stem().c_str(), elapsed / reads);
    }
    return 0;
}
