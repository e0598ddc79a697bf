#!/usr/bin/env bash
# The agent at work without hardware: a simulated QEL-1M on connection 1, whose control
# window shows a value that grows by itself, and a simulated QEL-1 on connection 2, both on
# pseudo-terminals; the program in demo/ with both connections in use, and every new line
# of its data file echoed here. Ctrl+C ends it all; the program saves its settings on the
# way out.
#   scripts/demo.sh [BUILD-FOLDER]      (run by "make demo"; default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
bin=$build/bin
demo=$root/demo

for f in "$bin/qel1-agent" "$bin/qel-sim"; do
  [ -x "$f" ] || { echo "demo: $f is missing; build first (make)" >&2; exit 1; }
done

mkdir -p "$demo"
cp "$bin/qel1-agent" "$demo/"
[ -f "$bin/Readme.txt" ] && cp "$bin/Readme.txt" "$demo/"
[ -f "$bin/Readme.utf8.txt" ] && cp "$bin/Readme.utf8.txt" "$demo/"
[ -f "$bin/report.rtf" ] && cp "$bin/report.rtf" "$demo/"
rm -f "$demo/ttyQEL1" "$demo/ttyQEL2"

# The program's settings: COM1 and COM2 are the two simulated devices, both in use,
# connection 1 a QEL-1M at 4800 Bd and connection 2 a QEL-1 at 9600 Bd. Code page 1251,
# CR LF.
printf '%s\r\n' \
  '[Ports]' \
  "COM1=$demo/ttyQEL1" \
  "COM2=$demo/ttyQEL2" \
  '[QEL1_Agent]' \
  'Con1check=1' 'Con2check=1' 'Con1numCOM=1' 'Con2numCOM=2' 'Con1Speed=0' 'Con2Speed=1' \
  'Con1QELType=1' 'Con2QELType=0' 'GetLastRecordIfError=0' 'ScreenMessages=0' \
  'Rewrite=0' 'MultyFiles=0' 'SaveFile=Data.qel' 'Name1=Рентген-кабинет 1' 'Name2=' \
  | iconv -f UTF-8 -t CP1251 > "$demo/QEL1_Agent.ini"

pids=()
agent=""
cleanup() {
  trap - INT TERM HUP EXIT
  echo
  if [ -n "$agent" ] && kill -0 "$agent" 2>/dev/null; then
    echo "demo: ending the agent (it saves its settings)..."
    kill -TERM "$agent" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$agent" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$agent" 2>/dev/null || true
  fi
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  echo "demo: done. Data file: $demo/Data.qel; settings: $demo/QEL1_Agent.ini;"
  echo "      the agent's messages: $demo/agent.log; the simulators' logs: $demo/sim1.log, $demo/sim2.log."
  exit 0
}
trap cleanup INT TERM HUP EXIT

# A QEL-1M on COM1, polled twice a second: its value starts at 1.00 and grows by 0.05 a
# second (zeroing sets it back to 0). A QEL-1 on COM2 reports every 6.5 s. Each answers at
# the pace of its line speed.
"$bin/qel-sim" --pty --link "$demo/ttyQEL1" --baud 4800 --type qel1m --value 1.00 --ramp=0.05 \
  --address 1.23.45 --no-stdin > "$demo/sim1.out" 2> "$demo/sim1.log" &
pids+=($!)
"$bin/qel-sim" --pty --link "$demo/ttyQEL2" --baud 9600 --device 2 --record 100 --dose 3.75 \
  --every 6500 --no-stdin > "$demo/sim2.out" 2> "$demo/sim2.log" &
pids+=($!)
for _ in $(seq 100); do
  [ -L "$demo/ttyQEL1" ] && [ -L "$demo/ttyQEL2" ] && break
  sleep 0.05
done
[ -L "$demo/ttyQEL1" ] && [ -L "$demo/ttyQEL2" ] || { echo "demo: the simulators did not start" >&2; exit 1; }

cd "$demo"
touch Data.qel
# The agent announces every box it shows in agent.log, so a headless run can be followed.
export QT_LOGGING_RULES="qel.dialogs.info=true"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: QEL-1 Agent runs on your display; its icon is in the notification area"
  echo "      (right button: About, settings, exit). The window \"Управление КЭЛ-1М\" shows the"
  echo "      value of the QEL-1M on COM1: \"Приём\" files it, \"Очистка\" zeroes the device."
  ./qel1-agent > agent.log 2>&1 &
else
  echo "demo: there is no display here, so QEL-1 Agent runs headless (QT_QPA_PLATFORM=offscreen)."
  echo "      The QEL-1M's control window, with its value, needs a display to be seen."
  QT_QPA_PLATFORM=offscreen ./qel1-agent > agent.log 2>&1 &
fi
agent=$!
echo "demo: a QEL-1M on COM1 ($demo/ttyQEL1, 4800 Bd), a QEL-1 on COM2 ($demo/ttyQEL2, 9600 Bd)."
echo "demo: each new line of $demo/Data.qel appears below. Ctrl+C ends the demo."
echo

# The new lines of the data file (code page 1251, CR LF) as UTF-8, and the boxes the agent
# shows; both followers end with the agent.
tail -n 0 -F --pid="$agent" Data.qel 2>/dev/null | while IFS= read -r line; do
  printf '%s\n' "${line%$'\r'}" | iconv -f CP1251 -t UTF-8
done &
tail -n +1 -F --pid="$agent" agent.log 2>/dev/null | sed -un 's/^qel\.dialogs: /demo: the agent shows a box: /p' &

# Until Ctrl+C, or until the agent is ended from its own menu.
while kill -0 "$agent" 2>/dev/null; do sleep 0.5; done
echo "demo: the agent has ended."
