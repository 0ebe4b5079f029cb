// Benchmarks of the image engine's pixel operations on a 12-megapixel picture, with the JPEG
// decode of a picture of the same size as the yardstick (the budget: a folder run should
// cost little more than decoding its pictures), and of the threaded operations on a 20-megapixel
// picture with both thread budgets: every core (a single picture) and one thread (each picture of
// a folder run, where the workers already use the cores).
//
// The pictures are generated, so the benchmarks run anywhere. When the shared photos are present
// the decode yardstick is also measured on a real baseline photograph, and when the engine can
// load JPEG files the operations are also measured on a decoded photograph.
//
// Timings are wall-clock (the resampler, LightenPic and SharpenPic use every core unless told
// otherwise).
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/c_image.h"
#include "in_place.h"
#include "turbo_decode.h"

namespace {

using pictorra::image::cImage;
using pictorra::image::kAllCores;

// A photograph-like picture: smooth colour gradients, a few hard edges, and noise, so that
// neither the tonal operations nor the JPEG coder see unnaturally uniform data.
cImage MakeGenerated(int width, int height) {
    cImage img;
    if (img.CreateDIB(width, height) != 0) return img;
    uint32_t seed = 12345;
    for (int row = 0; row < height; ++row) {
        uint8_t* p = img.View().DibRow(row);
        for (int x = 0; x < width; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            const bool sky = row > height / 2 + (x % 700) / 5;
            const int blue = sky ? 200 - row / 40 : 40 + (x / 30) % 60;
            const int green = sky ? 150 + row / 60 : 90 + (row / 25) % 80;
            const int red = sky ? 90 : 60 + ((x + row) / 45) % 120;
            p[0] = uint8_t(std::clamp(blue + noise, 0, 255));
            p[1] = uint8_t(std::clamp(green + noise, 0, 255));
            p[2] = uint8_t(std::clamp(red + noise, 0, 255));
        }
    }
    return img;
}

const cImage& Generated() {
    static const cImage picture = MakeGenerated(4000, 3000);
    return picture;
}

// The size of the shared baseline photograph.
const cImage& Generated20MP() {
    static const cImage picture = MakeGenerated(5472, 3648);
    return picture;
}

std::filesystem::path PhotoPath(const std::string& name) {
    return std::filesystem::path(PICTORRA_SHARED_DIR) / "photos" / name;
}

// ---- the yardstick: a full JPEG decode into a fresh 24-bit bottom-up buffer -------------------

using pictorra::bench::TjFree;

std::vector<uint8_t> EncodeJpeg(const cImage& img, int quality) {
    std::unique_ptr<void, TjFree> tj{tjInitCompress()};
    if (!tj) return {};
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc =
        tjCompress2(tj.get(), img.DIBitsPtr(), img.Width(), img.BytesPerScanLine(), img.Height(),
                    TJPF_BGR, &out, &size, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
    std::vector<uint8_t> bytes;
    if (rc == 0) bytes.assign(out, out + size);
    tjFree(out);
    return bytes;
}

void DecodeInto(benchmark::State& state, const std::vector<uint8_t>& jpeg) {
    pictorra::bench::TurboDecodeLoop(state, jpeg, /*fresh_buffer=*/true);
}

void BM_JpegDecodeGenerated12MP(benchmark::State& state) {
    static const std::vector<uint8_t> jpeg = EncodeJpeg(Generated(), 85);
    DecodeInto(state, jpeg);
}
BENCHMARK(BM_JpegDecodeGenerated12MP)->Unit(benchmark::kMillisecond)->UseRealTime();

// A real baseline photograph (20 MP, 4:2:2, q92) when the shared photos are present.
void BM_JpegDecodePhotoBaseline20MP(benchmark::State& state) {
    std::ifstream in(PhotoPath("Kleiber_by_Lukas_Baubkus.jpg"), std::ios::binary);
    if (!in) {
        state.SkipWithError("shared photos not present");
        return;
    }
    const std::vector<uint8_t> jpeg{std::istreambuf_iterator<char>(in), {}};
    DecodeInto(state, jpeg);
}
BENCHMARK(BM_JpegDecodePhotoBaseline20MP)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- the engine's operations -----------------------------------------------------------------

void Resize(benchmark::State& state, const cImage& src, bool high, int width = 640,
            int height = 427, int32_t threads = kAllCores) {
    if (!src.PicValid()) {
        state.SkipWithError("no picture (needs the shared photos and a JPEG decoder)");
        return;
    }
    for (auto _ : state) {
        cImage out = src.Resize(width, height, high, threads);
        benchmark::DoNotOptimize(out.DIBitsPtr());
    }
}

using pictorra::bench::InPlace;

void BM_ResizeHigh(benchmark::State& state) { Resize(state, Generated(), true); }
void BM_ResizeStandard(benchmark::State& state) { Resize(state, Generated(), false); }
void BM_Lighten(benchmark::State& state) {
    InPlace(state, Generated(), [](cImage& img) { img.LightenPic(10); });
}
void BM_Darken(benchmark::State& state) {
    InPlace(state, Generated(), [](cImage& img) { img.DarkenPic(244); });
}
void BM_Sharpen(benchmark::State& state) {
    InPlace(state, Generated(), [](cImage& img) { img.SharpenPic(true); });
}
void BM_Soften(benchmark::State& state) {
    InPlace(state, Generated(), [](cImage& img) { img.SharpenPic(false); });
}
BENCHMARK(BM_ResizeHigh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ResizeStandard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Lighten)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Darken)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sharpen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Soften)->Unit(benchmark::kMillisecond)->UseRealTime();

