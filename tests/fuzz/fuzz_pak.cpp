// libFuzzer target: the archive reader on arbitrary bytes, from memory and
// from a file, as a host reads an archive: every entry it lists is read and
// its name judged. Both sources must agree, a refusal must say why, and an
// entry the directory lists must always be readable.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "pak_reader.h"

namespace {

// The entries' bytes one after another, or the reason for the refusal.
std::vector<uint8_t> Walk(const PakArchive* archive, const std::string& error) {
    if (archive == nullptr) {
        if (error.empty()) std::abort();
        return {error.begin(), error.end()};
    }
    std::vector<uint8_t> all;
    std::vector<uint8_t> bytes;
    for (const PakEntry& entry : archive->Entries()) {
        std::string readError;
        if (!archive->Read(entry, bytes, readError) || bytes.size() != entry.length) std::abort();
        all.insert(all.end(), bytes.begin(), bytes.end());
        UnsafeEntryName(entry.name);
    }
    return all;
}

// The file the input is written to, removed when the session ends.
struct ScratchFile {
    ~ScratchFile() { std::remove(path.c_str()); }
    const std::string path = "/tmp/pakfuzz." + std::to_string(getpid()) + ".pak";
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile scratch;
    const std::string& path = scratch.path;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));

    std::string memoryError;
    const auto fromMemory = PakArchive::FromBytes({data, data + size}, memoryError);
    std::string fileError;
    const auto fromFile = PakArchive::Open(path, fileError);
    if ((fromMemory == nullptr) != (fromFile == nullptr)) std::abort();
    if (fromMemory && fromMemory->Entries().size() != fromFile->Entries().size()) std::abort();
    if (Walk(fromMemory.get(), memoryError) != Walk(fromFile.get(), fileError)) std::abort();
    return 0;
}
