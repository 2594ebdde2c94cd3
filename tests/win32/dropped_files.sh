#!/usr/bin/env bash
# Files dropped on mdlhost.exe. Started with a console of its own (Wine's
# start gives it one, as Explorer does), it converts them into "NAME
# converted" beside the first, with the gallery, and then keeps its window
# open, waiting for Enter. Run from a script (its input redirected), the
# same command line converts nothing unasked.
# Usage: dropped_files.sh WINE_RUN MDLHOST_EXE SAMPLE WORK
set -euo pipefail
wine_run=$1 exe=$2 sample=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
model="$work/dropped-$$.mdl"  # a name that finds its process again
cp "$sample" "$model"
converted="$work/dropped-$$ converted"

"$wine_run" "$exe" "$model" </dev/null >/dev/null
if [ -e "$converted" ]; then
  echo "FAILED a run from a script converted as if files were dropped"
  exit 1
fi

"$wine_run" start /wait /unix "$exe" "$model" </dev/null >/dev/null 2>&1 &
starter=$!
trap 'pkill -f "mdlhost.exe.*dropped-$$" || true; wait $starter 2>/dev/null || true' EXIT
for _ in $(seq 600); do
  [ -f "$converted/index.html" ] && break
  kill -0 $starter 2>/dev/null || break
  sleep 0.1
done
for file in index.html index_files/model-viewer.min.js "dropped-$$/model.glb" "dropped-$$/thumbnail.png"; do
  if [ ! -f "$converted/$file" ]; then
    echo "FAILED the dropped model's conversion has no $file"
    exit 1
  fi
done
# The page is written last; a program that did not wait would be gone now.
sleep 2
if ! kill -0 $starter 2>/dev/null; then
  echo "FAILED the converter closed its window without waiting for Enter"
  exit 1
fi
echo "ok: converted into $converted, waiting for Enter"
