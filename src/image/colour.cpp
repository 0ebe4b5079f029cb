// PLACEHOLDER: replaced by the colour conversion.
#include "image/codecs.h"

namespace pictorra::image {

bool ConvertToSrgb(cImage&, std::span<const uint8_t>, int32_t) { return false; }

}  // namespace pictorra::image
