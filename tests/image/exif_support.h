#pragma once
// EXIF fixtures for the tests, made and read with exiv2 so that what the program writes is
// checked by a reader other than its own: a rich camera block, and the tags of a block or of a
// JPEG file by exiv2 key.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace pictorra::test {

// An EXIF block in TIFF layout (byte order little or big endian) as a camera writes it: dates
// with sub-seconds and offset, Make "Pictorra Test Cam", Model, LensMake, LensModel, exposure,
// Artist, Copyright, Orientation 6, a GPS position, a maker note, pixel dimensions 4000 x 3000,
// encoding tags of the source and a JPEG thumbnail in IFD1.
std::vector<uint8_t> CameraExif(bool big_endian = false);

// A little-endian block holding only the Orientation tag.
std::vector<uint8_t> OrientationExif(int orientation);

// Every tag of a TIFF-layout block, "Exif.Group.Name" to its value as text; empty when exiv2
// cannot read the block.
std::map<std::string, std::string> ExifTags(std::span<const uint8_t> tiff);

// The same for the EXIF of a JPEG file.
std::map<std::string, std::string> JpegExifTags(const std::string& path);

// True when any tag's key starts with `prefix` ("Exif.GPSInfo.").
bool AnyTag(const std::map<std::string, std::string>& tags, const std::string& prefix);

}  // namespace pictorra::test
