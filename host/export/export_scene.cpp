#include "export_scene.h"

#include <array>
#include <future>
#include <new>

#include "export_files.h"
#include "export_mesh.h"
#include "obj_writer.h"

namespace {

// The one way the export draws its picture: of the rest pose, lit by its
// normals whether or not the export writes them.
std::string Picture(const ReceivedModel& model, const ExportMesh& mesh, const ExportPoses& poses, const Pose& rest,
                    const ExportOptions& options) {
    if (poses.HasNormals()) return ThumbnailPng(model, mesh, rest, options.thumbnail);
    Pose lit;
    poses.ComputeLitRest(lit);
    return ThumbnailPng(model, mesh, lit, options.thumbnail);
}

// Work on a thread of its own, or, where no thread can be started, done
// when its result is asked for: the export goes on either way.
constexpr std::launch ON_A_THREAD = std::launch::async | std::launch::deferred;

// The poses of the GLB's morph targets, in order, each worked out on a
// thread of its own a few ahead of the one being written, into a buffer of a
// ring that is used again once its pose is written: the writer waits on the
// arithmetic only where it is slower, and memory holds AHEAD poses at most.
// Small poses, or a single one, are worked out when the writer asks.
class PosesAhead {
public:
    PosesAhead(const ExportPoses& poses_, std::vector<size_t> order_, size_t vertices)
        : poses(poses_), order(std::move(order_)), launch(Worthwhile(vertices, order.size())) {
        for (size_t n = 0; n < AHEAD && n < order.size(); ++n) Start(n);
    }
    PosesAhead(const PosesAhead&) = delete;
    PosesAhead& operator=(const PosesAhead&) = delete;

    // The next pose in order, which stays as it is until the next call.
    const Pose& Next() {
        if (next > 0 && next - 1 + AHEAD < order.size()) Start(next - 1 + AHEAD);
        const size_t slot = next++ % AHEAD;
        pending[slot].get();  // rethrows what the thread threw
        return ring[slot];
    }

private:
    static constexpr size_t AHEAD = 3;
    // A pose of fewer vertices takes less time than a thread to start and
    // hand it over, and while a picture is drawn it waits for a core too.
    static constexpr size_t THREAD_VERTICES = 4096;

    static std::launch Worthwhile(size_t vertices, size_t count) {
        return vertices >= THREAD_VERTICES && count > 1 ? ON_A_THREAD : std::launch::deferred;
    }

    void Start(size_t n) {
        Pose& pose = ring[n % AHEAD];
        pending[n % AHEAD] = std::async(launch, [this, n, &pose] { poses.Compute(order[n], pose); });
    }

    const ExportPoses& poses;
    const std::vector<size_t> order;  // of the poses, as written
    const std::launch launch;
    std::array<Pose, AHEAD> ring;
    // After the ring, so that a thread still at work ends before its buffer
    // does: a future of std::async waits for its thread as it goes.
    std::array<std::future<void>, AHEAD> pending;
    size_t next = 0;
};

PoseNormals NormalsOf(const ExportOptions& options) { return options.normals ? PoseNormals::Smooth : PoseNormals::None; }

}  // namespace

// The mesh and its rest pose, which every file is made from and the picture
// is drawn from; and the picture, last, so that its drawing ends before what
// it reads does.
struct PendingPicture::Work {
    Work(const ReceivedModel& model_, const MdlGroups& groups, const OutputFolder& folder_,
         const ExportOptions& options_)
        : folder(folder_), options(options_), mesh(model_), poses(model_, groups, mesh, NormalsOf(options_)) {
        poses.Compute(0, rest);
    }

    const OutputFolder folder;
    const ExportOptions options;
    const ExportMesh mesh;
    const ExportPoses poses;
    Pose rest;
    std::future<std::string> picture;
};

PendingPicture::PendingPicture() = default;
PendingPicture::PendingPicture(std::unique_ptr<Work> work_) : work(std::move(work_)) {}
PendingPicture::PendingPicture(PendingPicture&&) noexcept = default;
PendingPicture& PendingPicture::operator=(PendingPicture&&) noexcept = default;
PendingPicture::~PendingPicture() = default;

