// The BMP reader and writer: every variant made by the test encoder decodes to the picture it was
// made from; hostile files fail with load code 1, promptly; WriteBMP writes the 54-byte header and
// the rows as held, and reads back unchanged.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "bmp_encoder.h"
#include "image/c_image.h"
#include "image/codecs.h"
#include "test_support.h"

namespace fs = std::filesystem;
using pictorra::image::cImage;
using namespace pictorra::test;
using namespace pictorra::test::bmp;

namespace {

// A repeatable pseudo-random value for each pixel.
uint32_t Hash(int x, int y, uint32_t salt) {
    uint32_t v = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
    v ^= v >> 15;
    v *= 0x2C1B3C6Du;
    v ^= v >> 12;
    return v;
}

std::vector<Rgb> MakePalette(size_t n, uint32_t salt) {
    std::vector<Rgb> pal;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t v = Hash(int(i), 7, salt);
        pal.push_back({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
    }
    return pal;
}

// One channel of a bit-field pixel expanded to 8 bits: round(v x 255 / max), computed plainly.
uint8_t Expand(uint32_t pixel, uint32_t mask) {
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const double max = double(mask >> shift);
    return uint8_t(std::lround(double((pixel & mask) >> shift) * 255.0 / max));
}

struct DecodeCase {
    std::string name;
    BmpFormat format;
    // Stored value of each pixel, and the colour the reader must give it.
    std::function<uint32_t(int x, int y, int w, int h)> value;
    std::function<Rgb(uint32_t stored)> colour;
    std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 3}, {7, 5}, {33, 9}};
};

std::ostream& operator<<(std::ostream& os, const DecodeCase& c) { return os << c.name; }

std::vector<DecodeCase> PaletteCases() {
    std::vector<DecodeCase> cases;
    for (uint16_t bits : {1, 2, 4, 8}) {
        for (uint32_t header : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
            for (bool full : {true, false}) {
                for (bool top_down : {false, true}) {
                    if (top_down && header == 12) continue;  // 16-bit unsigned height there
                    const size_t max_entries = size_t(1) << bits;
                    const size_t entries = full ? max_entries : max_entries / 2 + 1;
                    if (!full && bits == 1) continue;  // covered by the one-entry case below
                    DecodeCase c;
                    std::ostringstream name;
                    name << "pal" << bits << "_h" << header << (full ? "_full" : "_short")
                         << (top_down ? "_topdown" : "");
                    c.name = name.str();
                    c.format.header_size = header;
                    c.format.bits = bits;
                    c.format.top_down = top_down;
                    c.format.palette = MakePalette(entries, bits * 1000 + header);
                    c.format.clr_used = full ? 0 : uint32_t(entries);
                    const auto pal = c.format.palette;
                    // Every index the depth allows, so a short palette meets indices beyond it.
                    c.value = [bits](int x, int y, int, int) {
                        return Hash(x, y, bits) % (1u << bits);
                    };
                    c.colour = [pal](uint32_t i) { return i < pal.size() ? pal[i] : Rgb{}; };
                    cases.push_back(std::move(c));
                }
            }
        }
    }
    // One-entry 1-bit palette, a palette longer than the depth allows (300 entries for 8 bits,
    // only 256 are used) and unused bytes between the palette and the pixels.
    for (uint32_t n : {1u, 300u}) {
        DecodeCase c;
        c.name = n == 1 ? "pal1_one_entry" : "pal8_oversize_palette_gap";
        c.format.bits = n == 1 ? 1 : 8;
        c.format.palette = MakePalette(n, n);
        c.format.clr_used = n;
        c.format.gap = n == 1 ? 0 : 100;
        const uint16_t bits = c.format.bits;
        const auto pal = c.format.palette;
        c.value = [bits](int x, int y, int, int) { return Hash(x, y, 5) % (1u << bits); };
        c.colour = [pal](uint32_t i) { return i < pal.size() ? pal[i] : Rgb{}; };
        cases.push_back(std::move(c));
    }
    return cases;
}

