# testenv: --x11 --pulse --dbus
# `mirl --preferences` opens the preferences window on the display; opening it writes no
# setting; SIGTERM ends the program cleanly.
set -u
mirl="$MIRL_BINARY_DIR/bin/mirl"
"$mirl" --preferences >"$MIRL_TESTENV_DIR/prefs.log" 2>&1 &
pid=$!
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^Mirl Preferences$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "no preferences window appeared"; cat "$MIRL_TESTENV_DIR/prefs.log"; kill $pid 2>/dev/null; exit 1
fi
geometry=$(xdotool getwindowgeometry "$window" | grep Geometry)
kill -TERM $pid
wait $pid
rc=$?
[ $rc = 0 ] || { echo "mirl --preferences ended with status $rc after SIGTERM"; cat "$MIRL_TESTENV_DIR/prefs.log"; exit 1; }
[ ! -e "$XDG_CONFIG_HOME/Mirl/Mirl.conf" ] || { echo "opening the window wrote settings:"; cat "$XDG_CONFIG_HOME/Mirl/Mirl.conf"; exit 1; }
echo "preferences window shown ($geometry)"
