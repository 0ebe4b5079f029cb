#pragma once
// Transparency composed over white on 8-bit values, rounded: (c*a + 255*(255-a) + 127) / 255.
// Loaders compose a whole picture's pixels this way; a table of every alpha and colour (64 KiB,
// made by the compiler) does it about twice as fast as the arithmetic.

#include <array>
#include <cstddef>
#include <cstdint>

namespace pictorra::image {

namespace detail {
constexpr std::array<uint8_t, 65536> MakeOverWhiteTable() {
    std::array<uint8_t, 65536> table{};
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t c = 0; c < 256; ++c)
            table[a * 256 + c] = uint8_t((c * a + 255 * (255 - a) + 127) / 255);
    return table;
}
inline constexpr std::array<uint8_t, 65536> kOverWhite = MakeOverWhiteTable();
}  // namespace detail

// The colours of one alpha over white, indexed by the colour.
inline const uint8_t* OverWhiteFor(uint8_t alpha) {
    return &detail::kOverWhite[size_t{alpha} << 8];
}

// A row of `width` BGRA pixels over white into `width` BGR pixels, as OverWhiteFor gives them;
// writes exactly 3 x width bytes.
void ComposeBgraOverWhite(const uint8_t* src, uint8_t* dst, int32_t width);

}  // namespace pictorra::image
