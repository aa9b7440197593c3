# testenv: --xorg --tray --pulse --dbus --system-bus
# timeout: 240
# The tray application end to end, on an Xorg display (gamma ramps that round-trip) with a tray
# host, PulseAudio and a logind stand-in: launch, the popover opened and closed by clicks and
# Escape, `mirl start 1` from a second process, the countdown in the tray, the pre-sleep panel
# appearing without taking the focus from the window the user types in, +10 by a click,
# `mirl status --json` with the extended time, a second launch, `mirl --minutes`,
# `mirl --preferences` and `mirl review` handing over, the preferences from the popover,
# `mirl cancel`, and a quit in the middle of a second session; the volume and the gamma as they
# were before.
set -u
mirl="$MIRL_BINARY_DIR/bin/mirl"
py=/usr/bin/python3
log="$MIRL_TESTENV_DIR/mirl.log"
fail() {
    echo "FAIL: $*"
    echo "--- mirl's output:"
    cat "$log" 2>/dev/null
    exit 1
}
# Polls "$@" every 0.2 s for up to $1 seconds.
within() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 5))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.2; done
    return 1
}

pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done' EXIT

$py -m dbusmock --system --template logind >"$MIRL_TESTENV_DIR/logind.log" 2>&1 &
pids+=($!)
within 10 sh -c 'dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 | grep -q true' ||
    fail "the logind stand-in did not start: $(tail -3 "$MIRL_TESTENV_DIR/logind.log")"

# A one-minute timer warns when 55 seconds are left (the default lead of 60 would never warn).
# Tray only: no main window at launch. No microphone here to listen with.
mkdir -p "$XDG_CONFIG_HOME/Mirl"
printf '[General]\nsystem.prewarn_lead_sec=55\nsystem.show_in_dock=false\n' >"$XDG_CONFIG_HOME/Mirl/Mirl.conf"

volume() { pactl get-sink-volume spk | grep -o '[0-9]*%' | head -1; }
gamma() { xrandr --verbose | grep -E '^\s*(Gamma|Brightness):'; }
pactl set-sink-volume spk 70%
volume_before=$(volume)
gamma_before=$(gamma)
[ -n "$gamma_before" ] || fail "xrandr shows no gamma"

"$mirl" >"$log" 2>&1 &
mirl_pid=$!
pids+=($mirl_pid)
within 20 "$mirl" status || fail "mirl did not come up on the session bus"
"$mirl" status | grep -q "No timer is running" || fail "a fresh Mirl runs a timer: $("$mirl" status)"

