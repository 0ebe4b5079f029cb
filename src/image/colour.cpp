// ConvertToSrgb: the embedded colour profile of a loaded picture applied, so that everything
// after the load works in sRGB.
//
// The conversion is lcms2's 8-bit perceptual transform to its built-in sRGB, byte for byte, so
// that a picture converted here and one converted by any other program built on lcms2 agree.
// Most photographs carry a matrix/TRC profile (Adobe RGB, Display P3, ProPhoto); for those lcms2
// works in integers: a table from each 8-bit sample to 1.14 fixed point, a 3x3 matrix in 1.14,
// and a table of 16385 entries back to 8 bits. A hook in lcms2's optimizer takes those tables as
// lcms2 builds them from the profile, and this file evaluates them itself: on several threads,
// with the products looked up, and where the processor has AVX-512 64 pixels at a time by
// permutes. lcms2's own loop takes four times as long as the first and twenty times as long as
// the second. Any other profile (lookup tables, grey) goes through lcms2's transform. A profile
// that describes sRGB leaves the bytes untouched.
//
// The profile comes from the file and is treated as hostile: lcms2 works in a context of its own
// whose allocations are counted and capped, so a profile declaring huge tables fails cleanly.
#include <lcms2.h>
#include <lcms2_plugin.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "image/codecs.h"
#include "image/colour_paths.h"
#include "image/owned.h"
#include "image/row_split.h"

namespace pictorra::image {
namespace {

// lcms2's working memory for one profile and its transform. Real profiles, even large printer
// profiles, need a few megabytes.
constexpr size_t kMaxProfileMemory = size_t{64} << 20;

using CurvePtr = Owned<cmsToneCurve, cmsFreeToneCurve>;

// ---- lcms2's 8-bit matrix/TRC arithmetic
// ---------------------------------------------------------

// The 1.14 fixed-point value lcms2 stores for x. A value out of range comes out as the processor's
// conversion of it does in lcms2's own code: the most negative number.
int32_t Fixed14(double x) {
    const double d = std::floor(x * 16384.0 + 0.5);
    return d >= -2147483648.0 && d < 2147483648.0 ? static_cast<int32_t>(d) : INT32_MIN;
}

// lcms2's rounding of a value in [0, 65535] to 16 bits: a floor taken by adding a large constant
// to the double and reading its low bits, which rounds the fraction to 16 bits first.
uint16_t QuickSaturateWord(double d) {
    d += 0.5;
    if (d <= 0) return 0;
    if (d >= 65535.0) return 0xFFFF;
    const double shifted = (d - 32767.0) + 68719476736.0 * 1.5;
    uint64_t bits = 0;
    std::memcpy(&bits, &shifted, sizeof bits);
    const auto low = static_cast<int32_t>(static_cast<uint32_t>(bits));
    return static_cast<uint16_t>((low >> 16) + 32767);
}

// A 16-bit value to 8 bits, rounded, as lcms2 does it.
uint8_t From16To8(uint32_t v) {
    return static_cast<uint8_t>(((v * 65281u + 8388608u) >> 24) & 0xFF);
}

// The table from 1.14 fixed point (0 to 16384) to an 8-bit output level, and the same table in a
// form that 64 entries can be read from at once with byte permutes (see SecondLookup). That form
// exists when the table rises steadily and gently enough: each run of 256 indices is cut into
// buckets of a width of its own, narrow enough for no bucket to span more than two levels; the
// level at a bucket's start and the place in the bucket where the next level starts then give any
// entry. For the sRGB curve the buckets number about 230, so that a bucket fits in a byte.
struct SecondShaper {
    static constexpr int32_t kEntries = 16385;
    static constexpr uint32_t kLast = 16383;  // 16384 shares its level, so indices stop here

    std::array<uint8_t, kEntries> level{};
    bool lookup = false;  // the bucket form holds
    // By run (index / 256): bucket = (index * factor >> 16) + first_bucket, modulo 2^16.
    alignas(64) std::array<uint16_t, 64> factor{};
    alignas(64) std::array<uint16_t, 64> first_bucket{};
    // By bucket: its first level, and the low byte of the index before the next level (255: none).
    alignas(64) std::array<uint8_t, 256> bucket_level{};
    alignas(64) std::array<uint8_t, 256> bucket_cut{};

    uint32_t BucketOf(uint32_t index) const {
        const size_t run = index >> 8;
        return uint16_t(((index * factor[run]) >> 16) + first_bucket[run]);
    }

    uint8_t Lookup(uint32_t index) const {
        index = std::min(index, kLast);
        const uint32_t bucket = BucketOf(index);
        return uint8_t(bucket_level[bucket] + ((index & 0xFF) > bucket_cut[bucket] ? 1 : 0));
    }

