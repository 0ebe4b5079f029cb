// The BMP reader and writer. Files of every kind the reader takes are made by the small encoder
// below, written from the file format alone, and must decode to the pixels they were made from;
// damaged files must fail with code 1; WriteBMP's output is checked byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <filesystem>
#include <tuple>
#include <vector>

#include "image/c_image.h"
#include "test_support.h"

namespace {

using pictorra::image::cImage;
using namespace pictorra::test;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kFields = 3, kAlphaFields = 6;

struct Format {
    uint32_t header = 40;  // information header size
    uint16_t bits = 24;
    uint32_t compression = kRgb;
    bool top_down = false;
    uint32_t entries = 0;             // palette entries written (fewer than 2^bits: biClrUsed)
    std::array<uint32_t, 4> masks{};  // red, green, blue, alpha
};

void Put(Bytes& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// Distinct for every index, and never black.
Rgb PaletteColour(uint32_t i) {
    return {uint8_t(37 * i + 5), uint8_t(11 * i + 80), uint8_t(255 - 3 * i)};
}

// Headers and palette, then `pixels` as given. The file-size and image-size fields hold nonsense,
// as some writers leave them.
Bytes File(const Format& f, int w, int h, const Bytes& pixels) {
    Bytes info;
    Put(info, f.header, 4);
    const int side_bytes = f.header == 12 ? 2 : 4;  // OS/2 core header: 16-bit sizes
    Put(info, uint32_t(w), side_bytes);
    Put(info, uint32_t(f.top_down ? -h : h), side_bytes);
    Put(info, 1 | uint32_t(f.bits) << 16, 4);  // planes, bits
    if (f.header >= 40) {
        const bool fields = f.compression == kFields || f.compression == kAlphaFields;
        const bool short_palette = f.bits <= 8 && f.entries < (1u << f.bits);
        for (uint32_t v :
             {f.compression, 0xDEADBEEFu, 2835u, 2835u, short_palette ? f.entries : 0u, 0u})
            Put(info, v, 4);
        for (uint32_t m : f.masks) Put(info, fields ? m : 0, 4);
        info.resize(f.header);
        if (f.header == 40 && fields)
            for (int i = 0; i < (f.compression == kAlphaFields ? 4 : 3); ++i)
                Put(info, f.masks[i], 4);
    }
    Bytes file = {'B', 'M'};
    const uint32_t offset = uint32_t(14 + info.size() + f.entries * (f.header == 12 ? 3 : 4));
    for (uint32_t v : {0x7FFFFFFFu, 0u, offset}) Put(file, v, 4);
    file.insert(file.end(), info.begin(), info.end());
    for (uint32_t i = 0; i < f.entries; ++i) {
        const Rgb c = PaletteColour(i);
        file.insert(file.end(), {c.b, c.g, c.r});
        if (f.header != 12) file.push_back(0);
    }
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// The stored value of a pixel: palette index, packed bit-field pixel or 0xRRGGBB.
uint32_t Value(const Format& f, int x, int y) {
    uint32_t v = (uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u) * 0x2C1B3C6Du;
    v ^= v >> 16;
    return f.bits == 32 ? v : v & ((1u << f.bits) - 1);
}

// Rows bottom-up (or top-down), padded to 4 bytes; RLE: each row one absolute run padded to 2
// bytes and an end-of-line, then end-of-bitmap.
Bytes Pixels(const Format& f, int w, int h) {
    const bool rle = f.compression == kRle8 || f.compression == kRle4;
    const size_t align = rle ? 2 : 4;
    Bytes out;
    for (int row = 0; row < h; ++row) {
        Bytes line((size_t(w) * f.bits + 7) / 8, 0);
        for (int x = 0; x < w; ++x) {
            const uint32_t v = Value(f, x, f.top_down ? row : h - 1 - row);
            const int bit = x * f.bits;
            if (f.bits < 8) line[bit / 8] |= uint8_t(v << (8 - f.bits - bit % 8));
            for (int i = 0; i < f.bits / 8; ++i) line[bit / 8 + i] = uint8_t(v >> (8 * i));
        }
        line.resize((line.size() + align - 1) / align * align, 0);
        if (rle) out.insert(out.end(), {0, uint8_t(w)});
        out.insert(out.end(), line.begin(), line.end());
        if (rle) out.insert(out.end(), {0, 0});
    }
    if (rle) out.insert(out.end(), {0, 1});
    return out;
}

uint8_t Expand(uint32_t v, uint32_t mask) {
    const int shift = std::countr_zero(mask);
    return uint8_t(std::lround(double((v & mask) >> shift) * 255.0 / double(mask >> shift)));
}

Rgb Expected(const Format& f, uint32_t v) {
    if (f.bits <= 8) return v < f.entries ? PaletteColour(v) : Rgb{};  // beyond the palette: black
    if (f.bits == 24) return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    return {Expand(v, f.masks[0]), Expand(v, f.masks[1]), Expand(v, f.masks[2])};
}

// Header, bits, compression, top-down, palette entries, masks (uncompressed: those implied).
// OS/2 core, 8 bits: the palette is what fits before the pixels. One channel has 18 bits.
// clang-format off
const Format kFormats[] = {
    {12, 1, kRgb, false, 2}, {12, 8, kRgb, false, 3}, {16, 4, kRgb, false, 16},
    {64, 2, kRgb, true, 4}, {40, 1, kRgb, true, 1}, {40, 4, kRgb, false, 9},
    {40, 8, kRgb, false, 256}, {108, 8, kRgb, true, 200}, {124, 2, kRgb, false, 3},
    {12, 24}, {40, 24}, {52, 24, kRgb, true}, {124, 24, kRgb, true},
    {40, 16, kRgb, false, 0, {0x7C00, 0x03E0, 0x001F}},
    {40, 32, kRgb, false, 0, {0xFF0000, 0xFF00, 0xFF}},
    {108, 32, kRgb, true, 0, {0xFF0000, 0xFF00, 0xFF}},
    {40, 16, kFields, false, 0, {0xF800, 0x07E0, 0x001F}},
    {52, 16, kFields, false, 0, {0x0030, 0x000E, 0x0001}},
    {40, 16, kAlphaFields, true, 0, {0x7C00, 0x03E0, 0x001F, 0x8000}},
    {56, 16, kFields, true, 0, {0x0F00, 0x00F0, 0x000F, 0xF000}},
    {40, 32, kFields, false, 0, {0x3FF00000, 0x000FFC00, 0x000003FF}},
    {108, 32, kFields, false, 0, {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF}},
    {124, 32, kFields, true, 0, {0xFE000000, 0x01FFFF80, 0x0000007F}},
    {40, 8, kRle8, false, 256}, {124, 8, kRle8, false, 20}, {40, 4, kRle4, false, 16},
    {64, 4, kRle4, false, 5}};
// clang-format on

TEST(BmpVariant, DecodesToThePixelsWritten) {
    for (const Format& f : kFormats) {
        std::vector<std::pair<int, int>> sizes = {{7, 3}, {32, 2}};
        if (f.bits == 16) sizes.push_back({256, 128});  // large enough for a table of all values
        for (const auto& [w, h] : sizes) {
            SCOPED_TRACE(testing::Message() << "format " << &f - kFormats << ", " << w << "x" << h);
            cImage img;
            ASSERT_EQ(img.LoadPictureData(File(f, w, h, Pixels(f, w, h)), "bmp"), 0);
            ASSERT_EQ(std::pair(img.Width(), img.Height()), std::pair(w, h));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(PixelAt(img, x, y), Expected(f, Value(f, x, y))) << x << "," << y;
            // Row padding stays zero: WriteBMP writes it out.
            int dirty = 0;
            for (int i = 0; i < img.PicSize(); ++i)
                dirty += i % img.BytesPerScanLine() >= 3 * w && img.DIBitsPtr()[i] != 0;
            EXPECT_EQ(dirty, 0);
        }
    }
}

// Streams for a 4 x 3 picture with palette entries 0..3, rows bottom-up; `want` gives the palette
// index of each pixel, rows top-down, or nullptr: code 1.
TEST(BmpRle, HandMadeStreams) {
    const std::tuple<uint32_t, Bytes, const char*> cases[] = {
        {kRle8, {4, 1, 0, 0, 2, 2, 2, 3, 0, 0, 4, 3, 0, 0, 0, 1}, "3333/2233/1111"},
        {kRle8, {0, 3, 1, 2, 3, 0, 1, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 1}, "3333/2222/1231"},
        {kRle8, {1, 1, 0, 2, 1, 1, 2, 3, 0, 1}, "0000/0033/1000"},  // delta right and up
        {kRle8, {1, 1, 0, 0, 2, 2, 0, 1}, "0000/2200/1000"},        // early end of line, bitmap
        {kRle8, {1, 1, 0, 2, 0, 3, 0, 1}, "0000/0000/1000"},        // delta just past the top
        {kRle8, {4, 1, 0, 0, 4, 2, 0, 0, 4, 3}, "3333/2222/1111"},  // no end codes
        {kRle4, {4, 0x12, 0, 0, 3, 0x30, 1, 0x20, 0, 0, 4, 0x33, 0, 1}, "3333/3032/1212"},
        {kRle4, {0, 3, 0x12, 0x30, 1, 0x10, 0, 0, 0, 1}, "0000/0000/1231"},
        {kRle4, {0, 2, 3, 2, 1, 0x20, 0, 1}, "0002/0000/0000"},
        {kRle8, {3, 1, 2, 1, 0, 1}, nullptr},              // run past the row
        {kRle8, {0, 5, 1, 1, 1, 1, 1, 0, 0, 1}, nullptr},  // absolute run past the row
        {kRle8, {0, 4, 1, 1}, nullptr},                    // absolute run cut short
        {kRle8, {0, 2, 5, 0, 0, 1}, nullptr},              // delta past the row
        {kRle8, {0, 2, 0, 3, 1, 1, 0, 1}, nullptr},        // delta to the top, a pixel
        {kRle8, {0, 0, 0, 0, 0, 0, 1, 1, 0, 1}, nullptr},  // pixels above the top row
        {kRle8, {0, 2, 1}, nullptr},                       // delta cut short
        {kRle8, {4, 1, 0, 0, 4, 2}, nullptr}};             // stream ends mid-picture
    for (const auto& [compression, stream, want] : cases) {
        SCOPED_TRACE(&stream - &std::get<1>(cases[0]));
        const Format f{40, uint16_t(compression == kRle8 ? 8 : 4), compression, false, 4};
        cImage img;
        ASSERT_EQ(img.LoadPictureData(File(f, 4, 3, stream), "bmp"), want ? 0 : 1);
        for (int i = 0; want && want[i]; ++i) {
            if (want[i] == '/') continue;
            EXPECT_EQ(PixelAt(img, i % 5, i / 5), PaletteColour(uint32_t(want[i] - '0'))) << i;
        }
    }
}

TEST(BmpReader, HostileFilesFailWithCode1) {
    const Format pal{40, 8, kRgb, false, 16}, rle{40, 8, kRle8, false, 16},
        f565{40, 16, kFields, false, 0, {0xF800, 0x07E0, 0x001F}};
    const Bytes rgb = File({}, 5, 3, Pixels({}, 5, 3)), pal8 = File(pal, 6, 4, Pixels(pal, 6, 4)),
                rle8 = File(rle, 7, 3, Pixels(rle, 7, 3)),
                fields = File(f565, 5, 3, Pixels(f565, 5, 3));
    auto with = [](Bytes b, size_t at, uint32_t v, int bytes = 4) {
        for (int i = 0; i < bytes; ++i) b[at + i] = uint8_t(v >> (8 * i));
        return b;
    };
    auto cut = [](const Bytes& b, size_t n) {
        return Bytes(b.begin(), b.begin() + std::ptrdiff_t(n));
    };
    // clang-format off
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}}, {"magic only", {'B', 'M'}}, {"cut in the file header", cut(rgb, 13)},
        {"cut in the info header", cut(rgb, 30)}, {"cut before the pixels", cut(rgb, 54)},
        {"cut in the palette", cut(pal8, 80)},
        {"cut in the masks", cut(fields, 60)}, {"magic BA", with(rgb, 1, 'A', 1)},
        {"header size 41", with(rgb, 14, 41)}, {"width 0", with(rgb, 18, 0)},
        {"width -5", with(rgb, 18, uint32_t(-5))}, {"width 65536", with(rgb, 18, 65536)},
        {"height 0", with(rgb, 22, 0)}, {"height INT32_MIN", with(rgb, 22, 0x80000000)},
        {"too many pixels", with(with(rgb, 18, 16384), 22, 16384)},
        {"huge, pixels missing", with(with(rgb, 18, 65535), 22, 2048)},
        {"huge palette picture", with(with(pal8, 18, 11585), 22, 11585)},
        {"huge RLE, stream short", with(with(cut(rle8, rle8.size() - 4), 18, 65535), 22, 2048)},
        {"planes 2", with(rgb, 26, 2, 2)}, {"bits 3", with(rgb, 28, 3, 2)},
        {"JPEG compression", with(rgb, 30, 4)}, {"RLE8 at 24 bits", with(rgb, 30, kRle8)},
        {"RLE4 at 8 bits", with(rle8, 30, kRle4)}, {"top-down RLE", with(rle8, 22, uint32_t(-3))},
        {"bit fields at 24 bits", with(rgb, 30, kFields)}, {"offset 0", with(rgb, 10, 0)},
        {"offset in the header", with(rgb, 10, 53)}, {"offset in the masks", with(fields, 10, 60)},
        {"offset at the end", with(rgb, 10, uint32_t(rgb.size()))},
        {"offset 0xFFFFFFFF", with(rgb, 10, 0xFFFFFFFF)}, {"no palette", with(pal8, 10, 54)},
        {"blue mask 0", with(fields, 62, 0)}, {"masks overlap", with(fields, 54, 0xFC00)},
        {"mask with a gap", with(fields, 54, 0xD800)},
        {"mask beyond 16 bits", with(fields, 54, 0x1F0000)},
    };
    // clang-format on
    for (const auto& [name, file] : cases) {
        cImage img;
        ASSERT_EQ(img.CreateDIB(2, 2), 0);
        EXPECT_EQ(img.LoadPictureData(file, "bmp"), 1) << name;
        EXPECT_FALSE(img.PicValid()) << name;  // the previous picture is gone too
    }
    // The pixel data may end right after the last row's last pixel byte (its padding missing),
    // never a byte sooner; a sub-byte depth's last pixels share their byte.
    for (const Format& f : {Format{}, Format{40, 1, kRgb, true, 2}, Format{40, 4, kRgb, false, 16},
                            Format{40, 16, kRgb, false, 0, {0x7C00, 0x03E0, 0x001F}}}) {
        const Bytes whole = File(f, 5, 3, Pixels(f, 5, 3));
        const size_t padding = (5 * f.bits + 31) / 32 * 4 - (5 * f.bits + 7) / 8;
        cImage img;
        EXPECT_EQ(img.LoadPictureData(cut(whole, whole.size() - padding), "bmp"), 0) << f.bits;
        EXPECT_EQ(img.LoadPictureData(cut(whole, whole.size() - padding - 1), "bmp"), 1) << f.bits;
    }
    cImage img;  // the largest side
    EXPECT_EQ(img.LoadPictureData(File({}, 65535, 1, Pixels({}, 65535, 1)), "bmp"), 0);
}