std::vector<DecodeCase> TrueColourCases() {
    std::vector<DecodeCase> cases;
    // 24 bits: 0xRRGGBB stored as blue, green, red.
    for (uint32_t header : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
        for (bool top_down : {false, true}) {
            if (top_down && header == 12) continue;
            for (bool with_palette : {false, true}) {
                if (with_palette && header != 40) continue;
                DecodeCase c;
                c.name = "rgb24_h" + std::to_string(header) + (top_down ? "_topdown" : "") +
                         (with_palette ? "_unused_palette" : "");
                c.format.header_size = header;
                c.format.top_down = top_down;
                if (with_palette) {
                    c.format.palette = MakePalette(256, 24);
                    c.format.clr_used = 256;
                    c.format.gap = 3;
                }
                c.value = [](int x, int y, int, int) { return Hash(x, y, 24) & 0xFFFFFF; };
                c.colour = [](uint32_t v) {
                    return Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
                };
                c.sizes.push_back({4, 2});
                c.sizes.push_back({5, 3});
                cases.push_back(std::move(c));
            }
        }
    }
    // 16 and 32 bits, plain (BI_RGB: 5-5-5 and 8-8-8 with the top bits unused).
    for (uint16_t bits : {16, 32}) {
        for (uint32_t header : {40u, 64u, 108u, 124u}) {
            for (bool top_down : {false, true}) {
                DecodeCase c;
                c.name = "rgb" + std::to_string(bits) + "_plain_h" + std::to_string(header) +
                         (top_down ? "_topdown" : "");
                c.format.header_size = header;
                c.format.bits = bits;
                c.format.top_down = top_down;
                // The unused top bits are set too: they must not matter.
                c.value = [bits](int x, int y, int, int) {
                    return bits == 16 ? Hash(x, y, 16) & 0xFFFF : Hash(x, y, 32);
                };
                if (bits == 16) {
                    c.colour = [](uint32_t v) {
                        return Rgb{Expand(v, 0x7C00), Expand(v, 0x03E0), Expand(v, 0x001F)};
                    };
                } else {
                    c.colour = [](uint32_t v) {
                        return Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
                    };
                }
                cases.push_back(std::move(c));
            }
        }
    }
    // Bit fields.
    struct Fields {
        const char* name;
        uint16_t bits;
        std::array<uint32_t, 4> masks;
    };
    const Fields fields[] = {
        {"565", 16, {0xF800, 0x07E0, 0x001F, 0}},
        {"555", 16, {0x7C00, 0x03E0, 0x001F, 0}},
        {"5551", 16, {0x7C00, 0x03E0, 0x001F, 0x8000}},
        {"4444", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}},
        {"1924", 16, {0x0800, 0x01FF, 0x0600, 0xF000}},
        {"231", 16, {0x0030, 0x000E, 0x0001, 0}},
        {"3103", 16, {0x0038, 0xFFC0, 0x0007, 0}},
        {"888", 32, {0xFF0000, 0x00FF00, 0x0000FF, 0}},
        {"8888", 32, {0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000}},
        {"bgra_order", 32, {0xFF000000, 0x0000FF00, 0x000000FF, 0x00FF0000}},
        {"rgba_bytes", 32, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}},
        {"xbgr", 32, {0xFF000000, 0x00FF0000, 0x0000FF00, 0}},
        {"1010102", 32, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}},
        {"111110", 32, {0xFFE00000, 0x001FFC00, 0x000003FF, 0}},
        {"7187", 32, {0xFE000000, 0x01FFFF80, 0x0000007F, 0}},  // an 18-bit channel
        {"61754", 32, {0x0FC00000, 0x003FFFE0, 0x0000001F, 0xF0000000}},
        {"81284", 32, {0x0000FF00, 0x0FFF0000, 0x000000FF, 0xF0000000}},
    };
    for (const Fields& f : fields) {
        for (uint32_t header : {40u, 52u, 56u, 108u, 124u}) {
            for (uint32_t compression : {kBitfields, kAlphaBitfields}) {
                if (compression == kAlphaBitfields && header != 40) continue;
                // An alpha mask is only written where the header has room for it.
                if (f.masks[3] != 0 && header == 52) continue;
                DecodeCase c;
                c.name = std::string("bitfields") + std::to_string(f.bits) + "_" + f.name + "_h" +
                         std::to_string(header) + (compression == kAlphaBitfields ? "_abf" : "");
                c.format.header_size = header;
                c.format.bits = f.bits;
                c.format.compression = compression;
                c.format.masks = f.masks;
                const uint16_t bits = f.bits;
                const auto m = f.masks;
                c.value = [bits](int x, int y, int, int) {
                    return bits == 16 ? Hash(x, y, 99) & 0xFFFF : Hash(x, y, 99);
                };
                c.colour = [m](uint32_t v) {
                    return Rgb{Expand(v, m[0]), Expand(v, m[1]), Expand(v, m[2])};
                };
                cases.push_back(std::move(c));
            }
        }
    }
    // Bit fields with a (short, unused) palette after the masks, as bmpsuite's rgb16-565pal.
    {
        DecodeCase c;
        c.name = "bitfields16_565_with_palette";
        c.format.bits = 16;
        c.format.compression = kBitfields;
        c.format.masks = {0xF800, 0x07E0, 0x001F, 0};
        c.format.palette = MakePalette(256, 3);
        c.format.clr_used = 256;
        c.value = [](int x, int y, int, int) { return Hash(x, y, 4) & 0xFFFF; };
        c.colour = [](uint32_t v) {
            return Rgb{Expand(v, 0xF800), Expand(v, 0x07E0), Expand(v, 0x001F)};
        };
        cases.push_back(std::move(c));
    }
    return cases;
}

std::vector<DecodeCase> RleCases() {
    std::vector<DecodeCase> cases;
    enum class Content { kRuns, kNoise, kSkips, kSkipTail };
    const std::pair<Content, const char*> contents[] = {{Content::kRuns, "runs"},
                                                        {Content::kNoise, "noise"},
                                                        {Content::kSkips, "deltas_eol"},
                                                        {Content::kSkipTail, "early_eob"}};
    for (uint32_t compression : {kRle8, kRle4}) {
        const uint16_t bits = compression == kRle8 ? 8 : 4;
        for (uint32_t header : {40u, 64u, 108u, 124u}) {
            for (bool full : {true, false}) {
                for (const auto& [content, content_name] : contents) {
                    DecodeCase c;
                    c.name = std::string(compression == kRle8 ? "rle8" : "rle4") + "_h" +
                             std::to_string(header) + (full ? "_full_" : "_short_") + content_name;
                    c.format.header_size = header;
                    c.format.bits = bits;
                    c.format.compression = compression;
                    const size_t entries = full ? (size_t(1) << bits) : 5;
                    c.format.palette = MakePalette(entries, compression * 7 + header);
                    c.format.clr_used = full ? 0 : uint32_t(entries);
                    const uint32_t n = 1u << bits;
                    c.value = [content, n](int x, int y, int w, int h) -> uint32_t {
                        const uint32_t noise = Hash(x, y, 77) % n;
                        const uint32_t runs = uint32_t(x / 5 + y) % n;
                        switch (content) {
                            case Content::kRuns:
                                return runs;
                            case Content::kNoise:
                                return noise;
                            case Content::kSkips:
                                // A hole inside rows (deltas), rows whose end is skipped (EOL),
                                // and whole skipped rows.
                                if (x >= w / 3 && x < w / 3 + 2 + w / 4) return kSkip;
                                if (y % 3 == 1 && x >= w - 3) return kSkip;
                                if (h > 4 && y == h / 2) return kSkip;
                                return (x + y) % 2 ? runs : noise;
                            case Content::kSkipTail:
                                // The top rows are left out: end-of-bitmap comes early.
                                if (y < h / 2 || (y == h / 2 && x >= w / 2)) return kSkip;
                                return (x + y) % 2 ? runs : noise;
                        }
                        return 0;
                    };
                    const auto pal = c.format.palette;
                    c.colour = [pal](uint32_t i) {
                        if (i == kSkip) return pal[0];
                        return i < pal.size() ? pal[i] : Rgb{};
                    };
                    c.sizes.push_back({300, 3});  // runs and absolute runs longer than 255
                    c.sizes.push_back({256, 2});
                    cases.push_back(std::move(c));
                }
            }
        }
    }
    return cases;
}