// 20 MP with the thread budget state.range(0): 0 every core, 1 the calling thread only. The
// resize makes a 4 x 6 inch print at 300 dpi.
int32_t Budget(const benchmark::State& state) { return static_cast<int32_t>(state.range(0)); }
void BM_Lighten20MP(benchmark::State& state) {
    InPlace(state, Generated20MP(), [t = Budget(state)](cImage& img) { img.LightenPic(10, t); });
}
void BM_Sharpen20MP(benchmark::State& state) {
    InPlace(state, Generated20MP(), [t = Budget(state)](cImage& img) { img.SharpenPic(true, t); });
}
void BM_ResizeHigh20MP(benchmark::State& state) {
    Resize(state, Generated20MP(), true, 1800, 1200, Budget(state));
}
void BM_ResizeStandard20MP(benchmark::State& state) {
    Resize(state, Generated20MP(), false, 1800, 1200, Budget(state));
}
void BothBudgets(benchmark::internal::Benchmark* b) {
    b->Arg(kAllCores)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_Lighten20MP)->Apply(BothBudgets);
BENCHMARK(BM_Sharpen20MP)->Apply(BothBudgets);
BENCHMARK(BM_ResizeHigh20MP)->Apply(BothBudgets);
BENCHMARK(BM_ResizeStandard20MP)->Apply(BothBudgets);

// The same operations on a decoded photograph, once the engine can load JPEG files.
const cImage& Photo() {
    static const cImage picture = [] {
        cImage img;
        if (img.LoadPicture(PhotoPath("seeding_by_Clements_Engelhardt.jpg").string()) != 0)
            img.ReleaseDIB();
        return img;
    }();
    return picture;
}

void BM_PhotoResizeHigh(benchmark::State& state) { Resize(state, Photo(), true); }
void BM_PhotoResizeStandard(benchmark::State& state) { Resize(state, Photo(), false); }
void BM_PhotoLighten(benchmark::State& state) {
    InPlace(state, Photo(), [](cImage& img) { img.LightenPic(10); });
}
BENCHMARK(BM_PhotoResizeHigh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotoResizeStandard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotoLighten)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
