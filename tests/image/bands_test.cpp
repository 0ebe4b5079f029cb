// BevelPic and BorderPic : worked band values, parameter checks,
// clamping, and the clipping contract: inside the buffer the result is what the literal band walk
// gives on an unbounded canvas, and nothing outside the pixels is touched.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "image/c_image.h"
#include "test_support.h"

namespace {

using pictorra::image::cImage;
using pictorra::test::MakeImage;
using pictorra::test::Rgb;

cImage Uniform(int w, int h, Rgb c) {
    return MakeImage(w, h, [c](int, int) { return c; });
}

cImage Noise(int w, int h, uint32_t seed) {
    cImage img;
    EXPECT_EQ(img.CreateDIB(w, h), 0);
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < img.PicSize(); ++i) img.DIBitsPtr()[i] = uint8_t(rng());
    return img;
}

std::vector<uint8_t> Bytes(const cImage& img) {
    return {img.DIBitsPtr(), img.DIBitsPtr() + img.PicSize()};
}

// Pixel at column c, memory row counted from the bottom.
Rgb At(const cImage& img, int c, int dib_row) {
    const uint8_t* p = img.View().DibRow(dib_row) + 3 * c;
    return {p[2], p[1], p[0]};
}

uint8_t Grey(const cImage& img, int c, int dib_row) { return At(img, c, dib_row).g; }

// ---- the literal band walk, on a canvas large enough that nothing is clipped -------------------

// A plain byte grid with memory-row addressing and a bounds check on every access.
struct Canvas {
    int w = 0, h = 0;
    std::vector<uint8_t> bytes;
    uint8_t& At(int64_t byte_x, int64_t row) {
        EXPECT_TRUE(byte_x >= 0 && byte_x < 3 * w && row >= 0 && row < h) << byte_x << ", " << row;
        return bytes[size_t(row * 3 * w + byte_x)];
    }
};

