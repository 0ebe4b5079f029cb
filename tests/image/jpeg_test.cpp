// JPEG reading (every colour layout, sampling and EXIF orientation, hostile files), the EXIF
// orientation parser, and the JPEG writer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "codec_fixtures.h"
#include "image/codecs.h"
#include "image/exif.h"

namespace {

using namespace pictorra::test;
using pictorra::image::cImage;
using pictorra::image::DecodeJpeg;
using pictorra::image::ExifOrientation;
using pictorra::image::Orientation;

// Smooth, with a different colour in each quadrant so that every turn and mirror shows.
RgbPicture Quadrants(int w, int h) {
    return MakeRgb(w, h, [w, h](int x, int y) {
        const bool right = x >= w / 2, bottom = y >= h / 2;
        const auto ramp = uint8_t(60 + 100 * (x + y) / (w + h));
        if (!right && !bottom) return Rgb{230, ramp, 40};  // top left: red
        if (right && !bottom) return Rgb{40, 220, ramp};   // top right: green
        if (!right && bottom) return Rgb{ramp, 50, 230};   // bottom left: blue
        return Rgb{240, 240, uint8_t(200 + ramp / 4)};     // bottom right: white
    });
}

std::optional<RgbPicture> Decode(const std::vector<uint8_t>& file) {
    cImage img;
    if (!DecodeJpeg(file, img)) {
        EXPECT_FALSE(img.PicValid());
        return std::nullopt;
    }
    return ToRgb(img);
}

struct Variant {
    const char* name;
    JpegColour colour;
    int luma_h, luma_v;
    bool progressive;
    int restart_interval;

