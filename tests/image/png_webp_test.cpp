// The PNG and WebP decoders on files made with the libraries' own encoders, and hostile files.
#include <gtest/gtest.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/encode.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exif_support.h"
#include "icc_fixtures.h"
#include "image/codecs.h"
#include "image/exif.h"
#include "image/over_white.h"
#include "test_support.h"

using namespace pictorra::image;
using namespace pictorra::test;
using Bytes_ = std::vector<uint8_t>;

namespace {

uint32_t Sample(int x, int y, int c, int depth) {
    return ((uint32_t(x) * 2654435761u) ^ (uint32_t(y) * 40503u) ^ (uint32_t(c) * 97u)) %
           (1u << depth);
}
uint8_t To8(uint32_t v, int depth) {
    return uint8_t(depth == 16 ? (v * 255 + 32767) / 65535 : v * 255 / ((1u << depth) - 1));
}
void Put(Bytes_& b, uint32_t v, int n, bool big) {
    for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * (big ? n - 1 - i : i))));
}

struct PngCase {
    const char* name;
    int colour, depth;
    bool interlace = false, key = false;  // key: a tRNS colour key equal to pixel (1, 1)
    int orientation = 0;                  // with a profile; 0: no metadata
    bool late = false;                    // the eXIf chunk after the image data
};
constexpr int kW = 13, kH = 9;

Bytes_ WritePng(const PngCase& c, int w, int h, const Bytes_& exif, const Bytes_& icc) {
    Bytes_ file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &file,
        [](png_structp p, png_bytep d, size_t n) {
            static_cast<Bytes_*>(png_get_io_ptr(p))
                ->insert(static_cast<Bytes_*>(png_get_io_ptr(p))->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, w, h, c.depth, c.colour, c.interlace ? PNG_INTERLACE_ADAM7 : 0, 0, 0);
    const int channels = c.colour == 0 || c.colour == 3 ? 1
                         : c.colour == 4                ? 2
                         : c.colour == 2                ? 3
                                                        : 4;
    std::vector<png_color> plte(c.colour == 3 ? 1u << c.depth : 0);
    Bytes_ alphas(plte.size() / 2);
    for (size_t i = 0; i < plte.size(); ++i)
        plte[i] = {uint8_t(i * 47), uint8_t(i * 91), uint8_t(i * 13)};
    for (size_t i = 0; i < alphas.size(); ++i) alphas[i] = uint8_t(i * 73);
    if (!plte.empty()) png_set_PLTE(png, info, plte.data(), int(plte.size()));
    if (!alphas.empty()) png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
    png_color_16 key{0, uint16_t(Sample(1, 1, 0, c.depth)), uint16_t(Sample(1, 1, 1, c.depth)),
                     uint16_t(Sample(1, 1, 2, c.depth)), uint16_t(Sample(1, 1, 0, c.depth))};
    if (c.key) png_set_tRNS(png, info, nullptr, 0, &key);
    Bytes_ exif_copy = exif;
    if (!exif.empty()) png_set_eXIf_1(png, info, png_uint_32(exif.size()), exif_copy.data());
    if (!icc.empty()) png_set_iCCP(png, info, "test", 0, icc.data(), png_uint_32(icc.size()));
    std::vector<Bytes_> rows(static_cast<size_t>(h));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < h; ++y) {
        uint32_t bits = 0, count = 0;
        for (int x = 0; x < w; ++x)
            for (int ch = 0; ch < channels; ++ch) {
                if (c.depth >= 8)
                    Put(rows[y], Sample(x, y, ch, c.depth), c.depth / 8, true);
                else
                    bits = (bits << c.depth) | Sample(x, y, ch, c.depth), count += c.depth;
                if (count == 8) rows[y].push_back(uint8_t(bits)), bits = count = 0;
            }
        if (count > 0) rows[y].push_back(uint8_t(bits << (8 - count)));
        pointers.push_back(rows[y].data());
    }
    png_write_info(png, info);
    png_set_interlace_handling(png);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file;
}

// A chunk: length, type, data, CRC.
Bytes_ PngChunk(const char* type, const Bytes_& data) {
    Bytes_ body(type, type + 4), chunk;
    body.insert(body.end(), data.begin(), data.end());
    Put(chunk, uint32_t(data.size()), 4, true);
    chunk.insert(chunk.end(), body.begin(), body.end());
    Put(chunk, uint32_t(crc32(0, body.data(), uInt(body.size()))), 4, true);
    return chunk;
}

