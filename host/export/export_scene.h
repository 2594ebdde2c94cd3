// mdlhost --export: what the host received, written as files that ordinary
// viewers and modelling tools open.
#pragma once

#include <filesystem>
#include <memory>
#include <ostream>

#include "glb_writer.h"
#include "mdl/mdl_groups.h"
#include "output_file.h"
#include "received_model.h"
#include "thumbnail.h"

struct ExportOptions {
    Interpolation interpolation = Interpolation::Step;
    bool normals = true;  // smooth normals for every pose
    bool frames = false;  // also one OBJ per animation frame under frames/
    int thumbnail = THUMBNAIL_DEFAULT_SIZE;  // thumbnail.png's side in pixels; 0 for none
};

// thumbnail.png of an export that went on without it: still being drawn,
// from the export's mesh and rest pose, which it keeps; the model it was
// drawn from must outlive it. Finish writes it; dropped unfinished, it
// waits for the drawing and writes nothing.
class PendingPicture {
public:
    struct Work;  // the export's

    PendingPicture();
    explicit PendingPicture(std::unique_ptr<Work> work);
    PendingPicture(PendingPicture&&) noexcept;
    PendingPicture& operator=(PendingPicture&&) noexcept;
    ~PendingPicture();

    // Waits for the picture and writes it into the export's folder; true
    // where there is none to write. False, with the reason as the folder's
    // messages' failure, when it cannot be drawn or written.
    bool Finish();

private:
    std::unique_ptr<Work> work;
};

// Writes model.glb, model.obj with model.mtl and one PNG per skin (see the
// writers), and thumbnail.png into the folder; every file whole or not at all. A failed
// import writes nothing. False, with the reason as the folder's messages'
// failure, when the import failed or a file cannot be written; the export
// stops at the first file that fails. Notes go to the messages too.
// groups: the file's, when the model was imported with its groups as
// single entries, which time its animations and name its skins.
bool ExportScene(const ReceivedModel& model, const MdlGroups& groups, const OutputFolder& folder,
                 const ExportOptions& options);
// The same, but for thumbnail.png, which is left in picture to finish, so
// that the caller can go on while it is drawn: only once every other file is
// written, and only then.
bool ExportScene(const ReceivedModel& model, const MdlGroups& groups, const OutputFolder& folder,
                 const ExportOptions& options, PendingPicture& picture);
inline bool ExportScene(const ReceivedModel& model, const OutputFolder& folder, const ExportOptions& options) {
    return ExportScene(model, MdlGroups(), folder, options);
}

// Whether the export draws thumbnail.png: asked for, and a mesh to draw.
inline bool ExportsThumbnail(const ReceivedModel& model, const ExportOptions& options) {
    return options.thumbnail > 0 && !model.vertices.empty() && !model.faces.empty();
}

// thumbnail.png's bytes alone, as the export draws them, for a model it
// draws (ExportsThumbnail); the skins' own files are never encoded.
std::string ThumbnailAlone(const ReceivedModel& model, const MdlGroups& groups, const ExportOptions& options);

inline bool ExportScene(const ReceivedModel& model, const std::filesystem::path& directory,
                        const ExportOptions& options, ExportMessages& messages) {
    return ExportScene(model, OutputFolder(directory, messages), options);
}
