// Smooth normals in the export: one per point and pose, from the faces
// around the point, read back from model.glb and model.obj.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

#include <tiny_gltf.h>

#include "export_mesh.h"
#include "export_scene.h"
#include "gltf_accessors.h"
#include "plugin_harness.h"

namespace {

using mdlwriter::Model;
namespace fs = std::filesystem;

constexpr double PI = 3.14159265358979323846;
constexpr int SIDES = 8;
constexpr int RINGS = 4;
constexpr int FRAMES = 4;

// A limb: a tube along the file's Z axis with its texture wrapped once
// around, so the last column of vertices repeats the first at the skin's far
// edge (twins). The back half faces back with corners on the skin's seam,
// which the export splits into copies. Frame f swings the whole limb about
// the file's X axis by f x 40 degrees.
Model Limb() {
    Model model;
    model.skinwidth = 16;
    model.skinheight = 8;
    model.skins.push_back({0, std::vector<uint8_t>(16 * 8, 7)});
    for (int a = 0; a < 3; ++a) model.scale[a] = 0.5f;
    model.translate[1] = -20;
    model.translate[2] = -60;
    const int columns = SIDES + 1;
    for (int ring = 0; ring < RINGS; ++ring)
        for (int side = 0; side < columns; ++side)
            model.texCoords.push_back({side % (SIDES / 2) == 0 ? 1 : 0, side * 16 / SIDES, ring * 2});
    for (int ring = 0; ring + 1 < RINGS; ++ring) {
        for (int side = 0; side < SIDES; ++side) {
            const int front = side * 2 < SIDES ? 1 : 0;
            const int a = ring * columns + side, b = a + 1, c = a + columns, d = c + 1;
            model.triangles.push_back({front, {a, d, b}});
            model.triangles.push_back({front, {a, c, d}});
        }
    }
    for (int f = 0; f < FRAMES; ++f) {
        mdlwriter::Frame frame;
        frame.name = mdlwriter::Frame::Name("swing" + std::to_string(f + 1));
        const double swing = f * 40 * PI / 180;
        for (int ring = 0; ring < RINGS; ++ring) {
            for (int side = 0; side < columns; ++side) {
                const double theta = 2 * PI * (side % SIDES) / SIDES;
                const double x = 32 + 20 * std::cos(theta), y = 20 * std::sin(theta), z = 12.0 * ring;
                const double turnedY = 32 + y * std::cos(swing) - z * std::sin(swing);
                const double turnedZ = y * std::sin(swing) + z * std::cos(swing);
                const double file[3] = {x, turnedY, turnedZ};
                mdlwriter::Vertex vertex{};
                for (int a = 0; a < 3; ++a)
                    vertex.v[a] = uint8_t(std::lround((file[a] - model.translate[a]) / model.scale[a]));
                frame.vertices.push_back(vertex);
            }
        }
        model.frames.push_back(frame);
    }
    return model;
}

using Vectors = std::vector<std::array<float, 3>>;

// An export read back: positions and normals of every glTF vertex in the
// rest pose and in every morph target (rest plus its displacements).
struct ReadBack {
    explicit ReadBack(const Model& model, bool normals = true) {
        char pattern[] = "/tmp/mdlnormals.XXXXXX";
        folder = mkdtemp(pattern);
        PluginHarness harness;
        const ImportCapture capture = harness.Import(model);
        ExportOptions options;
        options.normals = normals;
        ExportMessages messages;
        written = ExportScene(ReceiveModel(capture), folder, options, messages);
        std::string error, warning;
        loaded = tinygltf::TinyGLTF().LoadBinaryFromFile(&gltf, &error, &warning, folder + "/model.glb");
        if (!loaded) return;
        const tinygltf::Primitive& primitive = gltf.meshes[0].primitives[0];
        positions.push_back(Read(primitive.attributes.at("POSITION")));
        if (normals) normalsPerPose.push_back(Read(primitive.attributes.at("NORMAL")));
        for (const auto& target : primitive.targets) {
            positions.push_back(Plus(positions[0], Read(target.at("POSITION"))));
            if (normals) normalsPerPose.push_back(Plus(normalsPerPose[0], Read(target.at("NORMAL"))));
        }
        const std::vector<uint16_t> shorts = ReadAccessor<uint16_t>(gltf, primitive.indices);
        indices.assign(shorts.begin(), shorts.end());
    }
    ~ReadBack() { fs::remove_all(folder); }

