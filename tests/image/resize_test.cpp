// Resize: byte-for-byte equality with a literal resampler over a padded copy of the source, for
// both qualities, on sizes up to ones that split the rows over threads; and its identities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
const std::tuple<int, int, int, int> kSizes[] = {
    {2, 2, 3, 3}, {7, 5, 23, 11}, {61, 47, 13, 9},      {10, 8, 1, 5},
    {9, 8, 9, 1}, {1, 9, 4, 3},   {150, 100, 401, 301}, {513, 387, 257, 255}};
INSTANTIATE_TEST_SUITE_P(Sizes, ResizeReferenceTest,
                         testing::Combine(testing::ValuesIn(kSizes), testing::Bool()));

// What the literal resampler does not cover: an equal size is a copy, an empty source gives
// black, and a side below 1 nothing.
TEST(Resize, IdentitiesAndEdgeCases) {
    const cImage photo = Photo(5, 5, 3);
    for (const bool high : {false, true}) {
        EXPECT_EQ(Bytes(photo.Resize(5, 5, high)), Bytes(photo));
        EXPECT_EQ(Bytes(cImage().Resize(3, 2, high)), Bytes(Uniform(3, 2, {0, 0, 0})));
        EXPECT_FALSE(photo.Resize(0, 5, high).PicValid());
    }
}

}  // namespace
