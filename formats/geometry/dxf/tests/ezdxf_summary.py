"""What the peer DXF reader finds in a file, one line per item, for the tests.

Prints "audit <errors> <fixes>" for its recover mode, "count <space> <TYPE>
<n>" per entity type of the model space ("model") and of the blocks
("block"), "layer <name> <color>" per layer, and per polyline, model space
first, "polyline <space> <flags> <vertices> <faces> <color>", then "point <x>
<y> <z>" per vertex and "face <color> <indices...>" per face record (256 for
a colour not given).
"""
import sys
from collections import Counter

from ezdxf import recover

doc, auditor = recover.readfile(sys.argv[1])
print("audit", len(auditor.errors), len(auditor.fixes))
entities = [("model", e) for e in doc.modelspace()]
for block in doc.blocks:
    if not block.name.startswith("*"):
        entities.extend(("block", e) for e in block)
for (space, kind), count in sorted(Counter((s, e.dxftype()) for s, e in entities).items()):
    print("count", space, kind, count)
for layer in doc.layers:
    print("layer", layer.dxf.name, layer.dxf.get("color", 7))
for space, e in entities:
    if e.dxftype() != "POLYLINE":
        continue
    vertices = [v for v in e.vertices if v.dxf.flags & 64 or v.dxf.flags == 192]
    faces = [v for v in e.vertices if v.dxf.flags == 128]
    print("polyline", space, e.dxf.flags, len(vertices), len(faces), e.dxf.get("color", 256))
    for v in vertices:
        print("point %.9g %.9g %.9g" % tuple(v.dxf.location))
    for f in faces:
        indices = [f.dxf.get(name, 0) for name in ("vtx0", "vtx1", "vtx2", "vtx3")]
        print("face", f.dxf.get("color", 256), *[i for i in indices if i])
