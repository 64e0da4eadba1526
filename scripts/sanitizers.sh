#!/bin/sh
# The test suite under the sanitizers: the whole ctest suite built with
# AddressSanitizer + UndefinedBehaviorSanitizer (preset asan-ubsan, build-asan/),
# then the threaded tests (ctest label "threaded") under ThreadSanitizer
# (preset tsan, build-tsan/, without the ifunc kernels TSan cannot load).
# SANITIZERS=asan or SANITIZERS=tsan runs one of them.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
which=${SANITIZERS:-asan tsan}
for s in $which; do
    case $s in
    asan)
        [ -f build-asan/CMakeCache.txt ] || cmake --preset asan-ubsan >/dev/null
        cmake --build build-asan --parallel "$(nproc)"
        echo "sanitizers: the suite under ASan + UBSan" >&2
        # The Python tests load the instrumented module into Debian's
        # uninstrumented interpreter: the runtime is preloaded for them (with
        # the C++ library, whose exceptions it must intercept), and
        # the interpreter's own allocations are not counted as leaks. The
        # installed-package test builds a plain C program against the
        # instrumented libraries, which only the instrumented build can link.
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)" --timeout 1800 \
                -E '^(python_|Install\.)'
        LD_PRELOAD="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libstdc++.so)" \
        ASAN_OPTIONS=detect_leaks=0:abort_on_error=0 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            ctest --test-dir build-asan --output-on-failure --timeout 1800 -R '^python_'
        ;;
    tsan)
        [ -f build-tsan/CMakeCache.txt ] || cmake --preset tsan >/dev/null
        cmake --build build-tsan --parallel "$(nproc)"
        echo "sanitizers: the threaded tests under TSan" >&2
        TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
            ctest --test-dir build-tsan -L threaded --output-on-failure --parallel "$(nproc)" --timeout 1800
        ;;
    *)
        echo "sanitizers: unknown '$s' (asan, tsan)" >&2
        exit 2
        ;;
    esac
done
