#include "shell/program_folder.h"

#include <gtest/gtest.h>

namespace pictorra::shell {
namespace {

TEST(ProgramFolder, FolderOfThisExecutableAndNamesInIt) {
    EXPECT_EQ(ProgramFolder(), PICTORRA_TEST_FOLDER);
    const char* const cases[][3] = {{"/opt/p", "a.wav", "/opt/p/a.wav"},
                                    {"/opt/p//", "//a", "/opt/p/a"},
                                    {"/", "a", "/a"},
                                    {"/", "", "/"},
                                    {"", "a", "a"}};
    for (const auto& [folder, name, joined] : cases)
        EXPECT_EQ(InProgramFolder(folder, name), joined) << folder << " + " << name;
}

}  // namespace
}  // namespace pictorra::shell
