// PLACEHOLDER: replaced by the webp decoder.
#include "image/codecs.h"

namespace pictorra::image {

bool DecodeWebp(std::span<const uint8_t>, cImage& out, PictureInfo*) {
    out.ReleaseDIB();
    return false;
}

}  // namespace pictorra::image
