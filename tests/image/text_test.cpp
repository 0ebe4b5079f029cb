// cImage::DrawText, with the DejaVu and Liberation fonts that tools/install-deps.sh installs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "image/c_image.h"
#include "test_support.h"

namespace {

using pictorra::image::cImage;
using pictorra::image::InstalledFontFaces;
using pictorra::image::MeasureText;
using pictorra::image::TextExtent;
using namespace pictorra::test;

cImage Plain(int w, int h) { return Uniform(w, h, {255, 255, 255}); }

struct Text {
    std::string text, face = "DejaVu Sans";
    int x = 0, y = 0, font_h = 24, font_w = 0;
    bool bold = false;
    uint32_t colour = 0;  // 0x00BBGGRR
};

cImage Drawn(cImage img, const Text& t) {
    img.DrawText(t.text, t.face, t.bold, t.x, t.y, t.font_h, t.font_w, t.colour);
    return img;
}

// The pixels that differ between two pictures of one size: how many, and their bounds.
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, count = 0;
    int Width() const { return x1 - x0 + 1; }
};

Box Changed(const cImage& a, const cImage& b) {
    Box r;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (PixelAt(a, x, y) != PixelAt(b, x, y))
                r = {std::min(r.x0, x), std::min(r.y0, y), std::max(r.x1, x), std::max(r.y1, y),
                     r.count + 1};
    return r;
}

Box DrawnBox(const Text& t, int w = 400, int h = 200) {
    return Changed(Plain(w, h), Drawn(Plain(w, h), t));
}

TEST(DrawText, FillsItsCellFromTheTopLeftCornerAndNothingElse) {
    const std::pair<Text, int> cases[] = {
        {{"ÉgÅ|jy_", "Arial", 0, 0, 20}, 20},
        {{"ÉgÅ|", "Times New Roman", 40, 50, 20}, 20},
        {{"ÉgÅ|Ŷ̧jy", "DejaVu Sans", 5, 11, 33}, 33},
        {{"ÉgÅ|", "DejaVu Sans", 3, 7, 0}, 16},  // FontH 0: a 16-pixel cell
        {{"ÉgÅ|", "Arial", 2, 5, -20}, 22},      // FontH < 0: the em is 20 pixels, the cell more
    };
    for (const auto& [t, cell] : cases) {
        SCOPED_TRACE(t.face + " " + std::to_string(t.font_h));
        const Box box = DrawnBox(t);
        EXPECT_GE(box.y0, t.y);
        EXPECT_LT(box.y1, t.y + cell);
        EXPECT_GE(box.y1 - box.y0, cell * 3 / 4);
        EXPECT_GE(box.x0, t.x);
        EXPECT_LE(box.x0, t.x + 3);
    }
    // Liberation Sans: the baseline lies 16 rows into a 20-pixel cell, 18 for a 20-pixel em.
    EXPECT_EQ(DrawnBox({"H", "Arial", 3, 5, 20}).y1, 5 + 15);
    EXPECT_EQ(DrawnBox({"H", "Arial", 3, 5, -20}).y1, 5 + 17);
}

TEST(DrawText, EachLineBreakStartsALineOneCellLower) {
    const Box one = DrawnBox({"Hgy", "DejaVu Sans", 6, 4, 21});
    // clang-format off
    for (const auto& [text, lines] : {std::pair{"Hgy\nHgy", 1}, {"Hgy\r\nHgy", 1}, {"Hgy\rHgy", 1},
                                      {"Hgy\n\nHgy", 2}, {"Hgy\r\n\rHgy", 2}}) {  // clang-format on
        const Box box = DrawnBox({text, "DejaVu Sans", 6, 4, 21});
        EXPECT_EQ(std::tuple(box.count, box.x0, box.x1, box.y0, box.y1),
                  std::tuple(2 * one.count, one.x0, one.x1, one.y0, one.y1 + 21 * lines))
            << text;
    }
}

