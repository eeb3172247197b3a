#!/usr/bin/env bash
# The disk fault walk over a longer day than the test suite's: every file
# operation of SECONDS (default 1800) of driving fails in turn (a full disk,
# a read-only one, an I/O error; once and for minutes) and the power is cut
# at each, through the real program. Prints how many runs it walked.
#
#   scripts/fault-walk.sh [SECONDS [STEP]]    (needs build/ from scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
PATHMERE_FAULT_WALK_SECONDS=${1:-1800} PATHMERE_FAULT_WALK_STEP=${2:-1} \
  build/tests/pathmere_tests --gtest_filter='DiskFaultWalkTest.*'
