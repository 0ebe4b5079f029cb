// Writes the seed profiles of the colour fuzz target into FOLDER/good: the kinds of profile the
// conversion handles (sRGB, a wide-gamut matrix profile, a lookup-table profile, grey) and one it
// refuses (Lab), all made with lcms2. Usage: icc_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "icc_fixtures.h"

namespace {

using namespace pictorra::test::icc;

bool Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
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
    const CurvePtr grey_gamma{cmsBuildGamma(nullptr, 2.2)};
    const bool ok =
        Write(folder / "srgb.icc", Save(ProfilePtr{cmsCreate_sRGBProfile()}.get())) &&
        Write(folder / "wide-gamut.icc", AdobeRgb()) &&
        Write(folder / "lookup-table.icc", AdobeRgbAsTable(5)) &&
        Write(folder / "grey.icc", Grey(grey_gamma.get())) &&
        Write(folder / "lab.icc", Save(ProfilePtr{cmsCreateLab4Profile(nullptr)}.get()));
    return ok ? 0 : 1;
}
