#!/usr/bin/env bash
# Builds everything, Linux and Windows, and runs every test; the Windows
# tests run under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh linux
scripts/build.sh windows -DMDL_LINUX_BUILD="$PWD/build/linux"

source scripts/wine-session.sh
trap wine_session_stop EXIT
wine_session_start

ctest --test-dir build/linux --output-on-failure -j"$(nproc)"
ctest --test-dir build/windows --output-on-failure -j"$(nproc)"
