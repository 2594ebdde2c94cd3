// Writes what the converter's tests convert: an archive of models with a
// non-model entry, a refused model and two names that differ in case only;
// the same models as loose files, numbered in the archive's order; a folder of models at several depths;
// models with groups, loose and in an archive; and one archive for each way
// an archive can be damaged or hostile.
// Usage: make_inputs FOLDER
#include <cstdio>
#include <filesystem>
#include <string>

#include "mdl_writer.h"
#include "pak_writer.h"

using mdlwriter::Model;
using pakwriter::Pak;

namespace {

// A small pyramid whose shape and skin follow seed, in two short sequences.
Model Figure(int seed) {
    Model model;
    model.skinwidth = 8;
    model.skinheight = 4;
    mdlwriter::Skin skin;
    for (int p = 0; p < 32; ++p) skin.indices.push_back(uint8_t(p * 5 + seed * 31));
    model.skins.push_back(skin);
    model.texCoords = {{0, 0, 0}, {1, 4, 0}, {0, 7, 3}, {0, 2, 3}};
    model.triangles = {{1, {0, 1, 2}}, {1, {0, 2, 3}}, {0, {0, 3, 1}}, {1, {1, 3, 2}}};
    const char* names[] = {"stand1", "stand2", "walk1", "walk2", "walk3"};
    for (int f = 0; f < 5; ++f) {
        mdlwriter::Frame frame;
        frame.name = mdlwriter::Frame::Name(names[f]);
        frame.vertices = {{{uint8_t(10 + seed), 10, 0}, 0},
                          {{uint8_t(60 + f * 3), uint8_t(12 + seed), 0}, 0},
                          {{30, uint8_t(70 + seed * 2), 0}, 0},
                          {{35, 35, uint8_t(50 + f * 5 + seed)}, 0}};
        model.frames.push_back(frame);
    }
    return model;
}

std::vector<uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

// A figure whose walk is a frame group at 20 frames a second and whose skin
// is a group of two; with a count of frames, a group the converter refuses.
Model Grouped(int seed, int frameCount = 3) {
    Model model = Figure(seed);
    std::vector<uint8_t> second = model.skins[0].indices;
    for (uint8_t& texel : second) texel = uint8_t(255 - texel);
    model.skins[0] = mdlwriter::Skin::Group({0.1f, 0.2f}, {model.skins[0].indices, second});
    const std::vector<mdlwriter::Frame> walk(model.frames.begin() + 2, model.frames.end());
    model.frames.resize(2);
    model.frames.push_back(mdlwriter::Frame::Group({0.05f, 0.1f, 0.15f}, walk));
    if (frameCount != 3) model.frames.back().count = frameCount;
    return model;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_inputs FOLDER\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path root = argv[1];
    for (const char* folder : {"game", "loose", "models/monsters/big", "hostile", "pictures", "groups"}) fs::create_directories(root / folder);
    bool ok = true;
    const auto write = [&ok, &root](const std::string& name, const std::vector<uint8_t>& bytes) {
        ok &= mdlwriter::WriteFile((root / name).string(), bytes);
    };

    // The game's archive, and its models one by one.
    const std::vector<std::pair<std::string, Model>> models = {
        {"progs/ogre.mdl", Figure(1)}, {"progs/Ogre.mdl", Figure(2)}, {"progs/KNIGHT.MDL", Figure(3)},
        {"maps/b_bh10.mdl", Figure(4)}};
    Pak game;
    for (size_t i = 0; i < models.size(); ++i) {
        game.entries.push_back(pakwriter::File(models[i].first, models[i].second.Bytes()));
        write("loose/" + std::to_string(i + 1) + ".mdl", models[i].second.Bytes());  // names of any case on any disk
    }
    game.entries.push_back(pakwriter::File("gfx/readme.txt", Text("not a model")));
    game.entries.push_back(pakwriter::File("progs/bad.mdl", Text("RAPO, not a model")));
    write("game/pak0.pak", game.Bytes());

    write("models/top.mdl", Figure(5).Bytes());
    write("models/monsters/big/shambler.MDL", Figure(6).Bytes());
    write("models/monsters/notes.txt", Text("not a model"));

    // Files that give no picture: another format's model under the same
    // extension, and a model cut short.
    write("pictures/foreign.mdl", Text(std::string("IDST\x0a\0\0\0", 8) + " another format's model"));
    const std::vector<uint8_t> whole = Figure(8).Bytes();
    write("pictures/cut.mdl", std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() / 2)));

    // Models with groups, alone and in an archive: one converts, one has a
    // group of no frames.
    write("groups/walk.mdl", Grouped(9).Bytes());
    write("groups/bad.mdl", Grouped(9, 0).Bytes());
    Pak groups;
    groups.entries.push_back(pakwriter::File("progs/walk.mdl", Grouped(9).Bytes()));
    groups.entries.push_back(pakwriter::File("progs/bad.mdl", Grouped(9, 0).Bytes()));
    write("groups/groups.pak", groups.Bytes());

    // Damaged or hostile archives: each refused whole.
    const Pak good = [] {
        Pak pak;
        pak.entries.push_back(pakwriter::File("progs/ogre.mdl", Figure(1).Bytes()));
        return pak;
    }();
    const auto hostile = [&](const std::string& name, Pak pak) { write("hostile/" + name + ".pak", pak.Bytes()); };
    Pak pak = good;
    pak.id[0] = 'Q';
    hostile("bad_magic", pak);
    write("hostile/short.pak", Text("PACK"));
    pak = good;
    pak.dirofs = 1 << 20;
    hostile("directory_outside", pak);
    pak = good;
    pak.dirofs = -64;
    hostile("directory_negative", pak);
    pak = good;
    pak.dirlen = 65;
    hostile("directory_not_whole_entries", pak);
    pak = good;
    pak.dirofs = 0x7FFFFFF0;
    pak.dirlen = 0x7FFFFFC0;
    hostile("directory_overflowing", pak);
    pak = good;
    pak.entries[0].filelen = 1 << 20;
    hostile("entry_outside", pak);
    pak = good;
    pak.entries[0].filepos = -12;
    hostile("entry_negative", pak);
    pak = good;
    pak.entries[0].filepos = 0x7FFFFFFF;
    pak.entries[0].filelen = 0x7FFFFFFF;
    hostile("entry_overflowing", pak);
    pak = good;
    pak.entries[0].name.fill('a');
    hostile("name_without_nul", pak);

    // Names that would leave the output folder, beside one that stays in it.
    pak = good;
    for (const char* name : {"../evil.mdl", "/tmp/evil.mdl", "C:evil.mdl", "progs\\evil.mdl", "progs/e:vil.mdl",
                             "progs//evil.mdl"})
        pak.entries.push_back(pakwriter::File(name, Figure(7).Bytes()));
    hostile("unsafe_names", pak);
    return ok ? 0 : 1;
}