    Vectors Read(int index) const {
        const std::vector<float> floats = ReadAccessor<float>(gltf, index);
        Vectors values(floats.size() / 3);
        std::memcpy(values.data(), floats.data(), values.size() * 12);
        return values;
    }
    static Vectors Plus(Vectors values, const Vectors& displacements) {
        for (size_t i = 0; i < values.size(); ++i)
            for (int a = 0; a < 3; ++a) values[i][a] += displacements[i][a];
        return values;
    }

    std::string folder;
    bool written = false;
    bool loaded = false;
    tinygltf::Model gltf;
    std::vector<Vectors> positions;       // rest pose, then every frame
    std::vector<Vectors> normalsPerPose;  // the same
    std::vector<uint32_t> indices;
};

double Dot(const std::array<float, 3>& a, const std::array<double, 3>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The unit normal of the triangle whose three glTF vertices are at corners.
std::array<double, 3> FaceNormal(const Vectors& positions, const uint32_t* corners) {
    const auto& a = positions[corners[0]];
    const auto& b = positions[corners[1]];
    const auto& c = positions[corners[2]];
    const std::array<double, 3> u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const std::array<double, 3> w{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    std::array<double, 3> face{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    const double length = std::sqrt(face[0] * face[0] + face[1] * face[1] + face[2] * face[2]);
    for (double& axis : face) axis /= length;
    return face;
}

TEST(Normals, SharedByEveryVertexOfAPointUnitAndFollowingEveryFrame) {
    const ReadBack out(Limb());
    ASSERT_TRUE(out.loaded);
    ASSERT_EQ(out.positions.size(), size_t(FRAMES + 1));
    const size_t count = out.positions[0].size();

    // Vertices at the same place in every pose: seam copies and twins.
    std::map<std::vector<float>, std::vector<size_t>> points;
    for (size_t i = 0; i < count; ++i) {
        std::vector<float> place;
        for (const Vectors& pose : out.positions) place.insert(place.end(), pose[i].begin(), pose[i].end());
        points[place].push_back(i);
    }
    size_t shared = 0;
    for (const auto& [place, vertices] : points) {
        shared += vertices.size() - 1;
        for (const Vectors& normals : out.normalsPerPose)
            for (size_t i : vertices) EXPECT_EQ(normals[i], normals[vertices[0]]) << "vertex " << i;
    }
    EXPECT_GE(shared, size_t(RINGS + 2));  // a twin per ring, and copies along the seam

    for (size_t pose = 0; pose < out.positions.size(); ++pose) {
        const Vectors& p = out.positions[pose];
        const Vectors& n = out.normalsPerPose[pose];
        for (const std::array<float, 3>& normal : n)
            EXPECT_NEAR(std::sqrt(Dot(normal, {normal[0], normal[1], normal[2]})), 1.0, 1e-5) << "pose " << pose;
        // On a smooth limb each corner's normal lies close to its face's.
        for (size_t t = 0; t < out.indices.size(); t += 3) {
            const std::array<double, 3> face = FaceNormal(p, &out.indices[t]);
            for (size_t k = 0; k < 3; ++k)
                EXPECT_GT(Dot(n[out.indices[t + k]], face), 0.8) << "pose " << pose << " triangle " << t / 3;
        }
    }
}

// Two faces at right angles, a corner of each at one place in the first
// frame and apart in the second: in neither are they one point, so each
// corner keeps its own face's normal.
TEST(Normals, VerticesTogetherInOnePoseOnlyKeepTheirOwnFaces) {
    Model model;
    model.skinwidth = model.skinheight = 8;
    model.skins.push_back({0, std::vector<uint8_t>(64, 7)});
    const std::array<std::array<uint8_t, 3>, 6> rest = {
        {{10, 10, 10}, {10, 40, 10}, {10, 10, 40}, {10, 10, 10}, {40, 10, 10}, {40, 10, 40}}};
    for (int f = 0; f < 2; ++f) {
        mdlwriter::Frame frame;
        frame.name = mdlwriter::Frame::Name("part" + std::to_string(f + 1));
        for (const auto& place : rest) frame.vertices.push_back({{place[0], place[1], place[2]}, 0});
        frame.vertices[3].v[0] = uint8_t(f == 0 ? 10 : 14);
        model.frames.push_back(frame);
    }
    model.texCoords.resize(rest.size(), {0, 0, 0});
    model.triangles = {{1, {0, 1, 2}}, {1, {3, 4, 5}}};
    const ReadBack out(model);
    ASSERT_TRUE(out.loaded);
    ASSERT_EQ(out.positions.size(), 3u);
    for (size_t pose = 0; pose < out.positions.size(); ++pose) {
        const Vectors& p = out.positions[pose];
        for (size_t t = 0; t < out.indices.size(); t += 3) {
            const std::array<double, 3> face = FaceNormal(p, &out.indices[t]);
            for (size_t k = 0; k < 3; ++k)
                EXPECT_NEAR(Dot(out.normalsPerPose[pose][out.indices[t + k]], face), 1.0, 1e-6)
                    << "pose " << pose << " triangle " << t / 3 << " corner " << k;
        }
    }
}

TEST(Normals, OnlyWhenAskedForInBothFiles) {
    for (const bool wanted : {true, false}) {
        const ReadBack out(Limb(), wanted);
        ASSERT_TRUE(out.written);
        const tinygltf::Primitive& primitive = out.gltf.meshes[0].primitives[0];
        EXPECT_EQ(primitive.attributes.count("NORMAL"), wanted ? 1u : 0u);
        for (const auto& target : primitive.targets) EXPECT_EQ(target.count("NORMAL"), wanted ? 1u : 0u);
        std::ifstream obj(out.folder + "/model.obj");
        size_t vn = 0;
        std::string face;
        for (std::string line; std::getline(obj, line);) {
            vn += line.rfind("vn ", 0) == 0;
            if (line.rfind("f ", 0) == 0) face = line;
        }
        EXPECT_EQ(vn, wanted ? size_t(RINGS * (SIDES + 1)) : 0u);
        EXPECT_EQ(std::count(face.begin(), face.end(), '/'), wanted ? 6 : 3) << face;
    }
}

// The rule for one vertex: its faces' normal, or up, still a unit normal,
// where the faces give no direction.
struct NormalCase {
    const char* name;
    std::vector<_VEC3> vertices;
    std::vector<Face> faces;
    Vec3 expected;  // of vertex 0
};

class NormalRule : public testing::TestWithParam<NormalCase> {};

TEST_P(NormalRule, GivesAUnitNormalForEveryVertex) {
    ReceivedModel model;
    model.vertices = GetParam().vertices;
    model.faces = GetParam().faces;
    Pose pose;
    const ExportMesh mesh(model);
    ExportPoses(model, MdlGroups(), mesh, PoseNormals::Smooth).Compute(0, pose);
    ASSERT_EQ(pose.normals.size(), model.vertices.size());
    EXPECT_EQ(pose.normals[0], GetParam().expected);
}

const float INF = std::numeric_limits<float>::infinity();
const float NOT_A_NUMBER = std::numeric_limits<float>::quiet_NaN();
const Face TRIANGLE{{{0, {}}, {1, {}}, {2, {}}}};

INSTANTIATE_TEST_SUITE_P(
    Table, NormalRule,
    testing::Values(
        // Host x, y, z is export z, y, x; the export winds corners 0, 2, 1.
        NormalCase{"OneFace", {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {TRIANGLE}, {-1, 0, 0}},
        NormalCase{"OneFaceTheOtherWay", {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {TRIANGLE}, {0, -1, 0}},
        NormalCase{"TouchedByNoFace", {{5, 5, 5}}, {}, {0, 1, 0}},
        NormalCase{"FaceWithoutArea", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, {TRIANGLE}, {0, 1, 0}},
        NormalCase{"InfinitePosition", {{0, 0, 0}, {0, 0, INF}, {1, 0, 0}}, {TRIANGLE}, {0, 1, 0}},
        NormalCase{"NotANumber", {{0, 0, 0}, {0, 0, NOT_A_NUMBER}, {1, 0, 0}}, {TRIANGLE}, {0, 1, 0}},
        NormalCase{"OppositeFacesCancel", {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}}, {TRIANGLE, {{{0, {}}, {2, {}}, {1, {}}}}},
               {0, 1, 0}}),
    CaseName<NormalCase>);

}  // namespace
