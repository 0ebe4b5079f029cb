// The HEIF reader against pictures made here with libheif's own encoder: bit depths, grey,
// alpha over white, the container's turns and mirrors, the EXIF block and the colour profile
// handed over, and damaged or oversized files failing cleanly. HEVC is lossy, so pixels are
// compared by their mean difference, as for the corpus.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <libheif/heif.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/codecs.h"
#include "image/exif.h"
#include "image/heif_reader.h"
#include "test_support.h"

using namespace pictorra::image;
using namespace pictorra::test;

namespace {

using Sample = std::array<uint16_t, 4>;  // r, g, b, a at the picture's depth
using SampleFn = std::function<Sample(int, int)>;

struct Picture {
    int width = 0, height = 0;
    int depth = 8;
    bool alpha = false;
    bool grey = false;
    SampleFn fn;
};

struct Extras {
    Orientation orientation = Orientation::kNormal;
    std::vector<uint8_t> exif = {};  // TIFF-layout block
    std::vector<uint8_t> icc = {};
    int nclx_primaries = 0;  // 0: no nclx
    int nclx_transfer = 0;
};

struct Deleters {
    void operator()(heif_context* p) const { heif_context_free(p); }
    void operator()(heif_image* p) const { heif_image_release(p); }
    void operator()(heif_encoder* p) const { heif_encoder_release(p); }
    void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
    void operator()(heif_encoding_options* p) const { heif_encoding_options_free(p); }
    void operator()(heif_color_profile_nclx* p) const { heif_nclx_color_profile_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Deleters>;

heif_error AppendBytes(heif_context*, const void* data, size_t size, void* user) {
    auto* out = static_cast<std::vector<uint8_t>*>(user);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
    return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// Encodes the picture as near-lossless HEVC (4:4:4, high quality).
std::vector<uint8_t> Encode(const Picture& pic, const Extras& extras = {}) {
    Owned<heif_context> context(heif_context_alloc());
    heif_image* raw_image = nullptr;
    const bool wide = pic.depth > 8;
    const heif_colorspace space = pic.grey ? heif_colorspace_monochrome : heif_colorspace_RGB;
    const heif_chroma chroma =
        pic.grey ? heif_chroma_monochrome
        : wide
            ? (pic.alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
            : (pic.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    EXPECT_EQ(heif_image_create(pic.width, pic.height, space, chroma, &raw_image).code,
              heif_error_Ok);
    Owned<heif_image> image(raw_image);
    const auto add_plane = [&](heif_channel channel, int channels, int index0) {
        EXPECT_EQ(heif_image_add_plane(image.get(), channel, pic.width, pic.height, pic.depth).code,
                  heif_error_Ok);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image.get(), channel, &stride);
        for (int y = 0; y < pic.height; ++y)
            for (int x = 0; x < pic.width; ++x) {
                const Sample s = pic.fn(x, y);
                for (int c = 0; c < channels; ++c) {
                    const uint16_t v = s[size_t(index0 + c)];
                    uint8_t* p = plane + y * stride + (x * channels + c) * (wide ? 2 : 1);
                    if (wide) {
                        p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
                    } else {
                        p[0] = uint8_t(v);
                    }
                }
            }
    };
    if (pic.grey) {
        add_plane(heif_channel_Y, 1, 0);
        if (pic.alpha) add_plane(heif_channel_Alpha, 1, 3);
    } else {
        add_plane(heif_channel_interleaved, pic.alpha ? 4 : 3, 0);
    }
    if (!extras.icc.empty())
        heif_image_set_raw_color_profile(image.get(), "prof", extras.icc.data(), extras.icc.size());
    Owned<heif_color_profile_nclx> nclx;
    if (extras.nclx_primaries != 0) {
        nclx.reset(heif_nclx_color_profile_alloc());
        heif_nclx_color_profile_set_color_primaries(nclx.get(), uint16_t(extras.nclx_primaries));
        heif_nclx_color_profile_set_transfer_characteristics(nclx.get(),
                                                             uint16_t(extras.nclx_transfer));
        heif_nclx_color_profile_set_matrix_coefficients(nclx.get(), 6);
        nclx->full_range_flag = 1;
        // The image's own description is what goes into the file; the option steers the
        // conversion to YCbCr.
        heif_image_set_nclx_color_profile(image.get(), nclx.get());
    }

    heif_encoder* raw_encoder = nullptr;
    EXPECT_EQ(
        heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &raw_encoder)
            .code,
        heif_error_Ok);
    Owned<heif_encoder> encoder(raw_encoder);
    heif_encoder_set_lossy_quality(encoder.get(), 95);
    heif_encoder_set_parameter_string(encoder.get(), "chroma", "444");
    Owned<heif_encoding_options> options(heif_encoding_options_alloc());
    options->image_orientation = heif_orientation(extras.orientation);
    options->output_nclx_profile = nclx.get();
    // libheif leaves the nclx box out by default, for another platform's old decoders.
    options->macOS_compatibility_workaround_no_nclx_profile = 0;
    heif_image_handle* raw_handle = nullptr;
    EXPECT_EQ(heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(),
                                        &raw_handle)
                  .code,
              heif_error_Ok);
    Owned<heif_image_handle> handle(raw_handle);
    if (!extras.exif.empty()) {
        // libheif puts the four-byte offset before the block itself.
        heif_context_add_exif_metadata(context.get(), handle.get(), extras.exif.data(),
                                       int(extras.exif.size()));
    }
    std::vector<uint8_t> bytes;
    heif_writer writer{1, AppendBytes};
    EXPECT_EQ(heif_context_write(context.get(), &writer, &bytes).code, heif_error_Ok);
    return bytes;
}

// What the reader should give for a sample: rounded to 8 bits, alpha composed over white.
Rgb Expected(const Picture& pic, const Sample& s) {
    const uint32_t top = (1u << pic.depth) - 1;
    const auto to8 = [&](uint16_t v) { return (uint32_t(v) * 255 + top / 2) / top; };
    const uint32_t a = pic.alpha ? to8(s[3]) : 255;
    const auto over_white = [&](uint16_t v) {
        return uint8_t((to8(v) * a + 255 * (255 - a) + 127) / 255);
    };
    if (pic.grey) return {over_white(s[0]), over_white(s[0]), over_white(s[0])};
    return {over_white(s[0]), over_white(s[1]), over_white(s[2])};
}

double MeanDifference(const cImage& img, const Picture& pic) {
    double sum = 0;
    for (int y = 0; y < pic.height; ++y)
        for (int x = 0; x < pic.width; ++x) {
            const Rgb a = PixelAt(img, x, y), b = Expected(pic, pic.fn(x, y));
            sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
    return sum / (3.0 * pic.width * pic.height);
}

// Smooth ramps (lossy coding keeps them well) over the whole range of the depth.
SampleFn Ramps(int w, int h, int depth) {
    const int top = (1 << depth) - 1;
    return [=](int x, int y) {
        return Sample{uint16_t(top * x / (w - 1)), uint16_t(top * y / (h - 1)),
                      uint16_t(top * (x + y) / (w + h - 2)), uint16_t(top - top * x / (w - 1))};
    };
}

TEST(HeifLibrary, DecodesAndEncodesHevc) {
    EXPECT_TRUE(heif_have_decoder_for_format(heif_compression_HEVC));
    EXPECT_TRUE(heif_have_encoder_for_format(heif_compression_HEVC));
}

struct PictureCase {
    const char* name;
    int width, height, depth;
    bool alpha, grey;
};

class HeifPictures : public testing::TestWithParam<PictureCase> {};

TEST_P(HeifPictures, DecodeToRoundedSamplesOverWhite) {
    const PictureCase& c = GetParam();
    const Picture pic{c.width, c.height, c.depth,
                      c.alpha, c.grey,   Ramps(c.width, c.height, c.depth)};
    const std::vector<uint8_t> bytes = Encode(pic);
    cImage img;
    PictureInfo info;
    ASSERT_TRUE(DecodeHeif(bytes, img, &info));
    ASSERT_EQ(std::pair(img.Width(), img.Height()), std::pair(c.width, c.height));
    EXPECT_LE(MeanDifference(img, pic), 1.5);
    EXPECT_TRUE(info.exif.empty());
    // The whole load gives the same picture.
    cImage loaded;
    ASSERT_EQ(loaded.LoadPictureData(bytes, "heic"), kDibOk);
    EXPECT_EQ(Bytes(loaded), Bytes(img));
}

INSTANTIATE_TEST_SUITE_P(Heif, HeifPictures,
                         testing::Values(PictureCase{"rgb8", 64, 48, 8, false, false},
                                         PictureCase{"rgb8_odd_size", 37, 19, 8, false, false},
                                         PictureCase{"rgba8", 64, 48, 8, true, false},
                                         PictureCase{"rgb10", 64, 48, 10, false, false},
                                         PictureCase{"rgba10", 40, 30, 10, true, false},
                                         PictureCase{"rgb12", 64, 48, 12, false, false},
                                         PictureCase{"rgba12", 40, 30, 12, true, false},
                                         PictureCase{"grey8", 64, 48, 8, false, true},
                                         PictureCase{"grey10", 64, 48, 10, false, true},
                                         PictureCase{"grey_alpha8", 48, 32, 8, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Four flat quadrants, so that every turn and mirror lands a different colour in a corner.
TEST(HeifOrientation, ContainerTurnsMatchTheExifMeaning) {
    const Rgb colours[4] = {{250, 20, 20}, {20, 250, 20}, {20, 20, 250}, {250, 250, 20}};
    const int w = 64, h = 32;
    const auto quadrant = [&](int x, int y) { return colours[(y >= h / 2) * 2 + (x >= w / 2)]; };
    const Picture pic{w, h, 8, false, false, [&](int x, int y) {
                          const Rgb c = quadrant(x, y);
                          return Sample{c.r, c.g, c.b, 255};
                      }};
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        const auto orientation = Orientation(o);
        cImage img;
        ASSERT_TRUE(DecodeHeif(Encode(pic, {orientation}), img));
        cImage expected = MakeImage(w, h, quadrant);
        ApplyOrientation(expected, orientation);
        ASSERT_EQ(std::pair(img.Width(), img.Height()),
                  std::pair(expected.Width(), expected.Height()));
        for (const auto& [x, y] :
             {std::pair{2, 2}, std::pair{img.Width() - 3, 2}, std::pair{2, img.Height() - 3},
              std::pair{img.Width() - 3, img.Height() - 3}}) {
            const Rgb a = PixelAt(img, x, y), b = PixelAt(expected, x, y);
            EXPECT_LE(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b), 12)
                << x << "," << y;
        }
    }
}

// A little-endian TIFF block holding one IFD entry, Orientation 6.
std::vector<uint8_t> TiffWithOrientation6() {
    return {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
            0,   1,   0,  0, 0, 6, 0, 0, 0, 0, 0,    0,    0};
}

TEST(HeifInfo, ExifBlockIsHandedOverButNotApplied) {
    const Picture pic{40, 20, 8, false, false, Ramps(40, 20, 8)};
    cImage img;
    PictureInfo info;
    ASSERT_TRUE(DecodeHeif(Encode(pic, {.exif = TiffWithOrientation6()}), img, &info));
    EXPECT_EQ(info.exif, TiffWithOrientation6());
    EXPECT_EQ(TiffOrientation(info.exif), Orientation(6));
    // The container says nothing about turns, so the picture stays as stored.
    EXPECT_EQ(std::pair(img.Width(), img.Height()), std::pair(40, 20));
}

// A camera's EXIF item, as a real writer lays it out, reaches the caller as a TIFF block.
TEST(HeifInfo, CameraExifItemGivesTheTiffBlock) {
    const auto file = SharedDir() / "corpora-formats/good/meta-pillowheif-L_exif_xmp_iptc.heic";
    if (SharedDir().empty() || !std::filesystem::exists(file)) GTEST_SKIP() << "no corpus";
    cImage img;
    PictureInfo info;
    ASSERT_TRUE(DecodeHeif(ReadFileBytes(file), img, &info));
    ASSERT_GE(info.exif.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(info.exif.begin(), info.exif.begin() + 4),
              (std::vector<uint8_t>{'I', 'I', 42, 0}));
    EXPECT_TRUE(info.icc.empty());
}

// The red, green and blue colorants (D50-adapted XYZ) of a profile.
std::array<cmsCIEXYZ, 3> Colorants(const std::vector<uint8_t>& icc) {
    std::array<cmsCIEXYZ, 3> xyz{};
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
    if (!profile) return xyz;
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    for (int i = 0; i < 3; ++i)
        if (const auto* tag = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[i])))
            xyz[size_t(i)] = *tag;
    cmsCloseProfile(profile);
    return xyz;
}

// The red curve of a profile at mid-grey; -1 without a curve.
double CurveAtHalf(const std::vector<uint8_t>& icc) {
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
    if (!profile) return -1;
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigRedTRCTag));
    const double v = curve ? cmsEvalToneCurveFloat(curve, 0.5f) : -1;
    cmsCloseProfile(profile);
    return v;
}

struct Chromaticities {
    float rx, ry, gx, gy, bx, by, wx, wy;
};
constexpr Chromaticities kBt709{0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, 0.3127f, 0.3290f};
constexpr Chromaticities kP3{0.680f, 0.320f, 0.265f, 0.690f, 0.150f, 0.060f, 0.3127f, 0.3290f};
constexpr Chromaticities kBt2020{0.708f, 0.292f, 0.170f, 0.797f, 0.131f, 0.046f, 0.3127f, 0.3290f};
constexpr Chromaticities kNone{0, 0, 0, 0, 0, 0, 0, 0};

struct NclxCase {
    const char* name;
    int primaries, transfer;
    Chromaticities xy;
    bool profile;  // whether a profile is expected
    // Expected D50 colorants (red, green, blue XYZ) and the curve at 0.5, when there is one.
    std::array<std::array<double, 3>, 3> colorants;
    double half;
};

constexpr std::array<std::array<double, 3>, 3> kSrgbD50{
    {{0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}}};
constexpr std::array<std::array<double, 3>, 3> kP3D50{
    {{0.5151, 0.2412, -0.0011}, {0.2919, 0.6922, 0.0419}, {0.1571, 0.0666, 0.7841}}};
constexpr std::array<std::array<double, 3>, 3> kBt2020D50{
    {{0.6734, 0.2790, -0.0019}, {0.1656, 0.6753, 0.0299}, {0.1251, 0.0456, 0.7973}}};

class NclxProfile : public testing::TestWithParam<NclxCase> {};

TEST_P(NclxProfile, MatchesPrimariesAndTransfer) {
    const NclxCase& c = GetParam();
    heif_color_profile_nclx nclx{};
    nclx.color_primaries = heif_color_primaries(c.primaries);
    nclx.transfer_characteristics = heif_transfer_characteristics(c.transfer);
    nclx.color_primary_red_x = c.xy.rx, nclx.color_primary_red_y = c.xy.ry;
    nclx.color_primary_green_x = c.xy.gx, nclx.color_primary_green_y = c.xy.gy;
    nclx.color_primary_blue_x = c.xy.bx, nclx.color_primary_blue_y = c.xy.by;
    nclx.color_primary_white_x = c.xy.wx, nclx.color_primary_white_y = c.xy.wy;
    const std::vector<uint8_t> icc = ProfileFromNclx(nclx);
    ASSERT_EQ(!icc.empty(), c.profile);
    if (!c.profile) return;
    const auto xyz = Colorants(icc);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(xyz[i].X, c.colorants[i][0], 0.002) << i;
        EXPECT_NEAR(xyz[i].Y, c.colorants[i][1], 0.002) << i;
        EXPECT_NEAR(xyz[i].Z, c.colorants[i][2], 0.002) << i;
    }
    EXPECT_NEAR(CurveAtHalf(icc), c.half, 0.002);
}

