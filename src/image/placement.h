#pragma once
// Internal to the image engine: putting the rows of a stored picture where its orientation says
// they belong in the upright one, a strip of rows at a time. The JPEG reader places each strip
// as libjpeg decodes it; ApplyOrientation turns the other formats' pictures the same way. Inline:
// the JPEG reader's loop gains a tenth from it on turned pictures.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/exif.h"

namespace pictorra::image::detail {

// Where a decoded strip goes in the picture buffer.
struct Placement {
    Orientation orientation;
    uint8_t* bits;           // picture buffer, bottom-up
    size_t stride;           // its row stride
    uint32_t width, height;  // the stored (decoded) picture
};

inline void Copy4(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 4); }
inline void Copy3(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 3); }

// Copies a row of `width` BGR pixels reversed. `src` has room for a 4-byte read at its last
// pixel; `dst` holds exactly the row (its last pixel is written with 3 bytes).
inline void MirrorRow(uint8_t* dst, const uint8_t* src, uint32_t width) {
    const uint8_t* s = src + size_t{3} * (width - 1);
    for (uint32_t x = 0; x + 1 < width; ++x, s -= 3) Copy4(dst + size_t{3} * x, s);
    Copy3(dst + size_t{3} * (width - 1), src);
}

// Places `count` decoded BGR rows, stored rows first .. first + count - 1, each `strip_stride`
// bytes apart, into the upright picture. Each row of the strip may be read 4 bytes at its last
// pixel, so the byte after the strip's last row must be readable.
inline void PlaceStrip(const Placement& p, const uint8_t* strip, size_t strip_stride,
                       uint32_t first, uint32_t count) {
    const uint32_t w = p.width, h = p.height;
    const size_t row_bytes = size_t{3} * w;
    switch (p.orientation) {
        case Orientation::kNormal:
        case Orientation::kMirrorVertical:
        case Orientation::kMirrorHorizontal:
        case Orientation::kRotate180:
            for (uint32_t j = 0; j < count; ++j) {
                const uint32_t stored = first + j;
                // Stored row i is picture row i (1, 2) or picture row h-1-i (3, 4); memory rows
                // count from the bottom.
                const bool upside_down = p.orientation == Orientation::kMirrorVertical ||
                                         p.orientation == Orientation::kRotate180;
                const uint32_t dib_row = upside_down ? stored : h - 1 - stored;
                uint8_t* dst = p.bits + dib_row * p.stride;
                const uint8_t* src = strip + j * strip_stride;
                if (p.orientation == Orientation::kMirrorHorizontal ||
                    p.orientation == Orientation::kRotate180) {
                    MirrorRow(dst, src, w);
                } else {
                    std::memcpy(dst, src, row_bytes);
                }
            }
            return;
        case Orientation::kTranspose:
        case Orientation::kRotate90:
        case Orientation::kTransverse:
        case Orientation::kRotate270: {
            // The upright picture is h wide and w high. Stored pixel (sx, sy) lands in memory row
            // w-1-sx (5, 6) or sx (7, 8), column sy (5, 8) or h-1-sy (6, 7): each stored column
            // of the strip becomes `count` neighbouring pixels of one memory row.
            const bool rows_from_top =
                p.orientation == Orientation::kTranspose || p.orientation == Orientation::kRotate90;
            const bool columns_reversed = p.orientation == Orientation::kRotate90 ||
                                          p.orientation == Orientation::kTransverse;
            const uint32_t first_column = columns_reversed ? h - first - count : first;
            for (uint32_t sx = 0; sx < w; ++sx) {
                const uint32_t dib_row = rows_from_top ? w - 1 - sx : sx;
                uint8_t* dst = p.bits + dib_row * p.stride + size_t{3} * first_column;
                const uint8_t* column = strip + size_t{3} * sx;
                if (columns_reversed) {
                    const uint8_t* s = column + (count - 1) * strip_stride;
                    for (uint32_t d = 0; d + 1 < count; ++d, s -= strip_stride) {
                        Copy4(dst + size_t{3} * d, s);
                    }
                    Copy3(dst + size_t{3} * (count - 1), s);
                } else {
                    const uint8_t* s = column;
                    for (uint32_t d = 0; d + 1 < count; ++d, s += strip_stride) {
                        Copy4(dst + size_t{3} * d, s);
                    }
                    Copy3(dst + size_t{3} * (count - 1), s);
                }
            }
            return;
        }
    }
}

}  // namespace pictorra::image::detail
