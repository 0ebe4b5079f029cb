#pragma once
// The yardstick of the benchmarks: libjpeg-turbo (TurboJPEG) decoding a JPEG into a buffer of
// the engine's own layout (BGR, bottom-up, padded rows), fresh for each picture as a load makes
// it, or reused for scale.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "image/c_image.h"

namespace pictorra::bench {

struct TjFree {
    void operator()(void* h) const { tjDestroy(h); }
};

inline void TurboDecodeLoop(benchmark::State& state, const std::vector<uint8_t>& jpeg,
                            bool fresh_buffer) {
    std::unique_ptr<void, TjFree> tj{tjInitDecompress()};
    int w = 0, h = 0, sub = 0, space = 0;
    if (jpeg.empty() || !tj ||
        tjDecompressHeader3(tj.get(), jpeg.data(), jpeg.size(), &w, &h, &sub, &space) != 0) {
        state.SkipWithError("cannot read the JPEG");
        return;
    }
    image::cImage reused;
    if (!fresh_buffer && reused.CreateDIB(w, h) != 0) state.SkipWithError("no buffer");
    for (auto _ : state) {
        image::cImage fresh;
        image::cImage& img = fresh_buffer ? fresh : reused;
        if ((fresh_buffer && img.CreateDIB(w, h) != 0) ||
            tjDecompress2(tj.get(), jpeg.data(), jpeg.size(), img.DIBitsPtr(), w,
                          img.BytesPerScanLine(), h, TJPF_BGR, TJFLAG_BOTTOMUP) != 0) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(img.DIBitsPtr());
    }
    state.counters["MP"] = double(w) * h / 1e6;
}

}  // namespace pictorra::bench
