// Crop and mount geometry, crop origins and resize targets: the worked tables.
#include "options/geometry.h"

#include <gtest/gtest.h>

#include <array>

namespace pictorra::options {
namespace {

std::array<int32_t, 6> Fields(const CropGeometry& g) {
    return {g.CropWide, g.CropHigh, g.MountWide, g.MountHigh, g.MountX, g.MountY};
}

TEST(Geometry, CropAndMount) {
    struct Case {
        int32_t W, H, small, large, crop_w, crop_h, mount_w, mount_h, mount_x, mount_y;
    };
    // Exact; just out of the tolerance and just in it; landscape and portrait, the odd pixel left
    // over on the canvas going right; halves to even (1504.5); 5 x 7, 8 x 10; a square
    // picture (portrait); square in and just out of the tolerance; 1 x 1.
    const Case cases[] = {{3000, 2000, 2, 3, 3000, 2000, 3000, 2000, 0, 0},
                          {3003, 2000, 2, 3, 3000, 2000, 3003, 2002, 0, 1},
                          {1498, 1000, 2, 3, 1498, 1000, 1498, 1000, 0, 0},
                          {1600, 1200, 2, 3, 1600, 1067, 1800, 1200, 100, 0},
                          {1601, 1200, 2, 3, 1601, 1067, 1800, 1200, 99, 0},
                          {1200, 1600, 2, 3, 1067, 1600, 1200, 1800, 0, 100},
                          {2000, 1000, 2, 3, 1500, 1000, 2000, 1333, 0, 166},
                          {2003, 1003, 2, 3, 1504, 1003, 2003, 1335, 0, 166},
                          {640, 480, 5, 7, 640, 457, 672, 480, 16, 0},
                          {1024, 768, 4, 5, 960, 768, 1024, 819, 0, 25},
                          {1000, 1000, 2, 3, 667, 1000, 1000, 1500, 0, 250},
                          {1001, 1000, 1, 1, 1001, 1000, 1001, 1000, 0, 0},
                          {1002, 1000, 1, 1, 1000, 1000, 1002, 1002, 0, 1},
                          {1, 1, 2, 3, 1, 1, 1, 1, 0, 0}};
    for (const Case& c : cases) {
        CropGeometry crop, mount;
        ASSERT_TRUE(ComputeCropGeometry(c.W, c.H, c.small, c.large, true, false, crop));
        ASSERT_TRUE(ComputeCropGeometry(c.W, c.H, c.small, c.large, true, true, mount));
        EXPECT_EQ(Fields(crop), (std::array{c.crop_w, c.crop_h, 0, 0, 0, 0})) << c.W << "x" << c.H;
        EXPECT_EQ(Fields(mount), (std::array{0, 0, c.mount_w, c.mount_h, c.mount_x, c.mount_y}))
            << c.W << "x" << c.H;
    }
}

TEST(Geometry, ZeroSideOrTermComputesNothing) {
    CropGeometry g{1, 2, 3, 4, 5, 6};
    for (auto [W, H, s, l] :
         {std::array{0, 10, 2, 3}, {10, 0, 2, 3}, {10, 10, 0, 3}, {10, 10, 2, 0}})
        EXPECT_FALSE(ComputeCropGeometry(W, H, s, l, true, false, g)) << W << H << s << l;
    EXPECT_EQ(Fields(g), (std::array{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(ComputeCropGeometry(100, 50, 2, 3, false, true, g));
    EXPECT_EQ(Fields(g), (std::array{0, 0, 0, 0, 0, 0}));
}

TEST(Geometry, CropOrigins) {
    // Each orientation over a landscape picture and a portrait one; 9 is unknown: centred.
    for (auto [orient, x, y] : {std::array{0, 0, 0},
                                {1, 500, 0},
                                {2, 500, 133},
                                {3, 0, 133},
                                {4, 250, 66},
                                {9, 250, 66}}) {
        int32_t X = 11, Y = 22;
        ComputeCropOrigin(2000, 1000, 1500, 1000, orient, {}, X, Y);
        EXPECT_EQ(std::pair(X, Y), std::pair(x, 0)) << orient;
        ComputeCropOrigin(1600, 1200, 1600, 1067, orient, {}, X, Y);
        EXPECT_EQ(std::pair(X, Y), std::pair(0, y)) << orient;
    }
    struct Case {
        int32_t W, H, CW, CH;
        ManualCrop manual;
        int32_t X, Y;
    };
    const Case cases[] = {
        // An odd leftover: the extra pixel stays right of and below a centred crop.
        {101, 51, 50, 20, {}, 25, 15},
        // Dragged boxes, in preview units: closer than 4 to the edge snaps to it; an unknown
        // mode leaves X and Y as they were.
        {2000, 1000, 1500, 1000, {1, 3.9, 50, 400, 300}, 0, 0},
        {2000, 1000, 1500, 1000, {1, 4.0, 50, 400, 300}, 20, 0},
        {2000, 1000, 1500, 1000, {1, 100, 50, 400, 300}, 500, 0},
        {2000, 1000, 1500, 1000, {2, 100, 3.9, 400, 300}, 0, 0},
        {2000, 1000, 1500, 1000, {2, 100, 30, 400, 300}, 0, 100},
        {2000, 1000, 1500, 1000, {7, 100, 100, 400, 300}, 11, 22}};
    for (const Case& c : cases) {
        int32_t X = 11, Y = 22;
        ComputeCropOrigin(c.W, c.H, c.CW, c.CH, 4, c.manual, X, Y);
        EXPECT_EQ(std::pair(X, Y), std::pair(c.X, c.Y))
            << c.W << "x" << c.H << " mode " << c.manual.mode;
    }
}

TEST(Geometry, ResizeTargetAndRounding) {
    const struct {
        int32_t CW, CH, size, w, h;
    } cases[] = {{500, 300, 800, 800, 480},   {300, 500, 800, 480, 800},
                 {1000, 1000, 800, 800, 800}, {3000, 2000, 640, 640, 427},
                 {1001, 2, 100, 100, 0},      {4, 1, 2, 2, 0}};
    for (const auto& c : cases) {
        int32_t w = 0, h = 0;
        ResizeTarget(c.CW, c.CH, c.size, w, h);
        EXPECT_EQ(std::pair(w, h), std::pair(c.w, c.h)) << c.CW << "x" << c.CH;
    }
    for (auto [value, nearest] :
         {std::pair{1501.5, 1502}, {1504.5, 1504}, {-2.5, -2}, {0.49999, 0}, {1e12, INT32_MAX}})
        EXPECT_EQ(Nearest(value), nearest) << value;
}

}  // namespace
}  // namespace pictorra::options
