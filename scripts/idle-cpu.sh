#!/usr/bin/env bash
# Measures what the running program costs when nobody touches it: starts it on a private Xvfb
# display beside the demo content, takes the CPU share of one core in three windows of 10 s while
# stopped and three with the groove playing, then closes the main window as a window manager would
# and times the way out. Prints the median of each state's windows (and every window: a shared
# machine's other work moves single windows by tenths of a percent) and the close time; exits
# non-zero when the program does not start or end.
#
#   scripts/idle-cpu.sh [build-dir]      (default: build; needs korvane and make_demo_content)
#
# Environment: IDLE_SECONDS (per window, default 10), IDLE_ROUNDS (windows per state, default 3),
# IDLE_LIMIT (percent, default 2) and CLOSE_LIMIT_MS (default 300) for the verdict printed after
# each figure; IDLE_STRICT=1 makes a missed goal fail.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[[ $build = /* ]] || build=$root/$build
seconds=${IDLE_SECONDS:-10}
rounds=${IDLE_ROUNDS:-3}
limit=${IDLE_LIMIT:-2}
closeLimit=${CLOSE_LIMIT_MS:-300}

for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "idle-cpu: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done
[ -x "$build/src/app/korvane" ] && [ -x "$build/tools/make_demo_content" ] ||
  { echo "idle-cpu: build korvane and make_demo_content in $build first" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$build/tools/make_demo_content" "$work/demo" >/dev/null
cp "$build/src/app/korvane" "$work/demo/"

# A free display: the first number without a lock file whose server, ours, then answers (another
# may have taken it in between). Away from 99, where xvfb-run -a starts.
display=$((200 + $$ % 100))
for _ in $(seq 20); do
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 100); do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    xdotool getmouselocation >/dev/null 2>&1 && kill -0 "$xvfb_pid" 2>/dev/null && break 2
    sleep 0.05
  done
  kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
  display=$((display + 1))
done
[ -n "$xvfb_pid" ] || { echo "idle-cpu: no Xvfb display could be started" >&2; cat "$work/xvfb.log" >&2; exit 1; }

(cd "$work/demo" && XDG_RUNTIME_DIR="$work/runtime" HOME="$work" QT_QPA_PLATFORM=xcb \
  SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} exec ./korvane) >"$work/app.log" 2>&1 &
app_pid=$!

window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name "Korvane" 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "idle-cpu: the main window did not appear" >&2
  cat "$work/app.log" >&2
  exit 1
fi
# Let start-up work (loading, first paints) settle before measuring.
sleep 2

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
# Percent of one core used by the program over the given seconds.
measure() {
  local before after start end
  before=$(cpu_ticks); start=$(date +%s.%N)
  sleep "$1"
  after=$(cpu_ticks); end=$(date +%s.%N)
  awk -v t="$((after - before))" -v hz="$ticks" -v s="$start" -v e="$end" \
    'BEGIN { printf "%.2f", 100 * t / hz / (e - s) }'
}
verdict() { awk -v v="$1" -v l="$2" 'BEGIN { print (v < l) ? "ok" : "OVER" }'; }
# The given number of windows, one after another, as "median window1 window2 ...".
windows() {
  local all=() _
  for _ in $(seq "$rounds"); do all+=("$(measure "$seconds")"); done
  printf '%s\n' "${all[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.2f", m }'
  printf ' %s' "${all[@]}"
}

read -r stopped stoppedAll <<<"$(windows)"

# Play sits at (382, 56) of the control panel, 57 x 47, at the window's top left.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" 410 79 click 1
sleep 1
read -r playing playingAll <<<"$(windows)"
# Off the buttons again, so no hover effect is left behind.
xdotool mousemove --window "$window" 5 700

# Close as a window manager does: WM_DELETE_WINDOW to the top-level window. The clock starts when
# the message has left (the interpreter's own start-up is not the program's).
start=$(python3 - "$window" <<'PY'
import ctypes, sys, time
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 16)]
d = x.XOpenDisplay(None)
w = int(sys.argv[1])
ev = ClientMessage()
ev.type = 33  # ClientMessage
ev.window = w
ev.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
ev.format = 32
ev.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
ev.data[1] = 0  # CurrentTime
x.XSendEvent(d, w, 0, 0, ctypes.byref(ev))
x.XFlush(d)
print(time.time_ns())
x.XCloseDisplay(d)
PY
)
# Running: the process exists and is not a zombie waiting to be reaped.
running() { local state; state=$(awk '{ print $3 }' "/proc/$app_pid/stat" 2>/dev/null) && [ "$state" != Z ]; }
ended=""
for _ in $(seq 1000); do
  if ! running; then ended=$(date +%s%N); break; fi
  sleep 0.005
done
status=0
wait "$app_pid" || status=$?
app_pid=""

printf 'idle-cpu: stopped %s %% of a core, median of %s x %s s [%s] (goal < %s %%: %s)\n' "$stopped" "$rounds" \
  "$seconds" "$stoppedAll" "$limit" "$(verdict "$stopped" "$limit")"
printf 'idle-cpu: playing %s %% of a core, median of %s x %s s [%s] (goal < %s %%: %s)\n' "$playing" "$rounds" \
  "$seconds" "$playingAll" "$limit" "$(verdict "$playing" "$limit")"
if [ -z "$ended" ]; then
  echo "idle-cpu: the program did not end within 5 s of closing its window" >&2
  exit 1
fi
closeMs=$(( (ended - start) / 1000000 ))
printf 'idle-cpu: close to process end %d ms (goal <= %s ms: %s)\n' "$closeMs" "$closeLimit" \
  "$( [ "$closeMs" -le "$closeLimit" ] && echo ok || echo OVER)"
if [ "$status" -ne 0 ]; then
  echo "idle-cpu: the program exited with status $status" >&2
  tail -20 "$work/app.log" >&2
  exit 1
fi
if [ "${IDLE_STRICT:-0}" = 1 ]; then
  [ "$(verdict "$stopped" "$limit")" = ok ] && [ "$(verdict "$playing" "$limit")" = ok ] &&
    [ "$closeMs" -le "$closeLimit" ] || exit 1
fi
