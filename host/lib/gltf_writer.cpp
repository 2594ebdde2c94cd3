// The binary glTF export: one node, one mesh, one triangle primitive; one
// material per texture record with the skin as passed to ScaleImage; every
// animation frame a morph target, every animation record a glTF animation
// of the mesh's weights at the format's usual 10 frames a second.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <unordered_map>
#include <vector>

#include <tiny_gltf.h>

#include "smooth_normals.h"
#include "writers.h"

namespace {

constexpr double FRAMES_PER_SECOND = 10.0;
constexpr size_t LARGEST_SHORT_INDEX_COUNT = 65535;  // 65535 itself would be the restart value
constexpr char VARIANTS[] = "KHR_materials_variants";

// glTF keeps one texture coordinate per vertex: one glTF vertex per distinct
// (vertex, u, v) corner.
struct CornerKey {
    int32_t vertex;
    int32_t u;
    int32_t v;
    bool operator==(const CornerKey& other) const { return vertex == other.vertex && u == other.u && v == other.v; }
};

struct CornerHash {
    size_t operator()(const CornerKey& corner) const {
        return std::hash<uint64_t>()(uint64_t(uint32_t(corner.vertex)) << 32 ^ uint32_t(corner.u) * 2654435761u ^
                                     uint32_t(corner.v));
    }
};

struct SplitMesh {
    std::vector<int32_t> source;  // the model vertex of each glTF vertex
    std::vector<float> uv;
    std::vector<uint32_t> indices;
};

SplitMesh SplitCorners(const std::vector<Face>& faces) {
    SplitMesh mesh;
    std::unordered_map<CornerKey, uint32_t, CornerHash> index;
    index.reserve(faces.size() * 3);
    mesh.indices.reserve(faces.size() * 3);
    for (const Face& face : faces) {
        for (int c : EXPORT_CORNER_ORDER) {
            const Corner& corner = face.corners[c];
            const auto [at, added] =
                index.emplace(CornerKey{corner.vertex, corner.uv.u, corner.uv.v}, uint32_t(mesh.source.size()));
            if (added) {
                mesh.source.push_back(corner.vertex);
                mesh.uv.push_back(float(SkinFraction(corner.uv.u)));
                mesh.uv.push_back(float(SkinFraction(corner.uv.v)));
            }
            mesh.indices.push_back(at->second);
        }
    }
    return mesh;
}

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
    // Per glTF vertex, three floats each, with the bounds glTF asks of positions.
    int AddVectors(const std::vector<float>& values) {
        return AddFloats(values, TINYGLTF_TYPE_VEC3, 3, TINYGLTF_TARGET_ARRAY_BUFFER);
    }

private:
    tinygltf::Model& model;
};

class GltfWriter {
public:
    GltfWriter(const ReceivedModel& model_, const SmoothNormals* normals_) : model(model_), normals(normals_), glb(gltf) {
        gltf.asset.version = "2.0";
        gltf.asset.generator = "mdlhost";
    }

    tinygltf::Model& Write(Interpolation interpolation) {
        AddSkins();
        if (!model.vertices.empty() && !model.faces.empty()) AddMesh(interpolation);
        if (gltf.buffers[0].data.empty()) gltf.buffers.clear();
        return gltf;
    }

private:
    // Values of a pose for every glTF vertex, from one per model vertex.
    std::vector<float> PerGltfVertex(const Vec3* perVertex) const {
        std::vector<float> values;
        values.reserve(split.source.size() * 3);
        for (int32_t w : split.source) values.insert(values.end(), perVertex[w].begin(), perVertex[w].end());
        return values;
    }
    std::vector<float> Positions(const _VEC3* pose) const {
        std::vector<Vec3> turned(model.vertices.size());
        for (size_t w = 0; w < turned.size(); ++w) turned[w] = ExportPosition(pose[w]);
        return PerGltfVertex(turned.data());
    }
    static std::vector<float> Minus(std::vector<float> values, const std::vector<float>& base) {
        for (size_t i = 0; i < values.size(); ++i) values[i] -= base[i];
        return values;
    }

    // One material per texture record; the image is the skin unscaled,
    // sampled without smoothing so that pixel art stays sharp.
    void AddSkins() {
        if (model.skins.empty()) return;
        tinygltf::Sampler sampler;
        sampler.magFilter = TINYGLTF_TEXTURE_FILTER_NEAREST;
        sampler.minFilter = TINYGLTF_TEXTURE_FILTER_NEAREST_MIPMAP_LINEAR;
        gltf.samplers.push_back(sampler);

        for (size_t i = 0; i < model.skins.size(); ++i) {
            tinygltf::Material material;
            material.name = "skin " + std::to_string(i);
            material.pbrMetallicRoughness.metallicFactor = 0;
            material.pbrMetallicRoughness.roughnessFactor = 1;
            const std::string& png = model.skins[i].png;
            if (!png.empty()) {
                tinygltf::Image image;
                image.name = material.name;
                image.mimeType = "image/png";
                image.bufferView = glb.AddView(png.data(), png.size(), 0);
                gltf.images.push_back(image);
                tinygltf::Texture texture;
                texture.sampler = 0;
                texture.source = int(gltf.images.size() - 1);
                gltf.textures.push_back(texture);
                material.pbrMetallicRoughness.baseColorTexture.index = int(gltf.textures.size() - 1);
            }
            gltf.materials.push_back(material);
        }
    }

