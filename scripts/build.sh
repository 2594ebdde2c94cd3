#!/usr/bin/env bash
# Configures and builds one tree: linux (32-bit: the module, the reference
# host, the tests) or windows (the DLL, the Win32 host and its tests).
# Usage: scripts/build.sh TREE [-DVAR=VALUE...] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

tree=$1
shift
case "$tree" in
  linux) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake) ;;
  windows) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake) ;;
  *) echo "build: unknown tree $tree" >&2; exit 2 ;;
esac

targets=()
for arg in "$@"; do
  case "$arg" in
    -D*) args+=("$arg") ;;
    *) targets+=(--target "$arg") ;;
  esac
done
cmake -S . -B "build/$tree" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
cmake --build "build/$tree" -j"$(nproc)" "${targets[@]}"
