#!/usr/bin/env bash
# A bounded fuzzing session: the whole import run (fuzz_import), then the
# archive reader (fuzz_pak). Usage: scripts/fuzz.sh [--ubsan] [RUNS]
# (default 200000 executions each, and never more than 90 seconds for the
# import, 30 for the reader). The targets are built with AddressSanitizer
# and UBSan; --ubsan builds them with UBSan alone (build/fuzz-ubsan), which
# runs under qemu's 32-bit emulator too, where AddressSanitizer hangs. New
# inputs that crash are left in build/TREE/artifacts (the reader's prefixed
# pak-); add them to tests/fuzz/corpus or tests/fuzz/pak_corpus as
# regression cases.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=fuzz
if [ "${1:-}" = --ubsan ]; then
  tree=fuzz-ubsan
  shift
fi
runs=${1:-200000}
scripts/build.sh $tree fuzz_import fuzz_pak >/dev/null

# fuzz TARGET CORPUS SECONDS ARTIFACT_PREFIX
fuzz() {
  local target=$1 corpus=$2 seconds=$3 prefix=$4
  local work=build/$tree/session/$target
  rm -rf "$work"
  mkdir -p "$work/corpus" "build/$tree/artifacts"
  # The seeds named one by one: under qemu's emulator libFuzzer finds no
  # file in a folder it is given.
  local seeds status=0
  seeds=$(printf '%s\n' "$corpus"/* | paste -sd, -)
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "build/$tree/bin/$target" -runs="$runs" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build/$tree/artifacts/$prefix" -seed_inputs="$seeds" "$work/corpus" \
    >"$work/log" 2>&1 || status=$?
  echo "== $target"
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^INFO: seed corpus|^stat::|^Done|ERROR|SUMMARY|runtime error|Test unit written' \
    "$work/log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log"
    echo "fuzz: the $target session failed (exit $status)" >&2
  fi
  return "$status"
}

status=0
fuzz fuzz_import tests/fuzz/corpus 90 "" || status=$?
fuzz fuzz_pak tests/fuzz/pak_corpus 30 pak- || status=$?
exit "$status"
