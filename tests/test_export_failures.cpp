// The export's files are whole or absent: a file that cannot be written is
// named with the system's reason, the export stops and fails, and no partial
// file is left, under its final name or any other.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <sstream>

#include "export_scene.h"
#include "plugin_harness.h"

namespace {

namespace fs = std::filesystem;

// A soft limit on the size of any file this process writes, and SIGXFSZ
// ignored, so that a write past it fails as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        previous = signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previous);
    }

private:
    rlimit saved{};
    sighandler_t previous;
};

enum class Fault { FullDevice, FolderInTheWay, SizeLimit, LinkToFullDevice };

struct WriteCase {
    const char* name;
    const char* file;  // in the export's folder
    Fault fault;
    const char* reason;  // the system's, or null where the export succeeds
};

class WriteFailure : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteFailure, NamesTheFileAndLeavesNoPartOfIt) {
    const WriteCase& c = GetParam();
    char pattern[] = "/tmp/mdlwrite.XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    fs::create_directory(folder / "frames");
    const fs::path target = folder / c.file;
    // The partial file is where the writes go: on a full device there.
    if (c.fault == Fault::FullDevice) fs::create_symlink("/dev/full", PartialName(target));
    if (c.fault == Fault::LinkToFullDevice) fs::create_symlink("/dev/full", target);
    if (c.fault == Fault::FolderInTheWay) fs::create_directory(target);

    PluginHarness harness;
    const ImportCapture capture = harness.Import(SmallModel(6, 8, {"stand1", "stand2", "run1"}, 2));
    const ReceivedModel model = ReceiveModel(capture);  // whose frames the capture holds
    ExportOptions options;
    options.frames = true;
    ExportMessages messages;
    bool written = false;
    {
        const FileSizeLimit limit(c.fault == Fault::SizeLimit ? 2048 : RLIM_INFINITY);
        written = ExportScene(model, folder, options, messages);
    }

    if (c.reason == nullptr) {
        EXPECT_TRUE(written) << messages.Lines();
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));  // the link itself replaced
    } else {
        EXPECT_FALSE(written);
        // The file and the system's reason, as a value, whatever was noted before.
        EXPECT_EQ(messages.failure, "cannot write " + target.string() + ": " + c.reason);
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(target)));
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriteFailure,
    testing::Values(
        WriteCase{"GlbOnAFullDevice", "model.glb", Fault::FullDevice, "No space left on device"},
        WriteCase{"GlbWithAFolderInTheWay", "model.glb", Fault::FolderInTheWay, "Is a directory"},
        WriteCase{"GlbPastTheFileSizeLimit", "model.glb", Fault::SizeLimit, "File too large"},
        WriteCase{"FrameOnAFullDevice", "frames/0_stand_1.obj", Fault::FullDevice, "No space left on device"},
        WriteCase{"PngWithAFolderInTheWay", "texture1.png", Fault::FolderInTheWay, "Is a directory"},
        WriteCase{"MtlOnAFullDevice", "model.mtl", Fault::FullDevice, "No space left on device"},
        WriteCase{"ObjOnAFullDevice", "model.obj", Fault::FullDevice, "No space left on device"},
        WriteCase{"ObjWithAFolderInTheWay", "model.obj", Fault::FolderInTheWay, "Is a directory"},
        // Written beside it and renamed: a link in the way is replaced, never written through.
        WriteCase{"GlbWhereALinkToAFullDeviceStands", "model.glb", Fault::LinkToFullDevice, nullptr}),
    CaseName<WriteCase>);

// The GLB's bytes must lie where its JSON says: a target of another length
// than the plan's leaves the vectors' view at the wrong end, and the file is
// never named.
TEST(GlbPlan, AFileWhoseViewsAreNotWherePlannedIsNeverNamed) {
    PluginHarness harness;
    const ImportCapture capture = harness.Import(SmallModel(4, 2, {"a1", "a2"}));  // the frames point into it
    const ReceivedModel model = ReceiveModel(capture);
    char pattern[] = "/tmp/mdlplan.XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    ExportMessages messages;
    const ExportMesh mesh(model);
    GltfVertices vertices(model);
    const ExportSkins skins(model, MdlGroups());
    const ExportPoses poses(model, MdlGroups(), mesh, PoseNormals::None);
    Pose rest, pose;
    poses.Compute(0, rest);
    {
        GlbWriter glb(mesh, vertices, skins, poses, Interpolation::Step);
        ASSERT_TRUE(glb.Begin(OutputFolder(folder, messages), rest));
        vertices.source.pop_back();  // one glTF vertex fewer than planned
        for (size_t k = 1; k < poses.Count(); ++k) {
            poses.Compute(k, pose);
            EXPECT_TRUE(glb.AddTarget(pose));
        }
        EXPECT_FALSE(glb.Finish());
    }
    EXPECT_NE(messages.failure.find("model.glb: view "), std::string::npos) << messages.failure;
    EXPECT_FALSE(fs::exists(folder / "model.glb"));
    EXPECT_TRUE(fs::is_empty(folder));
    fs::remove_all(folder);
}

}  // namespace
