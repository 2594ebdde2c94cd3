#!/usr/bin/env bash
# Builds everything and runs every test: the Linux suite, the same suite
# under AddressSanitizer and UBSan, the Windows DLL in a Win32 host under
# Wine on a virtual display, and a bounded fuzzing session.
#
# Where the machine runs no 32-bit x86 code of its own and scripts/setup.sh
# had to bring in qemu's emulator, the Linux suite runs under it, but the
# sanitizers (their shadow memory clashes with the emulator's layout) and
# Wine (it does not start under the emulator) cannot: those parts are left
# out with a notice, and the Windows tree runs its checks that need no Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test

emulated=false
grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 && emulated=true

scripts/build.sh linux
if $emulated; then
  # Built all the same, so that they stay ready to run.
  scripts/build.sh asan >/dev/null
  scripts/build.sh fuzz fuzz_import fuzz_pak >/dev/null
  scripts/build.sh windows -DMDL_LINUX_BUILD="$PWD/build/linux" -DMDL_WINE_TESTS=OFF
  ctest --test-dir build/windows --output-on-failure -j"$(nproc)"
  cat <<'NOTE'
NOTICE: 32-bit x86 programs run under qemu's emulator on this machine. Built
but not run here: the Win32 host tests under Wine, the AddressSanitizer/UBSan
suite and the fuzzing session. They run on a machine that executes 32-bit
code itself.
NOTE
else
  scripts/build.sh asan
  scripts/build.sh windows -DMDL_LINUX_BUILD="$PWD/build/linux" -DMDL_WINE_TESTS=ON

  source scripts/wine-session.sh
  trap wine_session_stop EXIT
  wine_session_start

  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/asan --output-on-failure -j"$(nproc)"
  ctest --test-dir build/windows --output-on-failure -j"$(nproc)"
  scripts/fuzz.sh 50000
fi
ctest --test-dir build/linux --output-on-failure -j"$(nproc)"
