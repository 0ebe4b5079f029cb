// The colour conversion at load on a 12-megapixel picture (compare BM_JpegDecodeGenerated12MP:
// the conversion should cost a small part of the decode), with both thread budgets, against
// lcms2's own 8-bit transform of the same profile on one thread; and what a picture tagged
// sRGB costs (reading the profile only) and the fixed cost of one call.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "image/c_image.h"
#include "image/codecs.h"

namespace {

using pictorra::image::cImage;
using pictorra::image::ConvertToSrgb;

struct ProfileFree {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using ProfilePtr = std::unique_ptr<void, ProfileFree>;

std::vector<uint8_t> Save(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size)) return {};
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    return bytes;
}

// Adobe RGB (1998), the profile of most cameras' wide-gamut setting.
std::vector<uint8_t> AdobeRgb() {
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    const cmsCIExyY d65 = {0.3127, 0.3290, 1};
    std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> gamma{
        cmsBuildGamma(nullptr, 563.0 / 256.0), cmsFreeToneCurve};
    cmsToneCurve* curves[3] = {gamma.get(), gamma.get(), gamma.get()};
    const ProfilePtr p{cmsCreateRGBProfile(&d65, &primaries, curves)};
    return Save(p.get());
}

// The same colours as a version 2 lookup-table profile (17-point grid over gamma curves).
std::vector<uint8_t> AdobeRgbAsTable() {
    const std::vector<uint8_t> adobe = AdobeRgb();
    const ProfilePtr src{cmsOpenProfileFromMem(adobe.data(), cmsUInt32Number(adobe.size()))};
    const ProfilePtr xyz{cmsCreateXYZProfile()};
    const std::unique_ptr<void, void (*)(void*)> to_xyz{
        cmsCreateTransform(src.get(), TYPE_RGB_16, xyz.get(), TYPE_XYZ_16, INTENT_PERCEPTUAL, 0),
        cmsDeleteTransform};
    const std::unique_ptr<cmsPipeline, void (*)(cmsPipeline*)> lut{cmsPipelineAlloc(nullptr, 3, 3),
                                                                   cmsPipelineFree};
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* xf) -> cmsInt32Number {
            cmsDoTransform(xf, in, out, 1);
            return 1;
        },
        to_xyz.get(), 0);
    cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(lut.get(), cmsAT_END, clut);
    cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    const ProfilePtr p{cmsCreateProfilePlaceholder(nullptr)};
    cmsSetProfileVersion(p.get(), 2.1);
    cmsSetDeviceClass(p.get(), cmsSigDisplayClass);
    cmsSetColorSpace(p.get(), cmsSigRgbData);
    cmsSetPCS(p.get(), cmsSigXYZData);
    cmsWriteTag(p.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(p.get(), cmsSigAToB0Tag, lut.get());
    return Save(p.get());
}

std::vector<uint8_t> Srgb() { return Save(ProfilePtr{cmsCreate_sRGBProfile()}.get()); }

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
    cImage work = src;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.DIBitsPtr(), src.DIBitsPtr(), size_t(src.PicSize()));
        state.ResumeTiming();
        op(work);
        benchmark::DoNotOptimize(work.DIBitsPtr());
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(src.Width()) * src.Height() * 1e-6 * double(state.iterations()),
                           benchmark::Counter::kIsRate);
}

int32_t Budget(const benchmark::State& state) { return static_cast<int32_t>(state.range(0)); }

void BM_ColourAdobeRgb12MP(benchmark::State& state) {
    const std::vector<uint8_t> icc = AdobeRgb();
    InPlace(state, [&](cImage& img) { (void)ConvertToSrgb(img, icc, Budget(state)); });
}

void BM_ColourLookupTable12MP(benchmark::State& state) {
    const std::vector<uint8_t> icc = AdobeRgbAsTable();
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
    const std::vector<uint8_t> icc = Srgb();
    cImage img = Picture();
    for (auto _ : state) benchmark::DoNotOptimize(ConvertToSrgb(img, icc));
}

// The fixed cost of a call: a one-pixel picture.
void BM_ColourSetup(benchmark::State& state) {
    const std::vector<uint8_t> icc = state.range(0) ? AdobeRgbAsTable() : AdobeRgb();
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
BENCHMARK(BM_ColourLookupTable12MP)->Apply(BothBudgets);
BENCHMARK(BM_ColourLcms2Transform12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ColourSrgbTagged12MP)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColourSetup)->ArgName("table")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
