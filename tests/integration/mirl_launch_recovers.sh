# testenv: --pulse --dbus
# A launch of mirl that finds the restore state of a run that died mid-fade puts the volume back
# and deletes the state file; a second launch finds nothing to do.
set -u
mirl="$MIRL_BINARY_DIR/bin/mirl"
state="$XDG_STATE_HOME/Mirl/restore-state.json"
mkdir -p "$(dirname "$state")"
printf '{"volume":{"percent":33}}\n' >"$state"
chmod 600 "$state"
pactl set-sink-volume spk 80%

# Starts Mirl, waits until its launch is over (it answers on the session bus once everything is
# built), quits it and prints what it said.
launch() {
    local log="$MIRL_TESTENV_DIR/mirl.log"
    "$mirl" >"$log" 2>&1 &
    local pid=$!
    for _ in $(seq 150); do
        "$mirl" status >/dev/null 2>&1 && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    kill -TERM $pid 2>/dev/null
    wait $pid || { echo "mirl failed: $(cat "$log")"; exit 1; }
    cat "$log"
}

out=$(launch)
grep -q "put back the volume" <<<"$out" || { echo "no recovery line in: $out"; exit 1; }
volume=$(pactl get-sink-volume spk | grep -o '[0-9]*%' | head -1)
[ "$volume" = "33%" ] || { echo "volume is $volume, expected 33%"; exit 1; }
[ ! -e "$state" ] || { echo "the state file was not deleted"; exit 1; }

pactl set-sink-volume spk 70%
out=$(launch)
grep -q "put back" <<<"$out" && { echo "second launch recovered again: $out"; exit 1; }
volume=$(pactl get-sink-volume spk | grep -o '[0-9]*%' | head -1)
[ "$volume" = "70%" ] || { echo "second launch changed the volume to $volume"; exit 1; }
echo "recovered once, then left alone"