    void Fill(const cmsToneCurve* curve) {
        for (int32_t i = 0; i < kEntries; ++i) {
            float v = cmsEvalToneCurveFloat(curve, static_cast<float>(i / 16384.0));
            if (v < 0) v = 0;
            if (v > 1.0) v = 1.0;
            level[size_t(i)] = From16To8(QuickSaturateWord(v * 65535.0));
        }
        lookup = BuildBuckets();
    }

    bool BuildBuckets() {
        if (level[kLast] != level[kLast + 1]) return false;
        uint32_t count = 0;
        for (uint32_t run = 0; run < 64; ++run) {
            const uint32_t lo = run << 8, end = lo + 256;
            // The widest buckets that hold: a bucket's levels, from its first index on, may rise
            // by one at most. Buckets more than twice as wide as the narrowest level would hold
            // two rises wherever they fall, so the search starts there.
            const auto holds = [&](uint32_t f) {
                uint8_t start = level[lo];
                for (uint32_t i = lo + 1; i < end; ++i) {
                    if ((i * f >> 16) != ((i - 1) * f >> 16)) start = level[i];
                    if (level[i] - start > 1) return false;
                }
                return true;
            };
            uint32_t narrowest = 256;
            for (uint32_t i = lo + 1, last_rise = 0; i < end; ++i)
                if (level[i] != level[i - 1]) {
                    if (last_rise) narrowest = std::min(narrowest, i - last_rise);
                    last_rise = i;
                }
            uint32_t f = std::max(1u, 0x10000 / (2 * narrowest + 2));
            while (f < 0x10000 && !holds(f)) ++f;
            const uint32_t buckets = ((end - 1) * f >> 16) - (lo * f >> 16) + 1;
            if (f == 0x10000 || count + buckets > 256) return false;
            factor[run] = uint16_t(f);
            first_bucket[run] = uint16_t(count - (lo * f >> 16));
            for (uint32_t b = 0; b < buckets; ++b) bucket_cut[count + b] = 0xFF;
            for (uint32_t i = lo; i < end; ++i) {
                const uint32_t b = BucketOf(i);
                if (i == lo || BucketOf(i - 1) != b)
                    bucket_level[b] = level[i];
                else if (level[i] != level[i - 1])
                    bucket_cut[b] = uint8_t((i & 0xFF) - 1);
            }
            count += buckets;
        }
        for (uint32_t i = 0; i < uint32_t(kEntries); ++i)
            if (Lookup(i) != level[i]) return false;
        return true;
    }
};

// The table lcms2 makes from its built-in sRGB's curve, inverted, for every transform to it;
// made here once. Null when lcms2 cannot make the curve.
const SecondShaper* SrgbSecondShaper() {
    static const auto shaper = [] {
        std::unique_ptr<SecondShaper> s;
        const double params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        const CurvePtr forward{cmsBuildParametricToneCurve(nullptr, 4, params)};
        const CurvePtr inverse{forward ? cmsReverseToneCurve(forward.get()) : nullptr};
        if (inverse) {
            s = std::make_unique<SecondShaper>();
            s->Fill(inverse.get());
        }
        return s;
    }();
    return shaper.get();
}

// The tables of one conversion, as lcms2 makes them for its 8-bit matrix/TRC transform.
struct MatrixShaper {
    std::array<std::array<int32_t, 256>, 3> first{};  // by input channel red, green, blue
    std::array<std::array<int32_t, 3>, 3> matrix{};
    std::array<int32_t, 3> offset{};
    const SecondShaper* second = nullptr;  // sRGB's, for all three channels

    // The vector path's form: the first tables as 16-bit numbers in two byte planes, the matrix
    // as pairs of 16-bit factors (split in two halves when a factor needs more).
    bool vector = false;
    bool split = false;
    alignas(64) std::array<std::array<uint8_t, 256>, 3> first_low{}, first_high{};
    std::array<std::array<int16_t, 4>, 3> pairs{}, pairs_rest{};  // (r, g), (b, 1) factors

    // The portable path's form: by input channel and sample, its terms of the three sums (and a
    // fourth, unused), the rounding constants added to red's. Unsigned, so that they wrap.
    using Lanes = uint32_t __attribute__((vector_size(16)));
    std::array<std::array<Lanes, 256>, 3> terms{};

