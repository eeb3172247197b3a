# shellcheck shell=bash disable=SC2034,SC2154
# Sourced by bench-archive.sh and bench-all-days.sh, which measure the same
# generated archives: `archive_days YEARS` sets days, dir, cache and index
# for that many years (365 days a year, $points points a day, written
# straight as .plt by $gen, under $scratch; the caller sets those three)
# and makes the day files once.
archive_days() {
  days=$(($1 * 365))
  dir=$scratch/archive-${1}y
  cache=$scratch/archive-cache-${1}y
  index=$cache/pathmere/archive/index.sqlite
  [[ -f $dir/.complete ]] || { rm -rf "$dir"; "$gen" --days "$days" --points "$points" --out "$dir" >/dev/null; touch "$dir/.complete"; }
}
