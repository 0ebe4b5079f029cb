#pragma once
// The photo information a JPG output carries: the source's EXIF, cleaned for the new file.
//
// Kept: when the photo was taken (with sub-seconds and time-zone offsets), camera and lens,
// the exposure, artist, copyright, descriptions. Changed: the orientation is 1 (the pixels are
// already turned upright), the pixel dimensions are the output's, the colour space says sRGB
// when the source named one (the pixels are converted to sRGB on loading). Dropped: the
// embedded thumbnail, the maker notes, every tag that describes how the source's own pixels
// were stored, embedded colour profiles and foreign blocks (XMP, IPTC, image resources) kept
// inside the EXIF, and, unless everything is to be kept, the location (GPS).
//
// Pictorra writes no XMP of its own, so a location can only leave through the EXIF block made
// here.

#include <cstdint>
#include <span>
#include <vector>

#include "image/metadata_choice.h"

namespace pictorra::image {

// The largest EXIF block (TIFF layout) one JPEG APP1 segment holds: 65535 bytes less the
// segment's length field and its "Exif\0\0" prefix.
inline constexpr size_t kMaxExifBlock = 65535 - 2 - 6;

// The EXIF block, in TIFF layout and the source's byte order, to write into an output of
// width x height pixels. Empty for kNone, for a source without EXIF, and for a block that
// cannot be read (a damaged or hostile one never gets further than that). Never larger than
// kMaxExifBlock: the largest tags that matter least give way first.
std::vector<uint8_t> OutputExif(std::span<const uint8_t> source_exif, MetadataChoice choice,
                                int32_t width, int32_t height);

}  // namespace pictorra::image
