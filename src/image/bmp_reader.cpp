// DecodeBmp: our own reader for BMP files in all their common variants (the OS/2 and the later
// information headers).
//
// Accepted:
//   * file header "BM"; the pixel array is found at the file header's offset field. The file-size
//     and image-size fields are ignored (writers get them wrong; the real file size is known).
//   * information headers of 12 bytes (OS/2 1.x core header: 16-bit sizes, 3-byte palette
//     entries), 16 and 64 bytes (OS/2 2.x, 4-byte entries), 40, 52, 56, 108 and 124 bytes
//     (BITMAPINFOHEADER and its V2, V3, V4, V5 extensions). Other sizes fail.
//   * planes 1; 1, 2, 4 and 8 bits with a palette; 16 and 32 bits plain (5-5-5 / 8-8-8) or with
//     bit-field masks (BI_BITFIELDS, BI_ALPHABITFIELDS: masks after a 40-byte header, inside the
//     longer ones); 24 bits; RLE8 (8 bits) and RLE4 (4 bits). Alpha is ignored.
//   * bottom-up and (uncompressed) top-down rows.
// Refused (false): another signature, header size, plane count or bit depth, a compression that
//   does not fit the depth (JPEG, PNG, Huffman, RLE24, 64-bit...), top-down RLE, a width below 1, a
//   height of 0, a size beyond LoadableSize, a pixel offset inside the headers or past the end,
//   a palette picture without a single palette entry, bit-field masks that are zero for a colour,
//   not contiguous, overlapping or wider than the pixel, and pixel data that ends before every
//   pixel of the picture is defined.
//
// Choices where files are ambiguous:
//   * Palette: biClrUsed entries (0 = 2^bits), at most 2^bits, and never more than fit between the
//     palette's start and the pixel offset (so an OS/2 file with a short palette works). Indices
//     beyond the palette give black: the picture still loads, and the stray pixels show.
//   * Bit-field channels of n bits expand to 8 bits as round(v x 255 / (2^n - 1)).
//   * Uncompressed rows: the last row's padding may be missing; any missing pixel byte fails.
//   * RLE: a run, an absolute run or a delta that leaves the picture fails. Pixels the stream skips
//     (deltas, early end of line or of bitmap) take palette entry 0. A stream that ends without
//     its end-of-bitmap code is accepted only when the cursor already stands past the last pixel
//     (the trailing end-of-line and end-of-bitmap codes are missing); otherwise it fails.
//
// Nothing is read outside `data` or the palette, and the output buffer is made only after the
// headers and the size of the pixel data have been checked (for RLE: after a first pass has
// checked the whole stream), so a hostile file fails before any large allocation.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "image/codecs.h"

namespace pictorra::image {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

constexpr size_t kFileHeaderBytes = 14;

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// A colour as four bytes blue, green, red, 0, so that a pixel can be stored with one 4-byte copy.
struct alignas(4) Bgr0 {
    uint8_t b = 0, g = 0, r = 0, zero = 0;
};
// 256 entries; entries the file does not give stay black.
using Palette = std::array<Bgr0, 256>;

struct BmpInfo {
    int64_t width = 0;
    int64_t height = 0;  // rows, always positive
    bool top_down = false;
    uint32_t bits = 0;
    uint32_t compression = kBiRgb;
    std::array<uint32_t, 3> masks{};  // red, green, blue (16 and 32 bits)
    uint64_t pixel_offset = 0;
    Palette palette{};
};

// Reads the headers and the palette; checks everything that can be checked before decoding.
bool ParseHeaders(std::span<const uint8_t> data, BmpInfo& info) {
    const size_t size = data.size();
    const uint8_t* d = data.data();
    if (size < kFileHeaderBytes + 4 || d[0] != 'B' || d[1] != 'M') return false;
    info.pixel_offset = Le32(d + 10);
    const uint32_t header_size = Le32(d + 14);
    switch (header_size) {
        case 12:
        case 16:
        case 40:
        case 52:
        case 56:
        case 64:
        case 108:
        case 124:
            break;
        default:
            return false;
    }
    if (size < kFileHeaderBytes + header_size) return false;
    const uint8_t* h = d + kFileHeaderBytes;
    const bool os2_core = header_size == 12;
    const bool os2_v2 = header_size == 16 || header_size == 64;

    uint32_t planes = 0;
    uint32_t colours_used = 0;
    if (os2_core) {
        info.width = Le16(h + 4);
        info.height = Le16(h + 6);
        planes = Le16(h + 8);
        info.bits = Le16(h + 10);
    } else {
        info.width = int32_t(Le32(h + 4));
        const int64_t height = int32_t(Le32(h + 8));
        planes = Le16(h + 12);
        info.bits = Le16(h + 14);
        if (header_size >= 40) {
            info.compression = Le32(h + 16);
            colours_used = Le32(h + 32);
        }
        info.top_down = height < 0;
        info.height = height < 0 ? -height : height;
    }
    if (planes != 1) return false;
    if (!LoadableSize(info.width, info.height)) return false;

    // Depth and compression must fit each other. OS/2 2.x gives 3 and 4 other meanings
    // (Huffman 1D, RLE24): refused like every compression not listed.
    const uint32_t bits = info.bits;
    switch (info.compression) {
        case kBiRgb:
            if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
                bits != 32)
                return false;
            break;
        case kBiRle8:
            if (bits != 8) return false;
            break;
        case kBiRle4:
            if (bits != 4) return false;
            break;
        case kBiBitfields:
        case kBiAlphaBitfields:
            if (os2_v2 || (bits != 16 && bits != 32)) return false;
            break;
        default:
            return false;
    }
    const bool rle = info.compression == kBiRle8 || info.compression == kBiRle4;
    if (rle && info.top_down) return false;

