#pragma once

#include "platform/d3dx9math.h"

namespace fxtest {

// A light at the origin looking down +z: clip (x, y, z, w) = (x, y, 0, z), so
// a point lands at u = 0.5 + x / 2z, v = 0.5 - y / 2z.
inline D3DXMATRIX LookDownZ()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m._33 = 0.0f;
    m._34 = 1.0f;
    m._44 = 0.0f;
    return m;
}

} // namespace fxtest
