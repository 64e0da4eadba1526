#!/bin/sh
# Installs every Debian package the project needs to build, test, fuzz and
# show its GUI. Idempotent: packages already present are skipped, and apt is
# not touched at all when nothing is missing.
set -eu

PACKAGES="g++ cmake ninja-build pkg-config git
qt6-base-dev libqcustomplot-dev libgl-dev
libgtest-dev libgmock-dev libbenchmark-dev
nlohmann-json3-dev libeigen3-dev libboost-dev
libhdf5-dev libdeflate-dev python3-dev pybind11-dev python3-numpy
python3-h5py python3-pandas python3-matplotlib python3-pytest
libsndfile1-dev libtbb-dev
xvfb xauth dpkg-dev file
clang-14 libclang-rt-14-dev llvm-14
locales"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

# The suite also runs under the users' Russian locale (decimal comma).
ensure_locale() {
    if locale -a 2>/dev/null | grep -qix 'ru_RU\.utf-\?8'; then
        return 0
    fi
    echo "deps: generating ru_RU.UTF-8" >&2
    if ! grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'ru_RU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    $SUDO locale-gen >/dev/null
}

if [ -z "$missing" ]; then
    ensure_locale
    exit 0
fi

echo "deps: installing$missing" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
ensure_locale
