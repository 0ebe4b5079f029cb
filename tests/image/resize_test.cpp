// Resize: its identities, and byte-for-byte equality with a literal
// implementation of its text (padded source copy, per-pixel weights, j outer and i inner) over
// many sizes, both qualities, enlarging and shrinking, odd widths, sides of one pixel, and sizes
// large enough that the engine splits the rows over threads.
#include <gtest/gtest.h>

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

cImage Noise(int w, int h, uint32_t seed) {
    cImage img;
    EXPECT_EQ(img.CreateDIB(w, h), 0);
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < img.PicSize(); ++i) img.DIBitsPtr()[i] = uint8_t(rng());
    return img;
}

// A photograph-like picture: smooth gradients, an edge and some noise.
cImage Scene(int w, int h, uint32_t seed) {
    std::mt19937 rng(seed);
    return MakeImage(w, h, [&](int x, int y) {
        const bool bright = x * 3 > w + y;
        return Rgb{uint8_t(bright ? 230 - y % 40 : 20 + x % 50), uint8_t((x * 7 + y * 3) % 256),
                   uint8_t(rng() % 256)};
    });
}

// ---- the literal reference ---------------------------------------------------------------------

// The padded source of PadSource: x in bytes from x_lo to x_hi, y in rows from y_lo to y_hi.
struct Padded {
    int x_lo, x_hi, y_lo, y_hi;
    std::vector<uint8_t> bytes;
    uint8_t& At(int x, int y) {
        EXPECT_TRUE(x >= x_lo && x <= x_hi && y >= y_lo && y <= y_hi) << x << ", " << y;
        return bytes[size_t(y - y_lo) * size_t(x_hi - x_lo + 1) + size_t(x - x_lo)];
    }
};

Padded PadSource(const cImage& src, bool high) {
    const int W = src.Width(), H = src.Height();
    Padded p = high ? Padded{-3, 3 * W + 5, -1, H + 1, {}} : Padded{0, 3 * W + 2, 0, H, {}};
    p.bytes.assign(size_t(p.x_hi - p.x_lo + 1) * size_t(p.y_hi - p.y_lo + 1), 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < 3 * W; ++x) p.At(x, y) = src.View().DibRow(y)[x];
    for (int y = 0; y < H; ++y) {
        for (int x = p.x_lo; x < 0; x += 3)
            for (int c = 0; c < 3; ++c) p.At(x + c, y) = p.At(c, y);
        for (int x = 3 * W; x <= p.x_hi; x += 3)
            for (int c = 0; c < 3; ++c) p.At(x + c, y) = p.At(3 * (W - 1) + c, y);
    }
    for (int y = p.y_lo; y < 0; ++y)
        for (int x = p.x_lo; x <= p.x_hi; ++x) p.At(x, y) = p.At(x, 0);
    for (int y = H; y <= p.y_hi; ++y)
        for (int x = p.x_lo; x <= p.x_hi; ++x) p.At(x, y) = p.At(x, H - 1);
    return p;
}

double LinearWeight(double t) {
    const int r = 1;
    if (std::fabs(t) < r) return (1 - std::fabs(t) / r) / r;
    return 0;
}

double CubicWeight(double t) {
    const double a = -0.5;
    const double u = std::fabs(t);
    if (u < 1) return (a + 2) * u * u * u - (a + 3) * u * u + 1;
    if (u < 2) return a * u * u * u - 5 * a * u * u + 8 * a * u - 4 * a;
    return 0;
}

cImage ReferenceResize(const cImage& src, int w, int h, bool high) {
    cImage dst;
    EXPECT_EQ(dst.CreateDIB(w, h), 0);
    const int W = src.Width(), H = src.Height();
    if (w == W && h == H) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 3 * w; ++x) dst.View().DibRow(y)[x] = src.View().DibRow(y)[x];
        return dst;
    }
    Padded pad = PadSource(src, high);
    // A side of one has no scale factor: that axis samples the middle of the source.
    const double sx = w > 1 ? double(W - 1) / double(w - 1) : 0.0;
    const double sy = h > 1 ? double(H - 1) / double(h - 1) : 0.0;
    const int first = high ? -1 : 0, last = high ? 2 : 1;
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x <= w - 1; ++x) {
            const double fy = h == 1 ? double(H - 1) / 2.0 : y * sy;
            const int iy = int(std::floor(fy));
            const double dy = fy - iy;
            const double fx = w == 1 ? double(W - 1) / 2.0 : x * sx;
            const int ix = int(std::floor(fx));
            const double dx = fx - ix;
            double sum[3] = {0.0, 0.0, 0.0};
            for (int j = first; j <= last; ++j) {
                for (int i = first; i <= last; ++i) {
                    const double weight = high ? CubicWeight(j - dy) * CubicWeight(dx - i)
                                               : LinearWeight(j - dy) * LinearWeight(dx - i);
                    for (int c = 0; c < 3; ++c) sum[c] += weight * pad.At(3 * (ix + i) + c, iy + j);
                }
            }
            for (int c = 0; c < 3; ++c) {
                double v = sum[c];
                if (high) v = v < 0 ? 0 : (v > 255 ? 255 : v);
                dst.View().DibRow(y)[3 * x + c] = uint8_t(std::nearbyint(v));
            }
        }
    }
    return dst;
}

