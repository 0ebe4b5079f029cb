// The TIFF decoder on small files written with libtiff: the sample layouts it reads itself and
// some it leaves to libtiff's RGBA interface, orientation, metadata, and hostile files.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "exif_support.h"
#include "image/codecs.h"
#include "image/exif.h"
#include "test_support.h"

namespace pictorra::test {
namespace {

using image::cImage;
using image::PictureInfo;

constexpr uint16_t kNoAlpha = 0xFFFF;

struct Layout {
    const char* name;
    uint16_t photometric, samples, bits, extra, compression;
    bool planar, tiled;
};

// A sample of the generated pictures. Premultiplied colour never exceeds its alpha.
uint32_t SampleAt(const Layout& l, int x, int y, int s) {
    const uint32_t mask = l.bits == 16 ? 0xFFFF : 0xFF;
    const auto value = [&](int k) {
        return l.bits == 16 ? uint32_t(x * 4099 + y * 613 + k * 10007 + 129) & mask
                            : uint32_t(x * 53 + y * 29 + k * 101 + 7) & mask;
    };
    const int alpha = l.samples - 1;
    if (l.extra == EXTRASAMPLE_ASSOCALPHA && s < alpha) return value(s) % (value(alpha) + 1);
    return value(s);
}

uint8_t To8(const Layout& l, uint32_t v) {
    return uint8_t(l.bits == 16 ? (v * 255 + 32767) / 65535 : v);
}

// The upright colour the decoder must give for the pixel at (x, y).
Rgb Expected(const Layout& l, int x, int y) {
    uint32_t v[5] = {};
    for (int s = 0; s < l.samples; ++s) v[s] = To8(l, SampleAt(l, x, y, s));
    uint32_t c[3] = {v[0], v[0], v[0]};
    if (l.photometric == PHOTOMETRIC_RGB) c[1] = v[1], c[2] = v[2];
    if (l.photometric == PHOTOMETRIC_SEPARATED) {
        for (int i = 0; i < 3; ++i) c[i] = ((255 - v[i]) * (255 - v[3]) + 127) / 255;
    }
    if (l.photometric == PHOTOMETRIC_PALETTE) c[0] = 255 - v[0], c[1] = v[0] / 2, c[2] = v[0];
    if (l.extra == EXTRASAMPLE_UNASSALPHA || l.extra == EXTRASAMPLE_ASSOCALPHA) {
        const uint32_t a = v[l.samples - 1];
        for (auto& k : c) {
            if (l.extra == EXTRASAMPLE_ASSOCALPHA) k = a == 0 ? 0 : std::min(255u, k * 255 / a);
            k = OverWhite(k, a);
        }
    }
    return {uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2])};
}

constexpr int kWidth = 37, kHeight = 23, kBlock = 16, kStripRows = 5;

// Writes the generated picture with libtiff; `tags` sets anything more before the data.
std::vector<uint8_t> WriteTiff(const Layout& l, uint16_t orientation = 1,
                               const std::function<void(TIFF*)>& tags = {},
                               const char* mode = "w") {
    TempDir dir;
    const std::string path = dir.File("t.tif");
    TIFF* tif = TIFFOpen(path.c_str(), mode);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, l.samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, l.bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, l.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, l.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, l.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
    if (l.extra != kNoAlpha) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &l.extra);
    std::vector<uint16_t> map(256 * 3);
    for (int i = 0; i < 256; ++i)
        map[i] = (255 - i) * 257, map[256 + i] = (i / 2) * 257, map[512 + i] = i * 257;
    if (l.photometric == PHOTOMETRIC_PALETTE) {
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
    }
    const int bw = l.tiled ? kBlock : kWidth, bh = l.tiled ? kBlock : kStripRows;
    if (l.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, bw);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, bh);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, bh);
    }
    if (tags) tags(tif);
    const int planes = l.planar ? l.samples : 1, per_pixel = l.planar ? 1 : l.samples;
    for (int p = 0; p < planes; ++p) {
        for (int y0 = 0; y0 < kHeight; y0 += bh) {
            for (int x0 = 0; x0 < kWidth; x0 += bw) {
                const int rows = l.tiled ? bh : std::min(bh, kHeight - y0);
                std::vector<uint8_t> block(size_t(bw) * rows * per_pixel * (l.bits / 8));
                for (int r = 0; r < rows; ++r)
                    for (int c = 0; c < bw; ++c)
                        for (int s = 0; s < per_pixel; ++s) {
                            const int x = x0 + c, y = y0 + r;
                            if (x >= kWidth || y >= kHeight) continue;
                            const uint32_t v = SampleAt(l, x, y, l.planar ? p : s);
                            const size_t i = (size_t(r) * bw + c) * per_pixel + s;
                            if (l.bits == 16)
                                reinterpret_cast<uint16_t*>(block.data())[i] = uint16_t(v);
                            else
                                block[i] = uint8_t(v);
                        }
                const auto bytes = tmsize_t(block.size());
                if (l.tiled)
                    TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, uint16_t(p)),
                                         block.data(), bytes);
                else
                    TIFFWriteEncodedStrip(tif, TIFFComputeStrip(tif, y0, uint16_t(p)), block.data(),
                                          bytes);
            }
        }
    }
    TIFFClose(tif);
    return ReadFileBytes(path);
}

