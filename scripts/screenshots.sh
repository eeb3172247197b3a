#!/usr/bin/env bash
# The pictures in docs/: the desktop program and its track view after a
# replay of a recorded drive, taken of real windows under Xvfb.
#
#   scripts/screenshots.sh [LOG]     (default: the recorded midnight drive)
#
# The log is replayed in UTC, where it crosses midnight, so the track view
# has two days to show. Then the real program runs under a window manager
# at QT_SCALE_FACTOR 1 and 2 (scripts/screen-fit.sh) and must place the
# track view on the screen; those pictures go to a temporary folder, named
# at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
log=${1:-../shared/testdata/nmea/nmeaparser-garmin-midnight.nmea}
[[ -f $log ]] || { echo "screenshots: $log is missing" >&2; exit 2; }
command -v xvfb-run >/dev/null || { echo "screenshots: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 2; }
for tool in openbox xdotool xwininfo xprop import; do
  command -v $tool >/dev/null || {
    echo "screenshots: $tool is missing (apt-get install openbox xdotool x11-utils imagemagick)" >&2
    exit 2
  }
done
[[ -f build/CMakeCache.txt ]] || cmake -S . -B build >/dev/null
cmake --build build -j 2 --target pathmere-screenshots pathmere >/dev/null
rm -f docs/track-*.png
# Replayed from its own folder by its bare name, so the message log in the
# pictures shows no path of the machine that took them.
here=$PWD
cd "$(dirname "$log")"
# A window manager, where there is one, so the windows are placed and framed
# as on a desktop.
TZ=UTC QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" sh -c '
  command -v openbox >/dev/null && { openbox >/dev/null 2>&1 & sleep 1; }
  exec "$0" "$@"' \
  "$here/build/tools/pathmere-screenshots" --log "$(basename "$log")" --out "$here/docs" --map
cd "$here"
# "All days" over ten generated years and the made-up map.
scripts/screenshots-all-days.sh
fit=$(mktemp -d /tmp/pathmere-fit-XXXXXX)
for scale in 1 2; do
  xvfb-run -a -s "-screen 0 1280x800x24" scripts/screen-fit.sh "$scale" "$fit" "$here/build/src/ui/pathmere"
done
echo "screenshots: the pictures of the fit are in $fit"
