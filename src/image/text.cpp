// cImage::DrawText: a caption on the picture, drawn with FreeType from a face
// found by fontconfig.
//
// The rules, which the preview and every output share so that a caption lands on the same
// pixels at any size:
//   * Face: fontconfig picks the installed face for the family name and weight (so "Arial"
//     gives Liberation Sans, an unknown name the system's default sans face). Only scalable
//     faces are used. Bold asks for weight 700 (FC_WEIGHT_BOLD); when the face found is not
//     bold, its outlines are widened horizontally (synthetic bold), so bold always shows.
//   * Size: a positive FontH is the cell height (ascent + descent, from the OS/2 usWinAscent
//     and usWinDescent when present, else the face's ascender - descender); a negative FontH is
//     the em height; 0 is a 16-pixel cell. A non-zero FontW scales the glyphs horizontally so
//     that the face's average character width (OS/2 xAvgCharWidth, else the advance of 'x')
//     is |FontW| pixels. Sizes above kMaxPixelSize are drawn at kMaxPixelSize.
//   * Layout: lines break only at "\r\n", "\n" and "\r"; every line starts at XPt and the next
//     line's cell starts one cell height lower; the first line's cell top is YPt (device rows,
//     top-down), so its baseline is YPt + ascent. No wrapping and no kerning: a caption keeps
//     the width the user placed it with. Control characters draw nothing. A character the face
//     lacks is taken from another installed face that has it (fontconfig's choice, at the same
//     em size and baseline), else the face's missing-glyph box is drawn.
//   * Clipping: a glyph is drawn only inside its own line's cell rows (from the cell's ascent to
//     its descent, so tall accents never reach into the line above) and inside the picture; nothing
//     else clips, so a long line runs to the right edge and text may start above or left of the
//     picture.
//   * Pixels: anti-aliased coverage a (0..255) blends the text colour c into each channel v as
//     BlendChannel(v, c, a) = (v * (255 - a) + c * a + 127) / 255, so pixels outside the glyphs
//     keep their exact values and full coverage gives exactly the colour. Glyphs that overlap
//     (synthetic bold, combining marks) blend one after the other.
//   * Every character is drawn as typed: '&' is a plain character, not a mnemonic marker.
//
// Measuring (MeasureText) walks the same faces, sizes and pen advances without drawing, so the
// size it gives is the pen's travel over the widest line and the cells of all lines.
//
// Threads: every call has its own FT_Library and faces. fontconfig is used through
// FcConfigReference/FcConfigDestroy, which its documentation gives as the thread-safe way to
// use the current configuration; our own queries are additionally serialised by one mutex (a
// match takes well under a millisecond). Nothing is cached across calls.
//
// Memory: glyphs are rasterised straight into the picture through FreeType's span callback
// (FT_RASTER_FLAG_DIRECT) with a clip box, so no glyph bitmap is ever allocated, whatever the
// size; the rasteriser works in a fixed pool.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>

#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "image/c_image.h"
#include "image/text_internal.h"