TEST(DrawText, ALongLineRunsOffThePictureWithoutWrapping) {
    const Text t{"The quick brown fox jumps over the lazy dog, twice over.", "Arial", 10, 8, 22};
    const cImage narrow = Drawn(Plain(150, 60), t), wide = Drawn(Plain(1200, 60), t);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 150; ++x) ASSERT_EQ(PixelAt(narrow, x, y), PixelAt(wide, x, y));
    EXPECT_GE(Changed(Plain(150, 60), narrow).x1, 146);
}

TEST(DrawText, AnyFaceNameFindsAFaceAndBoldIsHeavier) {
    // DejaVu Math TeX Gyre has no bold face: its outlines are widened instead.
    for (const char* face : {"Arial", "Times New Roman", "Courier New", "DejaVu Math TeX Gyre",
                             "No Such Face At All", "", "Bad\xFF-Name"}) {
        const Box regular = DrawnBox({"Bold lines", face, 0, 0, 20});
        const Box bold = DrawnBox({"Bold lines", face, 0, 0, 20, 0, true});
        EXPECT_GT(regular.count, 50) << face;
        EXPECT_GT(bold.count, regular.count * 11 / 10) << face;
        EXPECT_LT(bold.y1, 20) << face;
    }
    // "Arial" is drawn with its metric twin.
    const cImage arial = Drawn(Plain(200, 40), {"Arial 123", "Arial"});
    EXPECT_EQ(Changed(arial, Drawn(Plain(200, 40), {"Arial 123", "Liberation Sans"})).count, 0);
}

TEST(DrawText, BlendsTheColourByCoverageAndKeepsTheBackground) {
    // Black on white gives each pixel's coverage a; in a colour (top byte ignored) on noise, each
    // pixel must be v + (c - v) x a / 255, rounded.
    const int w = 300, h = 70;
    const Text t{"Hi  mo  E  █", "Times New Roman", 3, 9, 40, 0, false, 0xFF336699};
    const cImage mask = Drawn(Plain(w, h), {t.text, t.face, t.x, t.y, t.font_h}),
                 noise = Noise(w, h, 1), drawn = Drawn(noise, t);
    auto mix = [](int v, int c, int a) { return uint8_t(std::lround(v + (c - v) * a / 255.0)); };
    int full = 0, none = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int a = 255 - PixelAt(mask, x, y).r;
            const Rgb v = PixelAt(noise, x, y);
            ASSERT_EQ(PixelAt(drawn, x, y),
                      (Rgb{mix(v.r, 0x99, a), mix(v.g, 0x66, a), mix(v.b, 0x33, a)}))
                << x << "," << y;
            full += a == 255;
            none += a == 0;
        }
    }
    EXPECT_GT(full, 500);
    EXPECT_GT(none, w * h / 2);
}

// FontW is the average character width (0: the face's own) and changes the width only.
TEST(DrawText, FontWScalesTheWidthOnly) {
    Box box[4];  // FontW 0, 8, 16, 32
    for (int i = 0; i < 4; ++i)
        box[i] = DrawnBox({"Width of text", "Arial", 0, 0, 30, i == 0 ? 0 : 4 << i}, 900);
    for (int i = 2; i < 4; ++i)
        EXPECT_NEAR(double(box[i].Width()) / box[i - 1].Width(), 2.0, 0.2) << i;
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(std::pair(box[i].y0, box[i].y1), std::pair(box[0].y0, box[0].y1)) << i;
    EXPECT_NEAR(DrawnBox({"ABCDEFGH0123", "Arial", 0, 0, 30, 20}, 900).Width(), 240, 48);
}

