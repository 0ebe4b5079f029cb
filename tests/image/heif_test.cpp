// The HEIF reader on pictures made with libheif's own encoder, and on damaged or oversized
// files. HEVC is lossy, so pixels are compared by their mean difference.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <libheif/heif.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "exif_support.h"
#include "image/codecs.h"
#include "image/exif.h"
#include "image/heif_reader.h"
#include "test_support.h"

using namespace pictorra::image;
using namespace pictorra::test;

namespace {

using Bytes8 = std::vector<uint8_t>;
using Sample = std::array<uint16_t, 4>;  // r, g, b, a at the picture's depth

struct Picture {
    const char* name;
    int width, height, depth;
    bool alpha, grey;
    int orientation = 1;  // of the container, which the reader applies
    bool exif = false;    // an EXIF block turning by 90 degrees, handed over but not applied
};

struct Extras {
    Bytes8 exif = {};
    int nclx_primaries = 0, nclx_transfer = 0;  // 0: no nclx
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

// Smooth ramps (lossy coding keeps them well) over the whole range of the depth; red along x and
// green along y tell every turn and mirror apart.
Sample At(const Picture& p, int x, int y) {
    const int top = (1 << p.depth) - 1, w = p.width, h = p.height;
    return {uint16_t(top * x / (w - 1)), uint16_t(top * y / (h - 1)),
            uint16_t(top * (x + y) / (w + h - 2)), uint16_t(top - top * x / (w - 1))};
}

// Near-lossless HEVC (4:4:4, high quality).
Bytes8 Encode(const Picture& pic, const Extras& extras = {}) {
    Owned<heif_context> context(heif_context_alloc());
    heif_image* raw_image = nullptr;
    heif_image_create(pic.width, pic.height,
                      pic.grey ? heif_colorspace_monochrome : heif_colorspace_RGB,
                      pic.grey ? heif_chroma_monochrome : heif_chroma_444, &raw_image);
    Owned<heif_image> image(raw_image);
    const auto add_plane = [&](heif_channel channel, size_t index) {
        heif_image_add_plane(image.get(), channel, pic.width, pic.height, pic.depth);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image.get(), channel, &stride);
        for (int y = 0; y < pic.height; ++y)
            for (int x = 0; x < pic.width; ++x) {
                const uint16_t v = At(pic, x, y)[index];
                if (pic.depth > 8)
                    std::memcpy(plane + y * stride + 2 * x, &v, 2);
                else
                    plane[y * stride + x] = uint8_t(v);
            }
    };
    if (pic.grey) add_plane(heif_channel_Y, 0);
    for (size_t c = 0; c < 3 && !pic.grey; ++c) add_plane(heif_channel(heif_channel_R + c), c);
    if (pic.alpha) add_plane(heif_channel_Alpha, 3);
    Owned<heif_color_profile_nclx> nclx;
    if (extras.nclx_primaries != 0) {
        nclx.reset(heif_nclx_color_profile_alloc());
        nclx->color_primaries = heif_color_primaries(extras.nclx_primaries);
        nclx->transfer_characteristics = heif_transfer_characteristics(extras.nclx_transfer);
        nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
        nclx->full_range_flag = 1;
        heif_image_set_nclx_color_profile(image.get(), nclx.get());
    }
    heif_encoder* raw_encoder = nullptr;
    heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &raw_encoder);
    Owned<heif_encoder> encoder(raw_encoder);
    heif_encoder_set_lossy_quality(encoder.get(), 95);
    heif_encoder_set_parameter_string(encoder.get(), "chroma", "444");
    Owned<heif_encoding_options> options(heif_encoding_options_alloc());
    options->image_orientation = heif_orientation(pic.orientation);
    options->output_nclx_profile = nclx.get();
    options->macOS_compatibility_workaround_no_nclx_profile = 0;  // else no nclx box is written
    heif_image_handle* raw_handle = nullptr;
    EXPECT_EQ(heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(),
                                        &raw_handle)
                  .code,
              heif_error_Ok);
    Owned<heif_image_handle> handle(raw_handle);
    if (!extras.exif.empty())
        heif_context_add_exif_metadata(context.get(), handle.get(), extras.exif.data(),
                                       int(extras.exif.size()));
    Bytes8 bytes;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           const auto* b = static_cast<const uint8_t*>(data);
                           static_cast<Bytes8*>(out)->insert(static_cast<Bytes8*>(out)->end(), b,
                                                             b + size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
                       }};
    heif_context_write(context.get(), &writer, &bytes);
    return bytes;
}

