// The converter's naming rules: each model's output folder is its path less
// the extension, and a name that another model has already taken, in any
// letter case, gets the first free suffix; so does a first part that the
// gallery's own files take. And the folder that files dropped on the
// program go to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inputs.h"

namespace {

struct NamingCase {
    const char* name;
    std::vector<std::string> relatives;  // each model's path in its folder or archive
    std::vector<std::string> folders;    // the output folders expected, in order
    std::vector<std::string> reserved = {};
};

class OutputFolders : public testing::TestWithParam<NamingCase> {};

TEST_P(OutputFolders, AreThePathLessItsExtensionUniqueInAnyCase) {
    std::vector<ModelSource> models;
    for (const std::string& relative : GetParam().relatives)
        models.push_back({{0, relative, relative}, {}, nullptr, 0, std::filesystem::u8path(relative)});
    std::vector<std::string> folders;
    for (const std::filesystem::path& folder : ChooseOutputFolders(models, GetParam().reserved))
        folders.push_back(folder.generic_u8string());
    EXPECT_EQ(folders, GetParam().folders);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputFolders,
    testing::Values(
        NamingCase{"Depth", {"progs/ogre.mdl", "a/b/c/d.mdl", "loose.mdl"}, {"progs/ogre", "a/b/c/d", "loose"}},
        NamingCase{"ExtensionInAnyCase", {"progs/OGRE.MDL", "x.Mdl"}, {"progs/OGRE", "x"}},
        NamingCase{"CaseOnlyCollision", {"progs/ogre.mdl", "progs/Ogre.mdl", "PROGS/OGRE.mdl"},
                   {"progs/ogre", "progs/Ogre-2", "PROGS/OGRE-3"}},
        // A suffix may itself be some model's name: the next one is taken.
        NamingCase{"SuffixAlreadyTaken", {"a-2.mdl", "a.mdl", "A.mdl"}, {"a-2", "a", "A-3"}},
        NamingCase{"SuffixOfASuffix", {"a.mdl", "A.mdl", "a-2.mdl"}, {"a", "A-2", "a-2-2"}},
        NamingCase{"SameNameInOtherFolders", {"x/m.mdl", "y/m.mdl", "m.mdl"}, {"x/m", "y/m", "m"}},
        // The gallery's page and folder of files: no model's tree may
        // hold them, at the top only.
        NamingCase{"ReservedFirstPartInAnyCase",
                   {"index.html.mdl", "INDEX_FILES/x.mdl", "index_files.mdl", "a/index_files/y.mdl", "index.mdl"},
                   {"index.html-2", "INDEX_FILES-2/x", "index_files-2", "a/index_files/y", "index"},
                   {"index.html", "index_files"}},
        NamingCase{"ReservedSuffixTakenByAModel", {"index_files-2.mdl", "index_files.mdl"},
                   {"index_files-2", "index_files-2-2"}, {"index_files"}}),
    [](const testing::TestParamInfo<NamingCase>& naming) { return std::string(naming.param.name); });

struct DropCase {
    const char* name;
    std::vector<std::string> files;
    InputKind first;
    bool ownConsole;
    const char* folder;  // null for a run from a command line
};

class DroppedFiles : public testing::TestWithParam<DropCase> {};

TEST_P(DroppedFiles, GoBesideTheFirstOnlyWhenTheProgramHasAConsoleOfItsOwn) {
    const DropCase& drop = GetParam();
    const std::optional<std::filesystem::path> folder = DroppedFilesFolder(drop.files, drop.first, drop.ownConsole);
    if (drop.folder == nullptr) {
        EXPECT_FALSE(folder.has_value());
        return;
    }
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(folder->generic_u8string(), drop.folder);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DroppedFiles,
    testing::Values(
        DropCase{"Archive", {"/games/id1/pak0.pak", "/games/id1/pak1.pak"}, InputKind::Archive, true,
                 "/games/id1/pak0 converted"},
        DropCase{"Model", {"/m/ogre.mdl"}, InputKind::Model, true, "/m/ogre converted"},
        DropCase{"FolderKeepsItsWholeName", {"/games/id1.v2"}, InputKind::Folder, true, "/games/id1.v2 converted"},
        DropCase{"FolderWithItsSeparator", {"/games/id1/"}, InputKind::Folder, true, "/games/id1 converted"},
        DropCase{"FromACommandLine", {"/m/ogre.mdl"}, InputKind::Model, false, nullptr},
        DropCase{"NothingDropped", {}, InputKind::Missing, true, nullptr},
        DropCase{"AnOptionIsNoDrop", {"/m/ogre.mdl", "--json"}, InputKind::Model, true, nullptr}),
    [](const testing::TestParamInfo<DropCase>& drop) { return std::string(drop.param.name); });

}  // namespace
