"""Speech (espeak-ng) and music (MIDI written here, rendered by fluidsynth) for the
classifier's evaluation set."""

import os
import struct
import subprocess
import sys
import tempfile

import numpy as np

from evalset_synth import read_audio

SOUNDFONT_CANDIDATES = ["/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2"]

# ---------------------------------------------------------------- speech (espeak-ng)

SENTENCES = [
    "I think we should leave a little earlier tomorrow, the traffic was terrible today.",
    "Could you send me the report before the meeting on Thursday afternoon?",
    "The weather forecast says it will rain for most of the weekend.",
    "She opened the window and listened to the birds in the garden.",
    "Remember to switch off the lights and lock the back door.",
    "We walked along the river until the sun went down behind the hills.",
    "The new version of the program starts faster and uses less memory.",
    "My grandmother used to tell us stories about the old harbour town.",
    "Please read the instructions carefully before you begin the exam.",
    "There is a small cafe on the corner that sells wonderful bread.",
    "Der Zug nach Berlin hat heute leider zwanzig Minuten Verspaetung.",
    "Nous avons passe une tres belle soiree chez nos amis a la campagne.",
    "El mercado abre temprano y cierra a las dos de la tarde.",
]
VOICES = [("en-us", "en"), ("en-gb", "en"), ("en-us+f3", "en"), ("en-us+m3", "en"), ("en-gb+f2", "en"),
          ("en-us+m7", "en"), ("en+f5", "en"), ("en-gb-scotland", "en"), ("de+m2", "de"), ("fr+f1", "fr"),
          ("es+m4", "es")]


def espeak(rng, rate, seconds, whisper):
    parts = []
    total = 0.0
    with tempfile.TemporaryDirectory() as d:
        i = 0
        while total < seconds:
            voice, lang = VOICES[rng.integers(len(VOICES))]
            if whisper:
                voice = voice.split("+")[0] + rng.choice(["+whisper", "+whisperf"])
            pool = [s for s in SENTENCES if (lang == "en") == s.isascii() and not s.startswith(("Der", "Nous", "El"))]
            if lang != "en":
                pool = [s for s in SENTENCES if s.startswith({"de": "Der", "fr": "Nous", "es": "El"}[lang])]
            text = pool[rng.integers(len(pool))]
            path = os.path.join(d, f"s{i}.wav")
            subprocess.run(["espeak-ng", "-v", voice, "-s", str(int(rng.uniform(130, 190))), "-p",
                            str(int(rng.uniform(30, 70))), "-w", path, text], check=True)
            x = read_audio(path, rate)
            parts.append(x)
            pause = rng.uniform(0.15, 0.9)
            parts.append(np.zeros(int(pause * rate)))
            total += len(x) / rate + pause
            i += 1
    return np.concatenate(parts)


# ---------------------------------------------------------------- music (MIDI -> fluidsynth)

def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def midi_bytes(events, tempo_bpm, tpq=480):
    """events: (tick, bytes) list; returns a format-0 standard MIDI file."""
    track = bytearray()
    us = int(60_000_000 / tempo_bpm)
    track += vlq(0) + b"\xff\x51\x03" + us.to_bytes(3, "big")
    last = 0
    for tick, data in sorted(events, key=lambda e: (e[0], e[1][0] & 0xF0 != 0x80)):
        track += vlq(tick - last) + data
        last = tick
    track += vlq(0) + b"\xff\x2f\x00"
    return b"MThd" + struct.pack(">IHHH", 6, 0, 1, tpq) + b"MTrk" + struct.pack(">I", len(track)) + bytes(track)


PROGRAMS = [0, 1, 4, 11, 19, 24, 25, 46, 48, 52, 73, 89]  # pianos, vibes, organ, guitars, harp, strings, choir, flute, pad
PROGRESSIONS = [[0, 7, 9, 5], [0, 5, 7, 0], [9, 5, 0, 7], [0, 9, 5, 7], [2, 7, 0, 0]]
MAJOR = [0, 2, 4, 5, 7, 9, 11]


def compose(rng, seconds):
    tpq = 480
    tempo = rng.uniform(56, 132)
    beats = int(seconds * tempo / 60) + 4
    key = 48 + int(rng.integers(0, 12))
    lead, pad = rng.choice(PROGRAMS, 2, replace=False)
    drums = rng.random() < 0.4
    events = [(0, bytes([0xC0, int(lead)])), (0, bytes([0xC1, int(pad)])), (0, bytes([0xC2, 32]))]
    prog = PROGRESSIONS[rng.integers(len(PROGRESSIONS))]
    style = rng.integers(3)  # 0 block chords, 1 arpeggios, 2 melody over chords
    degree = 4
    for bar in range(beats // 4 + 1):
        root = key + prog[bar % len(prog)]
        chord = [root, root + (3 if prog[bar % len(prog)] in (2, 9) else 4), root + 7]
        start = bar * 4 * tpq
        vel = int(rng.uniform(50, 100))
        if style == 0 or style == 2:
            for note in chord:
                events += [(start, bytes([0x91, note, vel])), (start + 4 * tpq - 10, bytes([0x81, note, 0]))]
        if style == 1:
            for i in range(8):
                note = chord[i % 3] + 12 * (i // 3 % 2)
                s = start + i * tpq // 2
                events += [(s, bytes([0x90, note + 12, vel])), (s + tpq // 2 - 10, bytes([0x80, note + 12, 0]))]
        if style == 2:
            for i in range(4):
                degree = int(np.clip(degree + rng.integers(-2, 3), 0, 13))
                note = key + 12 + MAJOR[degree % 7] + 12 * (degree // 7)
                s = start + i * tpq
                events += [(s, bytes([0x90, note, vel + 10])), (s + tpq - 20, bytes([0x80, note, 0]))]
        events += [(start, bytes([0x92, root - 12, vel])), (start + 2 * tpq - 10, bytes([0x82, root - 12, 0]))]
        if drums:
            for i in range(4):
                s = start + i * tpq
                events += [(s, bytes([0x99, 36 if i % 2 == 0 else 38, 90])), (s + 100, bytes([0x89, 36 if i % 2 == 0 else 38, 0]))]
                events += [(s + tpq // 2, bytes([0x99, 42, 60])), (s + tpq // 2 + 60, bytes([0x89, 42, 0]))]
    return midi_bytes(events, tempo, tpq)


def render_music(rng, rate, seconds):
    soundfont = next((p for p in SOUNDFONT_CANDIDATES if os.path.exists(p)), None)
    if soundfont is None:
        sys.exit("make-evalset: no General MIDI soundfont (install fluid-soundfont-gm)")
    with tempfile.TemporaryDirectory() as d:
        mid = os.path.join(d, "song.mid")
        wav = os.path.join(d, "song.wav")
        with open(mid, "wb") as f:
            f.write(compose(rng, seconds))
        subprocess.run(["fluidsynth", "-ni", "-q", "-g", "0.5", "-r", str(rate), "-F", wav, soundfont, mid],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return read_audio(wav, rate)


