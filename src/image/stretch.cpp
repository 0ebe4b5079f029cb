// CopyPic: the stretch copy that feeds the on-screen preview. Equal sizes copy exactly; a
// reduction averages the whole source area behind each destination pixel (smooth, like a
// halftone stretch); an enlargement repeats pixels.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/c_image.h"

namespace pictorra::image {
namespace {

// Source span [first, last) behind destination index d of n, for a source extent of m.
struct Span {
    int64_t first;
    int64_t last;
};

Span SourceSpan(int64_t d, int64_t n, int64_t m) {
    const int64_t first = d * m / n;
    const int64_t last = std::max(first + 1, (d + 1) * m / n);
    return {first, last};
}

}  // namespace

void cImage::CopyPic(cImage& dest, int32_t DestW, int32_t DestH, int32_t DestX, int32_t DestY,
                     int32_t SrcW, int32_t SrcH) const {
    if (!PicValid() || !dest.PicValid() || DestW <= 0 || DestH <= 0 || SrcW <= 0 || SrcH <= 0)
        return;
    const ConstPixelView src = View();
    const PixelView dst = dest.View();
    const bool same_buffer = src.bits == dst.bits;
    if (same_buffer) {
        const cImage copy(*this);
        copy.CopyPic(dest, DestW, DestH, DestX, DestY, SrcW, SrcH);
        return;
    }

    const int64_t x_begin = std::max<int64_t>(0, DestX);
    const int64_t x_end = std::min<int64_t>(dst.width, int64_t{DestX} + DestW);
    const int64_t y_begin = std::max<int64_t>(0, DestY);
    const int64_t y_end = std::min<int64_t>(dst.height, int64_t{DestY} + DestH);
    if (x_begin >= x_end || y_begin >= y_end) return;

    // Per destination column: the clipped source columns it averages.
    std::vector<Span> cols;
    cols.reserve(size_t(x_end - x_begin));
    for (int64_t x = x_begin; x < x_end; ++x) {
        Span s = SourceSpan(x - DestX, DestW, SrcW);
        s.first = std::max<int64_t>(s.first, 0);
        s.last = std::min<int64_t>(s.last, src.width);
        cols.push_back(s);
    }

    std::vector<uint32_t> acc(size_t(3) * src.width);
    for (int64_t y = y_begin; y < y_end; ++y) {
        Span rows = SourceSpan(y - DestY, DestH, SrcH);
        rows.first = std::max<int64_t>(rows.first, 0);
        rows.last = std::min<int64_t>(rows.last, src.height);
        if (rows.first >= rows.last) continue;
        const int64_t row_count = rows.last - rows.first;
        uint8_t* out = dst.Row(static_cast<int32_t>(y));

        if (DestW == SrcW && DestH == SrcH) {  // 1:1, the common case for undo and tools
            const int64_t c0 = cols.front().first, c1 = cols.back().last;
            if (c0 < c1) {
                std::memcpy(out + 3 * (c0 + DestX),
                            src.Row(static_cast<int32_t>(rows.first)) + 3 * c0,
                            size_t(3 * (c1 - c0)));
            }
            continue;
        }

        std::fill(acc.begin(), acc.end(), 0u);
        for (int64_t r = rows.first; r < rows.last; ++r) {
            const uint8_t* in = src.Row(static_cast<int32_t>(r));
            for (int32_t i = 0; i < 3 * src.width; ++i) acc[size_t(i)] += in[i];
        }
        for (int64_t x = x_begin; x < x_end; ++x) {
            const Span& s = cols[size_t(x - x_begin)];
            if (s.first >= s.last) continue;
            const uint64_t count = uint64_t(row_count) * uint64_t(s.last - s.first);
            for (int c = 0; c < 3; ++c) {
                uint64_t sum = 0;
                for (int64_t k = s.first; k < s.last; ++k) sum += acc[size_t(3 * k + c)];
                out[3 * x + c] = static_cast<uint8_t>((sum + count / 2) / count);
            }
        }
    }
}

}  // namespace pictorra::image
