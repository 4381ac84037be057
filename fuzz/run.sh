#!/usr/bin/env bash
# Runs every fuzz target of a VASKOR_FUZZ build for a set time each and
# prints its executions. New coverage goes to fuzz/corpus-run/<target>
# (not kept); an input that fails is written to fuzz/regressions/<target>/,
# which the test suite replays from then on.
# usage: fuzz/run.sh BUILD_DIR [SECONDS]
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
root=$(cd "$(dirname "$0")" && pwd)
jobs=${FUZZ_JOBS:-$(nproc)}

# One target; its report goes to fuzz_<target>.result, read back in order.
one() {
  local t=$1 corpus=$root/corpus-run/$1 log=$build/fuzz_$1.log rc execs
  mkdir -p "$corpus" "$root/regressions/$t"
  # Inputs past 4107 bytes are cut by the targets (room, mode, width, 4 KiB).
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=4107 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$root/regressions/$t/" "$corpus" "$root/seeds/$t" >"$log" 2>&1
  rc=$?
  execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
  if [ $rc -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzz_$t: FAILED after ${execs:-?} executions (exit $rc); input saved in fuzz/regressions/$t/"
  else
    echo "fuzz_$t: ${execs:-?} executions in ${seconds} s, no failure"
  fi
  return $rc
}

# A target keeps one core busy for its time: FUZZ_JOBS (default: one per
# core) run side by side.
# One target per fuzz/*_fuzzer.cpp, as the build makes them.
targets=$(cd "$root" && ls *_fuzzer.cpp | sed 's/_fuzzer\.cpp$//')
for t in $targets; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  rm -f "$build/fuzz_$t.status"
  { one "$t" && echo ok >"$build/fuzz_$t.status"; } >"$build/fuzz_$t.result" 2>&1 &
done
wait
status=0
for t in $targets; do
  cat "$build/fuzz_$t.result"
  [ -e "$build/fuzz_$t.status" ] || status=1
done
exit $status
