#!/usr/bin/env bash
# Builds everything and runs every test: the Linux suite, the same suite
# under the sanitizers, the Windows tree (the DLL in a Win32 host under Wine
# on a virtual display) and a bounded fuzzing session. Each part runs even
# when one before it failed; the last lines name each part that ran, with
# its outcome, and each part that this machine leaves out, with the reason.
#
# Where the machine runs no 32-bit x86 code of its own and scripts/setup.sh
# had to bring in qemu's emulator, the Linux suite runs under it, and so do
# UBSan alone, in build/ubsan, and a short fuzzing session with UBSan alone.
# AddressSanitizer (its shadow memory clashes with the emulator's layout)
# and Wine (it does not start under the emulator) cannot: the Windows tree
# runs its checks that need no Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test || exit 1

emulated=false
grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 && emulated=true

outcomes=() left_out=() failed=0 tests_passed=0 tests_failed=0

# part NAME COMMAND...: one part of the tests, its outcome kept for the end.
# A part that counts no tests of its own (fuzzing, or a tree that failed to
# build) counts as one.
part() {
  local name=$1 counted=$((tests_passed + tests_failed))
  shift
  echo "== $name"
  if "$@"; then
    outcomes+=("passed: $name")
    [ $((tests_passed + tests_failed)) -gt $counted ] || tests_passed=$((tests_passed + 1))
  else
    outcomes+=("FAILED: $name")
    failed=1
    [ $((tests_passed + tests_failed)) -gt $counted ] || tests_failed=$((tests_failed + 1))
  fi
}

# suite TREE [VAR=VALUE...]: the tree's ctest, its counts added to the total.
suite() {
  local tree=$1 log counts
  shift
  log=build/$tree/ctest.log
  env "$@" ctest --test-dir "build/$tree" --output-on-failure -j"$(nproc)" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log" | tail -n 1)
  if [ -n "$counts" ]; then
    tests_failed=$((tests_failed + ${counts% *}))
    tests_passed=$((tests_passed + ${counts#* } - ${counts% *}))
  fi
  return "$status"
}

linux_suite() { scripts/build.sh linux && suite linux; }
asan_suite() { scripts/build.sh asan && suite asan ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1; }
ubsan_suite() { scripts/build.sh ubsan && suite ubsan UBSAN_OPTIONS=print_stacktrace=1; }
windows_tree() {
  local wine=$1
  scripts/build.sh windows -DMDL_LINUX_BUILD="$PWD/build/linux" -DMDL_WINE_TESTS="$wine" || return 1
  if [ "$wine" = ON ]; then
    source scripts/wine-session.sh
    trap wine_session_stop EXIT
    wine_session_start
  fi
  suite windows
}

part "the Linux suite (build/linux)" linux_suite
if $emulated; then
  part "the Linux suite under UBSan alone (build/ubsan)" ubsan_suite
  part "the Windows tree's checks that need no Wine (build/windows)" windows_tree OFF
  part "fuzzing with UBSan alone, up to 20000 runs a target (build/fuzz-ubsan)" scripts/fuzz.sh --ubsan 20000
  machine="32-bit x86 under qemu's emulator"
  left_out=("the Linux suite under AddressSanitizer (build/asan): AddressSanitizer hangs under qemu-i386"
            "the Win32 host tests under Wine (build/windows): Wine does not start under qemu-i386"
            "fuzzing with AddressSanitizer (build/fuzz): AddressSanitizer hangs under qemu-i386")
else
  part "the Linux suite under AddressSanitizer and UBSan (build/asan)" asan_suite
  part "the Windows tree with the Win32 host tests under Wine (build/windows)" windows_tree ON
  part "fuzzing with AddressSanitizer and UBSan, up to 50000 runs a target (build/fuzz)" scripts/fuzz.sh 50000
  machine="32-bit x86 run natively"
fi

echo
echo "== What ran on this machine ($machine)"
printf '%s\n' "${outcomes[@]}"
for part in "${left_out[@]}"; do echo "left out: $part"; done
echo "tests: $tests_passed passed, $tests_failed failed"
exit "$failed"
