// The alias model reader: one forward pass over the file, each section handed
// to its converter as soon as it is in memory. Model files come from
// strangers; this is what the reader checks and what a bad file gets.
//
// - ident must be "IDPO". A file that is not a model, including one shorter
//   than the header whose first four bytes are not "IDPO", gets the
//   wrong-magic message. The group word of every skin and frame entry must be
//   0; a group gets the groups message. These are the only messages the
//   reader shows itself.
// - Everything else fails the load silently (LoadMdl returns 0 having released
//   all it took, and the import run tells the user "Error loading *.mdl
//   file"): a file that starts with "IDPO" but ends inside the header; any
//   read that delivers less than asked; numverts or numtris below 0; a
//   negative skin dimension when there are skins, or a skin of more pixels
//   than a 32-bit size holds three times; a skin dimension of 0 or less when
//   there are triangles; a vertex index outside 0 to numverts - 1; a texture
//   coordinate that does not fit 32 bits; a sequence of more than 32767
//   frames; a file that cannot be opened or measured (over 2 GiB, more than a
//   32-bit process could hold anyway), a null or empty path; running out of
//   memory.
// - numskins and numframes of 0 or less mean no entries. version, the floats
//   (NaN and infinities included) and the unused fields are taken as they are.
// - Every section's byte count is computed in 64 bits from the header and
//   compared with what remains of the file before anything of that size is
//   allocated, so the memory a file can make the reader take grows only with
//   the file's own size. A skin or frame group entry is never smaller than a
//   single entry, so these checks pass for files with groups, which then get
//   their groups message.
#include "mdl/mdl_reader.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "mdl/frames.h"
#include "mdl/geometry.h"
#include "mdl/mdl_format.h"
#include "mdl/skins.h"
#include "plugin/host_calls.h"
#include "plugin/plugin.h"
#include "plugin/texts.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// The model file, read forward only, with the count of bytes not yet read.
class MdlFile {
public:
    bool Open(const char* path) {
        // The Windows C runtime treats a null path as a fault that may end the
        // host's process; neither null nor "" names a file.
        if (path == nullptr || *path == '\0') return false;
        file.reset(std::fopen(path, "rb"));
        if (!file) return false;
        if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
        const long size = std::ftell(file.get());
        if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
        remaining = size;
        return true;
    }

    int64_t Remaining() const { return remaining; }

    // Reads what there is, up to bytes; for the header, which is judged by
    // what it holds.
    size_t ReadSome(void* destination, size_t bytes) {
        const size_t got = std::fread(destination, 1, bytes, file.get());
        remaining -= int64_t(got);
        return got;
    }
    bool Failed() const { return std::ferror(file.get()) != 0; }

    // The one way the walk reads: all of it, or the load fails.
    bool Read(void* destination, int64_t bytes) {
        if (bytes < 0 || bytes > remaining) return false;
        if (bytes == 0) return true;
        return ReadSome(destination, size_t(bytes)) == size_t(bytes);
    }

    bool Skip(int64_t bytes) {
        if (bytes > remaining || std::fseek(file.get(), long(bytes), SEEK_CUR) != 0) return false;
        remaining -= bytes;
        return true;
    }

    // A table of count entries in one read; its size is checked against the
    // file before it is allocated. Left uninitialised: the read fills it.
    template <typename Entry>
    bool ReadTable(std::unique_ptr<Entry[]>& table, int32_t count) {
        const int64_t bytes = int64_t(count) * int64_t(sizeof(Entry));
        if (count < 0 || bytes > remaining) return false;
        table.reset(new Entry[size_t(count)]);
        return Read(table.get(), bytes);
    }

private:
    std::unique_ptr<FILE, FileCloser> file;
    int64_t remaining = 0;
};

bool Fail(const char* text) {
    HostMessageBox(hostWindow, text, CAPTION_READER, MB_OK | MB_ICONINFORMATION);
    return false;
}

