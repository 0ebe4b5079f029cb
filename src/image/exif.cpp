#include "image/exif.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "image/placement.h"
#include "image/tiff_bytes.h"

namespace pictorra::image {
namespace {

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

// The value of an IFD entry at `entry` (12 bytes: tag, type, count, value or offset) when it
// is one integer stored inline; -1 otherwise.
int64_t InlineInteger(const TiffBytes& tiff, size_t entry) {
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
    return TiffOrientation(app1_payload.subspan(sizeof(kExifSignature)));
}

Orientation TiffOrientation(std::span<const uint8_t> tiff) {
    if (tiff.size() < 8) return Orientation::kNormal;
    bool big_endian = false;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        big_endian = true;
    } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
        return Orientation::kNormal;
    }
    const TiffBytes reader(tiff, big_endian);
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

void ApplyOrientation(cImage& picture, Orientation orientation) {
    if (orientation == Orientation::kNormal || !picture.PicValid()) return;
    const auto w = uint32_t(picture.Width()), h = uint32_t(picture.Height());
    cImage turned;
    const bool swap = SwapsSides(orientation);
    if (turned.CreateDIB(int32_t(swap ? h : w), int32_t(swap ? w : h)) != kDibOk) {
        picture.ReleaseDIB();
        return;
    }
    const detail::Placement place{orientation, turned.DIBitsPtr(),
                                  size_t(turned.BytesPerScanLine()), w, h};
    // The stored rows, top down, a strip at a time, with the byte PlaceStrip may read past them.
    constexpr uint32_t kStrip = 16;
    const size_t row_bytes = size_t{3} * w;
    std::vector<uint8_t> strip(row_bytes * kStrip + 1);
    const ConstPixelView from = std::as_const(picture).View();
    for (uint32_t first = 0; first < h; first += kStrip) {
        const uint32_t count = std::min(kStrip, h - first);
        for (uint32_t j = 0; j < count; ++j)
            std::memcpy(&strip[row_bytes * j], from.Row(int32_t(first + j)), row_bytes);
        detail::PlaceStrip(place, strip.data(), row_bytes, first, count);
    }
    picture = std::move(turned);
}

}  // namespace pictorra::image
