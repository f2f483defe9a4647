#!/usr/bin/env bash
# Builds the Debian package build-pkg/rconf_<version>_amd64.deb: a Release
# build for the prefix /usr without tests and benchmarks, packed by CPack
# with stripped binaries and dependencies from dpkg-shlibdeps.
#   scripts/package.sh [--qt6]   (default Qt 5.15; --qt6 builds it with Qt 6 in build-pkg-qt6/)
set -euo pipefail
cd "$(dirname "$0")/.."
qt=5
dir=build-pkg
if [ "${1:-}" = "--qt6" ]; then
  qt=6
  dir=build-pkg-qt6
fi
RCONF_QT="$qt" scripts/deps.sh dpkg-dev
# The release dates in the changelog and metainfo are the last commit's.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git rev-parse --git-dir >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
  export SOURCE_DATE_EPOCH
fi
# Debian's hardening flags, -z now included; no -g, the binaries are stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed -E 's/(^| )-g( |$)/ /')"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DRCONF_QT="$qt" \
  -DRCONF_BUILD_TESTS=OFF -DRCONF_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/rconf_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/rconf_*_amd64.deb
