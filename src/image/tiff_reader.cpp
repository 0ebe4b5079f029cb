// TIFF decoding with libtiff, reading the file from memory; only the first directory (page).
//
// Two routes. The common layouts (8- and 16-bit unsigned grey, RGB and CMYK, with or without an
// alpha sample, interleaved or in separate planes, in strips or tiles, any compression libtiff
// decodes into plain samples) are read strip by strip or tile by tile with libtiff's encoded
// reads and converted here: 16-bit samples are rounded to 8 bits, alpha is composed over white as
// for GIF, CMYK is turned into RGB without a colour profile. Everything else (palettes, sub-byte
// grey and bilevel fax data, YCbCr and old-style JPEG, CIE L*a*b*, ...) goes through libtiff's
// RGBA interface one strip or tile row at a time, so no full-size RGBA copy of a large picture
// is made. Both routes produce the rows in stored order; the Orientation tag is applied last.
//
// libtiff never writes to stderr here (its error and warning handlers are silent) and refuses any
// single allocation above the decoder memory cap. The file's descriptive tags and its EXIF and
// GPS directories are handed over as a TIFF-layout block built with exiv2.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>
#include <vector>

#include "image/codecs.h"
#include "image/exif.h"
#include "image/over_white.h"
#include "image/owned.h"

namespace pictorra::image {
namespace {

// libtiff's largest single allocation, as the JPEG reader caps libjpeg's working memory; the
// strip or tile buffers of the largest loadable picture fit.
constexpr tmsize_t kMaxDecoderMemory = tmsize_t{1} << 30;
// A colour profile is a few kilobytes; anything this large is not one worth keeping.
constexpr uint32_t kMaxIccBytes = uint32_t{16} << 20;

struct MemoryFile {
    std::span<const uint8_t> data;
    uint64_t position = 0;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size <= 0 || file->position >= file->data.size()) return 0;
    const uint64_t count = std::min<uint64_t>(uint64_t(size), file->data.size() - file->position);
    std::memcpy(buffer, file->data.data() + file->position, size_t(count));
    file->position += count;
    return tmsize_t(count);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = file->position;
    if (whence == SEEK_END) base = file->data.size();
    // Seeking past the end is allowed (reads there find nothing); wrapping around is not.
    if (offset > UINT64_MAX - base) return toff_t(-1);
    file->position = base + offset;
    return file->position;
}

int CloseProc(thandle_t) { return 0; }

toff_t SizeProc(thandle_t handle) { return static_cast<MemoryFile*>(handle)->data.size(); }

// The file is already in memory: libtiff reads uncompressed and compressed data in place.
int MapProc(thandle_t handle, void** base, toff_t* size) {
    auto* file = static_cast<MemoryFile*>(handle);
    *base = const_cast<uint8_t*>(file->data.data());
    *size = file->data.size();
    return 1;
}

void UnmapProc(thandle_t, void*, toff_t) {}

int Silent(TIFF*, void*, const char*, const char*, va_list) { return 1; }

using TiffHandle = Owned<TIFF, TIFFClose>;

TiffHandle OpenFromMemory(MemoryFile& file) {
    const Owned<TIFFOpenOptions, TIFFOpenOptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxDecoderMemory);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Silent, nullptr);
    return TiffHandle(TIFFClientOpenExt("picture", "r", &file, ReadProc, WriteProc, SeekProc,
                                        CloseProc, SizeProc, MapProc, UnmapProc, options.get()));
}

// ---- The sample route ----------------------------------------------------------------------

enum class Colour : uint8_t { kGrey, kRgb, kCmyk };
enum class Alpha : uint8_t { kNone, kStraight, kPremultiplied };

struct Layout {
    Colour colour = Colour::kGrey;
    Alpha alpha = Alpha::kNone;
    int channels = 1;     // samples used: colour samples, then alpha
    int samples = 1;      // samples per pixel in the file
    int bytes = 1;        // per sample: 1 or 2
    bool planar = false;  // one plane per sample
    bool tiled = false;
    uint32_t block_w = 0;  // a strip is a block as wide as the picture
    uint32_t block_h = 0;
};