    JpegOptions Options() const {
        JpegOptions o;
        o.colour = colour, o.luma_h = luma_h, o.luma_v = luma_v, o.progressive = progressive;
        o.restart_interval = restart_interval;
        return o;
    }
};

const Variant kVariants[] = {
    {"Baseline420", JpegColour::kYCbCr, 2, 2, false, 0},
    {"Baseline422", JpegColour::kYCbCr, 2, 1, false, 0},
    {"Baseline440", JpegColour::kYCbCr, 1, 2, false, 0},
    {"Baseline444", JpegColour::kYCbCr, 1, 1, false, 0},
    {"Baseline411", JpegColour::kYCbCr, 4, 1, false, 0},
    {"Progressive420", JpegColour::kYCbCr, 2, 2, true, 0},
    {"Progressive444", JpegColour::kYCbCr, 1, 1, true, 0},
    {"WithRestarts", JpegColour::kYCbCr, 2, 2, false, 3},
    {"Grey", JpegColour::kGrey, 1, 1, false, 0},
    {"GreyProgressive", JpegColour::kGrey, 1, 1, true, 0},
    {"Cmyk", JpegColour::kCmyk, 1, 1, false, 0},
    {"Ycck", JpegColour::kYcck, 1, 1, false, 0},
};

// ---- layouts: the decode equals plain libjpeg's, for sizes that cut MCUs and row strips ------

class JpegLayout : public testing::TestWithParam<std::tuple<Variant, std::pair<int, int>>> {};

TEST_P(JpegLayout, MatchesPlainLibjpegDecode) {
    const auto& [variant, size] = GetParam();
    const RgbPicture source = Quadrants(size.first, size.second);
    const std::vector<uint8_t> file = EncodeJpeg(source, variant.Options());
    const auto decoded = Decode(file);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(MaxDifference(*decoded, ReferenceDecodeJpeg(file)), 0);
    if (variant.colour != JpegColour::kGrey) {
        // Close on average: subsampled chroma bleeds across the quadrant edges.
        EXPECT_LT(MeanDifference(*decoded, source), 6.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Jpeg, JpegLayout,
                         testing::Combine(testing::ValuesIn(kVariants),
                                          testing::Values(std::pair{1, 1}, std::pair{37, 23},
                                                          std::pair{64, 48}, std::pair{50, 83})),
                         [](const auto& info) {
                             const auto size = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(size.first) + "x" + std::to_string(size.second);
                         });

// ---- EXIF orientation ----------------------------------------------------------------------

// Where the stored picture's first row and first column appear when viewed (the EXIF table).
enum Side { kTop, kBottom, kLeft, kRight };
struct OrientationCase {
    int value;
    Side row0, column0;
};
const OrientationCase kOrientations[] = {
    {1, kTop, kLeft}, {2, kTop, kRight}, {3, kBottom, kRight}, {4, kBottom, kLeft},
    {5, kLeft, kTop}, {6, kRight, kTop}, {7, kRight, kBottom}, {8, kLeft, kBottom}};

// The stored picture as it is viewed under an orientation, pixel by pixel.
RgbPicture Viewed(const RgbPicture& stored, const OrientationCase& o) {
    const int w = stored.width, h = stored.height;
    const bool turned = o.row0 == kLeft || o.row0 == kRight;
    return MakeRgb(turned ? h : w, turned ? w : h, [&](int x, int y) {
        const int across = turned ? x : y, along = turned ? y : x;  // stored row, stored column
        const int sy = (o.row0 == kTop || o.row0 == kLeft) ? across : h - 1 - across;
        const int sx = (o.column0 == kLeft || o.column0 == kTop) ? along : w - 1 - along;
        return stored.At(sx, sy);
    });
}

class JpegOrientation : public testing::TestWithParam<std::tuple<OrientationCase, bool, Variant>> {
};

TEST_P(JpegOrientation, DecodesUpright) {
    const auto& [orientation, big_endian, variant] = GetParam();
    JpegOptions options = variant.Options();
    options.app1 = ExifWithOrientation(orientation.value, big_endian);
    const std::vector<uint8_t> file = EncodeJpeg(Quadrants(45, 70), options);
    const auto decoded = Decode(file);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(MaxDifference(*decoded, Viewed(ReferenceDecodeJpeg(file), orientation)), 0);
}

INSTANTIATE_TEST_SUITE_P(Jpeg, JpegOrientation,
                         testing::Combine(testing::ValuesIn(kOrientations), testing::Bool(),
                                          testing::Values(kVariants[0], kVariants[5], kVariants[8],
                                                          kVariants[10])),
                         [](const auto& info) {
                             return "Orientation" + std::to_string(std::get<0>(info.param).value) +
                                    (std::get<1>(info.param) ? "_MM_" : "_II_") +
                                    std::get<2>(info.param).name;
                         });

// Damaged EXIF blocks are read as "as stored", never outside the block.
TEST(ExifOrientation, SurvivesDamagedBlocks) {
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        Orientation expected;
    };
    // Offsets into ExifWithOrientation(6, false): TIFF header at 6, IFD0 at 14, entry 1 at 28.
    const Case cases[] = {
        {"intact", [](auto&) {}, Orientation::kRotate90},
        {"not EXIF", [](auto& p) { p[0] = 'X'; }, Orientation::kNormal},
        {"cut in the header", [](auto& p) { p.resize(10); }, Orientation::kNormal},
        {"unknown byte order", [](auto& p) { p[6] = 'I', p[7] = 'M'; }, Orientation::kNormal},
        {"wrong TIFF magic", [](auto& p) { p[8] = 43; }, Orientation::kNormal},
        {"IFD past the end", [](auto& p) { p[10] = 0xF0, p[11] = 0xFF; }, Orientation::kNormal},
        {"IFD offset wraps", [](auto& p) { p[10] = p[11] = p[12] = p[13] = 0xFF; },
         Orientation::kNormal},
        {"entry count too large", [](auto& p) { p[14] = 0xFF, p[15] = 0xFF; },
         Orientation::kRotate90},
        {"cut inside the tag", [](auto& p) { p.resize(36); }, Orientation::kNormal},
        {"value 0", [](auto& p) { p[36] = 0; }, Orientation::kNormal},
        {"value 9", [](auto& p) { p[36] = 9; }, Orientation::kNormal},
        {"as LONG", [](auto& p) { p[30] = 4; }, Orientation::kRotate90},
        {"as ASCII", [](auto& p) { p[30] = 2; }, Orientation::kNormal},
        {"zero count", [](auto& p) { p[32] = 0; }, Orientation::kNormal},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> payload = ExifWithOrientation(6, false);
        c.damage(payload);
        EXPECT_EQ(ExifOrientation(payload), c.expected) << c.name;
    }
    EXPECT_EQ(ExifOrientation(ExifWithOrientation(8, true)), Orientation::kRotate270);
}

// ---- files that must be refused, promptly ---------------------------------------------------

size_t FindMarker(const std::vector<uint8_t>& file, uint8_t marker, size_t from = 2) {
    for (size_t i = from; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == marker) return i;
    }
    ADD_FAILURE() << "no marker " << int(marker);
    return 0;
}

TEST(JpegHostile, TruncatedFilesFailAtEveryLength) {
    for (const Variant& variant : {kVariants[0], kVariants[5]}) {
        const std::vector<uint8_t> file = EncodeJpeg(Quadrants(96, 64), variant.Options());
        const auto start = std::chrono::steady_clock::now();
        for (size_t length = 0; length < file.size();
             length += (length < file.size() - 16 ? 7 : 1)) {
            cImage img;
            EXPECT_FALSE(DecodeJpeg({file.data(), length}, img)) << length;
            EXPECT_FALSE(img.PicValid());
        }
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  5.0);
    }
}

