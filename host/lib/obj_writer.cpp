// The OBJ export: model.obj at the rest pose with model.mtl and the skins
// unscaled as PNG, and on request one OBJ per animation frame; turned and
// wound as the glTF export is.
#include <filesystem>
#include <fstream>

#include "smooth_normals.h"
#include "writers.h"

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

// One OBJ of the received faces at one pose; texture coordinates per corner,
// with OBJ's v running upwards; a normal per vertex when given.
bool WritePose(const fs::path& path, const ReceivedModel& model, const _VEC3* pose, const SmoothNormals* normals,
               const std::string& material) {
    std::ofstream out(path);
    out << "# exported by mdlhost\n";
    if (!material.empty()) out << "mtllib model.mtl\nusemtl " << material << "\n";
    for (size_t w = 0; w < model.vertices.size(); ++w) {
        const Vec3 p = ExportPosition(pose[w]);
        out << "v " << p[0] << " " << p[1] << " " << p[2] << "\n";
    }
    if (normals != nullptr)
        for (const Vec3& n : normals->Of(pose)) out << "vn " << n[0] << " " << n[1] << " " << n[2] << "\n";
    for (const Face& face : model.faces)
        for (const Corner& corner : face.corners)
            out << "vt " << SkinFraction(corner.uv.u) << " " << 1.0 - SkinFraction(corner.uv.v) << "\n";
    for (size_t k = 0; k < model.faces.size(); ++k) {
        out << "f";
        for (int c : EXPORT_CORNER_ORDER) {
            const int32_t vertex = model.faces[k].corners[c].vertex + 1;
            out << " " << vertex << "/" << k * 3 + size_t(c) + 1;
            if (normals != nullptr) out << "/" << vertex;
        }
        out << "\n";
    }
    return bool(out);
}

}  // namespace

bool WriteObj(const ReceivedModel& model, const SmoothNormals* normals, bool frames, const std::string& directory,
              std::ostream& errors) {
    const fs::path root(directory);
    bool ok = true;
    // The skins unscaled, as in the GLB; the first one is the OBJ's material.
    std::string material;
    for (size_t i = 0; i < model.skins.size(); ++i) {
        if (model.skins[i].png.empty()) continue;
        const std::string name = "texture" + std::to_string(i) + ".png";
        std::ofstream png(root / name, std::ios::binary);
        png << model.skins[i].png;
        if (!png) {
            errors << "mdlhost: cannot write " << (root / name).string() << "\n";
            ok = false;
        } else if (material.empty()) {
            material = "skin";
            std::ofstream mtl(root / "model.mtl");
            mtl << "newmtl skin\nKd 1 1 1\nmap_Kd " << name << "\n";
        }
    }
    if (!model.vertices.empty()) ok &= WritePose(root / "model.obj", model, model.vertices.data(), normals, material);

    for (size_t k = 0; k < model.animations.size() && frames; ++k) {
        const ReceivedAnimation& animation = model.animations[k];
        for (size_t f = 0; f < animation.frames; ++f) {
            const std::string name = SafeName(animation.name, k) + "_" + std::to_string(f) + ".obj";
            ok &= WritePose(root / "frames" / name, model, animation.Frame(f), normals, "");
        }
    }
    return ok;
}