// The layout when the sample route reads this file; false when it is for the RGBA interface.
bool SampleLayout(TIFF* tif, uint32_t width, uint32_t height, Layout& layout) {
    uint16_t bits = 0, format = SAMPLEFORMAT_UINT, photometric = 0, compression = 0;
    uint16_t samples = 1, planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
    if ((bits != 8 && bits != 16) || format != SAMPLEFORMAT_UINT) return false;
    if (compression == COMPRESSION_OJPEG) return false;

    int colours = 0;
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK:
            layout.colour = Colour::kGrey, colours = 1;
            break;
        case PHOTOMETRIC_RGB:
            layout.colour = Colour::kRgb, colours = 3;
            break;
        case PHOTOMETRIC_SEPARATED: {
            uint16_t inks = INKSET_CMYK;
            TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inks);
            if (inks != INKSET_CMYK) return false;
            layout.colour = Colour::kCmyk, colours = 4;
            break;
        }
        default:
            return false;
    }
    if (samples < colours) return false;
    layout.channels = colours;
    uint16_t extra_count = 0;
    uint16_t* extra = nullptr;
    // Only a sample declared as alpha is alpha; an unspecified extra sample carries no meaning.
    if (samples > colours && TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extra_count, &extra) &&
        extra_count >= 1 && extra != nullptr) {
        if (extra[0] == EXTRASAMPLE_UNASSALPHA) layout.alpha = Alpha::kStraight;
        if (extra[0] == EXTRASAMPLE_ASSOCALPHA) layout.alpha = Alpha::kPremultiplied;
        if (layout.alpha != Alpha::kNone) ++layout.channels;
    }
    layout.samples = samples;
    layout.bytes = bits / 8;
    layout.planar = planar == PLANARCONFIG_SEPARATE && samples > 1;
    layout.tiled = TIFFIsTiled(tif) != 0;
    if (layout.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &layout.block_w);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &layout.block_h);
    } else {
        uint32_t rows = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        layout.block_w = width;
        layout.block_h = std::clamp<uint32_t>(rows, 1, height);
    }
    if (layout.block_w == 0 || layout.block_h == 0) return false;
    return true;
}

inline uint8_t To8(uint8_t v) { return v; }
inline uint8_t To8(uint16_t v) { return uint8_t((uint32_t{v} * 255 + 32767) / 65535); }

// Premultiplied samples are made straight first (truncating; colour above its alpha, which a
// sound file never has, is held at 255), so both kinds of alpha compose by the one formula.
inline uint32_t Straight(uint32_t c, uint32_t a) {
    return a == 0 ? 0 : std::min<uint32_t>(255, c * 255 / a);
}

inline uint8_t Ink(uint32_t c, uint32_t k) { return uint8_t(((255 - c) * (255 - k) + 127) / 255); }

// One row of 8-bit samples into blue, green, red: `stride` samples to a pixel, the colour
// samples first and the alpha sample (if any) at `alpha_at`. Made for each kind of pixel, so the
// loop decides nothing per pixel.
template <Colour colour, Alpha alpha, typename Stride, typename AlphaAt>
void ComposePixels(const uint8_t* src, Stride stride, AlphaAt alpha_at, uint32_t count,
                   uint8_t* dst) {
    for (uint32_t x = 0; x < count; ++x, src += stride, dst += 3) {
        uint32_t r = 0, g = 0, b = 0;
        if constexpr (colour == Colour::kGrey) {
            r = g = b = src[0];
        } else if constexpr (colour == Colour::kRgb) {
            r = src[0], g = src[1], b = src[2];
        } else {
            r = Ink(src[0], src[3]), g = Ink(src[1], src[3]), b = Ink(src[2], src[3]);
        }
        if constexpr (alpha != Alpha::kNone) {
            const uint32_t a = src[alpha_at];
            if constexpr (alpha == Alpha::kPremultiplied) {
                r = Straight(r, a), g = Straight(g, a), b = Straight(b, a);
            }
            const uint8_t* over = OverWhiteFor(uint8_t(a));
            r = over[r], g = over[g], b = over[b];
        }
        dst[0] = uint8_t(b), dst[1] = uint8_t(g), dst[2] = uint8_t(r);
    }
}

