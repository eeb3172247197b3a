#!/usr/bin/env bash
# Installs what building and testing Pathmere needs on Debian 12, and only
# what is missing, so it is cheap to run every time.
#   scripts/install-deps.sh            everything scripts/run.sh and scripts/test.sh need
#   scripts/install-deps.sh package    only what scripts/package.sh needs (small boards)
set -euo pipefail

# dpkg-dev: dpkg-shlibdeps finds the package's Depends, dpkg-buildflags its
# hardening flags.
packages=(cmake g++ make pkgconf qt6-base-dev dpkg-dev)
if [ "${1:-}" != package ]; then
  # clang and its runtime build the fuzz targets; gpsbabel reads our files back
  # in the tests and is the yardstick in the benchmark; desktop-file-utils and
  # man-db check the package's menu entry and manual pages.
  packages+=(libgtest-dev libgmock-dev xvfb xauth clang libclang-rt-14-dev gpsbabel libbenchmark-dev time
             desktop-file-utils man-db)
fi
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
