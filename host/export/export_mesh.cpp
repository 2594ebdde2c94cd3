#include "export_mesh.h"

#include "export_axes.h"

ExportMesh::ExportMesh(const ReceivedModel& model) : vertexCount(model.vertices.size()) {
    faces.reserve(model.faces.size());
    texcoords.reserve(model.faces.size() * 3);
    for (const Face& face : model.faces) {
        const auto first = uint32_t(texcoords.size());
        for (const Corner& corner : face.corners) texcoords.push_back({SkinFraction(corner.uv.u), SkinFraction(corner.uv.v)});
        ExportFace& exported = faces.emplace_back();
        for (int i = 0; i < 3; ++i) {
            const int c = EXPORT_CORNER_ORDER[i];
            exported[size_t(i)] = {uint32_t(face.corners[c].vertex), first + uint32_t(c)};
        }
    }
}