TEST(DrawText, HostileArgumentsAreSafe) {
    // Nothing is written outside the pixels (the sanitizer build), not even the row padding.
    // clang-format off
    const struct { int w, h, x, y, font_h, font_w; } cases[] = {
        {1, 1, 0, 0, 24, 0}, {3, 2, -1, -1, 100000, 0}, {5, 7, 0, 0, -100000, 100000},
        {41, 23, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN},
        {41, 23, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, {41, 23, INT32_MAX - 10, 0, 20, 0},
        {41, 23, 0, INT32_MIN + 5, 20, 0}, {41, 23, 10, 10, 1, 1},
        {401, 123, -5000, 30, 4000, 4000}, {33, 300, 0, -4000, 4096, 0}};
    // Nothing changes for an empty text, a text outside the picture, control characters.
    const Text unseen[] = {{"", "Arial"}, {"Hi", "Arial", -2000, 0}, {"Hi", "Arial", 0, -2000},
        {"Hi", "Arial", 20, 0}, {"Hi", "Arial", 0, 20}, {"\x01\x7F\x1B", "Arial"}};
    // clang-format on
    for (const auto& c : cases) {
        cImage img = Noise(c.w, c.h, 2);
        const int stride = img.BytesPerScanLine();
        for (int i = 3 * c.w; i < img.PicSize(); i += stride)
            std::fill_n(img.DIBitsPtr() + i, stride - 3 * c.w, 0xA5);
        for (const bool bold : {false, true})
            for (const char* text : {"Wide\nW\xC3\xA9", "\xFF\xE2\x88\xC0\xAF\x1B\t\r\r\n\x80"})
                img.DrawText(text, "Arial", bold, c.x, c.y, c.font_h, c.font_w, 0x123456);
        int spoilt = 0;
        for (int i = 0; i < img.PicSize(); ++i)
            spoilt += i % stride >= 3 * c.w && img.DIBitsPtr()[i] != 0xA5;
        EXPECT_EQ(spoilt, 0) << c.w << "x" << c.h << " at " << c.x << "," << c.y;
    }
    cImage().DrawText("Text", "Arial", false, 0, 0, 20, 0, 0);  // no picture: nothing to draw on
    const cImage before = Noise(20, 20, 3);
    for (const Text& t : unseen) EXPECT_EQ(Changed(before, Drawn(before, t)).count, 0) << t.text;
}

TextExtent Measured(const Text& t) {
    return MeasureText(t.text, t.face, t.bold, t.font_h, t.font_w);
}

std::string Folded(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

TEST(InstalledFontFaces, ListsEachFamilyOnceInCaseInsensitiveOrder) {
    const std::vector<std::string> faces = InstalledFontFaces();
    ASSERT_FALSE(faces.empty());
    for (const char* face : {"DejaVu Sans", "DejaVu Serif", "Liberation Sans"})
        EXPECT_NE(std::find(faces.begin(), faces.end(), face), faces.end()) << face;
    // A family listed under a second name of one of its styles ("DejaVu Sans Light") would
    // show twice; strictly increasing also rules out duplicates.
    EXPECT_EQ(std::find(faces.begin(), faces.end(), "DejaVu Sans Light"), faces.end());
    for (size_t i = 1; i < faces.size(); ++i) {
        const std::string a = Folded(faces[i - 1]), b = Folded(faces[i]);
        EXPECT_TRUE(a < b || (a == b && faces[i - 1] < faces[i]))
            << faces[i - 1] << " | " << faces[i];
    }
    EXPECT_EQ(InstalledFontFaces(), faces);
}

TEST(InstalledFontFaces, EveryListedFaceDrawsAndMeasures) {
    for (const std::string& face : InstalledFontFaces()) {
        const Text t{"Ab", face, 4, 4, 24};
        EXPECT_GT(DrawnBox(t, 120, 40).count, 20) << face;
        const TextExtent extent = Measured(t);
        EXPECT_GT(extent.width, 0) << face;
        EXPECT_EQ(extent.height, 24) << face;
    }
}

// The extent is the room DrawText's ink takes: the cells of all lines and the pen's travel over
// the widest line, which the last glyph's ink ends close to.
TEST(MeasureText, BoundsWhatDrawTextDraws) {
    const std::pair<Text, int> cases[] = {
        // text, cell height
        {{"Hello", "DejaVu Sans", 5, 3, 24}, 24},
        {{"ÉgÅ|jy_", "Arial", 0, 0, 20}, 20},
        {{"Wide\nWider text", "Times New Roman", 7, 2, 30}, 30},
        {{"Hgy\r\n\rHgy", "DejaVu Sans", 6, 4, 21}, 21},
        {{"Ab中", "DejaVu Sans", 3, 3, 22}, 22},  // the ideograph comes from a fallback face
        {{"Bold lines", "DejaVu Math TeX Gyre", 2, 2, 20, 0, true}, 20},  // synthetic bold
        {{"Bold lines", "Arial", 2, 2, 20, 0, true}, 20},
        {{"Width of text", "Arial", 0, 1, 30, 16}, 30},
        {{"Hx", "Arial", 2, 5, -20}, 22},  // FontH < 0: the em is 20 pixels, the cell more
        {{"Ab", "MS Sans Serif", 0, 0, 20}, 20},
    };
    for (const auto& [t, cell] : cases) {
        SCOPED_TRACE(t.face + ": " + t.text);
        const TextExtent extent = Measured(t);
        const int lines = 1 + int(std::count(t.text.begin(), t.text.end(), '\n')) +
                          int(std::count(t.text.begin(), t.text.end(), '\r')) -
                          int(t.text.find("\r\n") != std::string::npos);
        EXPECT_EQ(extent.height, cell * lines);
        const Box ink = DrawnBox(t, 900, 200);
        ASSERT_GT(ink.count, 0);
        EXPECT_GE(ink.y0, t.y);
        EXPECT_LT(ink.y1, t.y + extent.height);
        EXPECT_GE(ink.x0, t.x);
        EXPECT_LE(ink.x1 + 1, t.x + extent.width + 2);         // small overhangs only
        EXPECT_GE(ink.x1 + 1, t.x + extent.width - cell / 4);  // the last side bearing
    }
}

TEST(MeasureText, LinesControlCharactersAndBold) {
    const TextExtent one = Measured({"Ab", "DejaVu Sans"});
    EXPECT_GT(one.width, 0);
    // clang-format off
    const std::pair<Text, TextExtent> same[] = {
        {{"Ab\nAb"}, {one.width, 2 * one.height}}, {{"Ab\r\nA"}, {one.width, 2 * one.height}},
        {{"A\nAb\rA"}, {one.width, 3 * one.height}}, {{"Ab\n"}, {one.width, 2 * one.height}},
        {{"A\x01\x1B\tb\x7F\xC2\x85"}, one},  // control characters take no room
        {{""}, {0, 0}}, {{"", "Arial", 0, 0, 40, 0, true}, {0, 0}},
        {{"\x01"}, {0, one.height}},
        {{"Huge", "Arial", 0, 0, 100000}, {Measured({"Huge", "Arial", 0, 0, 4096}).width, 4096}},
    };
    // clang-format on
    for (const auto& [t, extent] : same) {
        const TextExtent got = Measured(t);
        EXPECT_EQ(std::pair(got.width, got.height), std::pair(extent.width, extent.height))
            << t.text;
    }
    for (const char* face : {"Arial", "DejaVu Sans", "DejaVu Math TeX Gyre"}) {
        const TextExtent regular = Measured({"Bold lines", face, 0, 0, 20});
        const TextExtent bold = Measured({"Bold lines", face, 0, 0, 20, 0, true});
        EXPECT_GE(bold.width, regular.width) << face;
        EXPECT_EQ(bold.height, regular.height) << face;
    }
    // Synthetic bold widens every glyph's advance by at least a pixel.
    EXPECT_GE(Measured({"Bold lines", "DejaVu Math TeX Gyre", 0, 0, 20, 0, true}).width,
              Measured({"Bold lines", "DejaVu Math TeX Gyre", 0, 0, 20}).width + 10);
}

}  // namespace