// What the reader should give: rounded to 8 bits, alpha composed over white.
Rgb Expected(const Picture& pic, int x, int y) {
    const Sample s = At(pic, x, y);
    const uint32_t top = (1u << pic.depth) - 1;
    const auto to8 = [&](uint16_t v) { return (uint32_t(v) * 255 + top / 2) / top; };
    const uint32_t a = pic.alpha ? to8(s[3]) : 255;
    const size_t g = pic.grey ? 0 : 1, b = pic.grey ? 0 : 2;
    return {OverWhite(to8(s[0]), a), OverWhite(to8(s[g]), a), OverWhite(to8(s[b]), a)};
}

class HeifPictures : public testing::TestWithParam<Picture> {};

TEST_P(HeifPictures, DecodeToRoundedSamplesOverWhiteTurned) {
    const Picture& pic = GetParam();
    const Bytes8 exif = pic.exif ? OrientationExif(6) : Bytes8{};
    const Bytes8 bytes = Encode(pic, {.exif = exif});
    cImage img, loaded;
    cImage expected =
        MakeImage(pic.width, pic.height, [&](int x, int y) { return Expected(pic, x, y); });
    ApplyOrientation(expected, Orientation(pic.orientation));
    PictureInfo info;
    ASSERT_TRUE(DecodeHeif(bytes, img, &info));
    ASSERT_EQ(std::pair(img.Width(), img.Height()), std::pair(expected.Width(), expected.Height()));
    double sum = 0;
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const Rgb a = PixelAt(img, x, y), b = PixelAt(expected, x, y);
            sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
    EXPECT_LE(sum / (3.0 * pic.width * pic.height), 1.5);
    EXPECT_EQ(info.exif, exif);
    ASSERT_EQ(loaded.LoadPictureData(bytes, "heic"), kDibOk);
    EXPECT_EQ(Bytes(loaded), Bytes(img));
}

INSTANTIATE_TEST_SUITE_P(Heif, HeifPictures,
                         testing::Values(Picture{"rgb8_odd_size", 37, 19, 8, false, false},
                                         Picture{"rgba8", 64, 48, 8, true, false},
                                         Picture{"rgb10", 64, 48, 10, false, false},
                                         Picture{"rgba12", 40, 30, 12, true, false},
                                         Picture{"grey8", 64, 48, 8, false, true},
                                         Picture{"grey10", 64, 48, 10, false, true},
                                         Picture{"grey_alpha8", 48, 32, 8, true, true},
                                         Picture{"mirrored", 37, 19, 8, false, false, 2},
                                         Picture{"turned180", 37, 19, 8, false, false, 3},
                                         Picture{"flipped", 37, 19, 8, false, false, 4},
                                         Picture{"transposed", 37, 19, 8, false, false, 5},
                                         Picture{"turned90", 37, 19, 8, false, false, 6},
                                         Picture{"transversed", 37, 19, 8, false, false, 7},
                                         Picture{"turned270", 37, 19, 8, false, false, 8},
                                         Picture{"exif_turn_not_applied", 37, 19, 8, false, false,
                                                 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A camera's EXIF item, as a real writer lays it out, reaches the caller as a TIFF block.
TEST(HeifInfo, CameraExifItemGivesTheTiffBlock) {
    const Bytes8 file = GoodCorpusFile("meta-pillowheif-L_exif_xmp_iptc.heic");
    if (file.empty()) GTEST_SKIP() << "no corpus";
    cImage img;
    PictureInfo info;
    ASSERT_TRUE(DecodeHeif(file, img, &info));
    ASSERT_GE(info.exif.size(), 8u);
    EXPECT_EQ(Bytes8(info.exif.begin(), info.exif.begin() + 4), (Bytes8{'I', 'I', 42, 0}));
    EXPECT_TRUE(info.icc.empty());
}

// The red, green and blue colorants (D50 XYZ) of a profile, and its red curve at mid-grey.
struct ProfileFacts {
    std::array<cmsCIEXYZ, 3> xyz{};
    double half = -1;
};
ProfileFacts Facts(const Bytes8& icc) {
    ProfileFacts f;
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
    if (!profile) return f;
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    for (size_t i = 0; i < 3; ++i)
        if (const auto* tag = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[i])))
            f.xyz[i] = *tag;
    if (const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigRedTRCTag)))
        f.half = cmsEvalToneCurveFloat(curve, 0.5f);
    cmsCloseProfile(profile);
    return f;
}