// What pixel (x, y) of a WritePng file must decode to, from the format's rules alone.
Rgb ExpectedPng(const PngCase& c, int x, int y) {
    const auto s = [&](int ch) { return Sample(x, y, ch, c.depth); };
    if (c.colour == 3) {
        const uint32_t i = s(0), a = i < (1u << c.depth) / 2 ? uint8_t(i * 73) : 255;
        return OverWhite(Rgb{uint8_t(i * 47), uint8_t(i * 91), uint8_t(i * 13)}, a);
    }
    const bool grey = c.colour == 0 || c.colour == 4;
    const Rgb rgb = grey ? Rgb{To8(s(0), c.depth), To8(s(0), c.depth), To8(s(0), c.depth)}
                         : Rgb{To8(s(0), c.depth), To8(s(1), c.depth), To8(s(2), c.depth)};
    uint32_t a = c.colour == 4 ? To8(s(1), c.depth) : c.colour == 6 ? To8(s(3), c.depth) : 255;
    const bool keyed =
        s(0) == Sample(1, 1, 0, c.depth) &&
        (grey || (s(1) == Sample(1, 1, 1, c.depth) && s(2) == Sample(1, 1, 2, c.depth)));
    if (c.key && keyed) a = 0;
    return OverWhite(rgb, a);
}

class PngColourTypes : public testing::TestWithParam<PngCase> {};

TEST_P(PngColourTypes, DecodeByTheFormatsRules) {
    const PngCase& c = GetParam();
    const Bytes_ exif = c.orientation ? OrientationExif(c.orientation) : Bytes_{};
    const Bytes_ icc = c.orientation ? icc::AdobeRgb() : Bytes_{};
    Bytes_ file = WritePng(c, kW, kH, c.late ? Bytes_{} : exif, icc);
    if (c.late) {  // just before IEND
        const Bytes_ chunk = PngChunk("eXIf", exif);
        file.insert(file.end() - 12, chunk.begin(), chunk.end());
    }
    cImage img, expected = MakeImage(kW, kH, [&](int x, int y) { return ExpectedPng(c, x, y); });
    ApplyOrientation(expected, Orientation(std::max(c.orientation, 1)));
    PictureInfo info;
    ASSERT_TRUE(DecodePng(file, img, &info));
    ASSERT_EQ(std::pair(img.Width(), img.Height()), std::pair(expected.Width(), expected.Height()));
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x)
            ASSERT_EQ(PixelAt(img, x, y), PixelAt(expected, x, y)) << x << "," << y;
    EXPECT_EQ(info.exif, exif);
    EXPECT_EQ(info.icc, icc);
}