TEST(JpegHostile, GarbageAndHugeSizesFail) {
    const std::vector<uint8_t> good = EncodeJpeg(Quadrants(16, 16));
    const size_t sof = FindMarker(good, 0xC0);
    auto with_size = [&](int w, int h) {
        std::vector<uint8_t> f = good;
        f[sof + 5] = uint8_t(h >> 8), f[sof + 6] = uint8_t(h);
        f[sof + 7] = uint8_t(w >> 8), f[sof + 8] = uint8_t(w);
        return f;
    };
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"zero bytes", std::vector<uint8_t>(1000, 0)},
        {"start of image only", {0xFF, 0xD8}},
        {"PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0}},
        {"65535 x 65535", with_size(65535, 65535)},
        {"20000 x 20000", with_size(20000, 20000)},
        {"16000 x 8000 with 16 x 16 data", with_size(16000, 8000)},
        {"zero width", with_size(0, 16)},
    };
    for (const auto& [name, file] : cases) {
        const auto start = std::chrono::steady_clock::now();
        cImage img;
        EXPECT_FALSE(DecodeJpeg(file, img)) << name;
        EXPECT_FALSE(img.PicValid()) << name;
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  2.0)
            << name;
    }
}

TEST(JpegHostile, ScanCountIsCapped) {
    const RgbPicture source = Quadrants(40, 24);
    JpegOptions options = kVariants[8].Options();
    options.scans_per_coefficient = 1;
    const auto few = EncodeJpeg(source, options);
    options.scans_per_coefficient = 2;
    const auto many = EncodeJpeg(source, options);
    const auto decoded = Decode(few);  // 64 scans
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(MaxDifference(*decoded, ReferenceDecodeJpeg(few)), 0);
    EXPECT_FALSE(Decode(many).has_value());  // 127 scans
}

TEST(JpegHostile, DamagedEntropyDataFailsButJunkBetweenSegmentsDoesNot) {
    JpegOptions options;
    options.restart_interval = 1;
    const std::vector<uint8_t> clean = EncodeJpeg(Quadrants(64, 64), options);
    const size_t sos = FindMarker(clean, 0xDA);

    std::vector<uint8_t> swapped = clean;  // RST0 and RST1 exchanged
    const size_t rst0 = FindMarker(clean, 0xD0, sos), rst1 = FindMarker(clean, 0xD1, sos);
    swapped[rst0 + 1] = 0xD1, swapped[rst1 + 1] = 0xD0;
    EXPECT_FALSE(Decode(swapped).has_value());

    std::vector<uint8_t> cut = clean;  // the data of the first restart interval ends early
    cut.erase(cut.begin() + long(sos + 20), cut.begin() + long(rst0));
    EXPECT_FALSE(Decode(cut).has_value());

    std::vector<uint8_t> no_end = clean;
    no_end.resize(no_end.size() - 2);
    EXPECT_FALSE(Decode(no_end).has_value());

    const auto reference = Decode(clean);
    ASSERT_TRUE(reference.has_value());
    std::vector<uint8_t> junk = clean;  // stray bytes before a marker, and an unknown APP9
    const size_t dqt = FindMarker(clean, 0xDB);
    junk.insert(junk.begin() + long(dqt), {0x00, 0x13, 0x37, 0xFF, 0xE9, 0x00, 0x04, 0xAB, 0xCD});
    const auto tolerated = Decode(junk);
    ASSERT_TRUE(tolerated.has_value());
    EXPECT_EQ(MaxDifference(*tolerated, *reference), 0);
}

