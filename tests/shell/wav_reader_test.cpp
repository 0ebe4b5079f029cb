// The WAVE reader against good files and one damaged file per check, and the built drop sound.
#include "shell/wav_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>

namespace pictorra::shell {
namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, uint32_t v, int width) {
    for (int i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct Chunk {
    std::string id;
    Bytes body;
    uint32_t claim = 0;  // the size written, when it is a lie
    bool pad = true;     // write the pad byte after an odd size
};

// "RIFF" size "WAVE" and the chunks; a riff_claim replaces the true RIFF size.
Bytes Riff(const std::vector<Chunk>& chunks, uint32_t riff_claim = 0, const char* form = "WAVE") {
    Bytes body(form, form + 4), b{'R', 'I', 'F', 'F'};
    for (const Chunk& c : chunks) {
        body.insert(body.end(), c.id.begin(), c.id.end());
        Put(body, c.claim ? c.claim : static_cast<uint32_t>(c.body.size()), 4);
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.pad && c.body.size() % 2 == 1) body.push_back(0);
    }
    Put(b, riff_claim ? riff_claim : static_cast<uint32_t>(body.size()), 4);
    return b.insert(b.end(), body.begin(), body.end()), b;
}

// A self-consistent format chunk, with `extra` zero bytes after the 16 that matter.
Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int extra = 0) {
    Bytes b;
    Put(b, tag, 2), Put(b, channels, 2), Put(b, rate, 4), Put(b, rate * channels * bits / 8, 4);
    return Put(b, channels * bits / 8, 2), Put(b, bits, 2), b.resize(b.size() + extra), b;
}
const Bytes kFmt16 = Fmt(1, 1, 22050, 16);
Bytes With(Bytes b, std::size_t at, uint8_t value) { return b[at] = value, b; }
Bytes Samples(std::size_t n) {  // distinct bytes, so a misplaced copy shows
    Bytes b(n);
    return std::iota(b.begin(), b.end(), uint8_t{1}), b;
}

Bytes Wave(const Bytes& fmt, std::size_t data = 8, uint32_t riff_claim = 0) {
    return Riff({{"fmt ", fmt}, {"data", Samples(data)}}, riff_claim);
}

struct Row {
    const char* name;
    Bytes file;
    WavStatus want;
    std::size_t frames = 0;  // when kOk, holding Samples(frames * frame bytes)
};

using enum WavStatus;
const Row kRows[] = {
    {"Mono8LowestRate", Wave(Fmt(1, 1, kMinWavRate, 8), 3), kOk, 3},
    {"Stereo16HighestRateLongFmtPartFrame", Wave(Fmt(1, 2, kMaxWavRate, 16, 2), 10), kOk, 2},
    {"OddChunksPadded",
     Riff({{"LIST", Samples(3)}, {"fmt ", kFmt16}, {"data", Samples(5), 0, false}}), kOk, 2},
    {"TailIgnored", Riff({{"fmt ", kFmt16}, {"data", Samples(4)}, {"JUNK", {}}}, 40), kOk, 2},
    {"OverTheCap", Bytes(kMaxWavFileBytes + 1), kTooLarge},
    {"HeaderCutShort", Bytes{'R', 'I', 'F', 'F'}, kNotWave},
    {"NotWaveForm", Riff({{"fmt ", kFmt16}}, 0, "AVI "), kNotWave},
    {"RiffSizeHuge", Wave(kFmt16, 8, 0xFFFFFFFF), kTruncated},
    {"RiffSizeTooSmall", Wave(kFmt16, 8, 2), kTruncated},
    {"RiffEndsInChunkHeader", Wave(kFmt16, 8, 30), kTruncated},
    {"RiffEndsInData", Wave(kFmt16, 8, 36), kTruncated},
    {"DataSizeHuge", Riff({{"fmt ", kFmt16}, {"data", Samples(8), 0xFFFFFFF0}}), kTruncated},
    {"FmtTooShort", Wave(Bytes(14)), kBadFormatChunk},
    {"FmtTwice", Riff({{"fmt ", kFmt16}, {"fmt ", kFmt16}, {"data", Samples(4)}}), kBadFormatChunk},
    {"BlockAlignWrong", Wave(With(kFmt16, 12, 4)), kBadFormatChunk},
    {"ByteRateWrong", Wave(With(kFmt16, 8, 1)), kBadFormatChunk},
    {"NotPcm", Wave(Fmt(3, 1, 22050, 16)), kUnsupportedFormat},
    {"Bits24", Wave(Fmt(1, 1, 22050, 24)), kUnsupportedFormat},
    {"Bits0", Wave(Fmt(1, 1, 22050, 0)), kUnsupportedFormat},
    {"Channels0", Wave(Fmt(1, 0, 22050, 16)), kUnsupportedFormat},
    {"Channels3", Wave(Fmt(1, 3, 22050, 16)), kUnsupportedFormat},
    {"RateTooLow", Wave(Fmt(1, 1, kMinWavRate - 1, 8)), kUnsupportedFormat},
    {"RateTooHigh", Wave(Fmt(1, 1, kMaxWavRate + 1, 8)), kUnsupportedFormat},
    {"DataBeforeFmt", Riff({{"data", Samples(4)}, {"fmt ", kFmt16}}), kNoFormat},
    {"NoFmt", Riff({{"LIST", Samples(4)}}), kNoFormat},
    {"NoData", Riff({{"fmt ", kFmt16}}), kNoData},
    {"OddChunkPadMissingAtEnd", Riff({{"fmt ", kFmt16}, {"LIST", Samples(3), 0, false}}), kNoData},
    {"DataUnderAFrame", Wave(kFmt16, 1), kNoData},
};

TEST(ParseWav, GoodFilesAndEachKindOfDamage) {
    for (const Row& row : kRows) {
        WavSound sound;
        sound.samples = {1, 2, 3};  // stale: must be cleared on failure
        EXPECT_STREQ(WavStatusText(ParseWav(row.file, sound)), WavStatusText(row.want)) << row.name;
        EXPECT_EQ(sound.Frames(), row.frames) << row.name;
        EXPECT_EQ(sound.samples, Samples(row.frames * sound.FrameBytes())) << row.name;
    }
}

// The sound the build makes: short, soft, and starting and ending in silence so it never clicks.
TEST(BuiltDropSound, IsShortSoftAndQuietAtBothEnds) {
    WavSound s;
    ASSERT_EQ(ReadWavFile(PICTORRA_DROP_SOUND, s), kOk);
    ASSERT_EQ(s.FrameBytes(), 2u);  // 16-bit mono
    std::vector<int16_t> pcm(s.Frames());
    std::memcpy(pcm.data(), s.samples.data(), s.samples.size());  // both little-endian
    const auto level = [](int16_t v) { return std::abs(v); };
    const int peak = level(std::ranges::max(pcm, {}, level));
    EXPECT_NEAR(static_cast<double>(s.Frames()) / s.sample_rate, 0.275, 0.125);
    EXPECT_TRUE(peak > 32767 / 10 && peak < 32767 / 2) << "audible but soft: " << peak;
    EXPECT_LT(std::max(level(pcm.front()), level(pcm.back())), 200) << "starts and ends in silence";
}

}  // namespace
}  // namespace pictorra::shell