    void PortableRow(uint8_t* row, int32_t width) const;
    void VectorRow(uint8_t* row, int32_t width) const;
    void Prepare();
    bool PrepareVector();
};

// What lcms2 does with 8-bit samples, per pixel, with the products looked up; the sums wrap as
// lcms2's do, so the order of the additions does not matter.
void MatrixShaper::PortableRow(uint8_t* row, int32_t width) const {
    using Signed = int32_t __attribute__((vector_size(16)));
    const uint8_t* const level = second->level.data();
    const Signed zero = {0, 0, 0, 0}, top = {16384, 16384, 16384, 16384};
    for (int32_t x = 0; x < width; ++x, row += 3) {
        const Lanes sum = terms[0][row[2]] + terms[1][row[1]] + terms[2][row[0]];
        Signed l = reinterpret_cast<Signed>(sum) >> 14;
        l = l < zero ? zero : l;
        l = l > top ? top : l;
        const uint8_t red = level[l[0]], green = level[l[1]], blue = level[l[2]];
        row[0] = blue;
        row[1] = green;
        row[2] = red;
    }
}

void MatrixShaper::Prepare() {
    for (size_t k = 0; k < 3; ++k)
        for (size_t v = 0; v < 256; ++v)
            for (int c = 0; c < 3; ++c)
                terms[k][v][c] = static_cast<uint32_t>(matrix[size_t(c)][k]) *
                                     static_cast<uint32_t>(first[k][v]) +
                                 (k == 0 ? static_cast<uint32_t>(offset[size_t(c)]) + 0x2000u : 0u);
    vector = PrepareVector();
}

bool MatrixShaper::PrepareVector() {
    if (!second->lookup) return false;
    for (size_t c = 0; c < 3; ++c) {
        for (size_t v = 0; v < 256; ++v) {
            const int32_t f = first[c][v];
            if (f < INT16_MIN || f > INT16_MAX) return false;
            first_low[c][v] = static_cast<uint8_t>(f);
            first_high[c][v] = static_cast<uint8_t>(static_cast<uint32_t>(f) >> 8);
        }
    }
    const auto fits = [](int64_t v) { return v >= INT16_MIN && v <= INT16_MAX; };
    for (size_t c = 0; c < 3; ++c) {
        const int64_t k = int64_t{offset[c]} + 0x2000;
        if (!fits(k)) return false;
        for (size_t i = 0; i < 3; ++i) split |= !fits(matrix[c][i]);
    }
    for (size_t c = 0; c < 3; ++c) {
        std::array<int64_t, 3> half{}, rest{};
        for (size_t i = 0; i < 3; ++i) {
            half[i] = split ? matrix[c][i] / 2 : matrix[c][i];
            rest[i] = matrix[c][i] - half[i];
            if (!fits(half[i]) || !fits(rest[i])) return false;
        }
        pairs[c] = {int16_t(half[0]), int16_t(half[1]), int16_t(half[2]),
                    int16_t(offset[c] + 0x2000)};
        pairs_rest[c] = {int16_t(rest[0]), int16_t(rest[1]), int16_t(rest[2]), 0};
    }
    return true;
}

#if defined(__x86_64__)
#define PICTORRA_VECTOR_COLOUR 1

#define PICTORRA_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vbmi")))
// GCC's own AVX-512 headers start unmasked operations from an undefined register, which its
// flow analysis then reports as (maybe) uninitialized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

// Byte permutes that take 64 pixels (192 bytes in three registers) apart into their channels and
// put them back together.
struct Shuffles {
    alignas(64) uint8_t from_first[3][64]{};   // channel k, pixel j: byte 3j + k of A:B
    alignas(64) uint8_t from_second[3][64]{};  // the same of B:C
    uint64_t in_second[3]{};                   // the pixels whose byte lies in C
    alignas(64) uint8_t blue_green[3][64]{};   // output register o, byte q: from blue:green
    alignas(64) uint8_t red[3][64]{};          // output register o, byte q: from red
    uint64_t is_red[3]{};
    Shuffles() {
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 64; ++j) {
                const int at = 3 * j + k;
                from_first[k][j] = uint8_t(at & 127);
                from_second[k][j] = uint8_t((at - 64) & 127);
                if (at >= 128) in_second[k] |= uint64_t{1} << j;
            }
        for (int o = 0; o < 3; ++o)
            for (int q = 0; q < 64; ++q) {
                const int at = 64 * o + q, j = at / 3, k = at % 3;
                blue_green[o][q] = uint8_t(k == 1 ? 64 + j : j);
                red[o][q] = uint8_t(j);
                if (k == 2) is_red[o] |= uint64_t{1} << q;
            }
    }
};

// 64 entries of a 256-byte table: two permutes each cover 128 entries, the index's top bit picks.
PICTORRA_AVX512 inline __m512i PlaneLookup(const uint8_t* plane, __m512i index) {
    const __m512i low =
        _mm512_permutex2var_epi8(_mm512_loadu_si512(plane), index, _mm512_loadu_si512(plane + 64));
    const __m512i up = _mm512_permutex2var_epi8(_mm512_loadu_si512(plane + 128), index,
                                                _mm512_loadu_si512(plane + 192));
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, up);
}

