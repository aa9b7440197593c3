# testenv:
# timeout: 420
# mirl-replay on odd audio generated here: 0 channels, 1 Hz, 384 and 768 kHz, 8 channels, one
# sample, no samples, silence, full-scale noise, NaN and infinite floats, bytes that are no
# audio, an empty file (damaged and truncated files: replay_bad_input). Each run ends by itself
# within its time and memory, with a session log that mirl-analyze reads (status 0) or one
# line on standard error (status 2), never a crash.
set -eu
replay="$MIRL_BINARY_DIR/bin/mirl-replay"
analyze="$MIRL_BINARY_DIR/bin/mirl-analyze"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir "$work/in"

python3 - "$work/in" <<'PY'
import math, os, random, struct, sys
out = sys.argv[1]
rng = random.Random(5)

def wav(name, rate, channels, frames, fmt=1, bits=16, sample=None, data_size=None):
    code = {(1, 8): "B", (1, 16): "h", (1, 32): "i", (3, 32): "f", (3, 64): "d"}[(fmt, bits)]
    values = [sample(i) for i in range(frames * max(channels, 1))] if sample else [0] * (frames * max(channels, 1))
    data = struct.pack("<%d%s" % (len(values), code), *values)
    block = channels * bits // 8
    size = len(data) if data_size is None else data_size
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", (36 + size) & 0xFFFFFFFF, b"WAVE", b"fmt ", 16, fmt,
                         channels, rate, rate * block, block, bits, b"data", size & 0xFFFFFFFF)
    with open(os.path.join(out, name), "wb") as f:
        f.write(header + data)

tone = lambda i: int(8000 * math.sin(i / 5.0))
wav("zero-channels.wav", 16000, 0, 1000)
wav("one-hertz.wav", 1, 1, 600, sample=tone)
wav("384k.wav", 384000, 1, 384000 * 3, sample=tone)
wav("768k.wav", 768000, 1, 768000, sample=tone)
wav("eight-channels.wav", 48000, 8, 48000 * 2, sample=tone)
wav("one-sample.wav", 44100, 1, 1, sample=tone)
wav("no-samples.wav", 44100, 1, 0)
wav("claims-4-GiB.wav", 16000, 1, 16000, sample=tone, data_size=0xFFFFFFF0)
wav("silence.wav", 8000, 1, 8000 * 90)
wav("full-scale-noise.wav", 16000, 2, 16000 * 60, sample=lambda i: rng.choice((-32768, 32767)))
odd = [float("nan"), float("inf"), -float("inf"), 1e-42, 3.4e38, -3.4e38, 0.0, 1.0]
wav("nan-inf-float.wav", 16000, 1, 16000 * 30, 3, 32, sample=lambda i: odd[i % len(odd)])
wav("huge-double.wav", 16000, 1, 16000 * 10, 3, 64, sample=lambda i: (1e300, -1e300, float("nan"))[i % 3])
wav("u8-dc.wav", 11025, 1, 11025 * 20, 1, 8, sample=lambda i: 255)
with open(os.path.join(out, "garbage.wav"), "wb") as f:
    f.write(bytes(rng.randrange(256) for _ in range(50000)))
open(os.path.join(out, "empty.m4a"), "wb").close()
PY
ffmpeg -v error -f lavfi -i "sine=frequency=300:sample_rate=16000:duration=20" -c:a aac -b:a 32k "$work/in/whole.m4a"
ffmpeg -v error -f lavfi -i "anoisesrc=sample_rate=8000:duration=5" -c:a flac "$work/in/noise.flac"

logs=0
for file in "$work/in"/*; do
    name=$(basename "$file")
    rm -rf "$work/out"
    set +e
    (ulimit -v 4000000; timeout 120 "$replay" "$file" --out "$work/out" >"$work/stdout" 2>"$work/err" </dev/null)
    status=$?
    set -e
    case $status in
    0)
        [ ! -s "$work/err" ] || fail "$name: status 0 with: $(head -c 300 "$work/err")"
        log=$(cut -f1 "$work/stdout")
        [ -f "$log" ] || fail "$name: no log at '$log'"
        tail -1 "$log" | grep -q '"event":"session_end"' || fail "$name: the log does not end the session"
        "$analyze" "$log" >/dev/null 2>"$work/err" || fail "$name: mirl-analyze refused the log: $(cat "$work/err")"
        logs=$((logs + 1))
        ;;
    2)
        [ "$(wc -l <"$work/err")" = 1 ] || fail "$name: not one line: $(head -c 500 "$work/err")"
        grep -q "^mirl-replay: " "$work/err" || fail "$name: $(cat "$work/err")"
        ;;
    124) fail "$name: still running after 120 s" ;;
    *) fail "$name: status $status: $(head -c 500 "$work/err")" ;;
    esac
done
[ "$logs" -ge 8 ] || fail "only $logs files replayed"
echo "mirl-replay: $logs files replayed, every other file refused in one line"
