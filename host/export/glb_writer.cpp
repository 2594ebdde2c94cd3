#include "glb_writer.h"

#include "export_files.h"
#include <limits>
#include <map>

#include <nlohmann/json.hpp>

namespace {

// Floats kept as floats, so that each is written as the shortest text that
// reads back as the same float.
using Json = nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t, std::uint64_t, float>;

constexpr uint32_t GLB_MAGIC = 0x46546C67;  // "glTF"
constexpr uint32_t GLB_VERSION = 2;
constexpr uint32_t CHUNK_JSON = 0x4E4F534A;  // "JSON"
constexpr uint32_t CHUNK_BIN = 0x004E4942;   // "BIN\0"
constexpr uint64_t GLB_HEADER_SIZE = 12;
constexpr uint64_t CHUNK_HEADER_SIZE = 8;
constexpr uint64_t GLB_LARGEST = 0xFFFFFFFF;  // the header holds the file's length in 32 bits
constexpr char TEXT_TOO_LARGE[] = "it would pass the 4 GB a binary glTF file can hold";
constexpr char TEXT_TOO_MANY_WEIGHTS[] = "too many animation frames for the weights of one glTF mesh";

constexpr double FRAMES_PER_SECOND = 10.0;
// An animation's weights name every target at every frame. Up to this many
// targets they are written dense, which every reader takes: at most 8 MiB
// (a row a key, a key a frame and one for each animation's end), and a real
// model has a few hundred frames. Past it they are sparse (one 1.0 a key),
// so that the file grows with the frames, not their square.
constexpr size_t DENSE_WEIGHTS_LARGEST_TARGETS = 1024;
constexpr size_t LARGEST_SHORT_INDEX_COUNT = 65535;  // 65535 itself would be the restart value
constexpr char VARIANTS[] = "KHR_materials_variants";

constexpr int COMPONENT_FLOAT = 5126;
constexpr int COMPONENT_UNSIGNED_SHORT = 5123;
constexpr int COMPONENT_UNSIGNED_INT = 5125;
constexpr int TARGET_ARRAY_BUFFER = 34962;
constexpr int TARGET_ELEMENT_ARRAY_BUFFER = 34963;
constexpr int FILTER_NEAREST = 9728;
constexpr int FILTER_NEAREST_MIPMAP_LINEAR = 9986;
constexpr int MODE_TRIANGLES = 4;
constexpr uint64_t VEC3_SIZE = 12;

uint64_t Padded(uint64_t size) { return (size + 3) & ~uint64_t(3); }

float TimeOf(size_t frame) { return float(double(frame) / FRAMES_PER_SECOND); }

// An animation keys each of its frames and then its end, a tenth of a second
// after its last frame, so that a viewer playing it in a loop shows the last
// frame for as long as the others.
uint64_t KeysOf(const ExportAnimation& animation) { return uint64_t(animation.frames) + 1; }

// Frame f of an animation as a pose of the mesh (0 is the rest pose), and a
// pose after the rest pose as a morph target.
size_t PoseOf(const ExportAnimation& animation, size_t frame) { return animation.firstPose + frame; }
size_t TargetOf(size_t pose) { return pose - 1; }

}  // namespace

// Per axis; a NaN never takes part.
struct GlbWriter::Bounds {
    Vec3 low{std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
             std::numeric_limits<float>::infinity()};
    Vec3 high{-low[0], -low[1], -low[2]};

    void Add(const float value[3]) {
        for (int a = 0; a < 3; ++a) {
            if (value[a] < low[a]) low[a] = value[a];
            if (value[a] > high[a]) high[a] = value[a];
        }
    }
};

struct GlbWriter::Layout {
    struct View {
        uint64_t offset;
        uint64_t length;
        int target;
        int stride;
    };

    int Add(uint64_t length, int target = 0, int stride = 0) {
        views.push_back({size, length, target, stride});
        size += Padded(length);
        return int(views.size() - 1);
    }

