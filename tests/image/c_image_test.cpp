// The buffer itself: CreateDIB's codes, and the rectangle copies (crop, mount, picture box,
// stretch) that must be exact.
#include "image/c_image.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "test_support.h"

namespace pictorra::image {
namespace {

using namespace test;

Rgb Pattern(int x, int y) { return {uint8_t(x * 11), uint8_t(y * 13), uint8_t(x * y)}; }

// A side below 1 is refused, and a buffer beyond the memory before anything is allocated.
TEST(CImage, CreateDibCodes) {
    cImage img;
    EXPECT_EQ(img.CreateDIB(0, 5), kDibInvalidParameter);
    EXPECT_EQ(img.CreateDIB(5, -1), kDibInvalidParameter);
    EXPECT_EQ(img.CreateDIB(100000, 100000), kDibNotEnoughMemory);  // 30 GB
    EXPECT_FALSE(img.PicValid());
}

TEST(CImage, CropTakesTheRectangleFromTheTop) {
    const cImage src = MakeImage(300, 200, Pattern);
    EXPECT_EQ(Bytes(src.CropPic(0, 0, 300, 200, 0, 0)), Bytes(src));
    const cImage part = src.CropPic(0, 0, 100, 50, 20, 10);
    ASSERT_EQ(part.Width(), 100);
    for (auto [x, y] : {std::pair{0, 0}, {99, 49}, {50, 0}, {0, 49}})
        EXPECT_EQ(PixelAt(part, x, y), Pattern(20 + x, 10 + y));
    // Whatever lies outside the source stays black.
    const cImage over = src.CropPic(0, 0, 20, 20, 290, 190);
    EXPECT_EQ(PixelAt(over, 9, 9), Pattern(299, 199));
    EXPECT_EQ(PixelAt(over, 10, 9), (Rgb{0, 0, 0}));
    EXPECT_FALSE(src.CropPic(0, 0, 0, 10, 0, 0).PicValid());
    // In place gives the very same bytes for any rectangle inside, and refuses the rest.
    const std::array<int, 4> rects[] = {
        {0, 0, 300, 200}, {20, 10, 100, 50}, {1, 0, 299, 199}, {299, 199, 1, 1}, {3, 7, 5, 190}};
    for (auto [x, y, w, h] : rects) {
        cImage in_place = src;
        ASSERT_TRUE(in_place.CropInPlace(x, y, w, h));
        EXPECT_EQ(Bytes(in_place), Bytes(src.CropPic(0, 0, w, h, x, y)))
            << x << "," << y << " " << w << "x" << h;
    }
    cImage refused = src;
    EXPECT_FALSE(refused.CropInPlace(290, 0, 20, 10));
    EXPECT_FALSE(refused.CropInPlace(0, 0, 0, 10));
    EXPECT_EQ(refused.Width(), 300);
}

TEST(CImage, MountPlacesThePictureOnTheColour) {
    const cImage src = MakeImage(600, 600, Pattern);
    const cImage mounted = src.MountPic(800, 600, 100, 0, 600, 600, 0x00FF80);  // red 0x80
    const Rgb back{0x80, 0xFF, 0x00};
    const std::tuple<int, int, Rgb> points[] = {
        {0, 0, back},     {99, 599, back},         {700, 10, back},
        {799, 599, back}, {100, 0, Pattern(0, 0)}, {699, 599, Pattern(599, 599)}};
    for (auto [x, y, expected] : points)
        EXPECT_EQ(PixelAt(mounted, x, y), expected) << x << "," << y;
    EXPECT_EQ(Bytes(src.MountPic(600, 600, 0, 0, 600, 600, 0)), Bytes(src));
}

TEST(CImage, PictureBoxAndStretch) {
    const cImage src = MakeImage(40, 30, Pattern);
    cImage box;
    ASSERT_EQ(box.CopyPictureBox(src, 50, 20), 0);
    EXPECT_EQ(PixelAt(box, 39, 19), Pattern(39, 19));
    EXPECT_EQ(PixelAt(box, 40, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(box.CopyPictureBox(src, 0, 20), kDibInvalidParameter);

    // A halving averages each 2 x 2 block, and leaves the rest of the surface alone.
    const cImage flat = MakeImage(4, 2, [](int x, int) {
        return Rgb{uint8_t(x < 2 ? 10 : 20), 0, 0};
    });
    cImage small = Uniform(3, 1, {7, 7, 7});
    flat.CopyPic(small, 2, 1, 0, 0, 4, 2);
    EXPECT_EQ(PixelAt(small, 0, 0).r, 10);
    EXPECT_EQ(PixelAt(small, 1, 0).r, 20);
    EXPECT_EQ(PixelAt(small, 2, 0), (Rgb{7, 7, 7}));
    // Means below, at and above a half go to the nearest value, halves up: 10.5, 10.5, 127.5;
    // 10.33, 10.67, 10.33; and over 2 x 2, 10.25, 10.75, 10.5.
    const std::tuple<int, std::vector<Rgb>, Rgb> means[] = {
        {2, {{10, 10, 0}, {11, 11, 255}}, {11, 11, 128}},
        {3, {{10, 10, 10}, {10, 11, 10}, {11, 11, 11}}, {10, 11, 10}},
        {2, {{10, 10, 10}, {10, 10, 10}, {10, 11, 11}, {11, 12, 11}}, {10, 11, 11}}};
    for (const auto& [w, pixels, mean] : means) {
        const int h = int(pixels.size()) / w;
        const cImage block = MakeImage(w, h, [&, w](int x, int y) { return pixels[w * y + x]; });
        cImage one = Uniform(1, 1, {});
        block.CopyPic(one, 1, 1, 0, 0, w, h);
        EXPECT_EQ(PixelAt(one, 0, 0), mean) << w << "x" << h;
    }
}

}  // namespace
}  // namespace pictorra::image
