// model.glb, written in one pass: one node, one mesh, one triangle
// primitive; one material per texture record with the skin as passed to
// ScaleImage; every animation frame a morph target, every animation a glTF
// animation of its own targets at the format's usual 10 frames a second, or
// a group's at its own key times.
//
// Every size is known from the mesh, so the layout, the JSON chunk and the
// file's length are fixed before the first byte; the binary chunk follows
// from one scratch buffer, the morph targets pose by pose as they come.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "export_mesh.h"
#include "export_poses.h"
#include "export_skins.h"
#include "gltf_vertices.h"
#include "output_file.h"

enum class Interpolation { Step, Linear };

class GlbWriter {
public:
    GlbWriter(const ExportMesh& mesh, const GltfVertices& vertices, const ExportSkins& skins, const ExportPoses& poses,
              Interpolation interpolation);
    ~GlbWriter();

    // Lays the file out (a first pass over the poses for the bounds glTF
    // asks of positions) and writes everything but the morph targets; the
    // targets are written as offsets from rest, which must outlive Finish.
    // False, reported, when the file cannot hold the model or a write failed.
    bool Begin(const OutputFolder& folder, const Pose& rest);
    // The next pose's morph target: one per pose after the rest pose, in order.
    bool AddTarget(const Pose& pose);
    bool Finish();

private:
    struct Bounds;
    struct Layout;
    struct Chunk;

    void PlanBuffer();
    void FindBounds(const Pose& rest);
    std::string JsonChunk() const;
    void AddViews(Chunk& chunk) const;
    void AddMaterials(Chunk& chunk) const;
    void AddPrimitive(Chunk& chunk) const;
    void AddAnimations(Chunk& chunk) const;
    size_t AddVectors(Chunk& chunk, const Bounds* bounds) const;
    // The binary chunk's bytes go through the plan: each view opened where
    // the plan put it and closed at its planned length, padded. Writes go on
    // after a failure without effect; the file says whether all held, the
    // plan whether each view lay where the JSON says.
    void Put(const void* bytes, size_t size);
    void OpenView(int view);
    void CloseView(int view);
    void WriteView(int view, const void* bytes, size_t size);
    template <typename T>
    void WriteView(int view, const std::vector<T>& values) {
        WriteView(view, values.data(), values.size() * sizeof(T));
    }
    void WriteVectors(const std::vector<Vec3>& values, const std::vector<Vec3>* base);
    void WriteAnimationViews();

    const ExportMesh& mesh;
    const GltfVertices& vertices;
    const ExportSkins& skins;
    const ExportPoses& poses;
    const Interpolation interpolation;
    const bool hasMesh;
    std::unique_ptr<Layout> layout;
    std::unique_ptr<OutputFile> file;
    ExportMessages* messages = nullptr;  // the folder's, from Begin
    const Pose* restPose = nullptr;
    std::vector<float> scratch;
};
