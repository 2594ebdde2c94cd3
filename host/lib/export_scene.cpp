#include "export_scene.h"

#include <filesystem>
#include <memory>

#include "smooth_normals.h"

namespace fs = std::filesystem;

bool ExportScene(const ReceivedModel& model, const std::string& directory, const ExportOptions& options,
                 std::ostream& errors) {
    if (!model.Succeeded()) {
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
    // The points are found once, for both files.
    const std::unique_ptr<SmoothNormals> normals = options.normals ? std::make_unique<SmoothNormals>(model) : nullptr;
    bool ok = WriteGltf(model, normals.get(), options.interpolation, (root / "model.glb").string(), errors);
    ok &= WriteObj(model, normals.get(), options.frames, root.string(), errors);
    if (!ok) errors << "mdlhost: the export is incomplete\n";
    return ok;
}