bool PendingPicture::Finish() {
    if (!work) return true;
    const std::unique_ptr<Work> done = std::move(work);
    try {
        return done->folder.WriteFile(THUMBNAIL_FILE, done->picture.get());
    } catch (const std::bad_alloc&) {
        done->folder.Messages().Fail("not enough memory for the export");
        return false;
    }
}

namespace {

// The stages in the order the data flows: the mesh, the rest pose, glTF's
// vertices, the skins, the poses one at a time, each worked out once for the
// GLB's morph target and the frame's OBJ; then the OBJ. The picture is
// drawn beside them from the rest pose on, and handed over once the rest is
// written.
bool WriteFiles(const ReceivedModel& model, const MdlGroups& groups, const OutputFolder& folder,
                const ExportOptions& options, PendingPicture& picture) {
    if (!folder.Create() || (options.frames && !folder.Create("frames"))) return false;
    auto work = std::make_unique<PendingPicture::Work>(model, groups, folder, options);
    const ExportMesh& mesh = work->mesh;
    const ExportPoses& poses = work->poses;
    const Pose& rest = work->rest;

    // The picture is drawn from here on, while the skins are encoded and
    // the GLB written.
    const bool drawn = ExportsThumbnail(model, options);
    if (drawn)
        work->picture = std::async(ON_A_THREAD, Picture, std::cref(model), std::cref(mesh), std::cref(poses),
                                   std::cref(rest), std::cref(work->options));

    const GltfVertices vertices(model);
    const ExportSkins skins(model, groups);

    GlbWriter glb(mesh, vertices, skins, poses, options.interpolation);
    if (!glb.Begin(folder, rest)) return false;
    std::vector<size_t> order;
    for (const ExportAnimation& animation : poses.animations)
        for (size_t f = 0; f < animation.frames; ++f) order.push_back(animation.firstPose + f);
    {
        PosesAhead ahead(poses, std::move(order), mesh.vertexCount);
        for (const ExportAnimation& animation : poses.animations) {
            for (size_t f = 0; f < animation.frames; ++f) {
                const Pose& pose = ahead.Next();
                if (!glb.AddTarget(pose)) return false;
                if (!options.frames) continue;
                OutputFile frame(folder, ObjFramePath(animation, f));
                WriteObjPose(frame.Text(), mesh, pose, "");
                if (!frame.Commit()) return false;
            }
        }
    }
    if (!glb.Finish()) return false;

    std::string material;
    if (!WriteObjSkins(skins, folder, material)) return false;
    if (mesh.vertexCount > 0) {
        OutputFile obj(folder, OBJ_FILE);
        WriteObjPose(obj.Text(), mesh, rest, material);
        if (!obj.Commit()) return false;
    }
    if (drawn) picture = PendingPicture(std::move(work));
    else if (options.thumbnail > 0)
        folder.Messages().Note("the model has no mesh, so there is no " + Shown(folder.Root() / THUMBNAIL_FILE));
    return true;
}

}  // namespace

std::string ThumbnailAlone(const ReceivedModel& model, const MdlGroups& groups, const ExportOptions& options) {
    const ExportMesh mesh(model);
    const ExportPoses poses(model, groups, mesh, NormalsOf(options));
    Pose rest;
    poses.Compute(0, rest);
    return Picture(model, mesh, poses, rest, options);
}

bool ExportScene(const ReceivedModel& model, const MdlGroups& groups, const OutputFolder& folder,
                 const ExportOptions& options, PendingPicture& picture) {
    ExportMessages& messages = folder.Messages();
    if (!model.Succeeded()) {
        messages.Fail("the import failed, so nothing is exported");
        return false;
    }
    bool ok = false;
    try {
        ok = WriteFiles(model, groups, folder, options, picture);
    } catch (const std::bad_alloc&) {
        messages.Fail("not enough memory for the export");
    }
    return ok && !messages.Failed();
}

bool ExportScene(const ReceivedModel& model, const MdlGroups& groups, const OutputFolder& folder,
                 const ExportOptions& options) {
    PendingPicture picture;
    return ExportScene(model, groups, folder, options, picture) && picture.Finish();
}
