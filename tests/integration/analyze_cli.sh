# testenv:
# timeout: 60
# mirl-analyze on a hand-written night, as text and as JSON, and on files that hold no
# analysis (one line on standard error, status 1) and wrong arguments (status 2).
set -eu
analyze="$MIRL_BINARY_DIR/bin/mirl-analyze"
py=/usr/bin/python3
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

log="$work/session-2026-12-05-2200.jsonl"
cat >"$log" <<'LOG'
{"event":"session_start","recording_file":"audio-2026-12-05-2200.m4a","session_file":"session-2026-12-05-2200.jsonl","ts":"2026-12-05T22:00:00.000Z"}
{"confidence":0.9,"event":"phase_transition","from":"awake","to":"asleep","ts":"2026-12-05T22:14:30.000Z"}
{"event":"breathband_asleep","rms_smoothed":0.001,"target":0.002,"ts":"2026-12-05T22:15:00.000Z"}
{"event":"telemetry","avg_rms":0.01,"user_idle_seconds":900,"ts":"2026-12-05T22:16:00.000Z"}
{"event":"session_end","reason":"timer_fired","ts":"2026-12-05T22:30:00.000Z"}
{"event":"telemetry","avg_r
LOG

"$analyze" "$log" >"$work/text" || fail "text run failed"
grep -q "^Duration: 30:00 (1800.0 s)$" "$work/text" || fail "no duration line: $(cat "$work/text")"
grep -q "14:30  asleep  0.90  → asleep" "$work/text" || fail "no phase verdict"
grep -q "^Vote: highest 0.43, last 0.43, never asleep$" "$work/text" || fail "no vote line: $(tail -1 "$work/text")"

"$analyze" "$log" --json --duration 3600 >"$work/json" || fail "json run failed"
$py - "$work/json" <<'PY' || fail "json report"
import json, sys
report = json.load(open(sys.argv[1]))
assert report["duration_seconds"] == 3600, report["duration_seconds"]
assert report["events"] == 5, report["events"]
assert report["start"] == "2026-12-05T22:00:00.000Z"
ids = [r["id"] for r in report["results"]]
assert ids == ["phase", "snoring_streak", "rpm_drop", "rms_drop", "user_idle", "breathband_tuned",
               "composite", "volume_applied", "brightness_applied"], ids
phase = report["results"][0]
assert phase["verdicts"] == [{"t": 870.0, "time": "14:30", "kind": "asleep", "score": 0.9, "detail": "→ asleep"}], phase
assert report["results"][6]["series"]["points"] == 201
assert report["results"][7]["display_name"] == "Volume applied (init 50 → target 35)"
assert report["vote"]["first_asleep"] is None
PY

for bad in "$work/empty.jsonl" "$work/missing.jsonl" "$work"; do
    : >"$work/empty.jsonl"
    set +e
    "$analyze" "$bad" >"$work/out" 2>"$work/err"
    status=$?
    set -e
    [ "$status" = 1 ] || fail "$bad: status $status"
    [ "$(wc -l <"$work/err")" = 1 ] || fail "$bad: not one line: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "$bad: printed a report"
done
set +e
"$analyze" >/dev/null 2>&1; [ $? = 2 ] || fail "no file: not status 2"
"$analyze" "$log" --duration soon >/dev/null 2>&1; [ $? = 2 ] || fail "bad duration: not status 2"
"$analyze" "$log" --frobnicate >/dev/null 2>&1; [ $? = 2 ] || fail "unknown option: not status 2"
set -e
echo "mirl-analyze: ok"
