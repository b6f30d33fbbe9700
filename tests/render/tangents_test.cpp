#include <gtest/gtest.h>

#include <cmath>

#include "render/Tangents.h"

namespace {

// A unit quad in the XY plane facing +Z, two triangles, uv supplied by the caller.
struct Quad {
    D3DXVECTOR3 positions[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    D3DXVECTOR3 normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    unsigned short triangles[6] = {0, 1, 2, 2, 1, 3};
    D3DXVECTOR4 tangents[4];
};

bool Finite(const D3DXVECTOR4& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

TEST(ComputeTangents, FollowsUAndIsRightHandedForUnmirroredUvs)
{
    Quad q;
    D3DXVECTOR2 uvs[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    ComputeTangents(4, q.positions, q.normals, uvs, 2, q.triangles, q.tangents);
    for (const D3DXVECTOR4& t : q.tangents) {
        EXPECT_NEAR(t.x, 1.0f, 1e-5f);
        EXPECT_NEAR(t.y, 0.0f, 1e-5f);
        EXPECT_NEAR(t.z, 0.0f, 1e-5f);
        EXPECT_EQ(t.w, 1.0f);
    }
}

TEST(ComputeTangents, MirroredUvsFlipTangentAndHandedness)
{
    Quad q;
    D3DXVECTOR2 uvs[4] = {{1, 0}, {0, 0}, {1, 1}, {0, 1}}; // u runs along -x
    ComputeTangents(4, q.positions, q.normals, uvs, 2, q.triangles, q.tangents);
    for (const D3DXVECTOR4& t : q.tangents) {
        EXPECT_NEAR(t.x, -1.0f, 1e-5f);
        EXPECT_EQ(t.w, -1.0f);
    }
}

TEST(ComputeTangents, TangentIsUnitAndOrthogonalToATiltedNormal)
{
    Quad q;
    D3DXVECTOR2 uvs[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    // Smoothed normals leaning towards +x: the raw u direction is not
    // perpendicular to them, so the result must have been projected.
    for (D3DXVECTOR3& n : q.normals) {
        n = D3DXVECTOR3(0.6f, 0.0f, 0.8f);
    }
    ComputeTangents(4, q.positions, q.normals, uvs, 2, q.triangles, q.tangents);
    for (int i = 0; i < 4; ++i) {
        D3DXVECTOR3 t(q.tangents[i].x, q.tangents[i].y, q.tangents[i].z);
        EXPECT_NEAR(D3DXVec3Dot(&t, &q.normals[i]), 0.0f, 1e-5f);
        EXPECT_NEAR(D3DXVec3Length(&t), 1.0f, 1e-5f);
        EXPECT_GT(t.x, 0.0f);
    }
}

TEST(ComputeTangents, UnusedVertexGetsPositiveHandedness)
{
    D3DXVECTOR3 positions[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}};
    D3DXVECTOR3 normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    D3DXVECTOR2 uvs[4] = {{1, 0}, {0, 0}, {1, 1}, {0, 0}}; // mirrored: used vertices get -1
    unsigned short triangles[3] = {0, 1, 2};
    D3DXVECTOR4 tangents[4];
    ComputeTangents(4, positions, normals, uvs, 1, triangles, tangents);
    EXPECT_EQ(tangents[0].w, -1.0f);
    EXPECT_EQ(tangents[3].w, 1.0f);
    EXPECT_TRUE(Finite(tangents[3]));
}

TEST(ComputeTangents, DegenerateUvTriangleLeavesNeighboursFinite)
{
    // Vertex 0..2 form a good triangle; 1, 2, 3 share vertices 1 and 2 but
    // have all their uvs on one line (zero uv area).
    D3DXVECTOR3 positions[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    D3DXVECTOR3 normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    D3DXVECTOR2 uvs[4] = {{0, 0}, {1, 0}, {0, 1}, {0.5f, 0.5f}};
    unsigned short triangles[6] = {0, 1, 2, 1, 3, 2};
    D3DXVECTOR4 tangents[4];
    ComputeTangents(4, positions, normals, uvs, 2, triangles, tangents);
    for (const D3DXVECTOR4& t : tangents) {
        EXPECT_TRUE(Finite(t));
    }
    // The shared vertices keep the good triangle's direction.
    EXPECT_NEAR(tangents[1].x, 1.0f, 1e-5f);
    EXPECT_NEAR(tangents[2].x, 1.0f, 1e-5f);
}

TEST(ComputeTangents, TriangleNamingAMissingVertexIsIgnored)
{
    Quad q;
    D3DXVECTOR2 uvs[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    unsigned short triangles[6] = {0, 1, 2, 2, 1, 40};
    ComputeTangents(4, q.positions, q.normals, uvs, 2, triangles, q.tangents);
    EXPECT_NEAR(q.tangents[0].x, 1.0f, 1e-5f);
    EXPECT_EQ(q.tangents[3].x, 0.0f); // only the dropped triangle used it
}

} // namespace
