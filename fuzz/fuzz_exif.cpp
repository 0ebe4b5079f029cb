// Fuzz target for OutputExif: the input is an EXIF block in TIFF layout, or a JPEG file whose
// first EXIF segment is taken (so that camera photos seed it). Every choice must give an empty
// block or one that fits a JPEG segment and starts with a TIFF header; anything else (a crash,
// a sanitizer report, a hang) is a finding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "image/exif_out.h"

namespace {

// The block of the first APP1 "Exif\0\0" segment of a JPEG file; the input itself otherwise.
std::span<const uint8_t> Block(std::span<const uint8_t> in) {
    if (in.size() < 4 || in[0] != 0xFF || in[1] != 0xD8) return in;
    size_t at = 2;
    while (at + 4 <= in.size() && in[at] == 0xFF && in[at + 1] != 0xDA) {
        const size_t length = size_t(in[at + 2]) << 8 | in[at + 3];
        if (length < 2 || at + 2 + length > in.size()) break;
        if (in[at + 1] == 0xE1 && length >= 8 && std::memcmp(&in[at + 4], "Exif\0\0", 6) == 0)
            return in.subspan(at + 10, length - 8);
        at += 2 + length;
    }
    return in;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using pictorra::image::MetadataChoice;
    const std::span<const uint8_t> block = Block({data, size});
    for (const MetadataChoice choice :
         {MetadataChoice::kKeepAll, MetadataChoice::kNoLocation, MetadataChoice::kNone}) {
        const auto out = pictorra::image::OutputExif(block, choice, 640, 480);
        if (out.empty()) continue;
        if (choice == MetadataChoice::kNone || out.size() > pictorra::image::kMaxExifBlock ||
            out.size() < 8 || (out[0] != 'I' && out[0] != 'M'))
            std::abort();
    }
    return 0;
}
