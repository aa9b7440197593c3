#!/usr/bin/python3
"""Synthesises a 20-minute "falling asleep" recording for the end-to-end detection test.

0-300 s    awake: speech (espeak-ng, several voices) and bursts of keyboard typing
300-1200 s quiet breathing at a fixed rate (13/min by default, +-3 % jitter): a soft inhale
           and a louder exhale, over a quiet room's noise floor
900-1200 s occasional snoring: every fourth breath's exhale is a low, buzzing snore

With --awake-evening the whole recording is an evening at the desk instead: speech, bursts of
typing and music (chords and a melody of decaying harmonic notes) one after another, with
nobody falling asleep.

Mono 16-bit WAV at 16 kHz. Everything comes from a fixed seed, so the file is the same on every
run with the same espeak-ng.

Usage: make_falling_asleep.py OUT.wav [--rate-per-min 13] [--seed 7] [--minutes 20] [--awake-evening]
"""

import argparse
import os
import subprocess
import tempfile
import wave

import numpy as np

FS = 16000

SENTENCES = [
    "Right, let me just finish this email before I go to bed.",
    "Did you remember to set the alarm for seven tomorrow morning?",
    "The meeting moved to Thursday, so I have a little more time.",
    "I will read one more page and then turn off the light.",
    "Can you hear the rain outside? It started an hour ago.",
    "Okay, saving the document now. Good night, everyone.",
]
VOICES = ["en+m3", "en+f2", "en-us+m1", "en+f4"]


def speech_clip(text, voice, speed):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "s.wav")
        subprocess.run(["espeak-ng", "-v", voice, "-s", str(speed), "-w", path, text], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with wave.open(path) as w:
            rate = w.getframerate()
            data = np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16).astype(np.float64) / 32768
            if w.getnchannels() > 1:
                data = data[:: w.getnchannels()]
    t_out = np.arange(int(len(data) * FS / rate)) / FS
    return np.interp(t_out, np.arange(len(data)) / rate, data)


def pink(n, rng):
    """Pink-ish noise by filtering white noise in the frequency domain (1/sqrt(f))."""
    spectrum = np.fft.rfft(rng.standard_normal(n))
    f = np.fft.rfftfreq(n, 1 / FS)
    f[0] = f[1]
    spectrum /= np.sqrt(f)
    x = np.fft.irfft(spectrum, n)
    return x / np.sqrt(np.mean(x**2))


def band_noise(n, lo, hi, rng):
    spectrum = np.fft.rfft(rng.standard_normal(n))
    f = np.fft.rfftfreq(n, 1 / FS)
    spectrum[(f < lo) | (f > hi)] = 0
    x = np.fft.irfft(spectrum, n)
    return x / max(np.sqrt(np.mean(x**2)), 1e-12)


def typing_burst(seconds, rng):
    n = int(seconds * FS)
    out = np.zeros(n)
    t = 0.0
    while t < seconds - 0.05:
        i = int(t * FS)
        click_len = int(0.012 * FS)
        click = rng.standard_normal(click_len) * np.exp(-np.arange(click_len) / (0.0025 * FS))
        click = np.diff(click, prepend=0.0)  # bright
        out[i : i + click_len] += click * rng.uniform(0.15, 0.35)
        t += rng.uniform(0.09, 0.26)
    return out


def breath(period, snore, rng):
    """One breath cycle of `period` seconds: soft inhale, short pause, louder exhale."""
    n = int(period * FS)
    out = np.zeros(n)
    inhale = int(1.2 * FS)
    env = np.sin(np.linspace(0, np.pi, inhale)) ** 2
    out[:inhale] += band_noise(inhale, 200, 2000, rng) * env * 0.0012
    start = int(1.45 * FS)
    exhale = int(1.0 * FS)
    env = np.sin(np.linspace(0, np.pi, exhale)) ** 1.5
    if snore:
        t = np.arange(exhale) / FS
        f0 = 55 + 6 * np.sin(2 * np.pi * 0.7 * t)
        pulses = np.sign(np.sin(2 * np.pi * np.cumsum(f0) / FS)) * 0.5 + 0.5
        buzz = np.convolve(pulses - pulses.mean(), np.hanning(40), mode="same")
        buzz += 0.3 * band_noise(exhale, 80, 600, rng) * np.std(buzz)
        sound = buzz / max(np.sqrt(np.mean(buzz**2)), 1e-12) * 0.012
    else:
        sound = band_noise(exhale, 100, 1200, rng) * 0.008
    end = min(n, start + exhale)
    out[start:end] += (sound * env)[: end - start]
    return out