// Pixel bytes only (the padding of a new buffer is the engine's business).
std::vector<uint8_t> PixelBytes(const cImage& img) {
    std::vector<uint8_t> out;
    for (int y = 0; y < img.Height(); ++y)
        out.insert(out.end(), img.View().DibRow(y), img.View().DibRow(y) + 3 * img.Width());
    return out;
}

// ---- equality with the reference ---------------------------------------------------------------

struct SizeCase {
    std::string name;
    int src_w, src_h, dst_w, dst_h;
};

class ResizeReferenceTest : public testing::TestWithParam<std::tuple<SizeCase, bool>> {};

TEST_P(ResizeReferenceTest, SameBytesAsTheLiteralText) {
    const auto& [tc, high] = GetParam();
    for (int kind = 0; kind < 2; ++kind) {
        const uint32_t seed = uint32_t(tc.src_w * 7919 + tc.src_h);
        const cImage src =
            kind == 0 ? Noise(tc.src_w, tc.src_h, seed) : Scene(tc.src_w, tc.src_h, seed);
        const cImage copy = src;
        const cImage got = src.Resize(tc.dst_w, tc.dst_h, high);
        ASSERT_TRUE(got.PicValid());
        ASSERT_EQ(got.Width(), tc.dst_w);
        ASSERT_EQ(got.Height(), tc.dst_h);
        const cImage want = ReferenceResize(src, tc.dst_w, tc.dst_h, high);
        EXPECT_TRUE(PixelBytes(got) == PixelBytes(want)) << (kind == 0 ? "noise" : "scene");
        EXPECT_TRUE(PixelBytes(src) == PixelBytes(copy)) << "source changed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizeReferenceTest,
    testing::Combine(testing::Values(SizeCase{"Up2x2To3x3", 2, 2, 3, 3},
                                     SizeCase{"Down4x4To2x2", 4, 4, 2, 2},
                                     SizeCase{"Up7x5To23x11", 7, 5, 23, 11},
                                     SizeCase{"Down61x47To13x9", 61, 47, 13, 9},
                                     SizeCase{"OddWidths33x17To101x51", 33, 17, 101, 51},
                                     SizeCase{"Down300x200To91x61", 300, 200, 91, 61},
                                     SizeCase{"WidthOnly40x30To17x30", 40, 30, 17, 30},
                                     SizeCase{"HeightOnly40x30To40x77", 40, 30, 40, 77},
                                     SizeCase{"TargetColumn9x8To1x8", 9, 8, 1, 8},
                                     SizeCase{"TargetColumnEven10x8To1x5", 10, 8, 1, 5},
                                     SizeCase{"TargetRow9x8To6x1", 9, 8, 6, 1},
                                     SizeCase{"TargetPixel7x6To1x1", 7, 6, 1, 1},
                                     SizeCase{"SourcePixel1x1To5x4", 1, 1, 5, 4},
                                     SizeCase{"SourceColumn1x9To4x3", 1, 9, 4, 3},
                                     SizeCase{"SourceRow9x1To3x4", 9, 1, 3, 4},
                                     // Large enough that the rows are split over threads.
                                     SizeCase{"ThreadedUp150x100To401x301", 150, 100, 401, 301},
                                     SizeCase{"ThreadedDown1203x901To321x257", 1203, 901, 321, 257},
                                     SizeCase{"ThreadedOdd513x387To257x255", 513, 387, 257, 255}),
                     testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<SizeCase, bool>>& info) {
        return std::get<0>(info.param).name + (std::get<1>(info.param) ? "_High" : "_Standard");
    });

// ---- identities ------------------------------------------------------------------------------

TEST(Resize, SameSizeIsAnExactCopy) {
    for (bool high : {false, true}) {
        for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{64, 47}}) {
            const cImage src = Noise(w, h, 21);
            const cImage got = src.Resize(w, h, high);
            EXPECT_TRUE(PixelBytes(got) == PixelBytes(src)) << w << "x" << h;
        }
    }
}

