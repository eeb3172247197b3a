#!/usr/bin/env bash
# Installs what building and testing Pathmere needs on Debian 12, and only
# what is missing, so it is cheap to run every time.
#   scripts/install-deps.sh            everything scripts/run.sh and scripts/test.sh need
#   scripts/install-deps.sh package    only what scripts/package.sh needs (small boards)
set -euo pipefail

# dpkg-dev: dpkg-shlibdeps finds the package's Depends, dpkg-buildflags its
# hardening flags.
# nlohmann-json3-dev: the JSON of pathmere-cli summary --json and of the
# OwnTracks messages (header-only); libsqlite3-dev: the track view reads
# MBTiles map files, which are SQLite databases; libmosquitto-dev: the MQTT
# client that publishes the positions (MQTT is not written by hand).
packages=(cmake g++ make pkgconf qt6-base-dev dpkg-dev nlohmann-json3-dev libsqlite3-dev libmosquitto-dev)
if [ "${1:-}" != package ]; then
  # clang and its runtime build the fuzz targets; gpsbabel reads our files back
  # in the tests and is the yardstick in the benchmark; desktop-file-utils and
  # man-db check the package's menu entry and manual pages; gpsd is the real
  # gpsd that the network-source tests start on a port of their own.
  packages+=(libgtest-dev libgmock-dev xvfb xauth clang libclang-rt-14-dev gpsbabel libbenchmark-dev time
             desktop-file-utils man-db gpsd)
  # xmllint validates the GPX files the tests write against the GPX 1.1 schema.
  packages+=(libxml2-utils)
  # mosquitto is the real MQTT broker the publishing tests start on a port of
  # their own (never as the system's service); openssl makes their test CA.
  packages+=(mosquitto openssl)
  # gpxpy, the GPX reader of Python programs, reads them back in the tests.
  packages+=(python3-gpxpy)
fi
# clang-format: scripts/test.sh fails on unformatted code.
if [ "${1:-}" != package ]; then packages+=(clang-format); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The GPX 1.1 schema for the tests, from Debian's pytrainer package file.
if [ "${1:-}" != package ]; then
  "$(dirname "$0")/fetch-gpx-schema.sh" || echo "GPX schema not fetched: GPX files are not validated."
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
fresh_gpsd=0
fresh_mosquitto=0
[[ " ${missing[*]} " == *" gpsd "* ]] && fresh_gpsd=1
[[ " ${missing[*]} " == *" mosquitto "* ]] && fresh_mosquitto=1
if [ $fresh_gpsd -eq 1 ] || [ $fresh_mosquitto -eq 1 ]; then
  # The packages would start a system gpsd on port 2947 (and let it take USB
  # receivers as they are plugged in, away from Pathmere and the tests) and a
  # system broker on port 1883. While they install, policy-rc.d refuses to
  # start services (unless the machine has one of its own).
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
    $sudo chmod 755 /usr/sbin/policy-rc.d
    trap '$sudo rm -f /usr/sbin/policy-rc.d' EXIT
  fi
fi
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
if [ $fresh_gpsd -eq 1 ]; then
  # Installed only for the tests: no daemon at boot, none on hot-plug. To use
  # it as a system service: systemctl enable --now gpsd.socket and
  # USBAUTO="true" in /etc/default/gpsd.
  if [ -d /run/systemd/system ]; then
    $sudo systemctl disable --now gpsd.socket gpsd.service >/dev/null 2>&1 || true
  fi
  $sudo sed -i 's/^USBAUTO=.*/USBAUTO="false"/' /etc/default/gpsd
fi
if [ $fresh_mosquitto -eq 1 ] && [ -d /run/systemd/system ]; then
  # Installed only for the tests, which start their own: no broker at boot.
  $sudo systemctl disable --now mosquitto.service >/dev/null 2>&1 || true
fi
