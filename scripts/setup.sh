#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing.
# Usage: scripts/setup.sh run|test|bench   (run: what the reference host
# needs; test: everything the builds and tests need, Windows and Wine
# included; bench: the benchmark and the peer importer it compares with)
set -euo pipefail

run_packages=(cmake make g++-multilib googletest nlohmann-json3-dev libcli11-dev libstb-dev nettle-dev:i386)
test_packages=("${run_packages[@]}" g++-mingw-w64-i686 wine wine32:i386 xvfb clang-14 libclang-rt-14-dev)
bench_packages=("${run_packages[@]}" libbenchmark-dev:i386 libassimp-dev g++)

case "${1:-test}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  bench) wanted=("${bench_packages[@]}") ;;
  *) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "setup: run as root to install packages" >&2
  exit 1
fi
dpkg --add-architecture i386
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