// ---- writer ----------------------------------------------------------------------------------

struct JpegHeader {
    bool progressive = true, jfif = false;
    int luma_h = 0, luma_v = 0, width = 0, height = 0;
};

JpegHeader ReadHeader(const std::vector<uint8_t>& file) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    const JpegHeader h{bool(d.progressive_mode),     bool(d.saw_JFIF_marker),
                       d.comp_info[0].h_samp_factor, d.comp_info[0].v_samp_factor,
                       int(d.image_width),           int(d.image_height)};
    jpeg_destroy_decompress(&d);
    return h;
}

class JpegWriter : public testing::TestWithParam<int> {};

TEST_P(JpegWriter, WritesBaselineThatReadsBackClose) {
    const int quality = GetParam();
    TempDir dir;
    const RgbPicture source = Quadrants(61, 35);
    const cImage img = MakeImage(61, 35, [&](int x, int y) { return source.At(x, y); });
    ASSERT_EQ(img.WriteJPG(dir.File("out.jpg"), quality), 0);
    const std::vector<uint8_t> file = ReadFileBytes(dir.path() / "out.jpg");
    const JpegHeader header = ReadHeader(file);
    EXPECT_FALSE(header.progressive);
    EXPECT_TRUE(header.jfif);
    EXPECT_EQ(header.luma_h, quality == 100 ? 1 : 2);
    EXPECT_EQ(header.luma_v, quality == 100 ? 1 : 2);
    const auto decoded = Decode(file);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_LT(MeanDifference(*decoded, source), quality == 100 ? 1.0 : 6.0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Jpeg, JpegWriter, testing::Values(75, 85, 92, 100));

TEST(JpegWriter, LowerQualityIsSmallerForANoisyPicture) {
    TempDir dir;
    uint32_t seed = 12345;
    const cImage noisy = MakeImage(200, 150, [&](int, int) {
        seed = seed * 1664525u + 1013904223u;
        return Rgb{uint8_t(seed >> 24), uint8_t(seed >> 16), uint8_t(seed >> 8)};
    });
    ASSERT_EQ(noisy.WriteJPG(dir.File("q100.jpg"), 100), 0);
    ASSERT_EQ(noisy.WriteJPG(dir.File("q75.jpg"), 75), 0);
    EXPECT_LT(std::filesystem::file_size(dir.path() / "q75.jpg"),
              std::filesystem::file_size(dir.path() / "q100.jpg"));
    for (const char* name : {"q100.jpg", "q75.jpg"}) {
        cImage back;
        EXPECT_EQ(back.LoadPicture(dir.File(name)), 0) << name;
        EXPECT_EQ(back.Width(), 200);
        EXPECT_EQ(back.Height(), 150);
    }
}

TEST(JpegWriter, FailuresLeaveNoFileAndKeepAnOldOne) {
    TempDir dir;
    const cImage small = MakeImage(8, 8, [](int, int) { return Rgb{1, 2, 3}; });
    EXPECT_EQ(cImage().WriteJPG(dir.File("empty.jpg"), 75), 1);
    EXPECT_NE(small.WriteJPG(dir.File("missing/out.jpg"), 75), 0);
    // Wider than JPEG allows: the encoder refuses it after the temporary file exists.
    cImage too_wide;
    ASSERT_EQ(too_wide.CreateDIB(70000, 1), 0);
    WriteFileBytes(dir.path() / "old.jpg", {1, 2, 3});
    EXPECT_NE(too_wide.WriteJPG(dir.File("old.jpg"), 75), 0);
    EXPECT_EQ(ReadFileBytes(dir.path() / "old.jpg"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
