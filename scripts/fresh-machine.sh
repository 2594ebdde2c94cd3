#!/usr/bin/env bash
# The README's quick start as a newcomer meets it: makes a minimal Debian
# system in a folder (debootstrap, with this machine's apt sources), puts a
# clean clone of main in it and runs the two commands there in a chroot,
# printing each one's exit status and time. It proves that the project's own
# scripts install everything a fresh machine lacks. Not part of the tests:
# it takes about half an hour.
#
# Usage: scripts/fresh-machine.sh [--without-i386-security] [DIR]
#   DIR  where the system is made, anew each run (default
#        /var/tmp/mdlimport-fresh); it is kept afterwards, with each
#        command's log in DIR/root.
#   --without-i386-security  the system's security suite offers no i386
#        index, as a mirror caught mid-sync does.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

without_i386_security=false
if [ "${1:-}" = --without-i386-security ]; then
  without_i386_security=true
  shift
fi
dir=${1:-/var/tmp/mdlimport-fresh}
[ "$(id -u)" -eq 0 ] || { echo "fresh-machine: run as root" >&2; exit 1; }

source "$root/scripts/debian-system.sh"
make_system "$dir"

if $without_i386_security; then
  native_arch=$(dpkg --print-architecture)
  for sources in "$dir"/etc/apt/sources.list.d/*.sources; do
    awk -v a="$native_arch" '
      /^$/ { if (security) print "Architectures: " a; security = 0 }
      /^Suites:.*-security/ { security = 1 }
      { print }
      END { if (security) print "Architectures: " a }' "$sources" >"$sources.new"
    mv "$sources.new" "$sources"
  done
  for list in "$dir/etc/apt/sources.list" "$dir"/etc/apt/sources.list.d/*.list; do
    sed -i -E "/-security/ s/^deb +([^[])/deb [arch=$native_arch] \1/" "$list"
  done
  echo "fresh-machine: the security suite offers no i386 index"
fi

git clone -q --branch main "$root" "$dir/root/mdlimport"
echo "fresh-machine: main at $(git -C "$dir/root/mdlimport" log -1 --format='%h %s')"

trap unmount_system EXIT
mount_system

failed=0
run_in_chroot() {
  local log="$dir/root/$1.log" started status
  started=$(date +%s)
  echo "fresh-machine: bash scripts/$1 (log: $log)"
  set +e
  chroot "$dir" /usr/bin/env -i HOME=/root TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    NODE_EXTRA_CA_CERTS=/etc/ssl/machine-ca.crt NPM_CONFIG_GLOBALCONFIG=/etc/npmrc \
    bash -c "cd /root/mdlimport && bash scripts/$1" </dev/null >"$log" 2>&1
  status=$?
  set -e
  tail -5 "$log" | sed 's/^/  | /'
  echo "fresh-machine: bash scripts/$1 exited $status after $(( $(date +%s) - started )) s"
  [ $status -eq 0 ] || failed=1
}
run_in_chroot run-sample.sh
run_in_chroot test.sh
exit $failed
