#!/usr/bin/env bash
# The shipped frame-finder settings find the frames of the virtual scanner's
# negative strip on a real preview: at least the five reachable frames,
# numbered from 1 down the strip, negative, each about one frame long and
# clear of its neighbours.
set -euo pipefail
BUILD=${1:?build directory}
SOURCE=${2:?source directory}

# Own scratch directory and own shared block, both removed at the end.
work=$(mktemp -d)
shared="zrt-test-frames-sim-$$"
trap 'rm -rf "$work"; rm -f "/dev/shm/$shared"' EXIT
mkdir "$work/tmp"
export TMPDIR="$work/tmp"
export ZRT_SHARED_NAME="/$shared"

"$BUILD/bin/zrtscan" -q preview -o "$work/preview.tiff"
"$BUILD/bin/zrtscan" -q --json frames "$work/preview.tiff" \
    --settings "$SOURCE/data/framefinder-sim.txt" >"$work/frames.json"

python3 - "$work/frames.json" <<'EOF'
import json, sys

frames = json.load(open(sys.argv[1]))["frames"]
errors = []
if len(frames) < 5:
    errors.append("%d frames found, expected at least 5" % len(frames))
# 36 mm at 300 dpi is 425 pixels; accept 30 to 42 mm.
for i, f in enumerate(frames):
    if f["number"] != i + 1:
        errors.append("entry %d is numbered %d" % (i, f["number"]))
    if f["polarity"] != "negative":
        errors.append("frame %d is %s" % (f["number"], f["polarity"]))
    height = f["bottom"] - f["top"] + 1
    if not 354 < height < 496:
        errors.append("frame %d is %d rows high" % (f["number"], height))
    if i > 0 and f["top"] <= frames[i - 1]["bottom"]:
        errors.append("frame %d does not start below frame %d" % (f["number"], i))
for e in errors:
    print("frames_sim: " + e, file=sys.stderr)
if errors:
    json.dump(frames, sys.stderr, indent=1)
    sys.exit(1)
print("frames_sim: %d frames" % len(frames))
EOF