// Pixels without extra samples, the usual case, get a loop whose stride the compiler knows.
template <Colour colour, Alpha alpha>
void ComposeRowAs(const uint8_t* src, int stride, int alpha_at, uint32_t count, uint8_t* dst) {
    constexpr int kColours = colour == Colour::kGrey ? 1 : colour == Colour::kRgb ? 3 : 4;
    constexpr int kNatural = kColours + (alpha == Alpha::kNone ? 0 : 1);
    using Natural = std::integral_constant<int, kNatural>;
    using AlphaAt = std::integral_constant<int, kNatural - 1>;
    if (stride == kNatural) {
        ComposePixels<colour, alpha>(src, Natural{}, AlphaAt{}, count, dst);
    } else {
        ComposePixels<colour, alpha>(src, stride, alpha_at, count, dst);
    }
}

using ComposeFn = void (*)(const uint8_t*, int, int, uint32_t, uint8_t*);

template <Colour colour>
ComposeFn ComposerFor(Alpha alpha) {
    switch (alpha) {
        case Alpha::kStraight:
            return ComposeRowAs<colour, Alpha::kStraight>;
        case Alpha::kPremultiplied:
            return ComposeRowAs<colour, Alpha::kPremultiplied>;
        default:
            return ComposeRowAs<colour, Alpha::kNone>;
    }
}

ComposeFn ComposerFor(const Layout& layout) {
    switch (layout.colour) {
        case Colour::kRgb:
            return ComposerFor<Colour::kRgb>(layout.alpha);
        case Colour::kCmyk:
            return ComposerFor<Colour::kCmyk>(layout.alpha);
        default:
            return ComposerFor<Colour::kGrey>(layout.alpha);
    }
}

// The used samples of `count` pixels of one block row as 8-bit values, `channels` to a pixel.
template <typename Sample>
void GatherRow(const Layout& layout, const std::vector<const uint8_t*>& planes, size_t offset,
               uint32_t count, uint8_t* row) {
    const int n = layout.channels;
    if (layout.planar) {
        for (int c = 0; c < n; ++c) {
            const auto* src = reinterpret_cast<const Sample*>(planes[size_t(c)]) + offset;
            for (uint32_t x = 0; x < count; ++x) row[size_t(x) * n + c] = To8(src[x]);
        }
        return;
    }
    const int s = layout.samples;
    const auto* src = reinterpret_cast<const Sample*>(planes[0]) + offset * size_t(s);
    for (uint32_t x = 0; x < count; ++x, src += s, row += n) {
        for (int c = 0; c < n; ++c) row[c] = To8(src[c]);
    }
}

