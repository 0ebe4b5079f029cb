#pragma once
// The one bridge from the engine's pictures to Qt's: a cImage (24-bit, bottom-up, bytes blue,
// green, red) as a QImage with the same bytes in top-down rows, ready to paint.

#include <QImage>

#include "image/c_image.h"

namespace pictorra::ui {

// A copy: the QImage stays valid whatever happens to the cImage afterwards. Empty for an empty
// picture.
QImage ImageOf(const image::cImage& picture);

}  // namespace pictorra::ui
