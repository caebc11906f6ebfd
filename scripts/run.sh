#!/usr/bin/env bash
# Sets up, builds and starts Dustvale.scr "/s" under Wine. On a display it runs until
# input ends it. Without one it starts Xvfb, lets the saver run about 20 seconds, saves
# screenshots, ends the saver with a real mouse click if it still runs, and prints where
# the screenshots and the saver's log are.
set -euo pipefail
source "$(dirname "$0")/env.sh"
source "$(dirname "$0")/xvfb.sh"

bash "$VORN_ROOT/scripts/setup.sh"
bash "$VORN_ROOT/scripts/build.sh" windows Dustvale
scr="$VORN_BUILD/windows/host/Dustvale.scr"

if [ -n "${DISPLAY:-}" ]; then
  wine "$scr" /s
  exit 0
fi

trap 'wineserver -k >/dev/null 2>&1; [ -n "${VORN_XVFB_PID:-}" ] && kill "$VORN_XVFB_PID" 2>/dev/null' EXIT
vorn_start_xvfb
shots="$VORN_BUILD/screenshots"
mkdir -p "$shots"
rm -f "$shots"/*.png
wine "$scr" /s &
saver=$!
for i in 1 2 3 4; do
  sleep 5
  kill -0 "$saver" 2>/dev/null || break
  import -display "$DISPLAY" -window root "$shots/saver-$i.png" 2>/dev/null || true
done
if kill -0 "$saver" 2>/dev/null; then
  # The log is buffered until the saver ends, so it is ended through its input.
  xdotool mousemove 640 512 click 1
  for i in $(seq 1 100); do
    kill -0 "$saver" 2>/dev/null || break
    sleep 0.1
  done
fi
wait "$saver" || echo "the saver exited with status $?"
echo "screenshots:"
ls -1 "$shots"/*.png 2>/dev/null || echo "  (none: the saver ended before the first one)"
echo "log:"
ls -1 "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/HALVARD\ Studio/VornLog.txt
