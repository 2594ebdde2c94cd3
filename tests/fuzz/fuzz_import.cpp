// libFuzzer target: one whole import run on arbitrary bytes, as a host runs
// it: a window that accepts every list and drops the records, and a
// ScaleImage that takes the pixels and returns a buffer of its own.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "records/host_records.h"

namespace {

std::vector<char*> scaled;

struct FuzzHost {
    FuzzHost() : path("/tmp/mdlfuzz." + std::to_string(getpid()) + ".mdl") {
        window = winstub::CreateWindow([](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            // The host's part: animation data offered to it is its own.
            if (message == WM_USER + 224) {
                const auto* animations = reinterpret_cast<const _ANIMATION*>(wParam);
                for (LPARAM i = 0; i < lParam; ++i) std::free(animations[i].data);
            }
            return 1;
        });
        InitWindow(window);
    }
    std::string path;
    HWND window;
};

}  // namespace

extern "C" char* ScaleImage(_COLOR* pixels, int width, int height) {
    const size_t bytes = size_t(width) * size_t(height) * sizeof(_COLOR);
    auto* copy = static_cast<char*>(std::malloc(bytes + 1));
    if (copy != nullptr && bytes > 0) std::memcpy(copy, pixels, bytes);
    std::free(pixels);
    scaled.push_back(copy);
    return copy;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzHost host;
    FILE* file = std::fopen(host.path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    const int result = ExecFunction(host.path.c_str());
    if (result != 1) std::abort();  // the window accepts everything
    for (char* buffer : scaled) std::free(buffer);
    scaled.clear();
    return 0;
}
