#!/usr/bin/env bash
# Configures and builds one tree: linux (32-bit, with tests), windows (the
# DLL), ... Usage: scripts/build.sh TREE [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

tree=$1
shift
case "$tree" in
  linux) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake) ;;
  windows) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake) ;;
  *) echo "build: unknown tree $tree" >&2; exit 2 ;;
esac

cmake -S . -B "build/$tree" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "build/$tree" -j"$(nproc)" "${targets[@]}"