// The second table at 64 indices in [0, 16383], given as 16-bit values in two registers (lane L:
// pixels 16L + 0..7, then 16L + 8..15); the levels come out as bytes in pixel order.
PICTORRA_AVX512 inline __m512i SecondLookup(const SecondShaper& t, const __m512i index[2]) {
    const __m512i factor_low = _mm512_load_si512(t.factor.data());
    const __m512i factor_high = _mm512_load_si512(t.factor.data() + 32);
    const __m512i first_low = _mm512_load_si512(t.first_bucket.data());
    const __m512i first_high = _mm512_load_si512(t.first_bucket.data() + 32);
    __m512i bucket[2];
    for (size_t h = 0; h < 2; ++h) {
        const __m512i run = _mm512_srli_epi16(index[h], 8);
        bucket[h] = _mm512_add_epi16(
            _mm512_mulhi_epu16(index[h], _mm512_permutex2var_epi16(factor_low, run, factor_high)),
            _mm512_permutex2var_epi16(first_low, run, first_high));
    }
    const __m512i buckets = _mm512_packus_epi16(bucket[0], bucket[1]);
    const __m512i low_byte = _mm512_set1_epi16(0xFF);
    const __m512i low = _mm512_packus_epi16(_mm512_and_si512(index[0], low_byte),
                                            _mm512_and_si512(index[1], low_byte));
    const __m512i start = PlaneLookup(t.bucket_level.data(), buckets);
    const __m512i cut = PlaneLookup(t.bucket_cut.data(), buckets);
    return _mm512_mask_add_epi8(start, _mm512_cmpgt_epu8_mask(low, cut), start,
                                _mm512_set1_epi8(1));
}

// Two 16-bit factors in every 32-bit lane, for multiply-adds of (lo, hi) pairs.
PICTORRA_AVX512 inline __m512i Pair(int16_t lo, int16_t hi) {
    return _mm512_set1_epi32(int32_t(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16));
}

// 64 pixels at p: the channels come apart with byte permutes, the first tables are read from
// byte planes by permutes (gathers cost several times as much), the matrix is two or four
// multiply-adds of 16-bit pairs, and SecondLookup gives the levels.
template <bool kSplit>
PICTORRA_AVX512 void Avx512Block(const MatrixShaper& ms, const Shuffles& sh, uint8_t* p) {
    const __m512i a = _mm512_loadu_si512(p), b = _mm512_loadu_si512(p + 64);
    const __m512i c = _mm512_loadu_si512(p + 128);
    __m512i channel[3];  // blue, green, red: one byte per pixel
    for (size_t k = 0; k < 3; ++k)
        channel[k] = _mm512_mask_blend_epi8(
            sh.in_second[k], _mm512_permutex2var_epi8(a, _mm512_load_si512(sh.from_first[k]), b),
            _mm512_permutex2var_epi8(b, _mm512_load_si512(sh.from_second[k]), c));
    __m512i words[3][2];  // red, green, blue: pixels 16L + 0..7 and 16L + 8..15 of lane L
    for (size_t k = 0; k < 3; ++k) {
        const __m512i low = PlaneLookup(ms.first_low[k].data(), channel[2 - k]);
        const __m512i high = PlaneLookup(ms.first_high[k].data(), channel[2 - k]);
        words[k][0] = _mm512_unpacklo_epi8(low, high);
        words[k][1] = _mm512_unpackhi_epi8(low, high);
    }
    const __m512i ones = _mm512_set1_epi16(1);
    __m512i red_green[4], blue_one[4];
    for (size_t h = 0; h < 2; ++h) {
        red_green[2 * h] = _mm512_unpacklo_epi16(words[0][h], words[1][h]);
        red_green[2 * h + 1] = _mm512_unpackhi_epi16(words[0][h], words[1][h]);
        blue_one[2 * h] = _mm512_unpacklo_epi16(words[2][h], ones);
        blue_one[2 * h + 1] = _mm512_unpackhi_epi16(words[2][h], ones);
    }
    // red_green[q] and blue_one[q] hold, in lane L, the (red, green) and (blue, 1) pairs of
    // pixels 16L + 4q + 0..3; the sums of two of them pack into the order SecondLookup takes.
    const __m512i top = _mm512_set1_epi16(SecondShaper::kLast);
    __m512i out[3];  // red, green, blue levels
    for (size_t r = 0; r < 3; ++r) {
        const auto& f = ms.pairs[r];
        const __m512i rg = Pair(f[0], f[1]), b1 = Pair(f[2], f[3]);
        const auto& g = ms.pairs_rest[r];
        const __m512i rg2 = Pair(g[0], g[1]), b2 = Pair(g[2], g[3]);
        __m512i sum[4];
        for (size_t q = 0; q < 4; ++q) {
            sum[q] = _mm512_add_epi32(_mm512_madd_epi16(red_green[q], rg),
                                      _mm512_madd_epi16(blue_one[q], b1));
            if constexpr (kSplit)
                sum[q] =
                    _mm512_add_epi32(sum[q], _mm512_add_epi32(_mm512_madd_epi16(red_green[q], rg2),
                                                              _mm512_madd_epi16(blue_one[q], b2)));
            sum[q] = _mm512_srai_epi32(sum[q], 14);
        }
        // Packing with unsigned saturation clamps below at 0.
        const __m512i index[2] = {_mm512_min_epu16(_mm512_packus_epi32(sum[0], sum[1]), top),
                                  _mm512_min_epu16(_mm512_packus_epi32(sum[2], sum[3]), top)};
        out[r] = SecondLookup(*ms.second, index);
    }
    for (size_t o = 0; o < 3; ++o) {
        const __m512i bg =
            _mm512_permutex2var_epi8(out[2], _mm512_load_si512(sh.blue_green[o]), out[1]);
        _mm512_storeu_si512(
            p + 64 * o,
            _mm512_mask_permutexvar_epi8(bg, sh.is_red[o], _mm512_load_si512(sh.red[o]), out[0]));
    }
}

