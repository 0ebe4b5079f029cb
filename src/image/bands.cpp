// BevelPic and BorderPic: the frame and border bands, drawn in place.
//
// Band geometry (T the thickness; rows are memory rows counted from the bottom):
//   horizontal, k = 0..T-1: bottom row YSt + k, then top row LHigh - 1 - k, each over the
//     columns XSt + k .. XSt + LWide - 2 - k;
//   vertical, j = 0..T (T + 1 columns): left column XSt + j, then right column
//     XSt + LWide - 1 - j, each over the rows YSt + j .. LHigh - 1 - j.
// All horizontal rows come first, then the vertical columns; a pixel met twice is changed twice.
//
// Clipping: each band row and band column is clipped to the buffer,
// and pixels outside the buffer are skipped. Every pixel inside the buffer is therefore changed
// exactly as the unclipped walk over an unbounded canvas would change it, in the same order, and
// nothing outside the buffer (row padding included) is ever read or written, whatever the
// thickness or the rectangle. All band coordinates are computed in 64 bits, so extreme rectangles
// cannot overflow.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "image/c_image.h"
#include "image/rounding.h"

namespace pictorra::image {
namespace {

using detail::RoundHalfEven;

// Calls fn(pixel) for the columns first..last of memory row `row`, clipped to the buffer.
template <typename Fn>
void ForRow(const PixelView& view, int64_t row, int64_t first, int64_t last, Fn&& fn) {
    if (row < 0 || row >= view.height) return;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, int64_t{view.width} - 1);
    uint8_t* p = view.DibRow(static_cast<int32_t>(row));
    for (int64_t c = first; c <= last; ++c) fn(p + 3 * c);
}

// Calls fn(pixel) for the memory rows first..last (bottom to top) of column `column`, clipped.
template <typename Fn>
void ForColumn(const PixelView& view, int64_t column, int64_t first, int64_t last, Fn&& fn) {
    if (column < 0 || column >= view.width) return;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, int64_t{view.height} - 1);
    for (int64_t row = first; row <= last; ++row) {
        fn(view.DibRow(static_cast<int32_t>(row)) + 3 * column);
    }
}

// Walks the bands in their defining order: fn(pixel, side, index) with side 0 bottom, 1 top,
// 2 left, 3 right, and index k (horizontal) or j (vertical).
enum Side { kBottom, kTop, kLeft, kRight };

template <typename Fn>
void WalkBands(const PixelView& view, int64_t wide, int64_t high, int64_t x_st, int64_t y_st,
               int64_t thick, Fn&& fn) {
    for (int64_t k = 0; k < thick; ++k) {
        const int64_t first = x_st + k, last = x_st + wide - 2 - k;
        ForRow(view, y_st + k, first, last, [&](uint8_t* p) { fn(p, kBottom, k); });
        ForRow(view, high - 1 - k, first, last, [&](uint8_t* p) { fn(p, kTop, k); });
    }
    for (int64_t j = 0; j <= thick; ++j) {
        const int64_t first = y_st + j, last = high - 1 - j;
        ForColumn(view, x_st + j, first, last, [&](uint8_t* p) { fn(p, kLeft, j); });
        ForColumn(view, x_st + wide - 1 - j, first, last, [&](uint8_t* p) { fn(p, kRight, j); });
    }
}

inline uint8_t AddClamped(uint8_t v, int64_t delta) {
    return static_cast<uint8_t>(std::clamp<int64_t>(int64_t{v} + delta, 0, 255));
}

struct Colour {
    int32_t red;
    int32_t green;
    int32_t blue;
};

// The colour reference split the classic way: red = LColor and 255, green = (LColor / 256)
// and 255, blue = (LColor / 65536) and 255, on the 32-bit signed value with truncating division.
Colour SplitColour(uint32_t LColor) {
    const int32_t value = static_cast<int32_t>(LColor);
    return {value & 255, (value / 256) & 255, (value / 65536) & 255};
}

// v - v x f + c x f in double, rounded half to even. With 0 <= f <= 1 (up to the rounding of the
// accumulated f) the result lies between v and c; the clamp only guards the byte.
inline uint8_t Blend(uint8_t v, int32_t c, double f) {
    const double dv = v;
    const int32_t r = RoundHalfEven(dv - dv * f + double(c) * f);
    return static_cast<uint8_t>(std::clamp(r, 0, 255));
}

}  // namespace

void cImage::BevelPic(int32_t LWide, int32_t LHigh, int32_t XSt, int32_t YSt, int32_t LThick,
                      int32_t iFactor, int32_t LStep) {
    if (!PicValid()) return;
    if (LThick < 1 || LThick > 99 || LStep < 60 || LStep > 300 || iFactor < 60 || iFactor > 200)
        return;
    const int64_t step = LStep / LThick;
    WalkBands(View(), LWide, LHigh, XSt, YSt, LThick, [&](uint8_t* p, Side side, int64_t n) {
        const int64_t inward = n * step - iFactor;  // bottom and right bands
        const int64_t delta = (side == kBottom || side == kRight) ? inward : -inward;
        for (int ch = 0; ch < 3; ++ch) p[ch] = AddClamped(p[ch], delta);
    });
}

void cImage::BorderPic(int32_t LWide, int32_t LHigh, int32_t XSt, int32_t YSt, int32_t LThick,
                       uint32_t LColor) {
    if (!PicValid()) return;
    if (LThick < 1 || LThick > 99) return;
    const Colour colour = SplitColour(LColor);
    const int32_t by_channel[3] = {colour.blue, colour.green, colour.red};
    // f starts at 1.0 for the horizontal walk and again for the vertical one, and loses
    // 1 / LThick after every band row or column, accumulated in double exactly as written; both
    // walks therefore use the same sequence of weights.
    std::array<double, 100> weight{};
    double f = 1.0;
    for (int32_t n = 0; n <= LThick; ++n) {
        weight[size_t(n)] = f;
        f -= 1.0 / LThick;
    }
    WalkBands(View(), LWide, LHigh, XSt, YSt, LThick, [&](uint8_t* p, Side, int64_t n) {
        for (int ch = 0; ch < 3; ++ch) p[ch] = Blend(p[ch], by_channel[ch], weight[size_t(n)]);
    });
}

}  // namespace pictorra::image
