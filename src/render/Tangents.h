#pragma once

#include "platform/d3dx9math.h"

// Per-vertex tangents for normal mapping, with the handedness of the uv frame
// in w (+1 or -1) so the shader can rebuild the bitangent as cross(n, t) * w.
// Contributions of all triangles around a vertex are summed before the
// tangent is made orthogonal to the vertex normal.
//
// Triangles whose uvs have no area (no defined u direction) or that name a
// vertex past vertexCount add nothing. A vertex that gets no contribution, or
// whose summed u direction is parallel to its normal, gets the tangent
// (0, 0, 0, +1): finite, so a shader never sees NaN.
void ComputeTangents(unsigned vertexCount, const D3DXVECTOR3* positions, const D3DXVECTOR3* normals,
                     const D3DXVECTOR2* uvs, unsigned triangleCount, const unsigned short* triangles,
                     D3DXVECTOR4* tangents);
