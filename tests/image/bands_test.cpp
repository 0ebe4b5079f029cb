// BevelPic and BorderPic: parameter ranges, and clipping against the literal, unclipped band walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "image/c_image.h"
#include "test_support.h"

namespace {

using pictorra::image::cImage;
using namespace pictorra::test;

// Thickness, bevel factor and step, and whether the bevel and the border change anything.
TEST(Bands, OutOfRangeLeavesThePicture) {
    const std::tuple<int, int, int, bool, bool> cases[] = {
        {0, 60, 60, false, false}, {100, 60, 60, false, false}, {4, 60, 59, false, true},
        {4, 60, 301, false, true}, {4, 59, 60, false, true},    {4, 201, 60, false, true},
        {1, 60, 60, true, true},   {99, 200, 300, true, true}};
    for (const auto& [thick, factor, step, bevel_changes, border_changes] : cases) {
        cImage bevel = Noise(30, 20, 5), border = Noise(30, 20, 5);
        bevel.BevelPic(30, 20, 0, 0, thick, factor, step);
        border.BorderPic(30, 20, 0, 0, thick, 0xFF00FF);
        EXPECT_EQ(Bytes(bevel) != Bytes(Noise(30, 20, 5)), bevel_changes) << thick << " " << step;
        EXPECT_EQ(Bytes(border) != Bytes(Noise(30, 20, 5)), border_changes) << thick << " " << step;
    }
}

struct Rect {
    int32_t wide, high, x, y, thick;
};

// The band walk with no clipping: fn(byte, channel, band n, sign), sign +1 on the bottom and
// right bands, -1 on the top and left. What falls off the picture goes to `spare`.
template <typename Fn>
void ReferenceWalk(cImage& img, const Rect& r, Fn fn) {
    uint8_t spare = 0;
    const auto at = [&](int64_t c, int64_t row, int ch) -> uint8_t& {
        const bool inside = c >= 0 && c < img.Width() && row >= 0 && row < img.Height();
        return inside ? img.View().DibRow(int(row))[3 * c + ch] : spare;
    };
    for (int64_t k = 0; k < r.thick; ++k)
        for (int64_t c = r.x + k; c <= r.x + r.wide - 2 - k; ++c)
            for (int ch = 0; ch < 3; ++ch) {
                fn(at(c, r.y + k, ch), ch, k, 1);
                fn(at(c, r.high - 1 - k, ch), ch, k, -1);
            }
    for (int64_t j = 0; j <= r.thick; ++j)
        for (int64_t row = r.y + j; row <= r.high - 1 - j; ++row)
            for (int ch = 0; ch < 3; ++ch) {
                fn(at(r.x + j, row, ch), ch, j, -1);
                fn(at(r.x + r.wide - 1 - j, row, ch), ch, j, 1);
            }
}

class ClipTest : public testing::TestWithParam<int> {};

TEST_P(ClipTest, InsideTheBufferAsTheUnboundedWalk) {
    std::mt19937 rng{uint32_t(GetParam())};
    const auto pick = [&](int lo, int hi) { return lo + int(rng() % uint32_t(hi - lo + 1)); };
    for (int round = 0; round < 60; ++round) {
        const int w = pick(1, 30), h = pick(1, 30);
        const Rect r{pick(0, w + 20), pick(-10, h + 20), pick(-15, w + 5), pick(-15, h + 5),
                     pick(1, round % 2 ? 99 : 8)};
        const cImage before = Noise(w, h, rng());
        const uint32_t colour = rng() & 0xFFFFFF;
        SCOPED_TRACE(testing::Message() << w << "x" << h << " rect " << r.wide << "," << r.high
                                        << "," << r.x << "," << r.y << " T " << r.thick);
        // Soft, pipe-shaped and sharp bevels, then the border.
        for (const auto& [factor, step] : {std::pair{60, 60}, {60, 200}, {200, 60}, {0, 0}}) {
            cImage img = before, want = before;
            if (factor > 0) {
                img.BevelPic(r.wide, r.high, r.x, r.y, r.thick, factor, step);
                const int64_t band_step = step / r.thick;
                ReferenceWalk(want, r, [&](uint8_t& v, int, int64_t n, int sign) {
                    v = uint8_t(std::clamp<int64_t>(v + sign * (n * band_step - factor), 0, 255));
                });
            } else {
                img.BorderPic(r.wide, r.high, r.x, r.y, r.thick, colour);
                std::vector<double> f{1.0};  // loses 1 / T after each band
                while (f.size() <= size_t(r.thick)) f.push_back(f.back() - 1.0 / r.thick);
                ReferenceWalk(want, r, [&](uint8_t& v, int ch, int64_t n, int) {
                    const double c = (colour >> (16 - 8 * ch)) & 255;  // blue, green, red
                    v = uint8_t(std::nearbyint(v - v * f[size_t(n)] + c * f[size_t(n)]));
                });
            }
            ASSERT_TRUE(Bytes(img) == Bytes(want)) << "factor " << factor << " step " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ClipTest, testing::Range(1, 4));

// Far beyond the picture and at the ends of the 32-bit range: the row padding stays.
TEST(Clip, HugeThicknessOnTinyPictures) {
    // clang-format off
    const int32_t rects[][4] = {{-50, -50, 0, 0}, {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
        {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}, {INT32_MAX, 4, INT32_MIN, 0}};
    // clang-format on
    for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{5, 1}}) {
        for (const auto& r : rects) {
            const cImage before = Noise(w, h, 11);
            cImage img = before;
            img.BevelPic(r[0], r[1], r[2], r[3], 99, 200, 60);
            img.BorderPic(r[0], r[1], r[2], r[3], 99, 0x123456);
            for (int row = 0; row < h; ++row)
                EXPECT_TRUE(std::equal(img.View().DibRow(row) + 3 * w, img.View().DibRow(row + 1),
                                       before.View().DibRow(row) + 3 * w));
        }
    }
}

}  // namespace
