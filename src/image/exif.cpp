#include "image/exif.h"

#include <cstring>
#include <utility>

#include "image/tiff_bytes.h"

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

}  // namespace pictorra::image

namespace pictorra::image {

void ApplyOrientation(cImage& picture, Orientation orientation) {
    if (orientation == Orientation::kNormal || !picture.PicValid()) return;
    const int32_t w = picture.Width(), h = picture.Height();
    const bool swap = SwapsSides(orientation);
    cImage turned;
    if (turned.CreateDIB(swap ? h : w, swap ? w : h) != kDibOk) {
        picture.ReleaseDIB();
        return;
    }
    const ConstPixelView from = std::as_const(picture).View();
    const PixelView to = turned.View();
    // Walks the stored picture in top-down coordinates (x, y) and puts each pixel where the
    // orientation says the viewer sees it.
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = from.Row(y);
        for (int32_t x = 0; x < w; ++x) {
            int32_t u = x, v = y;  // where (x, y) lands, top-down in the upright picture
            switch (orientation) {
                case Orientation::kNormal:
                    break;
                case Orientation::kMirrorHorizontal:
                    u = w - 1 - x;
                    break;
                case Orientation::kRotate180:
                    u = w - 1 - x;
                    v = h - 1 - y;
                    break;
                case Orientation::kMirrorVertical:
                    v = h - 1 - y;
                    break;
                case Orientation::kTranspose:
                    u = y;
                    v = x;
                    break;
                case Orientation::kRotate90:
                    u = h - 1 - y;
                    v = x;
                    break;
                case Orientation::kTransverse:
                    u = h - 1 - y;
                    v = w - 1 - x;
                    break;
                case Orientation::kRotate270:
                    u = y;
                    v = w - 1 - x;
                    break;
            }
            std::memcpy(to.Row(v) + 3 * size_t(u), src + 3 * size_t(x), 3);
        }
    }
    picture = std::move(turned);
}

}  // namespace pictorra::image
