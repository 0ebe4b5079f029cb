// What a dropped or picked path is.
#include "options/path_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "test_support.h"

namespace pictorra::options {
namespace {

TEST(PathCheck, Kinds) {
    test::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    for (const char* name : {"a.jpg", "B.JPEG", "d.png", "C.HEIC", "f.psd", "e.txt"})
        test::WriteFileBytes(dir.path() / name, {1, 2, 3});
    std::filesystem::create_directory(dir.path() / "holiday.jpg");  // a folder, whatever its name

    const struct {
        std::string path;
        int32_t kind;
        const char* message;
        const char* label;
    } cases[] = {
        {dir.File("a.jpg"), 1, "", "File"},
        {dir.File("B.JPEG"), 1, "", "File"},
        {dir.File("d.png"), 1, "", "File"},
        {dir.File("C.HEIC"), 1, "", "File"},
        {dir.File("f.psd"), 0, kNotImageFileMessage, ""},
        {dir.File("e.txt"), 0, kNotImageFileMessage, ""},
        {dir.File("holiday.jpg"), 2, "", "Folder"},
        {dir.File("missing.jpg"), 0, kNotFileOrFolderMessage, ""},
        {"", 0, kNotFileOrFolderMessage, ""},
    };
    for (const auto& c : cases) {
        const PathCheck r = CheckPathKind(c.path);
        EXPECT_EQ(std::tie(r.kind, r.message, r.type_label),
                  std::tuple(c.kind, std::string(c.message), std::string(c.label)))
            << c.path;
    }
}

}  // namespace
}  // namespace pictorra::options