const Layout kLayouts[] = {
    {"grey8", PHOTOMETRIC_MINISBLACK, 1, 8, kNoAlpha, COMPRESSION_NONE, false, false},
    {"grey16_lzw", PHOTOMETRIC_MINISBLACK, 1, 16, kNoAlpha, COMPRESSION_LZW, false, false},
    {"grey_alpha8", PHOTOMETRIC_MINISBLACK, 2, 8, EXTRASAMPLE_UNASSALPHA, COMPRESSION_NONE, false,
     false},
    {"rgb8_deflate", PHOTOMETRIC_RGB, 3, 8, kNoAlpha, COMPRESSION_ADOBE_DEFLATE, false, false},
    {"rgb8_planar_tiled", PHOTOMETRIC_RGB, 3, 8, kNoAlpha, COMPRESSION_LZW, true, true},
    {"rgb16_planar", PHOTOMETRIC_RGB, 3, 16, kNoAlpha, COMPRESSION_NONE, true, false},
    {"rgb8_padding_sample", PHOTOMETRIC_RGB, 4, 8, EXTRASAMPLE_UNSPECIFIED, COMPRESSION_NONE, false,
     false},
    {"rgba8_straight", PHOTOMETRIC_RGB, 4, 8, EXTRASAMPLE_UNASSALPHA, COMPRESSION_NONE, false,
     false},
    {"rgba8_premultiplied", PHOTOMETRIC_RGB, 4, 8, EXTRASAMPLE_ASSOCALPHA, COMPRESSION_LZW, false,
     false},
    {"rgba16_straight_tiled", PHOTOMETRIC_RGB, 4, 16, EXTRASAMPLE_UNASSALPHA, COMPRESSION_NONE,
     false, true},
    {"rgba16_premultiplied_planar", PHOTOMETRIC_RGB, 4, 16, EXTRASAMPLE_ASSOCALPHA,
     COMPRESSION_NONE, true, false},
    {"cmyk8", PHOTOMETRIC_SEPARATED, 4, 8, kNoAlpha, COMPRESSION_NONE, false, false},
    {"cmyk16_planar", PHOTOMETRIC_SEPARATED, 4, 16, kNoAlpha, COMPRESSION_LZW, true, false},
    {"palette8_tiled", PHOTOMETRIC_PALETTE, 1, 8, kNoAlpha, COMPRESSION_PACKBITS, false, true},
};

class TiffLayout : public testing::TestWithParam<Layout> {};

// Every layout, turned by the Orientation tag exactly once, which the EXIF block reports.
TEST_P(TiffLayout, DecodesEveryPixelTurnedOnce) {
    const Layout& l = GetParam();
    for (uint16_t o = 1; o <= 8; ++o) {
        cImage img,
            expected = MakeImage(kWidth, kHeight, [&](int x, int y) { return Expected(l, x, y); });
        PictureInfo info;
        ASSERT_TRUE(image::DecodeTiff(WriteTiff(l, o), img, &info));
        image::ApplyOrientation(expected, image::Orientation(o));
        ASSERT_EQ(std::pair(img.Width(), img.Height()),
                  std::pair(expected.Width(), expected.Height()));
        for (int y = 0; y < img.Height(); ++y)
            for (int x = 0; x < img.Width(); ++x)
                ASSERT_EQ(PixelAt(img, x, y), PixelAt(expected, x, y))
                    << o << ": " << x << "," << y;
        EXPECT_EQ(int(image::TiffOrientation(info.exif)), o);
    }
}

