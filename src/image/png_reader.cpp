// PLACEHOLDER: replaced by the png decoder.
#include "image/codecs.h"

namespace pictorra::image {

bool DecodePng(std::span<const uint8_t>, cImage& out, PictureInfo*) {
    out.ReleaseDIB();
    return false;
}

}  // namespace pictorra::image
