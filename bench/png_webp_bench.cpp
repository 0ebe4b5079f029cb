// Loading PNG and WebP files into a cImage against the libraries' own plain decode of the same
// file into a fresh RGB buffer (png_image_finish_read, WebPDecodeRGB/RGBA): each alone, and both
// in turn with the ratio of their processor times. The files are made
// here from a shared photograph with the libraries' encoders: PNG with and without alpha, lossy
// and lossless WebP, lossy WebP with alpha. Skipped when the shared photos are absent.
#include <benchmark/benchmark.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/encode.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/c_image.h"
#include "image/codecs.h"

namespace {

using pictorra::image::cImage;

struct Variant {
    const char* label;
    bool png, lossless, alpha;
};
constexpr std::array kVariants = {
    Variant{"png rgb", true, true, false},           Variant{"png rgba", true, true, true},
    Variant{"webp lossy", false, false, false},      Variant{"webp lossless", false, true, false},
    Variant{"webp lossy alpha", false, false, true},
};

// The photo as top-down RGB or RGBA (alpha a diagonal ramp, so every level occurs).
std::vector<uint8_t> PhotoPixels(bool alpha, int& w, int& h) {
    cImage photo;
    const auto path = std::filesystem::path(PICTORRA_SHARED_DIR) / "photos" / "LadyBird.jpg";
    if (photo.LoadPicture(path.string()) != pictorra::image::kDibOk) return {};
    w = photo.Width(), h = photo.Height();
    const size_t channels = alpha ? 4 : 3;
    std::vector<uint8_t> pixels(channels * size_t(w) * size_t(h));
    const auto view = photo.View();
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = view.Row(y);
        uint8_t* dst = &pixels[channels * size_t(w) * size_t(y)];
        for (int x = 0; x < w; ++x, src += 3, dst += channels) {
            dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
            if (alpha) dst[3] = uint8_t(x + y);
        }
    }
    return pixels;
}

std::vector<uint8_t> Encode(const Variant& v) {
    int w = 0, h = 0;
    const std::vector<uint8_t> pixels = PhotoPixels(v.alpha, w, h);
    if (pixels.empty()) return {};
    if (v.png) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = png_uint_32(w), image.height = png_uint_32(h);
        image.format = v.alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
        png_alloc_size_t size = 0;
        if (!png_image_write_get_memory_size(image, size, 0, pixels.data(), 0, nullptr)) return {};
        std::vector<uint8_t> file(size);
        if (!png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr))
            return {};
        file.resize(size);
        return file;
    }
    uint8_t* out = nullptr;
    const int stride = (v.alpha ? 4 : 3) * w;
    size_t size = 0;
    if (v.lossless) {
        size = v.alpha ? WebPEncodeLosslessRGBA(pixels.data(), w, h, stride, &out)
                       : WebPEncodeLosslessRGB(pixels.data(), w, h, stride, &out);
    } else {
        size = v.alpha ? WebPEncodeRGBA(pixels.data(), w, h, stride, 90, &out)
                       : WebPEncodeRGB(pixels.data(), w, h, stride, 90, &out);
    }
    std::vector<uint8_t> file(out, out + size);
    WebPFree(out);
    return file;
}

// Each file is made once per run, whichever benchmark needs it first.
const std::vector<uint8_t>& File(benchmark::State& state) {
    static std::map<int64_t, std::vector<uint8_t>> files;
    auto [it, made] = files.try_emplace(state.range(0));
    if (made) it->second = Encode(kVariants[size_t(state.range(0))]);
    if (it->second.empty()) state.SkipWithError("shared photos not present");
    state.SetLabel(kVariants[size_t(state.range(0))].label);
    return it->second;
}

// The library's own decode of the file into a fresh buffer, released again.
void PlainDecode(const std::vector<uint8_t>& file, const Variant& v) {
    if (v.png) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return;
        image.format = v.alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
        std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr);
        benchmark::DoNotOptimize(buffer.data());
    } else {
        int w = 0, h = 0;
        uint8_t* pixels = v.alpha ? WebPDecodeRGBA(file.data(), file.size(), &w, &h)
                                  : WebPDecodeRGB(file.data(), file.size(), &w, &h);
        benchmark::DoNotOptimize(pixels);
        WebPFree(pixels);
    }
}

bool Load(const std::vector<uint8_t>& file, const Variant& v) {
    cImage img;
    if (img.LoadPictureData(file, v.png ? "png" : "webp") != pictorra::image::kDibOk) return false;
    benchmark::DoNotOptimize(img.DIBitsPtr());
    return true;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void BM_LibraryPlainDecode(benchmark::State& state) {
    const std::vector<uint8_t>& file = File(state);
    for (auto _ : state) PlainDecode(file, kVariants[size_t(state.range(0))]);
}

void BM_LoadPictureData(benchmark::State& state) {
    const std::vector<uint8_t>& file = File(state);
    for (auto _ : state) {
        if (!Load(file, kVariants[size_t(state.range(0))])) {
            state.SkipWithError("load failed");
            return;
        }
    }
}

// Both in turn in every iteration, so that a busy machine slows both alike; the counter is the
// load's processor time over the plain decode's.
void BM_LoadOverPlainDecode(benchmark::State& state) {
    const std::vector<uint8_t>& file = File(state);
    const Variant& v = kVariants[size_t(state.range(0))];
    double plain = 0, load = 0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        PlainDecode(file, v);
        const double t1 = ThreadSeconds();
        if (!Load(file, v)) {
            state.SkipWithError("load failed");
            return;
        }
        plain += t1 - t0;
        load += ThreadSeconds() - t1;
    }
    if (plain > 0) state.counters["load/plain"] = load / plain;
}

void Variants(benchmark::internal::Benchmark* b) {
    b->DenseRange(0, int(kVariants.size()) - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_LibraryPlainDecode)->Apply(Variants);
BENCHMARK(BM_LoadPictureData)->Apply(Variants);
BENCHMARK(BM_LoadOverPlainDecode)->Apply(Variants);

}  // namespace
