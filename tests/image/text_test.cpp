// cImage::DrawText and its private helpers (image/text_internal.h).
//
// The drawing checks rely on the fonts tools/install-deps.sh installs (fonts-dejavu-core,
// fonts-liberation); with others installed the checks still hold, only the shapes differ.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "image/c_image.h"
#include "image/text_internal.h"
#include "test_support.h"

namespace {

using pictorra::image::cImage;
using pictorra::test::MakeImage;
using pictorra::test::PixelAt;
using pictorra::test::Rgb;
namespace td = pictorra::image::text_detail;

constexpr Rgb kWhite{255, 255, 255};
constexpr uint32_t kBlack = 0x000000;

cImage Plain(int w, int h, Rgb c = kWhite) {
    return MakeImage(w, h, [c](int, int) { return c; });
}

// A background where neighbouring pixels differ, so any stray write shows.
Rgb Noise(int x, int y) {
    const uint32_t v = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
    return {uint8_t(v >> 3), uint8_t(v >> 11), uint8_t(v >> 19)};
}

// Rectangle of the pixels that differ between two pictures of one size (top-down, inclusive).
struct Box {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
    int64_t count = 0;  // changed pixels
    bool empty() const { return count == 0; }
    int Width() const { return empty() ? 0 : x1 - x0 + 1; }
    int Height() const { return empty() ? 0 : y1 - y0 + 1; }
};

Box Changed(const cImage& before, const cImage& after) {
    Box box;
    for (int y = 0; y < before.Height(); ++y) {
        for (int x = 0; x < before.Width(); ++x) {
            if (PixelAt(before, x, y) == PixelAt(after, x, y)) continue;
            ++box.count;
            box.x0 = std::min(box.x0, x);
            box.x1 = std::max(box.x1, x);
            box.y0 = std::min(box.y0, y);
            box.y1 = std::max(box.y1, y);
        }
    }
    return box;
}

struct Text {
    std::string text = "Hello";
    std::string face = "DejaVu Sans";
    bool bold = false;
    int x = 0, y = 0;
    int font_h = 24, font_w = 0;
    uint32_t colour = kBlack;
};

cImage Drawn(cImage img, const Text& t) {
    img.DrawText(t.text, t.face, t.bold, t.x, t.y, t.font_h, t.font_w, t.colour);
    return img;
}

Box DrawnBox(const Text& t, int w = 400, int h = 200) {
    const cImage before = Plain(w, h);
    return Changed(before, Drawn(before, t));
}

// ---- private helpers -----------------------------------------------------------------------

TEST(TextUtf8, DecodesAndReplacesMaximalSubparts) {
    constexpr char32_t R = td::kReplacementChar;
    const struct {
        std::string in;
        std::u32string out;
    } cases[] = {
        {"", U""},
        {"Abc", U"Abc"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x88\x91",
         U"Grüße ∑"},
        {"\xF0\x9F\x98\x80", U"\U0001F600"},
        {"\xF4\x8F\xBF\xBF", U"\U0010FFFF"},
        {"\xFF", {R}},
        {"a\x80z", {U'a', R, U'z'}},                // stray continuation byte
        {"\xE2\x88", {R}},                          // truncated: one replacement
        {"\xE2\x88z", {R, U'z'}},                   // truncated before an ASCII byte
        {"\xC0\xAF", {R, R}},                       // overlong '/'
        {"\xE0\x80\xAF", {R, R, R}},                // overlong three-byte form
        {"\xED\xA0\x80", {R, R, R}},                // surrogate U+D800
        {"\xF4\x90\x80\x80", {R, R, R, R}},         // above U+10FFFF
        {"\xF0\x9F\x98", {R}},                      // truncated four-byte form
        {std::string("a\0b", 3), {U'a', 0, U'b'}},  // NUL is a character
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.in));
        EXPECT_EQ(td::DecodeUtf8(c.in), c.out);
    }
}

TEST(TextUtf8, EncodeIsTheInverseOfDecode) {
    for (const std::u32string_view s :
         {U"", U"Abc", U"Grüße ∑", U"\U0001F600\u00E9\u0800\U0010FFFF"}) {
        EXPECT_EQ(td::DecodeUtf8(td::EncodeUtf8(s)), s);
    }
}

