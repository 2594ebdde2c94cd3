#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing.
# Usage: scripts/setup.sh run|test|bench|package|docs|blender   (run: what the
# reference host needs; test: everything the builds and tests need, Windows
# and Wine included, the viewer the exports are opened in and the browser
# the gallery is tested in, the desktop's thumbnail service and the Debian
# package's tools; bench: the benchmark, the peer importer it compares with
# and the viewer its pictures are timed against; package: the Windows build
# of the release archive and the Debian package; docs: the renderer and the
# browser for the README's pictures; blender: Blender for the export's
# import check). Every mode also installs the npm packages of the lockfile,
# the gallery's viewer among them, which the build needs.
#
# Packages go in groups, by what they serve, one apt transaction each, so
# that one that cannot be had keeps out only its own group. A group that
# fails is named with apt's reason at once, the other groups go on, and the
# set-up exits 1 at the end, naming again every package it could not install.
set -euo pipefail

mode=${1:-test}
root=$(cd "$(dirname "$0")/.." && pwd)

build_group=(cmake make g++-multilib googletest nlohmann-json3-dev libcli11-dev libstb-dev libtinygltf-dev nettle-dev:i386
  zlib1g-dev:i386)
windows_group=(g++-mingw-w64-i686 libz-mingw-w64-dev)
# The Russian and English locales are for the Wine tests alone.
wine_group=(wine wine32:i386 locales)
viewers_group=(xvfb f3d chromium)
sanitizers_group=(clang-14 libclang-rt-14-dev)
bench_group=(libbenchmark-dev:i386 libassimp-dev g++ time)
blender_group=(blender python3-numpy)
# A real thumbnail service on a private session bus, GIO's view of a file's
# type, and the checkers of the desktop entries and the manual page.
desktop_group=(tumbler dbus libglib2.0-bin shared-mime-info desktop-file-utils libxml2-utils groff-base)
# The Debian package: its dependencies read off the binaries, and Debian's
# checker of packages.
debian_group=(dpkg-dev file fakeroot lintian)

case "$mode" in
  run) groups=(build) ;;
  test) groups=(build windows wine viewers sanitizers desktop debian) ;;
  bench) groups=(build bench viewers) ;;
  package) groups=(build windows debian) ;;
  docs) groups=(build viewers) ;;
  blender) groups=(build blender) ;;
  *) echo "usage: $0 run|test|bench|package|docs|blender" >&2; exit 2 ;;
esac

# Whether the kernel runs 32-bit x86 programs itself: a 93-byte static
# program that only exits 0, so that the answer needs no 32-bit library yet.
# Where qemu's emulator is registered for them, they run, but not natively.
binfmt=/proc/sys/fs/binfmt_misc
[ -e $binfmt/register ] || mount -t binfmt_misc binfmt_misc $binfmt 2>/dev/null || true
runs_32bit_natively() {
  grep -qs '^enabled' $binfmt/qemu-i386 && return 1
  local probe status=0
  mkdir -p "$root/build"
  probe=$(mktemp "$root/build/runs32.XXXXXX")
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return $status
}

native32=true
runs_32bit_natively || native32=false
if ! $native32; then
  # Wine does not start under the emulator, so its tests cannot run here.
  kept=()
  for group in "${groups[@]}"; do [ "$group" = wine ] || kept+=("$group"); done
  groups=("${kept[@]}")
  [ "$mode" = test ] && echo "setup: no 32-bit x86 programs of the kernel's own here: Wine and its locales left out"
fi

is_installed() {
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]
}

