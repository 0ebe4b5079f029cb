// The path-splitting rules (pure string functions; no file system).
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "shell/file_ops.h"

namespace pictorra::shell {
namespace {

struct NameRow {
    const char* name;  // row name shown by GoogleTest
    std::string path;
    std::string expected;
};

void PrintTo(const NameRow& row, std::ostream* os) { *os << '"' << row.path << '"'; }

std::string RowName(const testing::TestParamInfo<NameRow>& info) { return info.param.name; }

class FileBaseNameTest : public testing::TestWithParam<NameRow> {};

TEST_P(FileBaseNameTest, Splits) { EXPECT_EQ(FileBaseName(GetParam().path), GetParam().expected); }

const NameRow kBaseNames[] = {
    {"LastExtensionOnly", "/a/b.c.jpg", "b.c"},
    {"NoExtension", "/a/b", "b"},
    {"OnlyExtension", ".jpg", ""},
    {"NoFolder", "b.jpg", "b"},
    {"EndsInDot", "photo.", "photo"},
    {"DottedFolderNoExtension", "/my.pics/photo", "photo"},
    {"TrailingSlash", "/a/b.jpg/", ""},
    {"Blanks", "/home/me/My Pictures/ beach 1 .jpg", " beach 1 "},
    {"Umlauts", "/Bilder/Grüße aus Köln.jpeg", "Grüße aus Köln"},
    {"Cjk", "/写真/海.gif", "海"},
    {"BackslashIsNoSeparator", "a\\b.jpg", "a\\b"},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, FileBaseNameTest, testing::ValuesIn(kBaseNames), RowName);

class FileExtensionTest : public testing::TestWithParam<NameRow> {};

TEST_P(FileExtensionTest, Splits) {
    EXPECT_EQ(FileExtension(GetParam().path), GetParam().expected);
}

const NameRow kExtensions[] = {
    {"EndsInDot", "photo.", ""},
    {"NoDot", "photo", ""},
    {"SearchCrossesSlash", "/my.pics/photo", "pics/photo"},
    {"LastDot", "/a/b.c.jpg", "jpg"},
    {"OnlyExtension", ".jpg", "jpg"},
    {"KeepsCase", "/a/Grüße.JPEG", "JPEG"},
    {"KeepsTrailingBlank", "a.jpg ", "jpg "},
    {"NonAscii", "/a/b.海", "海"},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, FileExtensionTest, testing::ValuesIn(kExtensions), RowName);

class ParentFolderTest : public testing::TestWithParam<NameRow> {};

TEST_P(ParentFolderTest, Splits) { EXPECT_EQ(ParentFolder(GetParam().path), GetParam().expected); }

const NameRow kParents[] = {
    {"Plain", "/a/b.jpg", "/a"},
    {"RootKeepsSlash", "/b.jpg", "/"},
    {"Root", "/", "/"},
    {"NoSlash", "b.jpg", ""},
    {"Relative", "a/b", "a"},
    {"TrailingSlash", "/a/b/", "/a/b"},
    {"DoubleSlash", "/a//b.jpg", "/a/"},
    {"Blanks", "/home/me/My Pictures/x y.jpg", "/home/me/My Pictures"},
    {"Umlauts", "/Bilder/Grüße/ä.jpg", "/Bilder/Grüße"},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, ParentFolderTest, testing::ValuesIn(kParents), RowName);

class AddBackslashTest : public testing::TestWithParam<NameRow> {};

TEST_P(AddBackslashTest, Appends) {
    std::string path = GetParam().path;
    AddBackslash(path);
    EXPECT_EQ(path, GetParam().expected);
}

const NameRow kAppended[] = {
    {"EmptyStaysEmpty", "", ""}, {"Appends", "/a", "/a/"}, {"AlreadyThere", "/a/", "/a/"},
    {"Root", "/", "/"},          {"Blank", "a b", "a b/"}, {"Umlauts", "/Grüße", "/Grüße/"},
};

INSTANTIATE_TEST_SUITE_P(Table, AddBackslashTest, testing::ValuesIn(kAppended), RowName);

// ParentFolder and AddBackslash together name a file beside its source, the root included.
TEST(ParentFolderAndAddBackslash, RebuildThePathOfASibling) {
    for (const std::string source : {"/Pics/beach.jpg", "/beach.jpg", "beach.jpg"}) {
        std::string folder = ParentFolder(source);
        AddBackslash(folder);
        EXPECT_EQ(folder + FileBaseName(source) + "-.jpg",
                  source.substr(0, source.rfind('/') + 1) + "beach-.jpg")
            << source;
    }
}

struct ImageRow {
    const char* name;
    std::string path;
    bool expected;
};

void PrintTo(const ImageRow& row, std::ostream* os) { *os << '"' << row.path << '"'; }

class IsImageFileTest : public testing::TestWithParam<ImageRow> {};

TEST_P(IsImageFileTest, Decides) { EXPECT_EQ(IsImageFile(GetParam().path), GetParam().expected); }

const ImageRow kImageFiles[] = {
    {"MixedCaseJpeg", "a.JpEg", true},
    {"Jpg", "a.jpg", true},
    {"UpperBmp", "A.BMP", true},
    {"Gif", "x.gif", true},
    {"WithFolder", "/p/x.Gif", true},
    {"DottedFolder", "/my.dir/photo.jpeg", true},
    {"NonAsciiName", "/Bilder/Grüße.JPG", true},
    {"OnlyExtension", ".jpg", true},
    {"Tif", "a.tif", false},
    {"TrailingBlank", "a.jpg ", false},
    {"LeadingBlank", "a. jpg", false},
    {"NoDot", "jpg", false},
    {"DoubleExtension", "a.jpg.txt", false},
    {"ExtensionOfFolder", "/my.jpg/photo", false},
    {"Png", "a.png", false},
    {"Jpe", "a.jpe", false},
    {"EndsInDot", "a.", false},
    {"Empty", "", false},
};

INSTANTIATE_TEST_SUITE_P(Table, IsImageFileTest, testing::ValuesIn(kImageFiles),
                         [](const testing::TestParamInfo<ImageRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pictorra::shell
