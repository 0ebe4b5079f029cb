// Loading a TIFF into a cImage against libtiff's own decode of the same file into a plain RGBA
// buffer (TIFFReadRGBAImage, fresh for each picture as a load makes it). The TIFFs are photos
// from the shared folder written by libtiff here: 8-bit RGB in strips, uncompressed, Deflate and
// LZW with the horizontal predictor. Skipped when the shared photos are absent.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "image/c_image.h"
#include "image/codecs.h"

namespace {

using pictorra::image::cImage;

const char* const kPhotos[] = {
    "LadyBird.jpg",            // 4.1 MP
    "Dragonfly_by_Bolly.jpg",  // 13.4 MP
};

struct Encoding {
    const char* name;
    uint16_t compression;
    uint16_t predictor;
};
const Encoding kEncodings[] = {
    {"none", COMPRESSION_NONE, PREDICTOR_NONE},
    {"deflate", COMPRESSION_ADOBE_DEFLATE, PREDICTOR_NONE},
    {"lzw+predictor", COMPRESSION_LZW, PREDICTOR_HORIZONTAL},
};

// The photo as a TIFF file in memory; empty when the photo cannot be read.
std::vector<uint8_t> EncodePhoto(const char* photo, const Encoding& encoding) {
    const auto path = std::filesystem::path(PICTORRA_SHARED_DIR) / "photos" / photo;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> jpeg{std::istreambuf_iterator<char>(in), {}};
    cImage img;
    if (jpeg.empty() || !pictorra::image::DecodeJpeg(jpeg, img)) return {};
    const auto file = std::filesystem::temp_directory_path() /
                      ("pictorra_tiff_bench_" + std::to_string(::getpid()) + ".tif");
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    if (tif == nullptr) return {};
    const auto w = uint32_t(img.Width()), h = uint32_t(img.Height());
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, encoding.compression);
    if (encoding.predictor != PREDICTOR_NONE) {
        TIFFSetField(tif, TIFFTAG_PREDICTOR, encoding.predictor);
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<uint8_t> line(size_t(w) * 3);
    const pictorra::image::PixelView view = img.View();
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* src = view.Row(int32_t(y));
        for (uint32_t x = 0; x < w; ++x) {
            line[3 * x] = src[3 * x + 2], line[3 * x + 1] = src[3 * x + 1];
            line[3 * x + 2] = src[3 * x];
        }
        TIFFWriteScanline(tif, line.data(), y, 0);
    }
    TIFFClose(tif);
    std::ifstream back(file, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(back), {}};
    std::filesystem::remove(file);
    return bytes;
}

// Encoded once per photo and encoding, shared by both sides of the comparison.
const std::vector<uint8_t>& Tiff(benchmark::State& state) {
    static std::map<std::pair<int64_t, int64_t>, std::vector<uint8_t>> cache;
    const auto key = std::make_pair(state.range(0), state.range(1));
    auto it = cache.find(key);
    if (it == cache.end()) {
        it = cache.emplace(key, EncodePhoto(kPhotos[key.first], kEncodings[key.second])).first;
    }
    if (it->second.empty()) state.SkipWithError("shared photos not present");
    state.SetLabel(std::string(kPhotos[key.first]) + " " + kEncodings[key.second].name);
    return it->second;
}

struct Reader {
    const std::vector<uint8_t>* data;
    uint64_t position = 0;
};

tmsize_t Read(thandle_t h, void* buf, tmsize_t size) {
    auto* r = static_cast<Reader*>(h);
    const uint64_t n = std::min<uint64_t>(uint64_t(size), r->data->size() - r->position);
    std::memcpy(buf, r->data->data() + r->position, size_t(n));
    r->position += n;
    return tmsize_t(n);
}
tmsize_t Write(thandle_t, void*, tmsize_t) { return -1; }
toff_t Seek(thandle_t h, toff_t off, int whence) {
    auto* r = static_cast<Reader*>(h);
    r->position = (whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? r->position
                                        : r->data->size()) +
                  off;
    return r->position;
}
int Close(thandle_t) { return 0; }
toff_t Size(thandle_t h) { return static_cast<Reader*>(h)->data->size(); }
int Map(thandle_t h, void** base, toff_t* size) {
    auto* r = static_cast<Reader*>(h);
    *base = const_cast<uint8_t*>(r->data->data());
    *size = r->data->size();
    return 1;
}
void Unmap(thandle_t, void*, toff_t) {}

void BM_LibtiffReadRgba(benchmark::State& state) {
    const std::vector<uint8_t>& tiff = Tiff(state);
    for (auto _ : state) {
        Reader reader{&tiff};
        TIFF* tif =
            TIFFClientOpen("bench", "r", &reader, Read, Write, Seek, Close, Size, Map, Unmap);
        uint32_t w = 0, h = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        const auto raster = std::make_unique_for_overwrite<uint32_t[]>(size_t(w) * h);
        if (!TIFFReadRGBAImage(tif, w, h, raster.get(), 1)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(raster.get());
        TIFFClose(tif);
    }
}

void BM_LoadTiff(benchmark::State& state) {
    const std::vector<uint8_t>& tiff = Tiff(state);
    for (auto _ : state) {
        cImage img;
        if (img.LoadPictureData(tiff, "TIF") != pictorra::image::kDibOk) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(img.DIBitsPtr());
    }
}

// The decode without the colour profile and EXIF block: the difference is the metadata's cost.
void BM_DecodeTiffPixelsOnly(benchmark::State& state) {
    const std::vector<uint8_t>& tiff = Tiff(state);
    for (auto _ : state) {
        cImage img;
        if (!pictorra::image::DecodeTiff(tiff, img)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(img.DIBitsPtr());
    }
}

void Cases(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{0, 1}, {0, 1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_LibtiffReadRgba)->Apply(Cases);
BENCHMARK(BM_LoadTiff)->Apply(Cases);
BENCHMARK(BM_DecodeTiffPixelsOnly)->Apply(Cases);

}  // namespace
