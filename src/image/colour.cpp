// ConvertToSrgb: the embedded colour profile of a loaded picture applied, so that everything
// after the load works in sRGB.
//
// lcms2 reads the profile. Most photographs carry a matrix/TRC profile (sRGB, Adobe RGB,
// Display P3, ProPhoto); for those the conversion is three per-channel curves, one 3x3 matrix
// and the sRGB encoding, which this file evaluates itself: lcms2's own 8-bit transform of the
// same profile takes three to four times as long and misses the correctly rounded value by a
// level in about one channel value in a hundred. Here the result is the correctly rounded value
// of the float computation (the encoding goes through thresholds, not a rounded table), white
// and black stay exact and neutral greys stay neutral. Processors with AVX-512 take 64 pixels at
// a time through the same float operations and give the same bytes, about three times as fast.
// A profile that describes sRGB leaves the bytes untouched. Profiles built from lookup tables go
// through an lcms2 transform.
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
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "image/codecs.h"
#include "image/colour_paths.h"
#include "image/row_split.h"

namespace pictorra::image {
namespace {

// lcms2's working memory for one profile and its transform. Real profiles, even large printer
// profiles, need a few megabytes.
constexpr size_t kMaxProfileMemory = size_t{64} << 20;

// ---- lcms2 in a context with a memory cap ------------------------------------------------------

struct Budget {
    std::atomic<size_t> used{0};
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
    auto* budget = static_cast<Budget*>(cmsGetContextUserData(context));
    const BlockHeader header{size, budget ? size_t{size} : 0};
    if (budget && budget->used.fetch_add(size) + size > kMaxProfileMemory) {
        budget->used.fetch_sub(size);
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(std::malloc(kHeaderBytes + size_t{size}));
    if (!block) {
        if (budget) budget->used.fetch_sub(size);
        return nullptr;
    }
    std::memcpy(block, &header, sizeof header);
    return block + kHeaderBytes;
}

void CappedFree(cmsContext context, void* ptr) {
    if (!ptr) return;
    const BlockHeader header = HeaderOf(ptr);
    auto* budget = static_cast<Budget*>(cmsGetContextUserData(context));
    if (budget && header.counted) budget->used.fetch_sub(header.counted);
    std::free(static_cast<unsigned char*>(ptr) - kHeaderBytes);
}

void* CappedRealloc(cmsContext context, void* ptr, cmsUInt32Number size) {
    void* fresh = CappedMalloc(context, size);
    if (!fresh || !ptr) return fresh;
    std::memcpy(fresh, ptr, std::min(HeaderOf(ptr).size, size_t{size}));
    CappedFree(context, ptr);
    return fresh;
}

struct ContextFree {
    void operator()(cmsContext c) const { cmsDeleteContext(c); }
};
struct ProfileFree {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformFree {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using ContextPtr = std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextFree>;
using ProfilePtr = std::unique_ptr<void, ProfileFree>;
using TransformPtr = std::unique_ptr<void, TransformFree>;

// One conversion's lcms2 objects; members are destroyed in reverse order, the context last.
struct Session {
    Budget budget;
    cmsPluginMemHandler memory{};
    ContextPtr context;
    ProfilePtr profile;
    ProfilePtr srgb;
    TransformPtr transform;

