#pragma once
// Decoders behind cImage::LoadPicture. Each takes the whole file in memory, treats it as hostile,
// and on success leaves `out` holding the picture (24-bit bottom-up, upright). On failure it
// returns false and leaves `out` empty. Sizes are checked against kMaxLoadPixels/kMaxLoadSide
// from the file's header before any large allocation.

#include <cstdint>
#include <span>

#include "image/c_image.h"

namespace pictorra::image {

[[nodiscard]] bool DecodeBmp(std::span<const uint8_t> data, cImage& out);
[[nodiscard]] bool DecodeJpeg(std::span<const uint8_t> data, cImage& out);
[[nodiscard]] bool DecodeGif(std::span<const uint8_t> data, cImage& out);

// True when a picture of this size may be loaded.
constexpr bool LoadableSize(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxLoadSide && height <= kMaxLoadSide &&
           width * height <= kMaxLoadPixels;
}

}  // namespace pictorra::image
