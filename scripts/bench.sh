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
cmake --build "$dir" -j"$(nproc)" --target bench_polling bench_log bench_startup bench_firmware bench_cli_parallel vboard rconf-cli
export QT_QPA_PLATFORM=offscreen

echo "Machine: $(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
echo
"$dir/bench/bench_polling" "$poll_seconds"
echo
"$dir/bench/bench_log"
echo
"$dir/bench/bench_startup"
echo
"$dir/bench/bench_firmware"
echo
"$dir/bench/bench_cli_parallel"