    bool Open(std::span<const uint8_t> icc) {
        memory.base.Magic = cmsPluginMagicNumber;
        memory.base.ExpectedVersion = 2060;
        memory.base.Type = cmsPluginMemHandlerSig;
        memory.MallocPtr = CappedMalloc;
        memory.FreePtr = CappedFree;
        memory.ReallocPtr = CappedRealloc;
        context.reset(cmsCreateContext(&memory, &budget));
        if (!context) return false;
        // A profile is a few kilobytes to a few megabytes; lcms2 takes the size as 32 bits.
        if (icc.size() < 128 || icc.size() > kMaxProfileMemory) return false;
        profile.reset(cmsOpenProfileFromMemTHR(context.get(), icc.data(),
                                               static_cast<cmsUInt32Number>(icc.size())));
        return profile != nullptr;
    }
};

// ---- sRGB --------------------------------------------------------------------------------------

double SrgbDecode(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Linear light to 8-bit sRGB, correctly rounded: a table over the linear range gives the level
// at the start of the value's bucket, and one comparison with the next level's threshold
// finishes it. The buckets are narrower than the closest two thresholds (at the dark end, one
// level is 1/3294 of the range), so no bucket holds more than one; and the table stays small
// enough to live in the first-level cache beside the thresholds.
class SrgbEncoder {
public:
    static constexpr int kBuckets = 1 << 12;

    SrgbEncoder() {
        // threshold_[k]: the least linear value that encodes to level k or above.
        threshold_[0] = -1.0f;
        for (int k = 1; k < 256; ++k)
            threshold_[size_t(k)] = static_cast<float>(SrgbDecode((k - 0.5) / 255.0));
        threshold_[256] = 2.0f;  // never reached: values are clamped to 1
        int level = 0;
        for (int i = 0; i <= kBuckets; ++i) {
            const float start = static_cast<float>(i) / float(kBuckets);
            while (threshold_[size_t(level) + 1] <= start) ++level;
            bucket_[size_t(i)] = static_cast<uint8_t>(level);
        }
    }

    // The bucket of a linear value in [0, 1]; 1 itself has a bucket of its own.
    static int32_t Bucket(float linear) { return static_cast<int32_t>(linear * float(kBuckets)); }

    uint8_t Encode(float linear, int32_t bucket) const {
        const int level = bucket_[size_t(bucket)];
        return static_cast<uint8_t>(level + (linear >= threshold_[size_t(level) + 1] ? 1 : 0));
    }
    uint8_t Encode(float linear) const { return Encode(linear, Bucket(linear)); }

private:
    std::array<float, 257> threshold_{};
    std::array<uint8_t, kBuckets + 1> bucket_{};
};

const SrgbEncoder& Encoder() {
    static const SrgbEncoder encoder;
    return encoder;
}

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix Inverse(const Matrix& m, bool& ok) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    ok = std::isfinite(det) && std::abs(det) > 1e-9;
    Matrix inv{};
    if (!ok) return inv;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inv[size_t(r)][size_t(c)] = (m[size_t(r1)][size_t(c1)] * m[size_t(r2)][size_t(c2)] -
                                         m[size_t(r1)][size_t(c2)] * m[size_t(r2)][size_t(c1)]) /
                                        det;
        }
    return inv;
}

Matrix Product(const Matrix& a, const Matrix& b) {
    Matrix p{};
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c)
            for (size_t k = 0; k < 3; ++k) p[r][c] += a[r][k] * b[k][c];
    return p;
}

// The colourants of a matrix/TRC profile as columns (red, green, blue) of an XYZ matrix.
bool ReadColourants(cmsHPROFILE profile, Matrix& m) {
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

// sRGB's colourants in the profile connection space, as lcms2 builds them.
struct SrgbColourants {
    Matrix m{};
    Matrix inverse{};
    bool ok = false;
};

const SrgbColourants& Srgb() {
    static const SrgbColourants srgb = [] {
        SrgbColourants s;
        const ProfilePtr profile{cmsCreate_sRGBProfile()};
        if (profile && ReadColourants(profile.get(), s.m)) s.inverse = Inverse(s.m, s.ok);
        return s;
    }();
    return srgb;
}

// ---- the conversions ---------------------------------------------------------------------------

// A matrix/TRC profile to sRGB: linear = curve(sample); out = encode(clamp(matrix x linear)).
// The vector path does the same float operations in the same order (multiplies and adds, never
// fused), so both give the same bytes.
struct MatrixShaper {
    std::array<std::array<float, 256>, 3> linear{};  // by channel red, green, blue
    std::array<std::array<float, 3>, 3> matrix{};
    bool neutral = false;  // greys map to greys: the three curves agree and rows sum to one
    std::array<uint8_t, 256> grey{};
    // the curves' floats byte by byte (red, green, blue; byte k of each), for the vector path
    std::array<std::array<std::array<uint8_t, 256>, 4>, 3> planes{};

    static constexpr int32_t kBlock = 256;  // pixels converted together

    // out = clamp(matrix row c x in) and its encoder bucket, for n pixels. A value that is not a
    // number (a profile with absurd colourants) comes out as 0 either way.
    void Mix(size_t c, const float (*in)[kBlock], int32_t n, float* out, int32_t* bucket) const {
        const float m0 = matrix[c][0], m1 = matrix[c][1], m2 = matrix[c][2];
        int32_t i = 0;
#if defined(__SSE2__)
        // The compiler leaves this loop scalar (the clamp is a branch to it); by hand it is four
        // pixels an instruction, with the same rounding as the scalar tail.
        const __m128 v0 = _mm_set1_ps(m0), v1 = _mm_set1_ps(m1), v2 = _mm_set1_ps(m2);
        const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
        const __m128 scale = _mm_set1_ps(float(SrgbEncoder::kBuckets));
        for (; i + 4 <= n; i += 4) {
            __m128 v = _mm_add_ps(_mm_add_ps(_mm_mul_ps(v0, _mm_load_ps(in[0] + i)),
                                             _mm_mul_ps(v1, _mm_load_ps(in[1] + i))),
                                  _mm_mul_ps(v2, _mm_load_ps(in[2] + i)));
            v = _mm_min_ps(_mm_max_ps(v, zero), one);  // max(NaN, 0) is 0
            _mm_store_ps(out + i, v);
            _mm_store_si128(reinterpret_cast<__m128i*>(bucket + i),
                            _mm_cvttps_epi32(_mm_mul_ps(v, scale)));
        }
#endif
        for (; i < n; ++i) {
            float v = m0 * in[0][i] + m1 * in[1][i] + m2 * in[2][i];
            v = v > 0.0f ? v : 0.0f;
            v = v < 1.0f ? v : 1.0f;
            out[i] = v;
            bucket[i] = SrgbEncoder::Bucket(v);
        }
    }

    // Converts one row in blocks: the curves (table look-ups), then the matrix, clamp and bucket
    // over the whole block four pixels at a time, then the encoding.
    void PortableRow(uint8_t* row, int32_t width) const {
        alignas(32) float in[3][kBlock], out[3][kBlock];
        alignas(32) int32_t bucket[3][kBlock];
        const SrgbEncoder& encoder = Encoder();
        for (int32_t start = 0; start < width; start += kBlock) {
            const int32_t n = std::min(kBlock, width - start);
            uint8_t* const first = row + 3 * int64_t{start};
            for (int32_t i = 0; i < n; ++i) {
                in[0][i] = linear[0][first[3 * i + 2]];
                in[1][i] = linear[1][first[3 * i + 1]];
                in[2][i] = linear[2][first[3 * i]];
            }
            for (size_t c = 0; c < 3; ++c) Mix(c, in, n, out[c], bucket[c]);
            for (int32_t i = 0; i < n; ++i) {
                uint8_t* p = first + 3 * i;
                if (neutral && p[0] == p[1] && p[1] == p[2]) {
                    p[0] = p[1] = p[2] = grey[p[0]];
                    continue;
                }
                p[0] = encoder.Encode(out[2][i], bucket[2][i]);
                p[1] = encoder.Encode(out[1][i], bucket[1][i]);
                p[2] = encoder.Encode(out[0][i], bucket[0][i]);
            }
        }
    }

    void VectorRow(uint8_t* row, int32_t width) const;
};

#if defined(__x86_64__)
#define PICTORRA_VECTOR_COLOUR 1

#define PICTORRA_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vbmi")))
// GCC's own AVX-512 headers start unmasked operations from an undefined register, which its
// flow analysis then reports as (maybe) uninitialized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

// SrgbEncoder::Encode on sixteen values, without its table: gathers are slow, so the level is
// worked out from the sRGB formula, 255 (1.055 v^(1/2.4) - 0.055) above the linear segment, with
// v^(1/2.4) = 2^(e/2.4) m^(1/2.4) for v = 2^e m, a table of the ten powers of two that matter
// and a polynomial for the mantissa. Tried on every float from 0 to 1, that lands within 4e-5 of
// a level of the exact value, and the encoder's thresholds, being floats, sit within 1e-5 of a
// level of the true half levels. Where the value is within kUnsure of a half level (one value in
// 2500), the table-driven encoder decides, so the bytes are those of the portable path.
constexpr float kUnsure = 2e-4f;
// m^(1/2.4) for m in [1, 2) as a polynomial in t = 2m - 3 (interpolating at the Chebyshev nodes:
// 3.5e-8 relative error at most).
constexpr float kRootPoly[8] = {1.184053612e+00f,  1.644518801e-01f,  -1.598916955e-02f,
                                2.812993774e-03f,  -6.016229575e-04f, 1.435515284e-04f,
                                -4.286558066e-05f, 1.149400296e-05f};

struct RootScales {
    // 255 * 1.055 * 2^(e / 2.4) for e = -9 .. 0, by the low four bits of the biased exponent
    alignas(64) float scale[16]{};
    RootScales() {
        for (int e = -9; e <= 0; ++e)
            scale[(e + 127) & 15] = float(255 * 1.055 * std::exp2(e / 2.4));
    }
};

// The levels of sixteen values in [0, 1], and the lanes too close to a half level to trust.
PICTORRA_AVX512 inline __m512i EstimateLanes(__m512 v, const RootScales& roots, __mmask16& unsure) {
    const __m512i bits = _mm512_castps_si512(v);
    // The permute reads only the exponent's low four bits, which tell apart the ten octaves from
    // 2^-9 up; below that only the linear segment is used.
    const __m512 scale =
        _mm512_permutexvar_ps(_mm512_srli_epi32(bits, 23), _mm512_load_ps(roots.scale));
    // t = 2m - 3 from the mantissa bits under the exponent of 2
    const __m512 t = _mm512_sub_ps(
        _mm512_castsi512_ps(_mm512_ternarylogic_epi32(bits, _mm512_set1_epi32(0x007FFFFF),
                                                      _mm512_set1_epi32(0x40000000), 0xEA)),
        _mm512_set1_ps(3.0f));
    __m512 poly = _mm512_set1_ps(kRootPoly[7]);
    for (int k = 6; k >= 0; --k) poly = _mm512_fmadd_ps(poly, t, _mm512_set1_ps(kRootPoly[k]));
    __m512 exact = _mm512_fmsub_ps(scale, poly, _mm512_set1_ps(255 * 0.055f));
    exact = _mm512_mask_mul_ps(exact, _mm512_cmp_ps_mask(v, _mm512_set1_ps(0.0031308f), _CMP_LT_OQ),
                               v, _mm512_set1_ps(255 * 12.92f));
    // how far from the nearest level, and the level (rounded to nearest)
    const __m512 off =
        _mm512_abs_ps(_mm512_reduce_ps(exact, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
    unsure = _mm512_cmp_ps_mask(off, _mm512_set1_ps(0.5f - kUnsure), _CMP_GT_OQ);
    return _mm512_cvt_roundps_epi32(exact, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

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

// One byte of 64 table entries: two permutes each cover 128 entries, the index's top bit picks.
PICTORRA_AVX512 inline __m512i PlaneLookup(const uint8_t* plane, __m512i index, __mmask64 high) {
    const __m512i low =
        _mm512_permutex2var_epi8(_mm512_loadu_si512(plane), index, _mm512_loadu_si512(plane + 64));
    const __m512i up = _mm512_permutex2var_epi8(_mm512_loadu_si512(plane + 128), index,
                                                _mm512_loadu_si512(plane + 192));
    return _mm512_mask_blend_epi8(high, low, up);
}

// A curve at 64 indices: its four byte planes looked up, then interleaved into floats. The
// interleaving works within 128-bit lanes, so out[k] holds pixels 16L + 4k + 0..3 in lane L;
// PackLevels undoes that order.
PICTORRA_AVX512 inline void CurveBlock(const std::array<std::array<uint8_t, 256>, 4>& planes,
                                       __m512i index, __m512 out[4]) {
    const __mmask64 high = _mm512_movepi8_mask(index);
    __m512i p[4];
    for (size_t k = 0; k < 4; ++k) p[k] = PlaneLookup(planes[k].data(), index, high);
    const __m512i w0 = _mm512_unpacklo_epi8(p[0], p[1]), w1 = _mm512_unpackhi_epi8(p[0], p[1]);
    const __m512i w2 = _mm512_unpacklo_epi8(p[2], p[3]), w3 = _mm512_unpackhi_epi8(p[2], p[3]);
    out[0] = _mm512_castsi512_ps(_mm512_unpacklo_epi16(w0, w2));
    out[1] = _mm512_castsi512_ps(_mm512_unpackhi_epi16(w0, w2));
    out[2] = _mm512_castsi512_ps(_mm512_unpacklo_epi16(w1, w3));
    out[3] = _mm512_castsi512_ps(_mm512_unpackhi_epi16(w1, w3));
}

PICTORRA_AVX512 inline __m512i PackLevels(const __m512i level[4]) {
    return _mm512_packus_epi16(_mm512_packus_epi32(level[0], level[1]),
                               _mm512_packus_epi32(level[2], level[3]));
}

// The values EstimateLanes was unsure of, worked out again one by one as the portable path does
// and encoded by the table. Kept out of line, so that the block's registers are its own.
[[gnu::noinline, gnu::cold]] void Settle(const MatrixShaper& ms, const __mmask16 (&unsure)[3][4],
                                         const uint8_t* p, uint8_t (&level)[3][64]) {
    const SrgbEncoder& encoder = Encoder();
    for (size_t r = 0; r < 3; ++r)
        for (size_t q = 0; q < 4; ++q)
            for (unsigned lanes = unsure[r][q]; lanes; lanes &= lanes - 1) {
                const unsigned i = unsigned(__builtin_ctz(lanes));
                const size_t j = 16 * (i / 4) + 4 * q + i % 4;  // CurveBlock's order
                const uint8_t* px = p + 3 * j;
                float v = ms.matrix[r][0] * ms.linear[0][px[2]] +
                          ms.matrix[r][1] * ms.linear[1][px[1]] +
                          ms.matrix[r][2] * ms.linear[2][px[0]];
                v = v > 0.0f ? v : 0.0f;
                v = v < 1.0f ? v : 1.0f;
                level[r][j] = encoder.Encode(v);
            }
}

// 64 pixels at p with AVX-512: the channels come apart with byte permutes, the curves are read
// from byte planes by permutes (gathers cost several times as much), and the sRGB level comes
// from EstimateLanes.
PICTORRA_AVX512 void Avx512Block(const MatrixShaper& ms, const Shuffles& sh, uint8_t* p) {
    const __m512i a = _mm512_loadu_si512(p), b = _mm512_loadu_si512(p + 64);
    const __m512i c = _mm512_loadu_si512(p + 128);
    __m512i channel[3];  // blue, green, red: one byte per pixel
    for (size_t k = 0; k < 3; ++k)
        channel[k] = _mm512_mask_blend_epi8(
            sh.in_second[k], _mm512_permutex2var_epi8(a, _mm512_load_si512(sh.from_first[k]), b),
            _mm512_permutex2var_epi8(b, _mm512_load_si512(sh.from_second[k]), c));
    __m512 in[3][4];  // red, green, blue linear values
    for (size_t k = 0; k < 3; ++k) CurveBlock(ms.planes[k], channel[2 - k], in[k]);
    const __m512 zero = _mm512_setzero_ps(), one = _mm512_set1_ps(1.0f);
    static const RootScales roots;
    __m512i out[3];  // red, green, blue levels
    __mmask16 unsure[3][4];
    unsigned any_unsure = 0;
    for (size_t r = 0; r < 3; ++r) {
        const __m512 m0 = _mm512_set1_ps(ms.matrix[r][0]), m1 = _mm512_set1_ps(ms.matrix[r][1]);
        const __m512 m2 = _mm512_set1_ps(ms.matrix[r][2]);
        __m512i level[4];
        for (size_t q = 0; q < 4; ++q) {
            const __m512 v = _mm512_add_ps(
                _mm512_add_ps(_mm512_mul_ps(m0, in[0][q]), _mm512_mul_ps(m1, in[1][q])),
                _mm512_mul_ps(m2, in[2][q]));
            // max(NaN, 0) is 0
            level[q] =
                EstimateLanes(_mm512_min_ps(_mm512_max_ps(v, zero), one), roots, unsure[r][q]);
            any_unsure |= unsure[r][q];
        }
        out[r] = PackLevels(level);
    }
    // One branch for the block, rarely taken, so that the estimates overlap.
    if (any_unsure) {
        alignas(64) uint8_t level[3][64];
        for (size_t r = 0; r < 3; ++r) _mm512_store_si512(level[r], out[r]);
        Settle(ms, unsure, p, level);
        for (size_t r = 0; r < 3; ++r) out[r] = _mm512_load_si512(level[r]);
    }
    if (ms.neutral) {
        const __mmask64 grey = _mm512_cmpeq_epi8_mask(channel[0], channel[1]) &
                               _mm512_cmpeq_epi8_mask(channel[1], channel[2]);
        if (grey) {
            const __m512i to =
                PlaneLookup(ms.grey.data(), channel[1], _mm512_movepi8_mask(channel[1]));
            for (__m512i& l : out) l = _mm512_mask_mov_epi8(l, grey, to);
        }
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
PICTORRA_AVX512 void Avx512Row(const MatrixShaper& ms, uint8_t* row, int32_t width) {
    static const Shuffles shuffles;
    int32_t x = 0;
    for (; x + 64 <= width; x += 64) Avx512Block(ms, shuffles, row + 3 * int64_t{x});
    if (x < width) {
        alignas(64) uint8_t tail[192] = {};
        const size_t bytes = 3 * size_t(width - x);
        std::memcpy(tail, row + 3 * int64_t{x}, bytes);
        Avx512Block(ms, shuffles, tail);
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
    if (HasAvx512()) return Avx512Row(*this, row, width);
#endif
    PortableRow(row, width);
}

bool HasLookupTables(cmsHPROFILE profile) {
    for (cmsTagSignature tag : {cmsSigAToB0Tag, cmsSigAToB1Tag, cmsSigAToB2Tag, cmsSigDToB0Tag,
                                cmsSigDToB1Tag, cmsSigDToB2Tag})
        if (cmsIsTag(profile, tag)) return true;
    return false;
}

// Evaluates a tone curve at the 256 sample values; false when it gives no finite numbers.
bool SampleCurve(const cmsToneCurve* curve, std::array<float, 256>& out) {
    if (!curve) return false;
    for (int v = 0; v < 256; ++v) {
        const float y = cmsEvalToneCurveFloat(curve, static_cast<float>(v) / 255.0f);
        if (!std::isfinite(y)) return false;
        out[size_t(v)] = std::clamp(y, 0.0f, 1.0f);
    }
    return true;
}

enum class Plan { kFailed, kNothing, kConverted };

// Builds the matrix/TRC conversion; kNothing when the profile is sRGB.
Plan BuildMatrixShaper(cmsHPROFILE profile, MatrixShaper& ms) {
    const SrgbColourants& srgb = Srgb();
    Matrix colourants{};
    if (!srgb.ok || !ReadColourants(profile, colourants)) return Plan::kFailed;
    const cmsTagSignature trcs[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (size_t c = 0; c < 3; ++c)
        if (!SampleCurve(static_cast<const cmsToneCurve*>(cmsReadTag(profile, trcs[c])),
                         ms.linear[c]))
            return Plan::kFailed;

    // sRGB itself, as the many sRGB profiles in circulation write it: colourants equal up to the
    // rounding of the fixed-point numbers (and of the white point adaptation), curves whose
    // every level comes back as itself.
    bool same_colourants = true;
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c)
            same_colourants &= std::abs(colourants[r][c] - srgb.m[r][c]) <= 1.0 / 2048;
    bool same_curves = same_colourants;
    const SrgbEncoder& encoder = Encoder();
    for (size_t c = 0; c < 3 && same_curves; ++c)
        for (int v = 0; v < 256 && same_curves; ++v)
            same_curves = encoder.Encode(ms.linear[c][size_t(v)]) == v;
    if (same_curves) return Plan::kNothing;

    Matrix m = Product(srgb.inverse, colourants);
    // The colourants add up to the profile's white. When that is the connection space's white
    // but for rounding, make it so exactly, so that white and greys come out neutral.
    bool white_is_white = true;
    for (size_t r = 0; r < 3; ++r)
        white_is_white &= std::abs(m[r][0] + m[r][1] + m[r][2] - 1.0) <= 1.0 / 1024;
    for (size_t r = 0; r < 3; ++r) {
        const double sum = m[r][0] + m[r][1] + m[r][2];
        for (size_t c = 0; c < 3; ++c) {
            if (white_is_white) m[r][c] /= sum;
            if (!std::isfinite(m[r][c])) return Plan::kFailed;
            ms.matrix[r][c] = static_cast<float>(m[r][c]);
        }
    }
    for (size_t v = 0; v < 256; ++v) {
        ms.grey[v] = encoder.Encode(ms.linear[1][v]);
        for (size_t c = 0; c < 3; ++c) {
            uint32_t bits = 0;
            std::memcpy(&bits, &ms.linear[c][v], sizeof bits);
            for (size_t k = 0; k < 4; ++k) ms.planes[c][k][v] = uint8_t(bits >> (8 * k));
        }
    }
    // Through the matrix a grey comes out as the same grey up to the last bit of a float, which
    // decides a level only when it falls on a threshold. When no grey does that, the pixels need
    // no test for greyness.
    if (white_is_white && ms.linear[0] == ms.linear[1] && ms.linear[1] == ms.linear[2]) {
        std::array<uint8_t, 3 * 256> ramp{};
        for (size_t v = 0; v < 256; ++v)
            ramp[3 * v] = ramp[3 * v + 1] = ramp[3 * v + 2] = uint8_t(v);
        ms.PortableRow(ramp.data(), 256);
        for (size_t v = 0; v < 256; ++v)
            ms.neutral |= ramp[3 * v] != ms.grey[v] || ramp[3 * v + 1] != ms.grey[v] ||
                          ramp[3 * v + 2] != ms.grey[v];
    }
    return Plan::kConverted;
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

// A grey profile: one table from the grey level to sRGB.
Plan BuildGreyTable(Session& s, std::array<uint8_t, 256>& table) {
    const auto* trc =
        static_cast<const cmsToneCurve*>(cmsReadTag(s.profile.get(), cmsSigGrayTRCTag));
    if (trc && !HasLookupTables(s.profile.get())) {
        std::array<float, 256> linear{};
        if (!SampleCurve(trc, linear)) return Plan::kFailed;
        for (int v = 0; v < 256; ++v) table[size_t(v)] = Encoder().Encode(linear[size_t(v)]);
    } else {
        s.srgb.reset(cmsCreate_sRGBProfileTHR(s.context.get()));
        if (!s.srgb) return Plan::kFailed;
        s.transform.reset(cmsCreateTransformTHR(s.context.get(), s.profile.get(), TYPE_GRAY_8,
                                                s.srgb.get(), TYPE_RGB_8, INTENT_PERCEPTUAL,
                                                cmsFLAGS_NOCACHE));
        if (!s.transform) return Plan::kFailed;
        std::array<uint8_t, 256> in{};
        std::array<uint8_t, 3 * 256> out{};
        for (int v = 0; v < 256; ++v) in[size_t(v)] = static_cast<uint8_t>(v);
        cmsDoTransform(s.transform.get(), in.data(), out.data(), 256);
        // The green channel carries the lightness; the other two may stray by a level.
        for (size_t v = 0; v < 256; ++v) table[v] = out[3 * v + 1];
    }
    for (int v = 0; v < 256; ++v)
        if (table[size_t(v)] != v) return Plan::kConverted;
    return Plan::kNothing;
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

uint8_t EncodeSrgb(float linear) { return Encoder().Encode(linear); }

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
            std::array<uint8_t, 256> table{};
            const Plan plan = BuildGreyTable(s, table);
            if (plan != Plan::kConverted) return plan == Plan::kNothing;
            // The decoders widen grey pictures to three equal channels; a colour picture with a
            // grey profile has been mislabelled, and a guess would only make it worse.
            if (view.bits && !IsGrey(picture)) return false;
            each_row([&](uint8_t* p) {
                for (int32_t x = 0; x < view.width; ++x, p += 3) p[0] = p[1] = p[2] = table[p[0]];
            });
            return true;
        }
        default:  // CMYK and the rest: the decoders have already turned such pictures into RGB
            return false;
    }

    if (cmsIsMatrixShaper(s.profile.get()) && !HasLookupTables(s.profile.get())) {
        MatrixShaper ms;
        const Plan plan = BuildMatrixShaper(s.profile.get(), ms);
        if (plan != Plan::kConverted) return plan == Plan::kNothing;
        if (path == detail::ColourPath::kPortable)
            each_row([&](uint8_t* row) { ms.PortableRow(row, view.width); });
        else
            each_row([&](uint8_t* row) { ms.VectorRow(row, view.width); });
        return true;
    }

    s.srgb.reset(cmsCreate_sRGBProfileTHR(s.context.get()));
    if (!s.srgb) return false;
    // lcms2 samples the whole conversion on a grid and interpolates. Each call of the transform
    // starts from its own copy of the one-pixel cache, so the row ranges may run at the same
    // time; the cache pays in burnt-out skies and flat backgrounds.
    s.transform.reset(cmsCreateTransformTHR(s.context.get(), s.profile.get(), TYPE_BGR_8,
                                            s.srgb.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, 0));
    if (!s.transform) return false;
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
