#include "export_animations.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace {

constexpr double DEFAULT_FRAME_TIME = 0.1;  // the model compiler's, and the format's usual rate

bool Increasing(const std::vector<float>& keys) {
    for (size_t k = 1; k < keys.size(); ++k)
        if (!(keys[k] > keys[k - 1]) || !std::isfinite(keys[k])) return false;
    return true;
}

// 0, step, 2 step, ...; empty when the last would pass what a float holds.
std::vector<float> EvenKeys(size_t entries, double step) {
    if (!(step > 0.0) || !std::isfinite(step) || step * double(entries) > std::numeric_limits<float>::max()) return {};
    std::vector<float> keys(entries + 1);
    for (size_t k = 0; k < keys.size(); ++k) keys[k] = float(step * double(k));
    return Increasing(keys) ? keys : std::vector<float>();
}

}  // namespace

std::vector<float> GroupKeyTimes(const std::vector<float>& intervals) {
    std::vector<float> keys(1, 0.0f);
    keys.insert(keys.end(), intervals.begin(), intervals.end());
    if (Increasing(keys)) return keys;
    // As the GL renderers play such a group: every entry for the first's time.
    keys = EvenKeys(intervals.size(), intervals.empty() ? 0.0 : double(intervals[0]));
    return keys.empty() ? EvenKeys(intervals.size(), DEFAULT_FRAME_TIME) : keys;
}

std::vector<ExportAnimation> ExportAnimations(const ReceivedModel& model, const MdlGroups& groups) {
    std::vector<ExportAnimation> sequences;
    size_t poses = 1;
    for (size_t k = 0; k < model.animations.size(); ++k) {
        const ReceivedAnimation& animation = model.animations[k];
        if (animation.frames == 0) continue;
        sequences.push_back({k, animation.name, poses, animation.frames, {}, {}});
        poses += animation.frames;
    }
    const size_t frames = poses - 1;
    bool fits = !groups.frames.empty() && frames == size_t(groups.frameCount);
    for (const MdlGroup& group : groups.frames) fits = fits && size_t(group.first) + group.intervals.size() <= frames;
    if (!fits) return sequences;

    std::vector<ExportAnimation> animations;
    std::set<std::string> names;
    size_t sequence = 0;  // the one frame f is in
    // Frame f, the first of a piece of `count` frames, starts an animation.
    const auto add = [&](size_t f, size_t count) -> ExportAnimation& {
        while (sequence + 1 < sequences.size() && sequences[sequence + 1].firstPose <= f + 1) ++sequence;
        std::string name = sequences[sequence].name;
        for (int n = 2; !names.insert(name).second; ++n) name = sequences[sequence].name + " " + std::to_string(n);
        return animations.emplace_back(ExportAnimation{animations.size(), name, f + 1, count, {}, {}});
    };
    // The frames [from, to) between groups, cut where the plug-in's sequences begin.
    const auto singles = [&](size_t from, size_t to) {
        while (from < to) {
            add(from, 0);
            const ExportAnimation& sequenceOf = sequences[sequence];
            const size_t end = std::min(to, sequenceOf.firstPose - 1 + sequenceOf.frames);
            animations.back().frames = end - from;
            from = end;
        }
    };
    size_t next = 0;
    for (const MdlGroup& group : groups.frames) {
        singles(next, size_t(group.first));
        ExportAnimation& animation = add(size_t(group.first), group.intervals.size());
        animation.keys = GroupKeyTimes(group.intervals);
        animation.frameNames = group.names;
        next = size_t(group.first) + group.intervals.size();
    }
    singles(next, frames);
    return animations;
}

std::vector<std::string> SkinNames(size_t skins, const MdlGroups& groups) {
    std::vector<std::string> names;
    size_t entry = 0;
    auto group = groups.skins.begin();
    while (names.size() < skins) {
        if (group != groups.skins.end() && size_t(group->first) == names.size()) {
            entry = size_t(group->entry);
            for (size_t k = 0; k < group->intervals.size() && names.size() < skins; ++k)
                names.push_back("skin " + std::to_string(entry) + " frame " + std::to_string(k));
            ++group;
        } else {
            names.push_back("skin " + std::to_string(entry));
        }
        ++entry;
    }
    return names;
}
