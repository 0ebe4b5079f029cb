// Loading a JPEG photograph into a cImage against libjpeg-turbo decoding the same file into a
// plain buffer of the same layout (TurboJPEG, BGR, bottom-up), fresh for each picture as a load
// makes it and, for scale, reused. Also the cost of an EXIF turn (orientation 6) and of a mirror
// (orientation 3). Skipped when the shared photos are absent.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/c_image.h"
#include "image/codecs.h"
#include "turbo_decode.h"

namespace {

using pictorra::image::cImage;

const char* const kPhotos[] = {
    "Dragonfly_by_Bolly.jpg",              // 13.4 MP, 4:2:2, progressive
    "seeding_by_Clements_Engelhardt.jpg",  // 15.9 MP, 4:2:0, progressive
    "Kleiber_by_Lukas_Baubkus.jpg",        // 20.4 MP, 4:2:2, baseline
    "free_by_Peter_Nerlich.jpg",           // 6.2 MP, 4:4:4, baseline
    "LadyBird.jpg",                        // 4.1 MP, 4:2:0, baseline
    "Grey.jpg",                            // 4.1 MP, grey, baseline
};

std::vector<uint8_t> ReadPhoto(benchmark::State& state) {
    const auto path =
        std::filesystem::path(PICTORRA_SHARED_DIR) / "photos" / kPhotos[state.range(0)];
    std::ifstream in(path, std::ios::binary);
    if (!in) state.SkipWithError("shared photos not present");
    state.SetLabel(kPhotos[state.range(0)]);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The file with an EXIF APP1 segment carrying `orientation` right after the start of image.
std::vector<uint8_t> WithOrientation(const std::vector<uint8_t>& jpeg, uint8_t orientation) {
    if (jpeg.size() < 2) return jpeg;
    const uint8_t app1[] = {0xFF, 0xE1, 0, 34, 'E',         'x', 'i', 'f', 0,    0,    'I', 'I',
                            42,   0,    8, 0,  0,           0,   1,   0,   0x12, 0x01, 3,   0,
                            1,    0,    0, 0,  orientation, 0,   0,   0,   0,    0,    0,   0};
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), std::begin(app1), std::end(app1));
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

void TurboJpeg(benchmark::State& state, bool fresh_buffer) {
    pictorra::bench::TurboDecodeLoop(state, ReadPhoto(state), fresh_buffer);
}

void Engine(benchmark::State& state, uint8_t orientation) {
    const std::vector<uint8_t> jpeg = WithOrientation(ReadPhoto(state), orientation);
    for (auto _ : state) {
        cImage img;
        if (!pictorra::image::DecodeJpeg(jpeg, img)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(img.DIBitsPtr());
    }
}

void BM_TurboJpegFreshBuffer(benchmark::State& state) { TurboJpeg(state, true); }
void BM_TurboJpegReusedBuffer(benchmark::State& state) { TurboJpeg(state, false); }
void BM_DecodeJpeg(benchmark::State& state) { Engine(state, 1); }
void BM_DecodeJpegMirrored180(benchmark::State& state) { Engine(state, 3); }
void BM_DecodeJpegTurned90(benchmark::State& state) { Engine(state, 6); }

void Photos(benchmark::internal::Benchmark* b) {
    b->DenseRange(0, int(std::size(kPhotos)) - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_TurboJpegFreshBuffer)->Apply(Photos);
BENCHMARK(BM_DecodeJpeg)->Apply(Photos);
BENCHMARK(BM_TurboJpegReusedBuffer)->Apply(Photos);
BENCHMARK(BM_DecodeJpegMirrored180)->Apply(Photos);
BENCHMARK(BM_DecodeJpegTurned90)->Apply(Photos);

}  // namespace
