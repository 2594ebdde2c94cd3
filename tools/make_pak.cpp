// Packs files into a .pak archive, each as progs/<its file name>, in the
// order given. Usage: make_pak OUTPUT.pak FILE...
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "mdl_writer.h"
#include "pak_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_pak OUTPUT.pak FILE...\n");
        return 2;
    }
    pakwriter::Pak pak;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "make_pak: cannot read %s\n", argv[i]);
            return 1;
        }
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        pak.entries.push_back(
            pakwriter::File("progs/" + std::filesystem::path(argv[i]).filename().string(), std::move(bytes)));
    }
    return mdlwriter::WriteFile(argv[1], pak.Bytes()) ? 0 : 1;
}
