// Writes the seed profiles of the colour fuzz target into FOLDER/good: the kinds of profile the
// conversion handles (sRGB, a wide-gamut matrix profile, a lookup-table profile, grey) and one it
// refuses (Lab), all made with lcms2. Usage: icc_seeds FOLDER
#include <lcms2.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ProfileFree {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using ProfilePtr = std::unique_ptr<void, ProfileFree>;

bool Write(const std::filesystem::path& path, cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size)) return false;
    std::vector<char> bytes(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) return false;
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

ProfilePtr WideGamut(double gamma) {
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    const cmsCIExyY d65 = {0.3127, 0.3290, 1};
    std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> curve{cmsBuildGamma(nullptr, gamma),
                                                                 cmsFreeToneCurve};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    return ProfilePtr{cmsCreateRGBProfile(&d65, &primaries, curves)};
}

// A small version 2 lookup-table profile: gamma curves, then a 5-point grid to XYZ.
ProfilePtr LookupTable() {
    const ProfilePtr linear = WideGamut(1.0);
    const ProfilePtr xyz{cmsCreateXYZProfile()};
    std::unique_ptr<void, void (*)(void*)> to_xyz{
        cmsCreateTransform(linear.get(), TYPE_RGB_16, xyz.get(), TYPE_XYZ_16, INTENT_PERCEPTUAL, 0),
        cmsDeleteTransform};
    std::unique_ptr<cmsPipeline, void (*)(cmsPipeline*)> lut{cmsPipelineAlloc(nullptr, 3, 3),
                                                             cmsPipelineFree};
    if (!to_xyz || !lut) return ProfilePtr{};
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 5, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* xf) -> cmsInt32Number {
            cmsDoTransform(xf, in, out, 1);
            return 1;
        },
        to_xyz.get(), 0);
    std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> gamma{cmsBuildGamma(nullptr, 2.2),
                                                                 cmsFreeToneCurve};
    cmsToneCurve* curves[3] = {gamma.get(), gamma.get(), gamma.get()};
    cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
    cmsPipelineInsertStage(lut.get(), cmsAT_END, clut);
    cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    ProfilePtr p{cmsCreateProfilePlaceholder(nullptr)};
    cmsSetProfileVersion(p.get(), 2.1);
    cmsSetDeviceClass(p.get(), cmsSigDisplayClass);
    cmsSetColorSpace(p.get(), cmsSigRgbData);
    cmsSetPCS(p.get(), cmsSigXYZData);
    cmsWriteTag(p.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(p.get(), cmsSigAToB0Tag, lut.get());
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / "good";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> grey_gamma{cmsBuildGamma(nullptr, 2.2),
                                                                      cmsFreeToneCurve};
    const bool ok = Write(folder / "srgb.icc", ProfilePtr{cmsCreate_sRGBProfile()}.get()) &&
                    Write(folder / "wide-gamut.icc", WideGamut(563.0 / 256.0).get()) &&
                    Write(folder / "lookup-table.icc", LookupTable().get()) &&
                    Write(folder / "grey.icc",
                          ProfilePtr{cmsCreateGrayProfile(cmsD50_xyY(), grey_gamma.get())}.get()) &&
                    Write(folder / "lab.icc", ProfilePtr{cmsCreateLab4Profile(nullptr)}.get());
    return ok ? 0 : 1;
}
