#!/usr/bin/env bash
# What the live view costs, against the decode it cannot avoid.
#
#   bench/live_cost.sh [build folder] [seconds]     (defaults: build, 20)
#
# For the network camera at 1920 x 1080, 30 frames a second and at 1280 x 720,
# 25 frames a second: starts build/device_sim on 127.0.0.1 (on free ports),
# starts the station under an Xvfb of its own (1920 x 1080) from a scratch copy,
# presses quick detection on the start page, and once the picture is live
# measures side by side over the same span the CPU time of the station and of
# FFmpeg decoding the same stream to nothing (ffmpeg -f null), and the frames
# per second that reached the view on the display (tools/view_frames counts the
# display's damage reports on the view's window).  Then the station frozen,
# without and with the scale.  Last, the USB path: build/usb_live_cost runs the
# station against the fake camera delivering 1920 x 1080 MJPG at 30 frames a
# second and compares it with a bare libjpeg-turbo decode of the same frames,
# run beside the station at the camera's rate over the same span, and, for
# reference, with the same decode run back to back afterwards.
#
# CPU time is user + system time from /proc/PID/stat, as a share of one core.
set -euo pipefail

BUILD=$(cd "${1:-build}" && pwd)
SECONDS_LIVE=${2:-20}
SRC=$(cd "$(dirname "$0")/.." && pwd)
for tool in quillmarsh device_sim view_frames usb_live_cost; do
  [ -x "$BUILD/$tool" ] || { echo "live_cost: $BUILD/$tool is missing; build it first" >&2; exit 1; }
