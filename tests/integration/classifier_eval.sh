# testenv:
# timeout: 120
# Generates a small evaluation set (one 20-second clip per class, a seed the model was not
# trained on) and requires the classifier to put most windows into the right group.
set -eu
out=$(mktemp -d "${TMPDIR:-/tmp}/mirl-classifier-eval.XXXXXX")
trap 'rm -rf "$out"' EXIT
if ! "$MIRL_SOURCE_DIR/scripts/classifier/make-evalset" "$out" --seed 3 --clips 1 --seconds 20 2>"$out/generate.log"; then
    echo "the evaluation set could not be generated (needs python3-numpy, sox, espeak-ng, fluidsynth and"
    echo "fluid-soundfont-gm; see scripts/deps/test.txt):"
    tail -5 "$out/generate.log"
    exit 1
fi
"$MIRL_BINARY_DIR/bin/mirl-classifier-eval" "$out" --min-group-accuracy 85
