#!/usr/bin/env bash
# The pictures of the gallery in the README: an archive of generated models,
# those with glowing texels among them, and the bundled sample beside it,
# converted with --gallery, its index.html opened from disk in Debian's
# Chromium with the monster chosen (docs/gallery.png), and with the standing
# flame of skin and frame groups chosen and playing (docs/flame.png).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh docs
scripts/build.sh linux mdlhost make_export_models make_fullbright_models make_pak >/dev/null
out=build/render-gallery
rm -rf "$out"
mkdir -p "$out/models"
build/linux/bin/make_export_models "$out/models"
rm "$out/models/long_animation.mdl"  # 20,000 frames: nothing more to see
build/linux/bin/make_fullbright_models "$out/models"
build/linux/bin/make_pak "$out/game.pak" "$out"/models/*.mdl
cp sample/column.mdl "$out/column.mdl"
(cd "$out" && ../linux/bin/mdlhost game.pak column.mdl --export gallery --gallery >/dev/null)
node tools/gallery/screenshot.js "$out/gallery/index.html" docs/gallery.png progs/monster.mdl
node tools/gallery/screenshot.js "$out/gallery/index.html" docs/flame.png progs/flame.mdl play
echo "wrote docs/gallery.png and docs/flame.png"