TEST(TextBlend, RoundsToNearestAndKeepsTheEnds) {
    const struct {
        int v, c, a, out;
    } cases[] = {
        {0, 255, 0, 0},     {0, 255, 255, 255},   {200, 10, 0, 200},
        {200, 10, 255, 10}, {100, 200, 128, 150},  // 100 + 100 * 128 / 255 = 150.2
        {255, 0, 1, 254},                          // 254.004
        {0, 255, 1, 1},                            // 1.0
        {0, 255, 128, 128},                        // 128.0
        {0, 1, 127, 0},                            // 0.498
        {0, 1, 128, 1},                            // 0.502
        {37, 37, 200, 37},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.v << " " << c.c << " " << c.a);
        EXPECT_EQ(td::BlendChannel(uint8_t(c.v), uint8_t(c.c), uint8_t(c.a)), c.out);
    }
    // Always between the two values, never outside.
    for (int v = 0; v < 256; v += 15)
        for (int c = 0; c < 256; c += 17)
            for (int a = 0; a < 256; ++a) {
                const int out = td::BlendChannel(uint8_t(v), uint8_t(c), uint8_t(a));
                ASSERT_GE(out, std::min(v, c));
                ASSERT_LE(out, std::max(v, c));
            }
}

TEST(TextMetrics, CellFromFontH) {
    // Liberation Sans: usWinAscent 1854, usWinDescent 434, 2048 units per em.
    const struct {
        int32_t font_h;
        int32_t ascent, descent;
        double em;
    } cases[] = {
        {20, 16, 4, 20.0 * 2048 / 2288},            // cell = FontH exactly
        {24, 19, 5, 24.0 * 2048 / 2288},            // 19.447 -> 19
        {1, 1, 0, 1.0},                             // em at least one pixel
        {0, 13, 3, 16.0 * 2048 / 2288},             // default: a 16-pixel cell
        {-20, 18, 4, 20.0},                         // em 20: 18.105 and 4.238
        {100000, 3319, 777, 4096.0 * 2048 / 2288},  // capped cell
        {-100000, 3708, 868, 4096.0},               // capped em
        {INT32_MIN, 3708, 868, 4096.0},
        {INT32_MAX, 3319, 777, 4096.0 * 2048 / 2288},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.font_h);
        const td::CellMetrics m = td::ComputeCellMetrics(c.font_h, 1854, 434, 2048);
        EXPECT_EQ(m.ascent, c.ascent);
        EXPECT_EQ(m.descent, c.descent);
        EXPECT_NEAR(m.em, c.em, 1e-9);
    }
}

TEST(TextMetrics, DegenerateFaceValuesStillGiveACell) {
    for (const auto& [a, d, upem] : {std::tuple{0, 0, 2048}, {-5, -5, 0}, {100, -300, 1000}}) {
        for (const int32_t h : {-30, 0, 1, 30}) {
            const td::CellMetrics m = td::ComputeCellMetrics(h, a, d, upem);
            EXPECT_GE(m.Cell(), 1);
            EXPECT_GE(m.ascent, 0);
            EXPECT_GE(m.descent, 0);
            EXPECT_GE(m.em, 1.0);
            EXPECT_LE(m.em, td::kMaxPixelSize);
        }
    }
}

TEST(TextMetrics, EmXFromFontW) {
    EXPECT_DOUBLE_EQ(td::ComputeEmX(0, 17.5, 1176, 2048), 17.5);
    EXPECT_DOUBLE_EQ(td::ComputeEmX(10, 17.5, 1024, 2048), 20.0);  // average 0.5 em
    EXPECT_DOUBLE_EQ(td::ComputeEmX(-10, 17.5, 1024, 2048), 20.0);
    EXPECT_DOUBLE_EQ(td::ComputeEmX(10, 17.5, 0, 2048), 20.0);  // unknown: half an em
    EXPECT_DOUBLE_EQ(td::ComputeEmX(INT32_MIN, 17.5, 1, 2048), td::kMaxPixelSize);
    EXPECT_DOUBLE_EQ(td::ComputeEmX(1, 17.5, 60000, 1000), 1.0);
}