uint8_t ClampByte(int64_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

void ReferenceBevel(Canvas& cv, int64_t wide, int64_t high, int64_t x_st, int64_t y_st,
                    int64_t thick, int64_t factor, int64_t l_step) {
    if (thick < 1 || thick > 99 || l_step < 60 || l_step > 300 || factor < 60 || factor > 200)
        return;
    const int64_t step = l_step / thick;
    for (int64_t k = 0; k <= thick - 1; ++k) {
        for (int64_t x = 3 * (x_st + k); x <= 3 * (x_st + wide - 2 - k) + 2; ++x) {
            cv.At(x, y_st + k) = ClampByte(cv.At(x, y_st + k) + (k * step - factor));
            cv.At(x, high - 1 - k) = ClampByte(cv.At(x, high - 1 - k) + (factor - k * step));
        }
    }
    for (int64_t j = 0; j <= thick; ++j) {
        for (int64_t y = y_st + j; y <= high - 1 - j; ++y) {
            for (int ch = 0; ch < 3; ++ch) {
                uint8_t& left = cv.At(3 * (x_st + j) + ch, y);
                left = ClampByte(left + (factor - j * step));
                uint8_t& right = cv.At(3 * (x_st + wide - 1 - j) + ch, y);
                right = ClampByte(right + (j * step - factor));
            }
        }
    }
}

void ReferenceBorder(Canvas& cv, int64_t wide, int64_t high, int64_t x_st, int64_t y_st,
                     int64_t thick, uint32_t colour) {
    if (thick < 1 || thick > 99) return;
    const int32_t value = int32_t(colour);
    const int32_t red = value & 255, green = (value / 256) & 255, blue = (value / 65536) & 255;
    const int32_t by_channel[3] = {blue, green, red};
    const auto blend = [&](uint8_t& v, int ch, double f) {
        v = uint8_t(std::nearbyint(v - v * f + by_channel[ch] * f));
    };
    double f = 1.0;
    for (int64_t k = 0; k <= thick - 1; ++k) {
        for (int64_t x = 3 * (x_st + k); x <= 3 * (x_st + wide - 2 - k) + 2; ++x) {
            blend(cv.At(x, y_st + k), int(x % 3), f);
            blend(cv.At(x, high - 1 - k), int(x % 3), f);
        }
        f = f - 1.0 / thick;
    }
    f = 1.0;
    for (int64_t j = 0; j <= thick; ++j) {
        for (int64_t y = y_st + j; y <= high - 1 - j; ++y) {
            for (int ch = 0; ch < 3; ++ch) {
                blend(cv.At(3 * (x_st + j) + ch, y), ch, f);
                blend(cv.At(3 * (x_st + wide - 1 - j) + ch, y), ch, f);
            }
        }
        f = f - 1.0 / thick;
    }
}

constexpr int kMargin = 260;

// The picture in the middle of a canvas with kMargin pixels on every side.
Canvas Embed(const cImage& img) {
    Canvas cv;
    cv.w = img.Width() + 2 * kMargin;
    cv.h = img.Height() + 2 * kMargin;
    cv.bytes.assign(size_t(3 * cv.w * cv.h), 77);
    for (int row = 0; row < img.Height(); ++row)
        for (int x = 0; x < 3 * img.Width(); ++x)
            cv.At(3 * kMargin + x, kMargin + row) = img.View().DibRow(row)[x];
    return cv;
}

// Compares the picture's pixels with the middle of the canvas, and its padding with `before`.
void ExpectSameAsCanvas(const cImage& img, Canvas& cv, const cImage& before) {
    const int32_t stride = img.BytesPerScanLine();
    for (int row = 0; row < img.Height(); ++row) {
        const uint8_t* line = img.View().DibRow(row);
        const uint8_t* old_line = before.View().DibRow(row);
        for (int x = 0; x < 3 * img.Width(); ++x)
            ASSERT_EQ(line[x], cv.At(3 * kMargin + x, kMargin + row))
                << "byte " << x << " row " << row;
        for (int x = 3 * img.Width(); x < stride; ++x)
            ASSERT_EQ(line[x], old_line[x]) << "padding byte " << x << " row " << row;
    }
}

// ---- BevelPic ----------------------------------------------------------------------------------

struct BevelStyle {
    std::string name;
    int32_t factor;
    int32_t step;
};

const BevelStyle kStyles[] = {
    {"Soft", 60, 60},           {"PipeShaped", 60, 200},       {"SoftRaised", 90, 90},
    {"SmoothRaised", 125, 125}, {"SharpInnerSlope", 125, 200}, {"SoftInnerSlope", 60, 300},
    {"Beveled", 125, 60},       {"SharpBevel", 200, 60}};

TEST(Bevel, SoftSixShadesBySteps) {
    const int w = 40, h = 30;
    cImage img = Uniform(w, h, {128, 128, 128});
    img.BevelPic(w, h, 0, 0, 6, 60, 60);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(Grey(img, w / 2, h - 1 - k), 128 + 60 - 10 * k) << "top row " << k;
        EXPECT_EQ(Grey(img, w / 2, k), 128 - 60 + 10 * k) << "bottom row " << k;
    }
    EXPECT_EQ(Grey(img, w / 2, h - 7), 128);
    EXPECT_EQ(Grey(img, w / 2, 6), 128);
    for (int j = 0; j <= 6; ++j) {
        EXPECT_EQ(Grey(img, j, h / 2), 128 + 60 - 10 * j) << "left column " << j;
        EXPECT_EQ(Grey(img, w - 1 - j, h / 2), 128 - 60 + 10 * j) << "right column " << j;
    }
    // Corners: the top-left is raised twice; the top-right lies outside the top band (which stops
    // one column short) and is only darkened; the bottom-left is lowered then raised.
    EXPECT_EQ(Grey(img, 0, h - 1), 248);
    EXPECT_EQ(Grey(img, w - 1, h - 1), 68);
    EXPECT_EQ(Grey(img, 0, 0), 128);
    EXPECT_EQ(Grey(img, w - 1, 0), 68);
    // The middle is untouched.
    EXPECT_EQ(At(img, w / 2, h / 2), (Rgb{128, 128, 128}));
}

TEST(Bevel, PipeShapedTenReversesHalfway) {
    const int w = 50, h = 40;
    cImage img = Uniform(w, h, {128, 128, 128});
    img.BevelPic(w, h, 0, 0, 10, 60, 200);
    const int top_change[10] = {60, 40, 20, 0, -20, -40, -60, -80, -100, -120};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(Grey(img, w / 2, h - 1 - k), 128 + top_change[k]) << "top row " << k;
        EXPECT_EQ(Grey(img, w / 2, k), 128 - top_change[k]) << "bottom row " << k;
    }
    // j = 10 is the extra column: 60 - 200 = -140 on the left, +140 on the right.
    EXPECT_EQ(Grey(img, 10, h / 2), 0);        // 128 - 140, clamped
    EXPECT_EQ(Grey(img, w - 11, h / 2), 255);  // 128 + 140, clamped
}

