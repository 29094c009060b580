#!/usr/bin/env bash
# Builds the Debian package karvel_VERSION_ARCH.deb in out/package: a Release
# build with Debian's compiler and linker flags (dpkg-buildflags, every
# hardening feature), packed by CPack. Prints the path of the package.
#
#   scripts/build-package.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-out/package}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS

# The flags are read when the folder is configured first: start afresh.
rm -rf "$build"
mkdir -p "$build"
log=$(realpath "$build")/build-package.log
quiet() {
  "$@" >>"$log" 2>&1 || { cat "$log" >&2; echo "build-package: failed: $*" >&2; exit 1; }
}
quiet cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DKARVEL_BUILD_BENCH=OFF
quiet cmake --build "$build" -j "$(nproc)"
(cd "$build" && quiet cpack -G DEB)
ls "$build"/karvel_*.deb