INSTANTIATE_TEST_SUITE_P(
    Png, PngColourTypes,
    testing::Values(PngCase{"grey1", 0, 1}, PngCase{"grey4", 0, 4}, PngCase{"grey8", 0, 8},
                    PngCase{"grey16", 0, 16}, PngCase{"grey2key", 0, 2, false, true},
                    PngCase{"grey16key", 0, 16, false, true}, PngCase{"rgb8", 2, 8},
                    PngCase{"rgb16", 2, 16}, PngCase{"rgb8key", 2, 8, false, true},
                    PngCase{"rgb16key", 2, 16, false, true}, PngCase{"palette1", 3, 1},
                    PngCase{"palette8", 3, 8}, PngCase{"greyalpha8", 4, 8},
                    PngCase{"greyalpha16", 4, 16}, PngCase{"rgba8", 6, 8}, PngCase{"rgba16", 6, 16},
                    PngCase{"palette4interlaced", 3, 4, true},
                    PngCase{"grey16interlaced", 0, 16, true},
                    PngCase{"rgb8_upright", 2, 8, false, false, 1},
                    PngCase{"rgb8_turned180", 2, 8, false, false, 3},
                    PngCase{"rgba16_turned90", 6, 16, false, false, 6},
                    PngCase{"palette8_turned270_late", 3, 8, false, false, 8, true},
                    PngCase{"rgb16_transposed_late", 2, 16, false, false, 5, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The file with bytes at `at` XORed with `mask`; the CRC of the chunk starting at `chunk` made
// right again, when given.
Bytes_ Patched(Bytes_ file, size_t at, const Bytes_& mask, size_t chunk = 0) {
    for (size_t i = 0; i < mask.size(); ++i) file[at + i] ^= mask[i];
    if (chunk > 0) {
        const size_t length = size_t(file[chunk]) << 24 | size_t(file[chunk + 1]) << 16 |
                              size_t(file[chunk + 2]) << 8 | file[chunk + 3];
        Bytes_ crc;
        Put(crc, uint32_t(crc32(0, &file[chunk + 4], uInt(length + 4))), 4, true);
        std::copy(crc.begin(), crc.end(), file.begin() + long(chunk + 8 + length));
    }
    return file;
}

Bytes_ Chunk(const char* fourcc, const Bytes_& payload) {
    Bytes_ b(fourcc, fourcc + 4);
    Put(b, uint32_t(payload.size()), 4, false);
    b.insert(b.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) b.push_back(0);
    return b;
}
Bytes_ Riff(const std::vector<Bytes_>& chunks) {
    Bytes_ body = {'W', 'E', 'B', 'P'};
    for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return Chunk("RIFF", body);
}
Bytes_ Vp8x(uint8_t flags, int w, int h) {
    Bytes_ b = {flags, 0, 0, 0};
    Put(b, uint32_t(w - 1), 3, false), Put(b, uint32_t(h - 1), 3, false);
    return Chunk("VP8X", b);
}
// A still file; its picture is opaque when `alpha` is false.
Bytes_ EncodeWebp(int w, int h, bool lossless, bool alpha, uint32_t seed = 0) {
    Bytes_ rgba;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                rgba.push_back(c == 3 && !alpha ? 255 : uint8_t(Sample(x, y, c + int(seed), 8)));
    uint8_t* out = nullptr;
    const size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), w, h, 4 * w, &out)
                                 : WebPEncodeRGBA(rgba.data(), w, h, 4 * w, 80, &out);
    Bytes_ file(out, out + size);
    WebPFree(out);
    return file;
}
// The picture libwebp's own decode gives, over white.
Rgb PlainDecode(const Bytes_& file, int x, int y) {
    int w = 0, h = 0;
    uint8_t* rgba = WebPDecodeRGBA(file.data(), file.size(), &w, &h);
    const uint8_t* p = rgba + 4 * (size_t(y) * size_t(w) + size_t(x));
    const Rgb c = OverWhite(Rgb{p[0], p[1], p[2]}, p[3]);
    WebPFree(rgba);
    return c;
}

// Metadata chunks of the extended format; some writers put "Exif\0\0" before the block.
TEST(Webp, ExtendedFormatMetadataAndOrientation) {
    const Bytes_ still = EncodeWebp(kW, kH, true, false);
    const Bytes_ image(still.begin() + 12, still.end());
    for (const auto& [prefixed, orientation] :
         {std::pair(false, 1), std::pair(false, 6), std::pair(true, 3), std::pair(true, 8)}) {
        Bytes_ exif = OrientationExif(orientation);
        if (prefixed) exif.insert(exif.begin(), {'E', 'x', 'i', 'f', 0, 0});
        const Bytes_ file =
            Riff({Vp8x(0x28, kW, kH), Chunk("ICCP", icc::AdobeRgb()), image, Chunk("EXIF", exif)});
        cImage img,
            stored = MakeImage(kW, kH, [&](int x, int y) { return PlainDecode(still, x, y); });
        PictureInfo info;
        ASSERT_TRUE(DecodeWebp(file, img, &info));
        EXPECT_EQ(info.exif, OrientationExif(orientation));
        EXPECT_EQ(info.icc, icc::AdobeRgb());
        ApplyOrientation(stored, Orientation(orientation));
        EXPECT_EQ(Bytes(img), Bytes(stored));
    }
}

Bytes_ Frame(int x, int y, const Bytes_& still) {
    Bytes_ b;
    int w = 0, h = 0;
    WebPGetInfo(still.data(), still.size(), &w, &h);
    Put(b, uint32_t(x / 2), 3, false), Put(b, uint32_t(y / 2), 3, false);
    Put(b, uint32_t(w - 1), 3, false), Put(b, uint32_t(h - 1), 3, false), Put(b, 100, 3, false);
    b.push_back(0);
    b.insert(b.end(), still.begin() + 12, still.end());
    return Chunk("ANMF", b);
}
Bytes_ Animation(int w, int h, const Bytes_& first) {
    return Riff({Vp8x(0x12, w, h), Chunk("ANIM", {0, 0, 0, 0xFF, 0, 0}), Frame(2, 4, first),
                 Frame(0, 0, EncodeWebp(4, 4, true, false, 7))});
}

// The first frame at its offset on a white canvas; the black background colour is a hint.
TEST(Webp, AnimationShowsItsFirstFrame) {
    const Bytes_ first = EncodeWebp(5, 3, true, true);
    cImage img;
    ASSERT_TRUE(DecodeWebp(Animation(10, 8, first), img));
    ASSERT_EQ(std::pair(img.Width(), img.Height()), std::pair(10, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 4 && y < 7;
            const Rgb expected = inside ? PlainDecode(first, x - 2, y - 4) : Rgb{255, 255, 255};
            ASSERT_EQ(PixelAt(img, x, y), expected) << x << "," << y;
        }
}

// Found by fuzzing: a lossless header claiming 5887 x 15361 over 140 bytes of damaged data, which
// once cost a cleared picture-sized buffer before the data was found wanting.
const Bytes_ kFuzzedLossless = {
    0x52, 0x49, 0x46, 0x46, 0x94, 0x00, 0x00, 0x00, 0x57, 0x45, 0x42, 0x50, 0x56, 0x50, 0x38,
    0x4C, 0x87, 0x00, 0x00, 0x00, 0x2F, 0xFE, 0x16, 0x00, 0x1F, 0xC0, 0x07, 0x00, 0x0F, 0x30,
    0xFF, 0xF3, 0x3F, 0xFF, 0xF3, 0x1F, 0x78, 0x70, 0x5B, 0x5B, 0x7B, 0x9B, 0xFC, 0x3F, 0x39,
    0xE7, 0xB0, 0x82, 0x57, 0xA0, 0x62, 0x0C, 0x7A, 0x16, 0xB1, 0x3A, 0xE8, 0x3C, 0x82, 0x46,
    0xB1, 0x36, 0x60, 0x04, 0x89, 0x8A, 0x56, 0xA5, 0xC3, 0x8F, 0x3F, 0x49, 0x5E, 0x22, 0xA2,
    0xFF, 0x89, 0x7E, 0x5A, 0x21, 0x0C, 0x1D, 0xC2, 0x58, 0x21, 0xFC, 0xA9, 0x43, 0xE0, 0x0A,
    0x81, 0xAB, 0x1C, 0x43, 0xAF, 0x31, 0x74, 0x1A, 0x53, 0x57, 0x60, 0xEB, 0x8B, 0x7A, 0xE8,
    0xA6, 0x0F, 0xF2, 0x43, 0x26, 0x37, 0x7C, 0x92, 0x9F, 0xDA, 0x81, 0x7F, 0xE1, 0xE2, 0x3F,
    0xBF, 0x4C, 0xCA, 0x9A, 0xC5, 0x6E, 0x67, 0x62, 0xEF, 0x27, 0xB1, 0x39, 0x89, 0x66, 0x92,
    0x12, 0x99, 0x60, 0xFB, 0x46, 0xB8, 0x71, 0x87, 0xF0, 0x40, 0x45, 0x68, 0x15, 0xC2, 0x5A,
    0x21, 0x1C, 0x0D, 0xC2, 0xD2, 0x20, 0x5C, 0xFA, 0x0D, 0x00, 0x00, 0x00};

// Each must fail cleanly: no picture, no metadata.
TEST(PngWebp, HostileFilesFailCleanly) {
    const Bytes_ good =
        WritePng({"rgba8", 6, 8, true}, 40, 30, OrientationExif(6), icc::AdobeRgb());
    const char kIdat[] = "IDAT";
    const size_t idat =
        size_t(std::search(good.begin(), good.end(), kIdat, kIdat + 4) - good.begin()) - 4;
    ASSERT_LT(idat + 40, good.size() - 16);
    // 100000 x 100000, 20000 x 20000 (within the side limit, not the pixel limit), 0 x 30
    const Bytes_ huge = {0, 1, 0x86, 0xA0 ^ 40, 0, 1, 0x86, 0xA0 ^ 30};
    const Bytes_ many = {0, 0, 0x4E, 0x20 ^ 40, 0, 0, 0x4E, 0x20 ^ 30};
    const Bytes_ lossless = EncodeWebp(40, 30, true, true),
                 lossy = EncodeWebp(40, 30, false, false);
    // The lossless header holds 14-bit sides less one from the 22nd byte: 16384 x 16384.
    const Bytes_ sides = {uint8_t(~lossless[21]), uint8_t(~lossless[22]), uint8_t(~lossless[23]),
                          uint8_t(0x0F & ~lossless[24])};
    // The zlib checksum alone in a last image data chunk, which libpng reads after the rows.
    const size_t idat_end = good.size() - 16;
    Bytes_ checksum_apart(good.begin(), good.begin() + long(idat));
    for (const Bytes_& part : {Bytes_(good.begin() + long(idat) + 8, good.end() - 20),
                               Bytes_{good[idat_end - 4], good[idat_end - 3], good[idat_end - 2],
                                      uint8_t(good[idat_end - 1] ^ 1)},
                               Bytes_{}}) {
        const Bytes_ chunk = PngChunk(part.empty() ? "IEND" : "IDAT", part);
        checksum_apart.insert(checksum_apart.end(), chunk.begin(), chunk.end());
    }
    const struct {
        const char* name;
        bool png;
        Bytes_ file;
    } cases[] = {
        {"empty", true, {}},
        {"signature only", true, Bytes_(good.begin(), good.begin() + 8)},
        {"cut inside the image data", true, Bytes_(good.begin(), good.begin() + long(idat) + 40)},
        {"cut before the image data", true, Bytes_(good.begin(), good.begin() + long(idat))},
        {"image data CRC wrong", true, Patched(good, good.size() - 13, {0xFF})},
        {"image data damaged", true, Patched(good, idat + 12, {0xFF, 0xFF, 0xFF}, idat)},
        {"image data checksum wrong", true, Patched(good, good.size() - 17, {1}, idat)},
        {"checksum wrong in a chunk of its own", true, checksum_apart},
        {"100000 x 100000", true, Patched(good, 16, huge, 8)},
        {"20000 x 20000", true, Patched(good, 16, many, 8)},
        {"zero width", true, Patched(good, 19, {40}, 8)},
        {"header CRC wrong", true, Patched(good, 29, {1})},
        {"garbage", true, Patched(Bytes_(200, 0x5A), 0, Bytes_(good.begin(), good.begin() + 8))},
        {"empty", false, {}},
        {"header only", false, Bytes_(lossless.begin(), lossless.begin() + 30)},
        {"cut lossless", false, Bytes_(lossless.begin(), lossless.end() - 40)},
        {"cut lossy", false, Bytes_(lossy.begin(), lossy.end() - 40)},
        {"16384 x 16384", false, Patched(lossless, 21, sides)},
        {"canvas 100000 x 100000", false, Animation(100000, 100000, lossless)},
        {"frame beyond its canvas", false, Animation(20, 20, lossless)},
        {"animation without frames", false,
         Riff({Vp8x(0x02, 10, 10), Chunk("ANIM", Bytes_(6, 0))})},
        {"garbage", false, Riff({Chunk("VP8L", Bytes_(100, 0x5A))})},
        {"fuzzed 90 Mpixel lossless", false, kFuzzedLossless},
    };
    for (const auto& c : cases) {
        cImage img;
        PictureInfo info;
        EXPECT_FALSE(c.png ? DecodePng(c.file, img, &info) : DecodeWebp(c.file, img, &info))
            << c.name;
        EXPECT_FALSE(img.PicValid()) << c.name;
        EXPECT_TRUE(info.icc.empty() && info.exif.empty()) << c.name;
    }
    cImage img;  // the files they were made from are fine
    EXPECT_TRUE(DecodePng(good, img) && DecodeWebp(lossless, img) && DecodeWebp(lossy, img));
}

}  // namespace

namespace {

// Every alpha and colour, and every row width up to 40, against the table; a row writes exactly
// its own bytes (the bytes after it keep their value).
TEST(OverWhite, RowsAgreeWithTheTableAndStayInTheirBytes) {
    std::vector<uint8_t> bgra(4 * 65536);
    for (size_t i = 0; i < 65536; ++i) {
        bgra[4 * i] = uint8_t(i), bgra[4 * i + 1] = uint8_t(i * 7), bgra[4 * i + 2] = uint8_t(~i);
        bgra[4 * i + 3] = uint8_t(i >> 8);
    }
    auto expected = [&](size_t pixel, int c) {
        return pictorra::image::OverWhiteFor(bgra[4 * pixel + 3])[bgra[4 * pixel + size_t(c)]];
    };
    std::vector<uint8_t> bgr(3 * 65536 + 16, 0xA5);
    pictorra::image::ComposeBgraOverWhite(bgra.data(), bgr.data(), 65536);
    for (size_t i = 0; i < 65536; ++i)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(bgr[3 * i + size_t(c)], expected(i, c)) << i;
    for (int32_t width = 1; width <= 40; ++width) {
        std::vector<uint8_t> row(3 * size_t(width) + 16, 0xA5);
        pictorra::image::ComposeBgraOverWhite(bgra.data() + 4 * 1000, row.data(), width);
        for (size_t b = 3 * size_t(width); b < row.size(); ++b) ASSERT_EQ(row[b], 0xA5) << width;
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(row[3 * size_t(x) + size_t(c)], expected(1000 + size_t(x), c)) << width;
    }
}

}  // namespace
