# testenv:
# timeout: 240
# mirl-analyze on logs that are corrupt, torn, huge, deeply nested, not UTF-8, full of absurd
# numbers, wrong types, out of order or empty, generated here: each run ends by itself within
# its time and memory, with a report (status 0, a whole JSON document for --json) or one line
# on standard error (status 1), never a crash.
set -eu
analyze="$MIRL_BINARY_DIR/bin/mirl-analyze"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

python3 - "$work" <<'PY'
import json, os, random, sys
out = sys.argv[1]
rng = random.Random(9)

def ts(seconds, zone="Z"):
    h, rest = divmod(int(seconds), 3600)
    return "2026-12-05T%02d:%02d:%02d.%03d%s" % (22 + h % 2, rest // 60, rest % 60, int(seconds * 1000) % 1000, zone)

def rec(t, event, **payload):
    return json.dumps(dict(payload, ts=ts(t), event=event), separators=(",", ":"))

night = [rec(0, "session_start")] + [
    rec(30 * i, rng.choice(["telemetry", "breath_estimate", "classification", "phase_transition",
                            "breathband_baseline", "breathband_asleep", "volume_applied", "brightness_applied"]),
        avg_rms=rng.random() / 100, rpm=rng.uniform(5, 25), counted=True, label="snoring", to="asleep",
        confidence=0.8, baseline=0.004, rms_smoothed=0.001, target=0.5, value=40, initial=50, floor_pct=20,
        user_idle_seconds=30 * i)
    for i in range(1, 200)] + [rec(6000, "session_end", reason="timer")]

logs = {
    "empty": "",
    "blank-lines": "\n" * 1000,
    "only-garbage": bytes(rng.randrange(256) for _ in range(100000)),
    "not-utf8": "\n".join(night).replace("snoring", "sn\udcffring").encode("utf-8", "surrogateescape"),
    "torn-every-line": "\n".join(line[: rng.randrange(len(line))] for line in night),
    "torn-last": "\n".join(night)[:-17],
    "crlf": "\r\n".join(night) + "\r\n",
    "nul-bytes": "\n".join(night).replace("}", "}\0", 7),
    "one-huge-line": '{"ts":"%s","event":"telemetry","x":"%s"}\n' % (ts(1), "a" * 30_000_000),
    "deeply-nested": '{"ts":"%s","event":"telemetry","x":%s%s}\n%s\n' % (ts(1), "[" * 2_000_000, "]" * 2_000_000, night[0]),
    "deeply-nested-torn": "[" * 5_000_000,
    "absurd-numbers": "\n".join(
        rec(t, ev, **{key: v}) if isinstance(v, (int, float)) and abs(v) < 1e308 else
        '{"ts":"%s","event":"%s","%s":%s}' % (ts(t), ev, key, v)
        for t, (ev, key, v) in enumerate(
            [(ev, key, v) for ev, key in [("telemetry", "avg_rms"), ("breath_estimate", "rpm"),
                                         ("telemetry", "user_idle_seconds"), ("volume_applied", "value"),
                                         ("brightness_applied", "target"), ("breathband_baseline", "baseline"),
                                         ("phase_transition", "confidence")]
             for v in [1e308, -1e308, 1.7976931348623157e308, 5e-324, "1e999", "-1e999", "NaN", "Infinity",
                       "-0", 99999999999999999999999999999, -9223372036854775809]])),
    "wrong-types": "\n".join(
        '{"ts":"%s","event":"%s","avg_rms":%s,"rpm":%s,"to":%s,"confidence":%s,"counted":%s,"value":%s}'
        % (ts(i), ev, v, v, v, v, v, v)
        for i, (ev, v) in enumerate((ev, v) for ev in ["telemetry", "breath_estimate", "phase_transition",
                                                         "classification", "volume_applied", "brightness_applied"]
                                    for v in ['"0.5"', "true", "null", "[1]", '{"a":1}', '""'])),
    "wrong-ts": "\n".join('{"ts":%s,"event":"telemetry"}' % v for v in
                          ['12', 'null', '"yesterday"', '"2026-13-40T99:99:99.000Z"', '"0001-01-01T00:00:00.000Z"',
                           '"9999-12-31T23:59:59.999Z"', '"2262-04-11T23:47:16.000Z"', '"1677-09-21T00:12:44.000Z"']),
    "out-of-order": "\n".join(rng.sample(night, len(night))),
    "far-apart": rec(0, "session_start").replace("2026", "1678") + "\n" + rec(60, "telemetry", avg_rms=0.1).replace("2026", "2261"),
    "many-events": "\n".join(rec(i * 0.01, "classification", counted=True, label="snoring") for i in range(200000)),
    "duplicate-keys": '{"ts":"%s","event":"x","event":"telemetry","avg_rms":1,"avg_rms":"no"}' % ts(0),
}
for name, text in logs.items():
    with open(os.path.join(out, name + ".jsonl"), "wb") as f:
        f.write(text if isinstance(text, bytes) else text.encode("utf-8", "surrogateescape"))
PY
mkdir "$work/folder.jsonl"
ln -s /dev/zero "$work/endless.jsonl" # a device without end: refused, not read

reports=0
for log in "$work"/*.jsonl; do
    name=$(basename "$log")
    for mode in text json; do
        args=("$log")
        [ "$mode" = json ] && args+=(--json --duration 86400)
        set +e
        (ulimit -v 4000000; timeout 30 "$analyze" "${args[@]}" >"$work/out" 2>"$work/err" </dev/null)
        status=$?
        set -e
        case $status in
        0)
            [ ! -s "$work/err" ] || fail "$name ($mode): status 0 with: $(head -c 300 "$work/err")"
            if [ "$mode" = json ]; then
                python3 -c 'import json,sys
def refuse(token): raise ValueError("not JSON: " + token)
json.load(open(sys.argv[1]), parse_constant=refuse)' "$work/out" || fail "$name: --json is not one JSON document"
            else
                grep -q '^Vote: ' "$work/out" || fail "$name: no vote line"
            fi
            reports=$((reports + 1))
            ;;
        1)
            [ "$(wc -l <"$work/err")" = 1 ] || fail "$name ($mode): not one line: $(head -c 300 "$work/err")"
            [ ! -s "$work/out" ] || fail "$name ($mode): printed a report and failed"
            ;;
        124) fail "$name ($mode): still running after 30 s" ;;
        *) fail "$name ($mode): status $status: $(head -c 300 "$work/err")" ;;
        esac
    done
done
[ "$reports" -ge 20 ] || fail "only $reports reports"
echo "mirl-analyze: $reports reports, every other log refused in one line"