using Chromaticities = std::array<float, 8>;  // red, green, blue, white x and y
constexpr Chromaticities kBt709{0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, 0.3127f, 0.3290f};
constexpr Chromaticities kP3{0.680f, 0.320f, 0.265f, 0.690f, 0.150f, 0.060f, 0.3127f, 0.3290f};
constexpr Chromaticities kBt2020{0.708f, 0.292f, 0.170f, 0.797f, 0.131f, 0.046f, 0.3127f, 0.3290f};
using Colorants = std::array<std::array<double, 3>, 3>;
constexpr Colorants kSrgbD50{
    {{0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}}};
constexpr Colorants kP3D50{
    {{0.5151, 0.2412, -0.0011}, {0.2919, 0.6922, 0.0419}, {0.1571, 0.0666, 0.7841}}};
constexpr Colorants kBt2020D50{
    {{0.6734, 0.2790, -0.0019}, {0.1656, 0.6753, 0.0299}, {0.1251, 0.0456, 0.7973}}};

// The profile made from an nclx description: its colorants and curve; none for sRGB, for what
// is unspecified or HDR, nor without chromaticities.
TEST(NclxProfile, MatchesPrimariesAndTransfer) {
    const struct {
        const char* name;
        int primaries, transfer;
        Chromaticities xy;
        bool profile;
        Colorants colorants;
        double half;  // the curve at 0.5
    } cases[] = {
        {"sRGB", 1, 13, kBt709, false, {}, 0},
        {"unspecified", 2, 2, kBt709, false, {}, 0},
        {"Display P3", 12, 13, kP3, true, kP3D50, 0.2140},
        {"BT.709 curve", 1, 1, kBt709, true, kSrgbD50, 0.2596},
        {"BT.2020 10-bit", 9, 14, kBt2020, true, kBt2020D50, 0.2596},
        {"linear", 1, 8, kBt709, true, kSrgbD50, 0.5},
        {"gamma 2.2", 12, 4, kP3, true, kP3D50, 0.2176},
        {"PQ", 9, 16, kBt2020, false, {}, 0},
        {"P3 without chromaticities", 12, 13, {}, false, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        heif_color_profile_nclx nclx{};
        nclx.color_primaries = heif_color_primaries(c.primaries);
        nclx.transfer_characteristics = heif_transfer_characteristics(c.transfer);
        nclx.color_primary_red_x = c.xy[0], nclx.color_primary_red_y = c.xy[1];
        nclx.color_primary_green_x = c.xy[2], nclx.color_primary_green_y = c.xy[3];
        nclx.color_primary_blue_x = c.xy[4], nclx.color_primary_blue_y = c.xy[5];
        nclx.color_primary_white_x = c.xy[6], nclx.color_primary_white_y = c.xy[7];
        const Bytes8 icc = ProfileFromNclx(nclx);
        ASSERT_EQ(!icc.empty(), c.profile);
        if (!c.profile) continue;
        const ProfileFacts f = Facts(icc);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(f.xyz[i].X, c.colorants[i][0], 0.002) << i;
            EXPECT_NEAR(f.xyz[i].Y, c.colorants[i][1], 0.002) << i;
            EXPECT_NEAR(f.xyz[i].Z, c.colorants[i][2], 0.002) << i;
        }
        EXPECT_NEAR(f.half, c.half, 0.002);
    }
}

