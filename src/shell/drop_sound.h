#pragma once
// The drop sound: a short WAVE file beside the program, played synchronously through ALSA when the
// main window takes in a file or folder. The user switches it off by renaming the file to its
// muted name and on by renaming it back; which name exists is the only record of the choice.
//
// Playing never reports an error: a missing, damaged or unsupported file, no sound device, or a
// device that is busy all mean silence, reached within about a second, and nothing is printed
// (alsa-lib's own messages to stderr are silenced for the process).

#include <string>

#include "shell/wav_reader.h"

namespace pictorra::shell {

inline constexpr char kDropSoundName[] = "thwoop.wav";
inline constexpr char kMutedDropSoundName[] = "nothwoop.wav";

// On: the sound file exists. Off: only the muted file exists. Unavailable: neither exists (the
// settings dialog grays its sound box).
enum class DropSoundState { kOn, kOff, kUnavailable };
DropSoundState GetDropSoundState(const std::string& sound_path, const std::string& muted_path);

// The user's choice, applied at once by renaming: switching off moves the sound file to its muted
// name (replacing a muted file that may be there too), switching on moves it back. Nothing
// happens when the file to move is missing; a move that fails leaves both files as they were.
void SwitchDropSound(bool on, const std::string& sound_path, const std::string& muted_path);

// Plays the file at sound_path when it is an existing regular file, and returns when the sound
// has finished. True when something was played.
bool PlayDropSound(const std::string& sound_path);

// Plays decoded samples on the named ALSA device ("default", or "null" to exercise the whole path
// without hardware) and waits until they have been played. False, silently, when the device
// cannot be opened within the non-blocking open, refuses the format, or fails while writing.
bool PlayWavSound(const WavSound& sound, const std::string& device);

}  // namespace pictorra::shell
