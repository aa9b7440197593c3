# testenv: --pulse
# The test environment's PulseAudio answers with its null sink and source as defaults.
set -eu
info=$(pactl info) || { echo "PulseAudio does not answer"; exit 1; }
grep -q "Default Sink: spk" <<<"$info" || { echo "default sink is not spk:"; echo "$info"; exit 1; }
grep -q "Default Source: mic" <<<"$info" || { echo "default source is not mic:"; echo "$info"; exit 1; }
echo "PulseAudio: $(grep 'Server Version' <<<"$info")"
