// The WAVE reader against good files and every kind of damage a hostile file can carry, and the
// drop sound that the build synthesises.
#include "shell/wav_reader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pictorra::shell {

void PrintTo(WavStatus status, std::ostream* os) { *os << WavStatusText(status); }

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

struct Chunk {
    std::string id;
    Bytes body;
    std::optional<uint32_t> claimed_size = {};  // a lie about the size, when set
    bool pad = true;                            // write the pad byte after an odd size
};

Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes b;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * bits / 8);
    Put16(b, channels * bits / 8);
    Put16(b, bits);
    return b;
}
Bytes Pcm16Mono() { return Fmt(1, 1, 22050, 16); }
Bytes Samples(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7);
    return b;
}

Bytes Riff(const std::vector<Chunk>& chunks, std::optional<uint32_t> riff_claim = {},
           const char* form = "WAVE") {
    Bytes body(form, form + 4);
    for (const Chunk& c : chunks) {
        body.insert(body.end(), c.id.begin(), c.id.end());
        Put32(body, c.claimed_size.value_or(static_cast<uint32_t>(c.body.size())));
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.pad && c.body.size() % 2 == 1) body.push_back(0);
    }
    Bytes file{'R', 'I', 'F', 'F'};
    Put32(file, riff_claim.value_or(static_cast<uint32_t>(body.size())));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes Good() { return Riff({{"fmt ", Pcm16Mono()}, {"data", Samples(8)}}); }
Bytes CutShort() {
    Bytes b = Good();
    b.resize(b.size() - 3);
    return b;
}
Bytes WithTrailingJunk() {
    Bytes b = Good();
    b.insert(b.end(), {'J', 'U', 'N', 'K', 0xFF, 0xFF, 0xFF, 0xFF});
    return b;
}
Bytes Overfmt(int offset, uint16_t value) {
    Bytes f = Pcm16Mono();
    f[offset] = value & 0xFF;
    f[offset + 1] = value >> 8;
    return f;
}