// ---- drawing -----------------------------------------------------------------------------

TEST(DrawText, AtTheOriginStartsInTheTopMemoryRows) {
    const int w = 120, h = 60, font_h = 20;
    cImage img = Plain(w, h);
    img.DrawText("Hello", "DejaVu Sans", false, 0, 0, font_h, 0, kBlack);
    // Read the memory directly: device row 0 is memory row Height - 1.
    const uint8_t* bits = img.DIBitsPtr();
    const int stride = img.BytesPerScanLine();
    int first_changed_col = w;
    int lowest_changed_memory_row = h;
    for (int mem_row = 0; mem_row < h; ++mem_row) {
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = bits + mem_row * stride + 3 * x;
            if (p[0] == 255 && p[1] == 255 && p[2] == 255) continue;
            lowest_changed_memory_row = std::min(lowest_changed_memory_row, mem_row);
            first_changed_col = std::min(first_changed_col, x);
        }
    }
    // Something near the top (memory row h - 1), nothing below the first cell.
    EXPECT_GE(lowest_changed_memory_row, h - font_h);
    EXPECT_LE(first_changed_col, 3);  // 'H' starts at its small left side bearing
    const Box box = Changed(Plain(w, h), img);
    ASSERT_FALSE(box.empty());
    EXPECT_LE(box.y0, font_h / 3);  // cap height reaches near the cell top
    EXPECT_LT(box.y1, font_h);
}

TEST(DrawText, ChangesOnlyTheCellRows) {
    const struct {
        std::string text, face;
        int x, y, font_h;
    } cases[] = {
        {"Hello", "DejaVu Sans", 10, 30, 24},
        {"ÉgÅ|jy_", "Arial", 5, 3, 17},
        {"ÉgÅ|jy_", "Times New Roman", 40, 50, 40},
        {"ÉgÅ|Ŷ̧jy", "DejaVu Serif", 0, 11, 33},
        {"ÉgÅ|", "Verdana", 3, 0, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.face + " " + std::to_string(c.font_h));
        const Box box =
            DrawnBox({.text = c.text, .face = c.face, .x = c.x, .y = c.y, .font_h = c.font_h});
        ASSERT_FALSE(box.empty());
        EXPECT_GE(box.y0, c.y);
        EXPECT_LT(box.y1, c.y + c.font_h);
        EXPECT_GE(box.x0, c.x - 2);
    }
}

TEST(DrawText, HonoursTheCellHeight) {
    // The rows touched by accented capitals, a descender and a bar fill most of the cell and
    // never more than it.
    for (const char* face : {"Arial", "DejaVu Sans", "Times New Roman", "Liberation Mono"}) {
        for (const int font_h : {12, 16, 20, 33, 64, 100}) {
            SCOPED_TRACE(std::string(face) + " " + std::to_string(font_h));
            const Box box = DrawnBox(
                {.text = "ÉgÅ|", .face = face, .x = 2, .y = 5, .font_h = font_h}, 300, 120);
            ASSERT_FALSE(box.empty());
            EXPECT_LE(box.Height(), font_h);
            EXPECT_GT(box.Height(), font_h / 2);
        }
    }
}

TEST(DrawText, NegativeFontHIsTheCharacterHeight) {
    for (const int em : {12, 20, 40}) {
        SCOPED_TRACE(em);
        const Box cell = DrawnBox({.text = "ÉgÅ|", .face = "Arial", .font_h = em});
        const Box character = DrawnBox({.text = "ÉgÅ|", .face = "Arial", .font_h = -em});
        // The em is smaller than the cell, so the same number as an em height draws larger.
        EXPECT_GT(character.Height(), cell.Height());
        EXPECT_GE(character.Height(), em * 9 / 10);
        const Box h_only = DrawnBox({.text = "H", .face = "Arial", .font_h = -em});
        EXPECT_NEAR(h_only.Height(), em * 0.716, 1.5);  // cap height of Liberation Sans
    }
}

