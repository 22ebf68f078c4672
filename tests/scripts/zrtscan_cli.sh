#!/usr/bin/env bash
# zrtscan end to end on the virtual scanner: each subcommand, its failures,
# and the images it writes as the real TIFF and ImageMagick tools see them.
set -uo pipefail
BUILD=$1
ZRTSCAN="$BUILD/bin/zrtscan"
work=$(mktemp -d)
export TMPDIR="$work/tmp" ZRT_SHARED_NAME="/zrt-test-cli-$$"
mkdir -p "$TMPDIR"
trap 'rm -rf "$work"; rm -f "/dev/shm/zrt-test-cli-$$"' EXIT
fail=0
check() { # description, command...
  local what=$1; shift
  if ! "$@" >"$work/out" 2>&1; then echo "FAILED: $what"; cat "$work/out"; fail=1; fi
}
expect_exit() { # code, description, command...
  local code=$1 what=$2; shift 2
  "$@" >"$work/out" 2>&1
  local got=$?
  if [ "$got" -ne "$code" ]; then echo "FAILED: $what (exit $got, expected $code)"; cat "$work/out"; fail=1; fi
}

check "info" "$ZRTSCAN" info
grep -q "Film adapter connected" "$work/out" || { echo "FAILED: info shows the adapter"; fail=1; }
check "devices lists the virtual scanner" "$ZRTSCAN" --json devices
grep -q '"sim"' "$work/out" || { echo "FAILED: devices"; fail=1; }
check "buttons" "$ZRTSCAN" buttons
check "selftest" "$ZRTSCAN" selftest

# A colour scan of a 20 x 10 mm area at 300 dpi: 236 x 118 pixels.
check "scan tiff" "$ZRTSCAN" -q scan --resolution 300 --mode color24 --area 10,10,20,10 -o "$work/a.tiff"
identify -format '%w %h %z %[colorspace]\n' "$work/a.tiff" > "$work/id" 2>/dev/null
grep -q '^236 118 8 sRGB' "$work/id" || { echo "FAILED: identify a.tiff: $(cat "$work/id")"; fail=1; }
tiffinfo "$work/a.tiff" 2>/dev/null | grep -q "Resolution: 300, 300 pixels/inch" || { echo "FAILED: tiff resolution"; fail=1; }
check "scan png gray16" "$ZRTSCAN" -q scan --resolution 150 --mode gray16 --area 0,0,20,10 -o "$work/b.png"
identify -format '%w %h %z\n' "$work/b.png" | grep -q '^118 59 16' || { echo "FAILED: identify b.png"; fail=1; }
check "scan pnm" "$ZRTSCAN" -q scan --resolution 75 --mode gray8 --area 0,0,20,10 -o "$work/c.pnm"

# Failures: a clear message, a non-zero exit, and no image under the name.
expect_exit 1 "area outside the glass" "$ZRTSCAN" -q scan --area 200,0,50,10 -o "$work/bad.tiff"
grep -q "SetScanParameter failed: 0x970D" "$work/out" || { echo "FAILED: message names the export and status"; cat "$work/out"; fail=1; }
[ ! -e "$work/bad.tiff" ] || { echo "FAILED: a failed scan left bad.tiff"; fail=1; }
expect_exit 1 "film scan without adapter" "$ZRTSCAN" --device sim:film=none -q scan --source film -o "$work/f.tiff"
expect_exit 2 "unknown option" "$ZRTSCAN" scan --frobnicate -o "$work/x.tiff"
expect_exit 2 "unknown format" "$ZRTSCAN" scan -o "$work/x.jpeg"
ls "$work" | grep -q partial && { echo "FAILED: temporary files left behind"; fail=1; }

# After calibration the white patch of the chart is flat: the column means
# of a 48-bit scan spread by under 1 % (the model's sensor spreads by 10 %).
check "white patch" "$ZRTSCAN" --device sim:film=none -q scan --resolution 300 --mode color48 \
  --area 190.5,31.75,21,15 -o "$work/white.pnm"
python3 - "$work/white.pnm" <<'PY' || fail=1
import struct, sys
data = open(sys.argv[1], 'rb').read()
header = data.split(b'\n', 3)
w, h = map(int, header[1].split())
samples = struct.unpack('>%dH' % (w * h * 3), header[3][:w * h * 6])
for c in range(3):
    cols = [sum(samples[(y * w + x) * 3 + c] for y in range(h)) / h for x in range(w)]
    mean = sum(cols) / w
    spread = (max(cols) - min(cols)) / mean
    if mean < 30000 or spread >= 0.01:
        sys.exit('FAILED: white patch channel %d: mean %.0f, spread %.2f %%' % (c, mean, spread * 100))
PY

# The film workflow: RGBI frames of 16-bit samples, four to a pixel.
check "film" "$ZRTSCAN" -q film --resolution 600 -o "$work/film"
frames=$(ls "$work/film"/frame-*.tiff 2>/dev/null | wc -l)
[ "$frames" -ge 5 ] || { echo "FAILED: film wrote $frames frames"; fail=1; }
tiffinfo "$work/film/frame-01.tiff" 2>/dev/null | grep -q "Samples/Pixel: 4" || { echo "FAILED: frame samples"; fail=1; }
tiffinfo "$work/film/frame-01.tiff" 2>/dev/null | grep -q "Bits/Sample: 16" || { echo "FAILED: frame depth"; fail=1; }

[ $fail -eq 0 ] && echo "zrtscan: all checks passed"
exit $fail