namespace pictorra::image {

namespace text_detail {

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const auto b0 = static_cast<uint8_t>(text[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        size_t length = 0;
        char32_t cp = 0;
        uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            cp = b0 & 0x0F;
            if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
            if (b0 == 0xED) hi = 0x9F;  // no surrogates
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            cp = b0 & 0x07;
            if (b0 == 0xF0) lo = 0x90;  // no overlong forms
            if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
        } else {
            out.push_back(kReplacementChar);  // stray continuation byte, C0, C1, F5..FF
            ++i;
            continue;
        }
        size_t taken = 1;
        for (; taken < length; ++taken) {
            if (i + taken >= n) break;
            const auto b = static_cast<uint8_t>(text[i + taken]);
            const uint8_t low = taken == 1 ? lo : uint8_t{0x80};
            const uint8_t high = taken == 1 ? hi : uint8_t{0xBF};
            if (b < low || b > high) break;
            cp = (cp << 6) | (b & 0x3F);
        }
        out.push_back(taken == length ? cp : kReplacementChar);
        i += taken;
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t cp : text) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

CellMetrics ComputeCellMetrics(int32_t FontH, int64_t ascent_units, int64_t descent_units,
                               int64_t units_per_em) {
    const int64_t upem = units_per_em > 0 ? units_per_em : 1000;
    int64_t a = std::max<int64_t>(ascent_units, 0);
    int64_t d = std::max<int64_t>(descent_units, 0);
    if (a + d <= 0) {
        a = upem * 4 / 5;
        d = upem - a;
    }
    const double sum = static_cast<double>(a + d);
    CellMetrics m;
    const int64_t h = FontH == 0 ? kDefaultCellHeight : int64_t{FontH};
    if (h > 0) {
        const int64_t cell = std::min<int64_t>(h, kMaxPixelSize);
        const int64_t ascent =
            std::clamp<int64_t>(std::llrint(static_cast<double>(cell) * a / sum), 0, cell);
        m.ascent = static_cast<int32_t>(ascent);
        m.descent = static_cast<int32_t>(cell - ascent);
        m.em = static_cast<double>(cell) * static_cast<double>(upem) / sum;
    } else {
        const double em = static_cast<double>(std::min<int64_t>(-h, kMaxPixelSize));
        m.ascent = static_cast<int32_t>(std::llrint(em * a / static_cast<double>(upem)));
        m.descent = static_cast<int32_t>(std::llrint(em * d / static_cast<double>(upem)));
        if (m.ascent + m.descent < 1) m.ascent = 1;
        m.em = em;
    }
    m.em = std::clamp(m.em, 1.0, static_cast<double>(kMaxPixelSize));
    return m;
}

double ComputeEmX(int32_t FontW, double em_y, int64_t avg_char_units, int64_t units_per_em) {
    if (FontW == 0) return std::clamp(em_y, 1.0, static_cast<double>(kMaxPixelSize));
    const int64_t upem = units_per_em > 0 ? units_per_em : 1000;
    const int64_t avg = avg_char_units > 0 ? avg_char_units : std::max<int64_t>(upem / 2, 1);
    const int64_t wanted = std::min<int64_t>(std::abs(int64_t{FontW}), kMaxPixelSize);
    const double em =
        static_cast<double>(wanted) * static_cast<double>(upem) / static_cast<double>(avg);
    return std::clamp(em, 1.0, static_cast<double>(kMaxPixelSize));
}

}  // namespace text_detail

namespace {

using text_detail::BlendChannel;
using text_detail::CellMetrics;

// ---- fontconfig -------------------------------------------------------------------------

struct FcConfigRelease {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
struct FcPatternRelease {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FcCharSetRelease {
    void operator()(FcCharSet* s) const { FcCharSetDestroy(s); }
};
using FcPatternPtr = std::unique_ptr<FcPattern, FcPatternRelease>;

std::mutex& FontconfigMutex() {
    static std::mutex mutex;
    return mutex;
}

struct FontChoice {
    std::string file;
    int index = 0;
    bool embolden = false;  // bold was asked for and the face found is not bold
};

// The installed scalable face fontconfig chooses for a family and weight; with `needed` not 0
// the face must also have that character (fontconfig ranks the character set above the family).
std::optional<FontChoice> MatchFont(const std::string& family, bool bold, char32_t needed) {
    const std::lock_guard<std::mutex> lock(FontconfigMutex());
    const std::unique_ptr<FcConfig, FcConfigRelease> config(FcConfigReference(nullptr));
    if (!config) return std::nullopt;
    const FcPatternPtr pattern(FcPatternCreate());
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcPatternAddBool(pattern.get(), FC_COLOR, FcFalse);
    if (needed != 0) {
        const std::unique_ptr<FcCharSet, FcCharSetRelease> charset(FcCharSetCreate());
        if (!charset || !FcCharSetAddChar(charset.get(), needed)) return std::nullopt;
        FcPatternAddCharSet(pattern.get(), FC_CHARSET, charset.get());
    }
    if (!FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern)) return std::nullopt;
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const FcPatternPtr match(FcFontMatch(config.get(), pattern.get(), &result));
    if (!match) return std::nullopt;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
        return std::nullopt;
    }
    FontChoice choice;
    choice.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &choice.index);
    int weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
    FcBool embolden = FcFalse;
    FcPatternGetBool(match.get(), FC_EMBOLDEN, 0, &embolden);
    choice.embolden = bold && (embolden == FcTrue || weight < FC_WEIGHT_DEMIBOLD);
    return choice;
}

// ---- FreeType -----------------------------------------------------------------------------

// Hinted vertically only (keeps the shapes and the FontW scaling), outlines only.
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT;

// Largest number of fallback faces and of fontconfig look-ups for missing characters per call.
constexpr size_t kMaxFallbackFaces = 8;
constexpr int kMaxFallbackQueries = 32;

// FT_Span::x is a short: glyphs are rasterised relative to their own origin and the clip box
// is kept inside this range.
constexpr FT_Pos kSpanLimit = 30000;

class FtLibrary {
public:
    FtLibrary() {
        if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    }
    ~FtLibrary() {
        if (library_ != nullptr) FT_Done_FreeType(library_);
    }
    FtLibrary(const FtLibrary&) = delete;
    FtLibrary& operator=(const FtLibrary&) = delete;
    FT_Library get() const { return library_; }

private:
    FT_Library library_ = nullptr;
};

struct FtFaceRelease {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using FtFacePtr = std::unique_ptr<FT_FaceRec_, FtFaceRelease>;

struct Face {
    FtFacePtr face;
    std::string file;
    int index = 0;
    bool embolden = false;
    bool symbol = false;  // only a Microsoft symbol character map: characters at U+F000 + c

