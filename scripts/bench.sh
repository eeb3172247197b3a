#!/usr/bin/env bash
# Replay benchmark: how fast pathmere-cli replays days of 1 Hz receiver
# output, against GPSBabel converting the same file to an OziExplorer track
# and against a splitter that only checks every checksum (the floor for any
# program that reads every byte). Prints wall and CPU time, MB/s, peak
# resident memory and the ratios, and what the GPX files cost (the replay
# again with --no-gpx) and their bytes per point. Then, where Qt is installed, how long the
# track view takes to show each day of that replay's output folder and to
# repaint it while panning (reported, no target). Then 100 simulated
# vehicles publishing into one broker with one collector (bench-fleet.sh).
# Last, the archive index over generated years (bench-archive.sh) and "All
# days" over them (bench-all-days.sh).
#
#   scripts/bench.sh [--days N]         (or: cmake --build build --target bench)
#
# Builds a Release tree in build-bench/ when needed; generated files go to
# $PATHMERE_BENCH_DIR (default: build-bench/scratch). Each program runs
# $PATHMERE_BENCH_RUNS times (default 3) and the best time counts. Exits 1
# when a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
days=4
if [[ "${1:-}" == "--days" && -n "${2:-}" ]]; then days=$2; fi

build=$source_dir/build-bench
scratch=${PATHMERE_BENCH_DIR:-$build/scratch}
# The window's library is built too when Qt is there, for the track view's
# paint benchmark; a tree configured before that had it off.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPATHMERE_BUILD_UI=ON -DPATHMERE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target pathmere-cli pathmere-nmea-gen pathmere-checksum-floor >/dev/null
cli=$build/src/cli/pathmere-cli
gen=$build/bench/pathmere-nmea-gen
floor=$build/bench/pathmere-checksum-floor
for tool in gpsbabel /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (apt-get install gpsbabel time)" >&2; exit 2; }
done

mkdir -p "$scratch"
big=$scratch/drive-${days}d.nmea
small=$scratch/drive-1d.nmea
[[ -f $big ]] || "$gen" --days "$days" --out "$big"
[[ -f $small ]] || "$gen" --days 1 --out "$small"
bytes=$(stat -c %s "$big")
# Every program then reads the file from the page cache.
cat "$big" "$small" >/dev/null

# calc EXPRESSION: arithmetic on decimals; comparisons give 1 or 0.
calc() { awk "BEGIN { print ($1) }"; }

# run NAME COMMAND...: the best of $runs timed runs (the machine may be
# shared); sets wall, cpu (user + system, seconds) and rss (largest, KiB).
runs=${PATHMERE_BENCH_RUNS:-3}
run() {
  local name=$1; shift
  local times=$scratch/$name.time best_wall= best_cpu= max_rss=0
  for ((k = 0; k < runs; k++)); do
    rm -rf "$scratch/out-$name"
    /usr/bin/time -o "$times" -f "%e %U %S %M" "$@" >"$scratch/$name.out" 2>"$scratch/$name.err" ||
      { echo "bench: $name failed, see $scratch/$name.err" >&2; exit 2; }
    read -r w user sys r <"$times"
    local c; c=$(calc "$user + $sys")
    if [[ -z $best_wall || $(calc "$w < $best_wall") == 1 ]]; then best_wall=$w; fi
    if [[ -z $best_cpu || $(calc "$c < $best_cpu") == 1 ]]; then best_cpu=$c; fi
    if ((r > max_rss)); then max_rss=$r; fi
  done
  wall=$best_wall cpu=$best_cpu rss=$max_rss
}

