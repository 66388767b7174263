#!/usr/bin/env bash
# audio_check.sh [seconds] [settings...]: the short-buffer check on a loaded machine. Loads every
# core (stress-ng when installed, else a busy loop per core), then plays a groove with riffs
# through the device path for each buffer setting in ms (default 20 15 10 8 6) for the given
# seconds (default 60) and prints the gaps (underruns) each had; 0 is required. Then measures the
# program's press-to-output latency at 20 ms (bench_latency) under the same load. Uses build-bench
# (built here as scripts/bench.sh builds it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
settings=("$@")
[ ${#settings[@]} -gt 0 ] || settings=(20 15 10 8 6)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d) && export XDG_RUNTIME_DIR
fi

cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_BENCH=ON -DRT_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j4 --target bench_audio_buffer bench_latency >/dev/null

load=()
cleanup() { [ ${#load[@]} -gt 0 ] && kill "${load[@]}" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT
total=$(( (seconds + 5) * ${#settings[@]} + 60 ))
if command -v stress-ng >/dev/null; then
  stress-ng --cpu "$(nproc)" --timeout "${total}s" >/dev/null 2>&1 &
  load+=($!)
else
  for _ in $(seq "$(nproc)"); do
    timeout "${total}s" sh -c 'while :; do :; done' &
    load+=($!)
  done
fi

filter=$(printf '/%s/|' "${settings[@]}")
RT_AUDIO_SECONDS=$seconds "$root/build-bench/bench/bench_audio_buffer" --benchmark_filter="${filter%|}" 2>/dev/null |
  grep BM_DeviceGaps | sed -E 's|BM_DeviceGaps/([0-9]+)/.*gaps=([0-9.k]+).*periods=([0-9.k]+).*|\1 ms: \2 gaps in \3 periods|'

QT_QPA_PLATFORM=offscreen "$root/build-bench/bench/bench_latency" --benchmark_filter='/20/' 2>/dev/null |
  grep BM_KeyPressToFirstSample | grep -oE '(press_to_sample[a-z_]*|noteon_after_sound_ms)=[-0-9.]+' || true
