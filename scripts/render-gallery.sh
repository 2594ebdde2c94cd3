#!/usr/bin/env bash
# The picture of the gallery in the README (docs/gallery.png): an archive of
# generated models and the bundled sample, converted with --gallery, its
# index.html opened from disk in Debian's Chromium with the sample chosen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh docs
scripts/build.sh linux mdlhost make_export_models make_pak >/dev/null
out=build/render-gallery
rm -rf "$out"
mkdir -p "$out/models"
build/linux/bin/make_export_models "$out/models"
rm "$out/models/long_animation.mdl"  # 20,000 frames: nothing more to see
cp sample/column.mdl "$out/models/column.mdl"
build/linux/bin/make_pak "$out/game.pak" "$out"/models/*.mdl
(cd "$out" && ../linux/bin/mdlhost game.pak --export gallery --gallery >/dev/null)
node tools/gallery/screenshot.js "$out/gallery/index.html" docs/gallery.png progs/column.mdl
echo "wrote docs/gallery.png"
