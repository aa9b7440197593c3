# testenv: --pulse
# A closed terminal (SIGHUP) ends a running mirl through its normal quit, as SIGTERM does, and
# output piped to a reader that goes away (mirl | head) does not end it at all.
set -u
mirl="$MIRL_BINARY_DIR/bin/mirl"
dir="$MIRL_TESTENV_DIR"
fail() {
    echo "FAIL: $*"
    exit 1
}
# Waits up to 10 s for the countdown to show in $1.
wait_for_countdown() {
    for _ in $(seq 100); do grep -q "timer of 30 minutes" "$1" 2>/dev/null && return 0; sleep 0.1; done
    return 1
}

for signal in TERM HUP INT; do
    "$mirl" --minutes 30 >"$dir/$signal.out" 2>&1 &
    pid=$!
    wait_for_countdown "$dir/$signal.out" || fail "mirl did not start its timer"
    kill -s "$signal" $pid
    wait $pid
    status=$?
    [ $status -eq 0 ] || fail "SIG$signal ended mirl with status $status, not through its normal quit"
done

# The reader of mirl's output goes away after the first line: mirl carries on with its timer.
mkfifo "$dir/pipe"
head -n 1 <"$dir/pipe" >/dev/null &
reader=$!
"$mirl" --minutes 30 >"$dir/pipe" 2>"$dir/pipe.err" &
pid=$!
wait $reader
sleep 2.5 # a few countdown lines into the closed pipe
kill -0 $pid 2>/dev/null || {
    wait $pid
    fail "mirl died when its reader went away (status $?)"
}
kill -TERM $pid
wait $pid
status=$?
[ $status -eq 0 ] || fail "mirl with a closed output ended with status $status"
echo "SIGTERM, SIGHUP and SIGINT quit normally; a closed pipe is no reason to stop"
