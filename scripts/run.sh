#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated board and the configurator.
#   scripts/run.sh [simulator options, e.g. --type chemistry --program boot]
# Without a display the window is started under Xvfb when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scripts/deps.sh
scripts/build.sh
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
