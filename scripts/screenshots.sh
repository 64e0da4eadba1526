#!/bin/sh
# Saves pictures of the main window into the folder given on the command line:
#   main_window_empty.png   the window right after start-up
#   main_window_run.png     after a run on a simulated run-up recording
#   main_window_report.png  the report view of that run
#   general_page1..5.png    the pages of the configuration dialog
#   stage_free.png, stage_shrouded.png   the two stage editors
#   calculator_page1/2.png  the calculator after a steady-state run
# Runs under a virtual X server (xvfb-run). BUILD_DIR selects the build
# folder (default: build); the programs are built there when missing.
set -eu
if [ $# -ne 1 ]; then
    echo "usage: $0 OUTPUT_FOLDER" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
out=$1
mkdir -p "$out"
out=$(cd "$out" && pwd)
build=${BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build=$root/$build ;; esac
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DVIBROLAN_BUILD_BENCH=OFF
fi
cmake --build "$build" --target vibrolan-screenshot vibrolan-cli --parallel 2
for tool in xvfb-run xauth; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb xauth)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/vibrolan-cli" simulate runup --out "$work" --scale 0.05 >/dev/null
lfm=$(ls "$work"/*.lfm | head -n 1)
mkdir -p "$work/steady"
"$build/bin/vibrolan-cli" simulate steady --out "$work/steady" --scale 0.2 >/dev/null
steady=$(ls "$work"/steady/*.lfm | head -n 1)

shot() {
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/vibrolan-screenshot" "$@"
}
shot "$out/main_window_empty.png"
shot "$out/main_window_run.png" "$lfm"
shot "$out/main_window_report.png" "$lfm" --report
shot "$work/unused.png" "$lfm" --dialogs "$out"
shot "$work/steady.png" "$steady" --calc "$out"
ls -l "$out"/*.png
