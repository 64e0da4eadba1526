#!/bin/sh
# Installs the libraries and their development files into a fresh prefix,
# then builds the plain C example against that prefix alone, once through
# pkg-config and once through find_package(Vibrolan), and runs both.
# Usage: install_and_build.sh BUILD_DIR CMAKE C_COMPILER GENERATOR VERSION EXAMPLE_C CONSUMER_DIR
set -eu
build=$1 cmake=$2 cc=$3 generator=$4 version=$5 example=$6 consumer=$7
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

for component in libraries development; do
    "$cmake" --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done

pcfile=$(find "$prefix" -name sigmath.pc)
test -n "$pcfile" || { echo "sigmath.pc not installed" >&2; exit 1; }
libdir=$(dirname "$(dirname "$pcfile")")
# Only the temporary prefix: nothing from the system or the build tree.
export PKG_CONFIG_LIBDIR="$libdir/pkgconfig"
unset PKG_CONFIG_PATH || true
got=$(pkg-config --modversion sigmath)
[ "$got" = "$version" ] || { echo "pkg-config says $got, expected $version" >&2; exit 1; }
# shellcheck disable=SC2046
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags sigmath) "$example" \
    -o "$tmp/with_pkgconfig" $(pkg-config --libs sigmath) -lm
LD_LIBRARY_PATH="$libdir" "$tmp/with_pkgconfig" "$version"
echo "pkg-config build: ok"

"$cmake" -S "$consumer" -B "$tmp/consumer" -G "$generator" -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_PREFIX_PATH="$prefix" -DEXAMPLE_SOURCE="$example" -DVIBROLAN_WANTED_VERSION="$version" >/dev/null
"$cmake" --build "$tmp/consumer" >/dev/null
"$tmp/consumer/consumer" "$version"
echo "find_package build: ok"

# The version file refuses a major version the libraries are not.
major=${version%%.*}
if "$cmake" -S "$consumer" -B "$tmp/wrong" -G "$generator" -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_PREFIX_PATH="$prefix" -DEXAMPLE_SOURCE="$example" \
    -DVIBROLAN_WANTED_VERSION="$((major + 1)).0" >/dev/null 2>&1; then
    echo "find_package accepted version $((major + 1)).0" >&2
    exit 1
fi
echo "version check: ok"