Rgb Colour(int x, int y) { return {uint8_t(10 * x + 1), uint8_t(20 * y + 2), uint8_t(x * y + 3)}; }

TEST(WriteBmp, WritesTheHeaderAndTheRowsAsHeld) {
    const TempDir dir;
    const std::string path = dir.File("a.bmp");
    for (const auto& [w, h, size] : {std::tuple{3, 2, 78u}, {4, 1, 66u}, {640, 480, 921654u}}) {
        SCOPED_TRACE(size);
        const cImage img = MakeImage(w, h, Colour);
        ASSERT_EQ(img.WriteBMP(path), 0);
        Bytes want = {'B', 'M'};
        for (uint32_t v : {size, 0u, 54u, 40u, uint32_t(w), uint32_t(h)}) Put(want, v, 4);
        Put(want, 1 | 24 << 16, 4);  // planes, bits
        for (uint32_t v : {0u, size - 54, 0u, 0u, 0u, 0u}) Put(want, v, 4);
        for (int y = h - 1; y >= 0; --y) {  // bottom row first, each padded to 4 bytes
            for (int x = 0; x < w; ++x) {
                const Rgb c = Colour(x, y);
                want.insert(want.end(), {c.b, c.g, c.r});
            }
            want.resize(want.size() + (4 - 3 * w % 4) % 4, 0);
        }
        EXPECT_EQ(ReadFileBytes(path), want);
    }
}

TEST(WriteBmp, NoFileFromAnEmptyBufferOrIntoAMissingFolder) {
    const TempDir dir;
    EXPECT_EQ(cImage().WriteBMP(dir.File("a.bmp")), pictorra::image::kWriteEmptyBuffer);
    EXPECT_EQ(MakeImage(3, 2, Colour).WriteBMP(dir.File("missing/a.bmp")),
              pictorra::image::kWriteCannotCreate);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
