#!/usr/bin/env bash
# Sets up, builds and runs every test: once plain, once under
# AddressSanitizer and UndefinedBehaviorSanitizer (window tests included),
# the fuzz targets for a few seconds each, and every suite, the window
# tests included, under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

echo "== plain build and tests =="
run_suite build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DPELTO_SANITIZE=ON -DPELTO_XCB_TESTS=OFF
echo "== fuzzing (5 s per target from the checked-in seeds) =="
bash tests/fuzz/run.sh
echo "== ThreadSanitizer (every suite, the window tests included) =="
TSAN_OPTIONS="halt_on_error=1 report_signal_unsafe=0 die_after_fork=0 suppressions=$PWD/tests/tsan/suppressions.txt" \
  run_suite build-tsan -DPELTO_TSAN=ON -DPELTO_XCB_TESTS=OFF
