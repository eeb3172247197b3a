#!/usr/bin/env bash
# Builds Pathmere and runs every test twice: a normal build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer. Any failure or sanitizer
# report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
# The tests read our files back through GPSBabel and start a real gpsd; here
# the absence of either is a failure.
export PATHMERE_REQUIRE_GPSBABEL=1
export PATHMERE_REQUIRE_GPSD=1
export PATHMERE_REQUIRE_MOSQUITTO=1
export PATHMERE_REQUIRE_GPX_SCHEMA=1

# Unformatted code fails the run, so the tree stays as clang-format leaves it
# (.clang-format); `clang-format -i FILE` mends a file.
scripts/check-format.sh

command -v dpkg-deb >/dev/null || echo "dpkg-deb not found: the Debian package test (PackageTest) is skipped."

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 600)

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPATHMERE_SANITIZE=ON
cmake --build build-asan -j "$jobs"
# The disk fault walk takes every 7th file operation here; the plain build
# walks them all.
(cd build-asan && PATHMERE_FAULT_WALK_STEP=7 ctest --output-on-failure -j "$jobs" --timeout 900)

# Every fuzz target for a minute, with the same sanitizers.
FUZZ_JOBS="$jobs" scripts/fuzz.sh 60

echo "All tests passed (plain and sanitizer builds, fuzz targets)."
