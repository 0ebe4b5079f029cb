// ConvertToSrgb against colour science worked out here: profiles made with lcms2, expectations
// computed in double precision from the published primaries, and the shared photos' own profiles.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "image/codecs.h"
#include "test_support.h"

namespace {

using namespace pictorra::test;
using pictorra::image::cImage;
using pictorra::image::ConvertToSrgb;
using pictorra::image::kAllCores;
using Bytes_ = std::vector<uint8_t>;

struct ProfileFree {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using ProfilePtr = std::unique_ptr<void, ProfileFree>;
struct CurveFree {
    void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};
using CurvePtr = std::unique_ptr<cmsToneCurve, CurveFree>;

Bytes_ Save(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size)) return {};
    Bytes_ bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    return bytes;
}

constexpr cmsCIExyYTRIPLE kSrgbPrimaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
constexpr cmsCIExyYTRIPLE kAdobePrimaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1};
constexpr double kAdobeGamma = 563.0 / 256.0;

Bytes_ RgbProfile(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve, double version = 4.3) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const ProfilePtr p{cmsCreateRGBProfile(&kD65, &primaries, curves)};
    cmsSetProfileVersion(p.get(), version);
    return Save(p.get());
}

// The sRGB curve as a parametric curve (as most profiles write it) or as a 1024-entry table.
CurvePtr SrgbCurve(bool tabulated) {
    const double params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    CurvePtr parametric{cmsBuildParametricToneCurve(nullptr, 4, params)};
    if (!tabulated) return parametric;
    std::vector<cmsUInt16Number> table(1024);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = cmsEvalToneCurve16(parametric.get(), cmsUInt16Number(i * 65535 / 1023));
    return CurvePtr{cmsBuildTabulatedToneCurve16(nullptr, 1024, table.data())};
}

Bytes_ AdobeRgb() {
    const CurvePtr gamma{cmsBuildGamma(nullptr, kAdobeGamma)};
    return RgbProfile(kAdobePrimaries, gamma.get(), 2.1);
}

Bytes_ GreyGamma22() {
    const CurvePtr gamma{cmsBuildGamma(nullptr, 2.2)};
    const ProfilePtr p{cmsCreateGrayProfile(cmsD50_xyY(), gamma.get())};
    return Save(p.get());
}

// Adobe RGB with its colours in an A2B0 lookup table, so the conversion takes the lcms2 path: the
// table's input curves undo the gamma, and its grid maps linear RGB to XYZ, which is linear, so
// interpolation adds no error of its own.
Bytes_ AdobeRgbAsTable() {
    const CurvePtr linear_curve{cmsBuildGamma(nullptr, 1.0)};
    const Bytes_ linear = RgbProfile(kAdobePrimaries, linear_curve.get());
    const ProfilePtr src{cmsOpenProfileFromMem(linear.data(), cmsUInt32Number(linear.size()))};
    const ProfilePtr xyz{cmsCreateXYZProfile()};
    const std::unique_ptr<void, void (*)(void*)> to_xyz{
        cmsCreateTransform(src.get(), TYPE_RGB_16, xyz.get(), TYPE_XYZ_16, INTENT_PERCEPTUAL,
                           cmsFLAGS_NOOPTIMIZE),
        cmsDeleteTransform};
    const std::unique_ptr<cmsPipeline, void (*)(cmsPipeline*)> lut{cmsPipelineAlloc(nullptr, 3, 3),
                                                                   cmsPipelineFree};
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* xf) -> cmsInt32Number {
            cmsDoTransform(xf, in, out, 1);
            return 1;
        },
        to_xyz.get(), 0);
    const CurvePtr gamma{cmsBuildGamma(nullptr, kAdobeGamma)};
    cmsToneCurve* curves[3] = {gamma.get(), gamma.get(), gamma.get()};
    cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
    cmsPipelineInsertStage(lut.get(), cmsAT_END, clut);
    cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    const ProfilePtr p{cmsCreateProfilePlaceholder(nullptr)};
    cmsSetProfileVersion(p.get(), 2.1);  // version 4 would darken the blacks (perceptual black)
    cmsSetDeviceClass(p.get(), cmsSigDisplayClass);
    cmsSetColorSpace(p.get(), cmsSigRgbData);
    cmsSetPCS(p.get(), cmsSigXYZData);
    cmsWriteTag(p.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(p.get(), cmsSigAToB0Tag, lut.get());
    return Save(p.get());
}