    FT_UInt GlyphFor(char32_t cp) const {
        FT_UInt glyph = FT_Get_Char_Index(face.get(), cp);
        if (glyph == 0 && symbol && cp < 0x100) glyph = FT_Get_Char_Index(face.get(), 0xF000 + cp);
        return glyph;
    }
};

std::optional<Face> OpenFace(FT_Library library, const FontChoice& choice) {
    FT_Face raw = nullptr;
    if (FT_New_Face(library, choice.file.c_str(), choice.index, &raw) != 0 || raw == nullptr) {
        return std::nullopt;
    }
    Face face;
    face.face.reset(raw);
    face.file = choice.file;
    face.index = choice.index;
    face.embolden = choice.embolden;
    if (!FT_IS_SCALABLE(raw) || raw->units_per_EM == 0) return std::nullopt;
    if (raw->charmap == nullptr) {
        // FreeType selects a Unicode map when there is one; symbol faces have none.
        face.symbol = FT_Select_Charmap(raw, FT_ENCODING_MS_SYMBOL) == 0;
        if (!face.symbol && raw->num_charmaps > 0) FT_Set_Charmap(raw, raw->charmaps[0]);
    }
    return face;
}

// The ascent and descent in font units that define the cell.
std::pair<int64_t, int64_t> VerticalExtent(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF &&
        int64_t{os2->usWinAscent} + int64_t{os2->usWinDescent} > 0) {
        return {os2->usWinAscent, os2->usWinDescent};
    }
    if (int64_t{face->ascender} - int64_t{face->descender} > 0) {
        return {face->ascender, -int64_t{face->descender}};
    }
    return {face->bbox.yMax, -int64_t{face->bbox.yMin}};
}

// The face's average character width in font units (0 when unknown).
int64_t AverageCharWidth(const Face& face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face.face.get(), FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) {
        return os2->xAvgCharWidth;
    }
    const FT_UInt x = face.GlyphFor(U'x');
    FT_Fixed advance = 0;
    if (x != 0 && FT_Get_Advance(face.face.get(), x, FT_LOAD_NO_SCALE, &advance) == 0) {
        return advance;
    }
    return 0;
}

// The primary face and the fallback faces of one call, all at the same em sizes.
class FaceSet {
public:
    FaceSet(FT_Library library, std::string family, bool bold, FT_F26Dot6 em_x, FT_F26Dot6 em_y)
        : library_(library), family_(std::move(family)), bold_(bold), em_x_(em_x), em_y_(em_y) {}

