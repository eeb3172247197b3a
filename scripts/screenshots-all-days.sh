#!/usr/bin/env bash
# The pictures of "All days" in docs/: the window over ten generated years
# (3,650 days of 8,200 points, as the archive benchmark's) and a made-up map,
# whole, at a city's and a street's scale, the days that passed a place
# after a click, and one of them opened in the track view. Taken of real
# windows under Xvfb; each picture is cut to 256 colours when it would
# weigh more than 300 KB.
#
#   scripts/screenshots-all-days.sh [DAYS_FOLDER [INDEX]]
#
# DAYS_FOLDER: a generated archive to use (default: the benchmark's,
# $PATHMERE_BENCH_DIR/archive-10y, else build-bench/scratch/archive-10y;
# generated when missing); INDEX: its index made before
# (default: the benchmark's beside it, when there), else the window makes one.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v xvfb-run >/dev/null || { echo "screenshots: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 2; }
[[ -f build/CMakeCache.txt ]] || cmake -S . -B build >/dev/null
cmake --build build -j 2 --target pathmere-screenshots pathmere-archive-gen >/dev/null
days=${1:-${PATHMERE_BENCH_DIR:-build-bench/scratch}/archive-10y}
if [[ ! -f $days/.complete ]]; then
  rm -rf "$days"
  mkdir -p "$(dirname "$days")"
  build/bench/pathmere-archive-gen --days 3650 --points 8200 --out "$days" >/dev/null
  touch "$days/.complete"
fi
index=${2:-$(dirname "$days")/archive-cache-10y/pathmere/archive/index.sqlite}
seed=()
[[ -f $index ]] && seed=(--index "$index")
TZ=UTC QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" \
  build/tools/pathmere-screenshots --all-days --days "$days" "${seed[@]}" --out docs
for picture in docs/all-days*.png; do
  if (($(stat -c %s "$picture") > 300000)) && command -v convert >/dev/null; then
    convert "$picture" -colors 256 "PNG8:$picture"
  fi
  printf "%s: %d KB\n" "$picture" $(($(stat -c %s "$picture") / 1000))
done