// ---- the expectation, in double precision --------------------------------------------------

double SrgbEncode(double v) {
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// Adobe RGB to sRGB in linear light, from the two sets of primaries with the same white.
constexpr double kAdobeToSrgb[3][3] = {
    {1.39835574, -0.39835574, 0}, {0, 1, 0}, {0, -0.04294257, 1.04294257}};

// Unrounded 8-bit sRGB values of an Adobe RGB colour; `in_gamut` tells whether sRGB holds it
// with room to spare (every channel 3 % of linear light away from the clipping edges).
std::array<double, 3> AdobeToSrgb(Rgb c, bool* in_gamut = nullptr) {
    const double in[3] = {std::pow(c.r / 255.0, kAdobeGamma), std::pow(c.g / 255.0, kAdobeGamma),
                          std::pow(c.b / 255.0, kAdobeGamma)};
    std::array<double, 3> out{};
    for (int i = 0; i < 3; ++i) {
        const double lin =
            kAdobeToSrgb[i][0] * in[0] + kAdobeToSrgb[i][1] * in[1] + kAdobeToSrgb[i][2] * in[2];
        out[size_t(i)] = 255 * SrgbEncode(std::clamp(lin, 0.0, 1.0));
        if (in_gamut && (lin < 0.03 || lin > 0.97)) *in_gamut = false;
    }
    return out;
}

// Every colour in steps of five levels, plus every grey: 52^3 + 256 pixels.
cImage ColourCube() {
    constexpr int kSteps = 52, kWidth = kSteps * kSteps;
    return MakeImage(kWidth + 1, kSteps, [](int x, int y) {
        if (x == kWidth) return Rgb{uint8_t(y * 5), uint8_t(y * 5), uint8_t(y * 5)};
        return Rgb{uint8_t(x % kSteps * 5), uint8_t(x / kSteps * 5), uint8_t(y * 5)};
    });
}

// ---- profiles that change nothing or cannot be used --------------------------------------------

struct Untouched {
    const char* name;
    std::function<Bytes_()> profile;
    bool converts;  // true: sRGB, nothing to do; false: refused
};

void PrintTo(const Untouched& row, std::ostream* os) { *os << row.name; }

class ColourUntouched : public testing::TestWithParam<Untouched> {};

TEST_P(ColourUntouched, LeavesEveryByte) {
    cImage picture = Noise(37, 23, 7);  // odd width: the row padding is checked too
    const Bytes_ before = Bytes(picture);
    EXPECT_EQ(ConvertToSrgb(picture, GetParam().profile()), GetParam().converts);
    EXPECT_EQ(Bytes(picture), before);
}

Bytes_ Truncated(Bytes_ b) {
    b.resize(b.size() / 2);
    return b;
}
Bytes_ BadTagCount(Bytes_ b) {
    b[128] = b[129] = 0xFF;  // claims some four billion tags
    return b;
}

// A display profile whose only tag, A2B0, declares a 255 x 255 x 255 grid of three 16-bit
// outputs (some 100 MB) and then ends: refused before or while the table is read.
Bytes_ HugeDeclaredTable() {
    Bytes_ b(128 + 4 + 12 + 52, 0);
    const auto put32 = [&b](size_t at, uint32_t v) {
        for (size_t i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
    };
    const auto put4cc = [&b](size_t at, const char* s) { std::memcpy(&b[at], s, 4); };
    put32(0, uint32_t(b.size()));
    put32(8, 0x04300000);
    put4cc(12, "mntr");
    put4cc(16, "RGB ");
    put4cc(20, "XYZ ");
    put4cc(36, "acsp");
    put32(68, 0xF6D6), put32(72, 0x10000), put32(76, 0xD32D);  // D50
    put32(128, 1);
    put4cc(132, "A2B0"), put32(136, 144), put32(140, 52);
    put4cc(144, "mAB ");
    b[152] = b[153] = 3;  // three channels in and out
    put32(144 + 24, 32);  // the grid right after the tag's header; no curves
    b[176] = b[177] = b[178] = 255;
    b[192] = 2;  // 16-bit entries, none of which follow
    return b;
}

const Untouched kUntouched[] = {
    {"LcmsSrgb", [] { return Save(ProfilePtr{cmsCreate_sRGBProfile()}.get()); }, true},
    {"ParametricSrgbV4", [] { return RgbProfile(kSrgbPrimaries, SrgbCurve(false).get()); }, true},
    {"TabulatedSrgbV2", [] { return RgbProfile(kSrgbPrimaries, SrgbCurve(true).get(), 2.1); },
     true},
    {"GreySrgbCurve",
     [] {
         return Save(ProfilePtr{cmsCreateGrayProfile(cmsD50_xyY(), SrgbCurve(false).get())}.get());
     },
     true},
    {"Empty", [] { return Bytes_{}; }, false},
    {"Garbage", [] { return Bytes_(500, 0x5A); }, false},
    {"TruncatedAdobe", [] { return Truncated(AdobeRgb()); }, false},
    {"HugeTagCount", [] { return BadTagCount(AdobeRgb()); }, false},
    {"HugeDeclaredTable", HugeDeclaredTable, false},
    {"GreyOnColour", GreyGamma22, false},
    {"Lab", [] { return Save(ProfilePtr{cmsCreateLab4Profile(nullptr)}.get()); }, false},
    {"DeviceLink",
     [] { return Save(ProfilePtr{cmsCreateInkLimitingDeviceLink(cmsSigCmykData, 300)}.get()); },
     false},
};
INSTANTIATE_TEST_SUITE_P(Colour, ColourUntouched, testing::ValuesIn(kUntouched),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- conversions -------------------------------------------------------------------------------

// The matrix path is the correctly rounded double-precision result wherever that is not within
// rounding noise of a half level; the lookup-table path is lcms2's interpolation, within a level
// or two. Either way a swapped channel or a skipped row shows at once.
struct Converted {
    const char* name;
    std::function<Bytes_()> profile;
    double tolerance;
    bool in_gamut_only;  // lcms2 interpolates across the kinks that clipping puts at the edge
};

void PrintTo(const Converted& row, std::ostream* os) { *os << row.name; }

class ColourConverts : public testing::TestWithParam<Converted> {};

TEST_P(ColourConverts, AdobeRgbToSrgb) {
    cImage picture = ColourCube();
    const cImage source = picture;
    ASSERT_TRUE(ConvertToSrgb(picture, GetParam().profile()));
    double worst = 0;
    int near_half = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const Rgb got = PixelAt(picture, x, y);
            bool in_gamut = true;
            const std::array<double, 3> want = AdobeToSrgb(PixelAt(source, x, y), &in_gamut);
            if (GetParam().in_gamut_only && !in_gamut) continue;
            const uint8_t channels[3] = {got.r, got.g, got.b};
            for (size_t c = 0; c < 3; ++c) {
                const double miss = std::abs(channels[c] - want[c]);
                worst = std::max(worst, miss);
                // Off by more than rounding: allowed only for a value next to a half level.
                if (GetParam().tolerance == 0 && miss > 0.5) {
                    ++near_half;
                    ASSERT_LT(std::abs(want[c] - std::floor(want[c]) - 0.5), 0.05)
                        << "pixel " << x << "," << y << " channel " << c;
                }
            }
        }
    EXPECT_LE(worst, GetParam().tolerance + 0.55);
    // The profile stores its colourants to 16 fractional bits, so a few values that fall within
    // a few thousandths of a half level round the other way.
    EXPECT_LT(near_half, picture.Width() * picture.Height() / 100) << near_half;
}

const Converted kConverted[] = {
    {"MatrixShaper", AdobeRgb, 0, false},
    {"LookupTable", AdobeRgbAsTable, 1.5, true},
};
INSTANTIATE_TEST_SUITE_P(Colour, ColourConverts, testing::ValuesIn(kConverted),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Colour, GreysStayNeutralAndEndsExact) {
    cImage picture = MakeImage(256, 1, [](int x, int) {
        return Rgb{uint8_t(x), uint8_t(x), uint8_t(x)};
    });
    ASSERT_TRUE(ConvertToSrgb(picture, AdobeRgb()));
    for (int v = 0; v < 256; ++v) {
        const Rgb got = PixelAt(picture, v, 0);
        EXPECT_EQ(got.g, std::lrint(AdobeToSrgb({uint8_t(v), uint8_t(v), uint8_t(v)})[1])) << v;
        EXPECT_TRUE(got.r == got.g && got.g == got.b) << v;
    }
    EXPECT_EQ(PixelAt(picture, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(PixelAt(picture, 255, 0), (Rgb{255, 255, 255}));
}

TEST(Colour, GreyProfileOnGreyPicture) {
    cImage picture = MakeImage(256, 3, [](int x, int) {
        return Rgb{uint8_t(x), uint8_t(x), uint8_t(x)};
    });
    ASSERT_TRUE(ConvertToSrgb(picture, GreyGamma22()));
    for (int v = 0; v < 256; ++v) {
        const auto want = uint8_t(std::lrint(255 * SrgbEncode(std::pow(v / 255.0, 2.2))));
        EXPECT_EQ(PixelAt(picture, v, 2), (Rgb{want, want, want})) << v;
    }
}

TEST(Colour, SameBytesWhateverTheThreadsAndPaddingKept) {
    for (const auto& profile : {AdobeRgb(), AdobeRgbAsTable()}) {
        cImage one = Noise(1001, 700, 3);  // large enough to be split, padded rows
        cImage all = one;
        const Bytes_ before = Bytes(one);
        ASSERT_TRUE(ConvertToSrgb(one, profile, 1));
        ASSERT_TRUE(ConvertToSrgb(all, profile, kAllCores));
        EXPECT_EQ(Bytes(one), Bytes(all));
        const Bytes_ after = Bytes(one);
        const size_t stride = size_t(one.BytesPerScanLine());
        for (size_t row = 0; row < size_t(one.Height()); ++row)
            for (size_t i = 3 * 1001; i < stride; ++i)
                ASSERT_EQ(after[row * stride + i], before[row * stride + i]);
    }
}

// ---- the shared photos' own profiles ------------------------------------------------------------

std::optional<std::pair<cImage, Bytes_>> DecodedWithProfile(const char* name) {
    const auto path = SharedDir() / "corpora-formats" / "good" / name;
    if (SharedDir().empty() || !std::filesystem::exists(path)) return std::nullopt;
    cImage picture;
    pictorra::image::PictureInfo info;
    if (!pictorra::image::DecodeJpeg(ReadFileBytes(path), picture, &info)) return std::nullopt;
    return std::pair{std::move(picture), std::move(info.icc)};
}

TEST(Colour, PhotoTaggedSrgbLoadsAsDecoded) {
    auto decoded = DecodedWithProfile("meta-libavif-paris_exif_xmp_icc.jpg");
    if (!decoded) GTEST_SKIP() << "shared corpus not found";
    ASSERT_FALSE(decoded->second.empty());
    const Bytes_ before = Bytes(decoded->first);
    EXPECT_TRUE(ConvertToSrgb(decoded->first, decoded->second));
    EXPECT_EQ(Bytes(decoded->first), before);
}

TEST(Colour, PhotoTaggedAdobeRgbMatchesTheMatrix) {
    auto decoded = DecodedWithProfile("meta-exiv2-Reagan.jpg");
    if (!decoded) GTEST_SKIP() << "shared corpus not found";
    const cImage source = decoded->first;
    ASSERT_TRUE(ConvertToSrgb(decoded->first, decoded->second));
    int changed = 0;
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x) {
            const Rgb got = PixelAt(decoded->first, x, y);
            const std::array<double, 3> want = AdobeToSrgb(PixelAt(source, x, y));
            changed += !(got == PixelAt(source, x, y));
            ASSERT_LE(std::abs(got.r - want[0]), 1.0) << x << "," << y;
            ASSERT_LE(std::abs(got.g - want[1]), 1.0) << x << "," << y;
            ASSERT_LE(std::abs(got.b - want[2]), 1.0) << x << "," << y;
        }
    EXPECT_GT(changed, source.Width() * source.Height() / 2);
}

}  // namespace