bool ReadSamples(TIFF* tif, const Layout& layout, cImage& out) {
    const uint32_t width = uint32_t(out.Width()), height = uint32_t(out.Height());
    const int per_block_pixel = layout.planar ? 1 : layout.samples;
    const uint64_t block_pixels = uint64_t{layout.block_w} * layout.block_h;
    const uint64_t block_bytes = block_pixels * uint64_t(per_block_pixel) * uint64_t(layout.bytes);
    // A tile far larger than the picture only costs memory; a sound file never has one.
    const uint64_t picture_pixels = uint64_t{width} * height;
    if (block_bytes > uint64_t(kMaxDecoderMemory) ||
        block_pixels > 4 * std::max<uint64_t>(picture_pixels, 1 << 16)) {
        return false;
    }
    const size_t plane_count = layout.planar ? size_t(layout.channels) : 1;
    std::vector<std::unique_ptr<uint8_t[]>> buffers;
    std::vector<const uint8_t*> planes;
    for (size_t p = 0; p < plane_count; ++p) {
        buffers.push_back(std::make_unique_for_overwrite<uint8_t[]>(size_t(block_bytes)));
        planes.push_back(buffers.back().get());
    }
    // Interleaved 8-bit samples are composed straight from the block; others are gathered into
    // one row of 8-bit samples first.
    const bool direct = layout.bytes == 1 && !layout.planar;
    const ComposeFn compose = ComposerFor(layout);
    std::vector<uint8_t> row(direct ? 0 : size_t(layout.block_w) * size_t(layout.channels));
    const PixelView view = out.View();

    for (uint32_t y0 = 0; y0 < height; y0 += layout.block_h) {
        const uint32_t rows = std::min(layout.block_h, height - y0);
        for (uint32_t x0 = 0; x0 < width; x0 += layout.block_w) {
            const uint32_t columns = std::min(layout.block_w, width - x0);
            for (size_t p = 0; p < plane_count; ++p) {
                const auto plane = uint16_t(p);
                const tmsize_t got =
                    layout.tiled ? TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, plane),
                                                       buffers[p].get(), tmsize_t(block_bytes))
                                 : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y0, plane),
                                                        buffers[p].get(), tmsize_t(block_bytes));
                // Strips hold whole rows; the last one may hold fewer than the others.
                const uint64_t needed =
                    (layout.tiled ? block_pixels : uint64_t{rows} * layout.block_w) *
                    uint64_t(per_block_pixel) * uint64_t(layout.bytes);
                if (got < 0 || uint64_t(got) < needed) return false;
            }
            for (uint32_t r = 0; r < rows; ++r) {
                const size_t offset = size_t(r) * layout.block_w;
                uint8_t* dst = view.Row(int32_t(y0 + r)) + size_t(3) * x0;
                if (direct) {
                    compose(planes[0] + offset * size_t(layout.samples), layout.samples,
                            layout.channels - 1, columns, dst);
                    continue;
                }
                if (layout.bytes == 1) {
                    GatherRow<uint8_t>(layout, planes, offset, columns, row.data());
                } else {
                    GatherRow<uint16_t>(layout, planes, offset, columns, row.data());
                }
                compose(row.data(), layout.channels, layout.channels - 1, columns, dst);
            }
        }
    }
    return true;
}

// ---- The RGBA route --------------------------------------------------------------------------

bool ReadThroughRgba(TIFF* tif, cImage& out) {
    const uint32_t width = uint32_t(out.Width()), height = uint32_t(out.Height());
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message)) return false;
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tif, /*stop_on_error=*/1, message)) return false;
    const Owned<TIFFRGBAImage, TIFFRGBAImageEnd> end(&image);
    // Stored order, first row at the top: the Orientation tag is applied afterwards for every
    // route, so the interface must not flip anything itself.
    image.orientation = ORIENTATION_TOPLEFT;
    image.req_orientation = ORIENTATION_TOPLEFT;

    // One strip or one row of tiles at a time: the interface decodes each once that way.
    uint32_t band = 0;
    if (TIFFIsTiled(tif)) {
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &band);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
    }
    band = std::clamp<uint32_t>(band, 1, height);
    if (uint64_t{width} * band * 4 > uint64_t(kMaxDecoderMemory)) return false;
    const auto raster = std::make_unique_for_overwrite<uint32_t[]>(size_t(width) * band);
    const bool alpha = image.alpha != 0;
    const PixelView view = out.View();
    for (uint32_t y0 = 0; y0 < height; y0 += band) {
        const uint32_t rows = std::min(band, height - y0);
        image.row_offset = int(y0);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, raster.get(), width, rows)) return false;
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t* src = raster.get() + size_t(r) * width;
            uint8_t* dst = view.Row(int32_t(y0 + r));
            for (uint32_t x = 0; x < width; ++x, dst += 3) {
                const uint32_t p = src[x];
                uint32_t red = TIFFGetR(p), green = TIFFGetG(p), blue = TIFFGetB(p);
                if (alpha) {
                    // The interface hands out premultiplied colour: over white is c + (255 - a).
                    const uint32_t rest = 255 - TIFFGetA(p);
                    red = std::min<uint32_t>(255, red + rest);
                    green = std::min<uint32_t>(255, green + rest);
                    blue = std::min<uint32_t>(255, blue + rest);
                }
                dst[0] = uint8_t(blue), dst[1] = uint8_t(green), dst[2] = uint8_t(red);
            }
        }
    }
    return true;
}

