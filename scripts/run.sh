#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated board and the configurator.
#   scripts/run.sh [simulator options, e.g. --type chemistry --program boot]
# Without a display the window is started under Xvfb when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scripts/deps.sh
scripts/build.sh rconf vboard mkrbin
# Two update files to try programming with: one for the laboratory boards,
# one for the photocolorimeter.
demo="$top/build/demo"
mkdir -p "$demo"
"$top/build/tools/mkrbin" --random-pages 8 --seed 7 --target 1 --version 7 --date 2026-11-20 --hw 2 \
  --notes "Демонстрационная прошивка лаборатории, версия 7" --out "$demo/laboratory-v7.rbin" >/dev/null
"$top/build/tools/mkrbin" --random-pages 8 --seed 11 --target 11 --version 3 --date 2026-11-20 --hw 1 \
  --notes "Демонстрационная прошивка фотоколориметра, версия 3" --out "$demo/photocolorimeter-v3.rbin" >/dev/null
echo "Update files to program: $demo/*.rbin"
out=$(mktemp)
"$top/build/sim/vboard" "$@" > "$out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
echo "Simulated board at $(head -n1 "$out"): choose it in the port list and press «Открыть»."
# The reference-document buttons open their files from the working directory.
cd "$top/docs"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  xvfb-run -a "$top/build/rconf"
else
  "$top/build/rconf"
fi