    // Further skins as selectable variants of the one primitive.
    void AddVariants(tinygltf::Primitive& primitive) {
        if (gltf.materials.size() < 2) return;
        tinygltf::Value::Array variants;
        tinygltf::Value::Array mappings;
        for (size_t i = 0; i < gltf.materials.size(); ++i) {
            variants.emplace_back(tinygltf::Value::Object{{"name", tinygltf::Value(gltf.materials[i].name)}});
            mappings.emplace_back(tinygltf::Value::Object{
                {"material", tinygltf::Value(int(i))},
                {"variants", tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(int(i))})}});
        }
        gltf.extensions[VARIANTS] = tinygltf::Value(tinygltf::Value::Object{{"variants", tinygltf::Value(variants)}});
        primitive.extensions[VARIANTS] =
            tinygltf::Value(tinygltf::Value::Object{{"mappings", tinygltf::Value(mappings)}});
        gltf.extensionsUsed.push_back(VARIANTS);
    }

    int AddIndices() {
        if (split.source.size() <= LARGEST_SHORT_INDEX_COUNT) {
            const std::vector<uint16_t> shorts(split.indices.begin(), split.indices.end());
            return glb.AddAccessor(shorts, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, TINYGLTF_TYPE_SCALAR, 1,
                                   TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, false);
        }
        return glb.AddAccessor(split.indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, 1,
                               TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, false);
    }

    void AddMesh(Interpolation interpolation) {
        split = SplitCorners(model.faces);
        restPositions = Positions(model.vertices.data());
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] = glb.AddVectors(restPositions);
        if (normals != nullptr) {
            restNormals = PerGltfVertex(normals->Of(model.vertices.data()).data());
            primitive.attributes["NORMAL"] = glb.AddVectors(restNormals);
        }
        primitive.attributes["TEXCOORD_0"] =
            glb.AddFloats(split.uv, TINYGLTF_TYPE_VEC2, 2, TINYGLTF_TARGET_ARRAY_BUFFER);
        primitive.indices = AddIndices();
        if (!gltf.materials.empty()) primitive.material = 0;
        AddVariants(primitive);

        tinygltf::Mesh mesh;
        mesh.name = "model";
        tinygltf::Value::Array targetNames;
        size_t targetCount = 0;
        for (const ReceivedAnimation& animation : model.animations) targetCount += animation.frames;
        for (const ReceivedAnimation& animation : model.animations)
            AddAnimation(animation, interpolation, targetCount, primitive, targetNames);
        if (!primitive.targets.empty()) {
            // All weights 0: the mesh at rest is the vertex list, frame 0.
            mesh.weights.assign(primitive.targets.size(), 0.0);
            mesh.extras = tinygltf::Value(tinygltf::Value::Object{{"targetNames", tinygltf::Value(targetNames)}});
        }
        mesh.primitives.push_back(primitive);
        gltf.meshes.push_back(mesh);

        tinygltf::Node node;
        node.name = "model";
        node.mesh = 0;
        gltf.nodes.push_back(node);
        tinygltf::Scene scene;
        scene.nodes.push_back(0);
        gltf.scenes.push_back(scene);
        gltf.defaultScene = 0;
    }

    // Every frame a morph target of offsets from the rest pose, its normals
    // too; the animation plays its own targets one after another.
    void AddAnimation(const ReceivedAnimation& animation, Interpolation interpolation, size_t targetCount,
                      tinygltf::Primitive& primitive, tinygltf::Value::Array& targetNames) {
        if (animation.frames == 0) return;
        const size_t firstTarget = primitive.targets.size();
        std::vector<float> times(animation.frames);
        std::vector<float> weights(animation.frames * targetCount, 0.0f);
        for (size_t f = 0; f < animation.frames; ++f) {
            const _VEC3* pose = animation.Frame(f);
            std::map<std::string, int> target{{"POSITION", glb.AddVectors(Minus(Positions(pose), restPositions))}};
            if (normals != nullptr)
                target["NORMAL"] = glb.AddVectors(Minus(PerGltfVertex(normals->Of(pose).data()), restNormals));
            primitive.targets.push_back(target);
            targetNames.emplace_back(animation.name + " " + std::to_string(f));
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
        tinygltf::Animation gltfAnimation;
        gltfAnimation.name = animation.name;
        gltfAnimation.samplers.push_back(sampler);
        gltfAnimation.channels.push_back(channel);
        gltf.animations.push_back(gltfAnimation);
    }

    const ReceivedModel& model;
    const SmoothNormals* normals;
    tinygltf::Model gltf;
    GlbBuilder glb;
    SplitMesh split;
    std::vector<float> restPositions;
    std::vector<float> restNormals;
};

}  // namespace

bool WriteGltf(const ReceivedModel& model, const SmoothNormals* normals, Interpolation interpolation,
               const std::string& path, std::ostream& errors) {
    if (model.vertices.empty() || model.faces.empty()) {
        errors << "mdlhost: the model has no " << (model.vertices.empty() ? "frames" : "triangles") << ", so " << path
               << " holds its skins and no mesh\n";
    }
    GltfWriter writer(model, normals);
    tinygltf::Model& gltf = writer.Write(interpolation);
    if (!tinygltf::TinyGLTF().WriteGltfSceneToFile(&gltf, path, true, true, false, true)) {
        errors << "mdlhost: cannot write " << path << "\n";
        return false;
    }
    return true;
}
