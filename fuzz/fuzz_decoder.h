#pragma once
// One libFuzzer entry point per decoder: each fuzz_*.cpp defines FUZZ_EXTENSION and includes
// this file. The decoder must return 0 or 1 and leave a consistent buffer; anything else
// (a crash, a sanitizer report, a hang) is a finding.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "image/c_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pictorra::image::cImage img;
    const int32_t code = img.LoadPictureData(std::span<const uint8_t>(data, size), FUZZ_EXTENSION);
    if (code != 0 && code != 1) std::abort();
    if ((code == 0) != img.PicValid()) std::abort();
    if (img.PicValid()) {
        // Touch the whole picture so that an uninitialised or short buffer shows up.
        const auto view = img.View();
        volatile uint8_t sink = 0;
        for (int32_t row = 0; row < view.height; ++row)
            sink = sink ^ view.DibRow(row)[0] ^ view.DibRow(row)[3 * view.width - 1];
    }
    return 0;
}
