#!/usr/bin/env bash
# Configures and builds one tree: linux (32-bit: the module, the reference
# host, the tests), windows (the DLL, the Win32 host and its tests), asan
# (the Linux tree with AddressSanitizer and UBSan) or fuzz (the fuzz target,
# clang with libFuzzer and the sanitizers).
# The Windows tree is built as released (scripts/package.sh), so that the
# tests run the DLL a user installs.
# Usage: scripts/build.sh TREE [-DVAR=VALUE...] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

tree=$1
shift
type=RelWithDebInfo
case "$tree" in
  linux) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake) ;;
  windows) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake); type=Release ;;
  asan) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake -DMDL_SANITIZE=ON) ;;
  fuzz) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
              -DMDL_SANITIZE=ON -DMDL_FUZZ=ON -DMDL_TESTS=OFF) ;;
  *) echo "build: unknown tree $tree" >&2; exit 2 ;;
esac

targets=()
for arg in "$@"; do
  case "$arg" in
    -D*) args+=("$arg") ;;
    *) targets+=(--target "$arg") ;;
  esac
done
cmake -S . -B "build/$tree" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=$type "${args[@]}" >/dev/null
cmake --build "build/$tree" -j"$(nproc)" "${targets[@]}"
