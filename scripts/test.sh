#!/usr/bin/env bash
# Builds everything, Linux and Windows, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh linux
scripts/build.sh windows
ctest --test-dir build/linux --output-on-failure -j"$(nproc)"
ctest --test-dir build/windows --output-on-failure
