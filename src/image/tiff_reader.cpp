// PLACEHOLDER: replaced by the tiff decoder.
#include "image/codecs.h"

namespace pictorra::image {

bool DecodeTiff(std::span<const uint8_t>, cImage& out, PictureInfo*) {
    out.ReleaseDIB();
    return false;
}

}  // namespace pictorra::image