// A row in blocks of 64 pixels; the last few go through a buffer, so the row's padding is never
// touched.
template <bool kSplit>
PICTORRA_AVX512 void Avx512Row(const MatrixShaper& ms, uint8_t* row, int32_t width) {
    static const Shuffles shuffles;
    int32_t x = 0;
    for (; x + 64 <= width; x += 64) Avx512Block<kSplit>(ms, shuffles, row + 3 * int64_t{x});
    if (x < width) {
        alignas(64) uint8_t tail[192] = {};
        const size_t bytes = 3 * size_t(width - x);
        std::memcpy(tail, row + 3 * int64_t{x}, bytes);
        Avx512Block<kSplit>(ms, shuffles, tail);
        std::memcpy(row + 3 * int64_t{x}, tail, bytes);
    }
}

#pragma GCC diagnostic pop

bool HasAvx512() {
    static const bool has =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vbmi");
    return has;
}
#endif

void MatrixShaper::VectorRow(uint8_t* row, int32_t width) const {
#if defined(PICTORRA_VECTOR_COLOUR)
    if (vector && HasAvx512())
        return split ? Avx512Row<true>(*this, row, width) : Avx512Row<false>(*this, row, width);
#endif
    PortableRow(row, width);
}

// ---- lcms2 in a context with a memory cap, and the hook that takes its tables
// ---------------------

struct ContextState {
    std::atomic<size_t> used{0};
    // Set while the conversion's own transform is made: the hook fills it in.
    MatrixShaper* capture = nullptr;
    bool captured = false;
};

// Each block carries its size in front, and how much of it the budget counted: lcms2 allocates
// the context record itself before the context (and so the budget) can be found, and frees it
// after it has gone.
struct BlockHeader {
    size_t size;
    size_t counted;
};
constexpr size_t kHeaderBytes = alignof(std::max_align_t);
static_assert(sizeof(BlockHeader) <= kHeaderBytes);

BlockHeader HeaderOf(void* ptr) {
    BlockHeader header{};
    std::memcpy(&header, static_cast<unsigned char*>(ptr) - kHeaderBytes, sizeof header);
    return header;
}