    // Bit-field masks: inside the header from 52 bytes on, else right after a 40-byte header.
    uint64_t palette_start = kFileHeaderBytes + header_size;
    if (info.compression == kBiBitfields || info.compression == kBiAlphaBitfields) {
        const uint8_t* m = h + 40;
        if (header_size == 40) {
            const uint64_t mask_bytes = info.compression == kBiAlphaBitfields ? 16 : 12;
            if (size < palette_start + mask_bytes) return false;
            palette_start += mask_bytes;
        }
        uint32_t alpha = 0;
        if (header_size >= 56)
            alpha = Le32(m + 12);
        else if (info.compression == kBiAlphaBitfields && header_size == 40)
            alpha = Le32(m + 12);
        info.masks = {Le32(m), Le32(m + 4), Le32(m + 8)};
        uint32_t seen = alpha;
        for (uint32_t mask : info.masks) {
            if (mask == 0 || (mask & seen) != 0) return false;
            if (bits == 16 && (mask >> 16) != 0) return false;
            seen |= mask;
        }
    } else if (bits == 16) {
        info.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (bits == 32) {
        info.masks = {0xFF0000, 0x00FF00, 0x0000FF};
    }

    if (info.pixel_offset < palette_start || info.pixel_offset >= size) return false;

    if (bits <= 8) {
        const uint64_t entry_bytes = os2_core ? 3 : 4;
        uint64_t count = uint64_t{1} << bits;
        if (colours_used != 0) count = std::min<uint64_t>(count, colours_used);
        count = std::min(count, (info.pixel_offset - palette_start) / entry_bytes);
        if (count == 0) return false;
        const uint8_t* p = d + palette_start;
        for (uint64_t i = 0; i < count; ++i, p += entry_bytes)
            info.palette[i] = {p[0], p[1], p[2], 0};
    }
    return true;
}

// ---- uncompressed rows ----------------------------------------------------------------------
//
// Row writers store each pixel but the last with a 4-byte copy (its fourth byte is overwritten by
// the next pixel) and the last with a 3-byte copy, so the row's padding is never touched.

template <typename PixelAt>  // PixelAt(x) -> address of 4 bytes: blue, green, red, anything
inline void WriteRow(uint8_t* dst, int64_t width, PixelAt&& pixel_at) {
    int64_t x = 0;
    for (; x + 1 < width; ++x) std::memcpy(dst + 3 * x, pixel_at(x), 4);
    std::memcpy(dst + 3 * x, pixel_at(x), 3);
}

template <uint32_t kBits>  // 1, 2 or 4; the first pixel of a byte is in its high bits
void RowPaletteLowBits(const uint8_t* src, uint8_t* dst, int64_t width, const Palette& pal) {
    constexpr uint32_t kPerByte = 8 / kBits;
    constexpr uint32_t kIndexMask = (1u << kBits) - 1;
    WriteRow(dst, width, [&](int64_t x) {
        const uint32_t byte = src[x / kPerByte];
        const uint32_t k = uint32_t(x % kPerByte);
        return &pal[(byte >> (8 - kBits * (k + 1))) & kIndexMask];
    });
}

void RowPalette8(const uint8_t* src, uint8_t* dst, int64_t width, const Palette& pal) {
    WriteRow(dst, width, [&](int64_t x) { return &pal[src[x]]; });
}

void RowBgrx(const uint8_t* src, uint8_t* dst, int64_t width) {
    WriteRow(dst, width, [&](int64_t x) { return src + 4 * x; });
}

// One colour channel of a bit-field pixel: (pixel & mask) >> shift, expanded to 8 bits as
// round(value x 255 / max).
class Channel {
public:
    // False for a mask that is zero or not one contiguous run of bits.
    bool Init(uint32_t m) {
        if (m == 0) return false;
        shift_ = std::countr_zero(m);
        const uint32_t v = m >> shift_;
        if ((v & (v + 1)) != 0) return false;
        mask_ = m;
        max_ = v;
        if (std::popcount(v) <= 16) {
            table_.resize(size_t(v) + 1);
            for (uint32_t i = 0; i <= v; ++i) table_[i] = Expand(i);
        }
        return true;
    }
    uint8_t operator()(uint32_t pixel) const {
        const uint32_t value = (pixel & mask_) >> shift_;
        return table_.empty() ? Expand(value) : table_[value];
    }

private:
    uint8_t Expand(uint32_t value) const {
        return uint8_t((uint64_t(value) * 510 + max_) / (uint64_t(max_) * 2));
    }
    uint32_t mask_ = 0;
    int shift_ = 0;
    uint32_t max_ = 0;            // largest channel value, 2^bits - 1
    std::vector<uint8_t> table_;  // expansion table when the channel is at most 16 bits wide
};

struct BitfieldColours {
    Channel r, g, b;
    std::vector<Bgr0> table16;  // every 16-bit pixel value, for larger 16-bit pictures
    Bgr0 At(uint32_t pixel) const { return {b(pixel), g(pixel), r(pixel), 0}; }
};

void Row16Table(const uint8_t* src, uint8_t* dst, int64_t width, const std::vector<Bgr0>& table) {
    WriteRow(dst, width, [&](int64_t x) { return &table[Le16(src + 2 * x)]; });
}

template <int kBytes>
void RowBitfields(const uint8_t* src, uint8_t* dst, int64_t width, const BitfieldColours& c) {
    Bgr0 colour;
    WriteRow(dst, width, [&](int64_t x) {
        colour = c.At(kBytes == 2 ? Le16(src + 2 * x) : Le32(src + 4 * x));
        return &colour;
    });
}

bool DecodeUncompressed(std::span<const uint8_t> data, const BmpInfo& info, cImage& out) {
    const int64_t w = info.width, h = info.height;
    const int64_t file_stride = ((w * info.bits + 31) / 32) * 4;
    const int64_t last_row_bytes = (w * info.bits + 7) / 8;
    const uint64_t needed = uint64_t(file_stride) * uint64_t(h - 1) + uint64_t(last_row_bytes);
    if (data.size() - info.pixel_offset < needed) return false;

    BitfieldColours colours;
    const bool plain32 =
        info.bits == 32 && info.masks == std::array<uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
    if ((info.bits == 16 || info.bits == 32) && !plain32) {
        if (!colours.r.Init(info.masks[0]) || !colours.g.Init(info.masks[1]) ||
            !colours.b.Init(info.masks[2]))
            return false;
        // A table of all 65536 values pays for itself from about this many pixels on.
        if (info.bits == 16 && w * h >= 32768) {
            colours.table16.resize(65536);
            for (uint32_t v = 0; v < 65536; ++v) colours.table16[v] = colours.At(v);
        }
    }

    if (out.CreateDIB(int32_t(w), int32_t(h)) != kDibOk) return false;
    const PixelView view = out.View();
    const uint8_t* pixels = data.data() + info.pixel_offset;
    for (int64_t row = 0; row < h; ++row) {
        const uint8_t* src = pixels + row * file_stride;
        uint8_t* dst = view.DibRow(int32_t(info.top_down ? h - 1 - row : row));
        switch (info.bits) {
            case 24:
                std::memcpy(dst, src, size_t(3 * w));
                break;
            case 8:
                RowPalette8(src, dst, w, info.palette);
                break;
            case 1:
                RowPaletteLowBits<1>(src, dst, w, info.palette);
                break;
            case 2:
                RowPaletteLowBits<2>(src, dst, w, info.palette);
                break;
            case 4:
                RowPaletteLowBits<4>(src, dst, w, info.palette);
                break;
            case 16:
                if (!colours.table16.empty())
                    Row16Table(src, dst, w, colours.table16);
                else
                    RowBitfields<2>(src, dst, w, colours);
                break;
            case 32:
                if (plain32)
                    RowBgrx(src, dst, w);
                else
                    RowBitfields<4>(src, dst, w, colours);
                break;
        }
    }
    return true;
}

// ---- RLE8 / RLE4 ----------------------------------------------------------------------------

// Runs the RLE stream. With kWrite false it only moves the cursor and checks that the stream stays
// inside the picture (no buffer needed, so a hostile file fails before anything is allocated);
// with kWrite true it also sets the pixels of `view`, which already hold palette entry 0.
template <bool kWrite>
bool RunRle(std::span<const uint8_t> data, const BmpInfo& info, const PixelView& view) {
    const int64_t w = info.width, h = info.height;
    const bool rle4 = info.compression == kBiRle4;
    const Palette& pal = info.palette;
    const uint8_t* p = data.data() + info.pixel_offset;
    const uint8_t* const end = data.data() + data.size();
    int64_t x = 0, y = 0;  // y counts memory rows from the bottom, as the stream does
    uint8_t* row = nullptr;
    auto put = [&](uint32_t index) {
        if constexpr (kWrite) std::memcpy(row + 3 * x, &pal[index], 3);
        ++x;
    };
    for (;;) {
        if (end - p < 2) {
            // No end-of-bitmap code: fine only when every pixel has been reached.
            return y >= h || (y == h - 1 && x == w);
        }
        const uint32_t count = p[0], value = p[1];
        p += 2;
        if (count > 0) {  // encoded run
            if (y >= h || x + count > w) return false;
            if constexpr (kWrite) {
                row = view.DibRow(int32_t(y));
                if (rle4) {
                    const uint32_t hi = value >> 4, lo = value & 15;
                    for (uint32_t i = 0; i < count; ++i) put((i & 1) ? lo : hi);
                } else {
                    for (uint32_t i = 0; i < count; ++i) put(value);
                }
            } else {
                x += count;
            }
            continue;
        }
        switch (value) {
            case 0:  // end of line
                if (y >= h) return false;
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return true;
            case 2:  // delta: right and up
                if (end - p < 2) return false;
                x += p[0];
                y += p[1];
                p += 2;
                if (x > w || y > h) return false;
                break;
            default: {  // absolute run of `value` pixels, padded to a 16-bit boundary
                const int64_t bytes = rle4 ? (value + 1) / 2 : value;
                if (end - p < bytes) return false;
                if (y >= h || x + value > w) return false;
                if constexpr (kWrite) {
                    row = view.DibRow(int32_t(y));
                    if (rle4) {
                        for (uint32_t i = 0; i < value; ++i)
                            put((i & 1) ? p[i / 2] & 15u : uint32_t(p[i / 2] >> 4));
                    } else {
                        for (uint32_t i = 0; i < value; ++i) put(p[i]);
                    }
                } else {
                    x += value;
                }
                p += std::min<int64_t>(end - p, (bytes + 1) & ~int64_t{1});
                break;
            }
        }
    }
}

bool DecodeRle(std::span<const uint8_t> data, const BmpInfo& info, cImage& out) {
    if (!RunRle<false>(data, info, PixelView{})) return false;
    const int64_t w = info.width, h = info.height;
    if (out.CreateDIB(int32_t(w), int32_t(h)) != kDibOk) return false;
    const PixelView view = out.View();
    // Every pixel the stream does not set takes palette entry 0.
    for (int64_t row = 0; row < h; ++row) {
        uint8_t* dst = view.DibRow(int32_t(row));
        WriteRow(dst, w, [&](int64_t) { return &info.palette[0]; });
    }
    return RunRle<true>(data, info, view);
}

}  // namespace

bool DecodeBmp(std::span<const uint8_t> data, cImage& out) {
    out.ReleaseDIB();
    BmpInfo info;
    if (!ParseHeaders(data, info)) return false;
    const bool ok = (info.compression == kBiRle8 || info.compression == kBiRle4)
                        ? DecodeRle(data, info, out)
                        : DecodeUncompressed(data, info, out);
    if (!ok) out.ReleaseDIB();
    return ok;
}

}  // namespace pictorra::image
