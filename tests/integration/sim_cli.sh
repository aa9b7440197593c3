# testenv:
# timeout: 120
# mirl-sim from the command line: a scenario runs and leaves its logs and state.json; a bad
# scenario is one line on standard error naming the step, and exit status 2.
set -u
sim="$MIRL_BINARY_DIR/bin/mirl-sim"
dir="$MIRL_TESTENV_DIR"
fail() { echo "FAIL: $*"; exit 1; }

cat >"$dir/night.json" <<'JSON'
{"start": "2026-12-05T22:30:00", "timezone": "Europe/Paris", "settings": {"mode.timer_mode": "night"},
 "system": {"volume": 40}, "steps": [{"at": 0, "do": "start", "minutes": 3}], "until": 300}
JSON
out=$("$sim" "$dir/night.json" --data "$dir/data" 2>&1) || fail "a good scenario failed: $out"
grep -q "ended at 300.0 s (until)" <<<"$out" || fail "summary line: $out"
ls "$dir/data/sessions/session-2026-12-05-2230.jsonl" >/dev/null || fail "no session log in local time"
/usr/bin/python3 - "$dir/data/state.json" <<'PY' || fail "state.json"
import json, sys
s = json.load(open(sys.argv[1]))
assert s["ended"] == {"asleep": True, "by": "until", "t": 300.0}, s["ended"]
assert s["final"]["volume"] == 40 and s["final"]["suspend_calls"] == 1, s["final"]
assert [r["t"] for r in s["records"]["suspend"]] == [180.5], s["records"]["suspend"]
PY

cat >"$dir/bad.json" <<'JSON'
{"until": 60, "steps": [{"at": 0, "do": "start", "minutes": 5}, {"at": 9, "do": "set_volume"}]}
JSON
err=$("$sim" "$dir/bad.json" --data "$dir/bad" 2>&1 >/dev/null)
status=$?
[ $status = 2 ] || fail "status $status for a bad step"
[ "$err" = "mirl-sim: $dir/bad.json: step 2 (set_volume): missing field \"percent\"" ] || fail "message: $err"
[ "$(wc -l <<<"$err")" = 1 ] || fail "more than one line: $err"

printf '{"until": 60, ' >"$dir/broken.json"
"$sim" "$dir/broken.json" --data "$dir/broken" 2>/dev/null
[ $? = 2 ] || fail "malformed file"
printf '{"until": 60, "microphone": "nowhere.wav"}' >"$dir/mic.json"
err=$("$sim" "$dir/mic.json" --data "$dir/mic" 2>&1)
[ $? = 2 ] || fail "unreadable microphone file"
grep -q "nowhere.wav" <<<"$err" || fail "microphone message: $err"
"$sim" "$dir/night.json" 2>/dev/null
[ $? = 2 ] || fail "missing --data"
echo "mirl-sim: OK"