void* CappedMalloc(cmsContext context, cmsUInt32Number size) {
    auto* state = static_cast<ContextState*>(cmsGetContextUserData(context));
    const BlockHeader header{size, state ? size_t{size} : 0};
    if (state && state->used.fetch_add(size) + size > kMaxProfileMemory) {
        state->used.fetch_sub(size);
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(std::malloc(kHeaderBytes + size_t{size}));
    if (!block) {
        if (state) state->used.fetch_sub(size);
        return nullptr;
    }
    std::memcpy(block, &header, sizeof header);
    return block + kHeaderBytes;
}

void CappedFree(cmsContext context, void* ptr) {
    if (!ptr) return;
    const BlockHeader header = HeaderOf(ptr);
    auto* state = static_cast<ContextState*>(cmsGetContextUserData(context));
    if (state && header.counted) state->used.fetch_sub(header.counted);
    std::free(static_cast<unsigned char*>(ptr) - kHeaderBytes);
}

void* CappedRealloc(cmsContext context, void* ptr, cmsUInt32Number size) {
    void* fresh = CappedMalloc(context, size);
    if (!fresh || !ptr) return fresh;
    std::memcpy(fresh, ptr, std::min(HeaderOf(ptr).size, size_t{size}));
    CappedFree(context, ptr);
    return fresh;
}

// Called by lcms2's optimizer before its own optimizations. For the conversion's 8-bit RGB
// transform it checks for the shapes lcms2 turns into its integer matrix/TRC evaluation (curves,
// one or two matrices, curves) and builds the same tables lcms2 would, the output side from the
// sRGB curve whatever the pipeline ends with (see Session::CaptureTables); it then reports the
// pipeline as done, so that lcms2 builds nothing more. Anything else (lcms2's internal
// transforms, other shapes) it leaves to lcms2.
cmsBool CaptureMatrixShaper(cmsPipeline** lut, cmsUInt32Number, cmsUInt32Number* input_format,
                            cmsUInt32Number* output_format, cmsUInt32Number*) {
    auto* state = static_cast<ContextState*>(cmsGetContextUserData(cmsGetPipelineContextID(*lut)));
    if (!state || !state->capture || *input_format != TYPE_BGR_8 || *output_format != TYPE_BGR_8)
        return FALSE;
    cmsStage *curves_in = nullptr, *matrix1 = nullptr, *matrix2 = nullptr, *curves_out = nullptr;
    cmsMAT3 m{};
    const cmsFloat64Number* offset = nullptr;
    if (cmsPipelineCheckAndRetreiveStages(*lut, 4, cmsSigCurveSetElemType, cmsSigMatrixElemType,
                                          cmsSigMatrixElemType, cmsSigCurveSetElemType, &curves_in,
                                          &matrix1, &matrix2, &curves_out)) {
        const auto* d1 = static_cast<const _cmsStageMatrixData*>(cmsStageData(matrix1));
        const auto* d2 = static_cast<const _cmsStageMatrixData*>(cmsStageData(matrix2));
        if (d1->Offset) return FALSE;
        _cmsMAT3per(&m, reinterpret_cast<const cmsMAT3*>(d2->Double),
                    reinterpret_cast<const cmsMAT3*>(d1->Double));
        offset = d2->Offset;
    } else if (cmsPipelineCheckAndRetreiveStages(*lut, 3, cmsSigCurveSetElemType,
                                                 cmsSigMatrixElemType, cmsSigCurveSetElemType,
                                                 &curves_in, &matrix1, &curves_out)) {
        const auto* d = static_cast<const _cmsStageMatrixData*>(cmsStageData(matrix1));
        std::memcpy(&m, d->Double, sizeof m);
        offset = d->Offset;
    } else {
        return FALSE;
    }
    // An identity matrix makes lcms2 join the curves instead; its transform does that well.
    if (_cmsMAT3isIdentity(&m) && !offset) return FALSE;
    const auto* in = static_cast<const _cmsStageToneCurvesData*>(cmsStageData(curves_in));
    const auto* out = static_cast<const _cmsStageToneCurvesData*>(cmsStageData(curves_out));
    if (in->nCurves != 3 || out->nCurves != 3) return FALSE;

    MatrixShaper& ms = *state->capture;
    for (size_t c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            const float y = cmsEvalToneCurveFloat(in->TheCurves[c], static_cast<float>(v / 255.0));
            ms.first[c][size_t(v)] = y < 131072.0 ? Fixed14(y) : 0x7FFFFFFF;
        }
        for (size_t i = 0; i < 3; ++i) ms.matrix[c][i] = Fixed14(m.v[c].n[i]);
        ms.offset[c] = offset ? Fixed14(offset[c]) : 0;
    }
    ms.second = SrgbSecondShaper();
    if (!ms.second) return FALSE;
    ms.Prepare();
    state->captured = true;
    return TRUE;
}

using ContextPtr = Owned<std::remove_pointer_t<cmsContext>, cmsDeleteContext>;
using ProfilePtr = Owned<void, cmsCloseProfile>;
using TransformPtr = Owned<void, cmsDeleteTransform>;

// One conversion's lcms2 objects; members are destroyed in reverse order, the context last.
struct Session {
    ContextState state;
    cmsPluginMemHandler memory{};
    cmsPluginOptimization hook{};
    ContextPtr context;
    ProfilePtr profile;
    ProfilePtr srgb;
    TransformPtr transform;

    bool Open(std::span<const uint8_t> icc) {
        memory.base.Magic = cmsPluginMagicNumber;
        memory.base.ExpectedVersion = 2060;
        memory.base.Type = cmsPluginMemHandlerSig;
        memory.base.Next = &hook.base;
        memory.MallocPtr = CappedMalloc;
        memory.FreePtr = CappedFree;
        memory.ReallocPtr = CappedRealloc;
        hook.base.Magic = cmsPluginMagicNumber;
        hook.base.ExpectedVersion = 2060;
        hook.base.Type = cmsPluginOptimizationSig;
        hook.OptimizePtr = CaptureMatrixShaper;
        context.reset(cmsCreateContext(&memory, &state));
        if (!context) return false;
        // A profile is a few kilobytes to a few megabytes; lcms2 takes the size as 32 bits.
        if (icc.size() < 128 || icc.size() > kMaxProfileMemory) return false;
        profile.reset(cmsOpenProfileFromMemTHR(context.get(), icc.data(),
                                               static_cast<cmsUInt32Number>(icc.size())));
        return profile != nullptr;
    }

