# testenv: --pulse --mics
# timeout: 120
# mirl --mic-smoke: status 0 with its SIGNAL verdict on a tone, 1 on a silent source, 2 without any
# microphone or sound server; the log holds the run's lines in order, and only the exact
# argument starts the test.
set -u
mirl="$MIRL_BINARY_DIR/bin/mirl"
log="$XDG_DATA_HOME/Mirl/mic-smoke.log"
out="$MIRL_TESTENV_DIR/mic-smoke.out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the self-test; sets $status.
smoke() {
    "$@" "$mirl" --mic-smoke >"$out" 2>&1
    status=$?
}

# The log's lines and the console's (without their prefix) are the same four, in order.
check_lines() {
    local verdict=$1
    [ "$(wc -l <"$log")" = 4 ] || fail "$verdict: the log has $(wc -l <"$log") lines: $(cat "$log")"
    sed -n 1p "$log" | grep -Eq '^start ts=[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$' ||
        fail "$verdict: start line: $(sed -n 1p "$log")"
    [ "$(sed -n 2p "$log")" = "tcc_status=authorized" ] || fail "$verdict: status line: $(sed -n 2p "$log")"
    [ "$(sed -n 3p "$log")" = "tcc_request_granted=true" ] || fail "$verdict: granted line: $(sed -n 3p "$log")"
    sed -n 4p "$log" | grep -Eq "$verdict" || fail "$verdict: last line: $(sed -n 4p "$log")"
    diff <(sed -n 's/^Mirl mic-smoke: //p' "$out") "$log" >/dev/null || fail "$verdict: console and log differ: $(cat "$out")"
}

pactl set-default-source sine
smoke
[ "$status" = 0 ] || fail "a 440 Hz tone gave status $status"
check_lines '^buffers=[0-9]+ frames=[0-9]+ format=44100Hz/ch1 rms=0\.35[0-9]+ verdict=SIGNAL$'

pactl set-default-source mic
smoke
[ "$status" = 1 ] || fail "a silent source gave status $status"
check_lines '^buffers=[0-9]+ frames=[0-9]+ format=44100Hz/ch2 rms=0\.000000 verdict=ZEROS$'

# No microphone: only the monitors of the outputs are left, and a monitor is not a microphone.
for module in module-null-source module-sine-source module-pipe-source module-remap-source; do
    pactl unload-module "$module" || fail "cannot unload $module"
done
smoke
[ "$status" = 2 ] || fail "no microphone gave status $status"
check_lines '^engine_start_error=no input device'

# No sound server at all.
smoke env PULSE_SERVER="unix:$MIRL_TESTENV_DIR/nothing-here"
[ "$status" = 2 ] || fail "no sound server gave status $status"
check_lines '^engine_start_error=the sound server is not reachable$'

# Only the exact argument starts the test.
rm -f "$log"
for arg in --MIC-SMOKE --mic-smoke=1 -mic-smoke; do
    "$mirl" "$arg" --version >/dev/null 2>&1
    [ ! -e "$log" ] || fail "$arg started the self-test"
done

[ $failures = 0 ] || exit 1
echo "mic-smoke: all statuses as expected"
