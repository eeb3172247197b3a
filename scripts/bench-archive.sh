#!/usr/bin/env bash
# Archive benchmark: generated archives of YEARS years each (365 days a
# year, 8,200 points a day, written straight as .plt), indexed from scratch
# by pathmere-cli archive index (points a second on one core, the index's
# size against the day files'), then `archive here` as a command and, from
# pathmere-archive-bench, the index's costs once built: bringing it up to
# date when nothing changed, `here` for circles and boxes, and after a
# flush of the last day. Exits 1 when a target is missed.
#
#   scripts/bench-archive.sh BUILD_DIR SCRATCH YEARS...   (bench.sh runs it with 1 and 10)
set -euo pipefail
build=$1 scratch=$2
shift 2
cli=$build/src/cli/pathmere-cli
gen=$build/bench/pathmere-archive-gen
bench=$build/bench/pathmere-archive-bench
points=${PATHMERE_BENCH_ARCHIVE_POINTS:-8200}
calc() { awk "BEGIN { print ($1) }"; }
# shellcheck source=scripts/bench-archive-days.sh
source "$(dirname "$0")/bench-archive-days.sh"
missed=0
for years in "$@"; do
  archive_days "$years"
  day_bytes=$(cat "$dir"/*.plt | wc -c)
  cat "$dir"/*.plt >/dev/null  # from the page cache, as after a day's use
  rm -rf "$cache"
  /usr/bin/time -o "$scratch/archive.time" -f "%e %U %S %M" \
    env XDG_CACHE_HOME="$cache" "$cli" archive index --output "$dir" >"$scratch/archive-index.out" 2>&1
  read -r wall user sys rss <"$scratch/archive.time"
  cpu=$(calc "$user + $sys")
  total=$((days * points))
  index_bytes=$(stat -c %s "$index")
  rate=$(calc "$total / $wall / 1e6")
  share=$(calc "100 * $index_bytes / $day_bytes")
  echo
  printf "Archive of %d years: %d days, %d points, %.1f MB of day files (%s cores, %s)\n" \
    "$years" "$days" "$total" "$(calc "$day_bytes / 1e6")" "$(nproc)" "$(uname -m)"
  printf "  index from scratch: %.2f s wall, %.2f s CPU, %.2f M points/s (target: at least 3), peak RSS %d KiB\n" \
    "$wall" "$cpu" "$rate" "$rss"
  printf "  index %.1f MB, %.1f %% of the day files (target: at most 20 %%)\n" "$(calc "$index_bytes / 1e6")" "$share"
  best=
  for k in 1 2 3; do
    /usr/bin/time -o "$scratch/archive.time" -f "%e" \
      env XDG_CACHE_HOME="$cache" "$cli" archive here 48.15630,11.62060 --radius 10 --output "$dir" >/dev/null 2>&1
    read -r w <"$scratch/archive.time"
    if [[ -z $best || $(calc "$w < $best") == 1 ]]; then best=$w; fi
  done
  printf "  pathmere-cli archive here (a process: start, up to date, answer): %.0f ms\n" "$(calc "$best * 1000")"
  "$bench" --days "$dir" --index "$index" | sed 's/^/  /' | tee "$scratch/archive-bench.out"
  here_ms=$(sed -n 's/.*at most 100 days found \([0-9.]*\) ms/\1/p' "$scratch/archive-bench.out")
  flush_ms=$(sed -n 's/.*that day alone: \([0-9.]*\) ms.*/\1/p' "$scratch/archive-bench.out")
  [[ $(calc "$rate >= 3") == 1 ]] || { echo "  MISSED: 3 M points/s"; missed=1; }
  [[ $(calc "$share <= 20") == 1 ]] || { echo "  MISSED: index at most 20 % of the day files"; missed=1; }
  [[ $(calc "$here_ms <= 20") == 1 ]] || { echo "  MISSED: here within 20 ms"; missed=1; }
  [[ $(calc "$flush_ms <= 5") == 1 ]] || { echo "  MISSED: up to date within 5 ms of a flush"; missed=1; }
done
exit $missed
