// DarkenPic, LightenPic, SharpenPic : worked values, invariants, and the in-place order
// of the convolution checked against a literal column-by-column reference.
#include <gtest/gtest.h>

#include <algorithm>
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
using pictorra::test::PixelAt;
using pictorra::test::Rgb;

cImage Uniform(int w, int h, Rgb c) {
    return MakeImage(w, h, [c](int, int) { return c; });
}

// A picture of pseudo-random bytes (padding included), the same for the same seed.
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

// Memory-row access: column c, memory row counted from the bottom, channel 0 blue .. 2 red.
uint8_t& ByteAt(cImage& img, int c, int dib_row, int ch) {
    return img.View().DibRow(dib_row)[3 * c + ch];
}

// ---- DarkenPic -------------------------------------------------------------------------------

struct DarkenCase {
    std::string name;
    int32_t part255;
    uint8_t in;
    uint8_t out;
};

class DarkenTest : public testing::TestWithParam<DarkenCase> {};

TEST_P(DarkenTest, ScalesEveryChannel) {
    const DarkenCase& tc = GetParam();
    cImage img = Uniform(5, 3, {tc.in, tc.in, tc.in});
    img.DarkenPic(tc.part255);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(img, x, y), (Rgb{tc.out, tc.out, tc.out}));
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, DarkenTest,
    testing::Values(DarkenCase{"Tool244_0", 244, 0, 0}, DarkenCase{"Tool244_1", 244, 1, 0},
                    DarkenCase{"Tool244_100", 244, 100, 95},
                    DarkenCase{"Tool244_128", 244, 128, 122},
                    DarkenCase{"Tool244_255", 244, 255, 244}, DarkenCase{"Full_77", 255, 77, 77},
                    DarkenCase{"Full_255", 255, 255, 255}, DarkenCase{"Zero_255", 0, 255, 0},
                    DarkenCase{"Zero_1", 0, 1, 0}, DarkenCase{"Half_255", 128, 255, 128},
                    DarkenCase{"Half_3", 128, 3, 1}),
    [](const testing::TestParamInfo<DarkenCase>& info) { return info.param.name; });

