#pragma once
// The simple solids the levels are built from. Each comes back as one subset
// in its own (local) frame: box, cylinder and wedge stand on y = 0 around the
// y axis, the floor lies in y = 0, the sky is centred on the origin. Outer
// faces wind counter-clockwise seen from outside (the game culls clockwise
// faces); the sky's faces look inwards.
//
// Texture coordinates tile the material every `tile` world units, with v
// running down a face as images do; the second set spans 0..1 over each
// face for a lightmap. Normals and tangents come with every vertex.
#include "datagen/MeshWriter.h"

namespace datagen {

// size.x by size.y (height) by size.z.
MeshGeometry MakeBox(const D3DXVECTOR3& size, float tile);
// size.x by size.z, facing up.
MeshGeometry MakeFloor(const D3DXVECTOR3& size, float tile);
// An upright cylinder, elliptic when size.x and size.z differ, with caps;
// smooth sides of `segments` facets (at least 3).
MeshGeometry MakeCylinder(const D3DXVECTOR3& size, int segments, float tile);
// A ramp: full height size.y along its -z edge, down to nothing along +z.
MeshGeometry MakeWedge(const D3DXVECTOR3& size, float tile);
// An inverted box for the sky, mapped so that one vertical gradient image
// runs from its top (v = 0) down its walls to its floor (v = 1).
MeshGeometry MakeSky(const D3DXVECTOR3& size);

// Tangents for every vertex from positions, normals and the first uv set.
void ComputeMeshTangents(MeshGeometry& geometry);

} // namespace datagen
