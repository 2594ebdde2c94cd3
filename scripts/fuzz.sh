#!/usr/bin/env bash
# A bounded fuzzing session of the whole import run under AddressSanitizer
# and UBSan. Usage: scripts/fuzz.sh [RUNS] (default 200000 executions, and
# never more than 90 seconds). New inputs that crash are left in
# build/fuzz/artifacts; add them to tests/fuzz/corpus as regression cases.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-200000}
scripts/build.sh fuzz fuzz_import >/dev/null

work=build/fuzz/session
rm -rf "$work"
mkdir -p "$work/corpus" build/fuzz/artifacts
cp tests/fuzz/corpus/* "$work/corpus/"
status=0
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
  build/fuzz/bin/fuzz_import -runs="$runs" -max_total_time=90 -max_len=65536 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ "$work/corpus" tests/fuzz/corpus \
  >"$work/log" 2>&1 || status=$?
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^Done|ERROR|SUMMARY|Test unit written' "$work/log" || true
if [ "$status" -ne 0 ]; then
  tail -n 60 "$work/log"
  echo "fuzz: the session failed (exit $status)" >&2
fi
exit "$status"
