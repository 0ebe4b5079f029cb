#include "exif_support.h"

#include <exiv2/exiv2.hpp>

namespace pictorra::test {

std::vector<uint8_t> CameraExif(bool big_endian) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::ExifData exif;
    exif["Exif.Image.ImageWidth"] = uint32_t{4000};
    exif["Exif.Image.ImageLength"] = uint32_t{3000};
    exif["Exif.Image.Compression"] = uint16_t{6};
    exif["Exif.Image.Make"] = std::string("Pictorra Test Cam");
    exif["Exif.Image.Model"] = std::string("PTC-1");
    exif["Exif.Image.Orientation"] = uint16_t{6};
    exif["Exif.Image.DateTime"] = std::string("2024:05:06 07:08:09");
    exif["Exif.Image.Artist"] = std::string("A. Photographer");
    exif["Exif.Image.Copyright"] = std::string("(c) 2024 A. Photographer");
    exif["Exif.Image.YCbCrPositioning"] = uint16_t{2};
    exif["Exif.Photo.DateTimeOriginal"] = std::string("2024:05:06 07:08:09");
    exif["Exif.Photo.DateTimeDigitized"] = std::string("2024:05:06 07:08:09");
    exif["Exif.Photo.SubSecTimeOriginal"] = std::string("42");
    exif["Exif.Photo.OffsetTimeOriginal"] = std::string("+02:00");
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = uint16_t{200};
    exif["Exif.Photo.FocalLength"] = Exiv2::URational(35, 1);
    exif["Exif.Photo.LensMake"] = std::string("Pictorra Optics");
    exif["Exif.Photo.LensModel"] = std::string("PO 35mm f/2.8");
    exif["Exif.Photo.PixelXDimension"] = uint32_t{4000};
    exif["Exif.Photo.PixelYDimension"] = uint32_t{3000};
    exif["Exif.Photo.ColorSpace"] = uint16_t{0xFFFF};
    exif["Exif.Photo.ComponentsConfiguration"] = std::string("1 2 3 0");
    Exiv2::DataValue maker(Exiv2::undefined);
    const std::vector<Exiv2::byte> note(300, 0x5A);
    maker.read(note.data(), long(note.size()), Exiv2::invalidByteOrder);
    exif["Exif.Photo.MakerNote"] = maker;
    exif["Exif.GPSInfo.GPSVersionID"] = std::string("2 3 0 0");
    exif["Exif.GPSInfo.GPSLatitudeRef"] = std::string("N");
    exif["Exif.GPSInfo.GPSLatitude"] = std::string("48/1 51/1 2405/100");
    exif["Exif.GPSInfo.GPSLongitudeRef"] = std::string("E");
    exif["Exif.GPSInfo.GPSLongitude"] = std::string("2/1 21/1 311/100");
    // A small JPEG as the thumbnail: only its markers matter to the reader.
    const std::vector<Exiv2::byte> thumb = {0xFF, 0xD8, 0xFF, 0xDB, 0, 4, 0, 0, 0xFF, 0xD9};
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumb.data(), long(thumb.size()));
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, big_endian ? Exiv2::bigEndian : Exiv2::littleEndian, exif);
    return {blob.begin(), blob.end()};
}

std::vector<uint8_t> OrientationExif(int orientation) {
    return {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, uint8_t(orientation),
            0,   0,   0,  0, 0, 0, 0};
}

namespace {
std::map<std::string, std::string> AllTags(const Exiv2::ExifData& exif) {
    std::map<std::string, std::string> out;
    for (const auto& datum : exif) out[datum.key()] = datum.toString();
    return out;
}
}  // namespace

std::map<std::string, std::string> ExifTags(std::span<const uint8_t> tiff) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    try {
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, tiff.data(), uint32_t(tiff.size()));
        return AllTags(exif);
    } catch (const std::exception&) {
        return {};
    }
}

std::map<std::string, std::string> JpegExifTags(const std::string& path) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    try {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        return AllTags(image->exifData());
    } catch (const std::exception&) {
        return {};
    }
}

bool AnyTag(const std::map<std::string, std::string>& tags, const std::string& prefix) {
    for (const auto& [key, value] : tags)
        if (key.starts_with(prefix)) return true;
    return false;
}

}  // namespace pictorra::test