    std::vector<View> views;
    uint64_t size = 0;  // of the binary chunk
    std::vector<int> images;       // the view of each skin's PNG, or -1
    std::vector<int> fullbrights;  // the view of each skin's glow, or -1
    int indices = -1;
    int texcoords = -1;
    int times = -1;       // the key times at 10 frames a second, for the longest such animation
    int groupTimes = -1;  // each group's own key times, group after group
    int weights = -1; // dense: one row a target, its 1.0 on the diagonal
    int ones = -1;    // sparse: the weights' values
    int sparse = -1;  // sparse: the weights' indices, animation after animation
    int vectors = -1; // positions and normals: the rest pose's, then each target's
    bool wideIndices = false;
    size_t attributes = 1;  // vectors per pose: positions, and normals if any
    size_t targets = 0;
    size_t maxFrames = 0;
    size_t evenFrames = 0;  // of the longest animation at 10 frames a second
    bool denseWeights = false;
    std::vector<Bounds> bounds;  // the rest pose's positions, then each target's displacements
    size_t written = 0;          // targets so far
    uint64_t at = 0;             // bytes of the binary chunk so far
    std::string misplaced;       // the first view that did not lie where planned
};

GlbWriter::GlbWriter(const ExportMesh& mesh_, const GltfVertices& vertices_, const ExportSkins& skins_,
                     const ExportPoses& poses_, Interpolation interpolation_)
    : mesh(mesh_), vertices(vertices_), skins(skins_), poses(poses_), interpolation(interpolation_),
      hasMesh(mesh.HasFaces()),
      layout(std::make_unique<Layout>()) {}

GlbWriter::~GlbWriter() = default;

void GlbWriter::PlanBuffer() {
    Layout& plan = *layout;
    const auto add = [&plan](const std::string& png) { return png.empty() ? -1 : plan.Add(png.size()); };
    for (size_t i = 0; i < skins.pngs.size(); ++i) {
        plan.images.push_back(add(skins.pngs[i]));
        plan.fullbrights.push_back(add(skins.fullbrights[i]));
    }
    if (!hasMesh) return;
    const uint64_t count = vertices.source.size();
    plan.wideIndices = count > LARGEST_SHORT_INDEX_COUNT;
    plan.indices = plan.Add(vertices.indices.size() * uint64_t(plan.wideIndices ? 4 : 2), TARGET_ELEMENT_ARRAY_BUFFER);
    plan.texcoords = plan.Add(count * 8, TARGET_ARRAY_BUFFER);
    plan.attributes = poses.HasNormals() ? 2 : 1;
    uint64_t keys = 0;
    uint64_t groupKeys = 0;
    bool even = false;
    for (const ExportAnimation& animation : poses.animations) {
        plan.targets += animation.frames;
        plan.maxFrames = std::max(plan.maxFrames, animation.frames);
        keys += KeysOf(animation);
        groupKeys += animation.keys.size();
        if (!animation.keys.empty()) continue;
        even = true;
        plan.evenFrames = std::max(plan.evenFrames, animation.frames);
    }
    if (plan.targets > 0) {
        if (even) plan.times = plan.Add((plan.evenFrames + 1) * uint64_t(4));
        if (groupKeys > 0) plan.groupTimes = plan.Add(groupKeys * 4);
        plan.denseWeights = plan.targets <= DENSE_WEIGHTS_LARGEST_TARGETS;
        if (plan.denseWeights) {
            // Each animation's weights are rows of their own: one per frame,
            // its 1.0 on its target, and the end's.
            plan.weights = plan.Add(keys * plan.targets * 4);
        } else {
            plan.ones = plan.Add((plan.maxFrames + 1) * uint64_t(4));
            plan.sparse = plan.Add(keys * uint64_t(4));  // one 1.0 per key
        }
    }
    plan.vectors = plan.Add((1 + uint64_t(plan.targets)) * plan.attributes * count * VEC3_SIZE, TARGET_ARRAY_BUFFER,
                            int(VEC3_SIZE));
}

// The JSON chunk as it is built, part by part, in the order in which its
// accessors are numbered.
struct GlbWriter::Chunk {
    Json gltf = {{"asset", {{"version", "2.0"}, {"generator", "mdlhost"}}}};
    Json primitive = {{"mode", MODE_TRIANGLES}};
    Json mesh = {{"name", "model"}};
    uint64_t vectorOffset = 0;  // of the next accessor into the positions' and normals' view

