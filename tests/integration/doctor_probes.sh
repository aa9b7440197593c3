# testenv: --x11 --dbus --system-bus
# timeout: 120
# mirl-doctor's probes section under Xvfb with a logind stand-in and a program keeping the
# display awake, as JSON, and without any display at all.
set -eu
doctor="$MIRL_BINARY_DIR/bin/mirl-doctor"
mocks="$MIRL_SOURCE_DIR/tests/integration/mocks"
py=/usr/bin/python3
fail() { echo "FAIL: $*"; exit 1; }

pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT

$py -m dbusmock --system --template "$mocks/logind_inhibit.py" &
pids+=($!)
for _ in $(seq 100); do
    dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 2>/dev/null | grep -q true && break
    sleep 0.1
done

# A program holding an idle inhibition until its input closes.
exec 7> >($py "$mocks/inhibit_peer.py" idle mpv "Playing a video" block >"$MIRL_TESTENV_DIR/peer.out")
for _ in $(seq 100); do grep -q held "$MIRL_TESTENV_DIR/peer.out" 2>/dev/null && break; sleep 0.1; done
grep -q held "$MIRL_TESTENV_DIR/peer.out" || fail "the inhibiting peer did not take its inhibition"

xdotool mousemove 20 20
out=$("$doctor")
echo "$out"
grep -q "^  display: X11 $DISPLAY" <<<"$out" || fail "display line"
grep -Eq "^  idle: [0-9]+\.[0-9] s \(from x11-screensaver\)" <<<"$out" || fail "idle line"
grep -q "^  media playback: yes" <<<"$out" || fail "media line"
grep -q "held by \"mpv\" (pid [0-9]*) via logind: Playing a video" <<<"$out" || fail "inhibitor line"
grep -Eq "^  ambient light: (no sensor|[0-9.]+ lux)" <<<"$out" || fail "light line"
grep -Eq "^  day or night: (day|night) by (light|clock)" <<<"$out" || fail "day/night line"

json=$("$doctor" --json)
$py - "$json" <<'PY' || fail "JSON report"
import json, sys
p = json.loads(sys.argv[1])["probes"]
assert p["display"]["kind"] == "x11", p["display"]
assert p["idle"]["source"] == "x11-screensaver" and p["idle"]["seconds"] >= 0, p["idle"]
assert p["media"]["playback_active"] is True, p["media"]
assert [i["who"] for i in p["media"]["inhibitors"]] == ["mpv"], p["media"]
assert isinstance(p["media"]["inhibitors"][0]["pid"], int)
assert "logind" in p["media"]["sources_answered"]
assert p["day_night"]["decided_by"] in ("light", "clock")
assert isinstance(p["day_night"]["night"], bool) and isinstance(p["day_night"]["night_by_clock"], bool)
PY
exec 7>&-

# No display at all: the report says so and the program ends normally.
nodisplay=$(env -u DISPLAY -u WAYLAND_DISPLAY "$doctor") || fail "mirl-doctor failed without a display"
echo "$nodisplay"
grep -q "^  display: none" <<<"$nodisplay" || fail "no-display line"
grep -q "^  idle: unknown (no source answered)" <<<"$nodisplay" || fail "idle without a display"
env -u DISPLAY "$doctor" --json | $py -c 'import json,sys; d=json.load(sys.stdin)["probes"]; assert d["display"]["kind"]=="none" and d["idle"]["seconds"] is None' \
    || fail "JSON without a display"
echo "mirl-doctor: OK"
