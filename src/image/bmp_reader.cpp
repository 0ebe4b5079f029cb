#include "image/codecs.h"

namespace pictorra::image {

bool DecodeBmp(std::span<const uint8_t>, cImage&) { return false; }

}  // namespace pictorra::image
