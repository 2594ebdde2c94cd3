// The binary glTF export: one node, one mesh, one triangle primitive; one
// material per texture record with the skin as passed to ScaleImage; every
// animation frame a morph target, every animation record a glTF animation
// of the mesh's weights at the format's usual 10 frames a second.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <unordered_map>
#include <vector>

#include <tiny_gltf.h>

#include "export_scene.h"

namespace {

constexpr double FRAMES_PER_SECOND = 10.0;
constexpr double UNITS_PER_SKIN = 256.0;
constexpr size_t LARGEST_SHORT_INDEX_COUNT = 65535;  // 65535 itself would be the restart value
constexpr char VARIANTS[] = "KHR_materials_variants";

using Position = std::array<float, 3>;

// glTF keeps one texture coordinate per vertex: one glTF vertex per distinct
// (vertex, u, v) corner.
struct Corner {
    int32_t vertex;
    int32_t u;
    int32_t v;
    bool operator==(const Corner& other) const { return vertex == other.vertex && u == other.u && v == other.v; }
};

struct CornerHash {
    size_t operator()(const Corner& corner) const {
        return std::hash<uint64_t>()(uint64_t(uint32_t(corner.vertex)) << 32 ^ uint32_t(corner.u) * 2654435761u ^
                                     uint32_t(corner.v));
    }
};

// Everything goes into one buffer; each view starts on a 4-byte boundary.
class GlbBuilder {
public:
    explicit GlbBuilder(tinygltf::Model& model_) : model(model_) { model.buffers.emplace_back(); }

    int AddView(const void* bytes, size_t size, int target) {
        std::vector<unsigned char>& data = model.buffers[0].data;
        data.resize((data.size() + 3) & ~size_t(3));
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        view.byteLength = size;
        view.target = target;
        const auto* begin = static_cast<const unsigned char*>(bytes);
        data.insert(data.end(), begin, begin + size);
        model.bufferViews.push_back(view);
        return int(model.bufferViews.size() - 1);
    }

    template <typename T>
    int AddAccessor(const std::vector<T>& values, int componentType, int type, size_t components, int target,
                    bool bounds) {
        tinygltf::Accessor accessor;
        accessor.bufferView = AddView(values.data(), values.size() * sizeof(T), target);
        accessor.componentType = componentType;
        accessor.type = type;
        accessor.count = values.size() / components;
        if (bounds) {
            accessor.minValues.assign(components, std::numeric_limits<double>::infinity());
            accessor.maxValues.assign(components, -std::numeric_limits<double>::infinity());
            for (size_t i = 0; i < values.size(); ++i) {
                double& low = accessor.minValues[i % components];
                double& high = accessor.maxValues[i % components];
                low = std::fmin(low, double(values[i]));
                high = std::fmax(high, double(values[i]));
            }
        }
        model.accessors.push_back(accessor);
        return int(model.accessors.size() - 1);
    }

