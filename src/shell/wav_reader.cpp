#include "shell/wav_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace pictorra::shell {
namespace {

constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kFormatChunkMinBytes = 16;
constexpr uint16_t kFormatPcm = 1;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
bool IdIs(const uint8_t* p, const char (&id)[5]) { return std::memcmp(p, id, 4) == 0; }

WavStatus ParseFormat(std::span<const uint8_t> chunk, WavSound& sound) {
    if (chunk.size() < kFormatChunkMinBytes) return WavStatus::kBadFormatChunk;
    const uint8_t* p = chunk.data();
    const uint16_t tag = Le16(p);
    const uint16_t channels = Le16(p + 2);
    const uint32_t rate = Le32(p + 4);
    const uint32_t byte_rate = Le32(p + 8);
    const uint16_t block_align = Le16(p + 12);
    const uint16_t bits = Le16(p + 14);
    if (tag != kFormatPcm) return WavStatus::kUnsupportedFormat;
    if (channels != 1 && channels != 2) return WavStatus::kUnsupportedFormat;
    if (bits != 8 && bits != 16) return WavStatus::kUnsupportedFormat;
    if (rate < kMinWavRate || rate > kMaxWavRate) return WavStatus::kUnsupportedFormat;
    // The frame size decides how the samples are cut; a file that contradicts itself about it
    // cannot be trusted for anything else either.
    const uint32_t frame = uint32_t{channels} * bits / 8;
    if (block_align != frame || byte_rate != rate * frame) return WavStatus::kBadFormatChunk;
    sound.channels = channels;
    sound.bits_per_sample = bits;
    sound.sample_rate = rate;
    return WavStatus::kOk;
}

}  // namespace

const char* WavStatusText(WavStatus status) {
    switch (status) {
        case WavStatus::kOk:
            return "ok";
        case WavStatus::kUnreadable:
            return "the file cannot be read";
        case WavStatus::kTooLarge:
            return "the file is too large for a sound";
        case WavStatus::kNotWave:
            return "not a WAVE file";
        case WavStatus::kTruncated:
            return "the file is cut short";
        case WavStatus::kBadFormatChunk:
            return "damaged format chunk";
        case WavStatus::kUnsupportedFormat:
            return "not 8- or 16-bit PCM, mono or stereo";
        case WavStatus::kNoFormat:
            return "no format chunk before the samples";
        case WavStatus::kNoData:
            return "no samples";
    }
    return "unknown";
}

WavStatus ParseWav(std::span<const uint8_t> bytes, WavSound& out) {
    out = WavSound{};
    if (bytes.size() > kMaxWavFileBytes) return WavStatus::kTooLarge;
    if (bytes.size() < 12 || !IdIs(bytes.data(), "RIFF") || !IdIs(bytes.data() + 8, "WAVE")) {
        return WavStatus::kNotWave;
    }
    // Sizes are compared as 64-bit values against what is present, so no claimed size can wrap.
    const uint64_t riff_size = Le32(bytes.data() + 4);
    if (riff_size < 4 || riff_size > bytes.size() - 8) return WavStatus::kTruncated;
    const std::span<const uint8_t> body =
        bytes.subspan(12, static_cast<std::size_t>(riff_size - 4));

    WavSound sound;
    bool have_format = false;
    std::size_t pos = 0;
    while (body.size() - pos >= kChunkHeaderBytes) {
        const uint8_t* header = body.data() + pos;
        const uint64_t size = Le32(header + 4);
        pos += kChunkHeaderBytes;
        if (size > body.size() - pos) return WavStatus::kTruncated;
        const std::span<const uint8_t> chunk = body.subspan(pos, static_cast<std::size_t>(size));
        if (IdIs(header, "fmt ")) {
            if (have_format) return WavStatus::kBadFormatChunk;
            if (const WavStatus s = ParseFormat(chunk, sound); s != WavStatus::kOk) return s;
            have_format = true;
        } else if (IdIs(header, "data")) {
            if (!have_format) return WavStatus::kNoFormat;
            const std::size_t whole = chunk.size() - chunk.size() % sound.FrameBytes();
            if (whole == 0) return WavStatus::kNoData;
            sound.samples.assign(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(whole));
            out = std::move(sound);
            return WavStatus::kOk;
        }
        // The pad byte after an odd size may be missing at the very end of the RIFF chunk.
        pos += static_cast<std::size_t>(size + (size & 1));
        if (pos > body.size()) pos = body.size();
    }
    // A few bytes left that cannot hold a chunk header: the RIFF size cuts a chunk short.
    if (pos < body.size()) return WavStatus::kTruncated;
    return have_format ? WavStatus::kNoData : WavStatus::kNoFormat;
}

WavStatus ReadWavFile(const std::string& path, WavSound& out) {
    out = WavSound{};
    struct FileClose {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, FileClose> file{std::fopen(path.c_str(), "rb")};
    if (!file) return WavStatus::kUnreadable;
    // Read in pieces up to one byte past the cap, so that an over-large file is recognised
    // without trusting a size reported for it and without allocating the whole cap up front.
    std::vector<uint8_t> bytes;
    uint8_t piece[64 * 1024];
    while (bytes.size() <= kMaxWavFileBytes) {
        const std::size_t got = std::fread(piece, 1, sizeof piece, file.get());
        bytes.insert(bytes.end(), piece, piece + got);
        if (got < sizeof piece) break;
    }
    if (std::ferror(file.get())) return WavStatus::kUnreadable;
    if (bytes.size() > kMaxWavFileBytes) return WavStatus::kTooLarge;
    return ParseWav(bytes, out);
}

}  // namespace pictorra::shell
