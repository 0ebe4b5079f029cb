#pragma once
// Reads a WAVE file for playback, treating it as hostile: only uncompressed PCM, 8 or 16 bits a
// sample, one or two channels, is accepted, and every size the file claims is checked against the
// bytes actually present before anything is copied.
//
// The layout understood: "RIFF" size "WAVE", then chunks (four-letter id, 32-bit little-endian
// size, data, one pad byte after an odd size). The "fmt " chunk must come before "data"; other
// chunks are skipped. A RIFF size beyond the end of the file, or a chunk running past the RIFF
// size, is damage and is refused; bytes after the RIFF size are ignored. A missing pad byte at the
// very end is tolerated, as many writers forget it.
//
// No function throws; a failure is a WavStatus and leaves `out` empty.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pictorra::shell {

// Largest file read: a drop sound is a fraction of a second, so anything bigger is not one.
inline constexpr std::size_t kMaxWavFileBytes = 8u << 20;

// Sample rates accepted, in frames a second.
inline constexpr uint32_t kMinWavRate = 4000;
inline constexpr uint32_t kMaxWavRate = 192000;

struct WavSound {
    uint16_t channels = 0;         // 1 or 2
    uint16_t bits_per_sample = 0;  // 8 (unsigned) or 16 (signed little-endian)
    uint32_t sample_rate = 0;      // frames a second
    std::vector<uint8_t> samples;  // interleaved frames, whole frames only

    std::size_t FrameBytes() const { return std::size_t{channels} * bits_per_sample / 8; }
    std::size_t Frames() const { return FrameBytes() == 0 ? 0 : samples.size() / FrameBytes(); }
};

enum class [[nodiscard]] WavStatus{
    kOk,
    kUnreadable,         // the file cannot be opened or read
    kTooLarge,           // the file is larger than kMaxWavFileBytes
    kNotWave,            // no "RIFF....WAVE" header
    kTruncated,          // a size points past the end of the file or of the RIFF chunk
    kBadFormatChunk,     // "fmt " too short, repeated, or inconsistent with itself
    kUnsupportedFormat,  // not PCM, or a channel count, sample size or rate we do not play
    kNoFormat,           // "data" before any "fmt " chunk, or no "fmt " at all
    kNoData,             // no "data" chunk, or one without a whole frame
};

// Text for a status, for logs and tests.
const char* WavStatusText(WavStatus status);

// Parses a whole file held in memory.
WavStatus ParseWav(std::span<const uint8_t> bytes, WavSound& out);

// Reads the file (at most kMaxWavFileBytes) and parses it.
WavStatus ReadWavFile(const std::string& path, WavSound& out);

}  // namespace pictorra::shell