TEST(DrawText, ZeroFontHDrawsASixteenPixelCell) {
    const Box box = DrawnBox({.text = "ÉgÅ|", .y = 7, .font_h = 0});
    ASSERT_FALSE(box.empty());
    EXPECT_GE(box.y0, 7);
    EXPECT_LT(box.y1, 7 + td::kDefaultCellHeight);
    EXPECT_GT(box.Height(), td::kDefaultCellHeight / 2);
}

TEST(DrawText, ALongLineIsCutOnlyAtThePictureEdge) {
    const std::string line = "The quick brown fox jumps over the lazy dog, twice over.";
    const Text t{.text = line, .face = "Arial", .x = 10, .y = 8, .font_h = 22};
    const cImage narrow = Drawn(Plain(150, 60), t);
    const cImage wide = Drawn(Plain(1200, 60), t);
    // The narrow picture is exactly the left part of the wide one: no wrap, no other clipping.
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 150; ++x) ASSERT_EQ(PixelAt(narrow, x, y), PixelAt(wide, x, y));
    const Box box = Changed(Plain(150, 60), narrow);
    EXPECT_GE(box.x1, 146);  // the text runs to the right edge
    EXPECT_LT(box.y1, 8 + 22);
    EXPECT_GT(Changed(Plain(1200, 60), wide).x1, 400);
}

TEST(DrawText, ClippingAtTheEdgesIsACropOfTheFullDrawing) {
    // Drawing at any point equals drawing the same text on a larger picture and cutting it out.
    const int w = 90, h = 40, pad = 200;
    const struct {
        int x, y;
    } points[] = {{-15, -10}, {-3, 5}, {50, -7}, {70, 30}, {-120, 0}, {0, -25}, {85, 38}};
    for (const auto& p : points) {
        SCOPED_TRACE(::testing::Message() << p.x << "," << p.y);
        const cImage small =
            Drawn(MakeImage(w, h, Noise),
                  {.text = "Wg\nÅy", .face = "Arial", .x = p.x, .y = p.y, .font_h = 26});
        const cImage big = Drawn(
            MakeImage(w + 2 * pad, h + 2 * pad,
                      [](int x, int y) { return Noise(x - pad, y - pad); }),
            {.text = "Wg\nÅy", .face = "Arial", .x = p.x + pad, .y = p.y + pad, .font_h = 26});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(PixelAt(small, x, y), PixelAt(big, x + pad, y + pad));
    }
}

TEST(DrawText, LineBreaksStartALineOneCellLower) {
    const int font_h = 21, y = 4, x = 6;
    const cImage one = Drawn(Plain(200, 120), {.text = "Hgy", .x = x, .y = y, .font_h = font_h});
    for (const std::string& sep : {std::string("\n"), std::string("\r\n"), std::string("\r")}) {
        SCOPED_TRACE(::testing::PrintToString(sep));
        const cImage two =
            Drawn(Plain(200, 120), {.text = "Hgy" + sep + "Hgy", .x = x, .y = y, .font_h = font_h});
        for (int row = 0; row < 120; ++row) {
            for (int col = 0; col < 200; ++col) {
                const Rgb first = PixelAt(one, col, row);
                // Rows of the first cell are the single line; the next cell repeats them.
                if (row < y + font_h) {
                    ASSERT_EQ(PixelAt(two, col, row), first);
                } else if (row < y + 2 * font_h) {
                    ASSERT_EQ(PixelAt(two, col, row), PixelAt(one, col, row - font_h));
                } else {
                    ASSERT_EQ(PixelAt(two, col, row), kWhite);
                }
            }
        }
    }
    // An empty line in between leaves its cell empty.
    const Box box = DrawnBox({.text = "H\n\nH", .x = x, .y = y, .font_h = font_h});
    const Box single = DrawnBox({.text = "H", .x = x, .y = y, .font_h = font_h});
    EXPECT_EQ(box.y0, single.y0);
    EXPECT_EQ(box.y1, single.y1 + 2 * font_h);
    EXPECT_EQ(box.count, 2 * single.count);
}