// The nclx box of a Display P3 file rewritten: a profile for P3, nothing for sRGB nor for
// values libheif refuses (and still hands out a description, which must be freed).
TEST(HeifFileNclx, GivesProfileOrNone) {
    const Bytes8 p3 =
        Encode({"", 32, 16, 8, false, false}, {.nclx_primaries = 12, .nclx_transfer = 13});
    const size_t nclx = std::string(p3.begin(), p3.end()).find("nclx");
    ASSERT_NE(nclx, std::string::npos);
    const std::tuple<int, int, bool> rows[] = {
        {12, 13, true}, {1, 13, false}, {1, 0x0e00, false}, {0x00ff, 13, false}};
    for (const auto& [primaries, transfer, profile] : rows) {
        SCOPED_TRACE(std::to_string(primaries) + " " + std::to_string(transfer));
        Bytes8 bytes = p3;
        bytes[nclx + 4] = uint8_t(primaries >> 8), bytes[nclx + 5] = uint8_t(primaries);
        bytes[nclx + 6] = uint8_t(transfer >> 8), bytes[nclx + 7] = uint8_t(transfer);
        cImage img;
        PictureInfo info;
        ASSERT_TRUE(DecodeHeif(bytes, img, &info));
        ASSERT_EQ(!info.icc.empty(), profile);
        if (profile) {
            EXPECT_NEAR(Facts(info.icc).xyz[0].X, kP3D50[0][0], 0.002);
        }
    }
}

TEST(HeifExifItem, GivesTheTiffBlock) {
    const struct {
        Bytes8 item, block;
    } cases[] = {
        {{0, 0, 0, 0, 'M', 'M', 0, 42, 1}, {'M', 'M', 0, 42, 1}},
        {{0, 0, 0, 6, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 7}, {'I', 'I', 42, 0, 7}},
        {{0, 0, 0, 0, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 7}, {'I', 'I', 42, 0, 7}},
        {{0, 0, 0, 9, 'I', 'I', 42, 0}, {}},              // offset past the end
        {{0xff, 0xff, 0xff, 0xfc, 'I', 'I', 42, 0}, {}},  // offset wraps around
        {{0, 0, 0}, {}},
        {{0, 0, 0, 0, 'I', 'I', 43, 0}, {}},  // no TIFF header
        {{0, 0, 0, 4, 'I', 'I', 42, 0}, {}},  // offset at the end
    };
    for (const auto& c : cases) EXPECT_EQ(TiffBlockFromExifItem(c.item), c.block) << &c - cases;
}

// Sets every 'ispe' box of the file to the given size.
Bytes8 WithIspe(Bytes8 bytes, uint32_t w, uint32_t h) {
    for (size_t i = 0; i + 16 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], "ispe", 4) == 0)
            for (int k = 0; k < 4; ++k) {
                bytes[i + 8 + size_t(k)] = uint8_t(w >> (24 - 8 * k));
                bytes[i + 12 + size_t(k)] = uint8_t(h >> (24 - 8 * k));
            }
    return bytes;
}

TEST(HeifHostile, FailsCleanly) {
    const Bytes8 b = Encode({"", 64, 48, 8, true, false});
    Bytes8 garbage(4096);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7919 >> 3);
    const struct {
        const char* name;
        Bytes8 bytes;
    } cases[] = {
        {"empty", {}},
        {"garbage", garbage},
        {"file type box only", Bytes8(b.begin(), b.begin() + (b[3] | b[2] << 8))},
        {"cut in half", Bytes8(b.begin(), b.begin() + long(b.size() / 2))},
        {"last byte missing", Bytes8(b.begin(), b.end() - 1)},
        {"side above the cap", WithIspe(b, 65536, 65536)},
        {"pixels above the cap", WithIspe(b, 60000, 60000)},
        // within the pixel cap, but RGBA at that size needs more decoder memory than allowed
        {"decoder memory above the cap", WithIspe(b, 12000, 10000)},
        {"zero size", WithIspe(b, 0, 0)},
    };
    for (const auto& c : cases) {
        cImage img;
        PictureInfo info;
        EXPECT_FALSE(DecodeHeif(c.bytes, img, &info)) << c.name;
        EXPECT_FALSE(img.PicValid()) << c.name;
        EXPECT_TRUE(info.icc.empty() && info.exif.empty()) << c.name;
        EXPECT_EQ(img.LoadPictureData(c.bytes, "heic"), 1) << c.name;
    }
}

