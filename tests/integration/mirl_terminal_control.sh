# testenv: --pulse --dbus
# timeout: 120
# `mirl --minutes N` in a terminal is the one running Mirl: the verbs control its session, a
# second `mirl --minutes` hands its timer over, a plain launch beside it leaves what the session
# changed alone, and `mirl cancel` ends it with the volume back.
set -u
mirl="$MIRL_BINARY_DIR/bin/mirl"
py=/usr/bin/python3
out="$MIRL_TESTENV_DIR/terminal.out"
state="$XDG_STATE_HOME/Mirl/restore-state.json"
fail() {
    echo "FAIL: $*"
    tr '\r' '\n' <"$out" | grep -v '^ *[0-9:]* *$' | sed 's/^/  mirl: /' | head -20
    exit 1
}
remaining_between() {
    "$mirl" status --json | $py -c "import json,sys; s=json.load(sys.stdin); assert s['running'] and $1 <= s['remaining_sec'] <= $2, s"
}

pactl set-sink-volume spk 70%
"$mirl" --minutes 30 >"$out" 2>&1 &
pid=$!
for _ in $(seq 100); do "$mirl" status >/dev/null 2>&1 && break; sleep 0.1; done
remaining_between 1790 1800 || fail "mirl status does not see the terminal's session: $("$mirl" status --json)"

"$mirl" extend 10 || fail "mirl extend 10 failed"
remaining_between 2390 2400 || fail "the session was not extended: $("$mirl" status --json)"
"$mirl" --minutes 5 >"$MIRL_TESTENV_DIR/second.out" 2>&1 || fail "a second mirl --minutes failed"
remaining_between 290 300 || fail "the second --minutes was not handed over: $("$mirl" status --json)"

for _ in $(seq 50); do [ -e "$state" ] && break; sleep 0.1; done
[ -e "$state" ] || fail "the session left no restore state"
pactl set-sink-volume spk 40% # as if the fade had got there
launch=$(timeout 20 "$mirl" 2>&1) || fail "a plain launch beside the session failed: $launch"
# It has no window to bring forward, and says no more than that Mirl runs.
[ "$launch" = "Mirl is already running." ] || fail "a plain launch beside the session said: $launch"
[ -e "$state" ] || fail "a plain launch took the running session's restore state"
[ "$(pactl get-sink-volume spk | grep -o '[0-9]*%' | head -1)" = "40%" ] ||
    fail "a plain launch put the volume back under the running session"
kill -0 $pid || fail "the terminal session ended"

"$mirl" cancel || fail "mirl cancel failed"
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && fail "the terminal session did not end after mirl cancel"
wait $pid || fail "the terminal session ended with status $?"
[ "$(pactl get-sink-volume spk | grep -o '[0-9]*%' | head -1)" = "70%" ] || fail "the volume did not come back"
"$mirl" status >/dev/null 2>&1 && fail "the name outlived the terminal session"
echo "verbs control the terminal's session; hand-over; a plain launch leaves it alone; cancel ends it"
