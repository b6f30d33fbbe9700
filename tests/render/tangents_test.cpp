#include <gtest/gtest.h>

#include <cmath>

#include "render/Tangents.h"

namespace {

// A unit quad in the XY plane facing +Z, two triangles.
struct Quad {
    D3DXVECTOR3 positions[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    D3DXVECTOR3 normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    unsigned short triangles[6] = {0, 1, 2, 2, 1, 3};
    D3DXVECTOR4 tangents[4];

    void Compute(const D3DXVECTOR2 (&uvs)[4]) { ComputeTangents(4, positions, normals, uvs, 2, triangles, tangents); }
};

const D3DXVECTOR2 kStraight[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

bool Finite(const D3DXVECTOR4& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

TEST(ComputeTangents, FollowsUWithHandednessFromTheUvMirroring)
{
    const D3DXVECTOR2 mirrored[4] = {{1, 0}, {0, 0}, {1, 1}, {0, 1}}; // u runs along -x
    for (float sign : {1.0f, -1.0f}) {
        Quad q;
        q.Compute(sign > 0 ? kStraight : mirrored);
        for (const D3DXVECTOR4& t : q.tangents) {
            EXPECT_NEAR(t.x, sign, 1e-5f);
            EXPECT_NEAR(std::fabs(t.y) + std::fabs(t.z), 0.0f, 1e-5f);
            EXPECT_EQ(t.w, sign);
        }
    }

    // Smoothed normals leaning towards +x: the raw u direction is not
    // perpendicular to them, so the result must have been projected.
    Quad q;
    for (D3DXVECTOR3& n : q.normals)
        n = D3DXVECTOR3(0.6f, 0.0f, 0.8f);
    q.Compute(kStraight);
    for (int i = 0; i < 4; ++i) {
        const D3DXVECTOR3 t(q.tangents[i].x, q.tangents[i].y, q.tangents[i].z);
        EXPECT_NEAR(D3DXVec3Dot(&t, &q.normals[i]), 0.0f, 1e-5f);
        EXPECT_NEAR(D3DXVec3Length(&t), 1.0f, 1e-5f);
        EXPECT_GT(t.x, 0.0f);
    }
}

TEST(ComputeTangents, ZeroUvAreaAndMissingVerticesLeaveEveryTangentFinite)
{
    // Triangle 1, 3, 2 has all its uvs on one line: the vertices it shares
    // keep the good triangle's direction.
    Quad q;
    q.triangles[3] = 1;
    q.triangles[4] = 3;
    q.Compute({{0, 0}, {1, 0}, {0, 1}, {0.5f, 0.5f}});
    for (const D3DXVECTOR4& t : q.tangents)
        EXPECT_TRUE(Finite(t));
    EXPECT_NEAR(q.tangents[1].x, 1.0f, 1e-5f);
    EXPECT_NEAR(q.tangents[2].x, 1.0f, 1e-5f);

    // A triangle naming a vertex past the list is dropped; a vertex no
    // triangle uses gets a finite tangent of positive handedness.
    Quad r;
    r.triangles[5] = 40;
    r.Compute({{1, 0}, {0, 0}, {1, 1}, {0, 0}});
    EXPECT_EQ(r.tangents[0].w, -1.0f);
    EXPECT_TRUE(Finite(r.tangents[3]));
    EXPECT_EQ(r.tangents[3].x, 0.0f);
    EXPECT_EQ(r.tangents[3].w, 1.0f);
}

} // namespace
