// One forward pass over the file in memory, copying it entry by entry. A
// group entry is never smaller than its entries written singly (its count
// and intervals take the place of their group words), so the copy never
// outgrows the file.
#include "mdl/mdl_groups.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "mdl/frames.h"
#include "mdl/mdl_format.h"

namespace {

// The file in memory, read forward; every read is all of it or nothing.
class Bytes {
public:
    Bytes(const uint8_t* data_, size_t size_) : data(data_), size(size_) {}

    size_t Offset() const { return offset; }
    int64_t Left() const { return int64_t(size - offset); }
    const uint8_t* At(size_t from) const { return data + from; }

    bool Read(void* out, int64_t bytes) {
        if (bytes < 0 || bytes > Left()) return false;
        if (bytes > 0) std::memcpy(out, data + offset, size_t(bytes));
        offset += size_t(bytes);
        return true;
    }
    bool Int(int32_t& value) { return Read(&value, sizeof value); }
    // The next bytes, or null when the file holds fewer.
    const uint8_t* Take(int64_t bytes) {
        if (bytes < 0 || bytes > Left()) return nullptr;
        const uint8_t* at = data + offset;
        offset += size_t(bytes);
        return at;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t offset = 0;
};

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out_) : out(out_) {}
    void Append(const void* bytes, int64_t count) {
        const auto* begin = static_cast<const uint8_t*>(bytes);
        out.insert(out.end(), begin, begin + count);
    }
    void Int(int32_t value) { Append(&value, sizeof value); }

private:
    std::vector<uint8_t>& out;
};

UngroupedModel Bad(std::string reason) {
    UngroupedModel bad;
    bad.kind = UngroupedModel::Kind::BadGroup;
    bad.reason = std::move(reason);
    return bad;
}

// What a group holds before its entries, and the most entries it may have.
struct GroupKind {
    const char* entry;
    const char* entries;
    int64_t boxBytes;  // the group's own bounding box
    int32_t largest;
};
constexpr GroupKind SKIN_GROUP{"skin", "skins", 0, std::numeric_limits<int32_t>::max()};
// One frame group becomes one animation.
constexpr GroupKind FRAME_GROUP{"frame", "frames", MDL_GROUP_BBOX_SIZE, MAX_SEQUENCE_FRAMES};

// A group's count and intervals, judged against what the file holds: each
// of its entries entryBytes after them. Empty, or what is wrong.
std::string ReadGroupHead(Bytes& file, const GroupKind& kind, int32_t entry, int64_t entryBytes, MdlGroup& group) {
    const std::string named = std::string(kind.entry) + " " + std::to_string(entry);
    int32_t count = 0;
    if (!file.Int(count)) return named + " is a group cut off before its count";
    const std::string head = named + " is a group of " + std::to_string(count) + " " + kind.entries;
    if (count < 1) return head;
    if (count > kind.largest) return head + ", more than the " + std::to_string(kind.largest) + " an animation holds";
    if (file.Take(kind.boxBytes) == nullptr) return head + ", cut off inside its bounding box";
    if (count > file.Left() / MDL_INTERVAL_SIZE) return head + ", cut off inside its intervals";
    group.entry = entry;
    group.intervals.resize(size_t(count));
    file.Read(group.intervals.data(), int64_t(count) * MDL_INTERVAL_SIZE);
    if (entryBytes > 0 && count > file.Left() / entryBytes) return head + ", cut off inside its " + kind.entries;
    return {};
}

}  // namespace