    size_t Accessor(Json accessor) {
        gltf["accessors"].push_back(std::move(accessor));
        return gltf["accessors"].size() - 1;
    }
};

std::string GlbWriter::JsonChunk() const {
    Chunk chunk;
    AddViews(chunk);
    AddMaterials(chunk);
    if (hasMesh) {
        AddPrimitive(chunk);
        AddAnimations(chunk);
        chunk.mesh["primitives"] = {std::move(chunk.primitive)};
        chunk.gltf["meshes"] = {std::move(chunk.mesh)};
        chunk.gltf["nodes"] = {{{"name", "model"}, {"mesh", 0}}};
    } else {
        // A scene of one empty node all the same: viewers fail on a file with
        // no scene to show.
        chunk.gltf["nodes"] = {{{"name", "model"}}};
    }
    chunk.gltf["scenes"] = {{{"nodes", {0}}}};
    chunk.gltf["scene"] = 0;
    return chunk.gltf.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void GlbWriter::AddViews(Chunk& chunk) const {
    const Layout& plan = *layout;
    if (plan.size > 0) chunk.gltf["buffers"] = {{{"byteLength", plan.size}}};
    for (const Layout::View& view : plan.views) {
        Json entry = {{"buffer", 0}, {"byteOffset", view.offset}, {"byteLength", view.length}};
        if (view.target != 0) entry["target"] = view.target;
        if (view.stride != 0) entry["byteStride"] = view.stride;
        chunk.gltf["bufferViews"].push_back(std::move(entry));
    }
}

// One material per texture record; the image is the skin unscaled, sampled
// without smoothing so that pixel art stays sharp. Its fullbright texels also
// glow, emitted at their own colour, as the game draws them whatever the light.
void GlbWriter::AddMaterials(Chunk& chunk) const {
    if (skins.Count() == 0) return;
    Json& gltf = chunk.gltf;
    gltf["samplers"] = {{{"magFilter", FILTER_NEAREST}, {"minFilter", FILTER_NEAREST_MIPMAP_LINEAR}}};
    const auto texture = [&gltf](const std::string& name, int view) {
        gltf["images"].push_back({{"name", name}, {"mimeType", "image/png"}, {"bufferView", view}});
        gltf["textures"].push_back({{"sampler", 0}, {"source", gltf["images"].size() - 1}});
        return Json{{"index", gltf["textures"].size() - 1}};
    };
    for (size_t i = 0; i < skins.Count(); ++i) {
        const std::string& name = skins.names[i];
        Json material = {{"name", name}, {"pbrMetallicRoughness", {{"metallicFactor", 0.0f}}}};
        if (layout->images[i] >= 0) material["pbrMetallicRoughness"]["baseColorTexture"] = texture(name, layout->images[i]);
        if (layout->fullbrights[i] >= 0) {
            material["emissiveTexture"] = texture(name + " fullbright", layout->fullbrights[i]);
            material["emissiveFactor"] = {1.0f, 1.0f, 1.0f};
        }
        gltf["materials"].push_back(std::move(material));
    }
}

// The next pose's positions (with the bounds glTF asks of them) or normals.
size_t GlbWriter::AddVectors(Chunk& chunk, const Bounds* bounds) const {
    const size_t count = vertices.source.size();
    Json accessor = {{"bufferView", layout->vectors}, {"byteOffset", chunk.vectorOffset},
                     {"componentType", COMPONENT_FLOAT}, {"count", count}, {"type", "VEC3"}};
    if (bounds != nullptr) {
        accessor["min"] = {bounds->low[0], bounds->low[1], bounds->low[2]};
        accessor["max"] = {bounds->high[0], bounds->high[1], bounds->high[2]};
    }
    chunk.vectorOffset += count * VEC3_SIZE;
    return chunk.Accessor(std::move(accessor));
}

// The rest pose, texture coordinates, faces and material, and the further
// skins as selectable variants of the one primitive.
void GlbWriter::AddPrimitive(Chunk& chunk) const {
    const Layout& plan = *layout;
    Json& primitive = chunk.primitive;
    primitive["attributes"]["POSITION"] = AddVectors(chunk, &plan.bounds[0]);
    if (poses.HasNormals()) primitive["attributes"]["NORMAL"] = AddVectors(chunk, nullptr);
    primitive["attributes"]["TEXCOORD_0"] =
        chunk.Accessor({{"bufferView", plan.texcoords}, {"componentType", COMPONENT_FLOAT},
                        {"count", vertices.source.size()}, {"type", "VEC2"}});
    primitive["indices"] =
        chunk.Accessor({{"bufferView", plan.indices},
                        {"componentType", plan.wideIndices ? COMPONENT_UNSIGNED_INT : COMPONENT_UNSIGNED_SHORT},
                        {"count", vertices.indices.size()}, {"type", "SCALAR"}});
    if (skins.Count() > 0) primitive["material"] = 0;
    if (skins.Count() < 2) return;
    for (size_t i = 0; i < skins.Count(); ++i) {
        chunk.gltf["extensions"][VARIANTS]["variants"].push_back({{"name", skins.names[i]}});
        primitive["extensions"][VARIANTS]["mappings"].push_back({{"material", i}, {"variants", {i}}});
    }
    chunk.gltf["extensionsUsed"] = {VARIANTS};
}

// Every frame a morph target of offsets from the rest pose, its normals too;
// each animation plays its own targets one after another, its weights all 0
// but for one 1.0 a frame.
void GlbWriter::AddAnimations(Chunk& chunk) const {
    const Layout& plan = *layout;
    Json targetNames = Json::array();
    uint64_t sparseOffset = 0;
    uint64_t groupTimesOffset = 0;
    uint64_t rowsBefore = 0;  // the dense weights' rows of the animations before
    for (const ExportAnimation& animation : poses.animations) {
        const std::string name = BytesAsText(animation.name);
        const uint64_t keys = KeysOf(animation);
        for (size_t f = 0; f < animation.frames; ++f) {
            Json target = {{"POSITION", AddVectors(chunk, &plan.bounds[PoseOf(animation, f)])}};
            if (poses.HasNormals()) target["NORMAL"] = AddVectors(chunk, nullptr);
            chunk.primitive["targets"].push_back(std::move(target));
            targetNames.push_back(animation.frameNames.empty() ? name + " " + std::to_string(f)
                                                               : BytesAsText(animation.frameNames[f]));
        }
        Json times = {{"bufferView", plan.times}, {"componentType", COMPONENT_FLOAT}, {"count", keys},
                      {"type", "SCALAR"}, {"min", {0.0f}}, {"max", {TimeOf(animation.frames)}}};
        if (!animation.keys.empty()) {
            times["bufferView"] = plan.groupTimes;
            times["byteOffset"] = groupTimesOffset;
            times["max"] = {animation.keys.back()};
            groupTimesOffset += keys * 4;
        }
        const size_t input = chunk.Accessor(std::move(times));
        Json output = {{"componentType", COMPONENT_FLOAT}, {"count", keys * plan.targets}, {"type", "SCALAR"}};
        if (plan.denseWeights) {
            output["bufferView"] = plan.weights;
            output["byteOffset"] = rowsBefore * plan.targets * 4;
            rowsBefore += keys;
        } else {
            output["sparse"] = {{"count", keys},
                                {"indices", {{"bufferView", plan.sparse}, {"byteOffset", sparseOffset},
                                             {"componentType", COMPONENT_UNSIGNED_INT}}},
                                {"values", {{"bufferView", plan.ones}}}};
            sparseOffset += keys * 4;
        }
        const size_t weights = chunk.Accessor(std::move(output));
        chunk.gltf["animations"].push_back(
            {{"name", name},
             {"samplers",
              {{{"input", input}, {"output", weights},
                {"interpolation", interpolation == Interpolation::Linear ? "LINEAR" : "STEP"}}}},
             {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "weights"}}}}}}});
    }
    if (plan.targets == 0) return;
    // All weights 0: the mesh at rest is the vertex list, frame 0.
    chunk.mesh["weights"] = std::vector<int>(plan.targets, 0);
    chunk.mesh["extras"]["targetNames"] = std::move(targetNames);
}

