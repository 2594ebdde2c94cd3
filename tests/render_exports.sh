#!/usr/bin/env bash
# Every export test model's model.glb opened by an ordinary viewer: Debian's
# f3d renders it on a virtual display, must exit 0 and must have drawn the
# model (pixels over its transparent background). A model without frames has
# no mesh and draws nothing, but must open all the same.
#
# The 20,000-frame animation is left out: its weights are sparse (they would
# be 1.6 GB dense), and this f3d crashes on any sparse accessor.
# Usage: render_exports.sh MDLHOST MAKE_MODELS SAMPLE PNG_COVERAGE WORK
set -euo pipefail
mdlhost=$1 make_models=$2 sample=$3 coverage=$4 work=$5
for tool in f3d Xvfb; do
  command -v $tool >/dev/null || { echo "render_exports: $tool is not installed (scripts/setup.sh test)"; exit 1; }
done
rm -rf "$work"
mkdir -p "$work/models"
"$make_models" "$work/models"
rm "$work/models/long_animation.mdl"
cp "$sample" "$work/models/column.mdl"

displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$displayfile")"

size=200
failures=0
render() {  # NAME MODEL [mdlhost options...]
  local name=$1 model=$2 status=0
  shift 2
  "$mdlhost" "$model" --export "$work/$name" --export-thumbnail 0 "$@" >/dev/null 2>&1 || true
  timeout 120 f3d "$work/$name/model.glb" --output="$work/$name.png" --no-background \
    --resolution=$size,$size >"$work/$name.log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    echo "FAILED $name: f3d exited $status on $work/$name/model.glb"
    failures=$((failures + 1))
    return
  fi
  local width height covered
  read -r width height covered < <("$coverage" "$work/$name.png")
  # A model drawn covers a good share of the picture; one without a mesh none.
  local least=$((size * size / 50))
  if [ "$name" = no_frames ]; then least=0; fi
  if [ "$covered" -lt $least ]; then
    echo "FAILED $name: f3d drew $covered pixels of ${width}x$height"
    failures=$((failures + 1))
    return
  fi
  echo "ok $name: $covered pixels drawn"
}

for model in "$work"/models/*.mdl; do
  render "$(basename "$model" .mdl)" "$model"
done
render column-linear-flat "$work/models/column.mdl" --export-interpolation linear --export-normals none
[ $failures -eq 0 ] || { echo "$failures exports failed to render"; exit 1; }
