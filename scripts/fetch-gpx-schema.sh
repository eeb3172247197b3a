#!/usr/bin/env bash
# Puts the GPX 1.1 schema where the tests look for it
# (${PATHMERE_GPX_SCHEMA_DIR:-$HOME/.cache/pathmere-tests}/Topografix_gpx11.xsd),
# so that every GPX file they write is validated with xmllint. Debian ships
# the schema inside pytrainer; only its package file is fetched and unpacked,
# pytrainer itself is not installed.
set -euo pipefail
dir=${PATHMERE_GPX_SCHEMA_DIR:-$HOME/.cache/pathmere-tests}
[ -s "$dir/Topografix_gpx11.xsd" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
if ! apt-get download pytrainer >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  apt-get download pytrainer >/dev/null
fi
dpkg-deb -x pytrainer_*.deb unpacked
mkdir -p "$dir"
cp unpacked/usr/share/pytrainer/schemas/Topografix_gpx11.xsd "$dir/"
echo "GPX 1.1 schema in $dir"
