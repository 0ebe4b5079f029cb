// Transparency over white for whole rows of BGRA pixels.
#include "image/over_white.h"

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pictorra::image {
namespace {

// One row of BGRA pixels over white into BGR, as OverWhiteFor gives them.
void ComposeRowTable(const uint8_t* src, uint8_t* dst, int32_t width) {
    for (int32_t x = 0; x < width; ++x, src += 4, dst += 3) {
        const uint8_t* over = OverWhiteFor(src[3]);
        dst[0] = over[src[0]];
        dst[1] = over[src[1]];
        dst[2] = over[src[2]];
    }
}

#if defined(__x86_64__)
// The same four pixels at a time: t = c*a + 255*(255-a) + 127 in 16-bit lanes, and t / 255 as
// (t + 1 + (t >> 8)) >> 8, which is exact for every t below 65535 (t stays below 65153). The
// table's three look-ups a pixel take three times as long on a whole picture.
__attribute__((target("ssse3"))) void ComposeRowSsse3(const uint8_t* src, uint8_t* dst,
                                                      int32_t width) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c255 = _mm_set1_epi16(255), c127 = _mm_set1_epi16(127), one = _mm_set1_epi16(1);
    // Each half of four pixels holds two: every lane of a pixel gets that pixel's alpha.
    const __m128i alpha = _mm_setr_epi8(6, -1, 6, -1, 6, -1, 6, -1, 14, -1, 14, -1, 14, -1, 14, -1);
    const __m128i to_bgr = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int32_t x = 0;
    // Sixteen bytes are written for twelve: the four more land on the next two pixels, which are
    // written after, so the group needs two pixels behind it in the row.
    for (; x + 6 <= width; x += 4, src += 16, dst += 12) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        __m128i out[2];
        for (int half = 0; half < 2; ++half) {
            const __m128i c = half == 0 ? _mm_unpacklo_epi8(px, zero) : _mm_unpackhi_epi8(px, zero);
            const __m128i a = _mm_shuffle_epi8(c, alpha);
            __m128i t =
                _mm_add_epi16(_mm_mullo_epi16(c, a),
                              _mm_add_epi16(_mm_mullo_epi16(c255, _mm_sub_epi16(c255, a)), c127));
            t = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, one), _mm_srli_epi16(t, 8)), 8);
            out[half] = t;
        }
        const __m128i packed = _mm_shuffle_epi8(_mm_packus_epi16(out[0], out[1]), to_bgr);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), packed);
    }
    ComposeRowTable(src, dst, width - x);
}
#endif

}  // namespace

void ComposeBgraOverWhite(const uint8_t* src, uint8_t* dst, int32_t width) {
#if defined(__x86_64__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) return ComposeRowSsse3(src, dst, width);
#endif
    ComposeRowTable(src, dst, width);
}

}  // namespace pictorra::image
