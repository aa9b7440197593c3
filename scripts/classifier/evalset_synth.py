"""Signal helpers and the synthesised sounds of the classifier's evaluation set (numpy and sox)."""

import subprocess
import tempfile

import numpy as np

RATES = [16000, 22050, 44100, 48000]


def db(x):
    return 10.0 ** (x / 20.0)


def rms(x):
    return float(np.sqrt(np.mean(x.astype(np.float64) ** 2) + 1e-20))


def set_rms(x, level_db):
    return x * (db(level_db) / rms(x))


def active_rms(x, rate):
    """RMS of the loudest quarter of 50 ms blocks: the level of the sound while it sounds."""
    m = max(1, int(0.05 * rate))
    blocks = x[: len(x) // m * m].reshape(-1, m)
    power = np.sort(np.mean(blocks.astype(np.float64) ** 2, axis=1))
    top = power[int(len(power) * 0.75):]
    return float(np.sqrt(np.mean(top) + 1e-20))


def set_active(x, rate, level_db):
    return x * (db(level_db) / active_rms(x, rate))


def shape(x, rate, gain_of_hz):
    """Filters x with the zero-phase frequency response gain_of_hz(freqs)."""
    spec = np.fft.rfft(x)
    freqs = np.fft.rfftfreq(len(x), 1.0 / rate)
    return np.fft.irfft(spec * gain_of_hz(freqs), len(x))


def band(lo, hi, order=2):
    """Smooth band-pass magnitude (Butterworth-like) between lo and hi Hz."""
    def g(f):
        f = np.maximum(f, 1e-3)
        hp = 1.0 / np.sqrt(1.0 + (lo / f) ** (2 * order)) if lo > 0 else 1.0
        lp = 1.0 / np.sqrt(1.0 + (f / hi) ** (2 * order)) if hi > 0 else 1.0
        return hp * lp
    return g


def resonance(f0, q, gain_db):
    def g(f):
        return 1.0 + (db(gain_db) - 1.0) / (1.0 + ((f - f0) / (f0 / q)) ** 2)
    return g


def colored_noise(rng, n, rate, exponent):
    """Noise with power proportional to f^-exponent (0 white, 1 pink, 2 brown)."""
    w = rng.standard_normal(n)
    return shape(w, rate, lambda f: 1.0 / np.maximum(f, 5.0) ** (exponent / 2.0))


def sox_noise(kind, seconds, rate, offset):
    """White, pink or brown noise from sox (repeatable), skipping `offset` seconds."""
    with tempfile.NamedTemporaryFile(suffix=".f32") as tmp:
        subprocess.run(["sox", "-R", "-n", "-r", str(rate), "-c", "1", "-t", "raw", "-e", "floating-point",
                        "-b", "32", tmp.name, "synth", str(seconds + offset), kind, "trim", str(offset)],
                       check=True)
        return np.fromfile(tmp.name, dtype="<f4").astype(np.float64)


def read_audio(path, rate):
    """Any file sox reads, as mono float at `rate`."""
    with tempfile.NamedTemporaryFile(suffix=".f32") as tmp:
        subprocess.run(["sox", "-G", path, "-t", "raw", "-e", "floating-point", "-b", "32", "-c", "1",
                        tmp.name, "rate", "-v", str(rate)], check=True)
        return np.fromfile(tmp.name, dtype="<f4").astype(np.float64)


def fit(x, n):
    if len(x) >= n:
        return x[:n]
    reps = int(np.ceil(n / max(1, len(x))))
    return np.tile(x, reps)[:n]


# ---------------------------------------------------------------- the room

def room_floor(rng, n, rate, level_db=None):
    """A bedroom's noise floor: the microphone's own white-ish hiss or a brownish/pinkish room
    rumble, an optional mains hum and a slow drift."""
    if level_db is None:
        level_db = rng.uniform(-72, -54)
    x = colored_noise(rng, n, rate, rng.uniform(0.0, 1.8))
    x = shape(x, rate, band(rng.uniform(20, 60), rng.uniform(5000, min(12000, rate / 2 - 100)), 1))
    x = set_rms(x, level_db)
    t = np.arange(n) / rate
    if rng.random() < 0.5:
        mains = rng.choice([50.0, 60.0])
        hum = sum(np.sin(2 * np.pi * mains * k * t + rng.uniform(0, 6.28)) / k ** 1.5 for k in (1, 2, 3))
        x += hum * db(level_db - rng.uniform(3, 12)) * 0.5
    drift = 1.0 + 0.15 * np.sin(2 * np.pi * t / rng.uniform(20, 60) + rng.uniform(0, 6.28))
    return x * drift


def room_reverb(rng, x, rate):
    """A short exponential room tail, convolved through the FFT."""
    rt = rng.uniform(0.15, 0.5)
    n = int(rt * rate)
    tail = rng.standard_normal(n) * np.exp(-6.9 * np.arange(n) / n)
    tail[0] = 1.0 / rng.uniform(0.05, 0.3)
    tail /= np.sqrt(np.sum(tail ** 2))
    size = len(x) + n
    y = np.fft.irfft(np.fft.rfft(x, size) * np.fft.rfft(tail, size), size)[: len(x)]
    return y


# ---------------------------------------------------------------- breathing and snoring

def breath_train(rng, n, rate, rpm, level_db, nasal):
    """Inhale/exhale noise bursts with jittered timing, shaped by a vocal-tract-like filter."""
    t_total = n / rate
    env = np.zeros(n)
    period = 60.0 / rpm
    t = rng.uniform(0, period)
    while t < t_total:
        # Inhale, a short turn, exhale, then whatever is left of the period is a pause
        # (from none at fast rates to half the period in slow, deep sleep).
        p = period * rng.uniform(0.88, 1.12)
        inhale = p * rng.uniform(0.2, 0.4)
        exhale = p * rng.uniform(0.25, 0.5)
        gap = p * rng.uniform(0.02, 0.12)
        for start, dur, amp in ((t, inhale, rng.uniform(0.4, 0.9)), (t + inhale + gap, exhale, 1.0)):
            a = int(start * rate)
            b = min(n, int((start + dur) * rate))
            if b <= a:
                continue
            k = np.arange(b - a) / (b - a)
            env[a:b] += amp * rng.uniform(0.7, 1.0) * np.sin(np.pi * k) ** rng.uniform(1.0, 2.5)
        t += p
    noise = rng.standard_normal(n)
    if nasal:
        g = lambda f: band(150, 1500, 2)(f) * resonance(rng.uniform(400, 900), 2.0, 6)(f)
    else:
        g = lambda f: band(300, rng.uniform(2500, 5000), 1)(f) * resonance(rng.uniform(900, 1800), 1.5, 8)(f)
    x = shape(noise, rate, g) * env
    return set_active(x, rate, level_db)


def snore_train(rng, n, rate, rpm, level_db):
    """Snores on the inhale: a jittered glottal/palatal pulse train (20-90 Hz) through low
    resonances, with breath noise; exhales stay soft."""
    t_total = n / rate
    x = np.zeros(n)
    period = 60.0 / rpm
    t = rng.uniform(0, period)
    f0_base = rng.uniform(25, 90)
    f1 = rng.uniform(150, 450)
    while t < t_total:
        p = period * rng.uniform(0.9, 1.1)
        dur = p * rng.uniform(0.25, 0.4)
        a = int(t * rate)
        b = min(n, int((t + dur) * rate))
        if b > a:
            m = b - a
            k = np.arange(m) / m
            f0 = f0_base * (1 + 0.15 * rng.standard_normal()) * (1 + 0.1 * np.sin(np.pi * k))
            phase = np.cumsum(f0 / rate) + 0.02 * np.cumsum(rng.standard_normal(m)) / np.sqrt(rate)
            pulses = (np.diff(np.floor(phase), prepend=0) > 0).astype(float)
            pulses *= rng.uniform(0.6, 1.0, m)
            buzz = shape(pulses, rate, lambda f: band(20, 1200, 2)(f) * resonance(f1, 2.5, 12)(f)
                         * resonance(f1 * 2.6, 3, 6)(f))
            hiss = shape(rng.standard_normal(m), rate, band(200, 2500, 1)) * 0.15
            env = np.sin(np.pi * k) ** 0.7 * rng.uniform(0.6, 1.0)
            seg = (buzz / (rms(buzz) + 1e-12) + hiss) * env
            x[a:b] += seg
        t += p
    return set_active(x, rate, level_db)


# ---------------------------------------------------------------- activity

def click(rng, rate, bright):
    m = int(rate * rng.uniform(0.006, 0.02))
    k = np.arange(m)
    c = rng.standard_normal(m) * np.exp(-k / (rate * rng.uniform(0.001, 0.004)))
    ring = np.sin(2 * np.pi * rng.uniform(1500, 5000) * k / rate) * np.exp(-k / (rate * 0.003))
    c = c + bright * ring
    return c


def typing(rng, n, rate, peak_db):
    x = np.zeros(n)
    t = rng.uniform(0, 0.3)
    speed = rng.uniform(3, 9)  # keys per second while a burst lasts
    bright = rng.uniform(0.2, 1.5)
    while t < n / rate - 0.2:
        burst = rng.integers(3, 25)
        for _ in range(burst):
            a = int(t * rate)
            for offset, amp in ((0.0, 1.0), (rng.uniform(0.05, 0.13), rng.uniform(0.3, 0.7))):
                c = click(rng, rate, bright) * amp * rng.uniform(0.5, 1.0)
                s = a + int(offset * rate)
                e = min(n, s + len(c))
                if s < n:
                    x[s:e] += c[: e - s]
            t += rng.exponential(1.0 / speed) + 0.04
            if rng.random() < 0.05:
                t += rng.uniform(0.3, 0.8)  # a space bar or a pause
        t += rng.uniform(0.2, 1.5)  # thinking
    x = shape(x, rate, band(rng.uniform(100, 600), rng.uniform(6000, rate / 2), 1))
    return x * (db(peak_db) / (np.max(np.abs(x)) + 1e-12))


def footsteps(rng, n, rate, peak_db):
    x = np.zeros(n)
    step = 1.0 / rng.uniform(1.4, 2.3)
    t = rng.uniform(0, step)
    thump_hz = rng.uniform(50, 140)
    while t < n / rate - 0.3:
        m = int(0.25 * rate)
        k = np.arange(m)
        thump = np.sin(2 * np.pi * thump_hz * k / rate) * np.exp(-k / (rate * rng.uniform(0.02, 0.06)))
        scuff = rng.standard_normal(m) * np.exp(-k / (rate * 0.015)) * rng.uniform(0.05, 0.4)
        seg = (thump + scuff) * rng.uniform(0.6, 1.0)
        a = int(t * rate)
        e = min(n, a + m)
        x[a:e] += seg[: e - a]
        t += step * rng.uniform(0.9, 1.1)
        if rng.random() < 0.08:
            t += rng.uniform(0.5, 2.0)  # standing still
    x = shape(x, rate, band(30, rng.uniform(1500, 5000), 1))
    return x * (db(peak_db) / (np.max(np.abs(x)) + 1e-12))


def laughter(rng, n, rate, peak_db):
    """Bouts of breathy voiced 'ha' syllables at 4-6 per second with falling pitch."""
    x = np.zeros(n)
    t = rng.uniform(0, 0.5)
    while t < n / rate - 1.0:
        syllables = rng.integers(4, 10)
        f0 = rng.uniform(180, 380)
        rate_hz = rng.uniform(4, 6.5)
        for s in range(syllables):
            dur = 1.0 / rate_hz * rng.uniform(0.5, 0.8)
            m = int(dur * rate)
            k = np.arange(m) / rate
            f = f0 * (1 - 0.03 * s) * (1 + 0.05 * np.sin(2 * np.pi * 7 * k))
            phase = 2 * np.pi * np.cumsum(f) / rate
            voiced = sum(np.sin(h * phase) / h for h in range(1, 12))
            breath = rng.standard_normal(m) * rng.uniform(0.3, 0.8)
            seg = voiced + breath
            seg = shape(seg, rate, lambda fr: resonance(rng.uniform(700, 1000), 4, 15)(fr)
                        * resonance(rng.uniform(1100, 1500), 5, 10)(fr) * band(100, 5000, 1)(fr))
            env = np.sin(np.pi * np.arange(m) / m) ** 0.8
            a = int(t * rate)
            if a >= n:  # a bout that runs past the clip's end
                break
            e = min(n, a + m)
            x[a:e] += (seg * env)[: e - a] * rng.uniform(0.6, 1.0)
            t += 1.0 / rate_hz
        t += rng.uniform(0.3, 2.0)
    return x * (db(peak_db) / (np.max(np.abs(x)) + 1e-12))



# ---------------------------------------------------------------- ambient noises

def ambient(rng, kind, n, rate):
    seconds = n / rate
    offset = round(float(rng.uniform(0, 30)), 3)
    if kind == "white_noise":
        x = sox_noise("whitenoise", seconds, rate, offset)
        return shape(x, rate, band(rng.uniform(20, 80), rng.uniform(0.8, 1.0) * rate / 2, 1))
    if kind == "pink_noise":
        return sox_noise(rng.choice(["pinknoise", "brownnoise"]), seconds, rate, offset)
    t = np.arange(n) / rate
    if kind == "rain":
        base = sox_noise("pinknoise", seconds, rate, offset)
        base = shape(base, rate, band(rng.uniform(300, 1200), rng.uniform(6000, rate / 2), 1))
        drops = np.zeros(n)
        count = int(seconds * rng.uniform(30, 300))
        pos = rng.integers(0, n - 200, count)
        for p in pos:
            m = int(rate * rng.uniform(0.001, 0.004))
            drops[p:p + m] += rng.standard_normal(m) * np.exp(-np.arange(m) / (m / 4)) * rng.uniform(0.2, 1)
        drops = shape(drops, rate, band(1000, rate / 2, 1))
        return base / rms(base) + drops / (rms(drops) + 1e-12) * rng.uniform(0.3, 0.8)
    if kind == "wind":
        base = sox_noise("brownnoise", seconds, rate, offset) + 0.3 * sox_noise("pinknoise", seconds, rate, offset + 7)
        gust = np.zeros(n)
        for _ in range(3):
            gust += np.sin(2 * np.pi * t / rng.uniform(3, 15) + rng.uniform(0, 6.28))
        env = 1.0 + rng.uniform(0.3, 0.7) * gust / 3
        low = shape(base, rate, band(40, rng.uniform(300, 800), 2))
        high = shape(base, rate, band(rng.uniform(500, 1200), 4000, 2))
        mix = np.clip(0.5 + 0.5 * np.sin(2 * np.pi * t / rng.uniform(5, 20)), 0, 1)
        return (low / rms(low) * (1 - 0.6 * mix) + high / rms(high) * mix) * env
    if kind == "ocean":
        base = sox_noise("pinknoise", seconds, rate, offset) + sox_noise("brownnoise", seconds, rate, offset + 3)
        base = shape(base, rate, band(30, rng.uniform(3000, 8000), 1))
        period = rng.uniform(7, 14)
        phase = (t / period + rng.uniform(0, 1)) % 1.0
        surge = np.where(phase < 0.25, phase / 0.25, np.exp(-(phase - 0.25) * rng.uniform(3, 6)))
        env = rng.uniform(0.25, 0.5) + surge
        return base / rms(base) * env
    raise ValueError(kind)


