// The image view's mouse rules: hover edges, edge drags, text clicks and the picked colour.
#include "options/view_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

namespace pictorra::options {
namespace {

constexpr double kSW = 200, kSH = 150;
using enum CropEdge;

TEST(ViewRules, HoverEdge) {
    const CropBox box{50, 30, 100, 80, true};             // edges 50, 30, 150, 110
    const CropBox at_border{3, 30, 194, 80, true};        // left and right inside the 4-pixel rim
    const CropBox fractional{50.5, 30, 100.5, 80, true};  // drawn at 50..150 (halves to even)
    const CropBox tiny{100, 70, 3, 2, true};              // right and top zones overlap: right wins
    const struct {
        const CropBox& box;
        double x, y;
        std::optional<CropEdge> edge;
    } cases[] = {
        {box, 48.1, 70, kLeft},
        {box, 52, 70, kNone},
        {box, 150, 70, kRight},
        {box, 100, 30, kTop},
        {box, 100, 108.5, kBottom},
        {box, 50, 30, kNone},
        {box, 150, 110, kNone},
        {box, 3.9, 70, std::nullopt},
        {box, 100, 146.5, std::nullopt},
        {at_border, 3, 70, std::nullopt},
        {at_border, 4, 70, kLeft},
        {at_border, 196, 70, kRight},
        {at_border, 196.5, 70, std::nullopt},
        {fractional, 48.2, 70, kLeft},
        {fractional, 148.5, 70, kRight},
        {tiny, 102.5, 71, kRight},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HoverEdge(c.x, c.y, c.box, kSW, kSH), c.edge)
            << "box left " << c.box.Left << " at " << c.x << "," << c.y;
}

TEST(ViewRules, DragCropBox) {
    const CropBox box{50.5, 30, 100, 80, true};
    const CropBox full_width{0, 30, 200, 80, true};
    const struct {
        const CropBox& box;
        CropEdge edge;
        double x, y;
        std::tuple<bool, double, double, int32_t> drag;  // moved, left, top, mode
    } cases[] = {
        {box, kLeft, 100, 99, {true, 100, 30, 1}},
        {box, kLeft, 100.5, 99, {false, 50.5, 30, 0}},
        {box, kLeft, -0.5, 99, {true, -0.5, 30, 1}},
        {box, kLeft, -1, 99, {false, 50.5, 30, 0}},
        {box, kRight, 200, 99, {true, 100, 30, 1}},
        {box, kRight, 99, 99, {false, 50.5, 30, 0}},
        {box, kTop, 7, 70, {true, 50, 70, 2}},
        {box, kTop, 7, 70.5, {false, 50.5, 30, 0}},
        {box, kBottom, 7, 150, {true, 50, 70, 2}},
        {box, kBottom, 7, 79, {false, 50.5, 30, 0}},
        {box, kNone, 60, 60, {false, 50.5, 30, 0}},
        {full_width, kLeft, 0.5, 60, {false, 0, 30, 0}},
        {full_width, kTop, 0.5, 50, {true, 0, 50, 2}},
    };
    for (const auto& c : cases) {
        const CropDrag d = DragCropBox(c.edge, c.x, c.y, c.box, kSW, kSH);
        EXPECT_EQ(std::tuple(d.moved, d.left, d.top, d.manual_mode), c.drag)
            << "edge " << int(c.edge) << " to " << c.x << "," << c.y;
    }
}

TEST(ViewRules, TextClickPoint) {
    const CropBox shown{50.5, 30, 100, 80, true};
    const CropBox hidden{50.5, 30, 100, 80, false};
    using Point = std::optional<std::pair<int32_t, int32_t>>;
    const struct {
        const CropBox& box;
        double x, y;
        Point point;
    } cases[] = {
        {shown, 60.4, 50, Point{{10, 20}}},  // 60 - 50.5 = 9.5 goes to 10
        {shown, 50.5, 30, Point{{0, 0}}},   {shown, 49, 70, std::nullopt},
        {shown, 60, 29, std::nullopt},      {hidden, 60.4, 50, Point{{60, 50}}},
        {hidden, -0.4, 0, Point{{0, 0}}},   {hidden, -0.6, 0, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextClickPoint(c.x, c.y, c.box), c.point)
            << (c.box.Visible ? "shown" : "hidden") << " at " << c.x << "," << c.y;
}

TEST(ViewRules, PixelAt) {
    // 3 x 2, written through the raw bottom-up rows: memory row 1 is the top row.
    image::cImage surface;
    ASSERT_EQ(surface.CreateDIB(3, 2), 0);
    std::memset(surface.DIBitsPtr(), 0, size_t(surface.PicSize()));
    for (int dib_row = 0; dib_row < 2; ++dib_row)
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = surface.DIBitsPtr() + dib_row * surface.BytesPerScanLine() + 3 * x;
            p[0] = 0xF0, p[1] = uint8_t(dib_row), p[2] = uint8_t(x);  // blue, green, red
        }
    const struct {
        double x, y;
        int64_t colour;
    } cases[] = {{0, 0, 0xF00100}, {2, 0, 0xF00102}, {2.9, 1.99, 0xF00002}, {-0.1, 0, -1},
                 {3, 0, -1},       {0, 2, -1},       {NAN, 0, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(PixelAt(surface, c.x, c.y), c.colour) << c.x << "," << c.y;
    EXPECT_EQ(PixelAt(image::cImage{}, 0, 0), -1);
}

}  // namespace
}  // namespace pictorra::options