    // The perceptual transform to lcms2's built-in sRGB.
    bool MakeTransform(cmsUInt32Number input_format, cmsUInt32Number output_format) {
        srgb.reset(cmsCreate_sRGBProfileTHR(context.get()));
        return srgb && MakeTransformTo(input_format, output_format);
    }

    // lcms2's tables for an RGB profile to sRGB, when the transform has the shape that lcms2
    // works in integers; false when it has not. lcms2 makes the output side's tables by
    // inverting the sRGB curve three times over, which is most of the cost of a transform; the
    // hook takes that table ready-made, so the transform is made to a profile with sRGB's
    // colourants, made the same way, and linear curves: the matrix and the input tables come out
    // the same, and so do the black points where lcms2 looks for them (the darkest colourant,
    // zero either way).
    bool CaptureTables(MatrixShaper& tables) {
        constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};
        constexpr cmsCIExyYTRIPLE kRec709 = {
            {0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
        // A table of two entries: lcms2 inverts a parametric curve by sampling it at 4096 points.
        const cmsUInt16Number ends[2] = {0, 0xFFFF};
        const CurvePtr linear{cmsBuildTabulatedToneCurve16(context.get(), 2, ends)};
        if (!linear) return false;
        cmsToneCurve* curves[3] = {linear.get(), linear.get(), linear.get()};
        srgb.reset(cmsCreateRGBProfileTHR(context.get(), &kD65, &kRec709, curves));
        state.capture = &tables;
        const bool made = srgb && MakeTransformTo(TYPE_BGR_8, TYPE_BGR_8);
        state.capture = nullptr;
        transform.reset();
        srgb.reset();
        return made && state.captured;
    }

private:
    bool MakeTransformTo(cmsUInt32Number input_format, cmsUInt32Number output_format) {
        transform.reset(cmsCreateTransformTHR(context.get(), profile.get(), input_format,
                                              srgb.get(), output_format, INTENT_PERCEPTUAL, 0));
        return transform != nullptr;
    }
};

// ---- sRGB profiles
// -------------------------------------------------------------------------------

// The 8-bit sRGB level nearest to a linear value.
long SrgbLevel(double linear) {
    const double v =
        linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return std::lrint(255 * std::clamp(v, 0.0, 1.0));
}

// The colourants of a matrix/TRC profile as columns (red, green, blue) of an XYZ matrix.
bool ReadColourants(cmsHPROFILE profile, double (&m)[3][3]) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    for (size_t c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
        if (!xyz || !std::isfinite(xyz->X) || !std::isfinite(xyz->Y) || !std::isfinite(xyz->Z))
            return false;
        m[0][c] = xyz->X;
        m[1][c] = xyz->Y;
        m[2][c] = xyz->Z;
    }
    return true;
}

// sRGB itself, as the many sRGB profiles in circulation write it: colourants equal to lcms2's
// up to the rounding of the fixed-point numbers (and of the white point adaptation), curves that
// give every level back as itself. Converting such a picture would only move a few levels by one.
bool DescribesSrgb(cmsHPROFILE profile) {
    static const struct Srgb {
        double m[3][3]{};
        bool ok = false;
        Srgb() {
            const ProfilePtr srgb{cmsCreate_sRGBProfile()};
            ok = srgb && ReadColourants(srgb.get(), m);
        }
    } srgb;
    double m[3][3]{};
    if (!srgb.ok || !ReadColourants(profile, m)) return false;
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c)
            if (!(std::abs(m[r][c] - srgb.m[r][c]) <= 1.0 / 2048)) return false;
    const cmsTagSignature trcs[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (cmsTagSignature tag : trcs) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag));
        if (!curve) return false;
        for (int v = 0; v < 256; ++v) {
            const float y = cmsEvalToneCurveFloat(curve, static_cast<float>(v) / 255.0f);
            if (!std::isfinite(y) || SrgbLevel(y) != v) return false;
        }
    }
    return true;
}

bool HasLookupTables(cmsHPROFILE profile) {
    for (cmsTagSignature tag : {cmsSigAToB0Tag, cmsSigAToB1Tag, cmsSigAToB2Tag, cmsSigDToB0Tag,
                                cmsSigDToB1Tag, cmsSigDToB2Tag})
        if (cmsIsTag(profile, tag)) return true;
    return false;
}

