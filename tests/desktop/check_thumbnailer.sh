#!/usr/bin/env bash
# Quake models as a file manager sees them, through a real thumbnail
# service: the tree installed into a prefix of its own (each file where it
# belongs, the binaries finding each other and not the build tree), whose
# share comes first in XDG_DATA_DIRS, and Debian's tumbler on a private
# session bus. Each file's type is what GIO says; tumbler is asked over
# D-Bus for the normal and large flavours, as a file manager asks, and must
# write a 128 and a 256 pixel picture of each model, with its URI, and none
# of a model the plug-in refuses, of another format's .mdl or of a cut-short
# one; and it must still be running afterwards.
# Usage: check_thumbnailer.sh BUILD_TREE MAKE_FULLBRIGHT_MODELS SAMPLE WORK
set -uo pipefail
build=$1 make_models=$2 sample=$3 work=$4
tumblerd=/usr/lib/x86_64-linux-gnu/tumbler-1/tumblerd
for tool in "$tumblerd" dbus-run-session gdbus gio update-mime-database; do
  command -v "$tool" >/dev/null || { echo "FAILED: $tool is missing (scripts/setup.sh test installs it)"; exit 1; }
done

rm -rf "$work"
mkdir -p "$work/models" "$work/home" "$work/cache" "$work/data"
cmake --install "$build" --prefix "$work/prefix" >/dev/null || { echo "FAILED: the install"; exit 1; }
failures=0
fail() { echo "FAILED $*"; failures=$((failures + 1)); }

# The install: the GNU directories, the plug-in and the libraries it loads
# in a folder of the program's own, each binary finding the others from
# where it lies and never in the build tree.
installed=$(cd "$work/prefix" && find . -type f -printf '%P\n' | sort | tr '\n' ' ')
expected="bin/mdlhost lib/mdlhost/libTovra_Main.so lib/mdlhost/libmdlimport.so lib/mdlhost/libuser32.so \
share/applications/mdlhost.desktop share/doc/mdlhost/changelog.gz share/doc/mdlhost/copyright \
share/man/man1/mdlhost.1.gz share/mdlhost/column.mdl \
share/mime/packages/mdlhost.xml share/thumbnailers/mdlhost.thumbnailer "
[ "$installed" = "$expected" ] || fail "the install holds $installed"
for binary in bin/mdlhost lib/mdlhost/libTovra_Main.so lib/mdlhost/libmdlimport.so lib/mdlhost/libuser32.so; do
  runpath=$(readelf -d "$work/prefix/$binary" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  case "$binary" in bin/*) wanted='$ORIGIN/../lib/mdlhost' ;; *) wanted='$ORIGIN' ;; esac
  [ "$runpath" = "$wanted" ] || fail "$binary runs with the path '$runpath'"
done
update-mime-database "$work/prefix/share/mime" 2>/dev/null
cp "$sample" "$work/models/column.mdl"
"$make_models" "$work/models"
printf 'RAPO, not a model' >"$work/models/not-a-model.mdl"
printf 'IDST\x0a\0\0\0 another format' >"$work/models/foreign.mdl"
head -c 2000 "$work/models/monster.mdl" >"$work/models/cut.mdl"
pictured=(column monster torch flame)  # the flame: skin and frame groups
unpictured=(not-a-model foreign cut)

export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
export XDG_DATA_DIRS=$work/prefix/share:/usr/local/share:/usr/share
export PATH=$work/prefix/bin:$PATH

# The type a file manager gets: every .mdl is a Quake model by its name.
for name in "${pictured[@]}" "${unpictured[@]}"; do
  type=$(gio info -a standard::content-type "$work/models/$name.mdl" | awk '/standard::content-type/ { print $2 }')
  [ "$type" = model/x-quake-mdl ] || fail "$name.mdl: GIO says $type"
done

uri() { printf 'file://%s' "$(realpath "$1")"; }
md5uri() { printf '%s' "$(uri "$1")" | md5sum | cut -d' ' -f1; }

# Inside the private bus: tumbler started, asked for both flavours, each
# request waited for until its files are there or it has had its time.
cat >"$work/session.sh" <<'INNER'
set -u
call() {
  gdbus call --session --dest org.freedesktop.thumbnails.Thumbnailer1 \
    --object-path /org/freedesktop/thumbnails/Thumbnailer1 --method "org.freedesktop.thumbnails.Thumbnailer1.$@"
}
# The bus starts tumbler on the first call, as a desktop session's does.
for flavor in normal large; do
  call Queue "$URIS" "$TYPES" "$flavor" default 0 >/dev/null
  for _ in $(seq 600); do
    count=$(ls "$XDG_CACHE_HOME/thumbnails/$flavor" 2>/dev/null | wc -l)
    [ "$count" -ge "$WANTED" ] && break
    sleep 0.2
  done
done
sleep 3  # a picture that should not be there has had its time too
gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner org.freedesktop.thumbnails.Thumbnailer1 >"$WORK/still-running"
INNER
uris="[" types="["
for name in "${pictured[@]}" "${unpictured[@]}"; do
  uris+="'$(uri "$work/models/$name.mdl")',"
  types+="'model/x-quake-mdl',"
done
URIS="${uris%,}]" TYPES="${types%,}]" WANTED=${#pictured[@]} WORK=$work \
  timeout 600 dbus-run-session -- bash "$work/session.sh" >"$work/session.log" 2>&1
grep -q true "$work/still-running" 2>/dev/null || fail "tumbler is not running after the requests"

# A PNG's width and height: the first two words of its IHDR chunk.
side() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'; }
for flavor in normal:128 large:256; do
  folder=${flavor%:*} size=${flavor#*:}
  for name in "${pictured[@]}"; do
    file=$work/cache/thumbnails/$folder/$(md5uri "$work/models/$name.mdl").png
    if [ ! -f "$file" ]; then
      fail "$name.mdl: no $folder thumbnail"
      continue
    fi
    [ "$(side "$file")" = "$size $size" ] || fail "$name.mdl: the $folder thumbnail is $(side "$file"), not $size"
    grep -aq "Thumb::URI.$(uri "$work/models/$name.mdl")" "$file" || fail "$name.mdl: the $folder thumbnail has no Thumb::URI"
  done
  for name in "${unpictured[@]}"; do
    [ ! -e "$work/cache/thumbnails/$folder/$(md5uri "$work/models/$name.mdl").png" ] || fail "$name.mdl: a $folder thumbnail"
  done
done
[ $failures -eq 0 ] && echo "tumbler: ${#pictured[@]} models pictured at 128 and 256, ${#unpictured[@]} files without a picture"
[ $failures -eq 0 ] || { echo "--- the session's log:"; tail -20 "$work/session.log"; }
exit $((failures > 0))
