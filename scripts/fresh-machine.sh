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

command -v debootstrap >/dev/null || {
  apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null 2>&1 \
    || { echo "fresh-machine: debootstrap cannot be installed" >&2; exit 1; }
}

unmount_all() {
  local mount
  for mount in proc sys dev; do
    mountpoint -q "$dir/$mount" && umount -R -l "$dir/$mount"
  done
  return 0
}
unmount_all
# Never remove a folder that still has the machine's own mounted inside.
if awk -v d="$dir/" 'index($2, d) == 1 { found = 1 } END { exit !found }' /proc/mounts; then
  echo "fresh-machine: $dir still has mounts inside" >&2
  exit 1
fi
rm -rf "$dir"

codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' | awk -v c="$codename" '$2 == c { print $1; exit }')
echo "fresh-machine: debootstrap $codename from $mirror into $dir"
start=$(date +%s)
debootstrap --variant=minbase "$codename" "$dir" "$mirror" >"$dir.debootstrap.log" 2>&1 \
  || { echo "fresh-machine: debootstrap failed, see $dir.debootstrap.log" >&2; exit 1; }
echo "fresh-machine: debootstrap took $(( $(date +%s) - start )) s"

# What a new machine here comes with: the apt sources (and their keys), name
# resolution, the certificate authorities and npm's settings.
shopt -s nullglob
cp /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources "$dir/etc/apt/sources.list.d/"
[ -s /etc/apt/sources.list ] && cp /etc/apt/sources.list "$dir/etc/apt/sources.list" || : >"$dir/etc/apt/sources.list"
for keyring in $(grep -hoE '(Signed-By: *|signed-by=)/[^] ]+' /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null | sed 's/.*[:=] *//' | sort -u); do
  [ -e "$keyring" ] && [ ! -e "$dir$keyring" ] && install -D -m 644 "$keyring" "$dir$keyring"
done
cp -L /etc/resolv.conf "$dir/etc/resolv.conf"
mkdir -p "$dir/usr/local/share/ca-certificates" "$dir/etc/ssl/certs"
cp /usr/local/share/ca-certificates/* "$dir/usr/local/share/ca-certificates/" 2>/dev/null || true
cp /etc/ssl/certs/ca-certificates.crt "$dir/etc/ssl/certs/ca-certificates.crt"
# ca-certificates rebuilds the bundle when it is installed; Node keeps this copy.
cp /etc/ssl/certs/ca-certificates.crt "$dir/etc/ssl/machine-ca.crt"
npmrc=$(npm config get globalconfig 2>/dev/null || true)
[ -n "$npmrc" ] && [ -f "$npmrc" ] && cp "$npmrc" "$dir/etc/npmrc"

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

trap unmount_all EXIT
mount --rbind /proc "$dir/proc"
mount --rbind /sys "$dir/sys"
mount --rbind /dev "$dir/dev"

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
