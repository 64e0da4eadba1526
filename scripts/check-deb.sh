#!/bin/sh
# Checks a built Debian package: its control fields and Depends, the files it
# must hold, and that the programs run from the unpacked tree alone (the
# libraries found through RUNPATH $ORIGIN/../lib, not the build tree).
# Usage: scripts/check-deb.sh build/package/vibrolan_<version>_<arch>.deb
set -eu
deb=$1
fail() { echo "check-deb: $*" >&2; exit 1; }

[ "$(dpkg-deb -f "$deb" Package)" = vibrolan ] || fail "package name is not vibrolan"
version=$(dpkg-deb -f "$deb" Version)
[ -n "$version" ] || fail "no Version field"
depends=$(dpkg-deb -f "$deb" Depends)
# Computed from the binaries: the C/C++ runtime, Qt 6, the plotting library, HDF5.
for dep in libc6 libstdc++6 libqt6widgets6 libqcustomplot2.1-qt6 libhdf5-103-1; do
    echo "$depends" | grep -q "$dep" || fail "Depends lacks $dep: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/vibrolan ./usr/bin/vibrolan-cli \
    ./usr/lib/libsigmath.so.0 ./usr/lib/libhostrt.so.0 ./usr/lib/libsigmath.so ./usr/lib/libhostrt.so \
    ./usr/include/sigmath/sigmath.h ./usr/include/hostrt/hostrt.h \
    ./usr/lib/pkgconfig/sigmath.pc ./usr/lib/pkgconfig/hostrt.pc \
    ./usr/lib/cmake/Vibrolan/VibrolanConfig.cmake ./usr/lib/cmake/Vibrolan/VibrolanConfigVersion.cmake \
    ./usr/share/applications/vibrolan.desktop ./usr/share/icons/hicolor/scalable/apps/vibrolan.svg \
    ./usr/share/doc/vibrolan/LICENSE ./usr/share/doc/vibrolan/README.md ./usr/share/doc/vibrolan/CHANGELOG.md; do
    echo "$contents" | grep -qxF "$f" || fail "missing $f"
done
if echo "$contents" | grep -q '/test_\|/bench_\|\.o$'; then
    fail "tests, benchmarks or objects in the package"
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
bin=$tmp/root/usr/bin
unset LD_LIBRARY_PATH || true
for exe in "$bin/vibrolan" "$bin/vibrolan-cli"; do
    if readelf -d "$exe" | grep -q "R.*PATH.*/work\|R.*PATH.*build"; then
        fail "$exe keeps a build-tree RUNPATH"
    fi
    ldd "$exe" | grep -q "not found" && fail "$exe: $(ldd "$exe" | grep 'not found')"
    ldd "$exe" | grep libsigmath | grep -qF "$tmp/root/usr/bin/../lib/libsigmath" || fail "$exe does not use the package's libsigmath"
done
[ "$("$bin/vibrolan-cli" --version)" = "vibrolan-cli $version" ] || fail "vibrolan-cli --version is not $version"
"$bin/vibrolan-cli" simulate runup --out "$tmp/run" --name runup --seed 1 >"$tmp/log" 2>&1 ||
    { cat "$tmp/log" >&2; fail "simulate failed"; }
"$bin/vibrolan-cli" analyze "$tmp/run/runup.lfm" --report "$tmp/run/report.txt" >"$tmp/log" 2>&1 ||
    { cat "$tmp/log" >&2; fail "analyze failed"; }
[ -s "$tmp/run/report.txt" ] || fail "analyze wrote no report"
# The GUI starts and keeps running (offscreen) until it is stopped.
rc=0
QT_QPA_PLATFORM=offscreen HOME="$tmp" timeout 3 "$bin/vibrolan" >"$tmp/log" 2>&1 || rc=$?
[ "$rc" -eq 124 ] || { cat "$tmp/log" >&2; fail "the GUI ended with status $rc instead of running"; }
desktop=$tmp/root/usr/share/applications/vibrolan.desktop
for line in "Type=Application" "Exec=vibrolan" "Icon=vibrolan"; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
# Every Depends is installable here (resolved against the system, nothing installed).
apt-get install --simulate "$(realpath "$deb")" >"$tmp/log" 2>&1 || { cat "$tmp/log" >&2; fail "apt cannot install it"; }
echo "check-deb: $deb ok (version $version)"
