// The colour conversion at load on a 12-megapixel picture, to be read beside
// BM_JpegDecodeGenerated12MP (the decode of a picture of that size), with both thread budgets, on
// the path a processor without AVX-512 takes, and against lcms2's own 8-bit transform of the
// same profile on one thread (the bytes are the same); and what a picture tagged sRGB costs (the
// profile is read, the pixels are not touched) and the fixed cost of a call.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "icc_fixtures.h"
#include "image/c_image.h"
#include "image/codecs.h"
#include "image/colour_paths.h"
#include "in_place.h"

namespace {

using pictorra::image::cImage;
using pictorra::image::ConvertToSrgb;
using namespace pictorra::test::icc;

// Photograph-like: smooth gradients with noise, so no colour repeats often.
const cImage& Picture() {
    static const cImage picture = [] {
        cImage img;
        if (img.CreateDIB(4000, 3000) != 0) return img;
        uint32_t seed = 99;
        for (int row = 0; row < img.Height(); ++row) {
            uint8_t* p = img.View().DibRow(row);
            for (int x = 0; x < img.Width(); ++x, p += 3) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 28) - 8;
                p[0] = uint8_t(std::clamp(40 + row / 15 + noise, 0, 255));
                p[1] = uint8_t(std::clamp(30 + x / 20 + noise, 0, 255));
                p[2] = uint8_t(std::clamp(200 - (x + row) / 40 + noise, 0, 255));
            }
        }
        return img;
    }();
    return picture;
}

// Converts a fresh copy of the picture each time (the copy is not timed).
template <typename Op>
void InPlace(benchmark::State& state, Op op) {
    const cImage& src = Picture();
    pictorra::bench::InPlace(state, src, op);
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(src.Width()) * src.Height() * 1e-6 * double(state.iterations()),
                           benchmark::Counter::kIsRate);
}

int32_t Budget(const benchmark::State& state) { return static_cast<int32_t>(state.range(0)); }

void BM_ColourAdobeRgb12MP(benchmark::State& state) {
    const std::vector<uint8_t> icc = AdobeRgb();
    InPlace(state, [&](cImage& img) { (void)ConvertToSrgb(img, icc, Budget(state)); });
}

void BM_ColourAdobeRgbPortable12MP(benchmark::State& state) {
    using pictorra::image::detail::ColourPath;
    const std::vector<uint8_t> icc = AdobeRgb();
    InPlace(state, [&](cImage& img) {
        (void)pictorra::image::detail::ConvertToSrgbOn(ColourPath::kPortable, img, icc,
                                                       Budget(state));
    });
}

void BM_ColourLookupTable12MP(benchmark::State& state) {
    const std::vector<uint8_t> icc = AdobeRgbAsTable(17);
    InPlace(state, [&](cImage& img) { (void)ConvertToSrgb(img, icc, Budget(state)); });
}

// The yardstick: lcms2's own 8-bit transform of Adobe RGB, one thread, transform made each time.
void BM_ColourLcms2Transform12MP(benchmark::State& state) {
    const std::vector<uint8_t> icc = AdobeRgb();
    InPlace(state, [&](cImage& img) {
        const ProfilePtr in{cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()))};
        const ProfilePtr out{cmsCreate_sRGBProfile()};
        const std::unique_ptr<void, void (*)(void*)> xf{
            cmsCreateTransform(in.get(), TYPE_BGR_8, out.get(), TYPE_BGR_8, INTENT_PERCEPTUAL,
                               cmsFLAGS_NOCACHE),
            cmsDeleteTransform};
        for (int row = 0; row < img.Height(); ++row)
            cmsDoTransform(xf.get(), img.View().DibRow(row), img.View().DibRow(row),
                           cmsUInt32Number(img.Width()));
    });
}

// A picture tagged sRGB: the profile is read and recognised, the pixels are not touched.
void BM_ColourSrgbTagged12MP(benchmark::State& state) {
    const std::vector<uint8_t> icc = Save(ProfilePtr{cmsCreate_sRGBProfile()}.get());
    cImage img = Picture();
    for (auto _ : state) benchmark::DoNotOptimize(ConvertToSrgb(img, icc));
}

// The fixed cost of a call: a one-pixel picture.
void BM_ColourSetup(benchmark::State& state) {
    const std::vector<uint8_t> icc = state.range(0) ? AdobeRgbAsTable(17) : AdobeRgb();
    cImage img;
    if (img.CreateDIB(1, 1) != 0) {
        state.SkipWithError("no memory");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(ConvertToSrgb(img, icc));
}

void BothBudgets(benchmark::internal::Benchmark* b) {
    b->ArgName("threads")
        ->Arg(pictorra::image::kAllCores)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
BENCHMARK(BM_ColourAdobeRgb12MP)->Apply(BothBudgets);
BENCHMARK(BM_ColourAdobeRgbPortable12MP)->Apply(BothBudgets);
BENCHMARK(BM_ColourLookupTable12MP)->Apply(BothBudgets);
BENCHMARK(BM_ColourLcms2Transform12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ColourSrgbTagged12MP)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColourSetup)->ArgName("table")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
