#!/usr/bin/env bash
# Pictures of the tray icon in each of its states (all well, waiting for a device, data
# file cannot be written) as a real notification area shows it at 16, 22, 24 and 32
# pixels, and of its hint, taken on a virtual display in the Russian locale. The program
# runs against a simulated QEL-1 on a pseudo-terminal, on a private session bus with a
# notification service (so no message balloon covers the icon).
#   scripts/tray-shots.sh [BUILD-FOLDER] [OUTPUT-FOLDER]    (default: build, /tmp/qel-tray-shots)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${2:-/tmp/qel-tray-shots}
bin=$build/bin
for tool in Xvfb dbus-daemon dunst trayer xwd xdotool convert; do
  command -v "$tool" > /dev/null || { echo "tray-shots: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
for f in "$bin/qel1-agent" "$bin/qel-sim"; do
  [ -x "$f" ] || { echo "tray-shots: $f is missing; build first" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d)
pids=()
stop_all() {
  for p in "${pids[@]}"; do kill -TERM "$p" 2> /dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2> /dev/null || true; done
  pids=()
}
others=()
trap 'stop_all; for p in "${others[@]}"; do kill -TERM "$p" 2> /dev/null || true; done; wait; rm -rf "$work"' EXIT

display=:$((300 + $$ % 500))
Xvfb "$display" -screen 0 800x400x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
others+=($xvfb)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
export DISPLAY=$display
dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" > "$work/bus.log" 2>&1 &
bus=$!
others+=($bus)
for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.05; done
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus" XDG_CONFIG_HOME="$work/config"
mkdir -p "$work/config" "$work/run"
chmod 700 "$work/run"
dunst > "$work/dunst.log" 2>&1 &
dunst=$!
others+=($dunst)
export LANG=ru_RU.UTF-8 XDG_RUNTIME_DIR="$work/run"
unset LC_ALL QT_QPA_PLATFORM

# One run of the program in the given state, in a tray of the given size.
shoot() {
  local size=$1 state=$2 hint=${3:-}
  local agent=$work/agent-$size-$state
  # The notices of the run before are put away, so each picture shows its own.
  dunstctl close-all 2> /dev/null || true
  rm -rf "$agent"
  mkdir -p "$agent"
  cp "$bin/qel1-agent" "$agent/"
  local port=$agent/ttyQEL1 save=Data.qel
  case $state in
    waiting) port=$agent/no-device ;;
    cannot-write) save=$agent/no-folder/Data.qel ;;
  esac
  if [ "$state" != waiting ]; then
    "$bin/qel-sim" --pty --link "$agent/ttyQEL1" --baud 9600 --device 2 --record 1 --dose 3.75 \
      --every 1000 --no-stdin > "$agent/sim.out" 2> "$agent/sim.log" &
    pids+=($!)
    for _ in $(seq 100); do [ -L "$agent/ttyQEL1" ] && break; sleep 0.05; done
  fi
  printf '%s\r\n' '[Ports]' "COM1=$port" '[QEL1_Agent]' 'Con1check=1' 'Con1numCOM=1' 'Con1Speed=1' \
    'Con1QELType=0' 'Con2check=0' 'Con2QELType=0' "SaveFile=$save" 'Name1=Рентген-кабинет 1' \
    | iconv -f UTF-8 -t CP1251 > "$agent/QEL1_Agent.ini"
  trayer --edge bottom --align right --widthtype pixel --width $((size * 3)) --heighttype pixel \
    --height "$size" --transparent false --tint 0xd0d0d0 > "$work/trayer.log" 2>&1 &
  local trayer=$!
  pids+=($trayer)
  sleep 1
  (cd "$agent" && QT_LOGGING_RULES="qel.tray.info=true" exec ./qel1-agent > "$agent/agent.log" 2>&1) &
  pids+=($!)
  for _ in $(seq 100); do grep -q "qel.tray: state $state " "$agent/agent.log" 2> /dev/null && break; sleep 0.1; done
  sleep 1.5
  local geometry="" X=0 Y=0 WIDTH=0 HEIGHT=0
  for _ in $(seq 50); do
    geometry=$(xdotool search --onlyvisible --class trayer getwindowgeometry --shell 2> /dev/null | head -5) || true
    [ -n "$geometry" ] && break
    sleep 0.1
  done
  [ -n "$geometry" ] || { echo "tray-shots: no notification area at $size px" >&2; stop_all; return 1; }
  eval "$geometry"
  local shot=$out/icon-$state-${size}px.png
  xwd -root -silent | convert xwd:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
  convert "$shot" -filter point -resize 800% "$out/icon-$state-${size}px-x8.png"
  if [ -n "$hint" ]; then
    xdotool mousemove $((X + WIDTH - size / 2 - 2)) $((Y + HEIGHT / 2))
    sleep 0.3
    xdotool mousemove $((X + WIDTH - size / 2)) $((Y + HEIGHT / 2))
    sleep 2
    xwd -root -silent | convert xwd:- "$out/hint-$state.png"
    xdotool mousemove 10 10
  fi
  grep "qel.tray: state" "$agent/agent.log" | tail -1 > "$out/icon-$state-${size}px.txt" || true
  stop_all
}

for size in 16 22 24 32; do
  for state in well waiting cannot-write; do shoot "$size" "$state"; done
done
for state in well waiting cannot-write; do shoot 32 "$state" hint; done
ls "$out"
