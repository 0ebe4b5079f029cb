// The public decoder test pictures: good files decode to their references, bad files fail
// cleanly, questionable files never crash, hang or balloon. Skipped when the folder is absent.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "image/c_image.h"
#include "test_support.h"

namespace fs = std::filesystem;
using pictorra::image::cImage;
using namespace pictorra::test;

namespace {

fs::path Corpora() { return SharedDir().empty() ? fs::path{} : SharedDir() / "corpora"; }

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    if (Corpora().empty()) return names;
    for (const auto& entry : fs::directory_iterator(Corpora() / folder, ec))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ParamName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

class GoodCorpus : public testing::TestWithParam<std::string> {};

// BMP and GIF are exact; 16-bit BMP has the 5/6-bit expansion to settle, JPEG the IDCT.
TEST_P(GoodCorpus, DecodesToReference) {
    const fs::path file = Corpora() / "good" / GetParam();
    std::string ext = file.extension();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    const int tolerance = ext == ".jpg" || ext == ".jpeg"                               ? 3
                          : ext == ".bmp" && GetParam().find("16") != std::string::npos ? 7
                                                                                        : 0;
    cImage img;
    ASSERT_EQ(img.LoadPicture(file), 0) << file;
    const auto ref = ReadPng(Corpora() / "expected" / (file.stem().string() + ".png"));
    ASSERT_TRUE(ref.has_value()) << file.stem();
    const int diff = MaxChannelDifference(img, *ref);
    EXPECT_GE(diff, 0) << "size " << img.Width() << "x" << img.Height() << " against " << ref->width
                       << "x" << ref->height;
    EXPECT_LE(diff, tolerance);
}

INSTANTIATE_TEST_SUITE_P(Corpora, GoodCorpus, testing::ValuesIn(FilesIn("good")), ParamName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoodCorpus);

class BadCorpus : public testing::TestWithParam<std::string> {};

TEST_P(BadCorpus, FailsCleanly) {
    cImage img;
    EXPECT_EQ(img.LoadPicture(Corpora() / "bad" / GetParam()), 1);
    EXPECT_FALSE(img.PicValid());
}

INSTANTIATE_TEST_SUITE_P(Corpora, BadCorpus, testing::ValuesIn(FilesIn("bad")), ParamName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BadCorpus);

// Thousands of small files: one test, so that a failure names the file without thousands of
// test processes. A hang runs into the test's time limit.
TEST(QuestionableCorpus, NeverCrashesHangsOrBalloons) {
    const auto names = FilesIn("questionable");
    if (names.empty()) GTEST_SKIP() << "no corpora folder beside the repository";
    for (const auto& name : names) {
        cImage img;
        const int32_t code = img.LoadPicture(Corpora() / "questionable" / name);
        EXPECT_TRUE(code == 0 || code == 1) << name << " gave " << code;
        EXPECT_EQ(code == 0, img.PicValid()) << name;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss / 1024, 1500) << "peak memory in MiB";
}

}  // namespace