# apt is readied once, on the first group that needs a package.
apt_ready=false
apt_options=()
ready_apt() {
  $apt_ready && return 0
  apt_ready=true
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root to install packages" >&2
    exit 1
  fi
  dpkg --add-architecture i386
  local log codename native_arch lacking
  log=$(mktemp)
  # A mirror caught mid-sync fails one index now and then: try again, and
  # go on with what was fetched.
  for attempt in 1 2 3; do
    apt-get update -qq >"$log" 2>&1 && break
    [ $attempt -lt 3 ] && sleep 15
  done || grep -E '^(E|W): ' "$log" | head -3 >&2

  # An i386 library must be of exactly its native twin's version. Where a
  # suite of the distribution has no i386 index (or failed to fetch one),
  # its native versions have no twin: then every group of this run takes
  # its versions from the main suite, which both architectures have, so
  # that the groups agree with each other too.
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  native_arch=$(dpkg --print-architecture)
  lacking=$( {
    apt-cache policy | awk -v c="$codename" -v a="$native_arch" '
      $NF == "Packages" && $3 ~ "^" c "[-/]" { seen[$2 " " $3, $(NF-1)] = 1; key[$2 " " $3] = 1 }
      END { for (k in key) if (seen[k, a] && !seen[k, "i386"]) { split(k, p, " "); sub("/.*", "", p[2]); print p[2] } }'
    grep -o "dists/$codename[^/ ]*/[^ ]*binary-i386" "$log" | cut -d/ -f2 || true
  } | sort -u | tr '\n' ' ')
  rm -f "$log"
  if [ -n "$codename" ] && [ -n "$lacking" ]; then
    echo "setup: no i386 index of ${lacking% }: installing the versions of $codename, which both architectures have"
    apt_options=(-t "$codename")
  fi
}

# The one line apt's failure comes down to: its unmet dependency, if it
# names one, or its error.
apt_reason() {
  local unmet error
  unmet=$(grep -m1 -E '^ +[^ ]+ : (Pre)?Depends|^ +[^ ]+ : (Conflicts|Breaks)' "$1" | sed 's/^ *//' || true)
  error=$(grep -E '^E: ' "$1" | tail -1 || true)
  echo "${error:-apt-get failed}${unmet:+ ($unmet)}"
}

failures=()
install_group() {
  local group=$1 package missing=() log
  shift
  for package in "$@"; do
    is_installed "$package" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  ready_apt
  echo "Installing ($group): ${missing[*]}"
  log=$(mktemp)
  if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${apt_options[@]}" "${missing[@]}" >"$log" 2>&1; then
    local reason still=()
    reason=$(apt_reason "$log")
    for package in "${missing[@]}"; do
      is_installed "$package" || still+=("$package")
    done
    echo "setup: group $group failed: $reason" >&2
    failures+=("${still[*]} ($group): $reason")
  fi
  rm -f "$log"
}

for group in "${groups[@]}"; do
  declare -n packages="${group}_group"
  install_group "$group" "${packages[@]}"
  unset -n packages
done

# Node.js and npm (the machine's own, where it has them): the gallery's 3D
# viewer, which the build carries into mdlhost, and for the tests the glTF
# validator and the browser's driver, all exactly as the lockfile pins them.
# npm ci again only when the lockfile is newer than what it installed.
command -v npm >/dev/null || install_group node nodejs npm
if command -v npm >/dev/null && [ ! "$root/node_modules/.package-lock.json" -nt "$root/package-lock.json" ]; then
  (cd "$root" && npm ci --no-audit --no-fund --loglevel=error) || failures+=("the lockfile's npm packages: npm ci failed")
fi

# A Russian locale, in which Wine takes code page 1251 as the ANSI one, and
# an English one (1252, no Cyrillic), in which Wine reads UTF-8 arguments.
if [ "$mode" = test ] && $native32 && is_installed locales; then
  for wanted_locale in ru_RU en_US; do
    if ! locale -a 2>/dev/null | grep -qi "^$wanted_locale\.utf-\?8\$"; then
      localedef -i "$wanted_locale" -f UTF-8 "$wanted_locale.UTF-8"
    fi
  done
fi

# Some virtual machines run no 32-bit x86 code at all (the kernel refuses the
# executable). There qemu's user-mode emulator runs every 32-bit program,
# registered with the kernel by the ELF header it matches.
if [ "$mode" != package ] && ! $native32 && ! grep -qs '^enabled' $binfmt/qemu-i386; then
  install_group emulator qemu-user-static
  if is_installed qemu-user-static; then
    if [ ! -e $binfmt/qemu-i386 ]; then
      printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
        ':\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
        ':/usr/bin/qemu-i386-static:F' >$binfmt/register
    fi
    echo "setup: 32-bit x86 programs run under qemu-i386 on this machine"
  fi
fi

if [ ${#failures[@]} -gt 0 ]; then
  for failure in "${failures[@]}"; do
    echo "setup: not installed: $failure" >&2
  done
  exit 1
fi
