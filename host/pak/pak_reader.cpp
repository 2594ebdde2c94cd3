#include "pak_reader.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The file's structs, little-endian on disk as in memory: the reader builds
// for x86 only.
struct PakHeader {
    char id[4];
    int32_t dirofs;
    int32_t dirlen;
};
static_assert(sizeof(PakHeader) == 12);
static_assert(offsetof(PakHeader, dirofs) == 4);
static_assert(offsetof(PakHeader, dirlen) == 8);

constexpr size_t PAK_NAME_SIZE = 56;

struct PakFile {
    char name[PAK_NAME_SIZE];
    int32_t filepos;
    int32_t filelen;
};
static_assert(sizeof(PakFile) == 64);
static_assert(offsetof(PakFile, filepos) == 56);
static_assert(offsetof(PakFile, filelen) == 60);

constexpr char PAK_IDENT[4] = {'P', 'A', 'C', 'K'};

constexpr const char* TEXT_NOT_PAK = "the file is not a pak archive";
constexpr const char* TEXT_SHORT_HEADER = "the archive ends inside its header";
constexpr const char* TEXT_DIRECTORY_NEGATIVE = "the directory's offset or length is negative";
constexpr const char* TEXT_DIRECTORY_ENTRIES = "the directory's length is not a whole number of 64-byte entries";
constexpr const char* TEXT_DIRECTORY_OUTSIDE = "the directory lies outside the file";
constexpr const char* TEXT_NAME_UNTERMINATED = "has a name without its terminating NUL";
constexpr const char* TEXT_ENTRY_NEGATIVE = "has a negative offset or length";
constexpr const char* TEXT_ENTRY_OUTSIDE = "lies outside the file";
constexpr const char* TEXT_NO_FILE = "the file does not exist";
constexpr const char* TEXT_FOLDER = "it is a folder, not a file";
constexpr const char* TEXT_CANNOT_OPEN = "the file cannot be opened";
constexpr const char* TEXT_CANNOT_READ = "the archive cannot be read";
constexpr const char* TEXT_FORGED_ENTRY = "the entry lies outside the file";
constexpr const char* TEXT_NO_MEMORY = "there is not enough memory for it";

constexpr const char* TEXT_NAME_EMPTY = "the name is empty";
constexpr const char* TEXT_NAME_ABSOLUTE = "the name is an absolute path";
constexpr const char* TEXT_NAME_DRIVE = "the name starts with a drive letter";
constexpr const char* TEXT_NAME_BACKSLASH = "the name holds a backslash";
constexpr const char* TEXT_NAME_COLON = "the name holds a colon";
constexpr const char* TEXT_NAME_CONTROL = "the name holds a control character";
constexpr const char* TEXT_NAME_WINDOWS = "the name holds a character Windows does not allow in file names";
constexpr const char* TEXT_NAME_UTF8 = "the name is not UTF-8 text";
constexpr const char* TEXT_PART_EMPTY = "the name has an empty part";
constexpr const char* TEXT_PART_PARENT = "the name has a \"..\" part, which leaves its folder";
constexpr const char* TEXT_PART_CURRENT = "the name has a \".\" part";
constexpr const char* TEXT_PART_TRAILING = "a part of the name ends in a dot or a space, which Windows drops";
constexpr const char* TEXT_PART_DEVICE = "a part of the name is a device name on Windows";

constexpr const char* WINDOWS_DEVICES[] = {"CON",  "PRN",  "AUX",  "NUL",  "CONIN$", "CONOUT$", "COM0", "COM1",
                                           "COM2", "COM3", "COM4", "COM5", "COM6",   "COM7",    "COM8", "COM9",
                                           "LPT0", "LPT1", "LPT2", "LPT3", "LPT4",   "LPT5",    "LPT6", "LPT7",
                                           "LPT8", "LPT9"};

bool Fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

std::unique_ptr<PakArchive> Refuse(std::string& error, const char* text) {
    error = text;
    return nullptr;
}

// What is wrong with an entry, which the message names by its number from 1,
// and by its name too when that is printable text, safe to show.
std::string EntryFault(size_t index, const std::string& name, const char* what) {
    std::string text = "entry " + std::to_string(index + 1);
    bool printable = !name.empty();
    for (char c : name) printable = printable && uint8_t(c) >= 0x20 && uint8_t(c) <= 0x7E;
    if (printable) text += " (" + name + ")";
    return text + " " + what;
}

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = uint8_t(text[i]);
        size_t more = 0;
        uint8_t low = 0x80;  // the second byte's range; no overlong forms, surrogates or code points past U+10FFFF
        uint8_t high = 0xBF;
        if (lead < 0x80) {
            more = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i - 1 < more) return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto next = uint8_t(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
        }
        i += 1 + more;
    }
    return true;
}

bool IsDevice(const std::string& part) {
    // Windows takes the name before the first dot, trailing spaces dropped, in any case.
    std::string stem = part.substr(0, part.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    for (const char* device : WINDOWS_DEVICES)
        if (stem == device) return true;
    return false;
}

const char* UnsafePart(const std::string& part) {
    if (part.empty()) return TEXT_PART_EMPTY;
    if (part == "..") return TEXT_PART_PARENT;
    if (part == ".") return TEXT_PART_CURRENT;
    if (part.back() == '.' || part.back() == ' ') return TEXT_PART_TRAILING;
    if (IsDevice(part)) return TEXT_PART_DEVICE;
    return nullptr;
}

}  // namespace

