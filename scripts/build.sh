#!/usr/bin/env bash
# Configures and builds into build/ (Qt 5.15), or build-qt6/ with --qt6,
# build-asan/ with --sanitize (build-asan-qt6/ with both).
#   scripts/build.sh [--sanitize] [--qt6] [target ...]   (no target: everything)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
qt=5
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) dir=build-asan; args=(-DCMAKE_BUILD_TYPE=Debug -DRCONF_SANITIZE=ON -DRCONF_BUILD_BENCH=OFF) ;;
    --qt6) qt=6 ;;
    *) break ;;
  esac
  shift
done
[ "$qt" = 6 ] && dir="$dir-qt6"
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake -S . -B "$dir" "${args[@]}" -DRCONF_QT="$qt" >/dev/null
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
