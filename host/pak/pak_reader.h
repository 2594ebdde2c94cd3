// The reader of Quake's package archives (.pak): a header, the entries' data,
// and a directory of fixed-size entries, each a name and where its bytes lie.
// Archives come from strangers; this is what the reader checks and what a bad
// archive gets.
//
// - Open and FromBytes read the header and the whole directory, and refuse
//   the whole archive (null, and a short sentence in error) when: the magic
//   is not "PACK" or the file ends inside the header; the directory's offset
//   or length is negative, its length is not a multiple of an entry's size,
//   or it ends past the end of the file; an entry's name has no NUL within
//   its 56 bytes; an entry's offset or length is negative, or its bytes end
//   past the end of the file. Ends are computed in 64 bits, so no sum of two
//   int32 fields overflows. A directory of length 0 is a valid, empty
//   archive.
// - The directory's size is compared with the file's before anything of
//   that size is allocated: memory grows with the file, never with a field.
// - Not checked, since none of them reads outside the file: entries that
//   overlap each other, the header or the directory; two entries of one
//   name; the bytes after a name's NUL; what a name says. A name is data:
//   UnsafeEntryName says whether it may become a path.
// - Open keeps the file open and reads each entry when asked, so an archive
//   of any size costs only its directory. An archive is not for use from two
//   threads at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// One entry of the archive's directory.
struct PakEntry {
    std::string name;  // as stored, up to its NUL
    uint32_t offset;
    uint32_t length;
};

class PakArchive {
public:
    // Opens an archive file and reads its directory, checked against the file's size. On a damaged or hostile
    // archive: null, and error says why in a short sentence a user understands.
    static std::unique_ptr<PakArchive> Open(const std::filesystem::path& path, std::string& error);
    // The same over bytes in memory.
    static std::unique_ptr<PakArchive> FromBytes(std::vector<uint8_t> bytes, std::string& error);

    const std::vector<PakEntry>& Entries() const { return entries; }
    // One entry's bytes; false with error when they cannot be read.
    bool Read(const PakEntry& entry, std::vector<uint8_t>& bytes, std::string& error) const;

private:
    PakArchive() = default;

    bool ReadDirectory(std::string& error);
    // The one way the reader reads: all the bytes asked for, from inside the
    // archive, or false.
    bool ReadAt(int64_t offset, void* destination, size_t bytes) const;

    std::vector<PakEntry> entries;
    int64_t size = 0;
    std::vector<uint8_t> memory;  // FromBytes
    mutable std::ifstream file;   // Open
};

// Why an entry's name may not become a path under an output folder, or empty when it may. Parts are separated by
// '/'; a name is refused when it could leave the folder (absolute, a drive letter, "..", a backslash or a colon),
// when it has an empty or "." part, or when it would name a different file, or none, on one of the platforms:
// text that is not UTF-8, control characters, characters Windows refuses in names, a part ending in a dot or a
// space, a device name of Windows.
std::string UnsafeEntryName(const std::string& name);
