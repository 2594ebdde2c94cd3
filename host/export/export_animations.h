// What the export animates and how it names the skins: the plug-in's
// sequences, each at the format's usual 10 frames a second; or, for a model
// with groups, each frame group as one animation timed by its intervals,
// and each skin of a skin group a skin of its own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mdl/mdl_groups.h"
#include "received_model.h"

struct ExportAnimation {
    size_t index;  // in ReceivedModel::animations; with groups, among the export's
    std::string name;
    size_t firstPose;  // in ExportMesh::poses, where the rest pose is 0
    size_t frames;
    std::vector<float> keys;              // a group's: 0 and its frames' ends; empty: 10 frames a second
    std::vector<std::string> frameNames;  // a group's frames' own; empty: the name and the frame's number
};

// The animations of a model whose poses are the rest pose and then every
// frame the plug-in delivered, in order.
// - Without frame groups: one per delivered animation with frames.
// - With them: every frame group one animation, and the frames between
//   groups cut from the plug-in's sequences where a group begins or ends.
//   Each takes the name of the sequence its first frame is in; a name met
//   before gets " 2", " 3" and so on, the first number that makes it new.
//   Where the frames delivered are not the model's, the groups are left out.
std::vector<ExportAnimation> ExportAnimations(const ReceivedModel& model, const MdlGroups& groups);

// A group's key times from its intervals: 0, then each entry's end. Where
// the ends are not finite, positive and increasing, the entries step evenly
// by the first interval, or by a tenth of a second where that is not
// positive and finite either.
std::vector<float> GroupKeyTimes(const std::vector<float>& intervals);

// Each skin's name: "skin N" for the file's skin entry N, and "skin N
// frame K" for the skins of a group.
std::vector<std::string> SkinNames(size_t skins, const MdlGroups& groups);
