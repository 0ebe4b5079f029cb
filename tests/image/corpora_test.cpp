// The public decoder test pictures of both corpora (BMP/JPEG/GIF, and PNG/WebP/TIFF/HEIF with
// the metadata photos): good files decode to their references, bad files fail cleanly,
// questionable files never crash, hang or balloon. Skipped when the folders are absent.
//
// The references hold the files' own samples, so good files are decoded without the colour
// conversion the load does. References of PNG, WebP and TIFF files are in stored order; the
// decoders turn those pictures upright, so the reference is turned the same way before the
// comparison. HEIF references already have the container's turns applied.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "image/c_image.h"
#include "image/codecs.h"
#include "image/exif.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace pictorra::image;
using namespace pictorra::test;

namespace {

const char* const kCorpora[] = {"corpora", "corpora-formats"};

// Files of one class in both corpora, as "corpus/class/name".
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (SharedDir().empty()) return names;
    for (const char* corpus : kCorpora) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(SharedDir() / corpus / folder, ec))
            names.push_back(std::string(corpus) + "/" + folder + "/" +
                            entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ParamName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(info.param.rfind('/') + 1);
    if (info.param.starts_with("corpora-formats/")) name = "formats_" + name;
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

std::string LowerExtension(const fs::path& file) {
    std::string ext = file.extension();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// True for a PNG of 16-bit samples (the bit depth in its header), whatever its name says.
bool SixteenBitPng(const std::string& name) {
    std::vector<uint8_t> bytes;
    const fs::path file = SharedDir() / "corpora-formats" / "good" / name;
    return ReadWholeFile(file, bytes) == 0 && bytes.size() > 24 && bytes[24] == 16;
}

// How close a good file must come to its reference: the largest difference of one channel, or
// for HEIF (whose colour conversion is the library's own) the mean difference per channel.
struct Tolerance {
    int max = 0;
    double mean = -1;  // when >= 0, the mean is checked instead of the largest difference
};

Tolerance ToleranceFor(const std::string& name, const std::string& ext) {
    if (ext == ".jpg" || ext == ".jpeg") return {3};
    if (ext == ".bmp") return {Contains(name, "16") ? 7 : 0};
    // 16-bit samples are rounded to 8 bits; the references keep the high byte.
    if (ext == ".png" || ext == ".apng") return {SixteenBitPng(name) ? 1 : 0};
    if (ext == ".tif" || ext == ".tiff") {
        // Premultiplied 16-bit alpha: made straight and composed again, each with its rounding
        // (the file names spell it RGBa).
        if (Contains(name, "16") &&
            (Contains(name, "rgba") || Contains(name, "RGBa") || Contains(name, "alpha"))) {
            return {3};
        }
        return {Contains(name, "16") || Contains(name, "cmyk") ? 1 : 0};
    }
    if (ext == ".heic" || ext == ".heif" || ext == ".hif") return {255, 2.0};
    return {0};
}

// The decoder of a file by its extension, without the colour conversion of the load.
bool DecodeRaw(std::span<const uint8_t> data, const std::string& ext, cImage& out,
               PictureInfo& info) {
    if (ext == ".jpg" || ext == ".jpeg") return DecodeJpeg(data, out, &info);
    if (ext == ".png" || ext == ".apng") return DecodePng(data, out, &info);
    if (ext == ".webp") return DecodeWebp(data, out, &info);
    if (ext == ".tif" || ext == ".tiff") return DecodeTiff(data, out, &info);
    if (ext == ".heic" || ext == ".heif" || ext == ".hif") return DecodeHeif(data, out, &info);
    return out.LoadPictureData(data, ext.substr(1)) == kDibOk;
}

cImage FromReference(const RgbPicture& ref) {
    return MakeImage(ref.width, ref.height, [&](int x, int y) { return ref.At(x, y); });
}

double MeanDifference(const cImage& img, const cImage& ref) {
    double sum = 0;
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const Rgb a = PixelAt(img, x, y), b = PixelAt(ref, x, y);
            sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
    return sum / (3.0 * img.Width() * img.Height());
}

class GoodCorpus : public testing::TestWithParam<std::string> {};

TEST_P(GoodCorpus, DecodesToReference) {
    const fs::path file = SharedDir() / GetParam();
    const std::string ext = LowerExtension(file);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadWholeFile(file, bytes), 0) << file;
    cImage img;
    PictureInfo info;
    ASSERT_TRUE(DecodeRaw(bytes, ext, img, info)) << file;
    const auto ref_png =
        ReadPng(file.parent_path().parent_path() / "expected" / (file.stem().string() + ".png"));
    ASSERT_TRUE(ref_png.has_value()) << file.stem();
    cImage ref = FromReference(*ref_png);
    if (ext == ".png" || ext == ".apng" || ext == ".webp" || ext == ".tif" || ext == ".tiff")
        ApplyOrientation(ref, TiffOrientation(info.exif));
    ASSERT_EQ(std::pair(img.Width(), img.Height()), std::pair(ref.Width(), ref.Height()));
    const Tolerance tolerance = ToleranceFor(file.filename(), ext);
    if (tolerance.mean >= 0) {
        EXPECT_LE(MeanDifference(img, ref), tolerance.mean);
    } else {
        int worst = 0;
        for (int y = 0; y < img.Height(); ++y)
            for (int x = 0; x < img.Width(); ++x) {
                const Rgb a = PixelAt(img, x, y), b = PixelAt(ref, x, y);
                worst = std::max(
                    {worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
            }
        EXPECT_LE(worst, tolerance.max);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpora, GoodCorpus, testing::ValuesIn(FilesIn("good")), ParamName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoodCorpus);

class BadCorpus : public testing::TestWithParam<std::string> {};

TEST_P(BadCorpus, FailsCleanly) {
    cImage img;
    PictureInfo info;
    std::vector<uint8_t> bytes;
    int why = 0;
    EXPECT_EQ(img.LoadPicture(SharedDir() / GetParam(), bytes, why, &info), 1);
    EXPECT_FALSE(img.PicValid());
    EXPECT_TRUE(info.icc.empty() && info.exif.empty());
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
        const int32_t code = img.LoadPicture(SharedDir() / name);
        EXPECT_TRUE(code == 0 || code == 1) << name << " gave " << code;
        EXPECT_EQ(code == 0, img.PicValid()) << name;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss / 1024, 1500) << "peak memory in MiB";
}

}  // namespace
