#include "shell/drop_sound.h"

#include <alsa/asoundlib.h>

#include <cstdint>
#include <memory>

#include "shell/file_ops.h"

namespace pictorra::shell {
namespace {

// How much sound ALSA may buffer ahead, in microseconds.
constexpr unsigned kLatencyMicroseconds = 100000;
constexpr int kMaxRecoveries = 3;

struct PcmClose {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmClose>;

// alsa-lib prints its complaints (no card, unknown device) straight to stderr; a desktop program
// that plays a courtesy sound must not, so the messages go nowhere.
void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

PcmHandle OpenPlayback(const std::string& device) {
    snd_lib_error_set_handler(QuietAlsaError);
    snd_pcm_t* raw = nullptr;
    // Non-blocking, so that a device held by another program gives EBUSY at once instead of
    // waiting for it to be released.
    if (snd_pcm_open(&raw, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        return nullptr;
    }
    PcmHandle pcm{raw};
    // From here on writes wait for room and drain waits for the end: the caller expects to
    // continue only when the sound has been heard.
    if (snd_pcm_nonblock(pcm.get(), 0) < 0) return nullptr;
    return pcm;
}

}  // namespace

DropSoundState GetDropSoundState(const std::string& sound_path, const std::string& muted_path) {
    if (FileExists(sound_path)) return DropSoundState::kOn;
    if (FileExists(muted_path)) return DropSoundState::kOff;
    return DropSoundState::kUnavailable;
}

void SwitchDropSound(bool on, const std::string& sound_path, const std::string& muted_path) {
    const std::string& from = on ? muted_path : sound_path;
    const std::string& to = on ? sound_path : muted_path;
    if (FileExists(from)) MoveFileOver(from, to);
}

bool PlayWavSound(const WavSound& sound, const std::string& device) {
    const std::size_t frame_bytes = sound.FrameBytes();
    if (frame_bytes == 0 || sound.Frames() == 0) return false;
    const snd_pcm_format_t format =
        sound.bits_per_sample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;

    const PcmHandle pcm = OpenPlayback(device);
    if (!pcm) return false;
    if (snd_pcm_set_params(pcm.get(), format, SND_PCM_ACCESS_RW_INTERLEAVED, sound.channels,
                           sound.sample_rate, 1, kLatencyMicroseconds) < 0) {
        return false;
    }
    const uint8_t* next = sound.samples.data();
    snd_pcm_uframes_t left = sound.Frames();
    int recoveries = 0;
    while (left > 0) {
        snd_pcm_sframes_t written = snd_pcm_writei(pcm.get(), next, left);
        if (written < 0) {
            // An underrun (the sound card ran dry while we were scheduled out) or a suspend is
            // recoverable a few times; anything else ends the sound.
            if (++recoveries > kMaxRecoveries) return false;
            if (snd_pcm_recover(pcm.get(), static_cast<int>(written), 1) < 0) return false;
            continue;
        }
        next += static_cast<std::size_t>(written) * frame_bytes;
        left -= static_cast<snd_pcm_uframes_t>(written);
    }
    return snd_pcm_drain(pcm.get()) >= 0;
}

bool PlayDropSound(const std::string& sound_path) {
    if (!FileExists(sound_path)) return false;
    WavSound sound;
    if (ReadWavFile(sound_path, sound) != WavStatus::kOk) return false;
    return PlayWavSound(sound, "default");
}

}  // namespace pictorra::shell
