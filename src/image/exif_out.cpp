// OutputExif through exiv2: the block is read into exiv2's tag list, cleaned there, and written
// back as a new block. exiv2 reports problems by exceptions and by log messages; both stay in
// here. Each call works on its own tag list; exiv2's tag tables are only read, so pictures may
// be worked on in parallel.
#include "image/exif_out.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <exiv2/exiv2.hpp>
#include <mutex>
#include <string>

namespace pictorra::image {
namespace {

// Tags of the first image directory that describe how the source's own pixels were stored or
// coloured; in a new sRGB JPEG they would be wrong. The foreign blocks (XMP packet, IPTC,
// image resources, colour profile) go too: the location the user wants left out could ride in
// them, and they describe the source file, not the output.
constexpr uint16_t kSourceEncodingTags[] = {
    0x00fe,  // NewSubfileType
    0x00ff,  // SubfileType
    0x0100,  // ImageWidth
    0x0101,  // ImageLength
    0x0102,  // BitsPerSample
    0x0103,  // Compression
    0x0106,  // PhotometricInterpretation
    0x0107,  // Thresholding
    0x0108,  // CellWidth
    0x0109,  // CellLength
    0x010a,  // FillOrder
    0x0111,  // StripOffsets
    0x0115,  // SamplesPerPixel
    0x0116,  // RowsPerStrip
    0x0117,  // StripByteCounts
    0x0118,  // MinSampleValue
    0x0119,  // MaxSampleValue
    0x011c,  // PlanarConfiguration
    0x0122,  // GrayResponseUnit
    0x0123,  // GrayResponseCurve
    0x0124,  // T4Options
    0x0125,  // T6Options
    0x012d,  // TransferFunction
    0x013d,  // Predictor
    0x013e,  // WhitePoint
    0x013f,  // PrimaryChromaticities
    0x0140,  // ColorMap
    0x0141,  // HalftoneHints
    0x0142,  // TileWidth
    0x0143,  // TileLength
    0x0144,  // TileOffsets
    0x0145,  // TileByteCounts
    0x014a,  // SubIFDs
    0x014c,  // InkSet
    0x0152,  // ExtraSamples
    0x0153,  // SampleFormat
    0x0154,  // SMinSampleValue
    0x0155,  // SMaxSampleValue
    0x015b,  // JPEGTables
    0x0200,  // JPEGProc
    0x0201,  // JPEGInterchangeFormat
    0x0202,  // JPEGInterchangeFormatLength
    0x0203,  // JPEGRestartInterval
    0x0205,  // JPEGLosslessPredictors
    0x0206,  // JPEGPointTransforms
    0x0207,  // JPEGQTables
    0x0208,  // JPEGDCTables
    0x0209,  // JPEGACTables
    0x0211,  // YCbCrCoefficients
    0x0212,  // YCbCrSubSampling
    0x0213,  // YCbCrPositioning
    0x0214,  // ReferenceBlackWhite
    0x02bc,  // XMLPacket (XMP)
    0x83bb,  // IPTCNAA
    0x8649,  // ImageResources
    0x8773,  // InterColorProfile
};

// The same for the EXIF directory: the maker notes, what the source's compression was, and the
// pointer to the interoperability directory (which is not carried over).
constexpr uint16_t kSourcePhotoTags[] = {
    0x9101,  // ComponentsConfiguration
    0x9102,  // CompressedBitsPerPixel
    0x927c,  // MakerNote
    0xa005,  // InteroperabilityTag
    0xa500,  // Gamma
};

constexpr uint16_t kGpsPointerTag = 0x8825;  // the first directory's pointer to the GPS one

bool Listed(std::span<const uint16_t> tags, uint16_t tag) {
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

// True for a tag the output keeps. Only the first image directory, the EXIF directory and (when
// wanted) the GPS directory are carried over: the thumbnail's directory, the maker-note groups,
// further image directories and the interoperability directory never are.
bool Carried(const Exiv2::Exifdatum& datum, bool keep_location) {
    const std::string group = datum.groupName();
    if (group == "Image") {
        if (datum.tag() == kGpsPointerTag) return keep_location;
        return !Listed(kSourceEncodingTags, datum.tag());
    }
    if (group == "Photo") return !Listed(kSourcePhotoTags, datum.tag());
    if (group == "GPSInfo") return keep_location;
    return false;
}

// What says when, with what and how the photo was taken: it stays even when the block must be
// made smaller.
bool Essential(const Exiv2::Exifdatum& datum) {
    static constexpr uint16_t kImage[] = {0x010f, 0x0110, 0x0112, 0x0132, 0x013b, 0x8298};
    static constexpr uint16_t kPhoto[] = {0x829a, 0x829d, 0x8822, 0x8827, 0x9003, 0x9004,
                                          0x9010, 0x9011, 0x9012, 0x9290, 0x9291, 0x9292,
                                          0x920a, 0xa002, 0xa003, 0xa433, 0xa434};
    const std::string group = datum.groupName();
    if (group == "Image") return Listed(kImage, datum.tag());
    if (group == "Photo") return Listed(kPhoto, datum.tag());
    return false;
}

bool IsTiffHeader(std::span<const uint8_t> block) {
    static constexpr uint8_t kIntel[4] = {'I', 'I', 42, 0};
    static constexpr uint8_t kMotorola[4] = {'M', 'M', 0, 42};
    return block.size() >= 8 && (std::memcmp(block.data(), kIntel, 4) == 0 ||
                                 std::memcmp(block.data(), kMotorola, 4) == 0);
}

void MuteLibraryMessages() {
    static std::once_flag once;
    std::call_once(once, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

std::vector<uint8_t> Clean(std::span<const uint8_t> source, MetadataChoice choice, int32_t width,
                           int32_t height) {
    Exiv2::ExifData tags;
    Exiv2::ByteOrder order =
        Exiv2::ExifParser::decode(tags, source.data(), static_cast<uint32_t>(source.size()));
    if (order == Exiv2::invalidByteOrder) order = Exiv2::littleEndian;

    const bool keep_location = choice == MetadataChoice::kKeepAll;
    for (auto it = tags.begin(); it != tags.end();) {
        if (Carried(*it, keep_location))
            ++it;
        else
            it = tags.erase(it);
    }
    if (tags.empty()) return {};

    tags["Exif.Image.Orientation"] = uint16_t{1};
    tags["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(width);
    tags["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(height);
    if (auto space = tags.findKey(Exiv2::ExifKey("Exif.Photo.ColorSpace")); space != tags.end())
        *space = uint16_t{1};  // sRGB

    Exiv2::Blob block;
    Exiv2::ExifParser::encode(block, order, tags);
    // Too large for the segment: the largest tag that is not essential goes, until it fits or
    // only essential tags are left (then the output carries no information rather than a
    // broken segment).
    while (block.size() > kMaxExifBlock) {
        auto largest = tags.end();
        for (auto it = tags.begin(); it != tags.end(); ++it) {
            if (!Essential(*it) && (largest == tags.end() || it->size() > largest->size()))
                largest = it;
        }
        if (largest == tags.end()) return {};
        tags.erase(largest);
        block.clear();
        Exiv2::ExifParser::encode(block, order, tags);
    }
    if (!IsTiffHeader(block)) return {};
    return {block.begin(), block.end()};
}

}  // namespace

std::vector<uint8_t> OutputExif(std::span<const uint8_t> source_exif, MetadataChoice choice,
                                int32_t width, int32_t height) {
    if (choice == MetadataChoice::kNone || width < 1 || height < 1 || !IsTiffHeader(source_exif) ||
        source_exif.size() > UINT32_MAX)
        return {};
    MuteLibraryMessages();
    try {
        return Clean(source_exif, choice, width, height);
    } catch (const std::exception&) {
        return {};  // exiv2's errors, and memory running out while a tag list is built
    }
}

}  // namespace pictorra::image
