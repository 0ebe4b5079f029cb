// The program folder and names in it.
#include "shell/program_folder.h"

#include <gtest/gtest.h>

namespace pictorra::shell {
namespace {

TEST(ProgramFolder, IsTheFolderOfThisExecutable) {
    EXPECT_EQ(ProgramFolder(), PICTORRA_TEST_FOLDER);
}

TEST(ProgramFolder, JoinsWithExactlyOneSlash) {
    // clang-format off
    const struct { const char* folder; const char* name; const char* joined; } cases[] = {
        {"/opt/p", "thwoop.wav", "/opt/p/thwoop.wav"}, {"/opt/p/", "a", "/opt/p/a"},
        {"/opt/p//", "//a", "/opt/p/a"}, {"/", "a", "/a"}, {"//", "/a", "/a"},
        {"/opt/p", "", "/opt/p"}, {"/", "", "/"}, {"", "a", "a"}, {"/opt/p", "sub/a", "/opt/p/sub/a"}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(InProgramFolder(c.folder, c.name), c.joined) << c.folder << " + " << c.name;
}

}  // namespace
}  // namespace pictorra::shell
