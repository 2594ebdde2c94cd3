#!/usr/bin/env bash
# Builds everything and runs every test: the Linux suite, the same suite
# under AddressSanitizer and UBSan, the Windows DLL in a Win32 host under
# Wine on a virtual display, and a bounded fuzzing session.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh linux
scripts/build.sh asan
scripts/build.sh windows -DMDL_LINUX_BUILD="$PWD/build/linux"

source scripts/wine-session.sh
trap wine_session_stop EXIT
wine_session_start

ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j"$(nproc)"
ctest --test-dir build/windows --output-on-failure -j"$(nproc)"
scripts/fuzz.sh 50000
ctest --test-dir build/linux --output-on-failure -j"$(nproc)"