// A grey curve that gives every level back as itself under the sRGB encoding.
bool IsSrgbGreyCurve(cmsHPROFILE profile) {
    const auto* trc = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGrayTRCTag));
    if (!trc || HasLookupTables(profile)) return false;
    for (int v = 0; v < 256; ++v) {
        const float y = cmsEvalToneCurveFloat(trc, static_cast<float>(v) / 255.0f);
        if (!std::isfinite(y) || SrgbLevel(y) != v) return false;
    }
    return true;
}

bool IsGrey(const cImage& picture) {
    const ConstPixelView view = picture.View();
    for (int32_t row = 0; row < view.height; ++row) {
        const uint8_t* p = view.DibRow(row);
        for (int32_t x = 0; x < view.width; ++x, p += 3)
            if (p[0] != p[1] || p[1] != p[2]) return false;
    }
    return true;
}

bool UsableClass(cmsHPROFILE profile) {
    switch (cmsGetDeviceClass(profile)) {
        case cmsSigInputClass:
        case cmsSigDisplayClass:
        case cmsSigOutputClass:
        case cmsSigColorSpaceClass:
            break;
        default:  // device links, abstract and named-colour profiles describe no picture
            return false;
    }
    const cmsColorSpaceSignature pcs = cmsGetPCS(profile);
    return pcs == cmsSigXYZData || pcs == cmsSigLabData;
}

}  // namespace

namespace detail {

bool HasVectorColour() {
#if defined(PICTORRA_VECTOR_COLOUR)
    return HasAvx512();
#else
    return false;
#endif
}

bool ConvertToSrgbOn(ColourPath path, cImage& picture, std::span<const uint8_t> icc,
                     int32_t threads) {
    Session s;
    if (!s.Open(icc) || !UsableClass(s.profile.get())) return false;
    const PixelView view = picture.View();
    const int64_t pixels = int64_t{view.width} * view.height;
    const auto each_row = [&](auto&& fn) {
        if (!view.bits || view.width <= 0 || view.height <= 0) return;
        detail::SplitRows(view.height, pixels, threads, [&](int32_t first, int32_t end) {
            for (int32_t row = first; row < end; ++row) fn(view.DibRow(row));
        });
    };

    switch (cmsGetColorSpace(s.profile.get())) {
        case cmsSigRgbData:
            break;
        case cmsSigGrayData: {
            if (IsSrgbGreyCurve(s.profile.get())) return true;
            // The decoders widen grey pictures to three equal channels; a colour picture with a
            // grey profile has been mislabelled, and a guess would only make it worse.
            if (view.bits && !IsGrey(picture)) return false;
            if (!s.MakeTransform(TYPE_GRAY_8, TYPE_BGR_8)) return false;
            std::array<uint8_t, 256> in{};
            std::array<uint8_t, 3 * 256> out{};
            for (size_t v = 0; v < 256; ++v) in[v] = static_cast<uint8_t>(v);
            cmsDoTransform(s.transform.get(), in.data(), out.data(), 256);
            each_row([&](uint8_t* p) {
                for (int32_t x = 0; x < view.width; ++x, p += 3) std::memcpy(p, &out[3 * p[0]], 3);
            });
            return true;
        }
        default:  // CMYK and the rest: the decoders have already turned such pictures into RGB
            return false;
    }

    if (cmsIsMatrixShaper(s.profile.get()) && !HasLookupTables(s.profile.get())) {
        if (DescribesSrgb(s.profile.get())) return true;
        const auto tables = std::make_unique<MatrixShaper>();
        if (s.CaptureTables(*tables)) {
            if (path == detail::ColourPath::kPortable)
                each_row([&](uint8_t* row) { tables->PortableRow(row, view.width); });
            else
                each_row([&](uint8_t* row) { tables->VectorRow(row, view.width); });
            return true;
        }
    }
    if (!s.MakeTransform(TYPE_BGR_8, TYPE_BGR_8)) return false;
    // Everything else: lcms2 samples the whole conversion on a grid and interpolates. Each call of
    // the transform starts from its own copy of the one-pixel cache, so the row ranges may run at
    // the same time; the cache pays in burnt-out skies and flat backgrounds.
    each_row([&](uint8_t* row) {
        cmsDoTransform(s.transform.get(), row, row, static_cast<cmsUInt32Number>(view.width));
    });
    return true;
}

}  // namespace detail

bool ConvertToSrgb(cImage& picture, std::span<const uint8_t> icc, int32_t threads) {
    return detail::ConvertToSrgbOn(detail::ColourPath::kFastest, picture, icc, threads);
}

}  // namespace pictorra::image
