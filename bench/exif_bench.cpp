// The cost of the photo information in a JPG output against the output's encode: a real photo's
// EXIF cleaned by OutputExif and written as its APP1 segment, beside the encode of the same photo
// at 640 pixels (quality 85, the program's default), all measured in the same iterations so
// that the ratio compares like with like. Skipped when the shared pictures are absent.
#include <benchmark/benchmark.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "image/c_image.h"
#include "image/exif_out.h"

namespace {

using pictorra::image::cImage;
using pictorra::image::MetadataChoice;
using pictorra::image::PictureInfo;

// Phone and camera photos with EXIF: a location, maker notes and thumbnails among them.
const char* const kSources[] = {
    "photos/Storm.jpg",
    "corpora-formats/good/meta-mei-Samsung_GT-I9000.jpg",
    "corpora-formats/good/meta-exiv2-Reagan.jpg",
    "corpora-formats/good/meta-libavif-paris_exif_xmp_icc.jpg",
};

struct Source {
    cImage picture;  // at 640 pixels on its longer side
    std::vector<uint8_t> exif;
};

bool LoadSource(benchmark::State& state, Source& source) {
    const auto path = std::filesystem::path(PICTORRA_SHARED_DIR) / kSources[state.range(0)];
    state.SetLabel(path.filename().string());
    std::vector<uint8_t> bytes;
    int why = 0;
    PictureInfo info;
    cImage full;
    if (full.LoadPicture(path.string(), bytes, why, &info) != 0 || info.exif.empty()) {
        state.SkipWithError("shared picture with EXIF not present");
        return false;
    }
    const bool wide = full.Width() >= full.Height();
    const int64_t w = wide ? 640 : int64_t{640} * full.Width() / full.Height();
    const int64_t h = wide ? int64_t{640} * full.Height() / full.Width() : 640;
    source.picture = full.Resize(int32_t(w), int32_t(h), false, 1);
    source.exif = std::move(info.exif);
    return source.picture.PicValid();
}

std::string OutputPath(const char* name = "pictorra-exif-bench.jpg") {
    return (std::filesystem::temp_directory_path() / name).string();
}

// OutputExif alone.
void BM_OutputExif(benchmark::State& state) {
    Source source;
    if (!LoadSource(state, source)) return;
    for (auto _ : state) {
        auto block = pictorra::image::OutputExif(source.exif, MetadataChoice::kNoLocation,
                                                 source.picture.Width(), source.picture.Height());
        benchmark::DoNotOptimize(block.data());
    }
}

// Processor time of this thread: the machine may be shared, and the shares compared here are
// small enough that waiting for a core would hide them.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Each iteration encodes the 640-pixel output, cleans the source's EXIF, and writes a 16 x 16
// picture with and without the cleaned block: the difference of the two small writes is what
// the segment adds to a write, without the noise of the large encode (the two go to a file of
// their own, and take turns at going first). The counter "exif_%" is cleaning plus segment as a
// share of the encode.
void BM_JpegWithExif(benchmark::State& state) {
    Source source;
    if (!LoadSource(state, source)) return;
    const std::string path = OutputPath(), small_path = OutputPath("pictorra-exif-bench-16.jpg");
    cImage small;
    if (small.CreateDIB(16, 16) != 0) return;
    small.FillRect(0, 0, 16, 16, 0x336699);
    double encode = 0, clean = 0, plain = 0, with = 0;
    size_t block_size = 0;
    bool plain_first = true;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        if (source.picture.WriteJPG(path, 85) != 0) state.SkipWithError("write failed");
        const double t1 = ThreadSeconds();
        const auto block =
            pictorra::image::OutputExif(source.exif, MetadataChoice::kNoLocation,
                                        source.picture.Width(), source.picture.Height());
        const double t2 = ThreadSeconds();
        const std::span<const uint8_t> first = plain_first ? std::span<const uint8_t>{} : block;
        const std::span<const uint8_t> second = plain_first ? block : std::span<const uint8_t>{};
        if (small.WriteJPG(small_path, 85, first) != 0) state.SkipWithError("write failed");
        const double t3 = ThreadSeconds();
        if (small.WriteJPG(small_path, 85, second) != 0) state.SkipWithError("write failed");
        const double t4 = ThreadSeconds();
        encode += t1 - t0;
        clean += t2 - t1;
        (plain_first ? plain : with) += t3 - t2;
        (plain_first ? with : plain) += t4 - t3;
        plain_first = !plain_first;
        block_size = block.size();
    }
    std::filesystem::remove(path);
    std::filesystem::remove(small_path);
    const double n = double(state.iterations());
    state.counters["encode_ms"] = encode * 1e3 / n;
    state.counters["clean_us"] = clean * 1e6 / n;
    state.counters["segment_us"] = (with - plain) * 1e6 / n;
    state.counters["exif_%"] = encode > 0 ? 100.0 * (clean + with - plain) / encode : 0.0;
    state.counters["block_bytes"] = double(block_size);
}

void Sources(benchmark::internal::Benchmark* b) {
    b->DenseRange(0, int(std::size(kSources)) - 1)->Unit(benchmark::kMicrosecond)->UseRealTime();
}
BENCHMARK(BM_OutputExif)->Apply(Sources);
BENCHMARK(BM_JpegWithExif)->Apply(Sources)->MinTime(2.0);

}  // namespace
