#!/usr/bin/env bash
# A disk that stops taking writes, by hand's measure but by machine: `record`
# from a UDP source into a 200 KB tmpfs, remounted read-only for 35 s of fixes
# at 20 sentences a second across local midnight, then read-write again. The
# .plt, .rte and .gpx must be what a replay of the same sentences writes, and
# the .nmea must hold every sentence sent, once, in order, in the right day's
# file. Needs root (mount).
#
#   scripts/disk-outage.sh [CLI]      (default build/src/cli/pathmere-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build/src/cli/pathmere-cli}")
work=$(mktemp -d)
disk="$work/disk"
mkdir -p "$disk" "$work/home" "$work/replayed"
cleanup() {
  [ -n "${logger:-}" ] && kill "$logger" 2>/dev/null || true
  [ -n "${KEEP:-}" ] && cp -r "$disk" "$work/recorded" && echo "kept in $work"
  mountpoint -q "$disk" && umount "$disk"
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
mount -t tmpfs -o size=${DISK_SIZE:-1m} tmpfs "$disk"

port=$((20000 + RANDOM % 20000))
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_STATE_HOME="$work/home/state" TZ=Europe/Berlin
"$cli" record --source "udp://127.0.0.1:$port" --output "$disk" --nmea-log --no-status >"$work/record.txt" 2>&1 &
logger=$!
# Datagrams sent before the logger listens are lost to it: wait for the port.
for _ in $(seq 50); do grep -q " open" "$work/record.txt" && break; sleep 0.1; done

# 10 fixes a second (RMC and GGA: 20 sentences) at 100 km/h, from 22:56:40 UTC
# (23:56:40 in Berlin); read-only from 5 s to 40 s, 10 s more after.
python3 - "$port" "$work/sent.nmea" "$disk" <<'EOF'
import socket, subprocess, sys, time
port, sent, disk = int(sys.argv[1]), sys.argv[2], sys.argv[3]
def checksum(body):
    s = 0
    for c in body.encode(): s ^= c
    return "$%s*%02X" % (body, s)
out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
log = open(sent, "w")
start = 23 * 3600 - 200  # local midnight 20 s into the outage
for i in range(50 * 10):
    t = start + i
    day = "061226" if t < 86400 else "071226"
    t %= 86400
    hh, mm, ss = t // 3600, t // 60 % 60, t % 60
    minutes = i * 100 / 3.6 / 1852.0  # north, in minutes of latitude
    rmc = checksum("GPRMC,%02d%02d%02d.00,A,48%07.4f,N,01100.0000,E,54.0,0.0,%s,," % (hh, mm, ss, minutes, day))
    gga = checksum("GPGGA,%02d%02d%02d.00,48%07.4f,N,01100.0000,E,1,08,1.0,500.0,M,47.0,M,," % (hh, mm, ss, minutes))
    for s in (gga, rmc):
        out.sendto((s + "\r\n").encode(), ("127.0.0.1", port))
        log.write(s + "\r\n")
    if i == 50: subprocess.run(["mount", "-o", "remount,ro", disk], check=True)
    if i == 400: subprocess.run(["mount", "-o", "remount,rw", disk], check=True)
    time.sleep(0.1)
log.close()
EOF
sleep 2
kill -TERM "$logger"
wait "$logger" && status=0 || status=$?
logger=
echo "record exited $status"

"$cli" replay "$work/sent.nmea" --output "$work/replayed" >/dev/null
fail=0
for f in "$work"/replayed/*.plt "$work"/replayed/*.rte "$work"/replayed/*.gpx; do
  name=$(basename "$f")
  if ! cmp -s "$f" "$disk/$name"; then
    echo "DIFFERS: $name ($(grep -c . "$f") lines replayed, $(grep -c . "$disk/$name" 2>/dev/null || echo 0) recorded)"
    fail=1
  else
    echo "same as the replay: $name ($(grep -c . "$f") lines)"
  fi
done
# Each day's .nmea: the sentences of that local day, as sent.
python3 - "$work/sent.nmea" "$disk" <<'EOF' || fail=1
import sys, os
sent, disk = sys.argv[1], sys.argv[2]
lines = open(sent).read().splitlines(keepends=True)
days = {}
day = None
for line in lines:
    if line.startswith("$GPRMC"):
        hh = int(line[7:9]); date = line.split(",")[9]
        local = date if hh < 23 else "071226"  # Berlin is UTC+1 here
        day = "20%s-%s-%s.nmea" % (local[4:6], local[2:4], local[0:2])
    if day: days.setdefault(day, []).append(line)
bad = 0
for name, want in sorted(days.items()):
    got = open(os.path.join(disk, name)).read().splitlines(keepends=True) if os.path.exists(os.path.join(disk, name)) else []
    print("%s: %d of %d sentences%s" % (name, len(got), len(want), "" if got == want else "  DIFFERS"))
    bad |= got != want
sys.exit(1 if bad else 0)
EOF
echo "--- what record said:"
cat "$work/record.txt"
exit $fail