TEST(Darken, FullKeepsAnyPictureAndZeroBlackens) {
    cImage img = Noise(7, 5, 1);
    const std::vector<uint8_t> before = Bytes(img);
    img.DarkenPic(255);
    EXPECT_EQ(Bytes(img), before);
    img.DarkenPic(0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(PixelAt(img, x, y), (Rgb{0, 0, 0}));
}

TEST(Darken, ChannelsAreIndependentAndPaddingUntouched) {
    cImage img = Noise(5, 4, 2);  // stride 16: one padding byte a row
    const std::vector<uint8_t> before = Bytes(img);
    img.DarkenPic(244);
    const int32_t stride = img.BytesPerScanLine();
    for (int32_t i = 0; i < img.PicSize(); ++i) {
        const bool padding = i % stride >= 15;
        EXPECT_EQ(img.DIBitsPtr()[i], padding ? before[size_t(i)] : before[size_t(i)] * 244 / 255)
            << "byte " << i;
    }
}

// Wide rows (the engine darkens 16 bytes at a time) with every byte value, for many factors.
TEST(Darken, EveryByteForManyFactors) {
    for (int32_t part : {0, 1, 2, 127, 128, 200, 243, 244, 245, 254, 255}) {
        cImage img = MakeImage(97, 3, [](int x, int y) {
            const int v = (x * 3 + y * 97 * 3) % 256;
            return Rgb{uint8_t(v), uint8_t((v + 1) % 256), uint8_t((v + 2) % 256)};
        });
        const std::vector<uint8_t> before = Bytes(img);
        img.DarkenPic(part);
        const int32_t stride = img.BytesPerScanLine();
        for (int32_t i = 0; i < img.PicSize(); ++i) {
            const int want =
                i % stride >= 3 * 97 ? before[size_t(i)] : before[size_t(i)] * part / 255;
            ASSERT_EQ(img.DIBitsPtr()[i], want) << "factor " << part << " byte " << i;
        }
    }
}

// Factors the tools never pass: a result that does not fit a byte leaves the byte as it was.
TEST(Darken, OutOfRangeResultsKeepTheByte) {
    cImage img = MakeImage(40, 1, [](int x, int) { return Rgb{uint8_t(x * 6), 100, 255}; });
    img.DarkenPic(300);
    EXPECT_EQ(PixelAt(img, 0, 0), (Rgb{0, 117, 255}));     // 255 x 300 / 255 = 300: kept
    EXPECT_EQ(PixelAt(img, 36, 0), (Rgb{254, 117, 255}));  // 216 x 300 / 255 = 254
    EXPECT_EQ(PixelAt(img, 37, 0), (Rgb{222, 117, 255}));  // 222 x 300 / 255 = 261: kept
    img.DarkenPic(-5);
    EXPECT_EQ(PixelAt(img, 36, 0), (Rgb{254, 117, 255}));  // negative: kept
}

// ---- LightenPic ------------------------------------------------------------------------------

struct LightenCase {
    std::string name;
    int32_t percent;
    Rgb in;
    Rgb out;
};

class LightenTest : public testing::TestWithParam<LightenCase> {};

TEST_P(LightenTest, WorkedValue) {
    const LightenCase& tc = GetParam();
    cImage img = Uniform(3, 2, tc.in);
    img.LightenPic(tc.percent);
    EXPECT_EQ(PixelAt(img, 0, 0), tc.out);
    EXPECT_EQ(PixelAt(img, 2, 1), tc.out);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, LightenTest,
    testing::Values(
        LightenCase{"WhiteStaysWhite", 10, {255, 255, 255}, {255, 255, 255}},
        LightenCase{"BlackStaysBlack", 10, {0, 0, 0}, {0, 0, 0}},
        // L = 0.55 as a single is 0.550000011920928955078125, so lo x 255 is 25.500006...: 26,
        // where exact arithmetic would give the tie 25.5 and so 25.
        LightenCase{"PureRed", 10, {255, 0, 0}, {255, 26, 26}},
        LightenCase{"PureGreen", 10, {0, 255, 0}, {26, 255, 26}},
        LightenCase{"PureBlue", 10, {0, 0, 255}, {26, 26, 255}},
        LightenCase{"Grey100", 10, {100, 100, 100}, {110, 110, 110}},
        LightenCase{"Grey200", 10, {200, 200, 200}, {220, 220, 220}},
        LightenCase{"Grey231", 10, {231, 231, 231}, {254, 254, 254}},
        LightenCase{"Grey232ClampsToWhite", 10, {232, 232, 232}, {255, 255, 255}},
        LightenCase{"Orange", 10, {255, 128, 0}, {255, 141, 26}},
        LightenCase{"Brown", 10, {128, 64, 32}, {141, 70, 35}},
        LightenCase{"Dark", 10, {10, 20, 30}, {11, 22, 33}},
        // These two pin where values are narrowed to single precision: every stored value (d, lo,
        // hi and the channels included) is a single. Keeping d, lo, hi or the channels in double
        // gives (0, 27, 40) for the first; keeping only d in double gives (1, 6, 35) for the
        // second.
        LightenCase{"SinglesTieAtHueSector3", 10, {0, 25, 36}, {0, 28, 40}},
        LightenCase{"SingleDelta", 10, {1, 5, 32}, {1, 5, 35}},
        LightenCase{"ZeroPercentKeepsRed", 0, {255, 0, 0}, {255, 0, 0}}),
    [](const testing::TestParamInfo<LightenCase>& info) { return info.param.name; });

// The HSL round trip written out once more, independently of the engine: every named
// value a single, every formula in double.
Rgb ReferenceLighten(Rgb in, int32_t percent) {
    const float r = in.r / 255.0, g = in.g / 255.0, b = in.b / 255.0;
    const float mx = std::max({r, g, b}), mn = std::min({r, g, b});
    float L = (double(mx) + double(mn)) / 2, S = 0, H = 0;
    if (mx != mn) {
        if (L <= 0.5) {
            S = (double(mx) - double(mn)) / (double(mx) + double(mn));
        } else {
            S = (double(mx) - double(mn)) / (2 - double(mx) - double(mn));
        }
        const float d = double(mx) - double(mn);
        if (r == mx) {
            H = (double(g) - double(b)) / d;
        } else if (g == mx) {
            H = 2 + (double(b) - double(r)) / d;
        } else {
            H = 4 + (double(r) - double(g)) / d;
        }
    }
    L = double(L) * (percent / 100.0 + 1);
    if (L > 1.0) L = 1.0;
    float red, green, blue;
    if (S == 0) {
        red = green = blue = L;
    } else {
        float lo;
        if (L <= 0.5) {
            lo = double(L) * (1 - double(S));
        } else {
            lo = double(L) - (1 - double(L)) * double(S);
        }
        const float hi = 2 * double(L) - lo;
        const double h = H, dlo = lo, dhi = hi;
        if (H < 0) {
            red = hi, green = lo, blue = dlo - (dhi - dlo) * h;
        } else if (H < 1) {
            red = hi, green = dlo + (dhi - dlo) * h, blue = lo;
        } else if (H < 2) {
            red = dlo - (h - 2) * (dhi - dlo), green = hi, blue = lo;
        } else if (H < 3) {
            red = lo, green = hi, blue = dlo + (h - 2) * (dhi - dlo);
        } else if (H < 4) {
            red = lo, green = dlo - (h - 4) * (dhi - dlo), blue = hi;
        } else {
            red = dlo + (h - 4) * (dhi - dlo), green = lo, blue = hi;
        }
    }
    return {uint8_t(std::nearbyint(red * 255.0)), uint8_t(std::nearbyint(green * 255.0)),
            uint8_t(std::nearbyint(blue * 255.0))};
}

// A 4096 x 4096 picture holding each of the 16,777,216 colours once.
cImage EveryColour() {
    cImage img;
    EXPECT_EQ(img.CreateDIB(4096, 4096), 0);
    for (int row = 0; row < 4096; ++row) {
        uint8_t* p = img.View().DibRow(row);
        for (int x = 0; x < 4096; ++x, p += 3) {
            const uint32_t v = uint32_t(row) * 4096 + uint32_t(x);
            p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
        }
    }
    return img;
}

class LightenEveryColourTest : public testing::TestWithParam<int32_t> {};

// Large pictures take the engine's fast path; every colour must come out as the literal steps
// give it.
TEST_P(LightenEveryColourTest, MatchesTheLiteralSteps) {
    const int32_t percent = GetParam();
    const cImage before = EveryColour();
    cImage img = before;
    img.LightenPic(percent);
    int mismatches = 0;
    for (int row = 0; row < 4096 && mismatches < 5; ++row) {
        const uint8_t* in = before.View().DibRow(row);
        const uint8_t* out = img.View().DibRow(row);
        for (int x = 0; x < 4096; ++x, in += 3, out += 3) {
            const Rgb want = ReferenceLighten({in[2], in[1], in[0]}, percent);
            const Rgb got{out[2], out[1], out[0]};
            if (got != want && ++mismatches <= 5) {
                ADD_FAILURE() << "colour " << int(in[2]) << "," << int(in[1]) << "," << int(in[0])
                              << " gave " << int(got.r) << "," << int(got.g) << "," << int(got.b)
                              << " want " << int(want.r) << "," << int(want.g) << ","
                              << int(want.b);
            }
        }
    }
    if (percent == 0) {
        EXPECT_TRUE(Bytes(img) == Bytes(before)) << "0 % is the identity";
    }
}

INSTANTIATE_TEST_SUITE_P(Percents, LightenEveryColourTest, testing::Values(10, 0, 33));

// A large picture (split over threads) gives each pixel what a 1 x 1 picture of it gives.
TEST(Lighten, LargePictureMatchesPixelByPixel) {
    cImage img = Noise(701, 401, 3);  // above the size where the fast path starts
    const cImage before = img;
    img.LightenPic(10);
    for (int y = 0; y < 401; ++y) {
        for (int x = 0; x < 701; ++x) {
            cImage one = Uniform(1, 1, PixelAt(before, x, y));
            one.LightenPic(10);
            ASSERT_EQ(PixelAt(img, x, y), PixelAt(one, 0, 0)) << "at " << x << ", " << y;
        }
    }
}

TEST(Lighten, NeverDarkensAGrey) {
    cImage img = MakeImage(256, 1, [](int x, int) {
        return Rgb{uint8_t(x), uint8_t(x), uint8_t(x)};
    });
    img.LightenPic(10);
    for (int x = 0; x < 256; ++x) {
        const Rgb p = PixelAt(img, x, 0);
        EXPECT_EQ(p.r, p.g);
        EXPECT_EQ(p.g, p.b);
        EXPECT_GE(p.r, x);
    }
}

// ---- SharpenPic ------------------------------------------------------------------------------

// The defining loops, literally: columns 1..W-2 outer, memory rows 1..H-2 inner, in place.
void ReferenceSharpen(cImage& img, bool sharpen) {
    int kernel[3][3];
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) kernel[i + 1][j + 1] = sharpen ? -1 : 1;
    kernel[1][1] = sharpen ? 15 : 4;
    int sum = 0;
    for (auto& row : kernel)
        for (int v : row) sum += v;
    for (int c = 1; c <= img.Width() - 2; ++c) {
        for (int y = 1; y <= img.Height() - 2; ++y) {
            for (int ch = 0; ch < 3; ++ch) {
                int total = 0;
                for (int i = -1; i <= 1; ++i)
                    for (int j = -1; j <= 1; ++j)
                        total += kernel[i + 1][j + 1] * ByteAt(img, c + i, y + j, ch);
                int q = total / sum;
                q = q < 0 ? 0 : (q > 255 ? 255 : q);
                ByteAt(img, c, y, ch) = uint8_t(q);
            }
        }
    }
}

