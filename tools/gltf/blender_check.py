# Imports a GLB of mdlhost --export into Blender and checks what a modeller
# gets: one shape key per frame (besides the basis), one action per
# animation in which each of its own frames' keys is 1.0 at that frame's
# time and at no other, the model standing up (+Z, Blender's up), and each
# skin's glowing texels as its material's emission; then the same of the
# OBJ beside it (model.obj), whose material emits what model.mtl's map_Ke
# names.
# Usage: blender -b --factory-startup --python tools/gltf/blender_check.py -- model.glb
# (with a PATH that holds no other Python, so that Blender finds its numpy)
import json
import os
import re
import struct
import sys

import numpy

numpy.bool = bool  # the importer still uses it; numpy 1.24 removed it
import bpy

args = sys.argv[sys.argv.index('--') + 1:]
path = args[0]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=path)

FPS = 24  # Blender's frames a second; the export plays 10
failures = []
mesh = next(ob for ob in bpy.data.objects if ob.type == 'MESH')
keys = [block.name for block in mesh.data.shape_keys.key_blocks][1:]
# Animations in order, by their frames' names ("stand 0", "stand 1", ...;
# Blender adds ".001" to a name it has seen).
frames = []
for name in keys:
    if re.search(r' 0(\.\d+)?$', name):
        frames.append(0)
    frames[-1] += 1
if len(bpy.data.actions) != len(frames):
    failures.append(f'{len(bpy.data.actions)} actions, expected {len(frames)}')
first = 0
for count in frames:
    own = keys[first:first + count]
    action = next((a for a in bpy.data.actions for c in a.fcurves
                   if c.data_path == f'key_blocks["{own[0]}"].value' and any(p.co[1] > 0.5 for p in c.keyframe_points)),
                  None)
    for f, name in enumerate(own):
        curve = action and next((c for c in action.fcurves if c.data_path == f'key_blocks["{name}"].value'), None)
        ones = [round(point.co[0] / FPS * 10, 3) for point in curve.keyframe_points if point.co[1] > 0.5] if curve else []
        # The last frame is held till the animation's end, a frame later.
        expected = [f, f + 1] if f == count - 1 else [f]
        if ones != expected:
            failures.append(f'{name}: 1.0 at frames {ones}, expected {expected}')
    first += count
heights = [v.co.z for v in mesh.data.vertices]
widths = [abs(v.co.x) for v in mesh.data.vertices]
if max(heights) - min(heights) < max(widths):
    failures.append('the model lies on its side')


def emission_image(material):
    """The file name of the image linked to the material's emission, or None."""
    if not material or not material.use_nodes:
        return None
    for node in material.node_tree.nodes:
        if node.type == 'BSDF_PRINCIPLED' and node.inputs['Emission'].is_linked:
            source = node.inputs['Emission'].links[0].from_node
            if source.type == 'TEX_IMAGE' and source.image:
                return os.path.basename(source.image.filepath) or source.image.name
            return source.type
    return None


with open(path, 'rb') as glb:
    header = glb.read(20)
    gltf = json.loads(glb.read(struct.unpack_from('<I', header, 12)[0]))
glowing = [m['name'] for m in gltf.get('materials', []) if 'emissiveTexture' in m]
for name in glowing:
    if emission_image(bpy.data.materials.get(name)) is None:
        failures.append(f'GLB material {name}: its emissive texture is not its emission')

folder = os.path.dirname(path)
with open(os.path.join(folder, 'model.mtl')) as mtl:
    emitted = re.search(r'^map_Ke (.+)$', mtl.read(), re.M)
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.wm.obj_import(filepath=os.path.join(folder, 'model.obj'))
obj = next(ob for ob in bpy.data.objects if ob.type == 'MESH')
shown = emission_image(obj.active_material)
if shown != (emitted.group(1) if emitted else None):
    failures.append(f'OBJ material emits {shown}, model.mtl says {emitted and emitted.group(1)}')

print('\n'.join(failures) or f'{path}: {len(keys)} shape keys, {len(frames)} actions, standing, '
      f'{len(glowing)} glowing skins, OBJ emits {emitted and emitted.group(1)}: ok')
sys.exit(1 if failures else 0)
