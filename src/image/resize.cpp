// Resize: the resampler, linear (standard quality) or cubic (high quality).
//
// Arithmetic, fixed to the last bit (outputs are compared byte for byte):
//   sx = (W - 1) / (w - 1) and sy = (H - 1) / (h - 1) in double; fx = x * sx, ix = floor(fx),
//   dx = fx - ix (the same for y); for each tap row j (outer) and tap column i (inner),
//   weight = K(j - dy) * K(dx - i) and sum += weight * pixel, three sums starting at 0.0; the
//   cubic sums are clamped to 0..255; each sum is rounded to the nearest integer, ties to even.
//   Linear: taps 0 and 1, K(t) = (1 - |t| / r) / r with r = 1 for |t| < r, else 0.
//   Cubic: taps -1..2, Keys' kernel with a = -0.5.
// A target side of 1 has no scale factor; that axis samples the middle of the source:
// f = (W - 1) / 2.0.
//
// What differs from the literal algorithm without changing a byte:
//   * No padded copy of the source: a tap outside the picture reads the clamped source column or
//     row, which is exactly what the padded copy holds there (it repeats the edge pixels).
//   * K(dx - i) and K(j - dy) depend only on the destination column and row, so they and the
//     clamped source offsets are computed once per column and once per row. The products and
//     the order of the additions are unchanged.
//   * Destination rows are independent, so they are split over the threads the budget allows.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/c_image.h"
#include "image/rounding.h"
#include "image/row_split.h"

namespace pictorra::image {
namespace {

using detail::RoundHalfEven;

constexpr int32_t kTriangleRadius = 1;
constexpr double kCubicA = -0.5;

double LinearWeight(double t) {
    const double u = std::fabs(t);
    if (u < kTriangleRadius) return (1 - u / kTriangleRadius) / kTriangleRadius;
    return 0;
}

double CubicWeight(double t) {
    const double a = kCubicA;
    const double u = std::fabs(t);
    if (u < 1) return (a + 2) * u * u * u - (a + 3) * u * u + 1;
    if (u < 2) return a * u * u * u - 5 * a * u * u + 8 * a * u - 4 * a;
    return 0;
}

// The taps of one destination column (or row): the clamped source index of each tap and the
// kernel weight of that tap.
template <int kTaps>
struct AxisTaps {
    int32_t index[kTaps];
    double weight[kTaps];
};

// kFirstTap: -1 for cubic, 0 for linear. For columns the weight of tap i is K(d - i); for rows
// the weight of tap j is K(j - d).
template <int kTaps, int kFirstTap, bool kRows>
std::vector<AxisTaps<kTaps>> MakeAxis(int32_t source, int32_t target, double (*kernel)(double)) {
    std::vector<AxisTaps<kTaps>> axis(static_cast<size_t>(target));
    const double scale = target > 1 ? double(source - 1) / double(target - 1) : 0.0;
    for (int32_t n = 0; n < target; ++n) {
        const double f = target > 1 ? double(n) * scale : double(source - 1) / 2.0;
        const double whole = std::floor(f);
        const double d = f - whole;
        const int64_t base = static_cast<int64_t>(whole);
        AxisTaps<kTaps>& taps = axis[size_t(n)];
        for (int t = 0; t < kTaps; ++t) {
            const int32_t tap = kFirstTap + t;
            taps.index[t] =
                static_cast<int32_t>(std::clamp<int64_t>(base + tap, 0, int64_t{source} - 1));
            taps.weight[t] = kRows ? kernel(double(tap) - d) : kernel(d - double(tap));
        }
    }
    return axis;
}

template <int kTaps, int kFirstTap, bool kClamp>
void Resample(ConstPixelView src, PixelView dst, double (*kernel)(double), int32_t threads) {
    const auto columns = MakeAxis<kTaps, kFirstTap, false>(src.width, dst.width, kernel);
    const auto rows = MakeAxis<kTaps, kFirstTap, true>(src.height, dst.height, kernel);
    // Byte offsets of the column taps, to save a multiplication per tap.
    std::vector<int32_t> offsets(columns.size() * kTaps);
    for (size_t x = 0; x < columns.size(); ++x) {
        for (int i = 0; i < kTaps; ++i) offsets[x * kTaps + size_t(i)] = 3 * columns[x].index[i];
    }
    const auto resample_rows = [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            const AxisTaps<kTaps>& row_taps = rows[size_t(y)];
            const uint8_t* source_rows[kTaps];
            for (int j = 0; j < kTaps; ++j) source_rows[j] = src.DibRow(row_taps.index[j]);
            uint8_t* out = dst.DibRow(y);
            for (int32_t x = 0; x < dst.width; ++x, out += 3) {
                const AxisTaps<kTaps>& col_taps = columns[size_t(x)];
                const int32_t* offset = &offsets[size_t(x) * kTaps];
                double blue = 0.0, green = 0.0, red = 0.0;
                for (int j = 0; j < kTaps; ++j) {
                    const double wy = row_taps.weight[j];
                    const uint8_t* line = source_rows[j];
                    for (int i = 0; i < kTaps; ++i) {
                        const double weight = wy * col_taps.weight[i];
                        const uint8_t* p = line + offset[i];
                        blue += weight * p[0];
                        green += weight * p[1];
                        red += weight * p[2];
                    }
                }
                if (kClamp) {
                    blue = std::clamp(blue, 0.0, 255.0);
                    green = std::clamp(green, 0.0, 255.0);
                    red = std::clamp(red, 0.0, 255.0);
                }
                out[0] = static_cast<uint8_t>(RoundHalfEven(blue));
                out[1] = static_cast<uint8_t>(RoundHalfEven(green));
                out[2] = static_cast<uint8_t>(RoundHalfEven(red));
            }
        }
    };
    detail::SplitRows(dst.height, int64_t{dst.width} * dst.height * kTaps * kTaps / 4, threads,
                      resample_rows);
}

}  // namespace

cImage cImage::Resize(int32_t LWidth, int32_t LHeight, bool HighQuality, int32_t Threads) const {
    cImage out;
    if (out.CreateDIB(LWidth, LHeight) != kDibOk) return out;  // empty: PicValid() is false
    const PixelView dst = out.View();
    const ConstPixelView src = View();
    const size_t row_bytes = size_t(3) * size_t(LWidth);
    if (src.empty()) {
        // Nothing to sample (a run never resizes an empty buffer): a black picture.
        for (int32_t y = 0; y < LHeight; ++y) std::memset(dst.DibRow(y), 0, row_bytes);
        return out;
    }
    if (LWidth == src.width && LHeight == src.height) {
        for (int32_t y = 0; y < LHeight; ++y) std::memcpy(dst.DibRow(y), src.DibRow(y), row_bytes);
        return out;
    }
    if (HighQuality) {
        Resample<4, -1, true>(src, dst, CubicWeight, Threads);
    } else {
        Resample<2, 0, false>(src, dst, LinearWeight, Threads);
    }
    return out;
}

}  // namespace pictorra::image
