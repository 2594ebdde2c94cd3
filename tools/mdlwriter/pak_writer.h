// Writes package archives (.pak) byte by byte, independently of the reader's
// own structs: the header, each entry's bytes in order, then the directory.
// Archives can be made wrong on purpose: the magic, the directory's offset
// and length and every entry's offset and length can be set to raw values,
// a name is its raw 56 bytes (it need not hold a NUL), and the bytes can be
// patched or cut afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace pakwriter {

constexpr size_t HEADER_SIZE = 12;
constexpr size_t ENTRY_SIZE = 64;
constexpr size_t NAME_SIZE = 56;

using Name = std::array<char, NAME_SIZE>;

// A name as stored: the text, then NULs. Text of 56 bytes or more fills the
// field with no NUL.
inline Name StoredName(const std::string& text) {
    Name name{};
    std::memcpy(name.data(), text.data(), text.size() < NAME_SIZE ? text.size() : NAME_SIZE);
    return name;
}

struct Entry {
    Name name{};
    std::vector<uint8_t> bytes;
    std::optional<int32_t> filepos;  // raw values in place of where the bytes were written
    std::optional<int32_t> filelen;
};

inline Entry File(const std::string& name, std::vector<uint8_t> bytes) {
    return {StoredName(name), std::move(bytes), {}, {}};
}

struct Pak {
    char id[4] = {'P', 'A', 'C', 'K'};
    std::vector<Entry> entries;
    std::optional<int32_t> dirofs;  // raw values in place of where the directory was written
    std::optional<int32_t> dirlen;

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out(HEADER_SIZE);
        std::memcpy(out.data(), id, 4);
        std::vector<int32_t> positions;
        for (const Entry& entry : entries) {
            positions.push_back(int32_t(out.size()));
            out.insert(out.end(), entry.bytes.begin(), entry.bytes.end());
        }
        Patch(out, 4, dirofs.value_or(int32_t(out.size())));
        Patch(out, 8, dirlen.value_or(int32_t(entries.size() * ENTRY_SIZE)));
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            out.insert(out.end(), entry.name.begin(), entry.name.end());
            out.resize(out.size() + 8);
            Patch(out, out.size() - 8, entry.filepos.value_or(positions[i]));
            Patch(out, out.size() - 4, entry.filelen.value_or(int32_t(entry.bytes.size())));
        }
        return out;
    }

    static void Patch(std::vector<uint8_t>& bytes, size_t offset, int32_t value) {
        const auto bits = uint32_t(value);
        for (size_t i = 0; i < 4; ++i) bytes.at(offset + i) = uint8_t(bits >> (8 * i));
    }
};

}  // namespace pakwriter
