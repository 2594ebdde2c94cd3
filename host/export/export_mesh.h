// The one mesh the export formats serialise, built once from what the host
// received: faces in the export's winding, texture coordinates, glTF's
// vertices split by (vertex, u, v), and every pose (the rest pose, then each
// animation's frames) with its turned positions and smooth normals, worked
// out one pose at a time into a scratch buffer. The axes, the winding and the
// split are applied here and nowhere else; the writers only write.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export_animations.h"
#include "export_axes.h"
#include "received_model.h"
#include "smooth_normals.h"

struct ExportCorner {
    uint32_t vertex;    // the model vertex
    uint32_t texcoord;  // its entry in ExportMesh::texcoords
};
using ExportFace = std::array<ExportCorner, 3>;

// Texture coordinates as fractions of the skin, v running down.
struct SkinPoint {
    double u;
    double v;
};

// One pose worked out, per model vertex, in the export's axes.
struct Pose {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;  // when the mesh has normals
    NormalSums scratch;
};

struct ExportMesh {
    // Without skin files, the skins stay unencoded: for a picture alone.
    // The groups, when the model had any, time its animations and name its skins.
    ExportMesh(const ReceivedModel& model, const MdlGroups& groups, bool withNormals, bool withSkinFiles = true);
    ExportMesh(const ReceivedModel& model, bool withNormals, bool withSkinFiles = true)
        : ExportMesh(model, MdlGroups(), withNormals, withSkinFiles) {}

    size_t vertexCount = 0;
    std::vector<ExportFace> faces;
    std::vector<SkinPoint> texcoords;  // each face's corners in the host's order

    // glTF keeps one texture coordinate per vertex: one glTF vertex per
    // distinct (vertex, u, v) corner.
    std::vector<uint32_t> splitSource;  // the model vertex of each glTF vertex
    std::vector<float> splitUv;         // two per glTF vertex
    std::vector<uint32_t> splitIndices; // three per face

    std::vector<std::string> skins;  // each skin as PNG, encoded once; empty without pixels
    std::vector<std::string> fullbrights;  // each skin's glow as PNG, encoded once; empty without any
    std::vector<std::string> skinNames;

    std::vector<const _VEC3*> poses;  // host positions: the rest pose, then every frame
    std::vector<ExportAnimation> animations;  // those with frames, in order

    // Something to draw: a model without frames has no vertices, and one
    // without triangles no faces.
    bool HasFaces() const { return vertexCount > 0 && !faces.empty(); }
    bool HasNormals() const { return normals != nullptr; }
    // Pose k's positions, and its normals when the mesh has them.
    void Compute(size_t k, Pose& pose) const;
    void Positions(size_t k, std::vector<Vec3>& positions) const;

private:
    std::unique_ptr<SmoothNormals> normals;
};
