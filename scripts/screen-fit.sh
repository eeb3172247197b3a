#!/usr/bin/env bash
# Runs inside Xvfb (see scripts/screenshots.sh): a window manager, then the
# real desktop program at QT_SCALE_FACTOR $1; opens Tools > Show track from
# the keyboard and checks that the track view's frame lies on the screen.
# Writes a picture of the whole screen to $2/fit-scale$1.png.
#
# The program's home and settings are temporary. The settings file says
# "\\Pathmere": the registry-export style escapes each backslash, and a
# line with a lone "\P" is dropped, so the first-start chooser would open.
set -euo pipefail
scale=$1 out=$2 program=$3
home=$(mktemp -d)
pid='' wm=''
trap 'kill $pid $wm 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/config/Brenix" "$home/run" "$home/root/Pathmere"
chmod 700 "$home/run"
printf '%s\r\n' '[HKEY_CURRENT_USER\Software\Brenix\Pathmere]' '"OutputDir"="\\Pathmere"' \
  >"$home/config/Brenix/Pathmere.reg"

openbox >/dev/null 2>&1 &
wm=$!
sleep 1
XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run PATHMERE_ROOT=$home/root QT_QPA_PLATFORM=xcb \
  QT_SCALE_FACTOR=$scale "$program" >/dev/null 2>&1 &
pid=$!

# The first window to appear by its title, within ten seconds.
wait_for() {
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 && return 0
    sleep 0.2
  done
  return 1
}
main=$(wait_for 'Pathmere') || { echo "scale $scale: the main window did not appear" >&2; exit 1; }
if xdotool search --onlyvisible --name '^Select output folder$' >/dev/null 2>&1; then
  echo "scale $scale: the output-folder chooser opened; the settings file was not taken" >&2
  exit 1
fi
xdotool windowactivate --sync "$main"
# Tools: About, Read NMEA file, Select Output folder, Show track.
xdotool key --delay 150 F10 Down Down Down Down Return
track=$(wait_for 'Pathmere - Track') || { echo "scale $scale: the track view did not open" >&2; exit 1; }
sleep 1
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
# The window and the frame the window manager put around it.
# xwininfo, not xdotool, for the place: xdotool counts the frame twice.
read -r X Y WIDTH HEIGHT < <(xwininfo -id "$track" | awk '/Absolute upper-left X/{x=$NF}
  /Absolute upper-left Y/{y=$NF} /^ *Width:/{w=$NF} /^ *Height:/{h=$NF} END{print x, y, w, h}')
extents=$(xprop -id "$track" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ',')
read -r left right top bottom <<<"${extents:-0 0 0 0}"
fx=$((X - left)) fy=$((Y - top)) fw=$((WIDTH + left + right)) fh=$((HEIGHT + top + bottom))
import -window root "$out/fit-scale$scale.png"
echo "scale $scale: screen ${screen_w}x$screen_h, track view ${fw}x$fh at $fx,$fy"
if ((fx < 0 || fy < 0 || fx + fw > screen_w || fy + fh > screen_h)); then
  echo "scale $scale: the track view does not fit the screen" >&2
  exit 1
fi
