#!/usr/bin/env bash
# Imports mdlhost's exports into Blender, headless, and checks what a modeller
# gets (tools/gltf/blender_check.py): shape keys, one action per animation,
# the model standing up, glowing texels as emission in the GLB and the OBJ.
# The bundled sample, the export test models and a model with glowing eyes;
# not part of the tests, since Blender is a large install.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh blender
scripts/build.sh linux mdlhost make_export_models make_fullbright_models >/dev/null
work=build/blender
rm -rf "$work"
mkdir -p "$work"
build/linux/bin/make_export_models "$work"
build/linux/bin/make_fullbright_models "$work"
status=0
for model in sample/column.mdl "$work"/seam.mdl "$work"/skins.mdl "$work"/repeated_names.mdl "$work"/monster.mdl; do
  name=$(basename "$model" .mdl)
  build/linux/bin/mdlhost "$model" --export "$work/$name" >/dev/null
  # Blender's own Python finds its numpy only on a PATH without another Python.
  PATH=/usr/bin:/bin blender -b --factory-startup --python tools/gltf/blender_check.py -- "$work/$name/model.glb" \
    >"$work/$name.log" 2>&1 || status=1
  tail -n 1 "$work/$name.log"
done
exit "$status"