// The bounds glTF asks of positions: the rest pose's, and each target's
// offsets from it.
void GlbWriter::FindBounds(const Pose& rest) {
    Layout& plan = *layout;
    plan.bounds.resize(1 + plan.targets);
    for (const uint32_t w : vertices.source) plan.bounds[0].Add(rest.positions[w].data());
    std::vector<Vec3> positions;
    for (size_t k = 1; k < poses.Count(); ++k) {
        poses.Positions(k, positions);
        for (const uint32_t w : vertices.source) {
            const float offset[3] = {positions[w][0] - rest.positions[w][0], positions[w][1] - rest.positions[w][1],
                                     positions[w][2] - rest.positions[w][2]};
            plan.bounds[k].Add(offset);
        }
    }
}

void GlbWriter::Put(const void* bytes, size_t size) {
    file->Write(bytes, size);
    layout->at += size;
}

void GlbWriter::OpenView(int view) {
    Layout& plan = *layout;
    if (plan.misplaced.empty() && plan.at != plan.views[size_t(view)].offset)
        plan.misplaced = "view " + std::to_string(view) + " begins at byte " + std::to_string(plan.at) + ", not " +
                         std::to_string(plan.views[size_t(view)].offset);
}

void GlbWriter::CloseView(int view) {
    static const char ZEROS[4] = {};
    Layout& plan = *layout;
    const Layout::View& planned = plan.views[size_t(view)];
    if (plan.misplaced.empty() && plan.at != planned.offset + planned.length)
        plan.misplaced = "view " + std::to_string(view) + " ends at byte " + std::to_string(plan.at) + ", not " +
                         std::to_string(planned.offset + planned.length);
    Put(ZEROS, size_t(Padded(planned.length) - planned.length));
}