std::unique_ptr<PakArchive> PakArchive::Open(const fs::path& path, std::string& error) {
    std::error_code status;
    if (!fs::exists(path, status)) return Refuse(error, status ? TEXT_CANNOT_OPEN : TEXT_NO_FILE);
    if (fs::is_directory(path, status)) return Refuse(error, TEXT_FOLDER);
    std::unique_ptr<PakArchive> archive(new PakArchive);
    archive->file.open(path, std::ios::binary);
    if (!archive->file) return Refuse(error, TEXT_CANNOT_OPEN);
    archive->file.seekg(0, std::ios::end);
    const std::streamoff end = archive->file.tellg();
    if (!archive->file || end < 0) return Refuse(error, TEXT_CANNOT_READ);
    archive->size = int64_t(end);
    if (!archive->ReadDirectory(error)) return nullptr;
    return archive;
}

std::unique_ptr<PakArchive> PakArchive::FromBytes(std::vector<uint8_t> bytes, std::string& error) {
    std::unique_ptr<PakArchive> archive(new PakArchive);
    archive->size = int64_t(bytes.size());
    archive->memory = std::move(bytes);
    if (!archive->ReadDirectory(error)) return nullptr;
    return archive;
}

bool PakArchive::ReadDirectory(std::string& error) {
    // header
    PakHeader header{};
    const bool whole = ReadAt(0, &header, sizeof header);
    // A file too short for the magic is no archive; one with the magic but
    // not the rest is a damaged one.
    if (!whole && !ReadAt(0, &header, sizeof header.id)) return Fail(error, TEXT_NOT_PAK);
    if (std::memcmp(header.id, PAK_IDENT, sizeof PAK_IDENT) != 0) return Fail(error, TEXT_NOT_PAK);
    if (!whole) return Fail(error, TEXT_SHORT_HEADER);

    // directory: its size against the file's before anything is allocated
    if (header.dirofs < 0 || header.dirlen < 0) return Fail(error, TEXT_DIRECTORY_NEGATIVE);
    if (header.dirlen % int32_t(sizeof(PakFile)) != 0) return Fail(error, TEXT_DIRECTORY_ENTRIES);
    if (int64_t(header.dirofs) + int64_t(header.dirlen) > size) return Fail(error, TEXT_DIRECTORY_OUTSIDE);
    std::vector<PakFile> files;
    try {
        files.resize(size_t(header.dirlen) / sizeof(PakFile));
        entries.reserve(files.size());
    } catch (const std::bad_alloc&) {
        return Fail(error, TEXT_NO_MEMORY);
    }
    if (!ReadAt(header.dirofs, files.data(), files.size() * sizeof(PakFile))) return Fail(error, TEXT_CANNOT_READ);

    // entries
    for (size_t i = 0; i < files.size(); ++i) {
        const PakFile& stored = files[i];
        const void* nul = std::memchr(stored.name, '\0', PAK_NAME_SIZE);
        if (nul == nullptr) return Fail(error, EntryFault(i, {}, TEXT_NAME_UNTERMINATED));
        std::string name(stored.name, static_cast<const char*>(nul));
        const int64_t end = int64_t(stored.filepos) + int64_t(stored.filelen);
        if (stored.filepos < 0 || stored.filelen < 0) return Fail(error, EntryFault(i, name, TEXT_ENTRY_NEGATIVE));
        if (end > size) return Fail(error, EntryFault(i, name, TEXT_ENTRY_OUTSIDE));
        entries.push_back({std::move(name), uint32_t(stored.filepos), uint32_t(stored.filelen)});
    }
    return true;
}

bool PakArchive::Read(const PakEntry& entry, std::vector<uint8_t>& bytes, std::string& error) const {
    // An entry may come from elsewhere than Entries(): its place is checked again.
    if (int64_t(entry.offset) + int64_t(entry.length) > size) return Fail(error, TEXT_FORGED_ENTRY);
    try {
        bytes.resize(entry.length);
    } catch (const std::bad_alloc&) {
        return Fail(error, TEXT_NO_MEMORY);
    }
    if (!ReadAt(entry.offset, bytes.data(), bytes.size())) return Fail(error, TEXT_CANNOT_READ);
    return true;
}

bool PakArchive::ReadAt(int64_t offset, void* destination, size_t bytes) const {
    if (offset < 0 || offset > size || int64_t(bytes) > size - offset) return false;
    if (bytes == 0) return true;
    if (!file.is_open()) {
        std::memcpy(destination, memory.data() + size_t(offset), bytes);
        return true;
    }
    file.clear();
    if (!file.seekg(std::streamoff(offset))) return false;
    file.read(static_cast<char*>(destination), std::streamsize(bytes));
    return file.gcount() == std::streamsize(bytes);
}

std::string UnsafeEntryName(const std::string& name) {
    if (name.empty()) return TEXT_NAME_EMPTY;
    if (!IsUtf8(name)) return TEXT_NAME_UTF8;
    const bool letter = (name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z');
    if (name.size() >= 2 && letter && name[1] == ':') return TEXT_NAME_DRIVE;
    if (name[0] == '/') return TEXT_NAME_ABSOLUTE;
    for (char c : name) {
        if (c == '\\') return TEXT_NAME_BACKSLASH;
        if (c == ':') return TEXT_NAME_COLON;
        if (uint8_t(c) < 0x20 || c == 0x7F) return TEXT_NAME_CONTROL;
        if (std::strchr("<>\"|?*", c) != nullptr) return TEXT_NAME_WINDOWS;
    }
    for (size_t start = 0;;) {
        const size_t end = name.find('/', start);
        if (const char* why = UnsafePart(name.substr(start, end - start))) return why;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}
