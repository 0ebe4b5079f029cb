// The public decoder test pictures: good files decode to their references, bad files fail
// cleanly, questionable files never crash, hang or balloon. Skipped when the folder is absent.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "image/c_image.h"
#include "test_support.h"

namespace fs = std::filesystem;
using pictorra::image::cImage;
using namespace pictorra::test;

namespace {

fs::path CorporaDir() {
    const fs::path shared = SharedDir();
    return shared.empty() ? fs::path{} : shared / "corpora";
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path dir = CorporaDir() / folder;
    if (CorporaDir().empty() || !fs::is_directory(dir, ec)) return names;
    for (const auto& entry : fs::directory_iterator(dir, ec)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Allowed difference from the reference: BMP and GIF are exact, 16-bit BMP has the 5/6-bit
// expansion to settle, JPEG may differ by the IDCT.
int Tolerance(const std::string& name) {
    const std::string lower = Lower(name);
    if (lower.ends_with(".jpg") || lower.ends_with(".jpeg")) return 3;
    if (lower.find("16") != std::string::npos && lower.ends_with(".bmp")) return 7;
    return 0;
}

std::string ParamName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class GoodCorpus : public testing::TestWithParam<std::string> {};

TEST_P(GoodCorpus, DecodesToReference) {
    const fs::path file = CorporaDir() / "good" / GetParam();
    const fs::path ref_path = CorporaDir() / "expected" / (fs::path(GetParam()).stem().string() + ".png");
    cImage img;
    ASSERT_EQ(img.LoadPicture(file), 0) << file;
    const auto ref = ReadPng(ref_path);
    ASSERT_TRUE(ref.has_value()) << ref_path;
    const int diff = MaxChannelDifference(img, *ref);
    EXPECT_GE(diff, 0) << "size " << img.Width() << "x" << img.Height() << " against "
                       << ref->width << "x" << ref->height;
    EXPECT_LE(diff, Tolerance(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Corpora, GoodCorpus, testing::ValuesIn(FilesIn("good")), ParamName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoodCorpus);

class BadCorpus : public testing::TestWithParam<std::string> {};

TEST_P(BadCorpus, FailsCleanly) {
    cImage img;
    EXPECT_EQ(img.LoadPicture(CorporaDir() / "bad" / GetParam()), 1);
    EXPECT_FALSE(img.PicValid());
}

INSTANTIATE_TEST_SUITE_P(Corpora, BadCorpus, testing::ValuesIn(FilesIn("bad")), ParamName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BadCorpus);

long PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Thousands of small files: one test, so that a failure names the file without thousands of
// test processes.
TEST(QuestionableCorpus, NeverCrashesHangsOrBalloons) {
    const auto names = FilesIn("questionable");
    if (names.empty()) GTEST_SKIP() << "no corpora folder beside the repository";
    int decoded = 0;
    for (const auto& name : names) {
        const auto start = std::chrono::steady_clock::now();
        cImage img;
        const int32_t code = img.LoadPicture(CorporaDir() / "questionable" / name);
        const auto seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(code == 0 || code == 1) << name << " gave " << code;
        EXPECT_EQ(code == 0, img.PicValid()) << name;
        EXPECT_LT(seconds, 10.0) << name << " took too long";
        decoded += code == 0;
    }
    EXPECT_LT(PeakRssMiB(), 1500) << "peak memory";
    RecordProperty("decoded", decoded);
}

}  // namespace
