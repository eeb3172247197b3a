#!/usr/bin/env bash
# Installs what building and testing Pathmere needs on Debian 12, and only
# what is missing, so it is cheap to run every time.
set -euo pipefail

# clang and its runtime build the fuzz targets; gpsbabel reads our files back
# in the tests and is the yardstick in the benchmark.
packages=(cmake g++ make pkgconf libgtest-dev libgmock-dev qt6-base-dev xvfb xauth
          clang libclang-rt-14-dev gpsbabel libbenchmark-dev time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
