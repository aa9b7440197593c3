# testenv: --pulse --dbus
# timeout: 180
# mirl meets a restore state that is not what it should be, or a sound server that is away:
# - a volume left by a crashed run while the sound server is down is kept, then put back by the
#   running mirl as soon as the server comes up;
# - a FIFO, a link to /dev/zero or Mirl.conf as a FIFO neither hang nor eat memory;
# - volumes outside 0..100 are not applied;
# - a link planted at restore-state.json.tmp is never written through.
set -u
mirl="$MIRL_BINARY_DIR/bin/mirl"
folder="$XDG_STATE_HOME/Mirl"
state="$folder/restore-state.json"
out="$MIRL_TESTENV_DIR/mirl.out"
fail() {
    echo "FAIL: $*"
    [ -f "$out" ] && sed 's/^/  mirl: /' "$out" | tr '\r' '\n' | grep -v '^  mirl: *[0-9:]* *$' | head -20
    exit 1
}
volume() { pactl get-sink-volume spk 2>/dev/null | grep -o '[0-9]*%' | head -1; }
fresh() {
    rm -rf "$folder"
    mkdir -p "$folder"
}
# Runs mirl until its launch is over (it answers on the session bus once the recovery is done and
# everything is built), then quits it; a launch that does not get there in 20 s fails the test.
launch() {
    "$mirl" >"$out" 2>&1 &
    local pid=$!
    for _ in $(seq 200); do
        "$mirl" status >/dev/null 2>&1 && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 $pid 2>/dev/null && ! "$mirl" status >/dev/null 2>&1; then
        kill -KILL $pid
        wait $pid
        fail "mirl hung"
    fi
    kill -TERM $pid 2>/dev/null
    wait $pid
}

# 1. The sound server is down at launch: the volume stays recorded, and a running mirl puts it
#    back when the server comes up.
fresh
printf '{"volume":{"percent":33}}\n' >"$state"
kill "$(cat "$MIRL_TESTENV_PULSE_PIDFILE")"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 || break; sleep 0.1; done
launch || fail "mirl without a sound server failed"
grep -q "cannot put back the volume a previous run left changed yet; kept for later" "$out" ||
    fail "no line saying the volume is kept"
grep -q '"percent":33' "$state" 2>/dev/null || fail "the volume was thrown away without a sound server"

"$mirl" --minutes 30 >"$out" 2>&1 &
pid=$!
sleep 1
"$MIRL_TESTENV_PULSE_START" >/dev/null 2>&1 || fail "PulseAudio did not come back"
for _ in $(seq 100); do [ "$(volume)" = "33%" ] && [ ! -e "$state" ] && break; sleep 0.1; done
kill -TERM $pid
wait $pid
[ "$(volume)" = "33%" ] || fail "the volume is $(volume) after the sound server came back, expected 33%"
[ ! -e "$state" ] || fail "the restore state is still there after the volume went back"
grep -q "put back the volume a previous run left changed" "$out" || fail "no line for the late restore"

# 2. Things that are not a restore state file must not hang mirl or eat its memory.
for kind in fifo zero; do
    fresh
    case $kind in
    fifo) mkfifo "$state" ;;
    zero) ln -s /dev/zero "$state" ;;
    esac
    (ulimit -v 2000000 && launch) || fail "mirl failed with a $kind as its restore state"
    grep -q "ignoring the restore state file" "$out" || fail "no line for a $kind as the restore state"
    [ ! -e "$state" ] && [ ! -L "$state" ] || fail "the $kind is still there"
done
rm -rf "$XDG_CONFIG_HOME/Mirl" && mkdir -p "$XDG_CONFIG_HOME/Mirl"
mkfifo "$XDG_CONFIG_HOME/Mirl/Mirl.conf"
launch || fail "mirl failed with a FIFO as Mirl.conf"
grep -q "ignoring the settings file" "$out" || fail "no line for a FIFO as Mirl.conf"
rm -f "$XDG_CONFIG_HOME/Mirl/Mirl.conf"

# 3. Volumes that Mirl never records are not applied.
for bad in -5 250 '"loud"'; do
    fresh
    pactl set-sink-volume spk 70%
    printf '{"volume":{"percent":%s}}\n' "$bad" >"$state"
    launch || fail "mirl failed on volume $bad"
    [ "$(volume)" = "70%" ] || fail "volume $bad was applied: $(volume)"
    grep -q "the volume a previous run left changed no longer applies" "$out" || fail "no line for volume $bad"
    [ ! -e "$state" ] || fail "the state with volume $bad was kept"
done

# 4. A link planted where the temporary file goes is removed, not written through; the state
#    folder is the user's only.
fresh
chmod 755 "$folder"
printf 'precious\n' >"$MIRL_TESTENV_DIR/victim"
ln -s "$MIRL_TESTENV_DIR/victim" "$state.tmp"
printf '{"volume":{"percent":33},"toaster":{}}\n' >"$state"
kill "$(cat "$MIRL_TESTENV_PULSE_PIDFILE")"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 || break; sleep 0.1; done
launch || fail "mirl failed with a link at the temporary file"
[ "$(cat "$MIRL_TESTENV_DIR/victim")" = "precious" ] || fail "the link's target was overwritten"
grep -q '"percent":33' "$state" && ! grep -q toaster "$state" || fail "the state was not rewritten: $(cat "$state")"
[ "$(stat -c %a "$folder")" = "700" ] || fail "the state folder is $(stat -c %a "$folder"), not 700"
[ "$(stat -c %a "$state")" = "600" ] || fail "the state file is $(stat -c %a "$state"), not 600"
"$MIRL_TESTENV_PULSE_START" >/dev/null 2>&1 || fail "PulseAudio did not come back"
echo "kept, put back late, refused what is no file or no volume, wrote through no link"