// ---- Metadata ----------------------------------------------------------------------------------

// A TIFF-layout block holding only the orientation, for files whose metadata exiv2 cannot read.
std::vector<uint8_t> OrientationBlock(uint16_t orientation) {
    return {'I',  'I',  42, 0, 8, 0, 0, 0,                                 // header, IFD at 8
            1,    0,                                                       // one entry
            0x12, 0x01, 3,  0, 1, 0, 0, 0, uint8_t(orientation), 0, 0, 0,  // 274 SHORT 1
            0,    0,    0,  0};                                            // no next IFD
}

// The descriptive tags of the first directory that say something about the photograph rather
// than about how its pixels are stored.
bool KeptImageTag(uint16_t tag) {
    switch (tag) {
        case 270:    // ImageDescription
        case 271:    // Make
        case 272:    // Model
        case 274:    // Orientation
        case 305:    // Software
        case 306:    // DateTime
        case 315:    // Artist
        case 33432:  // Copyright
            return true;
        default:
            return false;
    }
}

bool Kept(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    if (group == "Image") return KeptImageTag(datum.tag());
    if (group == "Photo") return datum.tag() != 0x927c;  // the maker note is the maker's own
    return group == "GPSInfo" || group == "Iop";
}

std::vector<uint8_t> DescriptiveExif(std::span<const uint8_t> data, uint16_t orientation) {
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        // Set up once here: exiv2 would otherwise do it on first use, racing other loads.
        Exiv2::XmpParser::initialize();
    });
    try {
        const auto image = Exiv2::ImageFactory::open(data.data(), long(data.size()));
        if (image.get() != nullptr) {
            image->readMetadata();
            Exiv2::ExifData& exif = image->exifData();
            for (auto it = exif.begin(); it != exif.end();) {
                it = Kept(*it) ? std::next(it) : exif.erase(it);
            }
            // The value the pixels were turned by, whatever exiv2 made of the tag.
            if (orientation != 1 || !exif.empty()) {
                exif["Exif.Image.Orientation"] = uint16_t(orientation);
            }
            if (exif.empty()) return {};
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
            if (!blob.empty()) return {blob.begin(), blob.end()};
        }
    } catch (const std::exception&) {
        // A hostile file's metadata does not cost the picture; only the orientation is kept.
    }
    if (orientation == 1) return {};
    return OrientationBlock(orientation);
}

void ReadInfo(TIFF* tif, std::span<const uint8_t> data, uint16_t orientation, PictureInfo& info) {
    uint32_t size = 0;
    const void* profile = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &profile) && profile != nullptr && size > 0 &&
        size <= kMaxIccBytes) {
        const auto* bytes = static_cast<const uint8_t*>(profile);
        info.icc.assign(bytes, bytes + size);
    }
    info.exif = DescriptiveExif(data, orientation);
}

bool DecodeTiffInto(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    MemoryFile file{data};
    const TiffHandle tif = OpenFromMemory(file);
    if (!tif) return false;
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) || !LoadableSize(width, height)) {
        return false;
    }
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    if (orientation < 1 || orientation > 8) orientation = ORIENTATION_TOPLEFT;

    Layout layout;
    const bool samples = SampleLayout(tif.get(), width, height, layout);
    if (!samples) {
        // Refused before the picture buffer is made: nothing to read with.
        char message[1024] = {};
        if (!TIFFRGBAImageOK(tif.get(), message)) return false;
    }
    if (out.CreateDIB(int32_t(width), int32_t(height)) != kDibOk) return false;
    if (!(samples ? ReadSamples(tif.get(), layout, out) : ReadThroughRgba(tif.get(), out))) {
        return false;
    }
    ApplyOrientation(out, Orientation(orientation));
    if (!out.PicValid()) return false;
    if (info) ReadInfo(tif.get(), data, orientation, *info);
    return true;
}

}  // namespace

bool DecodeTiff(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    return DecodeOrNothing(data, out, info, DecodeTiffInto);
}

}  // namespace pictorra::image