    bool AddPrimary(Face face) {
        if (!SetSize(face)) return false;
        faces_.push_back(std::move(face));
        return true;
    }

    // The face and glyph that draw a character: the first face that has it, else a fallback
    // face found by fontconfig, else the primary face's missing-glyph box.
    std::pair<const Face*, FT_UInt> Lookup(char32_t cp) {
        if (const auto it = found_.find(cp); it != found_.end()) {
            return {&faces_[it->second.first], it->second.second};
        }
        std::pair<size_t, FT_UInt> result{0, 0};
        if (!FindInOpenFaces(cp, result)) FindFallback(cp, result);
        found_.emplace(cp, result);
        return {&faces_[result.first], result.second};
    }

private:
    bool SetSize(const Face& face) const {
        return FT_Set_Char_Size(face.face.get(), em_x_, em_y_, 72, 72) == 0;
    }

    bool FindInOpenFaces(char32_t cp, std::pair<size_t, FT_UInt>& result) const {
        for (size_t i = 0; i < faces_.size(); ++i) {
            if (const FT_UInt glyph = faces_[i].GlyphFor(cp); glyph != 0) {
                result = {i, glyph};
                return true;
            }
        }
        return false;
    }

    void FindFallback(char32_t cp, std::pair<size_t, FT_UInt>& result) {
        if (faces_.size() > kMaxFallbackFaces || queries_ >= kMaxFallbackQueries) return;
        ++queries_;
        const std::optional<FontChoice> choice = MatchFont(family_, bold_, cp);
        if (!choice) return;
        for (const Face& open : faces_) {
            if (open.file == choice->file && open.index == choice->index) return;
        }
        std::optional<Face> face = OpenFace(library_, *choice);
        if (!face || !SetSize(*face)) return;
        const FT_UInt glyph = face->GlyphFor(cp);
        if (glyph == 0) return;
        faces_.push_back(std::move(*face));
        result = {faces_.size() - 1, glyph};
    }

    FT_Library library_;
    std::string family_;
    bool bold_;
    FT_F26Dot6 em_x_, em_y_;
    std::vector<Face> faces_;
    std::unordered_map<char32_t, std::pair<size_t, FT_UInt>> found_;
    int queries_ = 0;
};

// ---- rasterising into the picture -----------------------------------------------------

// Where the span callback draws: rows are the raster's y (upwards from the baseline), turned
// into device rows as baseline - 1 - y; columns are base_x + span x.
struct SpanTarget {
    PixelView view;
    int64_t baseline = 0;  // device row just below the baseline
    int64_t row_min = 0;   // device rows drawn: [row_min, row_max), inside the picture
    int64_t row_max = 0;
    int64_t base_x = 0;  // device column of the glyph's raster origin
    uint8_t red = 0, green = 0, blue = 0;
};

void BlendSpans(int y, int count, const FT_Span* spans, void* user) {
    const SpanTarget& t = *static_cast<const SpanTarget*>(user);
    const int64_t row = t.baseline - 1 - y;
    if (row < t.row_min || row >= t.row_max || row < 0 || row >= t.view.height) return;
    uint8_t* line = t.view.Row(static_cast<int32_t>(row));
    for (int k = 0; k < count; ++k) {
        const FT_Span& span = spans[k];
        const uint8_t a = span.coverage;
        if (a == 0) continue;
        const int64_t x0 = std::max<int64_t>(t.base_x + span.x, 0);
        const int64_t x1 = std::min<int64_t>(t.base_x + span.x + span.len, t.view.width);
        for (int64_t x = x0; x < x1; ++x) {
            uint8_t* p = line + 3 * x;
            p[0] = BlendChannel(p[0], t.blue, a);
            p[1] = BlendChannel(p[1], t.green, a);
            p[2] = BlendChannel(p[2], t.red, a);
        }
    }
}

struct Layout {
    CellMetrics cell;
    FT_Pos embolden_strength = 0;  // 26.6, whole pixels
    int64_t max_overhang = 0;      // pixels: no glyph reaches this far left of its origin
};

