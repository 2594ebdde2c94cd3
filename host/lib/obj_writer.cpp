#include "export_scene.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include <stb/stb_image_write.h>

namespace fs = std::filesystem;

namespace {

// File names from sequence names, which may hold any byte.
std::string SafeName(const char* name, size_t index) {
    std::string safe;
    for (const char* c = name; *c != '\0'; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                           *c == '_' || *c == '-';
        safe += plain ? *c : '_';
    }
    return std::to_string(index) + "_" + (safe.empty() ? "unnamed" : safe);
}

void AppendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
}

// One OBJ of the received faces at the given positions, turned like the
// GLB; texture coordinates per corner, from 1/256 of the skin, with OBJ's v
// running upwards.
bool WriteObj(const fs::path& path, const std::vector<_VEC3>& positions, const std::vector<_FACE>& faces,
              const std::vector<_FACEMAP>& faceMaps, const std::string& material) {
    std::ofstream out(path);
    out << "# exported by mdlhost\n";
    if (!material.empty()) out << "mtllib model.mtl\nusemtl " << material << "\n";
    for (const _VEC3& host : positions) {
        const std::array<float, 3> p = ExportPosition(host);
        out << "v " << p[0] << " " << p[1] << " " << p[2] << "\n";
    }
    for (const _FACEMAP& map : faceMaps)
        for (const _UV& uv : map.uv) out << "vt " << uv.u / 256.0 << " " << 1.0 - uv.v / 256.0 << "\n";
    for (size_t k = 0; k < faces.size(); ++k) {
        out << "f";
        for (int c : EXPORT_CORNER_ORDER) {
            out << " " << faces[k].vertex[c] + 1;
            if (k < faceMaps.size()) out << "/" << k * 3 + size_t(c) + 1;
        }
        out << "\n";
    }
    return bool(out);
}

// All five lists delivered and accepted: anything less is a failed import.
bool Delivered(const ImportReport& report) {
    if (report.deliveries.size() != std::size(DELIVERY_KINDS)) return false;
    for (const DeliverySeen& delivery : report.deliveries)
        if (!delivery.accepted) return false;
    return true;
}

}  // namespace

std::string SkinPng(const ScaleImageCallSeen& call) {
    std::vector<uint8_t> rgb;
    rgb.reserve(call.pixels.size() * 3);
    for (const _COLOR& pixel : call.pixels) rgb.insert(rgb.end(), {pixel.r, pixel.g, pixel.b});
    std::string png;
    stbi_write_png_to_func(AppendBytes, &png, call.width, call.height, 3, rgb.data(), call.width * 3);
    return png;
}

bool ExportScene(const ImportReport& report, const std::string& directory, const ExportOptions& options,
                 std::ostream& errors) {
    if (!Delivered(report)) {
        errors << "mdlhost: the import failed, so nothing is exported\n";
        return false;
    }
    const fs::path root(directory);
    std::error_code error;
    fs::create_directories(options.frames ? root / "frames" : root, error);
    if (error) {
        errors << "mdlhost: cannot create " << root.string() << ": " << error.message() << "\n";
        return false;
    }
    bool ok = ExportGltf(report, (root / "model.glb").string(), options.interpolation, errors);

    // The skins unscaled, as in the GLB; the first one is the OBJ's material.
    std::string material;
    const std::vector<_TEXTURE> textures = report.Records<_TEXTURE>(pm::TEXTURES);
    for (size_t i = 0; i < textures.size(); ++i) {
        const ScaleImageCallSeen* call = report.CallOf(textures[i]);
        if (call == nullptr || call->pixels.empty()) continue;
        const std::string name = "texture" + std::to_string(i) + ".png";
        std::ofstream png(root / name, std::ios::binary);
        png << SkinPng(*call);
        if (!png) {
            errors << "mdlhost: cannot write " << (root / name).string() << "\n";
            ok = false;
        } else if (material.empty()) {
            material = "skin";
            std::ofstream mtl(root / "model.mtl");
            mtl << "newmtl skin\nKd 1 1 1\nmap_Kd " << name << "\n";
        }
    }

    std::vector<_VEC3> positions;
    for (const _VERTEX& vertex : report.Records<_VERTEX>(pm::VERTICES)) positions.push_back({vertex.x, vertex.y, vertex.z});
    const std::vector<_FACE> faces = report.Records<_FACE>(pm::FACES);
    const std::vector<_FACEMAP> faceMaps = report.Records<_FACEMAP>(pm::FACEMAPS);
    if (!positions.empty()) ok &= WriteObj(root / "model.obj", positions, faces, faceMaps, material);

    const DeliverySeen* delivery = report.Find(pm::ANIMATIONS);
    if (options.frames && delivery != nullptr) {
        const std::vector<_ANIMATION> animations = report.Records<_ANIMATION>(pm::ANIMATIONS);
        for (size_t k = 0; k < animations.size(); ++k) {
            const std::vector<_VEC3>& data = delivery->animationData[k];
            const size_t vertices = size_t(animations[k].vertexCount > 0 ? animations[k].vertexCount : 0);
            for (int32_t f = 0; f < animations[k].frameCount && vertices > 0; ++f) {
                const std::vector<_VEC3> frame(data.begin() + ptrdiff_t(size_t(f) * vertices),
                                               data.begin() + ptrdiff_t(size_t(f + 1) * vertices));
                const std::string name = SafeName(animations[k].name, k) + "_" + std::to_string(f) + ".obj";
                ok &= WriteObj(root / "frames" / name, frame, faces, faceMaps, "");
            }
        }
    }
    if (!ok) errors << "mdlhost: the export is incomplete\n";
    return ok;
}
