#include "obj_writer.h"

#include "export_files.h"
#include <cmath>

namespace fs = std::filesystem;

namespace {

// File names from sequence names, which may hold any byte.
std::string SafeName(const std::string& name, size_t index) {
    std::string safe;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-';
        safe += plain ? c : '_';
    }
    return std::to_string(index) + "_" + (safe.empty() ? "unnamed" : safe);
}

// A coordinate as the C library of either platform writes it, but a NaN
// with its sign on both, so that both write the same bytes.
struct Coordinate {
    float value;
};

std::ostream& operator<<(std::ostream& out, Coordinate coordinate) {
    if (std::isnan(coordinate.value)) return out << (std::signbit(coordinate.value) ? "-nan" : "nan");
    return out << coordinate.value;
}

}  // namespace

void WriteObjPose(std::ostream& out, const ExportMesh& mesh, const Pose& pose, const std::string& material) {
    out << "# exported by mdlhost\n";
    if (!material.empty()) out << "mtllib " << MTL_FILE << "\nusemtl " << material << "\n";
    for (const Vec3& p : pose.positions)
        out << "v " << Coordinate{p[0]} << " " << Coordinate{p[1]} << " " << Coordinate{p[2]} << "\n";
    for (const Vec3& n : pose.normals) out << "vn " << n[0] << " " << n[1] << " " << n[2] << "\n";
    for (const SkinPoint& point : mesh.texcoords) out << "vt " << point.u << " " << 1.0 - point.v << "\n";
    const bool normals = !pose.normals.empty();
    for (const ExportFace& face : mesh.faces) {
        out << "f";
        for (const ExportCorner& corner : face) {
            out << " " << corner.vertex + 1 << "/" << corner.texcoord + 1;
            if (normals) out << "/" << corner.vertex + 1;
        }
        out << "\n";
    }
}

fs::path ObjFramePath(const ExportAnimation& animation, size_t frame) {
    return fs::path("frames") / (SafeName(animation.name, animation.index) + "_" + std::to_string(frame) + ".obj");
}

bool WriteObjSkins(const ExportSkins& skins, const OutputFolder& folder, std::string& material) {
    material.clear();
    for (size_t i = 0; i < skins.Count(); ++i) {
        if (skins.pngs[i].empty()) continue;
        const std::string name = "texture" + std::to_string(i);
        if (!folder.WriteFile(name + ".png", skins.pngs[i])) return false;
        const bool glows = !skins.fullbrights[i].empty();
        if (glows && !folder.WriteFile(name + "_fullbright.png", skins.fullbrights[i])) return false;
        if (material.empty()) {
            OutputFile mtl(folder, MTL_FILE);
            mtl.Text() << "newmtl skin\nKd 1 1 1\nmap_Kd " << name << ".png\n";
            if (glows) mtl.Text() << "Ke 1 1 1\nmap_Ke " << name << "_fullbright.png\n";
            if (!mtl.Commit()) return false;
            material = "skin";
        }
    }
    return true;
}
