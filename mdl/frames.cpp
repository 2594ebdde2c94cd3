#include "mdl/frames.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "plugin/plugin.h"
#include "records/host_records.h"

namespace {

// Where no sequence is under way yet. Frames whose names continue it belong
// to no sequence.
constexpr char INITIAL_STEM[] = "@@@";
// '0' last: a frame number never starts with it.
constexpr char CONTINUATION_DIGITS[] = "1234567890";
constexpr char STEM_DIGITS[] = "123456789";

bool ContinuesStem(const char* name, const char* stem) {
    if (std::strstr(name, stem) == nullptr) return false;
    // The stem's length counted from the start of the name, not from where
    // the stem was found; within the name, since the stem occurs in it.
    const char next = name[std::strlen(stem)];
    return next == '\0' || std::strchr(CONTINUATION_DIGITS, next) != nullptr;
}

}  // namespace

void GetFrameBaseName(const char* name, char* stem) {
    // At most the 15 characters a frame name holds, and a terminator.
    char copy[MDL_FRAME_NAME_SIZE] = {};
    size_t length = 0;
    while (length < MDL_FRAME_NAME_SIZE - 1 && name[length] != '\0') ++length;
    std::memcpy(copy, name, length);

    const char* zero = std::strchr(copy, '0');
    if (zero != nullptr && size_t(zero - copy) != length - 1) {
        copy[zero - copy] = '\0';
    } else {
        const size_t digit = std::strcspn(copy, STEM_DIGITS);
        if (digit < length) copy[digit] = '\0';
    }
    std::memcpy(stem, copy, MDL_FRAME_NAME_SIZE);
}

FrameTables::FrameTables(int32_t numframes)
    : frameVertices(size_t(numframes) + 1), frameNames(size_t(numframes) + 1), sequenceStarts(size_t(numframes) + 1) {}

FrameGrouping::FrameGrouping(FrameTables& tables_) : tables(tables_), currentStem(), sequenceCount(0) {
    std::memcpy(currentStem, INITIAL_STEM, sizeof INITIAL_STEM);
}

void FrameGrouping::AddFrame(int32_t i) {
    FrameName& name = tables.frameNames[size_t(i)];
    if (ContinuesStem(name.data(), currentStem)) return;
    GetFrameBaseName(name.data(), currentStem);
    std::memcpy(name.data(), currentStem, MDL_FRAME_NAME_SIZE);
    tables.sequenceStarts[size_t(sequenceCount)] = i;
    ++sequenceCount;
}

void FrameGrouping::Close(int32_t numframes) { tables.sequenceStarts[size_t(sequenceCount)] = numframes; }

bool BuildAnimations(const FrameTables& tables, int32_t sequenceCount, int32_t numverts,
                     const PackedVertexDecoder& decode) {
    _ANIMATION animation;
    std::memset(&animation, 0, sizeof animation);
    animation.param = ANIMATION_PARAM;
    animation.vertexCount = numverts;
    animation.reserved = 0;

    for (int32_t k = 0; k < sequenceCount; ++k) {
        const int32_t start = tables.sequenceStarts[size_t(k)];
        const int32_t frames = tables.sequenceStarts[size_t(k) + 1] - start;
        if (frames > MAX_SEQUENCE_FRAMES) return false;

        const uint64_t elements = uint64_t(frames) * uint64_t(numverts > 0 ? numverts : 0);
        const uint64_t bytes = elements * sizeof(_VEC3);
        if (bytes > std::numeric_limits<size_t>::max()) return false;
        // Passes to the host with the record; never released here once offered.
        auto* data = static_cast<_VEC3*>(std::malloc(bytes > 0 ? size_t(bytes) : 1));
        if (data == nullptr) return false;

        animation.data = data;
        animation.frameCount = int16_t(frames);
        // The stem and its terminator only: what follows is left from earlier
        // names and carries no meaning.
        const char* stem = tables.frameNames[size_t(start)].data();
        std::memcpy(animation.name, stem, std::strlen(stem) + 1);
        for (int32_t f = 0; f < frames; ++f) {
            const MdlPackedVertex* packed = tables.frameVertices[size_t(start + f)].get();
            for (int32_t w = 0; w < numverts; ++w) *data++ = decode(packed[w]);
        }
        try {
            animationList->Add(animation);
        } catch (...) {
            std::free(animation.data);
            throw;
        }
    }
    return true;
}
