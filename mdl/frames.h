#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <memory>

#include "mdl/geometry.h"
#include "mdl/mdl_format.h"

using FrameName = std::array<char, MDL_FRAME_NAME_SIZE>;

// The longest run of frames one animation can describe: its frame count is a
// signed 16-bit field.
constexpr int32_t MAX_SEQUENCE_FRAMES = 32767;

// Writes the stem of name (at most 15 characters) into stem: the name with
// its frame number cut off.
void GetFrameBaseName(const char* name, char* stem);

// What the reader keeps of the frames section until the animations are built.
// Each table has one slot more than there are frames; the last is only used
// by sequenceStarts, for the end sentinel.
struct FrameTables {
    explicit FrameTables(int32_t numframes);

    std::vector<std::unique_ptr<MdlPackedVertex[]>> frameVertices;
    std::vector<FrameName> frameNames;
    std::vector<int32_t> sequenceStarts;
};

// Groups consecutive frames whose names continue one stem into sequences.
class FrameGrouping {
public:
    explicit FrameGrouping(FrameTables& tables);

    // Frame i's name is in its slot of frameNames; a frame that starts a new
    // sequence has its slot overwritten with the sequence's stem.
    void AddFrame(int32_t i);
    void Close(int32_t numframes);

    int32_t SequenceCount() const { return sequenceCount; }

private:
    FrameTables& tables;
    char currentStem[MDL_FRAME_NAME_SIZE];
    int32_t sequenceCount;
};

// Appends one animation per sequence, each with its own data buffer. False
// when a sequence is longer than MAX_SEQUENCE_FRAMES or its data cannot be had.
bool BuildAnimations(const FrameTables& tables, int32_t sequenceCount, int32_t numverts,
                     const PackedVertexDecoder& decode);
