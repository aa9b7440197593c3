# testenv:
# timeout: 1500
# The Debian package: scripts/package builds it from this build and lintian finds no error in
# it; scripts/package-install-test installs it with apt into a clean Debian 12 root and runs the
# installed programs there. The first run on a machine makes the clean root with debootstrap and
# downloads the dependencies (a few minutes); later runs take about half a minute. Skipped
# (status 77) without root or without the Debian archive.
set -u
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
deb=$("$MIRL_SOURCE_DIR/scripts/package" --build "$MIRL_BINARY_DIR" --out "$out" 2>"$out/package.err" | tail -1)
if [ ! -f "$deb" ]; then
    cat "$out/package.err"
    echo "scripts/package made no package"
    exit 1
fi
exec "$MIRL_SOURCE_DIR/scripts/package-install-test" "$deb"
