#pragma once
// A small BMP encoder for the tests: writes every variant the reader accepts (header sizes 12 to
// 124, 1/2/4/8 bits with full or short palettes, 16/24/32 bits plain or with bit fields, RLE8 and
// RLE4 with deltas and early end-of-line / end-of-bitmap codes, top-down rows), so that each
// variant can be decoded and compared with the picture it was made from. It is written from the
// format description, independently of the reader.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "test_support.h"

namespace pictorra::test::bmp {

using Bytes = std::vector<uint8_t>;

inline constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6;
// A value of the pixel function that RLE leaves out (reached by a delta or an end code).
inline constexpr uint32_t kSkip = 0xFFFFFFFF;

struct BmpFormat {
    uint32_t header_size = 40;  // 12, 16, 40, 52, 56, 64, 108, 124
    uint16_t bits = 24;
    uint32_t compression = kRgb;
    bool top_down = false;
    std::vector<Rgb> palette;         // the colour table as written (any depth)
    uint32_t clr_used = 0;            // the biClrUsed field
    std::array<uint32_t, 4> masks{};  // red, green, blue, alpha (bit fields)
    uint32_t gap = 0;                 // unused bytes between the colour table and the pixels
};

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void Set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
inline void Set16(Bytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

// The pixel stored at (x, y), top-down: a palette index, a packed 16/32-bit value, 0xRRGGBB for
// 24 bits, or kSkip (RLE only).
using PixelFn = std::function<uint32_t(int x, int y)>;

// RLE8 / RLE4 stream of one picture, rows bottom-up: encoded runs where values repeat (RLE4: two
// alternating values), absolute runs elsewhere, a delta over skipped pixels inside a row, an
// end-of-line when the rest of a row is skipped, end-of-bitmap when the rest of the picture is.
inline Bytes EncodeRle(int w, int h, bool rle4, const PixelFn& value) {
    Bytes out;
    auto rest_skipped = [&](int from_x, int from_row) {
        for (int row = from_row; row < h; ++row)
            for (int x = row == from_row ? from_x : 0; x < w; ++x)
                if (value(x, h - 1 - row) != kSkip) return false;
        return true;
    };
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row;
        auto v = [&](int x) { return value(x, y); };
        int x = 0;
        while (x < w) {
            if (v(x) == kSkip) {
                if (rest_skipped(x, row)) {
                    out.insert(out.end(), {0, 1});
                    return out;
                }
                int s = x;
                while (s < w && v(s) == kSkip) ++s;
                if (s == w) break;  // end of line below
                while (x < s) {
                    const int step = std::min(255, s - x);
                    out.insert(out.end(), {0, 2, uint8_t(step), 0});
                    x += step;
                }
                continue;
            }
            // Length of an encoded run starting at x.
            auto run_at = [&](int at) {
                const uint32_t a = v(at);
                const uint32_t b = (rle4 && at + 1 < w) ? v(at + 1) : a;
                if (b == kSkip) return 1;
                int n = 0;
                while (at + n < w && n < 255 && v(at + n) == ((n & 1) ? b : a)) ++n;
                return n;
            };
            const int run = run_at(x);
            if (run >= 3 || run == w - x) {
                const uint32_t a = v(x), b = (rle4 && run > 1) ? v(x + 1) : a;
                out.push_back(uint8_t(run));
                out.push_back(rle4 ? uint8_t((a << 4) | b) : uint8_t(a));
                x += run;
                continue;
            }
            // Absolute run up to the next long run, skip or row end.
            int n = 0;
            while (x + n < w && n < 255 && v(x + n) != kSkip && (n == 0 || run_at(x + n) < 3)) ++n;
            if (n < 3) {  // absolute mode needs three pixels: write single encoded pixels
                for (int i = 0; i < n; ++i) {
                    out.push_back(1);
                    out.push_back(rle4 ? uint8_t(v(x + i) << 4) : uint8_t(v(x + i)));
                }
                x += n;
                continue;
            }
            out.push_back(0);
            out.push_back(uint8_t(n));
            Bytes data;
            for (int i = 0; i < n; ++i) {
                if (!rle4)
                    data.push_back(uint8_t(v(x + i)));
                else if (i % 2 == 0)
                    data.push_back(uint8_t(v(x + i) << 4));
                else
                    data.back() |= uint8_t(v(x + i));
            }
            if (data.size() % 2) data.push_back(0);
            out.insert(out.end(), data.begin(), data.end());
            x += n;
        }
        out.insert(out.end(), {0, 0});  // end of line, also after the last row
    }
    out.insert(out.end(), {0, 1});
    return out;
}

inline Bytes EncodePixels(int w, int h, const BmpFormat& format, const PixelFn& value) {
    if (format.compression == kRle8 || format.compression == kRle4)
        return EncodeRle(w, h, format.compression == kRle4, value);
    const size_t stride = ((size_t(w) * format.bits + 31) / 32) * 4;
    Bytes out(stride * size_t(h), 0);
    for (int row = 0; row < h; ++row) {
        const int y = format.top_down ? row : h - 1 - row;
        uint8_t* p = out.data() + size_t(row) * stride;
        for (int x = 0; x < w; ++x) {
            const uint32_t v = value(x, y);
            switch (format.bits) {
                case 1:
                case 2:
                case 4: {
                    const int bit = x * format.bits;
                    p[bit / 8] |= uint8_t(v << (8 - format.bits - bit % 8));
                    break;
                }
                case 8:
                    p[x] = uint8_t(v);
                    break;
                case 16:
                    p[2 * x] = uint8_t(v);
                    p[2 * x + 1] = uint8_t(v >> 8);
                    break;
                case 24:
                    p[3 * x] = uint8_t(v);
                    p[3 * x + 1] = uint8_t(v >> 8);
                    p[3 * x + 2] = uint8_t(v >> 16);
                    break;
                case 32:
                    for (int i = 0; i < 4; ++i) p[4 * x + i] = uint8_t(v >> (8 * i));
                    break;
            }
        }
    }
    return out;
}

// The whole file.
inline Bytes EncodeBmp(int w, int h, const BmpFormat& format, const PixelFn& value) {
    const Bytes pixels = EncodePixels(w, h, format, value);
    const bool core = format.header_size == 12;
    const bool bitfields = format.compression == kBitfields || format.compression == kAlphaBitfields;
    Bytes info;
    Put32(info, format.header_size);
    if (core) {
        Put16(info, uint32_t(w));
        Put16(info, uint32_t(h));
        Put16(info, 1);
        Put16(info, format.bits);
    } else {
        Put32(info, uint32_t(w));
        Put32(info, uint32_t(format.top_down ? -h : h));
        Put16(info, 1);
        Put16(info, format.bits);
        Put32(info, format.compression);
        Put32(info, uint32_t(pixels.size()));
        Put32(info, 2835);  // 72 dpi
        Put32(info, 2835);
        Put32(info, format.clr_used);
        Put32(info, 0);
        // Bit fields: in the header from 52 bytes on (zero otherwise), else after it.
        for (int i = 0; i < 4; ++i) Put32(info, bitfields ? format.masks[i] : 0);
        if (format.header_size == 108 || format.header_size == 124) Put32(info, 0x57696E20);  // "Win "
        info.resize(format.header_size, 0);
        if (format.header_size == 40 && bitfields) {
            for (int i = 0; i < (format.compression == kAlphaBitfields ? 4 : 3); ++i)
                Put32(info, format.masks[i]);
        }
    }
    Bytes table;
    for (const Rgb& c : format.palette) {
        table.insert(table.end(), {c.b, c.g, c.r});
        if (!core) table.push_back(0);
    }
    Bytes file;
    const uint32_t offset = uint32_t(14 + info.size() + table.size() + format.gap);
    file.insert(file.end(), {'B', 'M'});
    Put32(file, uint32_t(offset + pixels.size()));
    Put32(file, 0);
    Put32(file, offset);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), table.begin(), table.end());
    file.insert(file.end(), format.gap, 0xAA);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// Fixed offsets in a file made by EncodeBmp (Windows headers).
inline constexpr size_t kOffBits = 10, kHeaderSize = 14, kWidth = 18, kHeight = 22, kPlanes = 26,
                        kBitCount = 28, kCompression = 30, kClrUsed = 46, kMasks = 54;

}  // namespace pictorra::test::bmp
