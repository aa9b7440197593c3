# testenv: --pulse
# mirl's command line: what it does not know is an error (status 2, the usage on standard error
# and nothing on standard output); --minutes=N is --minutes N; --help is no error.
set -u
mirl="$MIRL_BINARY_DIR/bin/mirl"
dir="$MIRL_TESTENV_DIR"
fail() {
    echo "FAIL: $*"
    exit 1
}

for args in "--bogus" "--minutes" "--minutes=abc" "--minutes 0" "--version=2" "tomorrow" "--minutes 5 --minutes 6"; do
    # shellcheck disable=SC2086
    timeout 20 "$mirl" $args >"$dir/out" 2>"$dir/err"
    status=$?
    [ $status -eq 2 ] || fail "mirl $args: status $status, not 2"
    [ ! -s "$dir/out" ] || fail "mirl $args wrote to standard output: $(cat "$dir/out")"
    head -1 "$dir/err" | grep -q "^mirl: " || fail "mirl $args: no reason first: $(cat "$dir/err")"
done
"$mirl" --bogus 2>&1 >/dev/null | grep -q "^Usage: mirl" || fail "no usage on standard error"

"$mirl" --help >"$dir/out" 2>"$dir/err" || fail "mirl --help failed"
grep -q "^Usage: mirl" "$dir/out" && [ ! -s "$dir/err" ] || fail "mirl --help does not print the usage on standard output"

"$mirl" --minutes=30 >"$dir/out" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -q "timer of 30 minutes" "$dir/out" && break; sleep 0.1; done
grep -q "timer of 30 minutes" "$dir/out" || fail "mirl --minutes=30 started no timer: $(cat "$dir/out")"
kill -TERM $pid
wait $pid || fail "mirl --minutes=30 did not quit normally"
echo "unknown options refused with status 2, --minutes=30 runs"
