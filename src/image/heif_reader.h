#pragma once
// Parts of the HEIF reader that are worth checking on their own: the colour profile made from
// a file's nclx colour description, and the EXIF block taken out of a HEIF EXIF item.
#include <libheif/heif.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pictorra::image {

// An ICC profile (RGB, matrix and curves) equivalent to an nclx colour description, from its
// primaries and white point (the chromaticities libheif decodes from the code) and its
// transfer code. Empty when there is nothing to convert (sRGB or BT.709 primaries with the
// sRGB curve, or both unspecified) or when the description cannot be expressed as such a
// profile (PQ, HLG and other transfers, chromaticities out of range).
std::vector<uint8_t> ProfileFromNclx(const heif_color_profile_nclx& nclx);

// The TIFF-layout block (from "II*\0" or "MM\0*") inside a HEIF EXIF item, whose first four
// bytes give the big-endian offset of the TIFF header from the end of those four bytes. Some
// writers leave the offset 0 and put "Exif\0\0" before the header; that is skipped too. Empty
// when no TIFF header is found where the item says.
std::vector<uint8_t> TiffBlockFromExifItem(std::span<const uint8_t> item);

struct CanvasSize {
    uint32_t width = 0, height = 0;
    bool operator==(const CanvasSize&) const = default;
};

// The picture sizes declared by the grid and overlay items of a file. libheif allocates such a
// picture whole, at the size its own item data declares, before it decodes any tile, and it
// does not compare that size with the item's other size fields, so the caps must be applied to
// these sizes before decoding. Empty when the file has no such item; nullopt when one of them
// cannot be read (its data lies outside the file, or the boxes that lead to it are damaged).
std::optional<std::vector<CanvasSize>> DerivedCanvasSizes(std::span<const uint8_t> file);

}  // namespace pictorra::image