void GlbWriter::WriteView(int view, const void* bytes, size_t size) {
    OpenView(view);
    Put(bytes, size);
    CloseView(view);
}

void GlbWriter::WriteVectors(const std::vector<Vec3>& values, const std::vector<Vec3>* base) {
    scratch.resize(vertices.source.size() * 3);
    float* out = scratch.data();
    for (const uint32_t w : vertices.source) {
        for (int a = 0; a < 3; ++a) *out++ = base ? values[w][size_t(a)] - (*base)[w][size_t(a)] : values[w][size_t(a)];
    }
    Put(scratch.data(), scratch.size() * sizeof(float));
}

bool GlbWriter::Begin(const OutputFolder& folder, const Pose& rest) {
    const std::filesystem::path name = GLB_FILE;
    const auto refuse = [&](const std::string& reason) {
        folder.Messages().Fail("cannot write " + Shown(folder.Root() / name) + ": " + reason);
        return false;
    };
    if (!hasMesh) {
        folder.Messages().Note(std::string("the model has no ") + (mesh.vertexCount == 0 ? "frames" : "triangles") +
                               ", so " + Shown(folder.Root() / name) + " holds its skins and no mesh");
    }
    messages = &folder.Messages();
    PlanBuffer();
    Layout& plan = *layout;
    if (plan.size > GLB_LARGEST) return refuse(TEXT_TOO_LARGE);
    // The sparse indices of an animation's weights are 32 bits.
    if (!plan.denseWeights && uint64_t(plan.maxFrames + 1) * plan.targets > GLB_LARGEST)
        return refuse(TEXT_TOO_MANY_WEIGHTS);

    if (hasMesh) FindBounds(rest);
    std::string json = JsonChunk();
    json.resize(size_t(Padded(json.size())), ' ');
    const uint64_t length =
        GLB_HEADER_SIZE + CHUNK_HEADER_SIZE + json.size() + (plan.size > 0 ? CHUNK_HEADER_SIZE + plan.size : 0);
    if (length > GLB_LARGEST) return refuse(TEXT_TOO_LARGE);

    file = std::make_unique<OutputFile>(folder, name);
    const uint32_t header[5] = {GLB_MAGIC, GLB_VERSION, uint32_t(length), uint32_t(json.size()), CHUNK_JSON};
    file->Write(header, sizeof header);
    file->Write(json.data(), json.size());
    if (plan.size == 0) return file->Good();
    const uint32_t binary[2] = {uint32_t(plan.size), CHUNK_BIN};
    file->Write(binary, sizeof binary);

    for (size_t i = 0; i < skins.pngs.size(); ++i) {
        if (plan.images[i] >= 0) WriteView(plan.images[i], skins.pngs[i].data(), skins.pngs[i].size());
        if (plan.fullbrights[i] >= 0)
            WriteView(plan.fullbrights[i], skins.fullbrights[i].data(), skins.fullbrights[i].size());
    }
    if (!hasMesh) return file->Good();
    if (plan.wideIndices) {
        WriteView(plan.indices, vertices.indices);
    } else {
        WriteView(plan.indices, std::vector<uint16_t>(vertices.indices.begin(), vertices.indices.end()));
    }
    WriteView(plan.texcoords, vertices.uv);
    if (plan.targets > 0) WriteAnimationViews();
    restPose = &rest;
    OpenView(plan.vectors);  // closed by Finish, after the last target
    WriteVectors(rest.positions, nullptr);
    if (poses.HasNormals()) WriteVectors(rest.normals, nullptr);
    return file->Good();
}

