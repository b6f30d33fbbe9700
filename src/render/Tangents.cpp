#include "render/Tangents.h"

#include <cmath>
#include <vector>

namespace {

bool IsFinite(const D3DXVECTOR3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

void ComputeTangents(unsigned vertexCount, const D3DXVECTOR3* positions, const D3DXVECTOR3* normals,
                     const D3DXVECTOR2* uvs, unsigned triangleCount, const unsigned short* triangles,
                     D3DXVECTOR4* tangents)
{
    std::vector<D3DXVECTOR3> tan1(vertexCount, D3DXVECTOR3(0, 0, 0));
    std::vector<D3DXVECTOR3> tan2(vertexCount, D3DXVECTOR3(0, 0, 0));

    for (unsigned t = 0; t < triangleCount; ++t) {
        const unsigned i1 = triangles[t * 3 + 0];
        const unsigned i2 = triangles[t * 3 + 1];
        const unsigned i3 = triangles[t * 3 + 2];
        if (i1 >= vertexCount || i2 >= vertexCount || i3 >= vertexCount)
            continue;

        const D3DXVECTOR3& p1 = positions[i1];
        const D3DXVECTOR3& p2 = positions[i2];
        const D3DXVECTOR3& p3 = positions[i3];
        const D3DXVECTOR2& w1 = uvs[i1];
        const D3DXVECTOR2& w2 = uvs[i2];
        const D3DXVECTOR2& w3 = uvs[i3];

        const float x1 = p2.x - p1.x, x2 = p3.x - p1.x;
        const float y1 = p2.y - p1.y, y2 = p3.y - p1.y;
        const float z1 = p2.z - p1.z, z2 = p3.z - p1.z;
        const float s1 = w2.x - w1.x, s2 = w3.x - w1.x;
        const float t1 = w2.y - w1.y, t2 = w3.y - w1.y;

        // Collapsed uvs would make r infinite and poison every vertex of the
        // triangle (and through the sums, its neighbours) with NaN.
        const float det = s1 * t2 - s2 * t1;
        if (det == 0.0f)
            continue;
        const float r = 1.0f / det;
        const D3DXVECTOR3 sdir((t2 * x1 - t1 * x2) * r, (t2 * y1 - t1 * y2) * r, (t2 * z1 - t1 * z2) * r);
        const D3DXVECTOR3 tdir((s1 * x2 - s2 * x1) * r, (s1 * y2 - s2 * y1) * r, (s1 * z2 - s2 * z1) * r);
        if (!IsFinite(sdir) || !IsFinite(tdir))
            continue;

        tan1[i1] += sdir;
        tan1[i2] += sdir;
        tan1[i3] += sdir;
        tan2[i1] += tdir;
        tan2[i2] += tdir;
        tan2[i3] += tdir;
    }

    for (unsigned a = 0; a < vertexCount; ++a) {
        const D3DXVECTOR3& n = normals[a];
        const D3DXVECTOR3& t = tan1[a];

        // Gram-Schmidt: drop the part of t along the normal.
        D3DXVECTOR3 ortho = t - n * D3DXVec3Dot(&n, &t);
        const float length = D3DXVec3Length(&ortho);
        if (length > 0.0f && std::isfinite(length))
            ortho /= length;
        else
            ortho = D3DXVECTOR3(0, 0, 0);

        D3DXVECTOR3 bitangent;
        D3DXVec3Cross(&bitangent, &n, &t);
        const float w = D3DXVec3Dot(&bitangent, &tan2[a]) < 0.0f ? -1.0f : 1.0f;
        tangents[a] = D3DXVECTOR4(ortho.x, ortho.y, ortho.z, w);
    }
}
