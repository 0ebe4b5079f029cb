// The drop sound: its file names, silence without a word when there is no device, and playing.
#include "shell/drop_sound.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>

namespace pictorra::shell {
namespace {

// Only the sound file's own name plays: the muted name, a folder or no file at all is silence.
TEST(DropSound, OnlyTheSoundFilePlaysAndItsNameIsTheSetting) {
    std::string dir = "/tmp/pictorra-sound-XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    const std::string sound = dir + "/" + kDropSoundName, muted = dir + "/" + kMutedDropSoundName;
    EXPECT_EQ(GetDropSoundState(sound, muted), DropSoundState::kUnavailable);
    std::filesystem::copy_file(PICTORRA_DROP_SOUND, muted);
    EXPECT_EQ(GetDropSoundState(sound, muted), DropSoundState::kOff);
    for (const std::string& path : {sound, dir}) EXPECT_FALSE(PlayDropSound(path)) << path;
    std::filesystem::copy_file(PICTORRA_DROP_SOUND, sound);
    EXPECT_EQ(GetDropSoundState(sound, muted), DropSoundState::kOn);
    std::filesystem::remove_all(dir);
}

TEST(PlayWavSound, NoDeviceIsSilenceWithinASecondAndPrintsNothing) {
    const WavSound sound{
        .channels = 1, .bits_per_sample = 8, .sample_rate = 8000, .samples = {1, 2}};
    const auto start = std::chrono::steady_clock::now();
    testing::internal::CaptureStderr();  // alsa-lib would say "Unknown PCM" here
    EXPECT_FALSE(PlayWavSound(sound, "no_such_device"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// ALSA's "null" device takes the samples and discards them: the whole path from open to drain, for
// both sample sizes and channel counts, without sound hardware.
TEST(PlayWavSound, EveryAcceptedFormatPlaysOnTheNullDevice) {
    for (const uint16_t bits : {8, 16}) {  // mono 8-bit, stereo 16-bit
        WavSound sound;
        sound.channels = bits / 8, sound.bits_per_sample = bits, sound.sample_rate = 11025;
        sound.samples.assign(sound.FrameBytes() * 11025 / 20, 0x80);  // 50 ms
        EXPECT_TRUE(PlayWavSound(sound, "null")) << bits << " bits";
    }
}

}  // namespace
}  // namespace pictorra::shell
