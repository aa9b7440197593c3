# testenv:
# timeout: 300
# A night in mirl-sim with a microphone file: the synthesised falling-asleep recording (five
# minutes of speech and typing, then quiet breathing and some snoring). The detectors' sleep
# signals reach the fade engine through the orchestration and speed the session's fade up.
set -u
dir="$MIRL_TESTENV_DIR"
fail() { echo "FAIL: $*"; exit 1; }

/usr/bin/python3 "$MIRL_SOURCE_DIR/tests/data/make_falling_asleep.py" "$dir/night.wav" >/dev/null ||
    fail "the recording could not be made"
cat >"$dir/night.json" <<'JSON'
{"start": "2026-12-05T23:00:00", "settings": {"mode.timer_mode": "night"},
 "system": {"volume": 40, "idle_seconds": 0}, "microphone": "night.wav",
 "steps": [{"at": 0, "do": "start", "minutes": 60}], "until": 1200}
JSON
"$MIRL_BINARY_DIR/bin/mirl-sim" "$dir/night.json" --data "$dir/data" || fail "mirl-sim failed"
/usr/bin/python3 - "$dir/data" <<'PY' || fail "the session log"
import glob, json, sys
from datetime import datetime
log = [json.loads(l) for l in open(glob.glob(sys.argv[1] + "/sessions/*.jsonl")[0])]
start = datetime.fromisoformat(log[0]["ts"].replace("Z", "+00:00"))
def t(r):
    return (datetime.fromisoformat(r["ts"].replace("Z", "+00:00")) - start).total_seconds()
signals = {"phase_asleep", "phase_deep_asleep", "breathband_asleep", "breath_regularity"}
sped = [r for r in log if r["event"] == "autofader_accelerated" and r["source"] in signals]
assert sped, "no sleep signal sped the fade up"
first = sped[0]
assert 300 < t(first) < 1200, ("while the user was still talking", t(first))
assert first["new_duration_sec"] == 180, first
# The detector's own record of the signal comes first.
cause = {"phase_asleep": ("phase_transition", "asleep"), "phase_deep_asleep": ("phase_transition", "deep_asleep"),
         "breathband_asleep": ("breathband_asleep", None), "breath_regularity": ("breath_regularity_asleep", None)}
event, to = cause[first["source"]]
seen = [r for r in log if r["event"] == event and (to is None or r.get("to") == to)]
assert seen and t(seen[0]) <= t(first), ("sped up before the detector said so", first)
print("sped up at %.0f s by %s" % (t(first), first["source"]))
PY
state="$dir/data/state.json"
/usr/bin/python3 -c 'import json,sys; f=json.load(open(sys.argv[1]))["final"]; assert f["fader"]["ambiance"] == 1.0, f["fader"]' "$state" ||
    fail "the ambiance did not reach 1 after the speed-up"
echo "falling asleep: OK"
