#include "image/codecs.h"

namespace pictorra::image {

bool DecodeGif(std::span<const uint8_t>, cImage&) { return false; }

}  // namespace pictorra::image
