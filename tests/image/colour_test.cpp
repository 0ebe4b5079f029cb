// ConvertToSrgb against colour science worked out here (expectations computed in double precision
// from the published primaries) and against lcms2's own transform, which it must equal byte for
// byte, on profiles made with lcms2 and on the shared photos' own.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "icc_fixtures.h"
#include "image/codecs.h"
#include "image/colour_paths.h"
#include "test_support.h"

namespace {

using namespace pictorra::test;
using namespace pictorra::test::icc;
using pictorra::image::cImage;
using pictorra::image::ConvertToSrgb;
using Icc = std::vector<uint8_t>;

// The profile of a photo in the shared corpus; empty when the corpus is absent.
Icc FromPhoto(const char* name) {
    cImage picture;
    pictorra::image::PictureInfo info;
    return pictorra::image::DecodeJpeg(GoodCorpusFile(name), picture, &info) ? info.icc : Icc{};
}

// A display profile whose only tag, A2B0, declares a 255 x 255 x 255 grid of three 16-bit
// outputs (some 100 MB) and then ends.
Icc HugeDeclaredTable() {
    Icc b(196, 0);
    const auto put = [&b](size_t at, uint32_t v) {
        for (size_t i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
    };
    const auto tag = [&b](size_t at, const char* s) { std::memcpy(&b[at], s, 4); };
    put(0, uint32_t(b.size())), put(8, 0x04300000), tag(12, "mntr"), tag(16, "RGB ");
    tag(20, "XYZ "), tag(36, "acsp"), put(68, 0xF6D6), put(72, 0x10000), put(76, 0xD32D);
    put(128, 1), tag(132, "A2B0"), put(136, 144), put(140, 52);  // one tag
    tag(144, "mAB "), b[152] = b[153] = 3, put(168, 32);         // only a grid, at +32
    b[176] = b[177] = b[178] = 255, b[192] = 2;                  // 255^3 points, 16 bits
    return b;
}

Icc Damaged(Icc b, size_t keep, size_t at = 0, uint8_t value = 0) {
    if (at && at + 1 < b.size()) b[at] = b[at + 1] = value;
    b.resize(std::min(keep, b.size()));
    return b;
}

double SrgbEncode(double v) {
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// Adobe RGB to sRGB in linear light, from the two sets of primaries with the same white.
constexpr double kAdobeToSrgb[3][3] = {
    {1.39835574, -0.39835574, 0}, {0, 1, 0}, {0, -0.04294257, 1.04294257}};

// Unrounded 8-bit sRGB values of an Adobe RGB colour; `in_gamut` is cleared when sRGB does not
// hold it with room to spare (every channel 3 % of linear light inside the clipping edges).
std::array<double, 3> AdobeToSrgb(Rgb c, bool* in_gamut = nullptr) {
    const double in[3] = {std::pow(c.r / 255.0, kAdobeGamma), std::pow(c.g / 255.0, kAdobeGamma),
                          std::pow(c.b / 255.0, kAdobeGamma)};
    std::array<double, 3> out{};
    for (size_t i = 0; i < 3; ++i) {
        const double lin =
            kAdobeToSrgb[i][0] * in[0] + kAdobeToSrgb[i][1] * in[1] + kAdobeToSrgb[i][2] * in[2];
        out[i] = 255 * SrgbEncode(std::clamp(lin, 0.0, 1.0));
        if (in_gamut && (lin < 0.03 || lin > 0.97)) *in_gamut = false;
    }
    return out;
}

cImage GreyRamp(int rows) {
    return MakeImage(256, rows, [](int x, int) { return Rgb{uint8_t(x), uint8_t(x), uint8_t(x)}; });
}

// Profiles that change nothing (sRGB) or cannot be used leave every byte, padding included.
TEST(Colour, UntouchedByNothingToDoOrRefused) {
    const CurvePtr gamma22{cmsBuildGamma(nullptr, 2.2)};
    const struct {
        const char* name;
        Icc icc;
        bool converts;  // true: sRGB, nothing to do; false: refused
    } cases[] = {
        {"lcms2 sRGB", Save(ProfilePtr{cmsCreate_sRGBProfile()}.get()), true},
        {"tabulated sRGB v2", RgbProfile(kSrgbPrimaries, SrgbCurve(true).get(), 2.1), true},
        {"grey sRGB curve", Grey(SrgbCurve(false).get()), true},
        {"photo's sRGB v4", FromPhoto("meta-libavif-paris_exif_xmp_icc.jpg"), true},
        {"empty", {}, false},
        {"garbage", Icc(500, 0x5A), false},
        {"truncated Adobe RGB", Damaged(AdobeRgb(), AdobeRgb().size() / 2), false},
        {"huge tag count", Damaged(AdobeRgb(), 1 << 20, 128, 0xFF), false},
        {"huge declared table", HugeDeclaredTable(), false},
        {"grey on colour", Grey(gamma22.get()), false},
        {"Lab", Save(ProfilePtr{cmsCreateLab4Profile(nullptr)}.get()), false},
        {"device link", Save(ProfilePtr{cmsCreateInkLimitingDeviceLink(cmsSigCmykData, 300)}.get()),
         false},
    };
    for (const auto& c : cases) {
        if (c.converts && c.icc.empty()) continue;  // no shared corpus
        cImage picture = Noise(37, 23, 7);
        const std::vector<uint8_t> before = Bytes(picture);
        EXPECT_EQ(ConvertToSrgb(picture, c.icc), c.converts) << c.name;
        EXPECT_EQ(Bytes(picture), before) << c.name;
    }
}

// lcms2's 8-bit matrix path works in 1.14 fixed point and lands within 0.6 of a level of the exact
// value; lookup tables are interpolated, off at the gamut's clipped edge.
struct Converted {
    const char* name;
    std::function<Icc()> profile;
    double worst_miss;  // in levels
    bool in_gamut_only;
};
void PrintTo(const Converted& row, std::ostream* os) { *os << row.name; }

class ColourConverts : public testing::TestWithParam<Converted> {};

TEST_P(ColourConverts, EveryFifthLevelAndEveryGrey) {
    const Icc icc = GetParam().profile();
    if (icc.empty()) GTEST_SKIP() << "shared corpus not found";
    constexpr int kSteps = 52, kWidth = kSteps * kSteps;
    const cImage source = MakeImage(kWidth + 1, kSteps, [](int x, int y) {
        if (x == kWidth) return Rgb{uint8_t(y * 5), uint8_t(y * 5), uint8_t(y * 5)};
        return Rgb{uint8_t(x % kSteps * 5), uint8_t(x / kSteps * 5), uint8_t(y * 5)};
    });
    cImage picture = source;
    ASSERT_TRUE(ConvertToSrgb(picture, icc));
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const Rgb got = PixelAt(picture, x, y);
            bool in_gamut = true;
            const std::array<double, 3> want = AdobeToSrgb(PixelAt(source, x, y), &in_gamut);
            if (GetParam().in_gamut_only && !in_gamut) continue;
            const uint8_t channels[3] = {got.r, got.g, got.b};
            for (size_t c = 0; c < 3; ++c) {
                const double miss = std::abs(channels[c] - want[c]);
                ASSERT_LE(miss, GetParam().worst_miss) << x << "," << y << " channel " << c;
            }
        }
}

const Converted kConverted[] = {
    {"MatrixShaper", [] { return AdobeRgb(); }, 0.6, false},
    {"LookupTable", [] { return AdobeRgbAsTable(17); }, 2.05, true},
    {"PhotoMatrixShaper", [] { return FromPhoto("meta-exiv2-Reagan.jpg"); }, 0.6, false},
};
INSTANTIATE_TEST_SUITE_P(Colour, ColourConverts, testing::ValuesIn(kConverted),
                         [](const auto& info) { return std::string(info.param.name); });

// Greys stay neutral and near exact, through a colour profile and through a grey one (lcms2
// samples the grey profile's conversion on a grid, which costs up to a level in the dark).
TEST(Colour, GreysStayNeutral) {
    for (const double gamma : {kAdobeGamma, 2.2}) {
        cImage picture = GreyRamp(3);
        const CurvePtr curve{cmsBuildGamma(nullptr, 2.2)};
        ASSERT_TRUE(ConvertToSrgb(picture, gamma == 2.2 ? Grey(curve.get()) : AdobeRgb()));
        for (int v = 0; v < 256; ++v) {
            const Rgb got = PixelAt(picture, v, 2);
            EXPECT_TRUE(got.r == got.g && got.g == got.b) << v;
            EXPECT_NEAR(got.g, 255 * SrgbEncode(std::pow(v / 255.0, gamma)),
                        gamma == 2.2 ? 1.5 : 0.6)
                << v;
        }
    }
}

TEST(Colour, SameBytesWhateverTheThreadsAndPaddingKept) {
    for (const Icc& profile : {AdobeRgb(), AdobeRgbAsTable(17)}) {
        cImage one = Noise(1001, 700, 3);  // large enough to be split, padded rows
        cImage all = one;
        const std::vector<uint8_t> before = Bytes(one);
        ASSERT_TRUE(ConvertToSrgb(one, profile, 1));
        ASSERT_TRUE(ConvertToSrgb(all, profile, pictorra::image::kAllCores));
        EXPECT_EQ(Bytes(one), Bytes(all));
        const std::vector<uint8_t> after = Bytes(one);
        const size_t stride = size_t(one.BytesPerScanLine());
        for (size_t row = 0; row < size_t(one.Height()); ++row)
            for (size_t i = 3 * 1001; i < stride; ++i)
                ASSERT_EQ(after[row * stride + i], before[row * stride + i]);
    }
}

// Every third level of each channel (0 and 255 included) and every grey, in rows of `width`.
cImage DenseColours(int width) {
    constexpr int kLevels = 86, kColours = kLevels * kLevels * kLevels + 256;
    const auto level = [](int i) { return uint8_t(i * 3); };
    return MakeImage(width, (kColours + width - 1) / width, [&](int x, int y) {
        const int i = y * width + x;
        if (i >= kColours - 256) {
            const auto v = uint8_t(std::min(i - (kColours - 256), 255));
            return Rgb{v, v, v};
        }
        return Rgb{level(i % kLevels), level(i / kLevels % kLevels), level(i / kLevels / kLevels)};
    });
}

struct Profiled {
    const char* name;
    std::function<Icc()> profile;
};
void PrintTo(const Profiled& row, std::ostream* os) { *os << row.name; }

const Profiled kMatrixProfiles[] = {
    {"AdobeRgb", [] { return AdobeRgb(); }},
    {"DisplayP3", DisplayP3},
    {"WideGamut", WideGamut},
    {"AdobeRgbGamma1", [] { return AdobeRgb(1.0); }},
    {"Photo", [] { return FromPhoto("meta-exiv2-Reagan.jpg"); }},
};

class ColourPaths : public testing::TestWithParam<Profiled> {};

// Same bytes, padding included, also on every width up to two vector blocks and a bit (the
// masked tail).
TEST_P(ColourPaths, VectorAndPortableAgree) {
    using pictorra::image::detail::ColourPath;
    using pictorra::image::detail::ConvertToSrgbOn;
    if (!pictorra::image::detail::HasVectorColour()) GTEST_SKIP() << "no vector path here";
    const Icc icc = GetParam().profile();
    if (icc.empty()) GTEST_SKIP() << "shared corpus not found";
    std::vector<cImage> pictures = {DenseColours(997), DenseColours(1024)};
    for (int width = 1; width <= 40; ++width) pictures.push_back(Noise(width, 5, uint32_t(width)));
    for (const cImage& source : pictures) {
        cImage vector = source, portable = source;
        ASSERT_TRUE(ConvertToSrgbOn(ColourPath::kFastest, vector, icc, 1));
        ASSERT_TRUE(ConvertToSrgbOn(ColourPath::kPortable, portable, icc, 1));
        ASSERT_EQ(Bytes(vector), Bytes(portable)) << "width " << source.Width();
    }
}

// lcms2's own 8-bit transform gives the same bytes.
TEST_P(ColourPaths, SameBytesAsLcms2) {
    const Icc icc = GetParam().profile();
    if (icc.empty()) GTEST_SKIP() << "shared corpus not found";
    const cImage source = DenseColours(1000);
    cImage ours = source, theirs = source;
    ASSERT_TRUE(ConvertToSrgb(ours, icc));
    const ProfilePtr in{cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()))};
    const ProfilePtr out{cmsCreate_sRGBProfile()};
    const std::unique_ptr<void, void (*)(void*)> xf{
        cmsCreateTransform(in.get(), TYPE_BGR_8, out.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, 0),
        cmsDeleteTransform};
    ASSERT_TRUE(xf);
    for (int y = 0; y < theirs.Height(); ++y)
        cmsDoTransform(xf.get(), theirs.View().DibRow(y), theirs.View().DibRow(y),
                       cmsUInt32Number(theirs.Width()));
    const std::vector<uint8_t> a = Bytes(ours), b = Bytes(theirs);
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], b[i]) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Colour, ColourPaths, testing::ValuesIn(kMatrixProfiles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
