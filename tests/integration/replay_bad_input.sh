# testenv:
# timeout: 300
# mirl-replay on damaged and undecodable files says what went wrong in one line of its own
# (FFmpeg's own lines stay out of it), and a log or output it could not write whole is a failure.
set -u
replay="$MIRL_BINARY_DIR/bin/mirl-replay"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

# Sources of four formats, then damaged copies: bytes changed, cut short, zeroed runs, headers
# overwritten; fixed seed.
for ext in m4a flac ogg wav; do
    ffmpeg -loglevel quiet -y -f lavfi -i "sine=frequency=440:duration=3" "$work/source.$ext" ||
        fail "ffmpeg cannot make a .$ext"
done
python3 - "$work" <<'PY' || fail "cannot make the damaged files"
import os, random, sys
work = sys.argv[1]
rng = random.Random(9)
for i in range(60):
    ext = ["m4a", "flac", "ogg", "wav"][i % 4]
    data = bytearray(open(os.path.join(work, "source." + ext), "rb").read())
    mode = ["change", "cut", "zero", "head"][(i // 4) % 4]
    if mode == "change":
        for _ in range(rng.randint(1, 60)):
            data[rng.randrange(len(data))] = rng.randrange(256)
    elif mode == "cut":
        data = data[: rng.randrange(1, len(data))]
    elif mode == "zero":
        at = rng.randrange(len(data))
        data[at : at + 400] = bytes(len(data[at : at + 400]))
    else:
        for j in range(rng.randint(4, 64)):
            data[j] = rng.randrange(256)
    open(os.path.join(work, "damaged-%02d.%s" % (i, ext)), "wb").write(bytes(data))
PY

undecodable=0
for file in "$work"/damaged-*; do
    for mode in classify log; do
        if [ $mode = classify ]; then
            "$replay" --classify "$file" >/dev/null 2>"$work/err"
        else
            "$replay" "$file" --out "$work/out" >/dev/null 2>"$work/err"
        fi
        status=$?
        lines=$(grep -c . "$work/err")
        if [ $status -eq 0 ]; then
            [ "$lines" -eq 0 ] || fail "$(basename "$file") ($mode) decoded, yet printed: $(head -3 "$work/err")"
        else
            [ $status -eq 2 ] || fail "$(basename "$file") ($mode): status $status: $(head -3 "$work/err")"
            [ "$lines" -eq 1 ] && grep -q "^mirl-replay: cannot decode " "$work/err" ||
                fail "$(basename "$file") ($mode): not one line of mirl-replay's own: $(head -3 "$work/err")"
            undecodable=$((undecodable + 1))
        fi
    done
done
[ $undecodable -gt 10 ] || fail "only $undecodable runs met an undecodable file; the damage is too mild"

# Output that cannot be written: a full device, then a full disk under the log.
"$replay" --classify "$work/source.wav" >/dev/full 2>"$work/err"
[ $? -eq 3 ] || fail "lines written to /dev/full counted as success"
[ "$(grep -c . "$work/err")" -eq 1 ] || fail "not one line for /dev/full: $(cat "$work/err")"

ffmpeg -loglevel quiet -y -f lavfi -i "anoisesrc=duration=120:amplitude=0.05" "$work/night.wav" ||
    fail "ffmpeg cannot make the long file"
mkdir -p "$work/full"
unshare -m sh -c "mount -t tmpfs -o size=8k tmpfs '$work/full' && exec '$replay' '$work/night.wav' --out '$work/full'" \
    >/dev/null 2>"$work/err"
status=$?
grep -q "mount" "$work/err" && fail "cannot mount a small file system here: $(cat "$work/err")"
[ $status -eq 3 ] || fail "a log cut short by a full disk gave status $status: $(cat "$work/err")"
grep -q "^mirl-replay: the session log .* is incomplete: No space left on device$" "$work/err" ||
    fail "no line for the full disk: $(cat "$work/err")"
echo "$undecodable undecodable runs, each one line; full outputs fail"
