#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on), makes their seed corpora from the recorded
# receiver logs and runs every target for SECONDS (default 60).
#
#   scripts/fuzz.sh [SECONDS [TARGET...]]
#
# Corpora grow in build-fuzz/corpus/<target>/ from run to run; an input that
# crashes, leaks, hits undefined behaviour or hangs is saved in
# build-fuzz/findings/<target>/ and the script exits with status 1.
# FUZZ_JOBS (default 2) targets run side by side.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
all_targets=(fuzz_sentence_stream fuzz_rmc_decoder fuzz_gga_decoder fuzz_route_continuation
             fuzz_settings_store fuzz_cli_arguments fuzz_network_input fuzz_owntracks_message
             fuzz_day_files)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi
jobs=${FUZZ_JOBS:-2}
build=build-fuzz
testdata=${PATHMERE_TESTDATA:-../shared/testdata/nmea}

if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS [TARGET...]]" >&2
  exit 2
fi
if ! ls "$testdata"/*.nmea >/dev/null 2>&1; then
  # Without the recorded logs the bundled sample drive still seeds the
  # sentence targets; the fuzzers find the rest themselves.
  echo "fuzz.sh: no recorded logs in $testdata (set PATHMERE_TESTDATA); seeding from samples/" >&2
  testdata=samples
fi
shopt -s nullglob

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPATHMERE_FUZZ=ON >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}" >/dev/null

# ---- Seed corpora, made afresh each run beside what the fuzzers found ----

corpus=$build/corpus
rm -rf "$corpus"/*/seed-*
for target in "${all_targets[@]}"; do mkdir -p "$corpus/$target" "$build/findings/$target"; done

# Whole logs for the stream, in pieces of at most 32 KiB cut at line ends.
# The first two bytes of a stream input choose what the user does meanwhile
# (see fuzz/fuzz_sentence_stream.cpp): a few mixes of read sizes, NMEA log,
# waypoint requests, a failing port, flushes and "GPS sentences only".
controls=('\x0e\x00' '\x1c\x00' '\x2d\x02' '\x4f\x00' '\x8b\x01' '\x06\x00' '\x3a\x02' '\x59\x00')
pieces=$(mktemp -d)
piece=0
for log in "$testdata"/*.nmea "$testdata"/*.log; do
  name=$(basename "$log")
  split -C 32768 -d -a 4 "$log" "$pieces/$name."
  for part in "$pieces/$name".*; do
    control=${controls[piece % ${#controls[@]}]}
    { printf "$control"; cat "$part"; } > "$corpus/fuzz_sentence_stream/seed-${part##*/}"
    piece=$((piece + 1))
  done
  rm -f "$pieces/$name".*
done
rmdir "$pieces"

