// Resize: its identities, and byte-for-byte equality with a literal resampler over a padded copy
// of the source, for both qualities, on sizes up to ones that split the rows over threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

#include "image/c_image.h"
#include "test_support.h"

namespace {

using pictorra::image::cImage;
using namespace pictorra::test;

double Kernel(double t, bool cubic) {
    const double u = std::fabs(t), a = -0.5;
    if (!cubic) return u < 1 ? 1 - u : 0;
    if (u < 1) return (a + 2) * u * u * u - (a + 3) * u * u + 1;
    if (u < 2) return a * u * u * u - 5 * a * u * u + 8 * a * u - 4 * a;
    return 0;
}

// Taps read a copy of the source with its edge pixels repeated twice on every side; for each
// output pixel the rows j are the outer loop and the columns i the inner one.
cImage ReferenceResize(const cImage& src, int w, int h, bool cubic) {
    const int W = src.Width(), H = src.Height();
    const cImage padded = MakeImage(W + 4, H + 4, [&](int x, int y) {
        return PixelAt(src, std::clamp(x - 2, 0, W - 1), std::clamp(y - 2, 0, H - 1));
    });
    cImage dst;
    EXPECT_EQ(dst.CreateDIB(w, h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // A side of one pixel has no scale: it samples the middle of the source.
            const double fy = h > 1 ? y * (double(H - 1) / (h - 1)) : (H - 1) / 2.0;
            const double fx = w > 1 ? x * (double(W - 1) / (w - 1)) : (W - 1) / 2.0;
            const int iy = int(std::floor(fy)), ix = int(std::floor(fx));
            double sum[3] = {};
            for (int j = cubic ? -1 : 0; j <= (cubic ? 2 : 1); ++j)
                for (int i = cubic ? -1 : 0; i <= (cubic ? 2 : 1); ++i)
                    for (int ch = 0; ch < 3; ++ch)
                        sum[ch] += Kernel(j - (fy - iy), cubic) * Kernel(fx - ix - i, cubic) *
                                   padded.View().DibRow(iy + j + 2)[3 * (ix + i + 2) + ch];
            for (int ch = 0; ch < 3; ++ch)
                dst.View().DibRow(y)[3 * x + ch] =
                    uint8_t(std::nearbyint(cubic ? std::clamp(sum[ch], 0.0, 255.0) : sum[ch]));
        }
    return dst;
}

class ResizeReferenceTest
    : public testing::TestWithParam<std::tuple<std::tuple<int, int, int, int>, bool>> {};

TEST_P(ResizeReferenceTest, SameBytesAsTheLiteralResampler) {
    const auto [size, high] = GetParam();
    const auto [src_w, src_h, w, h] = size;
    const cImage src = Photo(src_w, src_h, uint32_t(src_w * 7919 + src_h));
    EXPECT_TRUE(Bytes(src.Resize(w, h, high)) == Bytes(ReferenceResize(src, w, h, high)));
}

// The last two split the rows over threads (the last only for cubic).
INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizeReferenceTest,
    testing::Combine(testing::ValuesIn(std::vector<std::tuple<int, int, int, int>>{
                         {2, 2, 3, 3}, {7, 5, 23, 11}, {61, 47, 13, 9}, {10, 8, 1, 5}, {9, 8, 6, 1},
                         {1, 9, 4, 3}, {150, 100, 401, 301}, {513, 387, 257, 255}}),
                     testing::Bool()));

class ResizeIdentityTest : public testing::TestWithParam<bool> {};

TEST_P(ResizeIdentityTest, Holds) {
    const bool high = GetParam();
    // The columns xs and rows ys of src.
    const auto pick = [](const cImage& src, std::vector<int> xs, std::vector<int> ys) {
        return Bytes(MakeImage(int(xs.size()), int(ys.size()),
                               [&](int x, int y) { return PixelAt(src, xs[x], ys[y]); }));
    };
    const cImage photo = Photo(5, 5, 3), four = Photo(4, 4, 5);
    EXPECT_EQ(Bytes(photo.Resize(5, 5, high)), Bytes(photo));
    EXPECT_EQ(Bytes(four.Resize(2, 2, high)), pick(four, {0, 3}, {0, 3}));
    // A 1-pixel side of an odd source takes its middle column or pixel.
    EXPECT_EQ(Bytes(photo.Resize(1, 5, high)), pick(photo, {2}, {0, 1, 2, 3, 4}));
    EXPECT_EQ(Bytes(photo.Resize(1, 1, high)), pick(photo, {2}, {2}));
    const cImage two = MakeImage(2, 2, [](int x, int y) {
        return Rgb{uint8_t(10 + 10 * x + 20 * y), uint8_t(11 + 10 * x + 20 * y),
                   uint8_t(20 * (1 + x + 2 * y))};
    });  // 10 20 / 30 40, plus one, doubled
    EXPECT_EQ(PixelAt(two.Resize(3, 3, high), 1, 1), (Rgb{25, 26, 50}));  // the means
    for (Rgb c : {Rgb{0, 128, 255}, Rgb{77, 3, 200}})
        for (auto [w, h] : {std::pair{17, 9}, std::pair{1, 1}, std::pair{64, 5}})
            EXPECT_EQ(Bytes(Uniform(11, 7, c).Resize(w, h, high)), Bytes(Uniform(w, h, c)));
    // Cubic overshoot at a sharp edge clamps: a value wrapped round a byte breaks the monotony.
    cImage edge = Uniform(8, 1, {0, 0, 0});
    for (int x = 4; x < 8; ++x) SetPixel(edge, x, 0, {255, 255, 255});
    edge = edge.Resize(29, 1, high);
    EXPECT_EQ(PixelAt(edge, 0, 0).g, 0);
    EXPECT_EQ(PixelAt(edge, 28, 0).g, 255);
    for (int x = 1; x < 29; ++x) EXPECT_GE(PixelAt(edge, x, 0).g, PixelAt(edge, x - 1, 0).g);
    EXPECT_FALSE(photo.Resize(0, 5, high).PicValid());
    EXPECT_EQ(Bytes(cImage().Resize(3, 2, high)), Bytes(Uniform(3, 2, {0, 0, 0})));
}

INSTANTIATE_TEST_SUITE_P(Qualities, ResizeIdentityTest, testing::Bool());

}  // namespace