TEST(DrawText, BoldChangesMorePixels) {
    // DejaVu Math TeX Gyre has no bold face when installed (synthetic bold); the others do.
    for (const char* face : {"Arial", "DejaVu Sans", "Times New Roman", "Verdana", "MS Sans Serif",
                             "DejaVu Math TeX Gyre", "DejaVu Sans Mono"}) {
        for (const int font_h : {14, 30}) {
            SCOPED_TRACE(std::string(face) + " " + std::to_string(font_h));
            const Box regular = DrawnBox({.text = "Bold lines", .face = face, .font_h = font_h});
            const Box bold =
                DrawnBox({.text = "Bold lines", .face = face, .bold = true, .font_h = font_h});
            ASSERT_FALSE(regular.empty());
            EXPECT_GT(bold.count, regular.count * 11 / 10);
            EXPECT_LT(bold.y1, font_h);
        }
    }
}

TEST(DrawText, OnlyGlyphPixelsChangeAndBlendExactly) {
    // Black on white gives the coverage of every pixel (255 - value); the same text in a colour
    // on a noisy background must then be exactly that blend, and the rest untouched.
    const int w = 260, h = 70;
    for (const auto& [face, bold] :
         {std::pair{"Arial", false}, std::pair{"Times New Roman", true}}) {
        SCOPED_TRACE(face);
        const Text t{.text = "Hi  mo  E",
                     .face = face,
                     .bold = bold,
                     .x = 3,
                     .y = 9,
                     .font_h = 40,
                     .colour = 0x00336699};
        Text black = t;
        black.colour = kBlack;
        const cImage mask = Drawn(Plain(w, h), black);
        const cImage noise = MakeImage(w, h, Noise);
        const cImage drawn = Drawn(noise, t);
        int64_t untouched = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const Rgb m = PixelAt(mask, x, y);
                ASSERT_TRUE(m.r == m.g && m.g == m.b);
                const auto a = uint8_t(255 - m.r);
                const Rgb bg = PixelAt(noise, x, y);
                const Rgb expect{td::BlendChannel(bg.r, 0x99, a), td::BlendChannel(bg.g, 0x66, a),
                                 td::BlendChannel(bg.b, 0x33, a)};
                ASSERT_EQ(PixelAt(drawn, x, y), expect) << x << "," << y;
                untouched += a == 0;
            }
        }
        EXPECT_GT(untouched, w * h / 2);
        // The gaps between the words stay as they were: some columns inside the text are clean.
        const Box box = Changed(Plain(w, h), mask);
        int clean_columns = 0;
        for (int x = box.x0; x <= box.x1; ++x) {
            bool clean = true;
            for (int y = 0; y < h && clean; ++y) clean = PixelAt(mask, x, y) == kWhite;
            clean_columns += clean;
        }
        EXPECT_GE(clean_columns, 10);
    }
}

TEST(DrawText, FullCoverageIsExactlyTheColour) {
    const struct {
        uint32_t colour;
        Rgb rgb;
    } cases[] = {
        {0x00563412, {0x12, 0x34, 0x56}},  // red in the low byte
        {0x000000FF, {255, 0, 0}},        {0x00FF0000, {0, 0, 255}}, {0x0000FF00, {0, 255, 0}},
        {0xFF102030, {0x30, 0x20, 0x10}},  // the high byte means nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.colour);
        const cImage img = Drawn(Plain(160, 90, {128, 128, 128}),
                                 {.text = "I█", .x = 4, .y = 4, .font_h = 60, .colour = c.colour});
        int64_t exact = 0;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 160; ++x) exact += PixelAt(img, x, y) == c.rgb;
        EXPECT_GT(exact, 500);  // the stem of the I and the full block
    }
}

TEST(DrawText, WindowsFaceNamesDrawWithSubstitutes) {
    for (const char* face : {"Arial", "Verdana", "MS Sans Serif", "Times New Roman", "Courier New",
                             "Liberation Sans", "DejaVu Serif", "No Such Face At All", "",
                             "Bad\xFF"
                             "Name",
                             "Face:with,odd-chars"}) {
        SCOPED_TRACE(face);
        const Box box = DrawnBox({.text = "Sample", .face = face, .font_h = 20});
        EXPECT_GT(box.count, 50);
        EXPECT_LT(box.y1, 20);
    }
    // "Arial" is matched to its metric twin, Liberation Sans.
    const cImage arial = Drawn(Plain(200, 40), {.text = "Arial 123", .face = "Arial"});
    const cImage liberation =
        Drawn(Plain(200, 40), {.text = "Arial 123", .face = "Liberation Sans"});
    EXPECT_TRUE(Changed(arial, liberation).empty());
}

