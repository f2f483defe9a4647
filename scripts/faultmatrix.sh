#!/usr/bin/env bash
# Runs the fault matrix with many seeded runs (default 50 per matrix):
# firmware programming, hardware configuration write and user calibration
# write over a line that loses, damages, splits and delays replies, with the
# board vanishing in the middle of some runs. Prints one summary per matrix.
#   scripts/faultmatrix.sh [RUNS] [FIRST_SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
export RCONF_FAULT_RUNS="${1:-50}"
export RCONF_FAULT_SEED="${2:-1}"
build/tests/test_fault_matrix
