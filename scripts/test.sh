#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (widgets offscreen).
#   scripts/test.sh             normal build in build/ (Qt 5.15)
#   scripts/test.sh --qt6       the same with Qt 6 in build-qt6/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
qt=5
for a in "$@"; do
  case "$a" in
    --sanitize) dir=build-asan ;;
    --qt6) qt=6 ;;
    *) echo "unknown option: $a" >&2; exit 2 ;;
  esac
done
[ "$qt" = 6 ] && dir="$dir-qt6"
RCONF_QT="$qt" scripts/deps.sh
scripts/build.sh "$@"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$dir" && ctest --output-on-failure -j2
