// Crop and mount geometry, crop origins and resize targets: the worked tables.
#include "options/geometry.h"

#include <gtest/gtest.h>

namespace pictorra::options {
namespace {

struct RatioCase {
    const char* name;
    int32_t W, H, small, large;
    CropGeometry crop;   // only CropWide/CropHigh used
    CropGeometry mount;  // only the mount fields used
};

class CropGeometryTest : public testing::TestWithParam<RatioCase> {};

TEST_P(CropGeometryTest, CropAndMount) {
    const RatioCase& c = GetParam();
    CropGeometry g;
    ASSERT_TRUE(ComputeCropGeometry(c.W, c.H, c.small, c.large, true, false, g));
    EXPECT_EQ(g.CropWide, c.crop.CropWide);
    EXPECT_EQ(g.CropHigh, c.crop.CropHigh);
    EXPECT_EQ(g.MountWide, 0);
    ASSERT_TRUE(ComputeCropGeometry(c.W, c.H, c.small, c.large, true, true, g));
    EXPECT_EQ(g.CropWide, 0);
    EXPECT_EQ(g.MountWide, c.mount.MountWide);
    EXPECT_EQ(g.MountHigh, c.mount.MountHigh);
    EXPECT_EQ(g.MountX, c.mount.MountX);
    EXPECT_EQ(g.MountY, c.mount.MountY);
}

CropGeometry Crop(int32_t w, int32_t h) { return {w, h, 0, 0, 0, 0}; }
CropGeometry Mount(int32_t w, int32_t h, int32_t x, int32_t y) { return {0, 0, w, h, x, y}; }

INSTANTIATE_TEST_SUITE_P(
    Table, CropGeometryTest,
    testing::Values(
        RatioCase{"Exact3x2", 3000, 2000, 2, 3, Crop(3000, 2000), Mount(3000, 2000, 0, 0)},
        RatioCase{"JustTooLong", 3003, 2000, 2, 3, Crop(3000, 2000), Mount(3003, 2002, 0, 1)},
        RatioCase{"Landscape4x3", 1600, 1200, 2, 3, Crop(1600, 1067), Mount(1800, 1200, 100, 0)},
        RatioCase{"Portrait3x4", 1200, 1600, 2, 3, Crop(1067, 1600), Mount(1200, 1800, 0, 100)},
        RatioCase{"Wide2x1", 2000, 1000, 2, 3, Crop(1500, 1000), Mount(2000, 1333, 0, 166)},
        RatioCase{"HalfUp", 2001, 1001, 2, 3, Crop(1502, 1001), Mount(2001, 1334, 0, 166)},
        RatioCase{"HalfDown", 2003, 1003, 2, 3, Crop(1504, 1003), Mount(2003, 1335, 0, 166)},
        RatioCase{"FiveBySeven", 640, 480, 5, 7, Crop(640, 457), Mount(672, 480, 16, 0)},
        RatioCase{"EightByTen", 1024, 768, 4, 5, Crop(960, 768), Mount(1024, 819, 0, 25)},
        RatioCase{"SquarePictureIsPortrait", 1000, 1000, 2, 3, Crop(667, 1000),
                  Mount(1000, 1500, 0, 250)},
        RatioCase{"SquareWithinTolerance", 1001, 1000, 1, 1, Crop(1001, 1000),
                  Mount(1001, 1000, 0, 0)},
        RatioCase{"SquareJustOut", 1002, 1000, 1, 1, Crop(1000, 1000), Mount(1002, 1002, 0, 1)},
        RatioCase{"OnePixel", 1, 1, 2, 3, Crop(1, 1), Mount(1, 1, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CropGeometry, ZeroTermOrSizeComputesNothing) {
    for (auto [W, H, s, l] : {std::array{0, 10, 2, 3}, std::array{10, 0, 2, 3},
                              std::array{10, 10, 0, 3}, std::array{10, 10, 2, 0}}) {
        CropGeometry g{1, 2, 3, 4, 5, 6};
        EXPECT_FALSE(ComputeCropGeometry(W, H, s, l, true, false, g));
        EXPECT_EQ(g.CropWide, 1);
        EXPECT_EQ(g.MountY, 6);
    }
    CropGeometry g{1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(ComputeCropGeometry(100, 50, 2, 3, false, false, g));
    EXPECT_EQ(g.CropWide, 0);
    EXPECT_EQ(g.MountWide, 0);
}

struct OriginCase {
    int32_t W, H, CW, CH, orient, X, Y;
};

TEST(CropOrigin, ByOrientation) {
    const OriginCase cases[] = {
        {2000, 1000, 1500, 1000, 0, 0, 0},   {2000, 1000, 1500, 1000, 1, 500, 0},
        {2000, 1000, 1500, 1000, 2, 500, 0}, {2000, 1000, 1500, 1000, 3, 0, 0},
        {2000, 1000, 1500, 1000, 4, 250, 0}, {1600, 1200, 1600, 1067, 0, 0, 0},
        {1600, 1200, 1600, 1067, 1, 0, 0},   {1600, 1200, 1600, 1067, 2, 0, 133},
        {1600, 1200, 1600, 1067, 3, 0, 133}, {1600, 1200, 1600, 1067, 4, 0, 66},
        {1600, 1200, 1600, 1067, 9, 0, 66},
    };
    for (const auto& c : cases) {
        int32_t X = -1, Y = -1;
        ComputeCropOrigin(c.W, c.H, c.CW, c.CH, c.orient, ManualCrop{}, X, Y);
        EXPECT_EQ(X, c.X) << c.W << "x" << c.H << " orient " << c.orient;
        EXPECT_EQ(Y, c.Y) << c.W << "x" << c.H << " orient " << c.orient;
    }
}

TEST(CropOrigin, ManualPositions) {
    struct Case {
        ManualCrop manual;
        int32_t X, Y;
    };
    const Case cases[] = {
        {{1, 3.9, 50, 400, 300}, 0, 0},      // snaps to the edge below 4 units
        {{1, 100, 50, 400, 300}, 500, 0},    // 100 / 400 of 2000
        {{1, 4.0, 50, 400, 300}, 20, 0},
        {{2, 100, 3.9, 400, 300}, 0, 0},
        {{2, 100, 30, 400, 300}, 0, 100},    // 30 / 300 of 1000
        {{1, 1.0, 0, 3, 300}, 0, 0},
        {{7, 100, 100, 400, 300}, 11, 22},   // unknown mode keeps the caller's values
    };
    for (const auto& c : cases) {
        int32_t X = 11, Y = 22;
        ComputeCropOrigin(2000, 1000, 1500, 1000, 4, c.manual, X, Y);
        EXPECT_EQ(X, c.X) << "mode " << c.manual.mode << " left " << c.manual.box_left;
        EXPECT_EQ(Y, c.Y) << "mode " << c.manual.mode << " top " << c.manual.box_top;
    }
}

TEST(ResizeTarget, LargestSideBecomesThePreset) {
    struct Case {
        int32_t CW, CH, size, w, h;
    };
    const Case cases[] = {{500, 300, 800, 800, 480},   {300, 500, 800, 480, 800},
                          {1000, 1000, 800, 800, 800}, {3000, 2000, 640, 640, 427},
                          {3000, 2000, 800, 800, 533}, {2000, 3000, 800, 533, 800},
                          {1001, 2, 100, 100, 0},      {4, 1, 2, 2, 0}};
    for (const auto& c : cases) {
        int32_t w = 0, h = 0;
        ResizeTarget(c.CW, c.CH, c.size, w, h);
        EXPECT_EQ(w, c.w) << c.CW << "x" << c.CH;
        EXPECT_EQ(h, c.h) << c.CW << "x" << c.CH;
    }
}

TEST(Nearest, HalvesGoToEven) {
    EXPECT_EQ(Nearest(1501.5), 1502);
    EXPECT_EQ(Nearest(1504.5), 1504);
    EXPECT_EQ(Nearest(-2.5), -2);
    EXPECT_EQ(Nearest(0.49999), 0);
    EXPECT_EQ(Nearest(1e12), INT32_MAX);
}

}  // namespace
}  // namespace pictorra::options
