#pragma once
// Decoders behind cImage::LoadPicture. Each takes the whole file in memory, treats it as hostile,
// and on success leaves `out` holding the picture (24-bit bottom-up, upright). On failure it
// returns false and leaves `out` empty. Sizes are checked against kMaxLoadPixels/kMaxLoadSide
// from the file's header before any large allocation. The pixels are the file's own samples:
// no colour conversion happens here. `info`, when given, receives the embedded colour profile
// and EXIF block; the caller clears it before the call.

#include <cstdint>
#include <new>
#include <span>
#include <vector>

#include "image/c_image.h"

namespace pictorra::image {

[[nodiscard]] bool DecodeBmp(std::span<const uint8_t> data, cImage& out);
[[nodiscard]] bool DecodeJpeg(std::span<const uint8_t> data, cImage& out,
                              PictureInfo* info = nullptr);
[[nodiscard]] bool DecodeGif(std::span<const uint8_t> data, cImage& out);
[[nodiscard]] bool DecodePng(std::span<const uint8_t> data, cImage& out,
                             PictureInfo* info = nullptr);
[[nodiscard]] bool DecodeWebp(std::span<const uint8_t> data, cImage& out,
                              PictureInfo* info = nullptr);
[[nodiscard]] bool DecodeTiff(std::span<const uint8_t> data, cImage& out,
                              PictureInfo* info = nullptr);
[[nodiscard]] bool DecodeHeif(std::span<const uint8_t> data, cImage& out,
                              PictureInfo* info = nullptr);

// Turns a picture in the colour space of an ICC profile into sRGB (perceptual intent). Does
// nothing and returns true when the profile is sRGB itself; returns false, leaving the picture
// as it is, when the profile cannot be used for RGB pictures.
bool ConvertToSrgb(cImage& picture, std::span<const uint8_t> icc, int32_t threads = kAllCores);

// Runs one decode so that every way it can fail ends the same: false, `out` empty and `info`
// cleared. Running out of memory in a library's C++ layer or in our own buffers is a failure of
// this file, not of the program.
template <class Decode>
bool DecodeOrNothing(std::span<const uint8_t> data, cImage& out, PictureInfo* info,
                     Decode&& decode) {
    bool ok = false;
    try {
        ok = !data.empty() && decode(data, out, info);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        out.ReleaseDIB();
        if (info) *info = {};
    }
    return ok;
}

// True when a picture of this size may be loaded.
constexpr bool LoadableSize(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxLoadSide && height <= kMaxLoadSide &&
           width * height <= kMaxLoadPixels;
}

}  // namespace pictorra::image
