#!/bin/sh
# The main job: builds everything and runs the program on the bundled example.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
build/bin/vibrolan-cli --version
