// The archive reader: hostile archives are refused whole with a reason, from
// a file as from memory; a good archive reads back what was written; entry
// names become paths only when they stay under the output folder and mean
// the same file on every platform.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "pak_reader.h"
#include "pak_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace pakwriter;

// A folder of its own under /tmp, removed with everything in it.
struct ScratchFolder {
    ScratchFolder() {
        char pattern[] = "/tmp/pakread.XXXXXX";
        path = mkdtemp(pattern);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(path / fs::u8path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path / fs::u8path(name);
    }
    fs::path path;
};

// What an archive gives: the reason it is refused, or its entries and their
// bytes, every one readable.
struct Outcome {
    std::string error;
    std::vector<PakEntry> entries;
    std::vector<std::vector<uint8_t>> contents;
};

Outcome Load(std::unique_ptr<PakArchive> archive, const std::string& error) {
    Outcome outcome{error, {}, {}};
    EXPECT_EQ(archive == nullptr, !error.empty()) << error;
    if (!archive) return outcome;
    outcome.entries = archive->Entries();
    for (const PakEntry& entry : outcome.entries) {
        std::string readError;
        EXPECT_TRUE(archive->Read(entry, outcome.contents.emplace_back(), readError)) << entry.name << readError;
        UnsafeEntryName(entry.name);
    }
    return outcome;
}

// The same from memory as from a file.
Outcome LoadBoth(const std::vector<uint8_t>& bytes) {
    std::string error;
    auto archive = PakArchive::FromBytes(bytes, error);
    const Outcome fromBytes = Load(std::move(archive), error);
    ScratchFolder folder;
    error.clear();
    archive = PakArchive::Open(folder.Write("archive.pak", bytes), error);
    const Outcome fromFile = Load(std::move(archive), error);
    EXPECT_EQ(fromFile.error, fromBytes.error);
    EXPECT_EQ(fromFile.contents, fromBytes.contents);
    return fromBytes;
}

std::vector<uint8_t> ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Pak TwoEntries() {
    Pak pak;
    pak.entries = {File("progs/a.mdl", {1, 2, 3, 4}), File("sound/b.wav", {5, 6})};
    return pak;
}
const auto SIZE = int32_t(TwoEntries().Bytes().size());  // 12 + 6 + 2 x 64
constexpr int32_t HUGE_SIZE = 0x7FFFFFC0;                 // a multiple of 64

// The two entries with raw values in the header, cut short, or in entry i.
std::vector<uint8_t> Header(const char* id, std::optional<int32_t> dirofs, std::optional<int32_t> dirlen) {
    Pak pak = TwoEntries();
    std::memcpy(pak.id, id, 4);
    pak.dirofs = dirofs;
    pak.dirlen = dirlen;
    return pak.Bytes();
}
std::vector<uint8_t> Cut(size_t size) {
    std::vector<uint8_t> bytes = TwoEntries().Bytes();
    bytes.resize(size);
    return bytes;
}
std::vector<uint8_t> EntryAt(size_t i, std::optional<int32_t> filepos, std::optional<int32_t> filelen,
                             const std::string& name = {}) {
    Pak pak = TwoEntries();
    pak.entries[i].filepos = filepos;
    pak.entries[i].filelen = filelen;
    if (!name.empty()) pak.entries[i].name = StoredName(name);
    return pak.Bytes();
}

struct HostileCase {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* words;  // in the message
};
void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

const HostileCase HOSTILE[] = {
    {"EmptyFile", {}, "the file is not a pak archive"},
    {"EndsInsideMagic", {'P', 'A', 'C'}, "the file is not a pak archive"},
    {"WrongMagic", Header("PACX", {}, {}), "the file is not a pak archive"},
    {"EndsInsideHeader", Cut(11), "the archive ends inside its header"},
    {"DirectoryOffsetNegative", Header("PACK", -1, {}), "directory's offset or length is negative"},
    {"DirectoryLengthNegative", Header("PACK", {}, -64), "directory's offset or length is negative"},
    {"DirectoryNotWholeEntries", Header("PACK", {}, 65), "not a whole number of 64-byte entries"},
    {"DirectoryPastTheEnd", Header("PACK", SIZE - 127, {}), "the directory lies outside the file"},
    {"DirectoryCut", Cut(size_t(SIZE) - 1), "the directory lies outside the file"},
    {"EmptyDirectoryPastTheEnd", Header("PACK", SIZE + 1, 0), "the directory lies outside the file"},
    {"DirectoryEndOverflowsInt32", Header("PACK", HUGE_SIZE, HUGE_SIZE), "the directory lies outside the file"},
    {"DirectoryHugeInSmallFile", Header("PACK", {}, HUGE_SIZE), "the directory lies outside the file"},
    {"NameWithoutNul", EntryAt(1, {}, {}, std::string(56, 'n')), "entry 2 has a name without its terminating NUL"},
    {"EntryOffsetNegative", EntryAt(0, INT32_MIN, {}), "entry 1 (progs/a.mdl) has a negative offset or length"},
    {"EntryLengthNegative", EntryAt(1, {}, -1), "entry 2 (sound/b.wav) has a negative offset or length"},
    {"EntryPastTheEnd", EntryAt(1, {}, SIZE), "entry 2 (sound/b.wav) lies outside the file"},
    {"EmptyEntryPastTheEnd", EntryAt(0, SIZE + 1, 0), "entry 1 (progs/a.mdl) lies outside the file"},
    {"EntryEndOverflowsInt32", EntryAt(0, INT32_MAX, INT32_MAX), "entry 1 (progs/a.mdl) lies outside the file"},
    // A name from the archive reaches the user's terminal only when printable.
    {"EscapeSequenceNameNotShown", EntryAt(0, {}, SIZE, "\x1b]0;owned\x07"), "entry 1 lies outside the file"},
};

class PakHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(PakHostile, RefusedWholeWithAReason) {
    const std::string error = LoadBoth(GetParam().bytes).error;
    EXPECT_NE(error.find(GetParam().words), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Archives, PakHostile, testing::ValuesIn(HOSTILE),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(PakReader, ReadsBackWhatWasWritten) {
    Pak pak;
    pak.entries = {File("progs/ogre.mdl", {'I', 'D', 'P', 'O', 0, 255}), File("empty", {}),
                   File(std::string(55, 'z'), {9})};
    pak.entries[1].name[10] = 'x';  // after the NUL: not part of the name
    const Outcome outcome = LoadBoth(pak.Bytes());
    ASSERT_EQ(outcome.entries.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(outcome.entries[i].name, std::string(pak.entries[i].name.data()));
        EXPECT_EQ(outcome.contents[i], pak.entries[i].bytes);
    }
    EXPECT_EQ(outcome.entries[2].offset, HEADER_SIZE + 6);
    EXPECT_EQ(LoadBoth(Pak{}.Bytes()).error, "");  // an empty directory: an empty archive

    // Any file name; an entry not from the directory is checked too.
    ScratchFolder folder;
    std::string error;
    const auto archive = PakArchive::Open(folder.Write("архив été 档案.pak", pak.Bytes()), error);
    ASSERT_NE(archive, nullptr) << error;
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(archive->Read({"forged", 100, 200}, bytes, error));
    EXPECT_EQ(error, "the entry lies outside the file");
    EXPECT_EQ(PakArchive::Open(folder.path / "missing.pak", error), nullptr);
    EXPECT_EQ(error, "the file does not exist");
    EXPECT_EQ(PakArchive::Open(folder.path, error), nullptr);
    EXPECT_EQ(error, "it is a folder, not a file");
}

TEST(PakEntryName, SafeOnlyUnderTheFolderAndTheSameEverywhere) {
    const struct {
        std::string name;
        const char* reason;  // a word of it; "" when the name is safe
    } names[] = {
        {"progs/ogre.mdl", ""}, {"gfx.wad", ""}, {"sound/ambience/drip1.wav", ""}, {"progs/..ogre.mdl", ""},
        {"...x/y", ""}, {"progs/console.mdl", ""}, {"mod\xc3\xa8les/\xd0\xbe\xd0\xb3.mdl", ""},
        {"", "empty"}, {"..", "\"..\""}, {"../ogre.mdl", "\"..\""}, {"progs/../../x", "\"..\""},
        {"progs/..", "\"..\""}, {"./ogre.mdl", "\".\""}, {"progs/./ogre.mdl", "\".\""},
        {"/etc/passwd", "absolute"}, {"//server/share/x", "absolute"}, {"progs//ogre.mdl", "empty part"},
        {"progs/", "empty part"}, {"C:ogre.mdl", "drive letter"}, {"c:/windows/x", "drive letter"},
        {"progs\\ogre.mdl", "backslash"}, {"..\\..\\x", "backslash"}, {"ogre.mdl:stream", "colon"},
        {"1:x", "colon"}, {"og\nre.mdl", "control"}, {"og\x7fre.mdl", "control"}, {"ogre?.mdl", "Windows"},
        {"<ogre>.mdl", "Windows"}, {"progs./ogre.mdl", "ends in a dot"}, {"ogre.mdl ", "space"},
        {"progs/nul.mdl", "device"}, {"CON", "device"}, {"progs/Com1.mdl", "device"}, {"lpt9 .x/a", "device"},
        {"\xff.mdl", "UTF-8"}, {"\xc0\xaf.mdl", "UTF-8"}, {"\xed\xa0\x80.mdl", "UTF-8"}, {"\xe6\x96", "UTF-8"},
    };
    for (const auto& c : names) {
        const std::string reason = UnsafeEntryName(c.name);
        EXPECT_EQ(reason.empty(), *c.reason == '\0') << c.name << ": " << reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
    }
}

// The fuzzer's seeds and finds: each is read or refused with a reason, the
// same way from a file as from memory.
TEST(PakCorpus, EveryArchiveReadsOrIsRefused) {
    size_t read = 0;
    size_t refused = 0;
    for (const auto& file : fs::directory_iterator(MDL_PAK_CORPUS)) {
        SCOPED_TRACE(file.path().string());
        ++(LoadBoth(ReadWhole(file.path())).error.empty() ? read : refused);
    }
    EXPECT_GE(read, 2u);
    EXPECT_GE(refused, 2u);
}

}  // namespace