// Pixels of one skin, when the header's skins can be read and converted.
// A group entry is never smaller than a single skin, so a file with groups
// passes the size check and gets to show its groups message.
bool SkinPixelCount(const MdlHeader& header, int64_t remaining, int64_t* pixels) {
    if (header.skinwidth < 0 || header.skinheight < 0) return false;
    *pixels = int64_t(header.skinwidth) * int64_t(header.skinheight);
    // Three bytes a pixel once expanded; the host takes sizes as int.
    if (*pixels > std::numeric_limits<int32_t>::max() / 3) return false;
    return header.numskins <= remaining / (MDL_SKIN_TYPE_SIZE + *pixels);
}

// Likewise for frames: a group entry is larger than a single frame.
bool FramesFit(const MdlHeader& header, int64_t remaining) {
    if (header.numverts < 0) return false;
    const int64_t frameBytes = MDL_FRAME_HEAD_SIZE + int64_t(header.numverts) * int64_t(sizeof(MdlPackedVertex));
    return header.numframes <= remaining / frameBytes;
}

bool Walk(const char* path) {
    MdlFile file;
    if (!file.Open(path)) return false;

    MdlHeader header;
    std::memset(&header, 0, sizeof header);
    const size_t got = file.ReadSome(&header, sizeof header);
    if (got == 0 && file.Failed()) return false;  // a directory, say: nothing to judge
    if (got < sizeof header.ident || header.ident != MDL_IDENT) return Fail(TEXT_NOT_MDL);
    if (got < sizeof header) return false;

    // skins
    {
        int64_t pixels = 0;
        if (header.numskins > 0 && !SkinPixelCount(header, file.Remaining(), &pixels)) return false;
        std::unique_ptr<uint8_t[]> indices(new uint8_t[size_t(pixels)]);  // shared by all skins
        SkinConverter skins;
        for (int32_t i = 0; i < header.numskins; ++i) {
            int32_t type = 0;
            if (!file.Read(&type, MDL_SKIN_TYPE_SIZE)) return false;
            if (type != 0) return Fail(TEXT_GROUPS);
            if (!file.Read(indices.get(), pixels)) return false;
            skins.Convert(indices.get(), header.skinwidth, header.skinheight);
        }
    }

    // texture coordinates
    std::unique_ptr<MdlTexCoord[]> texCoords;
    if (!file.ReadTable(texCoords, header.numverts)) return false;

    // triangles
    {
        std::unique_ptr<MdlTriangle[]> triangles;
        if (!file.ReadTable(triangles, header.numtris)) return false;
        if (!ConvertTriangles(texCoords.get(), header.numverts, triangles.get(), header.numtris,
                              header.skinwidth, header.skinheight))
            return false;
    }

    // frames
    if (header.numframes <= 0) return true;
    if (!FramesFit(header, file.Remaining())) return false;
    FrameTables frames(header.numframes);
    FrameGrouping grouping(frames);
    for (int32_t i = 0; i < header.numframes; ++i) {
        int32_t type = 0;
        if (!file.Read(&type, MDL_FRAME_TYPE_SIZE)) return false;
        if (type != 0) return Fail(TEXT_GROUPS);
        if (!file.Skip(MDL_FRAME_BBOX_SIZE)) return false;
        FrameName& name = frames.frameNames[size_t(i)];
        if (!file.Read(name.data(), MDL_FRAME_NAME_SIZE)) return false;
        name.back() = '\0';
        grouping.AddFrame(i);
        if (!file.ReadTable(frames.frameVertices[size_t(i)], header.numverts)) return false;
    }
    grouping.Close(header.numframes);

    const PackedVertexDecoder decode(header.scale, header.translate);
    ConvertVertices(frames.frameVertices[0].get(), header.numverts, decode);
    return header.numframes == 1 || BuildAnimations(frames, grouping.SequenceCount(), header.numverts, decode);
}

}  // namespace

int LoadMdl(const char* path) noexcept {
    try {
        return Walk(path) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
