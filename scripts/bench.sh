#!/usr/bin/env bash
# Builds the benchmarks (optimised, in build-bench/) and prints their figures:
# polling at 5 ms with the panes on against the engine alone, 1,000,000 log
# lines, start-up to the first painted window, firmware programming, and
# rconf-cli programming eight boards at once.
#   scripts/bench.sh [POLL_SECONDS]   seconds per polling measurement, default 30
set -euo pipefail
cd "$(dirname "$0")/.."
poll_seconds="${1:-30}"
scripts/deps.sh
dir=build-bench
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DRCONF_BUILD_TESTS=OFF >/dev/null
targets=(bench_polling bench_log bench_startup vboard rconf-cli bench_cli_parallel)
# The firmware benchmark belongs to the firmware area; run it when it is there.
if cmake --build "$dir" --target help 2>/dev/null | grep -q '^\.\.\. bench_firmware$'; then
  targets+=(bench_firmware)
fi
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
export QT_QPA_PLATFORM=offscreen

echo "Machine: $(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
echo
"$dir/bench/bench_polling" "$poll_seconds"
echo
"$dir/bench/bench_log"
echo
"$dir/bench/bench_startup"
if [ -x "$dir/bench/bench_firmware" ]; then
  echo
  "$dir/bench/bench_firmware"
fi
echo
"$dir/bench/bench_cli_parallel"
