#pragma once
// Internal to the image engine: the colour conversion's code paths, so that the tests can hold
// the vector path to the bytes of the portable one.

#include <cstdint>
#include <span>

#include "image/c_image.h"

namespace pictorra::image::detail {

enum class ColourPath {
    kFastest,   // the vector path when this processor has it
    kPortable,  // what every x86-64 (and any other) processor runs
};

// Whether this processor runs a vector path at all.
bool HasVectorColour();

// ConvertToSrgb on the chosen path; the bytes are the same on either.
bool ConvertToSrgbOn(ColourPath path, cImage& picture, std::span<const uint8_t> icc,
                     int32_t threads);

}  // namespace pictorra::image::detail