// What drawing and measuring share: the faces at their em sizes and the cell. The library is
// declared before the faces so that they are released first.
struct PreparedText {
    FtLibrary library;
    Layout layout;
    std::optional<FaceSet> faces;

    // False when no face can be found or opened for the name and weight.
    bool Prepare(const std::string& font_name, bool bold, int32_t FontH, int32_t FontW) {
        // fontconfig wants UTF-8 names.
        const std::string family = text_detail::EncodeUtf8(text_detail::DecodeUtf8(font_name));
        const std::optional<FontChoice> choice = MatchFont(family, bold, 0);
        if (!choice || library.get() == nullptr) return false;
        std::optional<Face> primary = OpenFace(library.get(), *choice);
        if (!primary) return false;

        FT_Face ft = primary->face.get();
        const auto [ascent_units, descent_units] = VerticalExtent(ft);
        layout.cell =
            text_detail::ComputeCellMetrics(FontH, ascent_units, descent_units, ft->units_per_EM);
        const double em_x = text_detail::ComputeEmX(FontW, layout.cell.em,
                                                    AverageCharWidth(*primary), ft->units_per_EM);
        // Synthetic bold: strokes grow by a 24th of the em, at least one pixel, in whole pixels.
        layout.embolden_strength =
            static_cast<FT_Pos>(std::max<int64_t>(1, std::llrint(em_x / 24))) * 64;
        layout.max_overhang =
            2 * static_cast<int64_t>(std::ceil(std::max(em_x, layout.cell.em))) + 2;

        faces.emplace(library.get(), family, bold, static_cast<FT_F26Dot6>(std::llrint(em_x * 64)),
                      static_cast<FT_F26Dot6>(std::llrint(layout.cell.em * 64)));
        return faces->AddPrimary(std::move(*primary));
    }
};

// Calls line(text, index) for every line in order until it returns false. Lines break only at
// "\r\n", "\n" and "\r"; a break at the very end leaves an empty last line.
template <typename LineFn>
void ForEachLine(std::u32string_view all, LineFn&& line) {
    size_t start = 0;
    for (int64_t index = 0;; ++index) {
        size_t end = start;
        while (end < all.size() && all[end] != U'\n' && all[end] != U'\r') ++end;
        if (!line(all.substr(start, end - start), index) || end >= all.size()) return;
        start =
            end + ((all[end] == U'\r' && end + 1 < all.size() && all[end + 1] == U'\n') ? 2 : 1);
    }
}

// One character's glyph loaded into its face's slot: the outline already widened for synthetic
// bold, and the pen advance (26.6) including that widening.
struct LoadedGlyph {
    FT_GlyphSlot slot = nullptr;
    FT_Pos advance = 0;
    bool outline = false;
};

// Nothing for control characters and for glyphs that do not load: they take no room either.
std::optional<LoadedGlyph> LoadGlyph(char32_t cp, const Layout& layout, FaceSet& faces) {
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return std::nullopt;
    const auto [face, glyph] = faces.Lookup(cp);
    FT_Face ft = face->face.get();
    if (FT_Load_Glyph(ft, glyph, kLoadFlags) != 0) return std::nullopt;
    LoadedGlyph loaded{ft->glyph, ft->glyph->advance.x,
                       ft->glyph->format == FT_GLYPH_FORMAT_OUTLINE};
    if (loaded.outline && face->embolden) {
        // Widens the strokes by the strength, keeping the left edge.
        FT_Outline_EmboldenXY(&loaded.slot->outline, layout.embolden_strength, 0);
        loaded.advance += layout.embolden_strength;
    }
    return loaded;
}

