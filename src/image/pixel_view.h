#pragma once
// Non-owning views over 24-bit bottom-up pixel memory. A view never frees the memory it shows.
//
// Rows are addressed two ways, and the names say which:
//   dib_row  memory row counted from the bottom of the picture (0 = bottom row);
//   y        device row counted from the top (0 = top row), as drawing uses.

#include <cstdint>

namespace pictorra::image {

template <typename Byte>
struct BasicPixelView {
    Byte* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;

    bool empty() const { return bits == nullptr || width <= 0 || height <= 0; }
    int32_t DibRowOf(int32_t y) const { return height - 1 - y; }
    Byte* DibRow(int32_t dib_row) const { return bits + static_cast<int64_t>(dib_row) * stride; }
    Byte* Row(int32_t y) const { return DibRow(DibRowOf(y)); }
};

using PixelView = BasicPixelView<uint8_t>;
using ConstPixelView = BasicPixelView<const uint8_t>;

}  // namespace pictorra::image
