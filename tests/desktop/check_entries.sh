#!/usr/bin/env bash
# The desktop's entries as their own tools read them: the Open With entry
# (desktop-file-validate), the MIME package (xmllint, then
# update-mime-database, which must type a Quake model by its magic where a
# glob of another type meets it), and the manual page (groff, warnings as
# failures), which must name every option that mdlhost --help lists.
# Usage: check_entries.sh MDLHOST SOURCE_DIR MANUAL_PAGE WORK
set -uo pipefail
mdlhost=$1 source=$2 manual=$3 work=$4
failures=0
fail() { echo "FAILED $*"; failures=$((failures + 1)); }

desktop-file-validate "$source/packaging/linux/mdlhost.desktop" || fail "the desktop entry"
xmllint --noout "$source/packaging/linux/mdlhost-quake-model.xml" || fail "the MIME package is not XML"
rm -rf "$work"
mkdir -p "$work/mime/packages"
cp "$source/packaging/linux/mdlhost-quake-model.xml" "$work/mime/packages/"
update-mime-database "$work/mime" 2>/dev/null || fail "update-mime-database"
grep -qx 'model/x-quake-mdl' "$work/mime/types" 2>/dev/null || fail "the MIME database lacks the type"
grep -aq 'IDPO' "$work/mime/magic" 2>/dev/null || fail "the MIME database lacks the magic"

warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$manual" 2>&1)
[ -z "$warnings" ] || fail "groff warns on the manual page: $warnings"
page=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -P-cbou "$manual" 2>/dev/null)
for option in $("$mdlhost" --help | grep -oE '^ +(-h,)?--[a-z-]+' | sed -E 's/^ +(-h,)?//'); do
  grep -qF -- "$option" <<<"$page" || fail "the manual page does not name $option"
done
for heading in "EXIT STATUS" GALLERY; do
  grep -q "^$heading" <<<"$page" || fail "the manual page has no $heading"
done
[ $failures -eq 0 ] && echo "the desktop entry, the MIME package and the manual page: ok"
exit $((failures > 0))