    int AddFloats(const std::vector<float>& values, int type, size_t components, int target = 0) {
        return AddAccessor(values, TINYGLTF_COMPONENT_TYPE_FLOAT, type, components, target, true);
    }

private:
    tinygltf::Model& model;
};

std::vector<float> Flatten(const std::vector<Position>& positions) {
    std::vector<float> values;
    values.reserve(positions.size() * 3);
    for (const Position& p : positions) values.insert(values.end(), p.begin(), p.end());
    return values;
}

// One material per texture record; the image is the skin unscaled, sampled
// without smoothing so that pixel art stays sharp.
void AddSkins(const ImportReport& report, tinygltf::Model& model, GlbBuilder& glb) {
    const std::vector<_TEXTURE> textures = report.Records<_TEXTURE>(pm::TEXTURES);
    if (textures.empty()) return;
    tinygltf::Sampler sampler;
    sampler.magFilter = TINYGLTF_TEXTURE_FILTER_NEAREST;
    sampler.minFilter = TINYGLTF_TEXTURE_FILTER_NEAREST_MIPMAP_LINEAR;
    model.samplers.push_back(sampler);

    for (size_t i = 0; i < textures.size(); ++i) {
        tinygltf::Material material;
        material.name = "skin " + std::to_string(i);
        material.pbrMetallicRoughness.metallicFactor = 0;
        material.pbrMetallicRoughness.roughnessFactor = 1;
        const ScaleImageCallSeen* call = report.CallOf(textures[i]);
        if (call != nullptr && call->width > 0 && call->height > 0 && !call->pixels.empty()) {
            const std::string png = SkinPng(*call);
            tinygltf::Image image;
            image.name = material.name;
            image.mimeType = "image/png";
            image.bufferView = glb.AddView(png.data(), png.size(), 0);
            model.images.push_back(image);
            tinygltf::Texture texture;
            texture.sampler = 0;
            texture.source = int(model.images.size() - 1);
            model.textures.push_back(texture);
            material.pbrMetallicRoughness.baseColorTexture.index = int(model.textures.size() - 1);
        }
        model.materials.push_back(material);
    }
}

// Further skins as selectable variants of the one primitive.
void AddVariants(tinygltf::Model& model, tinygltf::Primitive& primitive) {
    if (model.materials.size() < 2) return;
    tinygltf::Value::Array variants;
    tinygltf::Value::Array mappings;
    for (size_t i = 0; i < model.materials.size(); ++i) {
        variants.emplace_back(tinygltf::Value::Object{{"name", tinygltf::Value(model.materials[i].name)}});
        mappings.emplace_back(tinygltf::Value::Object{
            {"material", tinygltf::Value(int(i))},
            {"variants", tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(int(i))})}});
    }
    model.extensions[VARIANTS] = tinygltf::Value(tinygltf::Value::Object{{"variants", tinygltf::Value(variants)}});
    primitive.extensions[VARIANTS] = tinygltf::Value(tinygltf::Value::Object{{"mappings", tinygltf::Value(mappings)}});
    model.extensionsUsed.push_back(VARIANTS);
}

struct SplitMesh {
    std::vector<int32_t> source;  // the host vertex of each glTF vertex
    std::vector<float> uv;
    std::vector<uint32_t> indices;
};

SplitMesh SplitCorners(const std::vector<_FACE>& faces, const std::vector<_FACEMAP>& faceMaps) {
    SplitMesh mesh;
    std::unordered_map<Corner, uint32_t, CornerHash> index;
    index.reserve(faces.size() * 3);
    mesh.indices.reserve(faces.size() * 3);
    for (size_t k = 0; k < faces.size(); ++k) {
        for (int c : EXPORT_CORNER_ORDER) {
            const _UV uv = k < faceMaps.size() ? faceMaps[k].uv[c] : _UV{0, 0};
            const Corner corner{faces[k].vertex[c], uv.u, uv.v};
            const auto [at, added] = index.emplace(corner, uint32_t(mesh.source.size()));
            if (added) {
                mesh.source.push_back(corner.vertex);
                mesh.uv.push_back(float(corner.u / UNITS_PER_SKIN));
                mesh.uv.push_back(float(corner.v / UNITS_PER_SKIN));
            }
            mesh.indices.push_back(at->second);
        }
    }
    return mesh;
}

int AddIndices(const std::vector<uint32_t>& indices, size_t vertexCount, GlbBuilder& glb) {
    if (vertexCount <= LARGEST_SHORT_INDEX_COUNT) {
        const std::vector<uint16_t> shorts(indices.begin(), indices.end());
        return glb.AddAccessor(shorts, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, TINYGLTF_TYPE_SCALAR, 1,
                               TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, false);
    }
    return glb.AddAccessor(indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, 1,
                           TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, false);
}

