#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one.
#   scripts/fuzz.sh [SECONDS]   seconds per target, default 60
# New inputs are kept in fuzz/corpus-run/<target>/ (not committed); crashes
# are written to build-fuzz/findings/ and make the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

scripts/deps.sh clang
clang_major="$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)"
scripts/deps.sh clang "libclang-rt-${clang_major}-dev"

dir=build-fuzz
cmake -S fuzz -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" --target make_seeds fuzz_receive_blocks fuzz_receive_frames fuzz_update_sheet

# A small quarantine keeps the 100 KB update-file blocks from faulting in fresh pages on every input.
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:quarantine_size_mb=16
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

rm -rf "$dir/seeds"
"$dir/make_seeds" "$dir/seeds"
mkdir -p "$dir/findings"

status=0
for target in fuzz_receive_blocks fuzz_receive_frames fuzz_update_sheet; do
  corpus="fuzz/corpus-run/$target"
  mkdir -p "$corpus"
  max_len=4096
  [ "$target" = fuzz_update_sheet ] && max_len=110000
  echo "== $target: ${seconds} s"
  if ! "$dir/$target" "$corpus" "$dir/seeds/$target" -max_total_time="$seconds" -max_len="$max_len" \
      -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/findings/$target-" \
      >"$dir/$target.log" 2>&1; then
    status=1
    echo "!! $target found a fault; see $dir/$target.log and $dir/findings/"
    tail -n 40 "$dir/$target.log"
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/$target.log" | tail -n1)"
  corpus_size="$(find "$corpus" -type f | wc -l)"
  echo "   ${runs:-0} inputs run, corpus of $corpus_size inputs in $corpus"
done
exit "$status"
