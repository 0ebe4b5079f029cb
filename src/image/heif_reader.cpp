// HEIF decoding with libheif: the primary image, with the container's own crop, rotation and
// mirroring applied by libheif (an EXIF orientation inside the file is left alone, since the
// container's transformations already describe how the picture is shown).
//
// libheif decodes whole pictures, never rows, so the sizes are judged before anything is
// decoded: the image's size against the load caps, and what libheif will hold at once (the
// coded planes and its conversion to interleaved RGB) against the same decoder memory cap as
// the JPEG reader. libheif itself refuses any item whose size property has a side above the
// load cap; the size a grid or an overlay declares in its own data is read here, because
// libheif allocates that picture whole without comparing it with anything.
//
// Samples above 8 bits are rounded to 8 bits; alpha is composed over white on the 8-bit
// values, as the GIF reader does for transparency.
#include "image/heif_reader.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "image/codecs.h"
#include "image/over_white.h"
#include "image/owned.h"

namespace pictorra::image {
namespace {

// What libheif may hold while decoding one picture, as for the JPEG reader's decoder memory.
constexpr int64_t kMaxDecoderMemory = int64_t{1} << 30;

using ContextPtr = Owned<heif_context, heif_context_free>;
using HandlePtr = Owned<heif_image_handle, heif_image_handle_release>;
using ImagePtr = Owned<heif_image, heif_image_release>;
using NclxPtr = Owned<heif_color_profile_nclx, heif_nclx_color_profile_free>;
using OptionsPtr = Owned<heif_decoding_options, heif_decoding_options_free>;
using ProfilePtr = Owned<void, cmsCloseProfile>;
using CurvePtr = Owned<cmsToneCurve, cmsFreeToneCurve>;

bool Failed(const heif_error& error) { return error.code != heif_error_Ok; }

// libheif holds the coded planes (every channel at full size at worst, 4:4:4) and two stages
// of its conversion to interleaved samples at once, all at the file's sample size.
bool WithinDecoderMemory(int64_t width, int64_t height, int depth, bool alpha) {
    const int64_t sample_bytes = depth > 8 ? 2 : 1;
    const int64_t channels = alpha ? 4 : 3;
    return width * height * sample_bytes * channels * 3 <= kMaxDecoderMemory;
}

// The tone curve of an nclx transfer code, from coded values to linear light; null when the
// transfer has no such curve here (PQ and HLG are scene- or display-referred HDR curves that a
// matrix-and-curves profile does not describe).
CurvePtr TransferCurve(int transfer) {
    switch (transfer) {
        case heif_transfer_characteristic_unspecified:
        case heif_transfer_characteristic_IEC_61966_2_1: {
            const cmsFloat64Number srgb[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
            return CurvePtr(cmsBuildParametricToneCurve(nullptr, 4, srgb));
        }
        case heif_transfer_characteristic_ITU_R_BT_709_5:
        case heif_transfer_characteristic_ITU_R_BT_601_6:
        case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
        case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit: {
            // The inverse of V = 1.099 L^0.45 - 0.099 (V = 4.5 L below L = 0.018).
            const cmsFloat64Number bt709[] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
            return CurvePtr(cmsBuildParametricToneCurve(nullptr, 4, bt709));
        }
        case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
            return CurvePtr(cmsBuildGamma(nullptr, 2.2));
        case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
            return CurvePtr(cmsBuildGamma(nullptr, 2.8));
        case heif_transfer_characteristic_linear:
            return CurvePtr(cmsBuildGamma(nullptr, 1.0));
        default:
            return nullptr;
    }
}

bool Chromaticity(float x, float y) { return x > 0 && x < 1 && y > 0 && y < 1; }

void ComposeRow(const uint8_t* in, uint8_t* out, int32_t width, bool premultiplied) {
    for (int32_t x = 0; x < width; ++x, in += 4, out += 3) {
        const unsigned a = in[3];
        const uint8_t* over = OverWhiteFor(in[3]);
        for (int c = 0; c < 3; ++c) {
            const unsigned v = in[2 - c];
            out[c] = premultiplied ? uint8_t(std::min(255u, v + 255 - a)) : over[v];
        }
    }
}

void CopyRow(const uint8_t* in, uint8_t* out, int32_t width) {
    for (int32_t x = 0; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

// Copies the decoded picture into `out`, which already has its size; `channels` is 3 or 4 and
// samples are 8-bit, or 16-bit little-endian words of `depth` bits (rounded to 8 bits here).
void StorePixels(const uint8_t* plane, int stride, int depth, int channels, bool premultiplied,
                 cImage& out) {
    const PixelView view = out.View();
    const int32_t width = view.width;
    std::vector<uint8_t> row;
    std::vector<uint8_t> to_8bit;
    if (depth > 8) {
        row.resize(size_t(width) * size_t(channels));
        const uint32_t top = (uint32_t{1} << depth) - 1;
        to_8bit.resize(size_t{1} << 16, 255);
        for (uint32_t v = 0; v <= top; ++v) to_8bit[v] = uint8_t((v * 255 + top / 2) / top);
    }
    for (int32_t y = 0; y < view.height; ++y) {
        const uint8_t* in = plane + int64_t(y) * stride;
        if (depth > 8) {
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = to_8bit[size_t(in[2 * i]) | size_t(in[2 * i + 1]) << 8];
            in = row.data();
        }
        if (channels == 4)
            ComposeRow(in, view.Row(y), width, premultiplied);
        else
            CopyRow(in, view.Row(y), width);
    }
}

void ReadExif(const heif_image_handle* handle, PictureInfo& info) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return;
    const size_t size = heif_image_handle_get_metadata_size(handle, id);
    // The file's bytes are already in memory, so the item cannot be larger than the file; a
    // size above that only means a damaged item.
    if (size == 0 || size > (size_t{1} << 30)) return;
    std::vector<uint8_t> item(size);
    if (Failed(heif_image_handle_get_metadata(handle, id, item.data()))) return;
    info.exif = TiffBlockFromExifItem(item);
}

void ReadProfile(const heif_image_handle* handle, PictureInfo& info) {
    switch (heif_image_handle_get_color_profile_type(handle)) {
        case heif_color_profile_type_prof:
        case heif_color_profile_type_rICC: {
            const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
            if (size == 0 || size > (size_t{1} << 30)) return;
            std::vector<uint8_t> icc(size);
            if (Failed(heif_image_handle_get_raw_color_profile(handle, icc.data()))) return;
            info.icc = std::move(icc);
            return;
        }
        case heif_color_profile_type_nclx: {
            heif_color_profile_nclx* raw = nullptr;
            const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &raw);
            // libheif hands out the description even when it refuses its values.
            const NclxPtr nclx(raw);
            if (!Failed(error) && nclx) info.icc = ProfileFromNclx(*nclx);
            return;
        }
        default:
            return;
    }
}

// Big-endian reading within a span; any read past the end leaves `ok` false and gives 0.
class BoxReader {
public:
    explicit BoxReader(std::span<const uint8_t> data) : data_(data) {}

    uint64_t Read(size_t bytes) {
        if (bytes > data_.size() - position_) {
            ok_ = false;
            position_ = data_.size();
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < bytes; ++i) v = v << 8 | data_[position_++];
        return v;
    }
    std::span<const uint8_t> Rest() const { return data_.subspan(position_); }
    bool ok() const { return ok_; }

private:
    std::span<const uint8_t> data_;
    size_t position_ = 0;
    bool ok_ = true;
};

constexpr uint32_t FourCc(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
           uint32_t(uint8_t(name[2])) << 8 | uint8_t(name[3]);
}

struct Box {
    uint32_t type = 0;
    std::span<const uint8_t> body;
};

// Takes the next box off the front of `rest`; false at the end or when the box runs past it.
bool NextBox(std::span<const uint8_t>& rest, Box& box) {
    BoxReader reader(rest);
    uint64_t size = reader.Read(4);
    box.type = uint32_t(reader.Read(4));
    size_t header = 8;
    if (size == 1) {
        size = reader.Read(8);
        header = 16;
    } else if (size == 0) {
        size = rest.size();
    }
    if (!reader.ok() || size < header || size > rest.size()) return false;
    box.body = rest.subspan(header, size_t(size) - header);
    rest = rest.subspan(size_t(size));
    return true;
}

// The first box of a type among the boxes of `data`.
std::optional<Box> FindBox(std::span<const uint8_t> data, uint32_t type) {
    Box box;
    while (NextBox(data, box))
        if (box.type == type) return box;
    return std::nullopt;
}

// The ids and types of the grid and overlay items, from the item information box.
std::optional<std::vector<std::pair<uint32_t, uint32_t>>> DerivedItems(
    std::span<const uint8_t> iinf) {
    BoxReader reader(iinf);
    const uint64_t version = reader.Read(4) >> 24;
    reader.Read(version == 0 ? 2 : 4);  // the entry count; the boxes themselves are walked
    if (!reader.ok()) return std::nullopt;
    std::vector<std::pair<uint32_t, uint32_t>> items;
    std::span<const uint8_t> rest = reader.Rest();
    Box infe;
    while (NextBox(rest, infe)) {
        if (infe.type != FourCc("infe")) continue;
        BoxReader entry(infe.body);
        const uint64_t infe_version = entry.Read(4) >> 24;
        if (infe_version < 2) continue;  // no item type before version 2
        const auto id = uint32_t(entry.Read(infe_version == 2 ? 2 : 4));
        entry.Read(2);  // protection index
        const auto type = uint32_t(entry.Read(4));
        if (!entry.ok()) return std::nullopt;
        if (type == FourCc("grid") || type == FourCc("iovl")) items.emplace_back(id, type);
    }
    return items;
}

// Up to `wanted` bytes of an item's data, gathered over its extents; nullopt when the item
// location box is damaged or the data is neither in the file nor in the item data box.
std::optional<std::vector<uint8_t>> ItemBytes(std::span<const uint8_t> file,
                                              std::span<const uint8_t> iloc,
                                              std::span<const uint8_t> idat, uint32_t wanted_id,
                                              size_t wanted) {
    BoxReader reader(iloc);
    const uint64_t version = reader.Read(4) >> 24;
    const uint64_t sizes = reader.Read(2);
    const size_t offset_size = (sizes >> 12) & 15, length_size = (sizes >> 8) & 15;
    const size_t base_size = (sizes >> 4) & 15, index_size = version >= 1 ? sizes & 15 : 0;
    for (size_t n : {offset_size, length_size, base_size, index_size})
        if (n != 0 && n != 4 && n != 8) return std::nullopt;
    const uint64_t count = reader.Read(version < 2 ? 2 : 4);
    for (uint64_t item = 0; item < count && reader.ok(); ++item) {
        const uint64_t id = reader.Read(version < 2 ? 2 : 4);
        const uint64_t method = version >= 1 ? reader.Read(2) & 15 : 0;
        reader.Read(2);  // data reference index
        const uint64_t base = reader.Read(base_size);
        const uint64_t extents = reader.Read(2);
        std::vector<uint8_t> bytes;
        for (uint64_t e = 0; e < extents && reader.ok(); ++e) {
            reader.Read(index_size);
            const uint64_t offset = reader.Read(offset_size);
            uint64_t length = reader.Read(length_size);
            if (id != wanted_id || bytes.size() >= wanted) continue;
            // Data in another item cannot be followed here.
            if (method > 1) return std::nullopt;
            const std::span<const uint8_t> source = method == 0 ? file : idat;
            if (base > source.size() || offset > source.size() - base) return std::nullopt;
            const size_t start = size_t(base + offset);
            if (length == 0) length = source.size() - start;  // to the end of the data
            if (length > source.size() - start) return std::nullopt;
            const size_t take = std::min(size_t(length), wanted - bytes.size());
            bytes.insert(bytes.end(), source.begin() + long(start),
                         source.begin() + long(start + take));
        }
        if (id == wanted_id) return reader.ok() ? std::optional(bytes) : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<CanvasSize>> DerivedCanvasSizes(std::span<const uint8_t> file) {
    std::vector<CanvasSize> sizes;
    const std::optional<Box> meta = FindBox(file, FourCc("meta"));
    if (!meta || meta->body.size() < 4) return sizes;  // libheif refuses such a file itself
    const std::span<const uint8_t> children = meta->body.subspan(4);
    const std::optional<Box> iinf = FindBox(children, FourCc("iinf"));
    if (!iinf) return sizes;
    const auto items = DerivedItems(iinf->body);
    if (!items) return std::nullopt;
    if (items->empty()) return sizes;
    const std::optional<Box> iloc = FindBox(children, FourCc("iloc"));
    const std::optional<Box> idat = FindBox(children, FourCc("idat"));
    if (!iloc) return std::nullopt;
    for (const auto& [id, type] : *items) {
        // grid: version, flags, rows - 1, columns - 1, width, height; overlay: version, flags,
        // four 16-bit fill values, width, height. Flag bit 0 makes the sizes 32-bit.
        const size_t skip = type == FourCc("grid") ? 4 : 10;
        const auto bytes = ItemBytes(file, iloc->body,
                                     idat ? idat->body : std::span<const uint8_t>{}, id, skip + 8);
        if (!bytes || bytes->size() < 2) return std::nullopt;
        BoxReader reader(*bytes);
        reader.Read(1);
        const size_t field = (reader.Read(1) & 1) ? 4 : 2;
        reader.Read(skip - 2);
        const auto width = uint32_t(reader.Read(field)), height = uint32_t(reader.Read(field));
        if (!reader.ok()) return std::nullopt;
        sizes.push_back({width, height});
    }
    return sizes;
}

namespace {

bool Decode(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    const ContextPtr context(heif_context_alloc());
    if (!context) return false;
    heif_context_set_maximum_image_size_limit(context.get(), kMaxLoadSide);
    if (Failed(heif_context_read_from_memory_without_copy(context.get(), data.data(), data.size(),
                                                          nullptr)))
        return false;
    heif_image_handle* raw_handle = nullptr;
    if (Failed(heif_context_get_primary_image_handle(context.get(), &raw_handle))) return false;
    const HandlePtr handle(raw_handle);

    // The shown size, and the coded size before crop and rotation, which is what gets decoded.
    const int64_t width = heif_image_handle_get_width(handle.get());
    const int64_t height = heif_image_handle_get_height(handle.get());
    const int64_t coded_width =
        std::max<int64_t>(width, heif_image_handle_get_ispe_width(handle.get()));
    const int64_t coded_height =
        std::max<int64_t>(height, heif_image_handle_get_ispe_height(handle.get()));
    const int depth = heif_image_handle_get_luma_bits_per_pixel(handle.get());
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    if (!LoadableSize(width, height) || depth < 1 || depth > 16) return false;
    if (!WithinDecoderMemory(coded_width, coded_height, depth, alpha)) return false;
    const auto canvases = DerivedCanvasSizes(data);
    if (!canvases) return false;
    for (const CanvasSize& canvas : *canvases)
        if (!LoadableSize(canvas.width, canvas.height) ||
            !WithinDecoderMemory(canvas.width, canvas.height, depth, alpha))
            return false;

    const OptionsPtr options(heif_decoding_options_alloc());
    if (!options) return false;
    options->ignore_transformations = 0;
    const heif_chroma chroma =
        depth > 8
            ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
            : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* raw_image = nullptr;
    if (Failed(heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB, chroma,
                                 options.get())))
        return false;
    const ImagePtr image(raw_image);
    if (!image) return false;

    // The decoded picture is what gets stored: a grid may decode to another size than its
    // header says, so its own size is checked again.
    const int32_t w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int32_t h = heif_image_get_height(image.get(), heif_channel_interleaved);
    const int sample_depth =
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int channels = alpha ? 4 : 3;
    const int sample_bytes = depth > 8 ? 2 : 1;
    if (!plane || !LoadableSize(w, h) || sample_depth < 1 || sample_depth > 16 ||
        (sample_depth > 8) != (depth > 8) || int64_t(stride) < int64_t(w) * channels * sample_bytes)
        return false;
    if (out.CreateDIB(w, h) != kDibOk) return false;
    StorePixels(plane, stride, depth > 8 ? sample_depth : 8, channels,
                alpha && heif_image_handle_is_premultiplied_alpha(handle.get()), out);

    if (info) {
        ReadExif(handle.get(), *info);
        ReadProfile(handle.get(), *info);
    }
    return true;
}

}  // namespace

std::vector<uint8_t> ProfileFromNclx(const heif_color_profile_nclx& nclx) {
    const int primaries = nclx.color_primaries;
    const int transfer = nclx.transfer_characteristics;
    const bool srgb_primaries = primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                                primaries == heif_color_primaries_unspecified;
    const bool srgb_transfer = transfer == heif_transfer_characteristic_IEC_61966_2_1 ||
                               transfer == heif_transfer_characteristic_unspecified;
    if (srgb_primaries && srgb_transfer) return {};
    if (!Chromaticity(nclx.color_primary_red_x, nclx.color_primary_red_y) ||
        !Chromaticity(nclx.color_primary_green_x, nclx.color_primary_green_y) ||
        !Chromaticity(nclx.color_primary_blue_x, nclx.color_primary_blue_y) ||
        !Chromaticity(nclx.color_primary_white_x, nclx.color_primary_white_y))
        return {};
    const CurvePtr curve = TransferCurve(transfer);
    if (!curve) return {};
    const cmsCIExyY white{nclx.color_primary_white_x, nclx.color_primary_white_y, 1.0};
    const cmsCIExyYTRIPLE colorants{{nclx.color_primary_red_x, nclx.color_primary_red_y, 1.0},
                                    {nclx.color_primary_green_x, nclx.color_primary_green_y, 1.0},
                                    {nclx.color_primary_blue_x, nclx.color_primary_blue_y, 1.0}};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    const ProfilePtr profile(cmsCreateRGBProfile(&white, &colorants, curves));
    if (!profile) return {};
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0) return {};
    std::vector<uint8_t> icc(size);
    if (!cmsSaveProfileToMem(profile.get(), icc.data(), &size)) return {};
    icc.resize(size);
    return icc;
}

std::vector<uint8_t> TiffBlockFromExifItem(std::span<const uint8_t> item) {
    constexpr std::array<uint8_t, 4> kIntel{'I', 'I', 42, 0}, kMotorola{'M', 'M', 0, 42};
    constexpr std::array<uint8_t, 6> kPrefix{'E', 'x', 'i', 'f', 0, 0};
    const auto starts_with = [](std::span<const uint8_t> bytes, std::span<const uint8_t> head) {
        return bytes.size() >= head.size() && std::equal(head.begin(), head.end(), bytes.begin());
    };
    if (item.size() < 4) return {};
    const uint64_t offset =
        uint64_t{item[0]} << 24 | uint64_t{item[1]} << 16 | uint64_t{item[2]} << 8 | item[3];
    if (offset > item.size() - 4) return {};
    std::span<const uint8_t> rest = item.subspan(4 + size_t(offset));
    if (starts_with(rest, kPrefix)) rest = rest.subspan(kPrefix.size());
    if (!starts_with(rest, kIntel) && !starts_with(rest, kMotorola)) return {};
    return {rest.begin(), rest.end()};
}

bool DecodeHeif(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    return DecodeOrNothing(data, out, info, Decode);
}

}  // namespace pictorra::image
