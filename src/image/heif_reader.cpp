// PLACEHOLDER: replaced by the heif decoder.
#include "image/codecs.h"

namespace pictorra::image {

bool DecodeHeif(std::span<const uint8_t>, cImage& out, PictureInfo*) {
    out.ReleaseDIB();
    return false;
}

}  // namespace pictorra::image
