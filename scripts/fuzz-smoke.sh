#!/usr/bin/env bash
# fuzz-smoke.sh [seconds]: builds the libFuzzer targets (clang, optimised, AddressSanitizer and
# UndefinedBehaviorSanitizer, every report fatal), runs each over its committed corpus, then for
# `seconds` (15) on inputs mutated from it, from a fixed seed. New inputs go to
# build-fuzz/smoke/<target>, never into the committed corpus. Exits non-zero on a crash, leak,
# sanitizer report or an input slower than 10 s.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-15}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DFUZZ=ON -DRT_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets

export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR="$root/build-fuzz/xdg-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# run NAME ARGS...: one fuzzer run, its output kept in build-fuzz/smoke/NAME.log; the end of the
# log (the report and the input that caused it) is shown when it fails.
run() {
  local log=build-fuzz/smoke/$1.log
  shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 80 "$log"
    echo "FAILED: $*"
    exit 1
  fi
  grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)" "$log" | tail -n 1 || true
}
mkdir -p build-fuzz/smoke
for dir in fuzz/*/; do
  name=$(basename "$dir")
  [ -f "$dir/$name.cpp" ] || continue
  target=build-fuzz/fuzz/fuzz_$name
  # The load at the shipped limits takes inputs of several files, up to 64 KB in all.
  extra=()
  [ "$name" = config_load ] && extra=(-max_len=65536 -rss_limit_mb=1024)
  rm -rf "build-fuzz/smoke/$name" && mkdir -p "build-fuzz/smoke/$name"
  echo "fuzz_$name: committed corpus, then $seconds s of mutated inputs"
  run "$name-corpus" "$target" -runs=0 -timeout=10 "${extra[@]}" "$dir/corpus"
  run "$name" "$target" -seed=1 -max_total_time="$seconds" -timeout=10 "${extra[@]}" "build-fuzz/smoke/$name" "$dir/corpus"
done