UngroupedModel UngroupModel(const uint8_t* data, size_t size) {
    Bytes file(data, size);
    MdlHeader header;
    if (!file.Read(&header, sizeof header) || header.ident != MDL_IDENT) return {};

    UngroupedModel result;
    result.kind = UngroupedModel::Kind::Ungrouped;
    result.bytes.reserve(size);
    Writer out(result.bytes);
    out.Append(&header, sizeof header);
    MdlGroups& groups = result.groups;
    int64_t skins = 0, frames = 0;  // entries written, single or from groups
    int32_t skinEntries = 0, frameEntries = 0;  // entries of the file read

    // The rest of the file as it is, from the entry at offset on, and the
    // header counting what was written and what is still to come.
    const auto finish = [&](size_t offset) -> UngroupedModel {
        if (groups.Empty()) return {};
        out.Append(file.At(offset), int64_t(size - offset));
        const int64_t numskins = header.numskins > 0 ? skins + (header.numskins - skinEntries) : header.numskins;
        const int64_t numframes = header.numframes > 0 ? frames + (header.numframes - frameEntries) : header.numframes;
        // An entry written singly takes at least four bytes of the file.
        if (numskins > std::numeric_limits<int32_t>::max() || numframes > std::numeric_limits<int32_t>::max())
            return Bad("more skins or frames than a model holds");
        header.numskins = int32_t(numskins);
        header.numframes = int32_t(numframes);
        groups.skinCount = std::max(header.numskins, 0);
        groups.frameCount = std::max(header.numframes, 0);
        std::memcpy(result.bytes.data(), &header, sizeof header);
        return std::move(result);
    };

    // skins
    const int64_t pixels = int64_t(header.skinwidth) * int64_t(header.skinheight);
    if (header.numskins > 0 && (header.skinwidth < 0 || header.skinheight < 0)) return finish(file.Offset());
    for (; skinEntries < header.numskins; ++skinEntries) {
        const size_t entry = file.Offset();
        int32_t type = 0;
        if (!file.Int(type)) return finish(entry);
        if (type == 0) {
            const uint8_t* indices = file.Take(pixels);
            if (indices == nullptr) return finish(entry);
            out.Int(0);
            out.Append(indices, pixels);
            ++skins;
            continue;
        }
        MdlGroup& group = groups.skins.emplace_back();
        const std::string bad = ReadGroupHead(file, SKIN_GROUP, skinEntries, pixels, group);
        if (!bad.empty()) return Bad(bad);
        group.first = int32_t(skins);
        for (size_t k = 0; k < group.intervals.size(); ++k) {
            out.Int(0);
            out.Append(file.Take(pixels), pixels);
        }
        skins += int64_t(group.intervals.size());
    }

    // texture coordinates and triangles, as they are
    {
        const size_t start = file.Offset();
        const int64_t bytes = int64_t(header.numverts) * int64_t(sizeof(MdlTexCoord)) +
                              int64_t(header.numtris) * int64_t(sizeof(MdlTriangle));
        if (header.numverts < 0 || header.numtris < 0) return finish(start);
        const uint8_t* tables = file.Take(bytes);
        if (tables == nullptr) return finish(start);
        out.Append(tables, bytes);
    }

    // frames
    if (header.numverts < 0) return finish(file.Offset());
    const int64_t frameBytes = MDL_FRAME_HEAD_SIZE - MDL_FRAME_TYPE_SIZE + int64_t(header.numverts) * int64_t(sizeof(MdlPackedVertex));
    for (; frameEntries < header.numframes; ++frameEntries) {
        const size_t entry = file.Offset();
        int32_t type = 0;
        if (!file.Int(type)) return finish(entry);
        if (type == 0) {
            const uint8_t* frame = file.Take(frameBytes);
            if (frame == nullptr) return finish(entry);
            out.Int(0);
            out.Append(frame, frameBytes);
            ++frames;
            continue;
        }
        MdlGroup& group = groups.frames.emplace_back();
        const std::string bad = ReadGroupHead(file, FRAME_GROUP, frameEntries, frameBytes, group);
        if (!bad.empty()) return Bad(bad);
        group.first = int32_t(frames);
        for (size_t k = 0; k < group.intervals.size(); ++k) {
            const uint8_t* frame = file.Take(frameBytes);
            out.Int(0);
            out.Append(frame, frameBytes);
            const char* name = reinterpret_cast<const char*>(frame + MDL_FRAME_BBOX_SIZE);
            group.names.emplace_back(name, strnlen(name, MDL_FRAME_NAME_SIZE - 1));
        }
        frames += int64_t(group.intervals.size());
    }
    return finish(file.Offset());
}
