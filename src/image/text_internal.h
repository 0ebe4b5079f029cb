#pragma once
// Private to the image engine: the pieces of cImage::DrawText (text.cpp) that are plain
// arithmetic and can be tested without fonts.

#include <cstdint>
#include <string>
#include <string_view>

namespace pictorra::image::text_detail {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// A FontH of 0 draws with this cell height (about 12 points at 96 dpi).
inline constexpr int32_t kDefaultCellHeight = 16;
// Largest em (character) size and largest cell height drawn, in pixels, both directions;
// larger requests are drawn at this size.
inline constexpr int32_t kMaxPixelSize = 4096;

// Decodes UTF-8. Every ill-formed part (stray continuation byte, truncated sequence, overlong
// form, surrogate, value above U+10FFFF, bytes F5..FF) becomes one U+FFFD per "maximal subpart"
// as Unicode recommends (section 3.9, U+FFFD substitution of maximal subparts), so
// "\xE2\x88" gives one U+FFFD and "\xC0\xAF" gives two.
std::u32string DecodeUtf8(std::string_view text);

// UTF-8 encoding of code points (each assumed to be a valid scalar value).
std::string EncodeUtf8(std::u32string_view text);

// The blend of one channel: v + (c - v) * a / 255 rounded to the nearest integer. Written as
// (v * (255 - a) + c * a + 127) / 255 on non-negative integers; 255 is odd, so no exact halves
// occur and the result is the same on every machine. a = 0 gives v, a = 255 gives c.
constexpr uint8_t BlendChannel(uint8_t v, uint8_t c, uint8_t a) {
    return static_cast<uint8_t>((unsigned{v} * (255u - a) + unsigned{c} * a + 127u) / 255u);
}

// The vertical metrics of a text: cell height (= line advance) and the part above the baseline.
struct CellMetrics {
    int32_t ascent = 0;   // pixels from the cell top to the baseline
    int32_t descent = 0;  // pixels from the baseline to the cell bottom
    double em = 0;        // em (character) height in pixels the glyphs are scaled to
    int32_t Cell() const { return ascent + descent; }
};

// Cell metrics for a requested FontH, from the face's ascent and descent in font units
// (win_ascent + win_descent of OS/2, or ascender - descender) and its units per em:
//   FontH > 0: the cell is FontH (at most kMaxPixelSize); the em is chosen so that
//              ascent + descent scaled equals the cell; ascent = round(FontH * A / (A + D)).
//   FontH < 0: the em is -FontH (at most kMaxPixelSize); ascent and descent are A and D scaled
//              and rounded separately, and the cell is their sum (a line then has whole-pixel
//              ascent and descent, whichever way the size was given).
//   FontH = 0: as kDefaultCellHeight.
// Rounding is to nearest, halves to even. Degenerate face values are repaired so that the cell
// is at least 1 pixel and the em at least 1 pixel.
CellMetrics ComputeCellMetrics(int32_t FontH, int64_t ascent_units, int64_t descent_units,
                               int64_t units_per_em);

// Horizontal em size in pixels for a requested average character width. FontW = 0 keeps the
// face's proportion (em_y); otherwise |FontW| (at most kMaxPixelSize) is the wanted average
// character width and avg_char_units the face's own average width in font units. The result
// lies in [1, kMaxPixelSize].
double ComputeEmX(int32_t FontW, double em_y, int64_t avg_char_units, int64_t units_per_em);

}  // namespace pictorra::image::text_detail
