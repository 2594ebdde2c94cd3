// The converter's naming rules: each model's output folder is its path less
// the extension, and a name that another model has already taken, in any
// letter case, gets the first free suffix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inputs.h"

namespace {

struct NamingCase {
    const char* name;
    std::vector<std::string> relatives;  // each model's path in its folder or archive
    std::vector<std::string> folders;    // the output folders expected, in order
};

class OutputFolders : public testing::TestWithParam<NamingCase> {};

TEST_P(OutputFolders, AreThePathLessItsExtensionUniqueInAnyCase) {
    std::vector<ModelSource> models;
    for (const std::string& relative : GetParam().relatives)
        models.push_back({relative, {}, nullptr, 0, std::filesystem::u8path(relative)});
    std::vector<std::string> folders;
    for (const std::filesystem::path& folder : ChooseOutputFolders(models)) folders.push_back(folder.generic_u8string());
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
        NamingCase{"SameNameInOtherFolders", {"x/m.mdl", "y/m.mdl", "m.mdl"}, {"x/m", "y/m", "m"}}),
    [](const testing::TestParamInfo<NamingCase>& naming) { return std::string(naming.param.name); });

}  // namespace
