#!/usr/bin/env python3
"""Synthesises the drop sound: a soft "thwoop" of about a quarter second.

The pitch falls quickly from 520 Hz to 170 Hz and rises again to 330 Hz, under a raised-cosine
attack and an exponential release, with a little second harmonic for body. The result is 16-bit
mono PCM at 22050 Hz, peaking at about a third of full scale so it never startles.

Usage: make_thwoop.py OUTPUT.wav
"""
import math
import struct
import sys
import wave

RATE = 22050
SECONDS = 0.25
PEAK = 0.33 * 32767


def pitch(t):
    """Instantaneous frequency in Hz at time t (0..1 of the sound): down, then up."""
    if t < 0.4:
        u = t / 0.4
        return 520.0 - (520.0 - 170.0) * (1.0 - (1.0 - u) ** 2)
    u = (t - 0.4) / 0.6
    return 170.0 + (330.0 - 170.0) * (u * u * (3.0 - 2.0 * u))


def envelope(t):
    """Loudness from 0 to 1: a 15 ms raised-cosine attack, then a smooth fade to silence."""
    attack = 0.015 / SECONDS
    if t < attack:
        return 0.5 - 0.5 * math.cos(math.pi * t / attack)
    decay = (t - attack) / (1.0 - attack)
    return math.exp(-2.2 * decay) * (0.5 + 0.5 * math.cos(math.pi * decay))


def samples():
    count = int(RATE * SECONDS)
    phase = 0.0
    for i in range(count):
        t = i / count
        phase += 2.0 * math.pi * pitch(t) / RATE
        tone = math.sin(phase) + 0.25 * math.sin(2.0 * phase)
        yield int(round(PEAK * envelope(t) * tone / 1.25))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    frames = b"".join(struct.pack("<h", s) for s in samples())
    with wave.open(sys.argv[1], "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


if __name__ == "__main__":
    main()
