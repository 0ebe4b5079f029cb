#include "image/exif.h"

#include <cstring>

namespace pictorra::image {
namespace {

constexpr uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint16_t kOrientationTag = 0x0112;

// TIFF field types that can carry a small integer inline.
enum TiffType : uint16_t {
    kByte = 1,
    kShort = 3,
    kLong = 4,
    kSByte = 6,
    kSShort = 8,
    kSLong = 9,
};

// Reads integers from a TIFF block in its byte order; every read is checked against the block.
class TiffReader {
public:
    TiffReader(std::span<const uint8_t> tiff, bool big_endian)
        : tiff_(tiff), big_endian_(big_endian) {}

    bool Fits(uint64_t offset, uint64_t length) const {
        return offset <= tiff_.size() && length <= tiff_.size() - offset;
    }
    uint16_t U16(size_t offset) const {
        const uint8_t* p = tiff_.data() + offset;
        return big_endian_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t U32(size_t offset) const {
        const uint8_t* p = tiff_.data() + offset;
        return big_endian_
                   ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                   : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    uint8_t U8(size_t offset) const { return tiff_[offset]; }

private:
    std::span<const uint8_t> tiff_;
    bool big_endian_;
};

// The value of an IFD entry at `entry` (12 bytes: tag, type, count, value or offset) when it
// is one integer stored inline; -1 otherwise.
int64_t InlineInteger(const TiffReader& tiff, size_t entry) {
    const uint16_t type = tiff.U16(entry + 2);
    const uint32_t count = tiff.U32(entry + 4);
    const size_t value = entry + 8;
    if (count < 1) return -1;
    switch (type) {
        case kByte:
            return tiff.U8(value);
        case kSByte:
            return int8_t(tiff.U8(value));
        case kShort:
            return tiff.U16(value);
        case kSShort:
            return int16_t(tiff.U16(value));
        case kLong:
            return tiff.U32(value);
        case kSLong:
            return int32_t(tiff.U32(value));
        default:
            return -1;
    }
}

}  // namespace

bool IsExifPayload(std::span<const uint8_t> app1_payload) {
    return app1_payload.size() >= sizeof(kExifSignature) &&
           std::memcmp(app1_payload.data(), kExifSignature, sizeof(kExifSignature)) == 0;
}

Orientation ExifOrientation(std::span<const uint8_t> app1_payload) {
    if (!IsExifPayload(app1_payload)) return Orientation::kNormal;
    const std::span<const uint8_t> tiff = app1_payload.subspan(sizeof(kExifSignature));
    if (tiff.size() < 8) return Orientation::kNormal;
    bool big_endian = false;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        big_endian = true;
    } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
        return Orientation::kNormal;
    }
    const TiffReader reader(tiff, big_endian);
    if (reader.U16(2) != 42) return Orientation::kNormal;
    const uint32_t ifd0 = reader.U32(4);
    if (!reader.Fits(ifd0, 2)) return Orientation::kNormal;
    const uint16_t entries = reader.U16(ifd0);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t entry = uint64_t{ifd0} + 2 + uint64_t{i} * 12;
        if (!reader.Fits(entry, 12)) break;
        if (reader.U16(size_t(entry)) != kOrientationTag) continue;
        const int64_t value = InlineInteger(reader, size_t(entry));
        if (value >= 1 && value <= 8) return static_cast<Orientation>(value);
        return Orientation::kNormal;
    }
    return Orientation::kNormal;
}

}  // namespace pictorra::image
