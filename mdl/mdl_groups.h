// The converter's way past groups, which the plug-in refuses: a model file
// with skin or frame groups rewritten as the same model with each group's
// skins and frames as single entries, in order, and the groups kept beside
// it, with their intervals. The plug-in itself never uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A skin or frame group of the file.
struct MdlGroup {
    int32_t entry;  // its skin or frame entry in the file
    int32_t first;  // its first skin or frame once ungrouped
    std::vector<float> intervals;    // as in the file, one a skin or frame: the running total of their times
    std::vector<std::string> names;  // a frame group's frames' names, each up to its terminator
};

struct MdlGroups {
    std::vector<MdlGroup> skins;
    std::vector<MdlGroup> frames;
    int32_t skinCount = 0;   // of the model ungrouped
    int32_t frameCount = 0;
    bool Empty() const { return skins.empty() && frames.empty(); }
};

struct UngroupedModel {
    enum class Kind { NoGroups, Ungrouped, BadGroup };
    Kind kind = Kind::NoGroups;
    std::vector<uint8_t> bytes;  // Ungrouped: the model with single entries only
    MdlGroups groups;            // Ungrouped
    std::string reason;          // BadGroup: what is wrong with which group
};

// Reads the model file held in data[0, size).
// - NoGroups: not a model, no groups, or damaged before its first group;
//   the file is the plug-in's to judge as it is.
// - BadGroup: a group's count is below 1, or more than an animation holds
//   (frames), or its intervals or entries run past the file's end.
// - Ungrouped otherwise. Damage outside the groups after the first is
//   copied as it is, from the entry where it lies, for the plug-in to judge.
// Memory: the rewritten file is never larger than the file, and the groups
// hold a few bytes an entry of it.
UngroupedModel UngroupModel(const uint8_t* data, size_t size);
