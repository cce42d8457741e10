#!/usr/bin/env bash
# Builds the libFuzzer programs (clang, ASan/UBSan) and runs each one for a while over its
# corpus in fuzz/corpus/. Findings (crash-*, leak-*, timeout-*) land in build/fuzz/findings/.
#   scripts/fuzz.sh [seconds per program, default 10] [program names...]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${1:-10}
shift || true
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(copydata runner_output replies text translate server)

cmake --preset fuzz >build-fuzz.log 2>&1 && cmake --build --preset fuzz >>build-fuzz.log 2>&1 || {
  tail -n 40 build-fuzz.log; exit 1
}
findings="$top/build/fuzz/findings"
mkdir -p "$findings"
failed=0
for p in "${programs[@]}"; do
  # New inputs go to a scratch folder; the corpus in the tree stays as committed.
  work="$top/build/fuzz/corpus/$p"
  mkdir -p "$work"
  if "$top/build/fuzz/fuzz/fuzz_$p" -max_total_time="$seconds" -max_len=8192 -timeout=25 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/$p-" -print_final_stats=1 "$work" "$top/fuzz/corpus/$p" >"$findings/$p.log" 2>&1; then
    echo "fuzz_$p: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$findings/$p.log" | grep -o '[0-9]*$') runs, nothing found"
  else
    echo "fuzz_$p: FAILED"; grep -E "ERROR|SUMMARY|Test unit written" "$findings/$p.log" | head -n 5; failed=1
  fi
done
exit $failed