TEST(Bevel, ClampsAtBothEnds) {
    cImage img = Uniform(20, 20, {250, 250, 250});
    img.BevelPic(20, 20, 0, 0, 3, 200, 60);
    EXPECT_EQ(Grey(img, 10, 19), 255);  // top band raised past 255
    cImage dark = Uniform(20, 20, {5, 5, 5});
    dark.BevelPic(20, 20, 0, 0, 3, 200, 60);
    EXPECT_EQ(Grey(dark, 10, 0), 0);  // bottom band lowered past 0
}

struct RangeCase {
    std::string name;
    int32_t thick;
    int32_t factor;
    int32_t step;
    bool changes;
};

class BevelRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(BevelRangeTest, OutOfRangeDoesNothing) {
    const RangeCase& tc = GetParam();
    cImage img = Noise(30, 20, 5);
    const std::vector<uint8_t> before = Bytes(img);
    img.BevelPic(30, 20, 0, 0, tc.thick, tc.factor, tc.step);
    EXPECT_EQ(Bytes(img) != before, tc.changes);
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, BevelRangeTest,
    testing::Values(
        RangeCase{"Thick0", 0, 60, 60, false}, RangeCase{"Thick100", 100, 60, 60, false},
        RangeCase{"Step59", 4, 60, 59, false}, RangeCase{"Step301", 4, 60, 301, false},
        RangeCase{"Factor59", 4, 59, 60, false}, RangeCase{"Factor201", 4, 201, 60, false},
        RangeCase{"ThickNegative", -3, 60, 60, false}, RangeCase{"Thick1", 1, 60, 60, true},
        RangeCase{"Thick99", 99, 60, 60, true}, RangeCase{"Step300Factor200", 4, 200, 300, true}),
    [](const testing::TestParamInfo<RangeCase>& info) { return info.param.name; });

// ---- BorderPic ---------------------------------------------------------------------------------

TEST(Border, ThicknessOneSetsTheRing) {
    const int w = 9, h = 6;
    cImage img = Uniform(w, h, {10, 20, 30});
    int32_t thick = 1;
    const uint32_t red = 0x0000FF;  // colour reference: red in the low byte
    img.BorderPic(w, h, 0, 0, thick, red);
    for (int row = 0; row < h; ++row) {
        for (int c = 0; c < w; ++c) {
            const bool ring = row == 0 || row == h - 1 || c == 0 || c == w - 1;
            EXPECT_EQ(At(img, c, row), (ring ? Rgb{255, 0, 0} : Rgb{10, 20, 30}))
                << c << ", " << row;
        }
    }
}

TEST(Border, ThicknessFourBlendsByQuarters) {
    const int w = 20, h = 16;
    cImage img = Uniform(w, h, {100, 100, 100});
    img.BorderPic(w, h, 0, 0, 4, 0xC8C8C8);  // grey 200
    const uint8_t expected[5] = {200, 175, 150, 125, 100};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(Grey(img, w / 2, h - 1 - k), expected[k]) << "top row " << k;
        EXPECT_EQ(Grey(img, w / 2, k), expected[k]) << "bottom row " << k;
        EXPECT_EQ(Grey(img, k, h / 2), expected[k]) << "left column " << k;
        EXPECT_EQ(Grey(img, w - 1 - k, h / 2), expected[k]) << "right column " << k;
    }
}

TEST(Border, SplitsTheColourReferenceAndRoundsHalvesToEven) {
    // Thickness 2: row 1 is blended with weight 0.5 from black: halves everywhere.
    cImage img = Uniform(12, 10, {0, 0, 0});
    img.BorderPic(12, 10, 0, 0, 2, 0x050103);  // red 3, green 1, blue 5
    EXPECT_EQ(At(img, 6, 9), (Rgb{3, 1, 5}));  // top row, weight 1
    EXPECT_EQ(At(img, 6, 8), (Rgb{2, 0, 2}));  // 1.5, 0.5, 2.5 -> 2, 0, 2
    EXPECT_EQ(At(img, 6, 7), (Rgb{0, 0, 0}));
}

