#pragma once
// Internal helper of the image engine: the one rounding every pixel value goes through.

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pictorra::image::detail {

// Nearest integer, halves to the even neighbour (the default rounding mode), for |v| < 2^31.
// The SSE2 conversion rounds by the current mode, like nearbyint, without a library call.
inline int32_t RoundHalfEven(double v) {
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(v));
#else
    return static_cast<int32_t>(std::nearbyint(v));
#endif
}

}  // namespace pictorra::image::detail
