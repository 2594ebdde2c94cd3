#!/usr/bin/env bash
# Renders the bundled sample's export (model.glb) to docs/sample.png, the
# picture in the README: mdlhost --export, then f3d headless on a virtual
# display; the export's own thumbnail.png goes to docs/sample-thumbnail.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh docs
scripts/build.sh linux mdlhost >/dev/null
out=build/render
rm -rf "$out"
build/linux/bin/mdlhost sample/column.mdl --export "$out" >/dev/null

displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
DISPLAY=":$(cat "$displayfile")" f3d "$out/model.glb" --output=docs/sample.png --resolution=480,480 \
  --up=+Y --grid --camera-azimuth-angle=30 --camera-elevation-angle=15 --animation-index=1
cp "$out/thumbnail.png" docs/sample-thumbnail.png
echo "wrote docs/sample.png and docs/sample-thumbnail.png"
