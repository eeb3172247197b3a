#!/usr/bin/env bash
# Fleet load run: VEHICLES simulated vehicles (pathmere-cli replay --publish
# of the recorded logs, each with its own device name, outbox and output
# folder) into one Mosquitto broker on loopback, with one collector. Prints
# the messages per second, the collector's CPU time and peak memory, and
# whether the collector's points equal the sum of the replays' .plt points.
#
#   scripts/bench-fleet.sh PATHMERE_CLI SCRATCH_DIR [VEHICLES]   (bench.sh runs it)
#
# The logs come from ../shared/testdata/nmea (or $PATHMERE_TESTDATA); each
# replay sends its points as a backlog at most 200 a second, so the longest
# log sets the length of the run. Exits 1 when a point is missing, 2 when
# something needed is not there.
set -euo pipefail
cli=$(realpath "$1") scratch=$2 vehicles=${3:-100}
testdata=${PATHMERE_TESTDATA:-$(dirname "$0")/../../shared/testdata/nmea}
mosquitto=/usr/sbin/mosquitto
[[ -x $mosquitto ]] || { echo "fleet: mosquitto is missing (apt-get install mosquitto)"; exit 2; }
mapfile -t logs < <(ls "$testdata"/*.nmea "$testdata"/*.log 2>/dev/null || true)
((${#logs[@]} > 0)) || { echo "fleet: no recorded logs in $testdata"; exit 2; }

dir=$(realpath -m "$scratch/fleet")
rm -rf "$dir"
mkdir -p "$dir"
# A free loopback port: one that nothing answers on.
port=
for ((try = 0; try < 50; try++)); do
  candidate=$((20000 + RANDOM % 30000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
done
[[ -n $port ]] || { echo "fleet: no free port"; exit 2; }
cat >"$dir/mosquitto.conf" <<END
listener $port 127.0.0.1
allow_anonymous true
persistence false
max_queued_messages 0
user $(id -un)
END

pids=()
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap stop_all EXIT
"$mosquitto" -c "$dir/mosquitto.conf" >"$dir/mosquitto.log" 2>&1 &
broker=$!
pids+=("$broker")
for ((try = 0; try < 100; try++)); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.05
done

# The collector in a home of its own, so `status` finds it and nothing else.
home=$dir/collector
mkdir -p "$home/run" && chmod 700 "$home/run"
collector_env=(HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/run" TZ=UTC)
env "${collector_env[@]}" /usr/bin/time -o "$dir/collector.time" -f "%U %S %M" \
  "$cli" collect "mqtt://fleet@127.0.0.1:$port" --output "$dir/collected" 2>"$dir/collector.err" &
timer=$!
pids+=("$timer")
collector=
for ((try = 0; try < 100; try++)); do
  collector=$(pgrep -P "$timer" || true)
  [[ -n $collector ]] && grep -q "collecting from" "$dir/collector.err" && break
  sleep 0.1
done
pids+=("$collector")
[[ -n $collector ]] || { echo "fleet: the collector did not start: $(cat "$dir/collector.err")"; exit 2; }

# Each vehicle: its own configuration (device name), outbox and output folder.
start=$(date +%s.%N)
replays=()
for ((v = 0; v < vehicles; v++)); do
  name=$(printf "v%03d" "$v")
  vehicle=$dir/vehicles/$name
  mkdir -p "$vehicle/config/Brenix"
  printf 'device = %s\ntracker-id = %s\n' "$name" "${name:2:2}" >"$vehicle/config/Brenix/publish"
  env HOME="$vehicle" XDG_CONFIG_HOME="$vehicle/config" XDG_STATE_HOME="$vehicle/state" TZ=UTC \
    "$cli" replay "${logs[v % ${#logs[@]}]}" --output "$vehicle/out" --publish "mqtt://fleet@127.0.0.1:$port" \
    >/dev/null 2>"$vehicle/replay.err" &
  replays+=($!)
done
failed=0
for pid in "${replays[@]}"; do wait "$pid" || failed=$((failed + 1)); done
# Point lines of the .plt files under a folder (the six header lines are not).
points_under() { find "$1" -name '*.plt' -exec tail -q -n +7 {} + 2>/dev/null | wc -l; }
sent=$(points_under "$dir/vehicles")
# Until the collector has taken every point the broker acknowledged.
written=0
for ((try = 0; try < 600; try++)); do
  written=$(env "${collector_env[@]}" "$cli" status 2>/dev/null | sed -n 's/^  \([0-9]*\) points\? written.*/\1/p')
  ((${written:-0} >= sent)) && break
  sleep 0.1
done
end=$(date +%s.%N)
kill -TERM "$collector"
wait "$timer" || true
collected=$(points_under "$dir/collected")
devices=$(find "$dir/collected" -mindepth 2 -maxdepth 2 -type d -not -path "*/.journal*" | wc -l)
read -r user sys rss <"$dir/collector.time"

seconds=$(awk "BEGIN { print $end - $start }")
echo "Fleet: $vehicles vehicles replaying ${#logs[@]} recorded logs into one Mosquitto on loopback, one collector"
printf "  %d points published and acknowledged in %.1f s: %.0f messages a second (%d replays failed)\n" \
  "$sent" "$seconds" "$(awk "BEGIN { print $sent / $seconds }")" "$failed"
printf "  collector: %.2f s CPU (%.0f %% of one core), peak RSS %d KiB, %d device folders\n" \
  "$(awk "BEGIN { print $user + $sys }")" "$(awk "BEGIN { print 100 * ($user + $sys) / $seconds }")" "$rss" "$devices"
if ((collected == sent && failed == 0)); then
  echo "  nothing lost: the collector's .plt files hold $collected points, the replays' $sent"
else
  echo "  LOST: the collector's .plt files hold $collected points, the replays' $sent"
  exit 1
fi
