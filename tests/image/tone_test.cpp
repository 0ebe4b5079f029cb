// DarkenPic, LightenPic, SharpenPic: worked darken values, and lighten and sharpen (fast and
// threaded routes included) against literal transcriptions of their steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "image/c_image.h"
#include "test_support.h"

namespace {

using pictorra::image::cImage;
using pictorra::image::kAllCores;
using namespace pictorra::test;

// Every pixel byte set to v; the row padding is left as it was.
cImage Greyed(cImage img, uint8_t v) {
    for (int row = 0; row < img.Height(); ++row)
        std::memset(img.View().DibRow(row), v, size_t(3 * img.Width()));
    return img;
}

// v x part / 255, truncated, over 7 pixels a row (one 16-byte block and a 5-byte tail). The
// tools pass 0..255; beyond that a result that does not fit a byte keeps the byte.
TEST(Darken, WorkedValues) {
    // clang-format off
    for (auto [part, in, out] : {std::array{244, 0, 0}, {244, 1, 0}, {244, 128, 122},
            {244, 255, 244}, {255, 77, 77}, {0, 200, 0}, {300, 216, 254}, {300, 222, 222},
            {-5, 100, 100}}) {
        // clang-format on
        cImage img = Greyed(Noise(7, 3, 1), uint8_t(in));
        img.DarkenPic(part);
        EXPECT_EQ(Bytes(img), Bytes(Greyed(Noise(7, 3, 1), uint8_t(out)))) << part << ": " << in;
    }
}

// The HSL round trip: every named value a single, every formula evaluated in double.
Rgb ReferenceLighten(Rgb in, int32_t percent) {
    using D = double;
    const float r = in.r / 255.0, g = in.g / 255.0, b = in.b / 255.0;
    const float mx = std::max({r, g, b}), mn = std::min({r, g, b});
    float L = (D(mx) + mn) / 2, S = 0, H = 0;
    if (mx != mn) {
        S = L <= 0.5 ? (D(mx) - mn) / (D(mx) + mn) : (D(mx) - mn) / (2 - D(mx) - mn);
        const float d = D(mx) - mn;
        H = r == mx ? (D(g) - b) / d : g == mx ? 2 + (D(b) - r) / d : 4 + (D(r) - g) / d;
    }
    L = std::min(D(L) * (percent / 100.0 + 1), 1.0);
    float red = L, green = L, blue = L;
    if (S != 0) {
        const float lo = L <= 0.5 ? D(L) * (1 - D(S)) : D(L) - (1 - D(L)) * S;
        const float hi = 2 * D(L) - lo;
        const D h = H, l = lo, u = hi;
        // clang-format off
        if (H < 0) red = hi, green = lo, blue = l - (u - l) * h;
        else if (H < 1) red = hi, green = l + (u - l) * h, blue = lo;
        else if (H < 2) red = l - (h - 2) * (u - l), green = hi, blue = lo;
        else if (H < 3) red = lo, green = hi, blue = l + (h - 2) * (u - l);
        else if (H < 4) red = lo, green = l - (h - 4) * (u - l), blue = hi;
        else red = l + (h - 4) * (u - l), green = lo, blue = hi;
        // clang-format on
    }
    const auto byte = [](float v) { return uint8_t(std::nearbyint(v * 255.0)); };
    return {byte(red), byte(green), byte(blue)};
}

class LightenStepsTest : public testing::TestWithParam<std::tuple<int32_t, int, int, int32_t>> {};

// Colours where float and double steps part ways, then a strided sample of all 2^24.
TEST_P(LightenStepsTest, MatchesTheLiteralSteps) {
    const auto [percent, w, h, threads] = GetParam();
    const Rgb pinned[] = {{0, 25, 36}, {1, 5, 32}, {255, 0, 0}, {232, 232, 232}};
    const cImage before = MakeImage(w, h, [&](int x, int y) {
        const uint32_t i = uint32_t(y * w + x), v = (i * 0x9E3779u) & 0xFFFFFF;
        return i < 4 ? pinned[i] : Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    });
    cImage img = before;
    img.LightenPic(percent, threads);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(PixelAt(img, x, y), ReferenceLighten(PixelAt(before, x, y), percent))
                << x << ", " << y;
}

// 701 x 401 takes the table, on the calling thread alone or split over threads.
INSTANTIATE_TEST_SUITE_P(Sizes, LightenStepsTest,
                         testing::Values(std::tuple{10, 61, 47, kAllCores},
                                         std::tuple{-40, 61, 47, kAllCores},
                                         std::tuple{10, 701, 401, 1}, std::tuple{10, 701, 401, 3},
                                         std::tuple{33, 701, 401, kAllCores}));

// Columns 1..W-2 outer, memory rows 1..H-2 inner, in the one buffer: the left and lower
// neighbours are already new when a pixel is computed.
void ReferenceSharpen(cImage& img, bool sharpen) {
    const auto at = [&](int c, int row, int ch) -> uint8_t& {
        return img.View().DibRow(row)[3 * c + ch];
    };
    for (int c = 1; c < img.Width() - 1; ++c)
        for (int row = 1; row < img.Height() - 1; ++row)
            for (int ch = 0; ch < 3; ++ch) {
                int total = 0;
                for (int i = -1; i <= 1; ++i)
                    for (int j = -1; j <= 1; ++j)
                        total += (i == 0 && j == 0 ? (sharpen ? 15 : 4) : (sharpen ? -1 : 1)) *
                                 at(c + i, row + j, ch);
                at(c, row, ch) = uint8_t(std::clamp(total / (sharpen ? 7 : 12), 0, 255));
            }
}

using SharpenArgs = std::tuple<std::pair<int, int>, bool, int32_t>;
class SharpenTest : public testing::TestWithParam<SharpenArgs> {};

TEST_P(SharpenTest, MatchesTheLiteralInPlaceLoops) {
    const auto [size, sharpen, threads] = GetParam();
    cImage img = Photo(size.first, size.second, 4), want = img;
    ReferenceSharpen(want, sharpen);
    img.SharpenPic(sharpen, threads);
    EXPECT_TRUE(Bytes(img) == Bytes(want));
}

// The last two are large enough for threads to share the bands (as many as the cores allow).
INSTANTIATE_TEST_SUITE_P(
    Sizes, SharpenTest,
    testing::Combine(
        testing::ValuesIn(std::vector<std::pair<int, int>>{
            {3, 3}, {2, 9}, {9, 2}, {33, 34}, {37, 201}, {201, 37}, {700, 500}, {131, 2101}}),
        testing::Bool(), testing::Values(1, 2, 3, kAllCores)));

}  // namespace
