#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing.
# Usage: scripts/setup.sh run|test|bench|package|docs|blender   (run: what the
# reference host needs; test: everything the builds and tests need, Windows
# and Wine included, the viewer the exports are opened in and the browser
# the gallery is tested in; bench: the benchmark and the peer importer it
# compares with; package: the Windows build of the release archive; docs:
# the renderer and the browser for the README's pictures; blender: Blender
# for the export's import check). Every mode also installs the npm packages
# of the lockfile, the gallery's viewer among them, which the build needs.
set -euo pipefail

run_packages=(cmake make g++-multilib googletest nlohmann-json3-dev libcli11-dev libstb-dev libtinygltf-dev nettle-dev:i386)
test_packages=("${run_packages[@]}" g++-mingw-w64-i686 wine wine32:i386 xvfb f3d clang-14 libclang-rt-14-dev locales
  chromium)
bench_packages=("${run_packages[@]}" libbenchmark-dev:i386 libassimp-dev g++ time)
package_packages=(cmake make googletest nlohmann-json3-dev libcli11-dev libstb-dev g++-mingw-w64-i686)
docs_packages=("${run_packages[@]}" f3d xvfb chromium)
blender_packages=("${run_packages[@]}" blender python3-numpy)

case "${1:-test}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  bench) wanted=("${bench_packages[@]}") ;;
  package) wanted=("${package_packages[@]}") ;;
  docs) wanted=("${docs_packages[@]}") ;;
  blender) wanted=("${blender_packages[@]}") ;;
  *) echo "usage: $0 run|test|bench|package|docs|blender" >&2; exit 2 ;;
esac

install_packages() {
  local missing=() package status
  for package in "$@"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root to install packages" >&2
    exit 1
  fi
  dpkg --add-architecture i386
  # A mirror caught mid-sync fails one index now and then: try again, and
  # go on with what was fetched; the install says what is still missing.
  for attempt in 1 2 3; do
    apt-get update -qq && break
    [ $attempt -lt 3 ] && sleep 15
  done || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

install_packages "${wanted[@]}"

# Node.js and npm (the machine's own, where it has them): the gallery's 3D
# viewer, which the build carries into mdlhost, and for the tests the glTF
# validator and the browser's driver, all exactly as the lockfile pins them.
# npm ci again only when the lockfile is newer than what it installed.
command -v npm >/dev/null || install_packages nodejs npm
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! "$root/node_modules/.package-lock.json" -nt "$root/package-lock.json" ]; then
  (cd "$root" && npm ci --no-audit --no-fund --loglevel=error)
fi

# A Russian locale, in which Wine takes code page 1251 as the ANSI one, and
# an English one (1252, no Cyrillic), in which Wine reads UTF-8 arguments.
for wanted_locale in ru_RU en_US; do
  if [ "${1:-test}" = test ] && ! locale -a 2>/dev/null | grep -qi "^$wanted_locale\.utf-\?8\$"; then
    localedef -i "$wanted_locale" -f UTF-8 "$wanted_locale.UTF-8"
  fi
done

# Some virtual machines run no 32-bit x86 code at all (the kernel refuses the
# executable). There qemu's user-mode emulator runs every 32-bit program,
# Wine's included, registered with the kernel by the ELF header it matches.
runs_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
if [ "${1:-test}" != package ] && ! runs_32bit; then
  install_packages qemu-user-static
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e $binfmt/register ] || mount -t binfmt_misc binfmt_misc $binfmt
  if [ ! -e $binfmt/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
      ':\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
      ':/usr/bin/qemu-i386-static:F' >$binfmt/register
  fi
  runs_32bit || { echo "setup: this machine cannot run 32-bit x86 programs" >&2; exit 1; }
  echo "setup: 32-bit x86 programs run under qemu-i386 on this machine"
fi
