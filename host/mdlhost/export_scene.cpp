#include "export_scene.h"

#include <filesystem>
#include <fstream>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include "tovra_main.h"

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

bool WritePng(const fs::path& path, const char* scaled) {
    const ScaledImageHeader* header = ScaledImageOf(scaled);
    const _COLOR* pixels = ScaledImagePixels(scaled);
    std::vector<uint8_t> rgb;
    rgb.reserve(size_t(header->width) * size_t(header->height) * 3);
    for (int32_t i = 0; i < header->width * header->height; ++i) {
        rgb.push_back(pixels[i].r);
        rgb.push_back(pixels[i].g);
        rgb.push_back(pixels[i].b);
    }
    return stbi_write_png(path.string().c_str(), header->width, header->height, 3, rgb.data(), header->width * 3) != 0;
}

// One OBJ of the received faces at the given positions; texture coordinates
// per corner, from 1/256 of the skin, with OBJ's v running upwards.
bool WriteObj(const fs::path& path, const std::vector<_VEC3>& positions, const std::vector<_FACE>& faces,
              const std::vector<_FACEMAP>& faceMaps, const std::string& material) {
    std::ofstream out(path);
    out << "# exported by mdlhost\n";
    if (!material.empty()) out << "mtllib model.mtl\nusemtl " << material << "\n";
    for (const _VEC3& p : positions) out << "v " << p.x << " " << p.y << " " << p.z << "\n";
    for (const _FACEMAP& map : faceMaps)
        for (const _UV& uv : map.uv) out << "vt " << uv.u / 256.0 << " " << 1.0 - uv.v / 256.0 << "\n";
    for (size_t k = 0; k < faces.size(); ++k) {
        out << "f";
        for (int c = 0; c < 3; ++c) {
            out << " " << faces[k].vertex[c] + 1;
            if (k < faceMaps.size()) out << "/" << k * 3 + size_t(c) + 1;
        }
        out << "\n";
    }
    return bool(out);
}

}  // namespace

bool ExportScene(const ImportReport& report, const std::string& directory, std::ostream& errors) {
    const fs::path root(directory);
    std::error_code error;
    fs::create_directories(root / "frames", error);
    if (error) {
        errors << "mdlhost: cannot create " << (root / "frames").string() << ": " << error.message() << "\n";
        return false;
    }
    bool ok = true;

    std::string material;
    const std::vector<_TEXTURE> textures = report.Records<_TEXTURE>(pm::TEXTURES);
    for (size_t i = 0; i < textures.size(); ++i) {
        const char* scaled = textures[i].pixels;
        if (scaled == nullptr || ScaledImageOf(scaled)->width == 0) continue;
        const std::string name = "texture" + std::to_string(i) + ".png";
        if (!WritePng(root / name, scaled)) {
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
    ok &= WriteObj(root / "model.obj", positions, faces, faceMaps, material);

    if (const DeliverySeen* delivery = report.Find(pm::ANIMATIONS)) {
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