TEST(Resize, TwoByTwoToThreeByThreeStandard) {
    // Top-down: (10, 20 / 30, 40) in every channel; the centre is the mean, 25.
    const uint8_t v[2][2] = {{10, 20}, {30, 40}};
    const cImage src = MakeImage(2, 2, [&](int x, int y) {
        return Rgb{v[y][x], uint8_t(v[y][x] + 1), uint8_t(v[y][x] * 2)};
    });
    const cImage got = src.Resize(3, 3, false);
    EXPECT_EQ(PixelAt(got, 1, 1), (Rgb{25, 26, 50}));
    EXPECT_EQ(PixelAt(got, 0, 0), PixelAt(src, 0, 0));
    EXPECT_EQ(PixelAt(got, 2, 0), PixelAt(src, 1, 0));
    EXPECT_EQ(PixelAt(got, 0, 2), PixelAt(src, 0, 1));
    EXPECT_EQ(PixelAt(got, 2, 2), PixelAt(src, 1, 1));
    EXPECT_EQ(PixelAt(got, 1, 0), (Rgb{15, 16, 30}));  // halfway along the top edge
}

TEST(Resize, FourByFourToTwoByTwoTakesTheCorners) {
    const cImage src = Noise(4, 4, 5);
    for (bool high : {false, true}) {
        const cImage got = src.Resize(2, 2, high);
        EXPECT_EQ(PixelAt(got, 0, 0), PixelAt(src, 0, 0)) << high;
        EXPECT_EQ(PixelAt(got, 1, 0), PixelAt(src, 3, 0)) << high;
        EXPECT_EQ(PixelAt(got, 0, 1), PixelAt(src, 0, 3)) << high;
        EXPECT_EQ(PixelAt(got, 1, 1), PixelAt(src, 3, 3)) << high;
    }
}

TEST(Resize, UniformStaysUniform) {
    for (bool high : {false, true}) {
        for (Rgb c : {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{1, 128, 254}, Rgb{77, 3, 200}}) {
            for (auto [w, h] :
                 {std::pair{3, 3}, std::pair{17, 9}, std::pair{1, 1}, std::pair{64, 5}}) {
                const cImage got = Uniform(11, 7, c).Resize(w, h, high);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(PixelAt(got, x, y), c) << w << "x" << h << " high " << high;
            }
        }
    }
}

// The cubic kernel overshoots at a sharp edge; the clamp keeps the row profile monotonic (a value
// that wrapped around a byte would break it) with black and white at the two ends.
TEST(Resize, SharpEdgeStaysWithinRange) {
    const cImage src = MakeImage(8, 4, [](int x, int) {
        const uint8_t v = x < 4 ? 0 : 255;
        return Rgb{v, v, v};
    });
    for (bool high : {false, true}) {
        const cImage got = src.Resize(29, 4, high);
        for (int y = 0; y < 4; ++y) {
            EXPECT_EQ(PixelAt(got, 0, y).g, 0);
            EXPECT_EQ(PixelAt(got, 28, y).g, 255);
            for (int x = 1; x < 29; ++x) EXPECT_GE(PixelAt(got, x, y).g, PixelAt(got, x - 1, y).g);
        }
    }
}

TEST(Resize, TargetColumnOfAnOddWidthTakesTheMiddleColumn) {
    const cImage src = Noise(5, 6, 8);
    for (bool high : {false, true}) {
        const cImage got = src.Resize(1, 6, high);
        for (int y = 0; y < 6; ++y) EXPECT_EQ(PixelAt(got, 0, y), PixelAt(src, 2, y)) << high;
    }
}

TEST(Resize, FailedBufferGivesAnEmptyResult) {
    const cImage src = Noise(5, 6, 8);
    EXPECT_FALSE(src.Resize(0, 5, true).PicValid());
    EXPECT_FALSE(src.Resize(5, 0, false).PicValid());
    EXPECT_FALSE(src.Resize(-3, -3, false).PicValid());
}

TEST(Resize, EmptySourceGivesABlackPicture) {
    const cImage empty;
    const cImage got = empty.Resize(3, 2, true);
    ASSERT_TRUE(got.PicValid());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(got, x, y), (Rgb{0, 0, 0}));
}

}  // namespace
