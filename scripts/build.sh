#!/usr/bin/env bash
# Configures and builds into build/ (or build-asan/ with --sanitize).
#   scripts/build.sh [--sanitize] [target ...]   (no target: everything)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  args=(-DCMAKE_BUILD_TYPE=Debug -DRCONF_SANITIZE=ON -DRCONF_BUILD_BENCH=OFF)
  shift
fi
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
