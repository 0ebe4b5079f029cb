#pragma once
// ICC profiles made with lcms2 for the tests, benchmarks and fuzz seeds; empty when lcms2 fails.

#include <lcms2.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace pictorra::test::icc {

struct ProfileFree {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using ProfilePtr = std::unique_ptr<void, ProfileFree>;
struct CurveFree {
    void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};
using CurvePtr = std::unique_ptr<cmsToneCurve, CurveFree>;

// The header's creation time (12 bytes at 24) is cleared: lcms2 stamps the second a profile was
// made, and a test that makes one profile twice must get the same bytes both times.
inline std::vector<uint8_t> Save(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size)) return {};
    std::vector<uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size) || bytes.size() < 36) return {};
    std::fill(bytes.begin() + 24, bytes.begin() + 36, uint8_t{0});
    return bytes;
}

inline constexpr cmsCIExyYTRIPLE kSrgbPrimaries = {
    {0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
inline constexpr cmsCIExyYTRIPLE kAdobePrimaries = {
    {0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
inline constexpr cmsCIExyYTRIPLE kP3Primaries = {
    {0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
inline constexpr cmsCIExyYTRIPLE kWidePrimaries = {
    {0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}};
inline constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1};
inline constexpr double kAdobeGamma = 563.0 / 256.0;

inline std::vector<uint8_t> RgbProfile(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve,
                                       double version = 4.3) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const ProfilePtr p{cmsCreateRGBProfile(&kD65, &primaries, curves)};
    if (!p) return {};
    cmsSetProfileVersion(p.get(), version);
    return Save(p.get());
}

// The sRGB curve as a parametric curve (as most profiles write it) or as a 1024-entry table.
inline CurvePtr SrgbCurve(bool tabulated) {
    const double params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    CurvePtr parametric{cmsBuildParametricToneCurve(nullptr, 4, params)};
    if (!tabulated || !parametric) return parametric;
    std::vector<cmsUInt16Number> table(1024);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = cmsEvalToneCurve16(parametric.get(), cmsUInt16Number(i * 65535 / 1023));
    return CurvePtr{cmsBuildTabulatedToneCurve16(nullptr, 1024, table.data())};
}

inline std::vector<uint8_t> AdobeRgb(double gamma = kAdobeGamma) {
    const CurvePtr curve{cmsBuildGamma(nullptr, gamma)};
    return RgbProfile(kAdobePrimaries, curve.get(), 2.1);
}

inline std::vector<uint8_t> DisplayP3() { return RgbProfile(kP3Primaries, SrgbCurve(false).get()); }

// Primaries far outside sRGB (one of them beyond the visible colours), gamma 1.8.
inline std::vector<uint8_t> WideGamut() {
    const CurvePtr curve{cmsBuildGamma(nullptr, 1.8)};
    return RgbProfile(kWidePrimaries, curve.get());
}

// Adobe RGB as an A2B0 lookup table (version 2: no perceptual black point). The input curves
// undo the gamma, so the grid maps linear RGB to XYZ and adds no error of its own.
inline std::vector<uint8_t> AdobeRgbAsTable(int grid_points) {
    const std::vector<uint8_t> linear = AdobeRgb(1.0);
    const ProfilePtr src{cmsOpenProfileFromMem(linear.data(), cmsUInt32Number(linear.size()))};
    const ProfilePtr xyz{cmsCreateXYZProfile()};
    if (!src || !xyz) return {};
    const std::unique_ptr<void, void (*)(void*)> to_xyz{
        cmsCreateTransform(src.get(), TYPE_RGB_16, xyz.get(), TYPE_XYZ_16, INTENT_PERCEPTUAL,
                           cmsFLAGS_NOOPTIMIZE),
        cmsDeleteTransform};
    const std::unique_ptr<cmsPipeline, void (*)(cmsPipeline*)> lut{cmsPipelineAlloc(nullptr, 3, 3),
                                                                   cmsPipelineFree};
    const CurvePtr gamma{cmsBuildGamma(nullptr, kAdobeGamma)};
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, cmsUInt32Number(grid_points), 3, 3, nullptr);
    if (!to_xyz || !lut || !gamma || !clut) return {};
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* xf) -> cmsInt32Number {
            cmsDoTransform(xf, in, out, 1);
            return 1;
        },
        to_xyz.get(), 0);
    cmsToneCurve* curves[3] = {gamma.get(), gamma.get(), gamma.get()};
    cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
    cmsPipelineInsertStage(lut.get(), cmsAT_END, clut);
    cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    const ProfilePtr p{cmsCreateProfilePlaceholder(nullptr)};
    if (!p) return {};
    cmsSetProfileVersion(p.get(), 2.1);
    cmsSetDeviceClass(p.get(), cmsSigDisplayClass);
    cmsSetColorSpace(p.get(), cmsSigRgbData);
    cmsSetPCS(p.get(), cmsSigXYZData);
    cmsWriteTag(p.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(p.get(), cmsSigAToB0Tag, lut.get());
    return Save(p.get());
}

inline std::vector<uint8_t> Grey(cmsToneCurve* curve) {
    return Save(ProfilePtr{cmsCreateGrayProfile(cmsD50_xyY(), curve)}.get());
}

}  // namespace pictorra::test::icc
