#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a bounded
# time (seconds, first argument) from its seed corpus. A crash fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-30}
cmake -S . -B build-fuzz -DSONDEX_FUZZ=ON -DSONDEX_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz -j "$(nproc)"
for bin in build-fuzz/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  work="build-fuzz/corpus-run/$name"
  mkdir -p "$work"
  echo "fuzzing $name for ${secs}s"
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp "$bin" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    -artifact_prefix="build-fuzz/$name-" "$work" "fuzz/corpus/$name" 2>"build-fuzz/$name.log" || {
      tail -n 60 "build-fuzz/$name.log"; echo "$name: crash"; exit 1; }
  grep -E '^#[0-9]+.*(DONE|pulse)' "build-fuzz/$name.log" | tail -n 1 || true
done
echo "fuzzers: no crash"