Bytes8 Cat(std::initializer_list<Bytes8> parts) {
    Bytes8 out;
    for (const Bytes8& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes8 Be32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}
Bytes8 MakeBox(const char* type, const Bytes8& body) {
    return Cat({Be32(uint32_t(body.size() + 8)), Bytes8(type, type + 4), body});
}
// An item information box with one item of the given type, id 1.
Bytes8 Iinf(const char* type) {
    const Bytes8 infe = MakeBox("infe", Cat({{2, 0, 0, 0, 0, 1, 0, 0}, Bytes8(type, type + 5)}));
    return MakeBox("iinf", Cat({{0, 0, 0, 0, 0, 1}, infe}));
}
// An item location box (version 1, 32-bit offsets and lengths) for item 1.
Bytes8 Iloc(int method, std::initializer_list<std::pair<uint32_t, uint32_t>> extents) {
    Bytes8 body{
        1, 0, 0, 0, 0x44, 0, 0, 1, 0, 1, 0, uint8_t(method), 0, 0, 0, uint8_t(extents.size())};
    for (const auto& [offset, length] : extents) body = Cat({body, Be32(offset), Be32(length)});
    return MakeBox("iloc", body);
}
Bytes8 HeifFile(const Bytes8& meta_children, const Bytes8& before_meta = {}) {
    return Cat({MakeBox("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0}), before_meta,
                MakeBox("meta", Cat({{0, 0, 0, 0}, meta_children}))});
}

TEST(HeifCanvas, DeclaredSizesAreRead) {
    using Sizes = std::vector<CanvasSize>;
    const Bytes8 grid{0, 0, 0, 0, 0, 29, 0, 100};  // 16-bit sizes: 29 x 100
    const Bytes8 idat = MakeBox("idat", grid);
    const struct {
        const char* name;
        Bytes8 file;
        std::optional<Sizes> sizes;
    } cases[] = {
        {"grid in item data", HeifFile(Cat({Iinf("grid"), Iloc(1, {{0, 8}}), idat})),
         Sizes{{29, 100}}},
        {"grid with 32-bit sizes",
         HeifFile(Cat({Iinf("grid"), Iloc(1, {{0, 12}}),
                       MakeBox("idat", {0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0x80, 0})})),
         Sizes{{65536, 32768}}},
        {"grid over two extents", HeifFile(Cat({Iinf("grid"), Iloc(1, {{0, 4}, {4, 0}}), idat})),
         Sizes{{29, 100}}},
        // the grid data sits after the ftyp box (16 bytes) and the mdat header
        {"grid in the file",
         HeifFile(Cat({Iinf("grid"), Iloc(0, {{24, 8}})}), MakeBox("mdat", grid)),
         Sizes{{29, 100}}},
        {"overlay",
         HeifFile(Cat({Iinf("iovl"), Iloc(1, {{0, 14}}),
                       MakeBox("idat", {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 1, 0, 0, 64})})),
         Sizes{{256, 64}}},
        {"coded item only", HeifFile(Cat({Iinf("hvc1"), Iloc(1, {{0, 8}}), idat})), Sizes{}},
        {"extent past the item data", HeifFile(Cat({Iinf("grid"), Iloc(1, {{4, 8}}), idat})),
         std::nullopt},
        {"data in another item", HeifFile(Cat({Iinf("grid"), Iloc(2, {{0, 8}}), idat})),
         std::nullopt},
        {"damaged location sizes",
         HeifFile(
             Cat({Iinf("grid"), MakeBox("iloc", {1, 0, 0, 0, 0x33, 0, 0, 1, 0, 1, 0, 1}), idat})),
         std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(DerivedCanvasSizes(c.file), c.sizes) << c.name;
}

// A grid whose declared output size is patched: refused before anything that size is
// allocated, whatever the size its header (ispe) gives.
TEST(HeifHostile, GridDeclaringAHugePicture) {
    const Bytes8 original = GoodCorpusFile("pillowheif-RGB_10__29x100.heif");
    if (original.empty()) GTEST_SKIP() << "no corpus";
    const size_t idat = std::string(original.begin(), original.end()).find("idat");
    ASSERT_NE(idat, std::string::npos);
    ASSERT_EQ(original[idat + 5], 0);  // 16-bit sizes; output width and height at +8 and +10
    const std::pair<int, int> sizes[] = {{65535, 65535}, {30000, 30000}, {12000, 10000}, {0, 100}};
    for (const auto& [w, h] : sizes) {
        Bytes8 bytes = original;
        bytes[idat + 8] = uint8_t(w >> 8), bytes[idat + 9] = uint8_t(w);
        bytes[idat + 10] = uint8_t(h >> 8), bytes[idat + 11] = uint8_t(h);
        cImage img;
        EXPECT_EQ(img.LoadPictureData(bytes, "heic"), 1) << w << " x " << h;
        EXPECT_FALSE(img.PicValid());
    }
}

}  // namespace