struct Row {
    const char* name;
    Bytes file;
    WavStatus want;
    std::size_t frames = 0;  // when kOk
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class ParseWavTable : public testing::TestWithParam<Row> {};

TEST_P(ParseWavTable, Status) {
    const Row& row = GetParam();
    WavSound sound;
    sound.samples = {1, 2, 3};  // must be cleared on failure
    EXPECT_EQ(ParseWav(row.file, sound), row.want);
    EXPECT_EQ(sound.Frames(), row.frames);
    if (row.want != WavStatus::kOk) {
        EXPECT_TRUE(sound.samples.empty());
    }
}

const Row kRows[] = {
    {"Mono16", Good(), WavStatus::kOk, 4},
    {"Stereo8", Riff({{"fmt ", Fmt(1, 2, 8000, 8)}, {"data", Samples(6)}}), WavStatus::kOk, 3},
    {"OddChunkPadded", Riff({{"LIST", Samples(3)}, {"fmt ", Pcm16Mono()}, {"data", Samples(4)}}),
     WavStatus::kOk, 2},
    {"LongFmtWithExtraBytes",
     Riff({{"fmt ",
            [] {
                Bytes f = Pcm16Mono();
                f.insert(f.end(), {0, 0});
                return f;
            }()},
           {"data", Samples(4)}}),
     WavStatus::kOk, 2},
    {"OddDataNoPadAtEnd", Riff({{"fmt ", Pcm16Mono()}, {"data", Samples(5), {}, false}}),
     WavStatus::kOk, 2},
    {"TrailingJunkAfterRiff", WithTrailingJunk(), WavStatus::kOk, 4},
    {"Empty", {}, WavStatus::kNotWave},
    {"HeaderOnly", Bytes{'R', 'I', 'F', 'F'}, WavStatus::kNotWave},
    {"NotWaveForm", Riff({{"fmt ", Pcm16Mono()}}, {}, "AVI "), WavStatus::kNotWave},
    {"BigEndianRifx",
     [] {
         Bytes b = Good();
         b[3] = 'X';
         return b;
     }(),
     WavStatus::kNotWave},
    {"CutShortInData", CutShort(), WavStatus::kTruncated},
    {"RiffSizeHuge", Riff({{"fmt ", Pcm16Mono()}, {"data", Samples(8)}}, 0xFFFFFFFFu),
     WavStatus::kTruncated},
    {"RiffSizeTooSmall", Riff({{"fmt ", Pcm16Mono()}}, 2), WavStatus::kTruncated},
    {"RiffSizeEndsInsideChunkHeader", Riff({{"fmt ", Pcm16Mono()}, {"data", Samples(8)}}, 30),
     WavStatus::kTruncated},
    {"RiffSizeEndsInsideData", Riff({{"fmt ", Pcm16Mono()}, {"data", Samples(8)}}, 36),
     WavStatus::kTruncated},
    {"DataSizeHuge", Riff({{"fmt ", Pcm16Mono()}, {"data", Samples(8), 0xFFFFFFF0u}}),
     WavStatus::kTruncated},
    {"UnknownChunkSizeHuge",
     Riff({{"fmt ", Pcm16Mono()}, {"junk", Samples(2), 0x7FFFFFFFu}, {"data", Samples(4)}}),
     WavStatus::kTruncated},
    {"FmtTooShort", Riff({{"fmt ", Bytes(14)}, {"data", Samples(4)}}), WavStatus::kBadFormatChunk},
    {"FmtTwice", Riff({{"fmt ", Pcm16Mono()}, {"fmt ", Pcm16Mono()}, {"data", Samples(4)}}),
     WavStatus::kBadFormatChunk},
    {"BlockAlignWrong", Riff({{"fmt ", Overfmt(12, 4)}, {"data", Samples(4)}}),
     WavStatus::kBadFormatChunk},
    {"ByteRateWrong", Riff({{"fmt ", Overfmt(8, 1)}, {"data", Samples(4)}}),
     WavStatus::kBadFormatChunk},
    {"Float32", Riff({{"fmt ", Fmt(3, 1, 22050, 32)}, {"data", Samples(8)}}),
     WavStatus::kUnsupportedFormat},
    {"Extensible", Riff({{"fmt ", Fmt(0xFFFE, 1, 22050, 16)}, {"data", Samples(8)}}),
     WavStatus::kUnsupportedFormat},
    {"Adpcm", Riff({{"fmt ", Fmt(2, 1, 22050, 16)}, {"data", Samples(8)}}),
     WavStatus::kUnsupportedFormat},
    {"Pcm24", Riff({{"fmt ", Fmt(1, 1, 22050, 24)}, {"data", Samples(6)}}),
     WavStatus::kUnsupportedFormat},
    {"ThreeChannels", Riff({{"fmt ", Fmt(1, 3, 22050, 16)}, {"data", Samples(6)}}),
     WavStatus::kUnsupportedFormat},
    {"NoChannels", Riff({{"fmt ", Fmt(1, 0, 22050, 16)}, {"data", Samples(6)}}),
     WavStatus::kUnsupportedFormat},
    {"RateZero", Riff({{"fmt ", Fmt(1, 1, 0, 16)}, {"data", Samples(6)}}),
     WavStatus::kUnsupportedFormat},
    {"RateAbsurd", Riff({{"fmt ", Fmt(1, 1, 1000000, 16)}, {"data", Samples(6)}}),
     WavStatus::kUnsupportedFormat},
    {"DataBeforeFmt", Riff({{"data", Samples(4)}, {"fmt ", Pcm16Mono()}}), WavStatus::kNoFormat},
    {"NoFmtAtAll", Riff({{"LIST", Samples(4)}}), WavStatus::kNoFormat},
    {"NoData", Riff({{"fmt ", Pcm16Mono()}}), WavStatus::kNoData},
    {"DataLessThanAFrame", Riff({{"fmt ", Pcm16Mono()}, {"data", Samples(1)}}), WavStatus::kNoData},
    {"OverTheCap",
     [] {
         Bytes b = Good();
         b.resize(kMaxWavFileBytes + 1);
         return b;
     }(),
     WavStatus::kTooLarge},
};

INSTANTIATE_TEST_SUITE_P(Files, ParseWavTable, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

TEST(ParseWav, KeepsTheSamplesAndTheFormat) {
    WavSound sound;
    ASSERT_EQ(ParseWav(Riff({{"fmt ", Fmt(1, 2, 44100, 16)}, {"data", Samples(10)}}), sound),
              WavStatus::kOk);
    EXPECT_EQ(sound.channels, 2);
    EXPECT_EQ(sound.bits_per_sample, 16);
    EXPECT_EQ(sound.sample_rate, 44100u);
    // 10 bytes are two whole 4-byte frames; the 2 left over are not half a frame to play.
    const Bytes all = Samples(10);
    EXPECT_EQ(sound.samples, Bytes(all.begin(), all.begin() + 8));
}

class WavFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = (std::filesystem::temp_directory_path() / "pictorra-wav-XXXXXX").string();
        ASSERT_NE(mkdtemp(dir_.data()), nullptr);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const char* name, const Bytes& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::string dir_;
};

TEST_F(WavFiles, ReadsFromDiskAndRefusesWhatIsNotThere) {
    WavSound sound;
    EXPECT_EQ(ReadWavFile(Write("good.wav", Good()), sound), WavStatus::kOk);
    EXPECT_EQ(sound.Frames(), 4u);
    EXPECT_EQ(ReadWavFile(dir_ + "/missing.wav", sound), WavStatus::kUnreadable);
    EXPECT_EQ(ReadWavFile(dir_, sound), WavStatus::kUnreadable);  // a folder
    Bytes big = Good();
    big.resize(kMaxWavFileBytes + 100000);
    EXPECT_EQ(ReadWavFile(Write("big.wav", big), sound), WavStatus::kTooLarge);
    EXPECT_TRUE(sound.samples.empty());
}

// The sound the build makes: soft, short, and starting and ending in silence so it never clicks.
TEST(BuiltDropSound, IsAShortSoftMonoSound) {
    WavSound sound;
    ASSERT_EQ(ReadWavFile(PICTORRA_DROP_SOUND, sound), WavStatus::kOk);
    EXPECT_EQ(sound.channels, 1);
    EXPECT_EQ(sound.bits_per_sample, 16);
    const double seconds = static_cast<double>(sound.Frames()) / sound.sample_rate;
    EXPECT_GT(seconds, 0.15);
    EXPECT_LT(seconds, 0.4);
    std::vector<int> s(sound.Frames());
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<int16_t>(sound.samples[2 * i] | (sound.samples[2 * i + 1] << 8));
    }
    const int peak = std::abs(*std::max_element(
        s.begin(), s.end(), [](int a, int b) { return std::abs(a) < std::abs(b); }));
    EXPECT_GT(peak, 32767 / 10) << "audible";
    EXPECT_LT(peak, 32767 / 2) << "soft";
    EXPECT_LT(std::abs(s.front()), 200);
    EXPECT_LT(std::abs(s.back()), 200);
}

}  // namespace
}  // namespace pictorra::shell