TEST(DrawText, FontWNarrowsAndWidensTheText) {
    const std::string text = "Width of text";
    const Box natural = DrawnBox({.text = text, .face = "Arial", .font_h = 30}, 900);
    int previous = 0;
    for (const int font_w : {4, 8, 16, 32}) {
        SCOPED_TRACE(font_w);
        const Box box =
            DrawnBox({.text = text, .face = "Arial", .font_h = 30, .font_w = font_w}, 900);
        if (font_w > 4) {  // doubles with FontW (whole-pixel advances blur the smallest)
            EXPECT_NEAR(double(box.Width()) / previous, 2.0, 0.2);
        }
        // The height stays.
        EXPECT_EQ(box.y0, natural.y0);
        EXPECT_EQ(box.y1, natural.y1);
        previous = box.Width();
    }
    EXPECT_LT(DrawnBox({.text = text, .face = "Arial", .font_h = 30, .font_w = 8}, 900).Width(),
              natural.Width());
    EXPECT_GT(DrawnBox({.text = text, .face = "Arial", .font_h = 30, .font_w = 32}, 900).Width(),
              natural.Width());
    // A text of capitals and digits is near the face's average width (Liberation Sans' average,
    // like Arial's, is that of all its glyphs): 12 characters at 20 pixels, about 240 pixels.
    const int at20 =
        DrawnBox({.text = "ABCDEFGH0123", .face = "Arial", .font_h = 30, .font_w = 20}, 900)
            .Width();
    EXPECT_NEAR(at20, 12 * 20, 12 * 20 / 5);
}

TEST(DrawText, NonAsciiTextDraws) {
    for (const char* face : {"Arial", "DejaVu Sans", "Times New Roman"}) {
        SCOPED_TRACE(face);
        const Box ascii = DrawnBox({.text = "ue", .face = face});
        const Box accents = DrawnBox({.text = "üe", .face = face});
        EXPECT_GT(accents.count, ascii.count);
        EXPECT_LT(accents.y0, ascii.y0);  // the umlaut dots sit above the x-height
        EXPECT_FALSE(DrawnBox({.text = "ß", .face = face}).empty());
        // A character no face has draws the missing-glyph box; the sum sign draws itself.
        const cImage sigma = Drawn(Plain(100, 40), {.text = "∑", .face = face});
        const cImage missing = Drawn(Plain(100, 40), {.text = "\xF4\x8F\xBF\xBF", .face = face});
        EXPECT_FALSE(Changed(Plain(100, 40), sigma).empty());
        EXPECT_FALSE(Changed(sigma, missing).empty());
        EXPECT_FALSE(DrawnBox({.text = "Grüße ∑ Ωμέγα Жж", .face = face}).empty());
    }
}

TEST(DrawText, InvalidUtf8AndControlsAreSafe) {
    for (const std::string& text :
         {std::string("\xFF\xFE"), std::string("ab\xE2\x88"), std::string("\xC0\xAF\xED\xA0\x80"),
          std::string("tab\there"), std::string("nul\0in", 6), std::string("\x80\x80\x80"),
          std::string("\r\r\n\n\r"), std::string("\x1B[31m")}) {
        SCOPED_TRACE(::testing::PrintToString(text));
        const cImage before = MakeImage(64, 48, Noise);
        const cImage after = Drawn(before, {.text = text, .font_h = 14});
        const Box box = Changed(before, after);
        if (!box.empty()) {
            EXPECT_LT(box.y1, 14 * 5);
        }
    }
    // Controls draw nothing and take no room.
    EXPECT_TRUE(Changed(Drawn(Plain(100, 30), {.text = "a\x01\x7F"
                                                       "b"}),
                        Drawn(Plain(100, 30), {.text = "ab"}))
                    .empty());
}