done
for tool in Xvfb xdotool ffmpeg; do
  command -v "$tool" >/dev/null || { echo "live_cost: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

WORK=$(mktemp -d /tmp/live_cost-XXXXXX)
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# CPU ticks (user + system) of a process.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
HZ=$(getconf CLK_TCK)
# Share of a core between two tick counts over a span in seconds.
share() { awk -v a="$1" -v b="$2" -v s="$3" -v hz="$HZ" 'BEGIN { printf "%.1f", 100 * (b - a) / hz / s }'; }

# Three free TCP ports on the loopback.
free_ports() {
  python3 - <<'EOF'
import socket
socks = []
for _ in range(3):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    socks.append(s)
print(",".join(str(s.getsockname()[1]) for s in socks))
EOF
}

# An Xvfb of our own, on the first free display.
Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$WORK/display" >/dev/null 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "live_cost: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$WORK/display")"
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 QUILLMARSH_HEADLESS=1

# The start page's window of a process (720 pixels wide), or nothing.
start_page() {
  for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if [ "$WIDTH" = 720 ]; then echo "$id $X $Y"; return; fi
  done
}
# The station window of a process (as wide as the screen), or nothing.
station_window() {
  for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if [ "$WIDTH" = 1920 ]; then echo "$id"; return; fi
  done
}

# The centres of the freeze and scale buttons in the layout of a 1920 x 1080
# screen: g = (W - 960) / 11, H = 1080 - 23, the view's bottom 3H / 4,
# v = (H - bottom) / 6, the row at H - 2.5 v, 160 x 64 buttons.
BUTTON_Y=$(awk 'BEGIN { H = 1057; b = int(3 * H / 4); v = int((H - b) / 6); printf "%d", int(H - 2.5 * v) + 32 }')
G=$(( (1920 - 960) / 11 ))
FREEZE_X=$(( 7 * G + 640 + 80 ))
SCALE_X=$(( 5 * G + 320 + 80 ))

network_run() {  # size fps
  local size=$1 fps=$2 ports dir sim station page ffmpeg win
  ports=$(free_ports)
  IFS=, read -r presence status stream <<<"$ports"
  dir="$WORK/$size"
  mkdir -p "$dir/bin" "$dir/home"
  cp "$BUILD/quillmarsh" "$BUILD/Setup.ini" "$dir/bin/"
  cp -r "$BUILD/Language" "$dir/bin/"
  "$BUILD/device_sim" --presence-port "$presence" --status-port "$status" --stream-port "$stream" \
    --size "$size" --fps "$fps" --duration $((SECONDS_LIVE * 3 + 60)) >"$dir/sim.log" 2>&1 &
  sim=$!
  PIDS+=($sim)
  HOME="$dir/home" QUILLMARSH_DEVICE_PORTS="$ports" "$dir/bin/quillmarsh" >"$dir/station.log" 2>&1 &
  station=$!
  PIDS+=($station)
  for _ in $(seq 100); do page=$(start_page "$station"); [ -n "$page" ] && break; sleep 0.2; done
  [ -n "$page" ] || { echo "live_cost: the start page did not open" >&2; exit 1; }
  read -r _ px py <<<"$page"
  sleep 0.5
  # Quick detection: the start page's second button.
  xdotool mousemove $((px + 572)) $((py + 388)) click 1
  for _ in $(seq 100); do grep -q "stream opened" "$dir/sim.log" && break; sleep 0.2; done
  for _ in $(seq 50); do win=$(station_window "$station"); [ -n "$win" ] && break; sleep 0.2; done
  [ -n "$win" ] || { echo "live_cost: the station window did not open" >&2; exit 1; }
  sleep 3  # the picture settles

  ffmpeg -nostdin -loglevel error -i "http://127.0.0.1:$stream/?.mjpg" -f null - >"$dir/ffmpeg.log" 2>&1 &
  ffmpeg=$!
  PIDS+=($ffmpeg)
  sleep 2  # FFmpeg has opened the stream
  local s0 f0 s1 f1 shown
  s0=$(ticks "$station"); f0=$(ticks "$ffmpeg")
  shown=$("$BUILD/view_frames" "$win" "$SECONDS_LIVE")
  s1=$(ticks "$station"); f1=$(ticks "$ffmpeg")
  kill "$ffmpeg"
  local st ff frames
  st=$(share "$s0" "$s1" "$SECONDS_LIVE"); ff=$(share "$f0" "$f1" "$SECONDS_LIVE")
  frames=$(awk '{print $2}' <<<"$shown")
  printf 'network %s @%s: station %s%% of a core, ffmpeg -f null %s%%, ratio %s, %s frames/s reached the view (of %s)\n' \
    "$size" "$fps" "$st" "$ff" "$(awk -v a="$st" -v b="$ff" 'BEGIN { printf "%.2f", a / b }')" \
    "$(awk -v n="$frames" -v s="$SECONDS_LIVE" 'BEGIN { printf "%.1f", n / s }')" "$fps"

  # Frozen, then frozen with the scale on.
  local span=$((SECONDS_LIVE / 2))
  xdotool mousemove "$FREEZE_X" "$BUTTON_Y" click 1 mousemove 100 500
  sleep 2
  s0=$(ticks "$station"); shown=$("$BUILD/view_frames" "$win" "$span"); s1=$(ticks "$station")
  printf '  frozen: station %s%% of a core, %s view frames in %s s\n' "$(share "$s0" "$s1" "$span")" \
    "$(awk '{print $2}' <<<"$shown")" "$span"
  xdotool mousemove "$SCALE_X" "$BUTTON_Y" click 1 mousemove 100 500
  sleep 2
  s0=$(ticks "$station"); shown=$("$BUILD/view_frames" "$win" "$span"); s1=$(ticks "$station")
  printf '  frozen with the scale: station %s%% of a core, %s view frames in %s s\n' \
    "$(share "$s0" "$s1" "$span")" "$(awk '{print $2}' <<<"$shown")" "$span"
  kill "$station" "$sim" 2>/dev/null || true
  wait "$station" "$sim" 2>/dev/null || true
}

echo "live_cost: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), ${SECONDS_LIVE} s per measurement"
network_run 1920x1080 30
network_run 1280x720 25
HOME="$WORK" "$BUILD/usb_live_cost" "$SECONDS_LIVE"