// Every frame of every animation a morph target of offsets from the rest
// pose; every animation record one animation of the weights, its own
// targets one after another.
void AddAnimations(const ImportReport& report, const SplitMesh& split, const std::vector<Position>& rest,
                   Interpolation interpolation, tinygltf::Model& model, tinygltf::Primitive& primitive,
                   tinygltf::Mesh& mesh, GlbBuilder& glb) {
    const DeliverySeen* delivery = report.Find(pm::ANIMATIONS);
    if (delivery == nullptr) return;
    const std::vector<_ANIMATION> animations = report.Records<_ANIMATION>(pm::ANIMATIONS);
    size_t targetCount = 0;
    for (const _ANIMATION& animation : animations) targetCount += size_t(std::max<int16_t>(animation.frameCount, 0));

    tinygltf::Value::Array targetNames;
    size_t firstTarget = 0;
    std::vector<float> offsets(rest.size() * 3);
    for (size_t k = 0; k < animations.size(); ++k) {
        const _ANIMATION& record = animations[k];
        const std::vector<_VEC3>& data = delivery->animationData[k];
        const size_t frames = size_t(std::max<int16_t>(record.frameCount, 0));
        const size_t stride = size_t(std::max(record.vertexCount, 0));
        if (frames == 0) continue;

        std::vector<float> times(frames);
        std::vector<float> weights(frames * targetCount, 0.0f);
        for (size_t f = 0; f < frames; ++f) {
            for (size_t j = 0; j < rest.size(); ++j) {
                const size_t w = size_t(split.source[j]);
                const Position p = w < stride ? ExportPosition(data[f * stride + w]) : rest[j];
                for (size_t a = 0; a < 3; ++a) offsets[j * 3 + a] = p[a] - rest[j][a];
            }
            primitive.targets.push_back({{"POSITION", glb.AddFloats(offsets, TINYGLTF_TYPE_VEC3, 3,
                                                                    TINYGLTF_TARGET_ARRAY_BUFFER)}});
            targetNames.emplace_back(std::string(record.name, strnlen(record.name, sizeof record.name)) + " " +
                                     std::to_string(f));
            times[f] = float(double(f) / FRAMES_PER_SECOND);
            weights[f * targetCount + firstTarget + f] = 1.0f;
        }

        tinygltf::AnimationSampler sampler;
        sampler.input = glb.AddFloats(times, TINYGLTF_TYPE_SCALAR, 1);
        sampler.output = glb.AddAccessor(weights, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 1, 0, false);
        sampler.interpolation = interpolation == Interpolation::Linear ? "LINEAR" : "STEP";
        tinygltf::AnimationChannel channel;
        channel.sampler = 0;
        channel.target_node = 0;
        channel.target_path = "weights";
        tinygltf::Animation animation;
        animation.name = std::string(record.name, strnlen(record.name, sizeof record.name));
        animation.samplers.push_back(sampler);
        animation.channels.push_back(channel);
        model.animations.push_back(animation);
        firstTarget += frames;
    }
    if (targetCount == 0) return;
    // All weights 0: the mesh at rest is the vertex list, frame 0.
    mesh.weights.assign(targetCount, 0.0);
    mesh.extras = tinygltf::Value(tinygltf::Value::Object{{"targetNames", tinygltf::Value(targetNames)}});
}

}  // namespace

bool ExportGltf(const ImportReport& report, const std::string& path, Interpolation interpolation,
                std::ostream& errors) {
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "mdlhost";
    GlbBuilder glb(model);
    AddSkins(report, model, glb);

    std::vector<Position> hostPositions;
    for (const _VERTEX& vertex : report.Records<_VERTEX>(pm::VERTICES))
        hostPositions.push_back(ExportPosition({vertex.x, vertex.y, vertex.z}));
    const std::vector<_FACE> faces = report.Records<_FACE>(pm::FACES);
    if (hostPositions.empty() || faces.empty()) {
        errors << "mdlhost: the model has no " << (hostPositions.empty() ? "frames" : "triangles")
               << ", so " << path << " holds its skins and no mesh\n";
    } else {
        const SplitMesh split = SplitCorners(faces, report.Records<_FACEMAP>(pm::FACEMAPS));
        std::vector<Position> rest;
        rest.reserve(split.source.size());
        for (int32_t w : split.source) rest.push_back(hostPositions[size_t(w)]);

        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] = glb.AddFloats(Flatten(rest), TINYGLTF_TYPE_VEC3, 3, TINYGLTF_TARGET_ARRAY_BUFFER);
        primitive.attributes["TEXCOORD_0"] = glb.AddFloats(split.uv, TINYGLTF_TYPE_VEC2, 2, TINYGLTF_TARGET_ARRAY_BUFFER);
        primitive.indices = AddIndices(split.indices, rest.size(), glb);
        if (!model.materials.empty()) primitive.material = 0;
        AddVariants(model, primitive);

        tinygltf::Mesh mesh;
        mesh.name = "model";
        AddAnimations(report, split, rest, interpolation, model, primitive, mesh, glb);
        mesh.primitives.push_back(primitive);
        model.meshes.push_back(mesh);

        tinygltf::Node node;
        node.name = "model";
        node.mesh = 0;
        model.nodes.push_back(node);
        tinygltf::Scene scene;
        scene.nodes.push_back(0);
        model.scenes.push_back(scene);
        model.defaultScene = 0;
    }
    if (model.buffers[0].data.empty()) model.buffers.clear();

    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToFile(&model, path, true, true, false, true)) {
        errors << "mdlhost: cannot write " << path << "\n";
        return false;
    }
    return true;
}
