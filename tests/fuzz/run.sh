#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) and runs each from
# its checked-in corpus for a bounded time.
#   tests/fuzz/run.sh          5 s per target, about 30 s in all (the test command)
#   tests/fuzz/run.sh 600      the longer run: ten minutes per target
# The corpus grows in a scratch copy under the build folder, never in the
# repository. A crash leaves its input as <build>/artifacts/<target>-crash-...
# and the log as <build>/logs/<target>.log; replay with
#   <build>/<target> <build>/artifacts/<target>-crash-...
# Exits non-zero if any target fails. FUZZ_BUILD_DIR picks the build folder.
set -euo pipefail

seconds=${1:-5}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [seconds-per-target]" >&2
  exit 2
fi

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=(reply_assembly_fuzz reply_split_diff_fuzz zahl_einlesen_fuzz steuerzeichen_fuzz file_lines_fuzz)

if ! command -v clang++ >/dev/null; then
  echo "clang++ is missing: run scripts/setup.sh" >&2
  exit 2
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root/tests/fuzz" -B "$build" >/dev/null
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

mkdir -p "$build/artifacts" "$build/logs"
failed=0
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t
  log=$build/logs/$t.log
  rm -rf "$corpus"
  mkdir -p "$corpus"
  cp "$root/tests/fuzz/corpus/$t/"* "$corpus/"
  if "$build/$t" "$corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
      >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  printf '%-22s %-6s %12s runs in %s s\n' "$t" "$status" "${runs:-?}" "$seconds"
  if [ "$status" = FAILED ]; then
    grep -E '_fuzz: |ERROR|SUMMARY|Test unit written' "$log" >&2 || tail -n 20 "$log" >&2
  fi
done
exit "$failed"
