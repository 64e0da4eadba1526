#!/bin/sh
# Builds the Debian package of the program, build/package/vibrolan_<version>_<arch>.deb,
# from the regular build, then checks it (scripts/check-deb.sh).
# Install it with: sudo apt install ./build/package/vibrolan_*.deb
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
rm -f build/package/vibrolan_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/package/vibrolan_*.deb)
scripts/check-deb.sh "$deb"
echo "package: $deb" >&2
