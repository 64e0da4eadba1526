#!/bin/sh
# The main job: builds everything, writes the bundled example (a simulated
# run-up of two stages, fixed seed) into out/example and analyses it: the text
# report, the rotation-speed curves and every pair's per-blade series.
# With a display, the GUI then opens the example's configuration.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
out=out/example
rm -rf "$out"
mkdir -p "$out"
build/bin/vibrolan-cli simulate runup --out "$out" --name runup --seed 1
build/bin/vibrolan-cli analyze "$out/runup.lfm" \
    --report "$out/runup-report.txt" --tacho "$out/runup-tacho.csv" --series "$out/series"
echo "example written to $out: runup.bld, runup.lfm, runup.truth.csv (ground truth)," \
     "runup-report.txt (UTF-16LE), runup-tacho.csv, series/" >&2
if [ -n "${DISPLAY:-}" ] && [ -x build/bin/vibrolan ]; then
    exec build/bin/vibrolan "$out/runup.lfm"
fi
