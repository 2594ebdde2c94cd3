// Writes the fuzzers' seeds into a folder: small files of every shape the
// model reader knows, good and refused, or with --pak the same for the
// archive reader (tests/fuzz/pak_corpus). Usage: make_seeds [--pak] FOLDER
#include <cstdio>
#include <cstring>
#include <string>

#include "mdl_writer.h"
#include "pak_writer.h"

using namespace mdlwriter;

namespace {

Model Base(int frames) {
    Model model;
    model.skinwidth = 4;
    model.skinheight = 2;
    model.skins.push_back({0, {0, 1, 2, 3, 16, 100, 200, 255}});
    model.texCoords = {{0, 0, 0}, {1, 4, 2}, {0, 2, 1}, {1, 3, 0}};
    model.triangles = {{1, {0, 1, 2}}, {0, {2, 3, 0}}};
    const char* names[] = {"stand1", "stand2", "run1", "run2", "run3", "pain0", "walk9", "walk10"};
    for (int f = 0; f < frames; ++f) {
        Frame frame;
        frame.name = Frame::Name(names[f % 8]);
        for (uint8_t v = 0; v < 4; ++v) frame.vertices.push_back({{uint8_t(v * 9 + f), uint8_t(v), uint8_t(200 - f)}, v});
        model.frames.push_back(frame);
    }
    return model;
}

void SetBits(float& value, uint32_t bits) { std::memcpy(&value, &bits, sizeof value); }

bool WritePakSeeds(const std::string& folder) {
    using pakwriter::File;
    using pakwriter::Pak;
    Pak models;
    models.entries = {File("progs/one.mdl", Base(1).Bytes()), File("progs/two.mdl", Base(2).Bytes()),
                      File("readme.txt", {'h', 'i', '\n'})};
    Pak unsafeNames;
    for (const char* name : {"../up.mdl", "C:/x.mdl", "progs\\a.mdl", "progs//b.mdl", "/abs.mdl"})
        unsafeNames.entries.push_back(File(name, {'I', 'D', 'P', 'O'}));
    Pak entryOutside = models;
    entryOutside.entries[1].filelen = 0x7FFFFFFF;
    Pak unterminated = models;
    unterminated.entries[2].name = pakwriter::StoredName(std::string(56, 'n'));
    Pak notWholeEntries = models;
    notWholeEntries.dirlen = 65;
    Pak directoryOverflow = models;
    directoryOverflow.dirofs = directoryOverflow.dirlen = 0x7FFFFFC0;

    bool ok = true;
    ok &= WriteFile(folder + "/models.pak", models.Bytes());
    ok &= WriteFile(folder + "/empty.pak", Pak{}.Bytes());
    ok &= WriteFile(folder + "/unsafe_names.pak", unsafeNames.Bytes());
    ok &= WriteFile(folder + "/entry_outside.pak", entryOutside.Bytes());
    ok &= WriteFile(folder + "/unterminated_name.pak", unterminated.Bytes());
    ok &= WriteFile(folder + "/directory_not_whole_entries.pak", notWholeEntries.Bytes());
    ok &= WriteFile(folder + "/directory_overflow.pak", directoryOverflow.Bytes());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const bool pak = argc == 3 && std::strcmp(argv[1], "--pak") == 0;
    if (argc != 2 && !pak) {
        std::fprintf(stderr, "usage: make_seeds [--pak] FOLDER\n");
        return 2;
    }
    const std::string folder = argv[argc - 1];
    if (pak) return WritePakSeeds(folder) ? 0 : 1;
    bool ok = true;
    ok &= WriteFile(folder + "/eight_frames.mdl", Base(8).Bytes());
    ok &= WriteFile(folder + "/one_frame.mdl", Base(1).Bytes());
    ok &= WriteFile(folder + "/no_frames.mdl", Base(0).Bytes());
    Model skinGroup = Base(2);
    skinGroup.skins.push_back({1, std::vector<uint8_t>(8, 7)});
    ok &= WriteFile(folder + "/skin_group.mdl", skinGroup.Bytes());
    Model frameGroup = Base(3);
    frameGroup.frames[1].type = 1;
    ok &= WriteFile(folder + "/frame_group.mdl", frameGroup.Bytes());
    // Groups as the converter takes them: a skin group, a frame group between
    // single frames, and intervals that do not increase.
    Model groups = Base(5);
    groups.skins[0] = Skin::Group({0.1f, 0.1f}, {groups.skins[0].indices, std::vector<uint8_t>(8, 250)});
    const std::vector<Frame> run(groups.frames.begin() + 2, groups.frames.begin() + 4);
    groups.frames.erase(groups.frames.begin() + 2, groups.frames.begin() + 4);
    groups.frames.insert(groups.frames.begin() + 2, Frame::Group({0.05f, 0.02f}, run));
    ok &= WriteFile(folder + "/groups.mdl", groups.Bytes());
    Model twoSkins = Base(2);
    twoSkins.skins.push_back({0, std::vector<uint8_t>(8, 42)});
    twoSkins.frames[1].name = Frame::Name("abcdefghijklmnop");
    ok &= WriteFile(folder + "/two_skins_long_name.mdl", twoSkins.Bytes());
    // 66 x scale + translate in x rounds differently through x87 extended precision.
    Model doubleRounding = Base(2);
    SetBits(doubleRounding.scale[0], 0x4B250430);
    SetBits(doubleRounding.translate[0], 0xB2CF9358);
    doubleRounding.frames[0].vertices[1].v[0] = 66;
    ok &= WriteFile(folder + "/double_rounding.mdl", doubleRounding.Bytes());
    // Infinite scale and 3e38 translate: invalid operations and overflow.
    Model hostileFloats = Base(2);
    SetBits(hostileFloats.scale[0], 0x7F800000);
    SetBits(hostileFloats.scale[2], 0x7F61D9B1);
    SetBits(hostileFloats.translate[2], 0x7F61D9B1);
    ok &= WriteFile(folder + "/hostile_floats.mdl", hostileFloats.Bytes());
    return ok ? 0 : 1;
}
