#include "codec_fixtures.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace pictorra::test {
namespace {

void Append(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) {
    for (const uint8_t b : bytes) out.push_back(b);
}

}  // namespace

RgbPicture MakeRgb(int w, int h, const std::function<Rgb(int, int)>& fn) {
    RgbPicture pic{w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 3)};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb c = fn(x, y);
            uint8_t* p = &pic.rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
            p[0] = c.r, p[1] = c.g, p[2] = c.b;
        }
    }
    return pic;
}

std::vector<uint8_t> EncodeJpeg(const RgbPicture& picture, const JpegOptions& options) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(picture.width);
    c.image_height = JDIMENSION(picture.height);
    const bool grey = options.colour == JpegColour::kGrey;
    const bool cmyk = options.colour == JpegColour::kCmyk || options.colour == JpegColour::kYcck;
    c.input_components = grey ? 1 : cmyk ? 4 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    if (options.colour == JpegColour::kYcck) jpeg_set_colorspace(&c, JCS_YCCK);
    jpeg_set_quality(&c, options.quality, TRUE);
    if (!cmyk) {
        c.comp_info[0].h_samp_factor = grey ? 1 : options.luma_h;
        c.comp_info[0].v_samp_factor = grey ? 1 : options.luma_v;
    }
    if (options.progressive) jpeg_simple_progression(&c);
    std::vector<jpeg_scan_info> scans;
    if (options.scans_per_coefficient > 0) {
        scans.push_back({1, {0}, 0, 0, 0, 0});
        const bool refine = options.scans_per_coefficient > 1;
        for (int k = 1; k < 64; ++k) scans.push_back({1, {0}, k, k, 0, refine ? 1 : 0});
        for (int k = 1; refine && k < 64; ++k) scans.push_back({1, {0}, k, k, 1, 0});
        c.scan_info = scans.data();
        c.num_scans = int(scans.size());
    }
    c.restart_interval = unsigned(options.restart_interval);
    jpeg_start_compress(&c, TRUE);
    if (!options.app1.empty()) {
        jpeg_write_marker(&c, JPEG_APP0 + 1, options.app1.data(), unsigned(options.app1.size()));
    }
    std::vector<uint8_t> row(size_t(picture.width) * 4);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Rgb p = picture.At(x, y);
            if (grey) {
                row[size_t(x)] = uint8_t((p.r * 299 + p.g * 587 + p.b * 114) / 1000);
            } else if (cmyk) {
                // Inverted K is the largest channel; inverted C, M, Y scale it back to R, G, B.
                const int k = std::max({p.r, p.g, p.b});
                auto scaled = [k](int v) { return uint8_t(k == 0 ? 0 : (v * 255 + k / 2) / k); };
                uint8_t* q = &row[size_t(x) * 4];
                q[0] = scaled(p.r), q[1] = scaled(p.g), q[2] = scaled(p.b), q[3] = uint8_t(k);
            } else {
                std::memcpy(&row[size_t(x) * 3], &picture.rgb[(size_t(y) * picture.width + x) * 3],
                            3);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

RgbPicture ReferenceDecodeJpeg(const std::vector<uint8_t>& file) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    const bool cmyk = d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK;
    d.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&d);
    RgbPicture pic{int(d.output_width), int(d.output_height), {}};
    pic.rgb.resize(size_t(pic.width) * pic.height * 3);
    std::vector<uint8_t> row(size_t(pic.width) * 4);
    while (d.output_scanline < d.output_height) {
        uint8_t* dst = &pic.rgb[size_t(d.output_scanline) * pic.width * 3];
        JSAMPROW rows[1] = {cmyk ? row.data() : dst};
        jpeg_read_scanlines(&d, rows, 1);
        for (int x = 0; cmyk && x < pic.width; ++x) {
            const uint8_t* s = &row[size_t(x) * 4];
            for (int ch = 0; ch < 3; ++ch)
                dst[x * 3 + ch] = uint8_t(std::lrint(s[ch] * s[3] / 255.0));
        }
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return pic;
}

std::vector<uint8_t> ExifWithOrientation(int orientation, bool big_endian) {
    std::vector<uint8_t> out;
    Append(out, {'E', 'x', 'i', 'f', 0, 0, uint8_t(big_endian ? 'M' : 'I'),
                 uint8_t(big_endian ? 'M' : 'I')});
    auto put16 = [&](unsigned v) {
        const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        out.push_back(b[big_endian ? 1 : 0]);
        out.push_back(b[big_endian ? 0 : 1]);
    };
    auto put32 = [&](uint32_t v) {
        if (big_endian) put16(v >> 16), put16(v & 0xFFFF);
        if (!big_endian) put16(v & 0xFFFF), put16(v >> 16);
    };
    put16(42);
    put32(8);  // IFD0 right after the header
    put16(3);  // entries, sorted by tag
    put16(0x010F), put16(2), put32(4), Append(out, {'C', 'a', 'm', 0});         // Make
    put16(0x0112), put16(3), put32(1), put16(unsigned(orientation)), put16(0);  // Orientation
    put16(0x011A), put16(5), put32(1), put32(8 + 2 + 3 * 12 + 4);               // XResolution
    put32(0);                                                                   // no IFD1
    put32(72), put32(1);
    return out;
}

int MaxDifference(const RgbPicture& a, const RgbPicture& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    int worst = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        worst = std::max(worst, std::abs(a.rgb[i] - b.rgb[i]));
    return worst;
}

double MeanDifference(const RgbPicture& a, const RgbPicture& b) {
    if (a.width != b.width || a.height != b.height) return HUGE_VAL;
    double total = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) total += std::abs(a.rgb[i] - b.rgb[i]);
    return a.rgb.empty() ? 0 : total / double(a.rgb.size());
}

