// The three window arrangements and the final conversion to pixels.
#include "options/arrangement.h"

#include <gtest/gtest.h>

#include <array>

namespace pictorra::options {
namespace {

// A 1920 x 1080 screen; main window 7980 x 7785, view 6195 wide, tool dialog 3000 high.
constexpr ArrangeInput kExample{28800, 16200, 7980, 7785, 6195, 3000};

TEST(Arrangement, ExampleSideBySideExactly) {
    const ArrangeResult r = ArrangeWindows(0, kExample);
    EXPECT_EQ((std::array{r.main_left, r.main_top, r.view_left, r.view_top}),
              (std::array{7312.5, 2707.5, 15292.5, 2707.5}));
    // 487.5, 180.5 and -1.5 pixels: halves to even; no scale, no pixels.
    EXPECT_EQ((std::array{TwipsToPixels(r.main_left, 15), TwipsToPixels(r.main_top, 15),
                          TwipsToPixels(-22.5, 15), TwipsToPixels(100, 0)}),
              (std::array{488, 180, -2, 0}));
}

TEST(Arrangement, AllArrangements) {
    const auto with = [](double sw, double mh, double th) {
        return ArrangeInput{sw, 16200, 7980, mh, 6195, th};
    };
    const struct {
        const char* what;
        int32_t arrangement;
        ArrangeInput in;
        ArrangeResult out;
    } cases[] = {
        {"tall: 0.4 SH - 0.5 MH", 0, with(28800, 12000, 5000), {7312.5, 480, 15292.5, 480}},
        {"exactly the screen's height", 0, with(28800, 12200, 4000), {7312.5, 380, 15292.5, 380}},
        {"tall, clamped to the top", 0, with(28800, 14000, 3000), {7312.5, 0, 15292.5, 0}},
        {"no room", 0, with(14175, 7785, 3000), {100, 4207.5, 8080, 4207.5}},
        {"no room, not clamped", 0, with(14000, 20000, 0), {100, -1900, 8080, -1900}},
        {"one above the other", 1, kExample, {10410, 100, 10410, 7785}},
        {"cascade", 2, kExample, {2880, 1620, 8466, 7069.5}},
        {"unknown: side by side", 7, kExample, {7312.5, 2707.5, 15292.5, 2707.5}},
    };
    for (const auto& c : cases) {
        const ArrangeResult r = ArrangeWindows(c.arrangement, c.in);
        EXPECT_DOUBLE_EQ(r.main_left, c.out.main_left) << c.what;
        EXPECT_DOUBLE_EQ(r.main_top, c.out.main_top) << c.what;
        EXPECT_DOUBLE_EQ(r.view_left, c.out.view_left) << c.what;
        EXPECT_DOUBLE_EQ(r.view_top, c.out.view_top) << c.what;
    }
}

}  // namespace
}  // namespace pictorra::options
