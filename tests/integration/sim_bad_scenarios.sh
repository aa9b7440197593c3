# testenv:
# timeout: 600
# mirl-sim on scenario files damaged here by a fixed-seed generator (cut, bytes changed, values
# of the wrong kind or absurd size, keys lost, deep nesting, bytes that are not UTF-8, empty):
# each run ends by itself with status 0, or with status 2 and one line on standard error that
# names the file (and the step, when a step is at fault), never a crash or a hang.
set -eu
sim="$MIRL_BINARY_DIR/bin/mirl-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

python3 - "$work" <<'PY'
import json, os, random, sys
out = sys.argv[1]
rng = random.Random(17)
base = {
    "start": "2026-12-05T23:10:00", "timezone": "UTC",
    "settings": {"mode.timer_mode": "night", "fade.idle_threshold_sec": 120},
    "system": {"volume": 40, "brightness": 0.8, "idle_seconds": 0, "lux": 5},
    "steps": [{"at": 0, "do": "start", "minutes": 20}, {"at": 300, "do": "set_volume", "percent": 70},
              {"at": 400, "do": "autopilot", "channel": "volume", "on": True},
              {"at": 1150, "do": "alert_extend", "minutes": 10}, {"at": 2000, "do": "system_wake"}],
    "until": 2400,
}
odd = [None, True, "x", "", [], {}, -1, 0, 1e308, -1e308, 1.5, 2**64, -2**63 - 1, "\u00e9", "2026-12-05T99:00:00",
       [[[[[]]]]], {"at": 1}]

def mutate(doc):
    doc = json.loads(json.dumps(doc))
    kind = rng.randrange(5)
    if kind == 0:  # a top-level value of another kind
        doc[rng.choice(list(doc))] = rng.choice(odd)
    elif kind == 1:  # a step's field
        step = rng.choice(doc["steps"])
        step[rng.choice(list(step) + ["extra"])] = rng.choice(odd)
    elif kind == 2:  # a lost key
        target = rng.choice([doc, doc["system"], rng.choice(doc["steps"])])
        target.pop(rng.choice(list(target)))
    elif kind == 3:  # a step that is not an object
        doc["steps"].insert(rng.randrange(len(doc["steps"]) + 1), rng.choice(odd))
    else:  # a system value
        doc["system"][rng.choice(list(doc["system"]) + ["fan"])] = rng.choice(odd)
    return json.dumps(doc, ensure_ascii=False)

text = json.dumps(base)
files = {"good": text, "empty": "", "blank": "  \n", "not-utf8": text.replace("UTC", "U\udcffC"),
         "nested": "[" * 1000000 + "]" * 1000000, "nested-step": text.replace('"minutes": 20', '"minutes": ' + "[" * 100000 + "]" * 100000),
         "nul": text[:40] + "\0" + text[40:], "cut": text[: len(text) // 2], "year-9999": text.replace("2026", "9999"),
         "until-huge": text.replace('"until": 2400', '"until": 1e300'), "nan-token": text.replace("0.8", "NaN"),
         "many-steps": json.dumps(dict(base, steps=[{"at": i * 0.5, "do": "input"} for i in range(4000)]))}
for i in range(30):
    files["mutant-%02d" % i] = mutate(base)
for i in range(6):
    cut = rng.randrange(len(text))
    files["bytes-%02d" % i] = text[:cut] + chr(rng.randrange(32, 127)) + text[cut + 1:]
for name, content in files.items():
    with open(os.path.join(out, name + ".json"), "wb") as f:
        f.write(content.encode("utf-8", "surrogateescape"))
PY
mkdir "$work/folder.json"

ran=0 refused=0
for file in "$work"/*.json; do
    name=$(basename "$file")
    set +e
    (ulimit -v 4000000; timeout 60 "$sim" "$file" --data "$work/data-$name" >"$work/out" 2>"$work/err" </dev/null)
    status=$?
    set -e
    case $status in
    0)
        grep -q "^mirl-sim: ended at " "$work/out" || fail "$name: no summary: $(cat "$work/out")"
        [ -f "$work/data-$name/state.json" ] || fail "$name: no state.json"
        ran=$((ran + 1))
        ;;
    2)
        [ "$(wc -l <"$work/err")" = 1 ] || fail "$name: not one line: $(head -c 400 "$work/err")"
        grep -q "^mirl-sim: $file: " "$work/err" || fail "$name: the line does not name the file: $(cat "$work/err")"
        cat "$work/err" >>"$work/errors"
        refused=$((refused + 1))
        ;;
    124) fail "$name: still running after 60 s" ;;
    *) fail "$name: status $status: $(head -c 400 "$work/err")" ;;
    esac
done
grep -q ": step [0-9]* (" "$work/errors" || fail "no error named a step"
[ "$ran" -ge 5 ] && [ "$refused" -ge 20 ] || fail "$ran ran, $refused refused"
echo "mirl-sim: $ran scenarios ran, $refused refused in one line"
