#pragma once
// The EXIF orientation tag of a JPEG file's APP1 segment. Reading is bounds-checked against the
// segment: a damaged or hostile segment yields orientation 1 (as stored), never a read outside.

#include <cstdint>
#include <span>

#include "image/c_image.h"

namespace pictorra::image {

// How the stored picture must be turned to be seen upright (the EXIF orientation values).
enum class Orientation : uint8_t {
    kNormal = 1,  // as stored
    kMirrorHorizontal = 2,
    kRotate180 = 3,
    kMirrorVertical = 4,
    kTranspose = 5,   // mirror along the top-left to bottom-right diagonal
    kRotate90 = 6,    // turn 90 degrees clockwise to view
    kTransverse = 7,  // mirror along the top-right to bottom-left diagonal
    kRotate270 = 8,   // turn 270 degrees clockwise (90 counter-clockwise) to view
};

// True for the orientations whose upright picture has width and height swapped.
constexpr bool SwapsSides(Orientation o) { return static_cast<uint8_t>(o) >= 5; }

// What an EXIF block is preceded by in a JPEG APP1 segment (and in some other formats' chunks).
inline constexpr uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};

// True when an APP1 payload is an EXIF block (starts "Exif\0\0"); other APP1 uses (XMP) are not.
bool IsExifPayload(std::span<const uint8_t> app1_payload);

// The orientation stored in IFD0 of an APP1 payload (the bytes after the marker's length field,
// starting "Exif\0\0"). Both TIFF byte orders; kNormal when the payload is not EXIF, is damaged,
// has no orientation tag or holds a value outside 1 to 8.
Orientation ExifOrientation(std::span<const uint8_t> app1_payload);

// The same for a block in TIFF layout (from "II*\0" or "MM\0*"): the EXIF block of a PNG eXIf
// chunk, a WebP EXIF chunk or PictureInfo::exif.
Orientation TiffOrientation(std::span<const uint8_t> tiff);

// Turns a decoded picture upright: the pixel stored at (x, y) goes where a viewer honouring the
// orientation sees it. A new buffer for every orientation but kNormal; when it cannot be made
// the picture is released (the load then fails as for any picture too large for memory).
void ApplyOrientation(cImage& picture, Orientation orientation);

}  // namespace pictorra::image