// The key times, and the weights: dense, one row a key with its 1.0 on the
// key's target, or sparse, a 1.0 a key and where it goes. An animation's end
// is keyed as its last frame, stepped; blended, as its first, so that a loop
// blends back to its start.
void GlbWriter::WriteAnimationViews() {
    const Layout& plan = *layout;
    if (plan.times >= 0) {
        std::vector<float> times(plan.evenFrames + 1);
        for (size_t f = 0; f < times.size(); ++f) times[f] = TimeOf(f);
        WriteView(plan.times, times);
    }
    if (plan.groupTimes >= 0) {
        std::vector<float> times;
        for (const ExportAnimation& animation : poses.animations)
            times.insert(times.end(), animation.keys.begin(), animation.keys.end());
        WriteView(plan.groupTimes, times);
    }
    const auto targetOf = [this](const ExportAnimation& animation, size_t key) {
        const size_t frame = key < animation.frames ? key : interpolation == Interpolation::Linear ? 0 : key - 1;
        return TargetOf(PoseOf(animation, frame));
    };
    if (plan.denseWeights) {
        std::vector<float> row(plan.targets, 0.0f);
        OpenView(plan.weights);
        for (const ExportAnimation& animation : poses.animations) {
            for (size_t key = 0; key < KeysOf(animation); ++key) {
                const size_t t = targetOf(animation, key);
                row[t] = 1.0f;
                Put(row.data(), row.size() * sizeof(float));
                row[t] = 0.0f;
            }
        }
        CloseView(plan.weights);
        return;
    }
    WriteView(plan.ones, std::vector<float>(plan.maxFrames + 1, 1.0f));
    std::vector<uint32_t> keys;
    keys.reserve(plan.targets + poses.animations.size());
    for (const ExportAnimation& animation : poses.animations)
        for (size_t key = 0; key < KeysOf(animation); ++key)
            keys.push_back(uint32_t(key * plan.targets + targetOf(animation, key)));
    WriteView(plan.sparse, keys);
}

bool GlbWriter::AddTarget(const Pose& pose) {
    if (!hasMesh) return true;
    ++layout->written;
    WriteVectors(pose.positions, &restPose->positions);
    if (poses.HasNormals()) WriteVectors(pose.normals, &restPose->normals);
    return file->Good();
}

bool GlbWriter::Finish() {
    Layout& plan = *layout;
    // The header promised every target: a file with fewer is never named.
    if (hasMesh && plan.written != plan.targets) {
        messages->Fail(std::string(GLB_FILE) + ": " + std::to_string(plan.written) + " of " +
                       std::to_string(plan.targets) + " morph targets written");
        return false;
    }
    if (hasMesh) CloseView(plan.vectors);
    if (plan.misplaced.empty() && plan.at != plan.size)
        plan.misplaced = "the binary chunk holds " + std::to_string(plan.at) + " bytes, not " + std::to_string(plan.size);
    // A file whose bytes are not where its JSON says is never named either.
    if (!plan.misplaced.empty()) {
        messages->Fail(std::string(GLB_FILE) + ": " + plan.misplaced);
        return false;
    }
    return file->Commit();
}