def note(freq, seconds, rng):
    """A plucked or struck note: harmonics that decay, the upper ones faster."""
    t = np.arange(int(seconds * FS)) / FS
    out = np.zeros(len(t))
    for h in range(1, 9):
        if h * freq >= FS / 2:
            break
        decay = rng.uniform(1.5, 3.0) * h
        out += np.sin(2 * np.pi * h * freq * t * (1 + 0.0005 * h)) * np.exp(-decay * t) / h
    attack = np.minimum(1.0, t / 0.008)
    return out * attack


def music(seconds, rng):
    """Chords on the beat and a melody above them, at 70-120 beats per minute."""
    n = int(seconds * FS)
    out = np.zeros(n)
    beat = 60.0 / rng.uniform(70, 120)
    root = 110.0 * 2 ** (rng.integers(0, 12) / 12)
    progression = [0, 7, 9, 5]
    major = [0, 2, 4, 5, 7, 9, 11, 12]
    t, k = 0.0, 0
    while t < seconds - 0.5:
        step = progression[(k // 4) % 4]
        if k % 4 == 0:
            for interval in (0, 4, 7):
                x = note(root * 2 ** ((step + interval) / 12), 4 * beat, rng) * 0.25
                i = int(t * FS)
                out[i : i + len(x)] += x[: n - i]
        x = note(2 * root * 2 ** (major[rng.integers(0, len(major))] / 12), beat, rng) * 0.35
        i = int(t * FS)
        out[i : i + len(x)] += x[: n - i]
        t += beat * rng.choice([0.5, 1.0, 1.0, 2.0])
        k += 1
    return out / max(np.sqrt(np.mean(out**2)), 1e-12) * 0.03


def awake_evening(total, rng, signal):
    """Speech, typing and music one after another for the whole recording."""
    pos = int(0.5 * FS)
    k = 0
    while pos < total - FS:
        kind = k % 3
        if kind == 0:
            clip = np.concatenate([speech_clip(SENTENCES[(k + j) % len(SENTENCES)], VOICES[(k + j) % len(VOICES)],
                                               int(rng.integers(140, 175))) * 0.6 for j in range(3)])
        elif kind == 1:
            clip = typing_burst(rng.uniform(6, 15), rng)
        else:
            clip = music(rng.uniform(20, 40), rng)
        end = min(total, pos + len(clip))
        signal[pos:end] += clip[: end - pos]
        pos = end + int(rng.uniform(0.3, 2.0) * FS)
        k += 1


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--rate-per-min", type=float, default=13.0)
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--minutes", type=float, default=20.0)
    ap.add_argument("--awake-evening", action="store_true")
    args = ap.parse_args()
    rng = np.random.default_rng(args.seed)

    total = int(args.minutes * 60 * FS)
    if args.awake_evening:
        signal = pink(total, rng) * 0.0004
        awake_evening(total, rng, signal)
        write(args.out, signal)
        return
    awake_end = int(min(300, args.minutes * 60) * FS)
    snore_from = 900 * FS
    signal = pink(total, rng) * 0.0004  # the room's noise floor

    # Awake: speech and typing, alternating, with short pauses.
    pos = int(0.5 * FS)
    k = 0
    while pos < awake_end - FS:
        if k % 2 == 0:
            clip = speech_clip(SENTENCES[(k // 2) % len(SENTENCES)], VOICES[(k // 2) % len(VOICES)],
                               int(rng.integers(140, 175))) * 0.6
        else:
            clip = typing_burst(rng.uniform(4, 9), rng)
        end = min(awake_end, pos + len(clip))
        signal[pos:end] += clip[: end - pos]
        pos = end + int(rng.uniform(0.3, 1.2) * FS)
        k += 1

    # Asleep: breathing at the given rate, snoring on every fourth breath from 900 s.
    period = 60.0 / args.rate_per_min
    pos = awake_end + int(2 * FS)
    i = 0
    while pos < total:
        p = period * rng.uniform(0.97, 1.03)
        cycle = breath(p, pos >= snore_from and i % 4 == 0, rng)
        end = min(total, pos + len(cycle))
        signal[pos:end] += cycle[: end - pos]
        pos += len(cycle)
        i += 1

    write(args.out, signal)


def write(path, signal):
    pcm = np.clip(signal, -1, 1)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(FS)
        w.writeframes((pcm * 32767).astype(np.int16).tobytes())


if __name__ == "__main__":
    main()
