#include "ui/image_adapter.h"

#include <cstring>

namespace pictorra::ui {

QImage ImageOf(const image::cImage& picture) {
    if (!picture.PicValid()) return {};
    const image::ConstPixelView view = picture.View();
    QImage out(view.width, view.height, QImage::Format_BGR888);
    if (out.isNull()) return {};
    const auto row_bytes = static_cast<size_t>(view.width) * 3;
    for (int32_t y = 0; y < view.height; ++y) std::memcpy(out.scanLine(y), view.Row(y), row_bytes);
    return out;
}

}  // namespace pictorra::ui