INSTANTIATE_TEST_SUITE_P(Tiff, TiffLayout, testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TiffInfo, ProfileAndDescriptiveTagsOnly) {
    const std::vector<uint8_t> icc = {1, 2, 3, 4, 5, 6, 7, 8};
    PictureInfo info;
    cImage img;
    ASSERT_TRUE(image::DecodeTiff(
        WriteTiff(kLayouts[3], 6,
                  [&](TIFF* tif) {
                      TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.data());
                      TIFFSetField(tif, TIFFTAG_MAKE, "Maker");
                      TIFFSetField(tif, TIFFTAG_ARTIST, "Someone");
                      TIFFSetField(tif, TIFFTAG_DATETIME, "2024:01:02 03:04:05");
                  }),
        img, &info));
    EXPECT_EQ(info.icc, icc);
    const std::map<std::string, std::string> tags = ExifTags(info.exif);
    EXPECT_EQ(tags,
              (std::map<std::string, std::string>{{"Exif.Image.Make", "Maker"},
                                                  {"Exif.Image.Artist", "Someone"},
                                                  {"Exif.Image.DateTime", "2024:01:02 03:04:05"},
                                                  {"Exif.Image.Orientation", "6"}}));
}

TEST(TiffInfo, ExifAndGpsDirectoriesOfAFile) {
    const std::vector<uint8_t> file = GoodCorpusFile("meta-libtiff-custom_dir_EXIF_GPS.tiff");
    if (file.empty()) GTEST_SKIP() << "corpus absent";
    PictureInfo info;
    cImage img;
    ASSERT_TRUE(image::DecodeTiff(file, img, &info));
    const auto tags = ExifTags(info.exif);
    EXPECT_TRUE(tags.contains("Exif.Photo.DateTimeOriginal"));
    EXPECT_TRUE(tags.contains("Exif.GPSInfo.GPSLatitude"));
}

// exiv2 cannot read BigTIFF; the picture still loads, turned, and the block still says how.
TEST(TiffInfo, OrientationKeptWhenTheMetadataCannotBeRead) {
    PictureInfo info;
    cImage img;
    ASSERT_TRUE(image::DecodeTiff(WriteTiff(kLayouts[3], 6, {}, "w8"), img, &info));
    EXPECT_EQ(img.Width(), kHeight);
    EXPECT_EQ(image::TiffOrientation(info.exif), image::Orientation::kRotate90);
}

// A minimal 8-bit grey file: one strip of `count` bytes, `data_bytes` of it present.
std::vector<uint8_t> HandMade(uint32_t w, uint32_t h, uint32_t count, uint32_t data_bytes) {
    std::vector<uint8_t> f = {'I', 'I', 42, 0, 8, 0, 0, 0, 8, 0};
    const auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
        f.insert(f.end(), {uint8_t(tag), uint8_t(tag >> 8), uint8_t(type), 0, 1, 0, 0, 0});
        for (int i = 0; i < 4; ++i) f.push_back(uint8_t(value >> (8 * i)));
    };
    const uint32_t data_at = 8 + 2 + 8 * 12 + 4;
    entry(256, 4, w), entry(257, 4, h), entry(258, 3, 8), entry(259, 3, 1);
    entry(262, 3, 1), entry(273, 4, data_at), entry(278, 4, h), entry(279, 4, count);
    f.insert(f.end(), 4, 0);
    f.insert(f.end(), data_bytes, 0x80);
    return f;
}

TEST(TiffHostile, FailsCleanlyAndSilently) {
    const std::vector<uint8_t> good = WriteTiff(kLayouts[3]);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"garbage", std::vector<uint8_t>(300, 0x5A)},
        {"header only", {'I', 'I', 42, 0, 8, 0, 0, 0}},
        {"truncated", {good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)}},
        {"100000 x 100000", HandMade(100000, 100000, 100, 100)},
        {"zero width", HandMade(0, 10, 10, 10)},
        {"strip past the end", HandMade(100, 100, 10000, 50)},
    };
    for (const auto& c : cases) {
        cImage img;
        PictureInfo info;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(image::DecodeTiff(c.bytes, img, &info)) << c.name;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.name;
        EXPECT_FALSE(img.PicValid()) << c.name;
        EXPECT_TRUE(info.icc.empty() && info.exif.empty()) << c.name;
    }
    cImage img;
    EXPECT_TRUE(image::DecodeTiff(HandMade(10, 10, 100, 100), img)) << "the hand-made file itself";
}

}  // namespace
}  // namespace pictorra::test