TEST(Border, ThicknessThreeUsesTheAccumulatedWeights) {
    // f: 1, 1 - 1/3, (1 - 1/3) - 1/3, and about 1e-16 for the extra column.
    cImage img = Uniform(15, 15, {0, 0, 0});
    img.BorderPic(15, 15, 0, 0, 3, 0xFFFFFF);
    const uint8_t expected[4] = {255, 170, 85, 0};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(Grey(img, 7, 14 - k), expected[k]);
        EXPECT_EQ(Grey(img, k, 7), expected[k]);
    }
}

TEST(Border, OutOfRangeThicknessDoesNothing) {
    for (int32_t thick : {0, 100, -1, 1000}) {
        cImage img = Noise(10, 8, 9);
        const std::vector<uint8_t> before = Bytes(img);
        img.BorderPic(10, 8, 0, 0, thick, 0xFF00FF);
        EXPECT_TRUE(Bytes(img) == before) << thick;
    }
}

// ---- clipping: the literal walk on a big canvas, cut back to the picture -----------------------

struct Rect {
    int32_t wide, high, x_st, y_st, thick;
};

class ClipTest : public testing::TestWithParam<int> {};

TEST_P(ClipTest, InsideTheBufferAsTheUnboundedWalk) {
    std::mt19937 rng{uint32_t(GetParam())};
    const auto pick = [&](int lo, int hi) {
        return int32_t(lo + int(rng() % uint32_t(hi - lo + 1)));
    };
    for (int round = 0; round < 40; ++round) {
        const int w = pick(1, 30), h = pick(1, 30);
        const Rect r{pick(0, w + 20), pick(-10, h + 20), pick(-15, w + 5), pick(-15, h + 5),
                     pick(1, 99)};
        const cImage before = Noise(w, h, rng());
        SCOPED_TRACE(testing::Message() << w << "x" << h << " rect " << r.wide << "," << r.high
                                        << "," << r.x_st << "," << r.y_st << " T " << r.thick);
        for (const BevelStyle& style : kStyles) {
            cImage img = before;
            img.BevelPic(r.wide, r.high, r.x_st, r.y_st, r.thick, style.factor, style.step);
            Canvas cv = Embed(before);
            ReferenceBevel(cv, r.wide, r.high + kMargin, r.x_st + kMargin, r.y_st + kMargin,
                           r.thick, style.factor, style.step);
            ExpectSameAsCanvas(img, cv, before);
        }
        cImage img = before;
        const uint32_t colour = rng() & 0xFFFFFF;
        img.BorderPic(r.wide, r.high, r.x_st, r.y_st, r.thick, colour);
        Canvas cv = Embed(before);
        ReferenceBorder(cv, r.wide, r.high + kMargin, r.x_st + kMargin, r.y_st + kMargin, r.thick,
                        colour);
        ExpectSameAsCanvas(img, cv, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ClipTest, testing::Range(1, 6));

// A thickness far beyond the picture and rectangles far outside it never write outside the
// buffer (the sanitizer build checks the memory; the padding is checked here).
TEST(Clip, HugeThicknessOnTinyPictures) {
    const Rect rects[] = {{1, 1, 0, 0, 99},
                          {3, 2, 0, 0, 99},
                          {1000, 1000, 0, 0, 99},
                          {-50, -50, 0, 0, 99},
                          {5, 5, -200, -200, 99},
                          {5, 5, 200, 200, 99},
                          {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 99},
                          {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, 99},
                          {INT32_MAX, 4, INT32_MIN, 0, 99}};
    for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{5, 1}}) {
        for (const Rect& r : rects) {
            const cImage before = Noise(w, h, 11);
            cImage img = before;
            img.BevelPic(r.wide, r.high, r.x_st, r.y_st, r.thick, 200, 60);
            img.BorderPic(r.wide, r.high, r.x_st, r.y_st, r.thick, 0x123456);
            for (int row = 0; row < h; ++row)
                for (int x = 3 * w; x < img.BytesPerScanLine(); ++x)
                    EXPECT_EQ(img.View().DibRow(row)[x], before.View().DibRow(row)[x]);
        }
    }
}

TEST(Clip, EmptyBufferIsIgnored) {
    cImage empty;
    empty.BevelPic(10, 10, 0, 0, 5, 60, 60);
    empty.BorderPic(10, 10, 0, 0, 5, 0);
    EXPECT_FALSE(empty.PicValid());
}

}  // namespace
