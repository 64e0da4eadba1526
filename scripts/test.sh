#!/bin/sh
# The whole test suite: dependencies, build, every ctest case, then a short
# run of each fuzz target on its seed corpus.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 600
scripts/package.sh
scripts/fuzz-smoke.sh