struct SharpenCase {
    std::string name;
    int w;
    int h;
    bool sharpen;
    bool smooth;  // a gentle gradient with a little noise instead of pure noise
};

cImage Smooth(int w, int h, uint32_t seed) {
    std::mt19937 rng(seed);
    return MakeImage(w, h, [&](int x, int y) {
        return Rgb{uint8_t(x * 3 + y + rng() % 16), uint8_t(x + y * 2 + rng() % 8),
                   uint8_t(128 + rng() % 32)};
    });
}

class SharpenReferenceTest : public testing::TestWithParam<SharpenCase> {};

TEST_P(SharpenReferenceTest, MatchesTheLiteralInPlaceLoops) {
    const SharpenCase& tc = GetParam();
    const uint32_t seed = uint32_t(tc.w * 1000 + tc.h);
    cImage img = tc.smooth ? Smooth(tc.w, tc.h, seed) : Noise(tc.w, tc.h, seed);
    cImage expected = img;
    ReferenceSharpen(expected, tc.sharpen);
    img.SharpenPic(tc.sharpen);
    EXPECT_TRUE(Bytes(img) == Bytes(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SharpenReferenceTest,
    testing::Values(SharpenCase{"Sharpen3x3", 3, 3, true, false},
                    SharpenCase{"Soften3x3", 3, 3, false, false},
                    SharpenCase{"Sharpen3x80", 3, 80, true, true},
                    SharpenCase{"Soften80x3", 80, 3, false, true},
                    SharpenCase{"Sharpen33x34", 33, 34, true, false},
                    SharpenCase{"Soften100x70Noise", 100, 70, false, false},
                    SharpenCase{"Sharpen100x70Noise", 100, 70, true, false},
                    SharpenCase{"Soften100x70", 100, 70, false, true},
                    SharpenCase{"Sharpen100x70", 100, 70, true, true},
                    SharpenCase{"Sharpen37x201", 37, 201, true, true},
                    SharpenCase{"Soften201x37", 201, 37, false, true},
                    SharpenCase{"Sharpen2x9", 2, 9, true, false},
                    SharpenCase{"Soften9x2", 9, 2, false, false},
                    // Large enough that two threads share the bands.
                    SharpenCase{"SharpenThreads700x500", 700, 500, true, true},
                    SharpenCase{"SoftenThreads700x500Noise", 700, 500, false, false},
                    SharpenCase{"SharpenThreadsWide2100x130", 2100, 130, true, true},
                    SharpenCase{"SoftenThreadsTall131x2101", 131, 2101, false, true}),
    [](const testing::TestParamInfo<SharpenCase>& info) { return info.param.name; });

TEST(Sharpen, UniformPictureStaysUniform) {
    for (bool sharpen : {true, false}) {
        for (uint8_t v : {uint8_t(0), uint8_t(1), uint8_t(128), uint8_t(254), uint8_t(255)}) {
            cImage img = Uniform(9, 7, {v, uint8_t(255 - v), uint8_t(v / 2)});
            const std::vector<uint8_t> before = Bytes(img);
            img.SharpenPic(sharpen);
            EXPECT_TRUE(Bytes(img) == before) << "value " << int(v) << " sharpen " << sharpen;
        }
    }
}

TEST(Sharpen, ThreeByThreeChangesOnlyTheCentre) {
    // Top-down rows; the centre is (1, 1) either way.
    const uint8_t g[3][3] = {{10, 20, 30}, {40, 100, 60}, {70, 80, 90}};
    cImage img = MakeImage(3, 3, [&](int x, int y) { return Rgb{g[y][x], g[y][x], g[y][x]}; });
    cImage soft = img;
    img.SharpenPic(true);
    soft.SharpenPic(false);
    // Sharpen: (15 x 100 - 400) / 7 = 157 (truncated); soften: (4 x 100 + 400) / 12 = 66.
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            const uint8_t keep = g[y][x];
            const uint8_t sharp = (x == 1 && y == 1) ? 157 : keep;
            const uint8_t smooth = (x == 1 && y == 1) ? 66 : keep;
            EXPECT_EQ(PixelAt(img, x, y), (Rgb{sharp, sharp, sharp}));
            EXPECT_EQ(PixelAt(soft, x, y), (Rgb{smooth, smooth, smooth}));
        }
    }
}