void DrawLine(std::u32string_view line, int64_t x, int64_t line_top, const Layout& layout,
              FaceSet& faces, FT_Library library, SpanTarget target) {
    const int64_t height = target.view.height, width = target.view.width;
    target.baseline = line_top + layout.cell.ascent;
    target.row_min = std::max<int64_t>(line_top, 0);
    target.row_max = std::min<int64_t>(line_top + layout.cell.Cell(), height);
    if (target.row_min >= target.row_max) return;

    FT_Raster_Params params{};
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = BlendSpans;
    params.user = &target;
    // Raster rows are counted upwards from the baseline; both ends are within a cell height.
    params.clip_box.yMin = static_cast<FT_Pos>(target.baseline - target.row_max);
    params.clip_box.yMax = static_cast<FT_Pos>(target.baseline - target.row_min);

    int64_t pen = x * 64;  // 26.6
    const int64_t pen_limit = (width + layout.max_overhang) * 64;
    for (const char32_t cp : line) {
        if (pen > pen_limit) break;  // everything further right is off the picture
        const std::optional<LoadedGlyph> glyph = LoadGlyph(cp, layout, faces);
        if (!glyph) continue;
        if (glyph->outline) {
            FT_Outline& outline = glyph->slot->outline;
            const int64_t base_x = pen >> 6;  // floor
            FT_Outline_Translate(&outline, static_cast<FT_Pos>(pen - base_x * 64), 0);
            target.base_x = base_x;
            params.clip_box.xMin =
                static_cast<FT_Pos>(std::clamp<int64_t>(-base_x, -kSpanLimit, kSpanLimit));
            params.clip_box.xMax =
                static_cast<FT_Pos>(std::clamp<int64_t>(width - base_x, -kSpanLimit, kSpanLimit));
            if (params.clip_box.xMin < params.clip_box.xMax) {
                FT_Outline_Render(library, &outline, &params);
            }
        }
        pen += glyph->advance;
    }
}

// The pen advance of a whole line in 26.6, as DrawLine moves it (without its stop at the
// picture's right edge).
int64_t LineAdvance(std::u32string_view line, const Layout& layout, FaceSet& faces) {
    int64_t pen = 0;
    for (const char32_t cp : line) {
        if (const std::optional<LoadedGlyph> glyph = LoadGlyph(cp, layout, faces)) {
            pen += glyph->advance;
        }
    }
    return pen;
}

// ---- the list of installed families ------------------------------------------------------

struct FcObjectSetRelease {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct FcFontSetRelease {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
struct FcStrListRelease {
    void operator()(FcStrList* l) const { FcStrListDone(l); }
};

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The language part of a tag ("en" of "en-us" or "en_GB"), in lower case.
std::string LanguageOf(const FcChar8* tag) {
    std::string language;
    for (const auto* c = reinterpret_cast<const char*>(tag); *c != 0 && *c != '-' && *c != '_';
         ++c) {
        language.push_back(FoldAscii(*c));
    }
    return language;
}

// A family with names in several languages (CJK faces, for instance) is listed by the name in
// the first default language it has; any other family by its first name.
std::optional<std::string> FamilyName(const FcPattern* font,
                                      const std::vector<std::string>& langs) {
    FcChar8* name = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &name) != FcResultMatch || name == nullptr) {
        return std::nullopt;
    }
    FcChar8* other = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 1, &other) == FcResultMatch) {
        bool found = false;
        for (const std::string& wanted : langs) {
            FcChar8* lang = nullptr;
            for (int n = 0;
                 !found && FcPatternGetString(font, FC_FAMILYLANG, n, &lang) == FcResultMatch;
                 ++n) {
                if (LanguageOf(lang) == wanted &&
                    FcPatternGetString(font, FC_FAMILY, n, &other) == FcResultMatch) {
                    name = other;
                    found = true;
                }
            }
            if (found) break;
        }
    }
    std::string utf8 = reinterpret_cast<const char*>(name);
    // DrawText re-encodes the name it gets; a name that would change on the way is unusable.
    if (utf8.empty() || text_detail::EncodeUtf8(text_detail::DecodeUtf8(utf8)) != utf8) {
        return std::nullopt;
    }
    return utf8;
}

// Case-insensitive (ASCII) order, then byte order, so that the order never depends on how the
// font files were found.
bool FaceNameLess(const std::string& a, const std::string& b) {
    const auto folded_less = [](char x, char y) {
        return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded_less)) {
        return true;
    }
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded_less)) {
        return false;
    }
    return a < b;
}

}  // namespace