# The tray item: Mirl's window embedded in trayer's panel.
tray_icon() {
    local panel
    panel=$(xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {print $1; exit}')
    [ -n "$panel" ] || return 1
    for w in $(xwininfo -id "$panel" -tree | grep -o '0x[0-9a-f]*'); do
        [ "$w" = "$panel" ] && continue
        xprop -id "$w" _NET_WM_PID 2>/dev/null | grep -q "= $mirl_pid\$" && { echo "$w"; return 0; }
    done
    return 1
}
within 15 tray_icon || fail "no tray item in the tray host"
icon=$(tray_icon)
picture() { xwd -silent -id "$icon" | md5sum; }
idle_picture=$(picture)

# A click on the icon opens the popover under it; Escape, a click elsewhere and another click on
# the icon close it.
popover() {
    for w in $(xdotool search --onlyvisible --name '^Mirl$' 2>/dev/null); do
        xdotool getwindowgeometry "$w" | grep -q "Geometry: 342x" && { echo "$w"; return 0; }
    done
    return 1
}
click_icon() {
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    xdotool mousemove --sync $((X + 8)) $((Y + 8)) click 1
}
click_icon
within 5 popover || fail "a click on the tray icon opens no popover"
eval "$(xdotool getwindowgeometry --shell "$(popover)")"
[ "$Y" -ge 28 ] || fail "the popover covers the tray (top at $Y)"
xdotool key Escape
within 5 sh -c '! xdotool search --onlyvisible --name "^Mirl$" | while read w; do xdotool getwindowgeometry "$w"; done | grep -q "Geometry: 342x"' ||
    fail "Escape does not close the popover"
click_icon
within 5 popover || fail "the popover does not open again"
xdotool mousemove --sync 300 900 click 1
within 5 sh -c '! xdotool search --onlyvisible --name "^Mirl$" | while read w; do xdotool getwindowgeometry "$w"; done | grep -q "Geometry: 342x"' ||
    fail "a click elsewhere does not close the popover"
click_icon
within 5 popover || fail "the popover does not open a third time"
sleep 0.5
click_icon
within 5 sh -c '! xdotool search --onlyvisible --name "^Mirl$" | while read w; do xdotool getwindowgeometry "$w"; done | grep -q "Geometry: 342x"' ||
    fail "a click on the icon does not close the open popover"

# The window the user is typing in.
xmessage -geometry 400x120+80+700 "Someone is typing here" &
pids+=($!)
within 10 xdotool search --name '^xmessage$' || fail "no xmessage window"
typing=$(xdotool search --name '^xmessage$' | head -1)
xdotool windowfocus --sync "$typing"
[ "$(xdotool getwindowfocus)" = "$typing" ] || fail "could not focus the typing window"

"$mirl" start 1 || fail "mirl start 1 failed"
"$mirl" status --json | $py -c 'import json,sys; s=json.load(sys.stdin); assert s["running"] and 55 <= s["remaining_sec"] <= 60, s' ||
    fail "status after start: $("$mirl" status --json)"

# The countdown is drawn into the tray icon, and it moves.
within 5 sh -c "[ \"\$(xwd -silent -id $icon | md5sum)\" != \"$idle_picture\" ]" || fail "the tray icon does not change"
first=$(picture)
within 5 sh -c "[ \"\$(xwd -silent -id $icon | md5sum)\" != \"$first\" ]" || fail "the tray countdown does not move"

# The panel: 340 x 150, visible, and the keyboard stays where it was.
panel_window() {
    for w in $(xdotool search --onlyvisible --name '^Mirl$' 2>/dev/null); do
        xdotool getwindowgeometry "$w" | grep -q "Geometry: 340x150" && { echo "$w"; return 0; }
    done
    return 1
}
within 15 panel_window || fail "the pre-sleep panel did not appear"
panel=$(panel_window)
[ "$(xdotool getwindowfocus)" = "$typing" ] || fail "the panel took the focus"

eval "$(xdotool getwindowgeometry --shell "$panel")"
xdotool mousemove --sync $((X + 94)) $((Y + 97)) click 1 # "+10"
within 5 sh -c '! xdotool search --onlyvisible --name "^Mirl$" | while read w; do xdotool getwindowgeometry "$w"; done | grep -q "Geometry: 340x150"' ||
    fail "the panel stayed after +10"
[ "$(xdotool getwindowfocus)" = "$typing" ] || fail "clicking +10 took the focus"
"$mirl" status --json | $py -c 'import json,sys; s=json.load(sys.stdin); assert s["running"] and 600 < s["remaining_sec"] <= 660 and s["mode"] in ("night","nap"), s' ||
    fail "status after +10: $("$mirl" status --json)"

# A second launch hands over to the running Mirl and leaves it alone.
out=$("$mirl" 2>&1) || fail "a second launch failed: $out"
grep -q "already running" <<<"$out" || fail "the second launch did not hand over: $out"
kill -0 $mirl_pid || fail "the second launch ended the first"
"$mirl" --minutes 20 >/dev/null || fail "mirl --minutes 20 beside a running Mirl failed"
"$mirl" status --json | $py -c 'import json,sys; s=json.load(sys.stdin); assert s["running"] and 1190 < s["remaining_sec"] <= 1200, s' ||
    fail "--minutes was not handed to the running Mirl: $("$mirl" status --json)"

# The preferences and review windows are the running Mirl's own: from the popover (Ctrl+,), from
# `mirl --preferences` and from `mirl review`.
mirl_window() {
    for w in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
        xprop -id "$w" _NET_WM_PID 2>/dev/null | grep -q "= $mirl_pid\$" && { echo "$w"; return 0; }
    done
    return 1
}
click_icon
within 5 popover || fail "the popover does not open for the preferences"
xdotool key ctrl+comma
within 10 mirl_window '^Mirl Preferences$' || fail "Ctrl+, in the popover opens no preferences window"
prefs=$(mirl_window '^Mirl Preferences$')
within 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = $prefs ]" || fail "the preferences window has no keyboard focus"
xdotool key Escape
within 5 sh -c "! xdotool search --onlyvisible --name '^Mirl Preferences\$'" || fail "Escape leaves the preferences open"
out=$(timeout 20 "$mirl" --preferences 2>&1) || fail "mirl --preferences beside a running Mirl failed: $out"
within 10 mirl_window '^Mirl Preferences$' || fail "mirl --preferences did not open the running Mirl's window: $out"
out=$(timeout 20 "$mirl" review 2>&1) || fail "mirl review beside a running Mirl failed: $out"
within 10 mirl_window '^Annotation$' || fail "mirl review did not open the running Mirl's window: $out"

"$mirl" cancel || fail "mirl cancel failed"
"$mirl" status --json | $py -c 'import json,sys; s=json.load(sys.stdin); assert not s["running"], s' ||
    fail "status after cancel: $("$mirl" status --json)"
within 5 sh -c "[ \"\$(xwd -silent -id $icon | md5sum)\" = \"$idle_picture\" ]" || fail "the tray keeps a countdown after cancel"

[ "$(volume)" = "$volume_before" ] || fail "after cancel the volume is $(volume), was $volume_before"
[ "$(gamma)" = "$gamma_before" ] || fail "after cancel the gamma is $(gamma), was $gamma_before"

# Quitting in the middle of a session (SIGTERM, as a logout does) puts everything back too.
"$mirl" start 2 || fail "the second mirl start failed"
within 30 sh -c "[ \"\$(pactl get-sink-volume spk | grep -o '[0-9]*%' | head -1)\" != \"$volume_before\" ]" ||
    fail "the volume did not start to fade"
[ "$(gamma)" != "$gamma_before" ] || fail "the screen did not start to fade"
kill -TERM $mirl_pid
for _ in $(seq 100); do kill -0 $mirl_pid 2>/dev/null || break; sleep 0.1; done
kill -0 $mirl_pid 2>/dev/null && fail "mirl did not quit on SIGTERM"
wait $mirl_pid
status=$?
[ $status = 0 ] || fail "mirl quit with status $status"
"$mirl" status >/dev/null 2>&1 && fail "the bus name outlived the process"

[ "$(volume)" = "$volume_before" ] || fail "the volume is $(volume), was $volume_before"
[ "$(gamma)" = "$gamma_before" ] || fail "the gamma is $(gamma), was $gamma_before"
dbus-send --system --print-reply --dest=org.freedesktop.login1 /org/freedesktop/login1 \
    org.freedesktop.DBus.Mock.GetCalls | grep -q '"Suspend"' && fail "logind was asked to suspend"
echo "tray, panel without focus, +10, status, hand-over, preferences and review windows, cancel, quit mid-session; volume $volume_before and gamma as before"