TEST(Sharpen, NarrowOrLowPicturesAreUnchanged) {
    for (auto [w, h] : {std::pair{2, 9}, std::pair{9, 2}, std::pair{1, 1}, std::pair{2, 2}}) {
        cImage img = Noise(w, h, 7);
        const std::vector<uint8_t> before = Bytes(img);
        img.SharpenPic(true);
        img.SharpenPic(false);
        EXPECT_TRUE(Bytes(img) == before) << w << " x " << h;
    }
}

TEST(Sharpen, ClampsAtBothEnds) {
    // A bright pixel on grey sharpens to 255; a dark one to 0.
    cImage bright = Uniform(3, 3, {100, 100, 100});
    pictorra::test::SetPixel(bright, 1, 1, {200, 200, 200});
    bright.SharpenPic(true);  // (15 x 200 - 800) / 7 = 314
    EXPECT_EQ(PixelAt(bright, 1, 1), (Rgb{255, 255, 255}));
    cImage dark = Uniform(3, 3, {100, 100, 100});
    pictorra::test::SetPixel(dark, 1, 1, {10, 10, 10});
    dark.SharpenPic(true);  // (150 - 800) / 7 < 0
    EXPECT_EQ(PixelAt(dark, 1, 1), (Rgb{0, 0, 0}));
}

