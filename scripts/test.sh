#!/usr/bin/env bash
# The test command: installs what is missing, builds the release tree (program, tools, tests and
# benchmarks), the sanitizer trees and the fuzz targets, and runs every test. Exits non-zero on
# any failure or report. Every tree is built with RT_WERROR, so a new compiler warning fails it too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

# The optimised tree runs every test too: faults that the sanitizers' allocators hide (an address
# reused at once after a free) show only here.
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_TESTS=ON -DRT_BENCH=ON -DRT_WERROR=ON
ctest --test-dir build --output-on-failure -j"$(nproc)"
# The running program's idle cost and its way out (figures printed; fails if it does not start or end).
scripts/idle-cpu.sh build

# Threaded code runs its own tests under ThreadSanitizer (tests labelled "tsan").
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_SANITIZE=thread -DRT_WERROR=ON >/dev/null
cmake --build build-tsan -j"$(nproc)" --target tsan_tests
if ctest --test-dir build-tsan -N -L tsan | grep -q "Total Tests: [1-9]"; then
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan -L tsan --output-on-failure -j"$(nproc)"
fi

# The fuzz targets, optimised and sanitized, over their committed inputs, then briefly on new ones.
scripts/fuzz-smoke.sh

# Everything under AddressSanitizer and UndefinedBehaviorSanitizer; this run's summary closes the output.
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DRT_SANITIZE=address,undefined -DRT_WERROR=ON
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
