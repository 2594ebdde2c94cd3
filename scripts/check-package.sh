#!/usr/bin/env bash
# The Debian package as a user installs it, on a fresh Debian system of this
# machine's release with i386 added (made in DIR as scripts/fresh-machine.sh
# makes one): apt-get installs dist/mdlhost_VERSION_i386.deb and what it
# depends on, mdlhost runs from PATH without the build tree, the MIME
# database knows Quake models (shared-mime-info's trigger), and apt-get
# purge leaves no file of it behind. Not part of the tests: it needs root
# and the mirror, and takes some minutes. Run scripts/package.sh first.
# Usage: scripts/check-package.sh [DIR]   (default /var/tmp/mdlhost-package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "check-package: run as root" >&2; exit 1; }
deb=$(ls "$root"/dist/mdlhost_*_i386.deb 2>/dev/null | tail -n 1)
[ -n "$deb" ] || { echo "check-package: no dist/mdlhost_*_i386.deb: run scripts/package.sh" >&2; exit 1; }

source "$root/scripts/debian-system.sh"
make_system "${1:-/var/tmp/mdlhost-package}"
trap unmount_system EXIT
mount_system
cp "$deb" "$dir/root/"
cp "$root/sample/column.mdl" "$dir/root/model.mdl"

in_system() {
  chroot "$dir" /usr/bin/env -i HOME=/root TERM=dumb DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c "$1"
}
# Every file of the system but apt's and dpkg's own records and logs.
files() {
  (cd "$dir" && find . -xdev \( -path ./proc -o -path ./sys -o -path ./dev -o -path ./tmp -o -path ./var/lib/dpkg \
    -o -path ./var/lib/apt -o -path ./var/cache -o -path ./var/log -o -path ./root \) -prune -o -print | sort)
}
failures=0
fail() { echo "FAILED $*"; failures=$((failures + 1)); }

name=$(basename "$deb")
in_system "dpkg --add-architecture i386 && apt-get update -qq" >"$dir/root/update.log" 2>&1 \
  || { echo "check-package: apt-get update failed, see $dir/root/update.log" >&2; exit 1; }
# Once for what it depends on, which stays; then the package alone, twice.
in_system "apt-get install -y -qq ./root/$name && apt-get purge -y -qq mdlhost" >"$dir/root/first.log" 2>&1 \
  || { echo "check-package: the first install failed, see $dir/root/first.log" >&2; exit 1; }
files >"$dir/root/before.txt"
in_system "apt-get install -y -qq ./root/$name" >"$dir/root/install.log" 2>&1 || fail "apt-get install: $(tail -n 3 "$dir/root/install.log")"
echo "check-package: installed $name with $(in_system "dpkg-query -W -f='\${Depends}' mdlhost")"

in_system "cd / && mdlhost /root/model.mdl" >"$dir/root/report.txt" 2>&1 || fail "mdlhost from PATH: $(tail -n 3 "$dir/root/report.txt")"
grep -q '^Result: 1' "$dir/root/report.txt" || fail "mdlhost's report: $(tail -n 3 "$dir/root/report.txt")"
in_system "cd / && mdlhost --thumbnail /root/picture.png /usr/share/mdlhost/column.mdl" || fail "mdlhost --thumbnail"
[ -s "$dir/root/picture.png" ] || fail "no picture"
grep -qx 'model/x-quake-mdl' "$dir/usr/share/mime/types" || fail "the MIME database does not know the type"
[ -f "$dir/usr/share/mime/model/x-quake-mdl.xml" ] || fail "the MIME database has no entry of the type"
in_system "man -w mdlhost" >/dev/null 2>&1 || in_system "test -f /usr/share/man/man1/mdlhost.1.gz" || fail "no manual page"

in_system "apt-get purge -y -qq mdlhost" >"$dir/root/purge.log" 2>&1 || fail "apt-get purge"
files >"$dir/root/after.txt"
left=$(comm -13 "$dir/root/before.txt" "$dir/root/after.txt")
[ -z "$left" ] || fail "left behind by purge: $left"
gone=$(comm -23 "$dir/root/before.txt" "$dir/root/after.txt")
[ -z "$gone" ] || fail "gone after purge that was there before: $gone"
[ $failures -eq 0 ] && echo "check-package: installed, ran from PATH, typed by the MIME database, purged clean"
exit $((failures > 0))
