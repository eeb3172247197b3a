#!/usr/bin/env bash
# Builds Pathmere and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
echo "Pathmere is built (build/). The headless logger and the desktop program follow."
