#!/bin/sh
# Configures and builds the project into ./build (Ninja, RelWithDebInfo).
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build --parallel "$(nproc)"
