#!/usr/bin/env bash
# The Debian package as Debian's own checker reads it: cpack twice, into
# folders of their own and with the packaged files' times moved between the
# two, must give the same bytes; lintian must find no error and no warning;
# and the package's version is the program's and the project's.
# Usage: check_package.sh BUILD_TREE MDLHOST VERSION WORK
set -uo pipefail
build=$1 mdlhost=$2 version=$3 work=$4
command -v lintian >/dev/null || { echo "FAILED: lintian is missing (scripts/setup.sh test installs it)"; exit 1; }
failures=0
fail() { echo "FAILED $*"; failures=$((failures + 1)); }

rm -rf "$work"
# Without the caller's SOURCE_DATE_EPOCH: the build's own must hold. Prints
# the package's path; its failure goes to standard error, past the caller's
# capture.
pack() {
  env -u SOURCE_DATE_EPOCH cpack --config "$build/CPackConfig.cmake" -B "$work/$1" >"$work/$1.log" 2>&1 \
    || { echo "FAILED cpack: $(tail -n 3 "$work/$1.log")" >&2; return 1; }
  ls "$work/$1"/mdlhost_*_i386.deb
}
mkdir -p "$work"
first=$(pack first) || exit 1
touch "$build"/doc/* "$build"/man/*
second=$(pack second) || exit 1
cmp -s "$first" "$second" || fail "two builds differ: $(cmp "$first" "$second")"

findings=$(lintian --allow-root --fail-on error,warning "$first" 2>&1) || fail "lintian failed"
[ -z "$findings" ] || fail "lintian: $findings"

packaged=$(dpkg-deb -f "$first" Version)
[ "$packaged" = "$version" ] || fail "the package is version $packaged, the project $version"
shown=$("$mdlhost" --version)
[ "$shown" = "mdlhost $version" ] || fail "mdlhost --version prints '$shown'"

[ $failures -eq 0 ] && echo "the package: the same bytes twice, lintian-clean, version $version"
exit $((failures > 0))