RgbPicture ToRgb(const image::cImage& img) {
    return MakeRgb(img.Width(), img.Height(), [&](int x, int y) { return PixelAt(img, x, y); });
}

namespace {

std::vector<int> StoredRows(const GifImage& image) {
    std::vector<int> rows;
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (image.interlaced ? 4 : 1); ++pass) {
        const int start = image.interlaced ? starts[pass] : 0;
        const int step = image.interlaced ? steps[pass] : 1;
        for (int y = start; y < image.height; y += step) rows.push_back(y);
    }
    return rows;
}

int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

ColorMapObject* MakeMap(const std::vector<Rgb>& palette) {
    if (palette.empty()) return nullptr;
    std::vector<GifColorType> colours;
    for (const Rgb& c : palette) colours.push_back({c.r, c.g, c.b});
    return GifMakeMapObject(int(colours.size()), colours.data());
}

// Bits of a colour table holding `count` entries.
int TableBits(size_t count) {
    int bits = 1;
    while ((size_t{1} << bits) < count) ++bits;
    return bits;
}

void PutTable(std::vector<uint8_t>& out, const std::vector<Rgb>& palette) {
    for (size_t i = 0; i < (size_t{1} << TableBits(palette.size())); ++i) {
        const Rgb c = i < palette.size() ? palette[i] : Rgb{};
        Append(out, {c.r, c.g, c.b});
    }
}

}  // namespace

std::vector<uint8_t> EncodeGif(int screen_w, int screen_h, const std::vector<Rgb>& global_palette,
                               const std::vector<GifImage>& images) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = MakeMap(global_palette);
    bool ok = EGifPutScreenDesc(gif, screen_w, screen_h, 8, 0, global) == GIF_OK;
    for (const GifImage& image : images) {
        if (image.transparent >= 0) {
            GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, image.transparent};
            GifByteType extension[4];
            const size_t length = EGifGCBToExtension(&control, extension);
            ok &= EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK;
        }
        ColorMapObject* local = MakeMap(image.palette);
        ok &= EGifPutImageDesc(gif, image.left, image.top, image.width, image.height,
                               image.interlaced, local) == GIF_OK;
        GifFreeMapObject(local);
        std::vector<GifPixelType> line(size_t(image.width));
        for (const int y : StoredRows(image)) {
            std::memcpy(line.data(), &image.pixels[size_t(y) * image.width], line.size());
            ok &= EGifPutLine(gif, line.data(), image.width) == GIF_OK;
        }
    }
    ok &= EGifCloseFile(gif, &error) == GIF_OK;
    GifFreeMapObject(global);
    if (!ok) ADD_FAILURE() << "giflib could not encode the fixture";
    return out;
}

std::vector<uint8_t> EncodeGifRaw(int screen_w, int screen_h,
                                  const std::vector<Rgb>& global_palette, const GifImage& image,
                                  int code_size) {
    std::vector<uint8_t> out;
    Append(out, {'G', 'I', 'F', '8', '9', 'a'});
    auto put16 = [&](int v) { Append(out, {uint8_t(v), uint8_t(v >> 8)}); };
    put16(screen_w), put16(screen_h);
    const bool global = !global_palette.empty();
    Append(out, {uint8_t(global ? 0xF0 | (TableBits(global_palette.size()) - 1) : 0x70), 0, 0});
    if (global) PutTable(out, global_palette);
    if (image.transparent >= 0) {
        Append(out, {0x21, 0xF9, 4, 1, 0, 0, uint8_t(image.transparent), 0});
    }
    out.push_back(0x2C);
    put16(image.left), put16(image.top), put16(image.width), put16(image.height);
    const bool local = !image.palette.empty();
    out.push_back(uint8_t((local ? 0x80 | (TableBits(image.palette.size()) - 1) : 0) |
                          (image.interlaced ? 0x40 : 0)));
    if (local) PutTable(out, image.palette);
    out.push_back(uint8_t(code_size));

    // A plain greedy LZW coder with giflib's encoder's timing of code-width changes and of the
    // clear code when the table is full.
    const int clear = 1 << code_size;
    int width = code_size + 1, next = clear + 2;
    std::map<uint32_t, int> table;
    std::vector<uint8_t> lzw;
    uint32_t bits = 0;
    int bit_count = 0;
    auto emit = [&](int code) {
        bits |= uint32_t(code) << bit_count;
        for (bit_count += width; bit_count >= 8; bit_count -= 8, bits >>= 8) {
            lzw.push_back(uint8_t(bits));
        }
        if (next >= (1 << width) && width < 12) ++width;
    };
    std::vector<uint8_t> pixels;
    for (const int y : StoredRows(image)) {
        const auto row = image.pixels.begin() + long(y) * image.width;
        pixels.insert(pixels.end(), row, row + image.width);
    }
    emit(clear);
    int prefix = pixels.front();
    for (size_t i = 1; i < pixels.size(); ++i) {
        const uint32_t key = uint32_t(prefix) << 8 | pixels[i];
        if (const auto found = table.find(key); found != table.end()) {
            prefix = found->second;
            continue;
        }
        emit(prefix);
        if (next >= 4095) {
            emit(clear);
            width = code_size + 1, next = clear + 2;
            table.clear();
        } else {
            table[key] = next++;
        }
        prefix = pixels[i];
    }
    emit(prefix);
    emit(clear + 1);
    if (bit_count > 0) lzw.push_back(uint8_t(bits));
    for (size_t at = 0; at < lzw.size(); at += 255) {
        const size_t n = std::min<size_t>(255, lzw.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), lzw.begin() + long(at), lzw.begin() + long(at + n));
    }
    Append(out, {0, 0x3B});
    return out;
}

}  // namespace pictorra::test