std::string CaseName(const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; }

class BmpDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(BmpDecode, MatchesThePictureItWasMadeFrom) {
    const DecodeCase& c = GetParam();
    for (const auto& [w, h] : c.sizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const PixelFn value = [&, w = w, h = h](int x, int y) { return c.value(x, y, w, h); };
        const Bytes file = EncodeBmp(w, h, c.format, value);
        cImage img;
        ASSERT_EQ(img.LoadPictureData(file, "bmp"), 0);
        ASSERT_EQ(img.Width(), w);
        ASSERT_EQ(img.Height(), h);
        ASSERT_EQ(img.BitCount(), 24);
        int wrong = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const Rgb want = c.colour(value(x, y));
                const Rgb got = PixelAt(img, x, y);
                if (got != want && ++wrong <= 5) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << int(got.r) << ","
                                  << int(got.g) << "," << int(got.b) << " instead of "
                                  << int(want.r) << "," << int(want.g) << "," << int(want.b);
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        // Padding bytes of the buffer stay zero (the BMP writer writes them out).
        const int stride = img.BytesPerScanLine();
        for (int row = 0; row < h; ++row)
            for (int i = 3 * w; i < stride; ++i)
                ASSERT_EQ(img.DIBitsPtr()[row * stride + i], 0) << "row " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(Palette, BmpDecode, testing::ValuesIn(PaletteCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(TrueColour, BmpDecode, testing::ValuesIn(TrueColourCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Rle, BmpDecode, testing::ValuesIn(RleCases()), CaseName);

// ---- hand-made RLE streams ----------------------------------------------------------------

// A 4 x 3 RLE8 picture with palette entries 0..3 = the colours below; rows of `want` top-down,
// each character an entry ('0'..'3').
const std::vector<Rgb> kRlePalette = {{10, 20, 30}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}};

Bytes RleFile(uint32_t compression, const Bytes& stream, int w = 4, int h = 3) {
    BmpFormat format;
    format.bits = compression == kRle8 ? 8 : 4;
    format.compression = compression;
    format.palette = kRlePalette;
    format.clr_used = uint32_t(kRlePalette.size());
    // Build with a dummy all-skipped picture, then put the stream in place of its pixels.
    Bytes file = EncodeBmp(w, h, format, [](int, int) { return kSkip; });
    const uint32_t offset = file[kOffBits] | (file[kOffBits + 1] << 8);
    file.resize(offset);
    file.insert(file.end(), stream.begin(), stream.end());
    Set32(file, 2, uint32_t(file.size()));
    return file;
}

struct RleStreamCase {
    const char* name;
    uint32_t compression;
    Bytes stream;
    const char* want;  // rows top-down separated by '/', or nullptr when the file must fail
};

class BmpRleStream : public testing::TestWithParam<RleStreamCase> {};

TEST_P(BmpRleStream, DecodesAsSpecified) {
    const RleStreamCase& c = GetParam();
    cImage img;
    const int32_t code = img.LoadPictureData(RleFile(c.compression, c.stream), "bmp");
    if (c.want == nullptr) {
        EXPECT_EQ(code, 1);
        EXPECT_FALSE(img.PicValid());
        return;
    }
    ASSERT_EQ(code, 0);
    std::string rows = c.want;
    int y = 0, x = 0;
    for (char ch : rows) {
        if (ch == '/') {
            ++y;
            x = 0;
            continue;
        }
        EXPECT_EQ(PixelAt(img, x, y), kRlePalette[size_t(ch - '0')]) << "pixel " << x << "," << y;
        ++x;
    }
}

// clang-format off
const RleStreamCase kRleStreams[] = {
    // Rows are bottom-up in the stream; `want` is top-down.
    {"runs_eol_eob", kRle8, {4, 1, 0, 0, 2, 2, 2, 3, 0, 0, 4, 3, 0, 0, 0, 1}, "3333/2233/1111"},
    {"absolute_odd_padded", kRle8, {0, 3, 1, 2, 3, 0, 1, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 1},
     "3333/2222/1231"},
    {"delta_right_and_up", kRle8, {1, 1, 0, 2, 1, 1, 2, 3, 0, 1}, "0000/0033/1000"},
    {"delta_to_row_end_then_eol", kRle8, {2, 1, 0, 2, 2, 0, 0, 0, 4, 2, 0, 1}, "0000/2222/1100"},
    {"early_eol_and_eob", kRle8, {1, 1, 0, 0, 2, 2, 0, 1}, "0000/2200/1000"},
    {"eob_at_once", kRle8, {0, 1}, "0000/0000/0000"},
    {"no_eob_after_last_pixel", kRle8, {4, 1, 0, 0, 4, 2, 0, 0, 4, 3}, "3333/2222/1111"},
    {"no_eob_after_last_eol", kRle8, {4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 0}, "3333/2222/1111"},
    {"final_absolute_without_pad_byte", kRle8, {4, 1, 0, 0, 4, 2, 0, 0, 1, 3, 0, 3, 3, 3, 3},
     "3333/2222/1111"},
    {"absolute_pad_byte_is_skipped", kRle8, {4, 1, 0, 0, 4, 2, 0, 0, 0, 3, 3, 3, 3, 1, 3},
     nullptr},  // the "1" is the pad byte, so the row stays one pixel short
    {"rle4_runs_alternate", kRle4, {4, 0x12, 0, 0, 3, 0x30, 1, 0x20, 0, 0, 4, 0x33, 0, 1},
     "3333/3032/1212"},
    {"rle4_absolute_odd", kRle4, {0, 3, 0x12, 0x30, 1, 0x10, 0, 0, 0, 1}, "0000/0000/1231"},
    {"rle4_delta", kRle4, {0, 2, 3, 2, 1, 0x20, 0, 1}, "0002/0000/0000"},
    // Failures.
    {"run_past_row", kRle8, {5, 1, 0, 1}, nullptr},
    {"run_past_row_after_pixels", kRle8, {3, 1, 2, 1, 0, 1}, nullptr},
    {"absolute_past_row", kRle8, {0, 5, 1, 1, 1, 1, 1, 0, 0, 1}, nullptr},
    {"absolute_truncated", kRle8, {0, 4, 1, 1}, nullptr},
    {"rle4_absolute_truncated", kRle4, {0, 5, 0x11, 0x11}, nullptr},
    {"delta_past_row", kRle8, {0, 2, 5, 0, 0, 1}, nullptr},
    {"delta_past_top", kRle8, {0, 2, 0, 4, 0, 1}, nullptr},
    {"delta_truncated", kRle8, {0, 2, 1}, nullptr},
    {"pixels_past_top", kRle8, {0, 0, 0, 0, 0, 0, 1, 1, 0, 1}, nullptr},
    {"eol_past_top", kRle8, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, nullptr},
    {"delta_to_top_then_pixel", kRle8, {0, 2, 0, 3, 1, 1, 0, 1}, nullptr},
    {"stream_ends_mid_picture", kRle8, {4, 1, 0, 0, 4, 2}, nullptr},
    {"stream_ends_mid_run", kRle8, {4, 1, 0, 0, 4, 2, 0, 0, 4}, nullptr},
    {"empty_stream", kRle8, {}, nullptr},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Streams, BmpRleStream, testing::ValuesIn(kRleStreams),
                         [](const testing::TestParamInfo<RleStreamCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(BmpRle, TopDownIsRefused) {
    Bytes file = RleFile(kRle8, {4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 1});
    Set32(file, kHeight, uint32_t(-3));
    cImage img;
    EXPECT_EQ(img.LoadPictureData(file, "bmp"), 1);
}

// ---- hostile files ------------------------------------------------------------------------

Bytes Prefix(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + std::ptrdiff_t(n)); }

Bytes Base24(int w = 5, int h = 3) {
    return EncodeBmp(w, h, BmpFormat{}, [](int x, int y) { return Hash(x, y, 1) & 0xFFFFFF; });
}

Bytes BasePal8() {
    BmpFormat format;
    format.bits = 8;
    format.palette = MakePalette(16, 8);
    format.clr_used = 16;
    return EncodeBmp(6, 4, format, [](int x, int y) { return Hash(x, y, 2) % 16; });
}

Bytes BaseBitfields16() {
    BmpFormat format;
    format.bits = 16;
    format.compression = kBitfields;
    format.masks = {0xF800, 0x07E0, 0x001F, 0};
    return EncodeBmp(5, 3, format, [](int x, int y) { return Hash(x, y, 3) & 0xFFFF; });
}

Bytes BaseBitfields32V5() {
    BmpFormat format;
    format.header_size = 124;
    format.bits = 32;
    format.compression = kBitfields;
    format.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    return EncodeBmp(5, 3, format, [](int x, int y) { return Hash(x, y, 3); });
}

Bytes BaseRle8(int w = 9, int h = 4) {
    BmpFormat format;
    format.bits = 8;
    format.compression = kRle8;
    format.palette = MakePalette(256, 9);
    return EncodeBmp(w, h, format,
                     [](int x, int y) { return uint32_t(x / 3 + (x % 4 == 3) * y * 7) % 256; });
}

Bytes BaseRle4() {
    BmpFormat format;
    format.bits = 4;
    format.compression = kRle4;
    format.palette = MakePalette(16, 4);
    return EncodeBmp(11, 4, format,
                     [](int x, int y) { return x < 5 ? uint32_t(y % 3) : Hash(x, y, 4) % 16; });
}

Bytes BaseOs2Core() {
    BmpFormat format;
    format.header_size = 12;
    format.bits = 4;
    format.palette = MakePalette(16, 12);
    return EncodeBmp(7, 3, format, [](int x, int y) { return Hash(x, y, 12) % 16; });
}

struct HostileCase {
    std::string name;
    Bytes file;
};

std::ostream& operator<<(std::ostream& os, const HostileCase& c) { return os << c.name; }

std::vector<HostileCase> HostileCases() {
    std::vector<HostileCase> cases;
    auto add = [&](std::string name, Bytes file) {
        cases.push_back({std::move(name), std::move(file)});
    };
    auto with32 = [](Bytes b, size_t at, uint32_t v) {
        Set32(b, at, v);
        return b;
    };
    auto with16 = [](Bytes b, size_t at, uint32_t v) {
        Set16(b, at, v);
        return b;
    };

    add("empty", {});
    add("one_byte", {'B'});
    add("magic_only", {'B', 'M'});
    add("file_header_only", Prefix(Base24(), 14));
    add("zero_bytes", Bytes(200, 0));
    for (const char* magic : {"BA", "MB", "bm", "CI", "\x89P"}) {
        Bytes b = Base24();
        b[0] = uint8_t(magic[0]);
        b[1] = uint8_t(magic[1]);
        add(std::string("magic_") + (magic[0] == '\x89' ? "png" : magic), b);
    }
    for (uint32_t size : {0u, 11u, 13u, 20u, 41u, 66u, 128u, 0xFFFFFFFFu})
        add("header_size_" + std::to_string(size), with32(Base24(), kHeaderSize, size));
    add("header_size_beyond_file", with32(Prefix(Base24(), 60), kHeaderSize, 124));

    // Sizes.
    for (int32_t w : {0, -1, -5, INT32_MIN, 65536, INT32_MAX})
        add("width_" + std::to_string(w), with32(Base24(), kWidth, uint32_t(w)));
    for (int32_t h : {0, INT32_MIN, -65536, 65536, INT32_MAX})
        add("height_" + std::to_string(h), with32(Base24(), kHeight, uint32_t(h)));
    add("pixels_beyond_limit", with32(with32(Base24(), kWidth, 16384), kHeight, 16384));
    add("pixels_just_beyond_limit", with32(with32(Base24(), kWidth, 65535), kHeight, 2049));
    // Loadable sizes whose pixels are not in the file: refused before anything is allocated.
    add("huge_declared_24", with32(with32(Base24(), kWidth, 65535), kHeight, 2048));
    add("huge_declared_topdown", with32(with32(Base24(), kWidth, 2048), kHeight, uint32_t(-65535)));
    add("huge_declared_pal8", with32(with32(BasePal8(), kWidth, 11585), kHeight, 11585));
    // (Without its last end-of-line and end-of-bitmap codes: complete, the stream would be a valid
    // picture of that size whose unset pixels take palette entry 0.)
    add("huge_declared_rle8_truncated",
        with32(with32(Prefix(BaseRle8(), BaseRle8().size() - 4), kWidth, 65535), kHeight, 2048));
    {
        Bytes os2 = BaseOs2Core();
        Set16(os2, 18, 65535);
        Set16(os2, 20, 2048);
        add("huge_declared_os2", os2);
    }

    // Planes, depth, compression.
    for (uint32_t planes : {0u, 2u, 30000u})
        add("planes_" + std::to_string(planes), with16(Base24(), kPlanes, planes));
    for (uint32_t bits : {0u, 3u, 5u, 12u, 48u, 64u, 30000u})
        add("bits_" + std::to_string(bits), with16(Base24(), kBitCount, bits));
    for (uint32_t compression : {4u, 5u, 7u, 11u, 12u, 13u, 0xFFFFFFFFu})
        add("compression_" + std::to_string(compression),
            with32(Base24(), kCompression, compression));
    add("rle8_with_4_bits", with16(BaseRle8(), kBitCount, 4));
    add("rle4_with_8_bits", with16(BaseRle4(), kBitCount, 8));
    add("rle8_with_24_bits", with16(with32(Base24(), kCompression, kRle8), kBitCount, 24));
    add("bitfields_with_24_bits", with16(BaseBitfields16(), kBitCount, 24));
    add("bitfields_with_8_bits", with16(BaseBitfields16(), kBitCount, 8));
    {
        // OS/2 2.x (64-byte header) uses 3 for Huffman 1D and 4 for RLE24: refused.
        BmpFormat format;
        format.header_size = 64;
        format.bits = 1;
        format.palette = MakePalette(2, 64);
        Bytes os2 = EncodeBmp(8, 2, format, [](int x, int) { return uint32_t(x & 1); });
        add("os2v2_huffman", with32(os2, kCompression, 3));
        add("os2v2_rle24", with16(with32(os2, kCompression, 4), kBitCount, 24));
    }

    // Pixel offsets.
    for (uint32_t offset : {0u, 2u, 13u, 14u, 53u})
        add("offset_" + std::to_string(offset), with32(Base24(), kOffBits, offset));
    add("offset_at_end", with32(Base24(), kOffBits, uint32_t(Base24().size())));
    add("offset_past_end", with32(Base24(), kOffBits, uint32_t(Base24().size()) + 1000));
    add("offset_max", with32(Base24(), kOffBits, 0xFFFFFFFF));
    add("offset_leaves_short_pixels", with32(Base24(), kOffBits, 54 + 16));
    add("offset_inside_masks", with32(BaseBitfields16(), kOffBits, 60));
    add("offset_inside_v5_header", with32(BaseBitfields32V5(), kOffBits, 100));
    add("palette_picture_without_palette", with32(BasePal8(), kOffBits, 54));
    add("rle_offset_past_end", with32(BaseRle8(), kOffBits, uint32_t(BaseRle8().size())));

    // Bit-field masks: zero, overlapping, not contiguous, wider than the pixel.
    const std::pair<const char*, std::array<uint32_t, 3>> bad_masks[] = {
        {"all_zero", {0, 0, 0}},
        {"blue_zero", {0xF800, 0x07E0, 0}},
        {"red_zero_880", {0, 0xFF00, 0xFF}},
        {"overlap_red_green", {0xFC00, 0x07E0, 0x001F}},
        {"same_mask_twice", {0x001F, 0x07E0, 0x001F}},
        {"not_contiguous", {0xF801, 0x07E0, 0x001E}},
        {"beyond_16_bits", {0x1F0000, 0x07E0, 0x001F}},
    };
    for (const auto& [name, m] : bad_masks) {
        Bytes b = BaseBitfields16();
        for (int i = 0; i < 3; ++i) Set32(b, kMasks + 4 * i, m[i]);
        add(std::string("masks16_") + name, b);
    }
    {
        Bytes b = BaseBitfields32V5();
        Set32(b, kMasks + 12, 0x000000FF);  // alpha overlaps blue
        add("masks32_alpha_overlaps_blue", b);
        Bytes z = BaseBitfields32V5();
        for (int i = 0; i < 4; ++i) Set32(z, kMasks + 4 * i, 0);
        add("masks32_all_zero", z);
    }
    add("masks_truncated", Prefix(BaseBitfields16(), 62));

    // Truncated pixel data.
    add("shortfile_24", Prefix(Base24(), Base24().size() - 5));
    add("shortfile_pal8_half", Prefix(BasePal8(), 54 + 64 + 10));
    add("shortfile_rle8", Prefix(BaseRle8(), BaseRle8().size() - 8));
    return cases;
}

class BmpHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(BmpHostile, FailsWithCode1Promptly) {
    const HostileCase& c = GetParam();
    cImage img;
    ASSERT_EQ(img.CreateDIB(2, 2), 0);  // a previous picture is released on failure
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(img.LoadPictureData(c.file, "bmp"), 1);
    EXPECT_EQ(img.LoadPictureData(c.file, ""), 1);  // told by content
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(img.PicValid());
    EXPECT_LT(seconds, 0.5);
}

INSTANTIATE_TEST_SUITE_P(Files, BmpHostile, testing::ValuesIn(HostileCases()),
                         [](const testing::TestParamInfo<HostileCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST(BmpHardening, ThroughLoadPictureToo) {
    const TempDir dir;
    for (const auto& c : HostileCases()) {
        const std::string path = dir.File(c.name + ".bmp");
        WriteFileBytes(path, c.file);
        cImage img;
        EXPECT_EQ(img.LoadPicture(path), 1) << c.name;
        EXPECT_FALSE(img.PicValid()) << c.name;
    }
}

// Every prefix of a valid file fails, except those that lack only bytes no pixel depends on
// (the last row's padding; RLE's trailing end-of-line / end-of-bitmap codes and the pad byte of a
// final absolute run). A prefix that is accepted must give the whole picture unchanged.
TEST(BmpHardening, TruncatedAtEveryLength) {
    BmpFormat pal1;
    pal1.bits = 1;
    pal1.palette = MakePalette(2, 1);
    BmpFormat v5_565;
    v5_565.header_size = 124;
    v5_565.bits = 16;
    v5_565.compression = kBitfields;
    v5_565.masks = {0xF800, 0x07E0, 0x001F, 0};
    BmpFormat top_down32;
    top_down32.bits = 32;
    top_down32.top_down = true;
    const std::pair<const char*, Bytes> fixtures[] = {
        {"rgb24", Base24()},
        {"rgb24_width4", Base24(4, 3)},
        {"pal8", BasePal8()},
        {"bitfields16", BaseBitfields16()},
        {"bitfields32_v5", BaseBitfields32V5()},
        {"rle8", BaseRle8()},
        {"rle4", BaseRle4()},
        {"os2_core", BaseOs2Core()},
        {"pal1", EncodeBmp(13, 3, pal1, [](int x, int y) { return uint32_t(x + y) & 1; })},
        {"v5_565", EncodeBmp(3, 3, v5_565, [](int x, int y) { return Hash(x, y, 5) & 0xFFFF; })},
        {"rgb32_topdown", EncodeBmp(3, 2, top_down32, [](int x, int y) { return Hash(x, y, 6); })},
    };
    for (const auto& [name, file] : fixtures) {
        cImage full;
        ASSERT_EQ(full.LoadPictureData(file, "bmp"), 0) << name;
        int accepted = 0;
        for (size_t len = 0; len < file.size(); ++len) {
            const std::span<const uint8_t> prefix(file.data(), len);
            cImage img;
            const int32_t code = img.LoadPictureData(prefix, "bmp");
            ASSERT_TRUE(code == 0 || code == 1) << name << " at " << len;
            if (code == 1) {
                EXPECT_FALSE(img.PicValid());
                continue;
            }
            ++accepted;
            EXPECT_GE(len + 5, file.size()) << name << " accepted at " << len;
            ASSERT_EQ(img.Width(), full.Width());
            ASSERT_EQ(img.Height(), full.Height());
            for (int y = 0; y < img.Height(); ++y)
                for (int x = 0; x < img.Width(); ++x)
                    ASSERT_EQ(PixelAt(img, x, y), PixelAt(full, x, y)) << name << " at " << len;
        }
        EXPECT_LE(accepted, 5) << name;
    }
}

// Random byte changes in valid files: whatever comes out, the load gives 0 or 1, the buffer
// matches the code and nothing reads outside the file (the sanitizer build checks that).
TEST(BmpHardening, RandomMutationsNeverMisbehave) {
    const Bytes seeds[] = {Base24(),   BasePal8(), BaseBitfields16(), BaseBitfields32V5(),
                           BaseRle8(), BaseRle4(), BaseOs2Core()};
    uint32_t state = 12345;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (const Bytes& seed : seeds) {
        for (int round = 0; round < 2000; ++round) {
            Bytes b = seed;
            const int changes = 1 + int(next() % 4);
            for (int i = 0; i < changes; ++i) {
                const size_t at = next() % b.size();
                b[at] = (next() & 1) ? uint8_t(next()) : uint8_t(b[at] ^ (1u << (next() % 8)));
            }
            if (next() % 8 == 0) b.resize(next() % b.size());
            cImage img;
            const int32_t code = img.LoadPictureData(b, "bmp");
            ASSERT_TRUE(code == 0 || code == 1);
            ASSERT_EQ(code == 0, img.PicValid());
        }
    }
}

// ---- reader details -----------------------------------------------------------------------

TEST(BmpReader, IndicesBeyondAShortPaletteAreBlack) {
    BmpFormat format;
    format.bits = 8;
    format.palette = {{1, 2, 3}, {4, 5, 6}};
    format.clr_used = 2;
    const Bytes file = EncodeBmp(4, 1, format, [](int x, int) { return uint32_t(x == 3 ? 255 : x); });
    cImage img;
    ASSERT_EQ(img.LoadPictureData(file, "bmp"), 0);
    EXPECT_EQ(PixelAt(img, 0, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(PixelAt(img, 1, 0), (Rgb{4, 5, 6}));
    EXPECT_EQ(PixelAt(img, 2, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(PixelAt(img, 3, 0), (Rgb{0, 0, 0}));
}

TEST(BmpReader, PaletteEndsAtThePixelOffset) {
    // OS/2 core header: no colour count; the palette is what lies before the pixels.
    BmpFormat format;
    format.header_size = 12;
    format.bits = 8;
    format.palette = MakePalette(3, 1);
    const Bytes file = EncodeBmp(4, 1, format, [](int x, int) { return uint32_t(x); });
    cImage img;
    ASSERT_EQ(img.LoadPictureData(file, "bmp"), 0);
    EXPECT_EQ(PixelAt(img, 2, 0), format.palette[2]);
    EXPECT_EQ(PixelAt(img, 3, 0), (Rgb{0, 0, 0}));
}

TEST(BmpReader, FileAndImageSizeFieldsAreIgnored) {
    Bytes file = Base24();
    Set32(file, 2, 0x7FFFFFFF);   // file size
    Set32(file, 34, 0x7FFFFFFF);  // image size
    Set32(file, 38, 0x80000000);  // pixels per metre
    Set32(file, 6, 0x12345678);   // reserved (an OS/2 hot spot)
    cImage a, b;
    ASSERT_EQ(a.LoadPictureData(file, "bmp"), 0);
    ASSERT_EQ(b.LoadPictureData(Base24(), "bmp"), 0);
    EXPECT_EQ(0, std::memcmp(a.DIBitsPtr(), b.DIBitsPtr(), size_t(a.PicSize())));
}

TEST(BmpReader, LastRowPaddingMayBeMissing) {
    const Bytes file = Base24(5, 3);  // 15 bytes of pixels and 1 of padding a row
    cImage img;
    EXPECT_EQ(img.LoadPictureData(std::span(file.data(), file.size() - 1), "bmp"), 0);
    EXPECT_EQ(img.LoadPictureData(std::span(file.data(), file.size() - 2), "bmp"), 1);
}

TEST(BmpReader, ReplacesAPreviousPicture) {
    cImage img;
    ASSERT_EQ(img.CreateDIB(50, 40), 0);
    ASSERT_EQ(img.LoadPictureData(Base24(5, 3), "bmp"), 0);
    EXPECT_EQ(img.Width(), 5);
    EXPECT_EQ(img.Height(), 3);
    EXPECT_EQ(img.PicSize(), 3 * 16);
}

TEST(BmpReader, LargestLoadableSizeDecodes) {
    // A tall 1-pixel-wide picture at the side limit.
    BmpFormat format;
    format.bits = 24;
    const Bytes file = EncodeBmp(1, 65535, format, [](int, int y) { return uint32_t(y); });
    cImage img;
    ASSERT_EQ(img.LoadPictureData(file, "bmp"), 0);
    EXPECT_EQ(PixelAt(img, 0, 65534), (Rgb{0, 0xFF, 0xFE}));
}

TEST(BmpReader, CorporaStyleFromFile) {
    const TempDir dir;
    BmpFormat format;
    format.bits = 4;
    format.compression = kRle4;
    format.palette = MakePalette(16, 2);
    const Bytes file = EncodeBmp(9, 5, format, [](int x, int y) { return uint32_t(x * y) % 16; });
    for (const char* name : {"a.bmp", "b.BMP", "no_extension"}) {
        WriteFileBytes(dir.File(name), file);
        cImage img;
        ASSERT_EQ(img.LoadPicture(dir.File(name)), 0) << name;
        EXPECT_EQ(PixelAt(img, 8, 4), format.palette[32 % 16]);
    }
}

// ---- WriteBMP -----------------------------------------------------------------------------

uint32_t At32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
uint32_t At16(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8); }

Rgb Colour(int x, int y) { return {uint8_t(10 * x + 1), uint8_t(20 * y + 2), uint8_t(x * y + 3)}; }

TEST(WriteBmp, ThreeByTwoLayout) {
    const TempDir dir;
    const cImage img = MakeImage(3, 2, Colour);
    ASSERT_TRUE(img.WriteBMP(dir.File("a.bmp")));
    const Bytes b = ReadFileBytes(dir.File("a.bmp"));
    ASSERT_EQ(b.size(), 78u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(At32(b, 2), 78u);
    EXPECT_EQ(At16(b, 6), 0u);
    EXPECT_EQ(At16(b, 8), 0u);
    EXPECT_EQ(At32(b, 10), 54u);
    // The information header: the buffer's header as held.
    EXPECT_EQ(At32(b, 14), 40u);
    EXPECT_EQ(At32(b, 18), 3u);
    EXPECT_EQ(At32(b, 22), 2u);
    EXPECT_EQ(At16(b, 26), 1u);
    EXPECT_EQ(At16(b, 28), 24u);
    EXPECT_EQ(At32(b, 30), 0u);
    EXPECT_EQ(At32(b, 34), 24u);
    for (size_t at : {38u, 42u, 46u, 50u}) EXPECT_EQ(At32(b, at), 0u) << at;
    // Bytes 54..62: the bottom row (y = 1) as blue, green, red; 63..65 padding; then the top row.
    for (int x = 0; x < 3; ++x) {
        const Rgb c = Colour(x, 1);
        EXPECT_EQ(b[54 + 3 * x], c.b);
        EXPECT_EQ(b[55 + 3 * x], c.g);
        EXPECT_EQ(b[56 + 3 * x], c.r);
        const Rgb t = Colour(x, 0);
        EXPECT_EQ(b[66 + 3 * x], t.b);
        EXPECT_EQ(b[67 + 3 * x], t.g);
        EXPECT_EQ(b[68 + 3 * x], t.r);
    }
    for (size_t at : {63u, 64u, 65u, 75u, 76u, 77u}) EXPECT_EQ(b[at], 0) << at;
}

TEST(WriteBmp, FourByOneHasNoPadding) {
    const TempDir dir;
    const cImage img = MakeImage(4, 1, Colour);
    ASSERT_TRUE(img.WriteBMP(dir.File("a.bmp")));
    const Bytes b = ReadFileBytes(dir.File("a.bmp"));
    ASSERT_EQ(b.size(), 66u);
    EXPECT_EQ(At32(b, 2), 66u);
    EXPECT_EQ(b[65], Colour(3, 0).r);
}

TEST(WriteBmp, SixForty) {
    const TempDir dir;
    const cImage img = MakeImage(640, 480, Colour);
    ASSERT_TRUE(img.WriteBMP(dir.File("a.bmp")));
    const Bytes b = ReadFileBytes(dir.File("a.bmp"));
    ASSERT_EQ(b.size(), 921654u);
    EXPECT_EQ(At32(b, 2), 921654u);
    EXPECT_EQ(At32(b, 10), 54u);
    EXPECT_EQ(At32(b, 34), 921600u);
    // The pixel bytes are the buffer's memory as it is.
    EXPECT_EQ(0, std::memcmp(b.data() + 54, img.DIBitsPtr(), 921600));
}

TEST(WriteBmp, SameBytesAsTheTestEncoderAndRoundTrip) {
    const TempDir dir;
    for (int w = 1; w <= 9; ++w) {
        for (int h : {1, 2, 5}) {
            const cImage img = MakeImage(w, h, [](int x, int y) {
                const uint32_t v = Hash(x, y, 42);
                return Rgb{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
            });
            const std::string path = dir.File("rt.bmp");
            ASSERT_TRUE(img.WriteBMP(path));
            Bytes written = ReadFileBytes(path);
            // The test encoder writes 72 dpi; the buffer's header holds 0.
            Bytes expected = EncodeBmp(w, h, BmpFormat{}, [&](int x, int y) {
                const Rgb c = PixelAt(img, x, y);
                return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
            });
            Set32(expected, 38, 0);
            Set32(expected, 42, 0);
            EXPECT_EQ(written, expected) << w << "x" << h;

            cImage back;
            ASSERT_EQ(back.LoadPicture(path), 0);
            ASSERT_EQ(back.Width(), w);
            ASSERT_EQ(back.Height(), h);
            EXPECT_EQ(0, std::memcmp(back.DIBitsPtr(), img.DIBitsPtr(), size_t(img.PicSize())));
        }
    }
}

TEST(WriteBmp, EmptyBufferWritesNothing) {
    const TempDir dir;
    const cImage empty;
    EXPECT_FALSE(empty.WriteBMP(dir.File("a.bmp")));
    cImage released = MakeImage(3, 3, Colour);
    released.ReleaseDIB();
    EXPECT_FALSE(released.WriteBMP(dir.File("a.bmp")));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(WriteBmp, FailedWriteIsNotReportedAndLeavesNoFile) {
    const TempDir dir;
    const cImage img = MakeImage(3, 2, Colour);
    const std::string path = dir.File("missing/a.bmp");
    EXPECT_TRUE(img.WriteBMP(path));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(WriteBmp, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    const TempDir dir;
    const std::string path = dir.File("a.bmp");
    WriteFileBytes(path, Bytes(5000, 0x55));
    const cImage img = MakeImage(4, 1, Colour);
    ASSERT_TRUE(img.WriteBMP(path));
    EXPECT_EQ(fs::file_size(path), 66u);
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

}  // namespace
