# testenv:
# The desktop entry and the metainfo pass their validators, the metainfo's newest release is the
# program's version, every PNG of the icon has the size its folder names, and `cmake --install`
# places the programs, the sounds, the desktop entry, the icons and the metainfo.
set -u
src="$MIRL_SOURCE_DIR/data"
status=0
fail() { echo "FAIL: $*"; status=1; }

out=$(desktop-file-validate "$src/mirl.desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate says: $out"
out=$(appstreamcli validate --no-net "$src/org.mirl.Mirl.metainfo.xml" 2>&1) || fail "appstreamcli: $out"

version=$("$MIRL_BINARY_DIR/bin/mirl" --version | awk '{print $2}')
release=$(grep -o '<release version="[^"]*"' "$src/org.mirl.Mirl.metainfo.xml" | head -1 | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the metainfo's newest release is '$release', the program says '$version'"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for png in "$src"/icons/hicolor/*x*/apps/mirl.png; do
    want=$(basename "$(dirname "$(dirname "$png")")")
    got=$(od -An -tu1 -j16 -N8 "$png" | awk '{printf "%dx%d", $3*256+$4, $7*256+$8}')
    [ "$got" = "$want" ] || fail "$png is $got"
done
count=$(ls "$src"/icons/hicolor/*x*/apps/mirl.png | wc -l)
[ "$count" -ge 8 ] || fail "only $count PNG sizes"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$MIRL_BINARY_DIR" --prefix /usr >/dev/null || fail "cmake --install failed"
for f in bin/mirl bin/mirl-doctor share/applications/mirl.desktop share/metainfo/org.mirl.Mirl.metainfo.xml \
    share/icons/hicolor/scalable/apps/mirl.svg share/icons/hicolor/symbolic/apps/mirl-symbolic.svg \
    share/icons/hicolor/16x16/apps/mirl.png share/icons/hicolor/256x256/apps/mirl.png \
    share/mirl/sounds/Birds.m4a share/mirl/sounds/Sea.m4a share/mirl/sounds/River.m4a \
    share/mirl/sounds/Bong.m4a share/mirl/sounds/Purr.m4a; do
    [ -s "$root/usr/$f" ] || fail "cmake --install did not place usr/$f"
done
[ -x "$root/usr/bin/mirl" ] || fail "usr/bin/mirl is not executable"
# Nothing of the build's own tools or tests is installed.
extra=$(cd "$root/usr/bin" && ls | grep -Ev '^mirl(-[a-z-]+)?$')
[ -z "$extra" ] || fail "unexpected programs installed: $extra"
[ ! -e "$root/usr/bin/mirl-sound-synth" ] || fail "the sound synthesizer is a build tool, not a program"

[ $status = 0 ] && echo "desktop files valid and installed"
exit $status