run pathmere "$cli" replay "$big" --output "$scratch/out-pathmere"
p_wall=$wall p_cpu=$cpu p_rss=$rss
run gpsbabel gpsbabel -i nmea -f "$big" -o ozi -F "$scratch/gpsbabel.plt"
g_wall=$wall g_cpu=$cpu g_rss=$rss
run floor "$floor" "$big"
f_wall=$wall f_cpu=$cpu f_rss=$rss
run pathmere-1d "$cli" replay "$small" --output "$scratch/out-pathmere-1d"
d_rss=$rss
# The same replay without the GPX files: what they cost.
run pathmere-nogpx "$cli" replay "$big" --output "$scratch/out-pathmere-nogpx" --no-gpx
n_wall=$wall n_cpu=$cpu n_rss=$rss
# Bytes per track point of the GPX files, and of the .plt files beside them.
gpx_bytes=$(cat "$scratch"/out-pathmere/*.gpx | wc -c)
gpx_points=$(cat "$scratch"/out-pathmere/*.gpx | grep -c '<trkpt ' || true)
plt_bytes=$(cat "$scratch"/out-pathmere/*.plt | wc -c)

mb=$(calc "$bytes / 1000000")
rate() { if [[ $(calc "$1 > 0") == 1 ]]; then printf "%.0f" "$(calc "$mb / $1")"; else echo "-"; fi; }
ratio() { if [[ $(calc "$2 > 0") == 1 ]]; then printf "%.1f" "$(calc "$1 / $2")"; else echo "-"; fi; }

echo
printf "Replay of %s: %d days at 1 Hz, %.1f MB (%s; best of %d runs)\n" "$(basename "$big")" "$days" "$mb" "$(nproc) cores, $(uname -m)" "$runs"
printf "%-26s %8s %8s %10s %14s\n" "program" "wall s" "CPU s" "MB/s wall" "peak RSS KiB"
printf "%-26s %8.2f %8.2f %10s %14d\n" "pathmere-cli replay" "$p_wall" "$p_cpu" "$(rate "$p_wall")" "$p_rss"
printf "%-26s %8.2f %8.2f %10s %14d\n" "gpsbabel nmea -> ozi" "$g_wall" "$g_cpu" "$(rate "$g_wall")" "$g_rss"
printf "%-26s %8.2f %8.2f %10s %14d\n" "checksum floor" "$f_wall" "$f_cpu" "$(rate "$f_wall")" "$f_rss"
printf "%-26s %8s %8s %10s %14d\n" "pathmere-cli, 1-day file" "" "" "" "$d_rss"
printf "%-26s %8.2f %8.2f %10s %14d\n" "pathmere-cli --no-gpx" "$n_wall" "$n_cpu" "$(rate "$n_wall")" "$n_rss"
echo
if ((gpx_points > 0)); then
  printf "GPX files: %d track points, %.0f bytes per point (the .plt: %.0f); GPX on / off: %sx CPU, %sx wall\n" \
    "$gpx_points" "$(calc "$gpx_bytes / $gpx_points")" "$(calc "$plt_bytes / $gpx_points")" \
    "$(ratio "$p_cpu" "$n_cpu")" "$(ratio "$p_wall" "$n_wall")"
fi
echo
gb_wall=$(ratio "$g_wall" "$p_wall") gb_cpu=$(ratio "$g_cpu" "$p_cpu")
fl_wall=$(ratio "$n_wall" "$f_wall") fl_cpu=$(ratio "$n_cpu" "$f_cpu")
printf "GPSBabel / pathmere:       %sx wall, %sx CPU   (target: at least 25x)\n" "$gb_wall" "$gb_cpu"
# The floor is for the work every replay does; the GPX files' share is told above.
printf "pathmere --no-gpx / floor: %sx wall, %sx CPU   (target: at most 2.5x; with GPX %sx CPU)\n" "$fl_wall" "$fl_cpu" \
  "$(ratio "$p_cpu" "$f_cpu")"
printf "pathmere peak RSS:         %d KiB for %d days, %d KiB for 1 day   (target: at most 4096 KiB, the same)\n" \
  "$p_rss" "$days" "$d_rss"

# The track view on the folder the last replay wrote: reported only.
if cmake --build "$build" -j 2 --target pathmere-track-view-bench >/dev/null 2>&1; then
  echo
  echo "Track view on $(basename "$big")'s output folder (map ${PATHMERE_BENCH_REPAINTS:-100} repaints per row):"
  "$build/bench/pathmere-track-view-bench" --folder "$scratch/out-pathmere" \
    --repaints "${PATHMERE_BENCH_REPAINTS:-100}" 2>/dev/null
  echo "The same over a generated MBTiles map (cold tile cache at the first paint):"
  "$build/bench/pathmere-track-view-bench" --folder "$scratch/out-pathmere" --map "$scratch" \
    --repaints "${PATHMERE_BENCH_REPAINTS:-100}" 2>/dev/null
  echo "The same over tiles of a loopback tile server, from the tile cache (a second opening of the view):"
  "$build/bench/pathmere-track-view-bench" --folder "$scratch/out-pathmere" --server "$scratch" \
    --repaints "${PATHMERE_BENCH_REPAINTS:-100}" 2>/dev/null
else
  echo
  echo "Track view: not measured (Qt 6 Widgets missing)"
fi

missed=0
[[ $(calc "$g_cpu >= 25 * $p_cpu") == 1 ]] || { echo "MISSED: 25x GPSBabel"; missed=1; }
[[ $(calc "$n_cpu <= 2.5 * $f_cpu") == 1 ]] || { echo "MISSED: within 2.5x of the checksum floor"; missed=1; }
[[ $p_rss -le 4096 ]] || { echo "MISSED: at most 4 MiB peak RSS"; missed=1; }
# Pages of the C library and the program differ by a few KiB from run to run.
[[ $((p_rss - d_rss)) -le 256 && $((d_rss - p_rss)) -le 256 ]] ||
  { echo "MISSED: the same peak RSS for 1 and $days days"; missed=1; }

# Many vehicles: replays of the recorded logs into one Mosquitto on loopback
# with one collector (scripts/bench-fleet.sh); a lost point is a miss.
echo
fleet=0
"$source_dir/scripts/bench-fleet.sh" "$cli" "$scratch" "${PATHMERE_BENCH_VEHICLES:-100}" || fleet=$?
((fleet != 2)) || echo "Fleet: not measured"
((fleet != 1)) || { echo "MISSED: every published point in the collector's files"; missed=1; }

# Every day ever logged: the archive index over 1 and 10 generated years
# (scripts/bench-archive.sh; PATHMERE_BENCH_ARCHIVE_YEARS to choose).
cmake --build "$build" -j 2 --target pathmere-archive-gen pathmere-archive-bench >/dev/null
# shellcheck disable=SC2086
"$source_dir/scripts/bench-archive.sh" "$build" "$scratch" ${PATHMERE_BENCH_ARCHIVE_YEARS:-1 10} || missed=1
# "All days" over the same archives (scripts/bench-all-days.sh).
if cmake --build "$build" -j 2 --target pathmere-all-days-bench >/dev/null 2>&1; then
  # shellcheck disable=SC2086
  "$source_dir/scripts/bench-all-days.sh" "$build" "$scratch" ${PATHMERE_BENCH_ARCHIVE_YEARS:-1 10} || missed=1
else
  echo
  echo "All days: not measured (Qt 6 Widgets missing)"
fi
exit $missed
