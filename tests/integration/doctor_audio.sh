# testenv: --pulse
# mirl-doctor's audio section names the test environment's server, output, volume and inputs.
set -eu
pactl set-sink-volume spk 42%
out=$("$MIRL_BINARY_DIR/bin/mirl-doctor")
echo "$out"
grep -q "Sound server: pulseaudio" <<<"$out" || { echo "no sound server line"; exit 1; }
grep -q "Default output: .*(spk), volume 42%" <<<"$out" || { echo "no default output line"; exit 1; }
grep -q "\* .*(mic)" <<<"$out" || { echo "mic is not shown as the default input"; exit 1; }
grep -q "Something playing: no" <<<"$out" || { echo "no playing line"; exit 1; }
json=$("$MIRL_BINARY_DIR/bin/mirl-doctor" --json)
grep -q '"volume_percent": 42' <<<"$json" || { echo "JSON lacks the volume"; exit 1; }
