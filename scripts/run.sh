#!/usr/bin/env bash
# Builds Pathmere and runs it: the desktop program where a display exists,
# otherwise the headless logger replaying the bundled sample drive.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only the two programs: the test suite is scripts/test.sh's to build.
targets=(pathmere-cli)
# The desktop program is configured where Qt 6 Widgets is found.
[ -d build/src/ui ] && targets+=(pathmere)
cmake --build build -j "$(nproc)" --target "${targets[@]}"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/src/ui/pathmere ]; then
  exec build/src/ui/pathmere "$@"
fi

out="$PWD/out/sample-replay"
echo "No display here: replaying samples/sample-drive.nmea with the headless logger instead."
rm -rf "$out"
build/src/cli/pathmere-cli replay samples/sample-drive.nmea --output "$out"
echo "Files written to $out:"
ls -l "$out"
