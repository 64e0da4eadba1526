#!/bin/sh
# Builds the libFuzzer targets with clang (ASan + UBSan) into ./build-fuzz and
# runs each briefly on its seed corpus. Skipped when clang is not installed.
# FUZZ_SECONDS sets the time per target (default 10).
set -eu
cd "$(dirname "$0")/.."
if ! command -v clang++-14 >/dev/null 2>&1; then
    echo "fuzz-smoke: clang++-14 not found, skipped" >&2
    exit 0
fi
seconds=${FUZZ_SECONDS:-10}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g"
if [ ! -f build-fuzz/CMakeCache.txt ]; then
    CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIBROLAN_FUZZ=ON \
        -DVIBROLAN_BUILD_TESTS=OFF -DVIBROLAN_BUILD_BENCH=OFF -DVIBROLAN_BUILD_GUI=OFF \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
fi
cmake --build build-fuzz --parallel "$(nproc)" --target fuzzers
found=0
for target in build-fuzz/bin/fuzz_*; do
    [ -x "$target" ] || continue
    found=1
    name=$(basename "$target" | sed 's/^fuzz_//')
    corpus=fuzz/corpus/$name
    work=build-fuzz/corpus-work/$name
    mkdir -p "$work"
    echo "fuzz-smoke: $name for ${seconds}s" >&2
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=0 "$work" "$corpus" >build-fuzz/fuzz-$name.log 2>&1 || {
        echo "fuzz-smoke: $name FAILED" >&2
        tail -50 build-fuzz/fuzz-$name.log >&2
        exit 1
    }
done
[ $found -eq 1 ] || echo "fuzz-smoke: no fuzz targets yet" >&2
exit 0