INSTANTIATE_TEST_SUITE_P(
    Heif, NclxProfile,
    testing::Values(NclxCase{"srgb", 1, 13, kBt709, false, {}, 0},
                    NclxCase{"unspecified", 2, 2, kBt709, false, {}, 0},
                    NclxCase{"bt709_primaries_unspecified_transfer", 1, 2, kBt709, false, {}, 0},
                    NclxCase{"display_p3", 12, 13, kP3, true, kP3D50, 0.2140},
                    NclxCase{"bt709_curve", 1, 1, kBt709, true, kSrgbD50, 0.2596},
                    NclxCase{"bt601_curve", 1, 6, kBt709, true, kSrgbD50, 0.2596},
                    NclxCase{"bt2020_10bit", 9, 14, kBt2020, true, kBt2020D50, 0.2596},
                    NclxCase{"linear", 1, 8, kBt709, true, kSrgbD50, 0.5},
                    NclxCase{"gamma22", 12, 4, kP3, true, kP3D50, 0.2176},
                    NclxCase{"pq", 9, 16, kBt2020, false, {}, 0},
                    NclxCase{"hlg", 9, 18, kBt2020, false, {}, 0},
                    NclxCase{"p3_without_chromaticities", 12, 13, kNone, false, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The profile of the file reaches the caller: nclx through the profile made from it, nothing
// for sRGB nor for values libheif refuses.
struct FileNclxCase {
    const char* name;
    uint16_t primaries, transfer;  // written over the nclx box of a Display P3 file
    bool profile;
};

class HeifFileNclx : public testing::TestWithParam<FileNclxCase> {};

TEST_P(HeifFileNclx, GivesProfileOrNone) {
    const FileNclxCase& c = GetParam();
    const Picture pic{32, 16, 8, false, false, Ramps(32, 16, 8)};
    std::vector<uint8_t> bytes = Encode(pic, {.nclx_primaries = 12, .nclx_transfer = 13});
    const std::string text(bytes.begin(), bytes.end());
    const size_t nclx = text.find("nclx");
    ASSERT_NE(nclx, std::string::npos);
    bytes[nclx + 4] = uint8_t(c.primaries >> 8), bytes[nclx + 5] = uint8_t(c.primaries);
    bytes[nclx + 6] = uint8_t(c.transfer >> 8), bytes[nclx + 7] = uint8_t(c.transfer);
    cImage img;
    PictureInfo info;
    ASSERT_TRUE(DecodeHeif(bytes, img, &info));
    ASSERT_EQ(!info.icc.empty(), c.profile);
    if (c.profile) {
        EXPECT_NEAR(Colorants(info.icc)[0].X, kP3D50[0][0], 0.002);
    }
}

INSTANTIATE_TEST_SUITE_P(Heif, HeifFileNclx,
                         testing::Values(FileNclxCase{"display_p3", 12, 13, true},
                                         FileNclxCase{"srgb", 1, 13, false},
                                         FileNclxCase{"p3_pq", 12, 16, false},
                                         // libheif refuses these values (and still hands
                                         // out a description, which must be freed)
                                         FileNclxCase{"unknown_transfer", 1, 0x0e00, false},
                                         FileNclxCase{"unknown_primaries", 0x00ff, 13, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ExifItemCase {
    const char* name;
    std::vector<uint8_t> item;
    std::vector<uint8_t> block;
};

class HeifExifItem : public testing::TestWithParam<ExifItemCase> {};

TEST_P(HeifExifItem, GivesTheTiffBlock) {
    EXPECT_EQ(TiffBlockFromExifItem(GetParam().item), GetParam().block);
}

INSTANTIATE_TEST_SUITE_P(
    Heif, HeifExifItem,
    testing::Values(
        ExifItemCase{"offset_0", {0, 0, 0, 0, 'M', 'M', 0, 42, 1}, {'M', 'M', 0, 42, 1}},
        ExifItemCase{"offset_over_prefix",
                     {0, 0, 0, 6, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 7},
                     {'I', 'I', 42, 0, 7}},
        ExifItemCase{"prefix_with_offset_0",
                     {0, 0, 0, 0, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 7},
                     {'I', 'I', 42, 0, 7}},
        ExifItemCase{"offset_past_end", {0, 0, 0, 9, 'I', 'I', 42, 0}, {}},
        ExifItemCase{"offset_huge", {0xff, 0xff, 0xff, 0xfc, 'I', 'I', 42, 0}, {}},
        ExifItemCase{"too_short", {0, 0, 0}, {}},
        ExifItemCase{"no_tiff_header", {0, 0, 0, 0, 'I', 'I', 43, 0}, {}},
        ExifItemCase{"offset_at_end", {0, 0, 0, 4, 'I', 'I', 42, 0}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Writes a big-endian 32-bit value.
void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

// Sets every 'ispe' box of the file to the given size.
std::vector<uint8_t> WithIspe(std::vector<uint8_t> bytes, uint32_t w, uint32_t h) {
    for (size_t i = 0; i + 16 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], "ispe", 4) == 0) {
            Put32(bytes, i + 8, w);
            Put32(bytes, i + 12, h);
        }
    return bytes;
}

struct HostileCase {
    const char* name;
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> make;
};

class HeifHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(HeifHostile, FailsCleanly) {
    const Picture pic{64, 48, 8, true, false, Ramps(64, 48, 8)};
    const std::vector<uint8_t> bytes = GetParam().make(Encode(pic));
    cImage img;
    PictureInfo info;
    EXPECT_FALSE(DecodeHeif(bytes, img, &info));
    EXPECT_FALSE(img.PicValid());
    EXPECT_TRUE(info.icc.empty() && info.exif.empty());
    EXPECT_EQ(img.LoadPictureData(bytes, "heic"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Heif, HeifHostile,
    testing::Values(
        HostileCase{"empty", [](const auto&) { return std::vector<uint8_t>{}; }},
        HostileCase{"garbage",
                    [](const auto&) {
                        std::vector<uint8_t> v(4096);
                        for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(i * 7919 >> 3);
                        return v;
                    }},
        HostileCase{"file_type_box_only",
                    [](const auto& b) {
                        const size_t size = size_t(b[3]) | size_t(b[2]) << 8;
                        return std::vector<uint8_t>(b.begin(), b.begin() + long(size));
                    }},
        HostileCase{"cut_in_half",
                    [](const auto& b) {
                        return std::vector<uint8_t>(b.begin(), b.begin() + long(b.size() / 2));
                    }},
        HostileCase{"last_byte_missing",
                    [](const auto& b) { return std::vector<uint8_t>(b.begin(), b.end() - 1); }},
        HostileCase{"side_above_cap", [](const auto& b) { return WithIspe(b, 65536, 65536); }},
        HostileCase{"declared_100000_square",
                    [](const auto& b) { return WithIspe(b, 100000, 100000); }},
        HostileCase{"pixels_above_cap", [](const auto& b) { return WithIspe(b, 60000, 60000); }},
        // Within the pixel cap, but RGBA at that size needs more decoder memory than allowed.
        HostileCase{"decoder_memory_above_cap",
                    [](const auto& b) { return WithIspe(b, 12000, 10000); }},
        HostileCase{"zero_size", [](const auto& b) { return WithIspe(b, 0, 0); }}),
    [](const auto& info) { return std::string(info.param.name); });

using Bytes8 = std::vector<uint8_t>;

Bytes8 Cat(std::initializer_list<Bytes8> parts) {
    Bytes8 out;
    for (const Bytes8& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes8 MakeBox(const char* type, const Bytes8& body) {
    const auto size = uint32_t(body.size() + 8);
    return Cat({{uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size),
                 uint8_t(type[0]), uint8_t(type[1]), uint8_t(type[2]), uint8_t(type[3])},
                body});
}

// An item information box with one item of the given type, id 1.
Bytes8 Iinf(const char* type, int infe_version = 2) {
    const Bytes8 id = infe_version == 2 ? Bytes8{0, 1} : Bytes8{0, 0, 0, 1};
    const Bytes8 infe = MakeBox(
        "infe", Cat({{uint8_t(infe_version), 0, 0, 0},
                     id,
                     {0, 0},
                     {uint8_t(type[0]), uint8_t(type[1]), uint8_t(type[2]), uint8_t(type[3]), 0}}));
    return MakeBox("iinf", Cat({{0, 0, 0, 0, 0, 1}, infe}));
}

// An item location box (version 1, 32-bit offsets and lengths) for item 1.
Bytes8 Iloc(int method, std::initializer_list<std::pair<uint32_t, uint32_t>> extents) {
    Bytes8 body{
        1, 0, 0, 0, 0x44, 0x00, 0, 1, 0, 1, 0, uint8_t(method), 0, 0, 0, uint8_t(extents.size())};
    for (const auto& [offset, length] : extents)
        body = Cat({body,
                    {uint8_t(offset >> 24), uint8_t(offset >> 16), uint8_t(offset >> 8),
                     uint8_t(offset), uint8_t(length >> 24), uint8_t(length >> 16),
                     uint8_t(length >> 8), uint8_t(length)}});
    return MakeBox("iloc", body);
}

Bytes8 HeifFile(const Bytes8& meta_children, const Bytes8& before_meta = {}) {
    return Cat({MakeBox("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0}), before_meta,
                MakeBox("meta", Cat({{0, 0, 0, 0}, meta_children}))});
}

const Bytes8 kGrid29x100{0, 0, 0, 0, 0, 29, 0, 100};

struct CanvasCase {
    const char* name;
    Bytes8 file;
    std::optional<std::vector<CanvasSize>> sizes;
};

class HeifCanvas : public testing::TestWithParam<CanvasCase> {};

TEST_P(HeifCanvas, DeclaredSizesAreRead) {
    EXPECT_EQ(DerivedCanvasSizes(GetParam().file), GetParam().sizes);
}

using Sizes = std::vector<CanvasSize>;
INSTANTIATE_TEST_SUITE_P(
    Heif, HeifCanvas,
    testing::Values(
        CanvasCase{"grid_in_item_data",
                   HeifFile(Cat({Iinf("grid"), Iloc(1, {{0, 8}}), MakeBox("idat", kGrid29x100)})),
                   Sizes{{29, 100}}},
        CanvasCase{"grid_32bit_sizes",
                   HeifFile(Cat({Iinf("grid"), Iloc(1, {{0, 12}}),
                                 MakeBox("idat", {0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0x80, 0})})),
                   Sizes{{65536, 32768}}},
        CanvasCase{
            "grid_over_two_extents",
            HeifFile(Cat({Iinf("grid"), Iloc(1, {{0, 4}, {4, 0}}), MakeBox("idat", kGrid29x100)})),
            Sizes{{29, 100}}},
        CanvasCase{"grid_in_file",
                   // the grid data sits after the ftyp box (16 bytes) and the mdat header
                   HeifFile(Cat({Iinf("grid"), Iloc(0, {{24, 8}})}), MakeBox("mdat", kGrid29x100)),
                   Sizes{{29, 100}}},
        CanvasCase{"overlay",
                   HeifFile(Cat({Iinf("iovl"), Iloc(1, {{0, 14}}),
                                 MakeBox("idat", {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 1, 0, 0, 64})})),
                   Sizes{{256, 64}}},
        CanvasCase{"coded_item_only",
                   HeifFile(Cat({Iinf("hvc1"), Iloc(1, {{0, 8}}), MakeBox("idat", kGrid29x100)})),
                   Sizes{}},
        CanvasCase{"extent_past_item_data",
                   HeifFile(Cat({Iinf("grid"), Iloc(1, {{4, 8}}), MakeBox("idat", kGrid29x100)})),
                   std::nullopt},
        CanvasCase{"data_in_another_item",
                   HeifFile(Cat({Iinf("grid"), Iloc(2, {{0, 8}}), MakeBox("idat", kGrid29x100)})),
                   std::nullopt},
        CanvasCase{
            "damaged_location_sizes",
            HeifFile(Cat({Iinf("grid"), MakeBox("iloc", {1, 0, 0, 0, 0x33, 0x00, 0, 1, 0, 1, 0, 1}),
                          MakeBox("idat", kGrid29x100)})),
            std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// A grid (from the corpus) whose declared output size is patched: refused before anything
// that size is allocated, whatever the size its header (ispe) gives.
TEST(HeifHostile, GridDeclaringAHugePicture) {
    const auto file = SharedDir() / "corpora-formats/good/pillowheif-RGB_10__29x100.heif";
    if (SharedDir().empty() || !std::filesystem::exists(file)) GTEST_SKIP() << "no corpus";
    const std::vector<uint8_t> original = ReadFileBytes(file);
    const std::string text(original.begin(), original.end());
    const size_t idat = text.find("idat");
    ASSERT_NE(idat, std::string::npos);
    // version, flags (16-bit sizes), rows - 1, columns - 1, output width, output height
    ASSERT_EQ(original[idat + 5], 0);
    for (const auto& [w, h] : {std::pair{65535, 65535}, std::pair{30000, 30000},
                               std::pair{12000, 10000}, std::pair{0, 100}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        std::vector<uint8_t> bytes = original;
        bytes[idat + 8] = uint8_t(w >> 8), bytes[idat + 9] = uint8_t(w);
        bytes[idat + 10] = uint8_t(h >> 8), bytes[idat + 11] = uint8_t(h);
        cImage img;
        EXPECT_EQ(img.LoadPictureData(bytes, "heic"), 1);
        EXPECT_FALSE(img.PicValid());
    }
}

}  // namespace
