#!/bin/sh
# The whole test suite: dependencies, build, every ctest case under the C
# locale and under the users' Russian one (decimal comma), then under
# AddressSanitizer + UBSan, the package, and a short run of each fuzz target
# on its seed corpus.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
for loc in C.UTF-8 ru_RU.UTF-8; do
    echo "test: the suite under LC_ALL=$loc" >&2
    LC_ALL=$loc ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 600
done
# The whole suite again, built with AddressSanitizer + UBSan (build-asan/).
SANITIZERS=asan scripts/sanitizers.sh
scripts/package.sh
scripts/fuzz-smoke.sh
