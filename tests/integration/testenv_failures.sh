# testenv:
# A component of the test environment that cannot start fails the run with a message naming the
# component and the reason, and the command never runs.
set -u
testenv="$MIRL_SOURCE_DIR/tests/env/mirl-testenv"
fakes=$(mktemp -d)
trap 'rm -rf "$fakes"' EXIT
for tool in pulseaudio Xvfb dbus-daemon; do
    printf '#!/bin/sh\necho "%s: refusing to start for this test" >&2\nexit 1\n' "$tool" >"$fakes/$tool"
    chmod +x "$fakes/$tool"
done

check() { # option, expected component text
    local out status
    out=$(PATH="$fakes:$PATH" "$testenv" "$1" -- touch "$fakes/ran" 2>&1)
    status=$?
    [ $status -ne 0 ] || { echo "$1: a failed start exited 0"; exit 1; }
    grep -q "mirl-testenv: $2 could not start: .*refusing to start" <<<"$out" ||
        { echo "$1: component or reason missing in: $out"; exit 1; }
    [ ! -e "$fakes/ran" ] || { echo "$1: the command ran anyway"; exit 1; }
    echo "$1 -> $(head -1 <<<"$out")"
}
check --pulse "PulseAudio"
check --x11 "X11 (Xvfb)"
check --dbus "D-Bus (session-bus)"