TEST(DrawText, ExtremeArgumentsAreSafe) {
    // Run under `make sanitize`: no write outside the buffer, no unbounded allocation.
    const struct {
        int w, h;
        int x, y, font_h, font_w;
    } cases[] = {
        {1, 1, 0, 0, 24, 0},
        {3, 2, -1, -1, 100000, 0},
        {5, 7, 0, 0, -100000, 100000},
        {41, 23, -20, -30, 100000, 3},
        {41, 23, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN},
        {41, 23, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
        {41, 23, INT32_MAX - 10, 0, 20, 0},
        {41, 23, INT32_MIN + 10, 0, 20, 0},
        {41, 23, 0, INT32_MIN + 5, 20, 0},
        {41, 23, 10, 10, 1, 1},
        {41, 23, 10, 10, 2, -2},
        {401, 123, -5000, 30, 4000, 4000},
        {33, 300, 0, -4000, 4096, 0},
        {7, 9, 3, 3, 20, INT32_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " at " << c.x << "," << c.y
                                          << " h " << c.font_h << " w " << c.font_w);
        cImage img = MakeImage(c.w, c.h, Noise);
        // Mark the row padding; it must survive.
        const int stride = img.BytesPerScanLine();
        for (int row = 0; row < c.h; ++row)
            for (int b = 3 * c.w; b < stride; ++b) img.DIBitsPtr()[row * stride + b] = 0xA5;
        for (const bool bold : {false, true}) {
            img.DrawText("Wide\nW\xC3\xA9", "Arial", bold, c.x, c.y, c.font_h, c.font_w, 0x123456);
        }
        for (int row = 0; row < c.h; ++row)
            for (int b = 3 * c.w; b < stride; ++b)
                ASSERT_EQ(img.DIBitsPtr()[row * stride + b], 0xA5);
    }
    // An empty picture and an empty text do nothing.
    cImage empty;
    empty.DrawText("Text", "Arial", false, 0, 0, 20, 0, 0);
    EXPECT_FALSE(empty.PicValid());
    const cImage before = MakeImage(20, 20, Noise);
    EXPECT_TRUE(Changed(before, Drawn(before, {.text = ""})).empty());
    // Text entirely outside draws nothing.
    for (const auto& [x, y] : {std::pair{-2000, 0}, {0, -2000}, {20, 0}, {0, 20}, {-10, 30}}) {
        EXPECT_TRUE(
            Changed(before, Drawn(before, {.text = "Hi", .x = x, .y = y, .font_h = 16})).empty());
    }
}

TEST(DrawText, HugeSizeDrawsAtTheCap) {
    // A cell above the cap draws like the capped cell.
    const Text capped{
        .text = "HH", .face = "Arial", .x = -400, .y = -800, .font_h = td::kMaxPixelSize};
    Text huge = capped;
    huge.font_h = 100000;
    const cImage a = Drawn(Plain(60, 50), capped);
    const cImage b = Drawn(Plain(60, 50), huge);
    EXPECT_TRUE(Changed(a, b).empty());
    EXPECT_FALSE(Changed(Plain(60, 50), a).empty());  // the stem of the H covers the picture
}

TEST(DrawText, SameResultFromManyThreads) {
    const char* faces[] = {"Arial", "Verdana", "Times New Roman", "DejaVu Sans Mono"};
    std::vector<cImage> expected;
    for (int i = 0; i < 8; ++i) {
        expected.push_back(
            Drawn(MakeImage(180, 60, Noise), {.text = "Thread ∑ " + std::to_string(i),
                                              .face = faces[i % 4],
                                              .bold = i % 2 == 1,
                                              .x = i,
                                              .y = 3,
                                              .font_h = 20 + i}));
    }
    std::vector<cImage> got(8 * 4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8 * 4; ++i) {
        threads.emplace_back([&got, &faces, i] {
            const int k = i % 8;
            got[i] = Drawn(MakeImage(180, 60, Noise), {.text = "Thread ∑ " + std::to_string(k),
                                                       .face = faces[k % 4],
                                                       .bold = k % 2 == 1,
                                                       .x = k,
                                                       .y = 3,
                                                       .font_h = 20 + k});
        });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < 8 * 4; ++i) EXPECT_TRUE(Changed(expected[i % 8], got[i]).empty()) << i;
}

}  // namespace
