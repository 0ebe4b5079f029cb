// Fuzz target for the colour conversion: the input is the colour profile, applied to a small
// picture holding every corner of the colour cube and some greys. The conversion must either
// succeed or leave every byte as it was; a crash, a sanitizer report or a hang is a finding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "image/c_image.h"
#include "image/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pictorra::image::cImage img;
    if (img.CreateDIB(7, 5) != 0) return 0;
    const auto view = img.View();
    for (int32_t row = 0; row < view.height; ++row)
        for (int32_t x = 0; x < 3 * view.width; ++x)
            view.DibRow(row)[x] = uint8_t((row * 3 * view.width + x) * 37);
    const std::vector<uint8_t> before(img.DIBitsPtr(), img.DIBitsPtr() + img.PicSize());
    if (!pictorra::image::ConvertToSrgb(img, std::span<const uint8_t>(data, size), 1) &&
        std::memcmp(before.data(), img.DIBitsPtr(), before.size()) != 0)
        std::abort();
    return 0;
}
