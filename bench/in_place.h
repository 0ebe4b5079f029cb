#pragma once
// Runs an in-place operation on a fresh copy of a picture each time; the copy is not timed.

#include <benchmark/benchmark.h>

#include <cstring>

#include "image/c_image.h"

namespace pictorra::bench {

template <typename Op>
void InPlace(benchmark::State& state, const image::cImage& src, Op op) {
    if (!src.PicValid()) {
        state.SkipWithError("no picture (needs the shared photos and a JPEG decoder)");
        return;
    }
    image::cImage work = src;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.DIBitsPtr(), src.DIBitsPtr(), size_t(src.PicSize()));
        state.ResumeTiming();
        op(work);
        benchmark::DoNotOptimize(work.DIBitsPtr());
    }
}

}  // namespace pictorra::bench