// A single bright pixel on a dark ground: the neighbours processed before it (left, below) read
// its old value; those after it (right, above) read values already softened. So the spread is
// not symmetric.
TEST(Sharpen, InPlaceOrderIsObservable) {
    cImage img = Uniform(5, 5, {0, 0, 0});
    ByteAt(img, 2, 2, 0) = 240;
    img.SharpenPic(false);
    // Column 1: (1,1) = 240/12 = 20; (1,2) = (20 + 240)/12 = 21; (1,3) = (21 + 240)/12 = 21.
    EXPECT_EQ(ByteAt(img, 1, 1, 0), 20);
    EXPECT_EQ(ByteAt(img, 1, 2, 0), 21);
    EXPECT_EQ(ByteAt(img, 1, 3, 0), 21);
    // Column 2: (2,1) = (20 + 21 + 240)/12 = 23; the bright pixel itself reads four new
    // neighbours: (3 x 240 + 20 + 21 + 21 + 23 + 240) / 12 = 1045 / 12 = 87; then
    // (2,3) = (21 + 21 + 87)/12 = 10.
    EXPECT_EQ(ByteAt(img, 2, 1, 0), 23);
    EXPECT_EQ(ByteAt(img, 2, 2, 0), 87);
    EXPECT_EQ(ByteAt(img, 2, 3, 0), 10);
    // Column 3: (3,1) = (23 + 87)/12 = 9; (3,2) = (23 + 87 + 10 + 9)/12 = 10.
    EXPECT_EQ(ByteAt(img, 3, 1, 0), 9);
    EXPECT_EQ(ByteAt(img, 3, 2, 0), 10);
    // Left and right neighbours of the bright pixel differ, as do the lower and upper ones.
    EXPECT_NE(ByteAt(img, 1, 2, 0), ByteAt(img, 3, 2, 0));
    EXPECT_NE(ByteAt(img, 2, 1, 0), ByteAt(img, 2, 3, 0));
    // The other channels stay black.
    EXPECT_EQ(ByteAt(img, 2, 2, 1), 0);
    EXPECT_EQ(ByteAt(img, 2, 2, 2), 0);
}

}  // namespace