std::vector<std::string> InstalledFontFaces() {
    std::vector<std::string> names;
    {
        const std::lock_guard<std::mutex> lock(FontconfigMutex());
        const std::unique_ptr<FcConfig, FcConfigRelease> config(FcConfigReference(nullptr));
        if (!config) return {};
        // Only the faces MatchFont accepts, so that every name listed draws with its own face.
        const FcPatternPtr pattern(FcPatternCreate());
        if (!pattern || !FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue) ||
            !FcPatternAddBool(pattern.get(), FC_COLOR, FcFalse)) {
            return {};
        }
        const std::unique_ptr<FcObjectSet, FcObjectSetRelease> objects(
            FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, static_cast<char*>(nullptr)));
        if (!objects) return {};
        const std::unique_ptr<FcFontSet, FcFontSetRelease> fonts(
            FcFontList(config.get(), pattern.get(), objects.get()));
        if (!fonts) return {};

        // The default languages are one set fontconfig keeps for the whole process: only read.
        std::vector<std::string> langs;
        if (FcStrSet* defaults = FcGetDefaultLangs(); defaults != nullptr) {
            const std::unique_ptr<FcStrList, FcStrListRelease> list(FcStrListCreate(defaults));
            for (const FcChar8* lang = list ? FcStrListNext(list.get()) : nullptr; lang != nullptr;
                 lang = FcStrListNext(list.get())) {
                langs.push_back(LanguageOf(lang));
            }
        }
        names.reserve(static_cast<size_t>(std::max(fonts->nfont, 0)));
        for (int i = 0; i < fonts->nfont; ++i) {
            if (std::optional<std::string> name = FamilyName(fonts->fonts[i], langs)) {
                names.push_back(std::move(*name));
            }
        }
    }
    std::sort(names.begin(), names.end(), FaceNameLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

TextExtent MeasureText(const std::string& sText, const std::string& sFontName, bool IfBold,
                       int32_t FontH, int32_t FontW) {
    if (sText.empty()) return {};
    PreparedText prepared;
    if (!prepared.Prepare(sFontName, IfBold, FontH, FontW)) return {};
    const std::u32string text = text_detail::DecodeUtf8(sText);
    int64_t widest = 0, lines = 0;
    ForEachLine(text, [&](std::u32string_view line, int64_t) {
        widest = std::max(widest, LineAdvance(line, prepared.layout, *prepared.faces));
        ++lines;
        return true;
    });
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    TextExtent extent;
    extent.width = static_cast<int32_t>(std::min((widest + 63) / 64, kMax));
    extent.height = static_cast<int32_t>(std::min(lines * prepared.layout.cell.Cell(), kMax));
    return extent;
}

void cImage::DrawText(const std::string& sText, const std::string& sFontName, bool IfBold,
                      int32_t XPt, int32_t YPt, int32_t FontH, int32_t FontW, uint32_t LTextCol) {
    const PixelView view = View();
    if (view.empty() || sText.empty()) return;
    PreparedText prepared;
    if (!prepared.Prepare(sFontName, IfBold, FontH, FontW)) return;
    const std::u32string text = text_detail::DecodeUtf8(sText);

    SpanTarget target;
    target.view = view;
    target.red = static_cast<uint8_t>(LTextCol & 0xFF);
    target.green = static_cast<uint8_t>((LTextCol >> 8) & 0xFF);
    target.blue = static_cast<uint8_t>((LTextCol >> 16) & 0xFF);

    const int64_t cell = prepared.layout.cell.Cell();
    ForEachLine(text, [&](std::u32string_view line, int64_t index) {
        const int64_t line_top = int64_t{YPt} + index * cell;
        if (line_top >= view.height) return false;  // this line and the rest are below the picture
        if (line_top + cell > 0) {
            DrawLine(line, XPt, line_top, prepared.layout, *prepared.faces, prepared.library.get(),
                     target);
        }
        return true;
    });
}

}  // namespace pictorra::image
