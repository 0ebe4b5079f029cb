// Playing the drop sound: when the file is there it is played (or silence when the machine has
// no sound), when it is not nothing happens; either way within a second and without a word on
// stderr.
#include "shell/drop_sound.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace pictorra::shell {
namespace {

namespace fs = std::filesystem;

// Runs fn with file descriptor 2 sent to a temporary file, and returns what was written there.
std::string StderrOf(const std::function<void()>& fn) {
    char path[] = "/tmp/pictorra-stderr-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return "(cannot capture stderr)";
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(fd, 2);
    fn();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(fd);
    std::ifstream in(path);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    unlink(path);
    return text;
}

double SecondsOf(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class DropSound : public testing::Test {
protected:
    void SetUp() override {
        dir_ = (fs::temp_directory_path() / "pictorra-sound-XXXXXX").string();
        ASSERT_NE(mkdtemp(dir_.data()), nullptr);
        sound_ = dir_ + "/" + kDropSoundName;
        muted_ = dir_ + "/" + kMutedDropSoundName;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string dir_, sound_, muted_;
};

TEST_F(DropSound, StateFollowsWhichNameExists) {
    const struct {
        bool sound, muted;
        DropSoundState want;
    } rows[] = {
        {true, true, DropSoundState::kOn},
        {true, false, DropSoundState::kOn},
        {false, true, DropSoundState::kOff},
        {false, false, DropSoundState::kUnavailable},
    };
    for (const auto& row : rows) {
        fs::remove(sound_);
        fs::remove(muted_);
        if (row.sound) fs::copy_file(PICTORRA_DROP_SOUND, sound_);
        if (row.muted) fs::copy_file(PICTORRA_DROP_SOUND, muted_);
        EXPECT_EQ(GetDropSoundState(sound_, muted_), row.want)
            << "sound " << row.sound << " muted " << row.muted;
    }
    fs::create_directory(sound_ + ".d");
    EXPECT_EQ(GetDropSoundState(sound_ + ".d", muted_), DropSoundState::kUnavailable)
        << "a folder is not a sound";
}

// The muted file is only another name: with it alone nothing plays. Folders and damaged files
// play nothing either. None of this may print or take time.
TEST_F(DropSound, NothingToPlayIsQuietAndQuick) {
    fs::copy_file(PICTORRA_DROP_SOUND, muted_);
    std::ofstream(dir_ + "/damaged.wav") << "RIFF\x10\0\0\0WAVEfmt ";
    for (const std::string& path : {sound_, dir_, dir_ + "/damaged.wav", std::string()}) {
        bool played = true;
        std::string err;
        const double seconds =
            SecondsOf([&] { err = StderrOf([&] { played = PlayDropSound(path); }); });
        EXPECT_FALSE(played) << path;
        EXPECT_EQ(err, "") << path;
        EXPECT_LT(seconds, 0.2) << path;
    }
}

// On a machine without a sound device (the build machines) this is silence; on one with a device
// it is the quarter-second sound. Either way it is over within a second and prints nothing.
TEST_F(DropSound, PlayingReturnsWithinASecondWithoutPrinting) {
    fs::copy_file(PICTORRA_DROP_SOUND, sound_);
    std::string err;
    const double seconds = SecondsOf([&] { err = StderrOf([&] { (void)PlayDropSound(sound_); }); });
    EXPECT_LT(seconds, 1.0);
    EXPECT_EQ(err, "");
}

TEST(PlayWavSound, UnknownDeviceIsSilence) {
    WavSound sound;
    ASSERT_EQ(ReadWavFile(PICTORRA_DROP_SOUND, sound), WavStatus::kOk);
    bool played = true;
    const std::string err =
        StderrOf([&] { played = PlayWavSound(sound, "no_such_pictorra_device"); });
    EXPECT_FALSE(played);
    EXPECT_EQ(err, "");
}

// ALSA's "null" device takes the samples and discards them: the whole path from open to drain,
// for every format the reader accepts, without sound hardware.
TEST(PlayWavSound, EveryAcceptedFormatPlaysOnTheNullDevice) {
    const struct {
        uint16_t channels, bits;
        uint32_t rate;
    } rows[] = {{1, 8, 8000}, {2, 8, 11025}, {1, 16, 22050}, {2, 16, 44100}};
    for (const auto& row : rows) {
        WavSound sound;
        sound.channels = row.channels;
        sound.bits_per_sample = row.bits;
        sound.sample_rate = row.rate;
        sound.samples.assign(sound.FrameBytes() * row.rate / 20, 0x80);  // 50 ms
        bool played = false;
        const std::string err = StderrOf([&] { played = PlayWavSound(sound, "null"); });
        EXPECT_TRUE(played) << row.channels << " x " << row.bits << " bits at " << row.rate;
        EXPECT_EQ(err, "");
    }
    EXPECT_FALSE(PlayWavSound(WavSound{}, "null")) << "no samples, nothing to play";
}

}  // namespace
}  // namespace pictorra::shell
