#!/usr/bin/env bash
# fuzz-smoke.sh [seconds]: builds the libFuzzer targets (clang, optimised, AddressSanitizer and
# UndefinedBehaviorSanitizer, every report fatal), runs each over its committed corpus, then for
# `seconds` (15) on inputs mutated from it, from a fixed seed. New inputs go to
# build-fuzz/smoke/<target>, never into the committed corpus. Exits non-zero on a crash, leak,
# sanitizer report or an input slower than 10 s, and when the configuration load did not find
# the main file of every input it ran (it would then test nothing of the load).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-15}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DFUZZ=ON -DRT_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets

# intercept_tls_get_addr=0: the sanitizer runtime of LLVM up to 16 can read the bytes before a
# dynamic TLS block as an old glibc's block header in its __tls_get_addr interceptor and record a
# wild address range, which LeakSanitizer's tracer then reads at exit and crashes now and then.
export ASAN_OPTIONS="intercept_tls_get_addr=0"
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
# loaded LOG: fuzz_config_load prints at exit for how many of its inputs the load found the main
# file; each input has one, so anything less than all of them fails.
loaded() {
  local line
  line=$(grep -E "^config_load: main file loaded for [0-9]+ of [0-9]+ inputs" "$1" | tail -n 1 || true)
  echo "${line:-config_load: no count of main files loaded}"
  if ! [[ $line =~ for\ ([0-9]+)\ of\ ([0-9]+)\ inputs ]] || [ "${BASH_REMATCH[1]}" -eq 0 ] ||
    [ "${BASH_REMATCH[1]}" -ne "${BASH_REMATCH[2]}" ]; then
    echo "FAILED: fuzz_config_load did not load the main file of every input ($1)"
    exit 1
  fi
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
  if [ "$name" = config_load ]; then loaded "build-fuzz/smoke/$name-corpus.log"; fi
  run "$name" "$target" -seed=1 -max_total_time="$seconds" -timeout=10 "${extra[@]}" "build-fuzz/smoke/$name" "$dir/corpus"
  if [ "$name" = config_load ]; then loaded "build-fuzz/smoke/$name.log"; fi
done
