// Loading a HEIC photograph into a cImage against libheif's own decode of the same file into
// its interleaved RGB buffer. The HEIC files are made here from the shared photos with libheif's
// HEVC encoder (4:2:0, quality 90, as a phone writes them), once per run. Skipped when the
// shared photos are absent.
#include <benchmark/benchmark.h>
#include <libheif/heif.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/c_image.h"

namespace {

using pictorra::image::cImage;

const char* const kPhotos[] = {
    "LadyBird.jpg",               // 4.1 MP
    "free_by_Peter_Nerlich.jpg",  // 6.2 MP
    "Grey.jpg",                   // 4.1 MP, grey
};

struct Deleters {
    void operator()(heif_context* p) const { heif_context_free(p); }
    void operator()(heif_image* p) const { heif_image_release(p); }
    void operator()(heif_encoder* p) const { heif_encoder_release(p); }
    void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Deleters>;

heif_error AppendBytes(heif_context*, const void* data, size_t size, void* user) {
    auto* out = static_cast<std::vector<uint8_t>*>(user);
    out->insert(out->end(), static_cast<const uint8_t*>(data),
                static_cast<const uint8_t*>(data) + size);
    return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// The photo as a HEIC file; empty when the photo or the encoder is missing.
std::vector<uint8_t> EncodePhoto(const std::filesystem::path& path) {
    cImage photo;
    if (photo.LoadPicture(path) != pictorra::image::kDibOk) return {};
    const int w = photo.Width(), h = photo.Height();
    heif_image* raw_image = nullptr;
    if (heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &raw_image)
            .code != heif_error_Ok)
        return {};
    const Owned<heif_image> image(raw_image);
    heif_image_add_plane(image.get(), heif_channel_interleaved, w, h, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const auto view = photo.View();
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = view.Row(y);
        uint8_t* out = plane + int64_t(y) * stride;
        for (int x = 0; x < w; ++x, in += 3, out += 3)
            out[0] = in[2], out[1] = in[1], out[2] = in[0];
    }
    const Owned<heif_context> context(heif_context_alloc());
    heif_encoder* raw_encoder = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &raw_encoder)
            .code != heif_error_Ok)
        return {};
    const Owned<heif_encoder> encoder(raw_encoder);
    heif_encoder_set_lossy_quality(encoder.get(), 90);
    if (heif_context_encode_image(context.get(), image.get(), encoder.get(), nullptr, nullptr)
            .code != heif_error_Ok)
        return {};
    std::vector<uint8_t> bytes;
    heif_writer writer{1, AppendBytes};
    if (heif_context_write(context.get(), &writer, &bytes).code != heif_error_Ok) return {};
    return bytes;
}

const std::vector<uint8_t>& HeicPhoto(benchmark::State& state) {
    static std::map<int64_t, std::vector<uint8_t>> files;
    const int64_t index = state.range(0);
    auto found = files.find(index);
    if (found == files.end())
        found = files
                    .emplace(index, EncodePhoto(std::filesystem::path(PICTORRA_SHARED_DIR) /
                                                "photos" / kPhotos[index]))
                    .first;
    if (found->second.empty()) state.SkipWithError("shared photos or HEVC encoder not present");
    state.SetLabel(kPhotos[index]);
    return found->second;
}

void BM_LibheifDecodeRgb(benchmark::State& state) {
    const std::vector<uint8_t>& heic = HeicPhoto(state);
    if (heic.empty()) return;
    for (auto _ : state) {
        const Owned<heif_context> context(heif_context_alloc());
        heif_context_read_from_memory_without_copy(context.get(), heic.data(), heic.size(),
                                                   nullptr);
        heif_image_handle* raw_handle = nullptr;
        heif_context_get_primary_image_handle(context.get(), &raw_handle);
        const Owned<heif_image_handle> handle(raw_handle);
        heif_image* raw_image = nullptr;
        if (heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB,
                              heif_chroma_interleaved_RGB, nullptr)
                .code != heif_error_Ok) {
            state.SkipWithError("decode failed");
            return;
        }
        const Owned<heif_image> image(raw_image);
        benchmark::DoNotOptimize(
            heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, nullptr));
    }
}

void BM_LoadHeic(benchmark::State& state) {
    const std::vector<uint8_t>& heic = HeicPhoto(state);
    if (heic.empty()) return;
    for (auto _ : state) {
        cImage img;
        if (img.LoadPictureData(heic, "heic") != pictorra::image::kDibOk) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(img.DIBitsPtr());
    }
}

void Photos(benchmark::internal::Benchmark* b) {
    b->DenseRange(0, int(std::size(kPhotos)) - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_LibheifDecodeRgb)->Apply(Photos);
BENCHMARK(BM_LoadHeic)->Apply(Photos);

}  // namespace
