#!/usr/bin/env bash
# "All days" benchmark: the map over the archive of YEARS generated years
# (the same day files and index as scripts/bench-archive.sh, made here when
# that has not run), from a cold start with the index on disk: the first
# paint of everything fitted, repaints while panning and zooming at every
# zoom from the fitted one to 17, and peak memory (pathmere-all-days-bench).
# Exits 1 when a target is missed.
#
#   scripts/bench-all-days.sh BUILD_DIR SCRATCH YEARS...   (bench.sh runs it with 1 and 10)
set -euo pipefail
build=$1 scratch=$2
shift 2
cli=$build/src/cli/pathmere-cli
gen=$build/bench/pathmere-archive-gen
bench=$build/bench/pathmere-all-days-bench
points=${PATHMERE_BENCH_ARCHIVE_POINTS:-8200}
# shellcheck source=scripts/bench-archive-days.sh
source "$(dirname "$0")/bench-archive-days.sh"
missed=0
for years in "$@"; do
  archive_days "$years"
  [[ -f $index ]] || env XDG_CACHE_HOME="$cache" "$cli" archive index --output "$dir" >/dev/null
  echo
  echo "All days over the archive of $years years:"
  QT_QPA_PLATFORM=offscreen "$bench" --index "$index" --days "$dir" 2>/dev/null | sed 's/^/  /' || missed=1
done
exit $missed
