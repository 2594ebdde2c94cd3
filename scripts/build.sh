#!/usr/bin/env bash
# Configures and builds one tree: linux (32-bit: the module, the reference
# host, the tests), windows (the DLL, the Win32 host and its tests), asan
# (the Linux tree with AddressSanitizer and UBSan), ubsan (the Linux tree
# with UBSan alone, which runs under qemu's emulator too), fuzz (the fuzz
# targets, clang with libFuzzer, AddressSanitizer and UBSan) or fuzz-ubsan
# (the same with UBSan alone).
# The Windows tree is built as released (scripts/package.sh), so that the
# tests run the DLL a user installs.
# Usage: scripts/build.sh TREE [-DVAR=VALUE...] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

tree=$1
shift
type=RelWithDebInfo
ubsan=undefined,float-cast-overflow,float-divide-by-zero
case "$tree" in
  linux) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake) ;;
  windows) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake); type=Release ;;
  asan) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake -DMDL_SANITIZE=ON) ;;
  ubsan) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake -DMDL_SANITIZE=ON -DMDL_SANITIZERS="$ubsan") ;;
  fuzz|fuzz-ubsan)
    args=(-DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
          -DMDL_SANITIZE=ON -DMDL_FUZZ=ON -DMDL_TESTS=OFF)
    [ "$tree" = fuzz-ubsan ] && args+=(-DMDL_SANITIZERS="$ubsan") ;;
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