# Single sentences for the decoders: the first 40 of each kind per log, any
# talker, line end removed.
for kind in RMC GGA; do
  target=fuzz_$(echo "$kind" | tr 'A-Z' 'a-z')_decoder
  for log in "$testdata"/*.nmea "$testdata"/*.log; do
    LC_ALL=C awk -v dir="$corpus/$target" -v base="$(basename "$log")" -v kind="$kind" '
      index($0, kind ",") && count < 40 {
        sub(/\r$/, "")
        start = index($0, "$")
        if (start == 0) next
        file = sprintf("%s/seed-%s-%02d", dir, base, count++)
        printf "%s", substr($0, start) > file
        close(file)
      }' "$log"
  done
done

# Route files: a day's route as written, then cut, damaged or at the limits
# of its numbering.
header=$'OziExplorer Route File Version 1.0\r\nWGS 84\r\nReserved 1\r\nReserved 2\r\nR,1,R261206,Track 06.12.2026,16711680\r\n'
point() { printf 'W,1,%s,%s,48.13781000,11.57549000,46362.50035012,0,1,3,0,65535,,0,0, \r\n' "$1" "$2"; }
route=$corpus/fuzz_route_continuation
{ printf '%s' "$header"; point '  1,  1' REE001; point '  2,  2' REE002; } > "$route/seed-two-points"
{ printf '%s' "$header"; point '999,999' REZ999; } > "$route/seed-name-rollover"
{ printf '%s' "$header"; point '2147483646,2147483646' RAA010; } > "$route/seed-top-of-range"
{ printf '%s' "$header"; point '  7,  7' REE007 | head -c 30; } > "$route/seed-cut-line"
{ printf '%s' "$header"; point '  3,  3' REE003 | tr -d '\r'; } > "$route/seed-lf-only"
{ printf '%s' "$header"; printf 'W,1,  4,  4,RE\0E004,48.1,11.5\r\n'; } > "$route/seed-nul-in-name"
{ printf '%s' "$header"; for i in $(seq 1 40); do point "$(printf '%3d,%3d' "$i" "$i")" "$(printf 'RFG%03d' "$i")"; done; } \
  > "$route/seed-long-route"
printf '%s' "$header" > "$route/seed-header-only"

# Settings files in the store's format, tidy and damaged.
settings=$corpus/fuzz_settings_store
cat > "$settings/seed-saved" <<'EOF'
[HKEY_CURRENT_USER\Software\Brenix\Pathmere]
"PortNumber"=dword:00000003
"PortSpeed"=dword:00002580
"EnableNmeaLog"=dword:00000001
"HideAtStartup"=dword:00000000
"OutputDir"="\\Pathmere"
EOF
printf '\xef\xbb\xbf; exported\r\n[HKEY_CURRENT_USER\\Software\\Brenix\\Pathmere]\r\n"portnumber"=dword:ffffffff\r\n"OutputDir"="\\\\Tracks \\"2026\\"\\x09\xc3\xbc"\r\n"Other"=hex(2):41,00,00,00\r\n' \
  > "$settings/seed-bom-crlf-escapes"
printf '"OutputDir"=dword:1\n"PortSpeed"="4800"\n"PortSpeed"=dword:12c0\n"OutputDir"="\\\\%s"\n' \
  "$(printf 'x%.0s' $(seq 1 300))" > "$settings/seed-duplicates-and-too-long"
printf '"OutputDir"="\\\\cut\n"PortNumber"=dword:123456789\n"EnableNmeaLog"=dword:\n' > "$settings/seed-damaged"

# Command lines: the arguments after the program's name, NUL between them.
cli=$corpus/fuzz_cli_arguments
args() {
  local sep=''
  for arg in "$@"; do printf "$sep%s" "$arg"; sep='\0'; done
}
args replay a.nmea b.nmea --output out --status > "$cli/seed-replay"
args replay --output=out -- -a.nmea > "$cli/seed-replay-dashes"
args record --port none --speed 4800 --output out --nmea-log --no-status > "$cli/seed-record"
args record --port 003 --speed -1 > "$cli/seed-record-bad-speed"
args /wpth > "$cli/seed-waypoint"
args /noup /wpts > "$cli/seed-forward-order"
args --help > "$cli/seed-help"

# Network input: source addresses as a COMn file or --source holds them
# (first byte even), and gpsd streams (first byte odd, then the read size):
# its replies among a recorded log's lines.
net=$corpus/fuzz_network_input
n=0
for address in gpsd:// gpsd://127.0.0.1:2947 gpsd://localhost/dev/ttyACM0 'gpsd://[::1]:2947/dev/serial/by-id/x' \
    tcp://192.168.4.1:10110 'tcp://[fe80::1]:10110' udp://:10110 udp://0.0.0.0:10110 'udp://[::]:2000' \
    tcp://host:0 tcp://host:65536 tcp://:10110 'tcp://[::1:10110' udp://host; do
  { printf '\x00'; printf '%s' "$address"; } > "$net/seed-address-$n"
  n=$((n + 1))
done
replies='{"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14}\r\n{"class":"DEVICES","devices":[]}\r\n'
for log in "$testdata"/*.nmea; do
  { printf '\x01\x07'; printf "$replies"; head -c 2000 "$log"; printf '{"class":"WATCH","enable":true}\n'; head -c 1000 "$log"; } \
    > "$net/seed-gpsd-$(basename "$log")"
done

# Collector messages: the first byte is the topic's length (18 for
# owntracks/car/van7), then topic and payload.
own=$corpus/fuzz_owntracks_message
printf '\x12owntracks/car/van7{"_type":"location","lat":52.3705,"lon":-4.9094,"tst":1796655969,"alt":3,"vel":80,"cog":271,"tid":"v7","created_at":1796655970}' > "$own/seed-location"
printf '\x12owntracks/car/van7{"_type":"lwt","tst":1796655969}' > "$own/seed-lwt"
printf '\x12owntracks/../van7{"_type":"location","lat":1,"lon":2,"tst":1796655969}' > "$own/seed-dotdot"

# Day files: two cut bytes, then a .plt and a .gpx as the writers make them
# (see fuzz/fuzz_day_files.cpp), and the text a logger hands `summary`.
days=$corpus/fuzz_day_files
plt_point() { printf '51.5%s0000,0.00000000,0, 328.1,46362.50%s, 06.12.26, 12:00:0%s\r\n' "$1" "$2" "$3"; }
gpx_point() {
  printf '<trkpt lat="51.5%s" lon="0"><ele>100</ele><time>2026-12-06T12:00:0%sZ</time><extensions>' "$1" "$3"
  printf '<gpxtpx:TrackPointExtension><gpxtpx:speed>%s</gpxtpx:speed></gpxtpx:TrackPointExtension></extensions></trkpt>\n' "$2"
}
gpx_head='<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="Pathmere">\n<trk><name>2026-12-06</name>\n<trkseg>\n'
{
  printf '\x60\xa0OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n'
  printf '0,2,255,Pathmere,0,0,2,8421376\r\n0\r\n'
  plt_point 000 000000 0; plt_point 001 001157 1; plt_point 002 002315 2
  printf "$gpx_head"; gpx_point 000 13.9 0; gpx_point 001 14.2 1; gpx_point 002 55 2
  printf '</trkseg>\n</trk>\n</gpx>\n'
} > "$days/seed-day"
printf 'pathmere pending points 1\nfolder 4\n/tmp\ntrack 2026-12-06 0\n\nroute - 0\n\ngpx - 0\n\n' > "$days/seed-handed"

# ---- Runs ----

# Sentences of real logs are under 128 bytes and route tails 256; the stream
# takes the largest seed piece and its control byte.
max_len() {
  case $1 in
    fuzz_sentence_stream) echo 32769 ;;
    fuzz_rmc_decoder | fuzz_gga_decoder) echo 512 ;;
    fuzz_route_continuation) echo 1024 ;;
    fuzz_day_files) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

# The writers' scratch folders live in memory where that is possible: the
# settings store syncs every save.
scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/pathmere-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
logs=$build/logs
mkdir -p "$logs"

run_target() {
  local target=$1
  TMPDIR=$scratch timeout --signal=INT $((seconds + 300)) \
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=25 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$target/" \
      "$corpus/$target" > "$logs/$target.log" 2>&1
}

report() {
  local target=$1 status=$2 log=$logs/$1.log
  local runs corpus_size
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  corpus_size=$(find "$corpus/$target" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    printf '%-26s ok: %s runs in %s s, corpus %s files\n' "$target" "${runs:-?}" "$seconds" "$corpus_size"
  else
    printf '%-26s FINDING (exit %s), log %s\n' "$target" "$status" "$log"
    grep -E 'ERROR:|runtime error|property violated|SUMMARY' "$log" | head -5 | sed 's/^/    /'
    sed -n 's/.*Test unit written to \(.*\)$/    input saved to \1/p' "$log" | sort -u
  fi
}

echo "Fuzzing ${#targets[@]} targets for $seconds s each, $jobs at a time (logs in $logs/)"
failed=0
declare -A running=()
for target in "${targets[@]}"; do
  while [ "${#running[@]}" -ge "$jobs" ]; do
    wait -n -p done_pid && status=0 || status=$?
    report "${running[$done_pid]}" "$status"
    [ "$status" -eq 0 ] || failed=1
    unset "running[$done_pid]"
  done
  run_target "$target" &
  running[$!]=$target
done
while [ "${#running[@]}" -gt 0 ]; do
  wait -n -p done_pid && status=0 || status=$?
  report "${running[$done_pid]}" "$status"
  [ "$status" -eq 0 ] || failed=1
  unset "running[$done_pid]"
done

if [ "$failed" -ne 0 ]; then
  echo "Fuzzing found problems; reproduce one with: $build/fuzz/<target> <saved input>" >&2
  exit 1
fi
echo "No findings."
