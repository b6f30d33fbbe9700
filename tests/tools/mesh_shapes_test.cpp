#include <cmath>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "datagen/MeshShapes.h"
#include "math/VectorMath.h"
#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"
#include "xml/temp_folder.h"

using datagen::MeshGeometry;

namespace {

struct Solid {
    const char* name;
    MeshGeometry geometry;
    D3DXVECTOR3 centre;  // inside the solid
    bool inward;
};

std::vector<Solid> Solids()
{
    const D3DXVECTOR3 size(400, 200, 300);
    return {
        {"box", datagen::MakeBox(size, 100), D3DXVECTOR3(0, 100, 0), false},
        {"cylinder", datagen::MakeCylinder(size, 12, 100), D3DXVECTOR3(0, 100, 0), false},
        {"wedge", datagen::MakeWedge(size, 100), D3DXVECTOR3(0, 50, -50), false},
        {"floor", datagen::MakeFloor(size, 100), D3DXVECTOR3(0, -1, 0), false},
        {"sky", datagen::MakeSky(size), D3DXVECTOR3(0, 0, 0), true},
    };
}

// Every triangle winds counter-clockwise seen from the side its vertex
// normals face, and faces away from the inside (towards it for the sky).
// Normals are unit; tangents run along +u in the surface with a handedness in w.
TEST(MeshShapes, TrianglesFaceTheWayTheirNormalsSayAndTangentsMakeAFrame)
{
    for (const Solid& s : Solids()) {
        SCOPED_TRACE(s.name);
        const MeshGeometry& g = s.geometry;
        ASSERT_EQ(g.subsets.size(), 1u);
        EXPECT_EQ(g.subsets[0].firstTriangle, 0);
        EXPECT_EQ(static_cast<size_t>(g.subsets[0].triangleCount) * 3, g.indices.size());
        for (size_t t = 0; t < g.indices.size(); t += 3) {
            const D3DXVECTOR3& a = g.vertices[g.indices[t]].position;
            const D3DXVECTOR3& b = g.vertices[g.indices[t + 1]].position;
            const D3DXVECTOR3& c = g.vertices[g.indices[t + 2]].position;
            const D3DXVECTOR3 winding = CrossProduct(b - a, c - a);
            for (int k = 0; k < 3; ++k)
                EXPECT_GT(DotProduct(winding, g.vertices[g.indices[t + k]].normal), 0) << "triangle " << t / 3;
            const float out = DotProduct(winding, (a + b + c) / 3.0f - s.centre);
            EXPECT_TRUE(s.inward ? out < 0 : out > 0) << "triangle " << t / 3;
        }
        for (const datagen::MeshVertex& v : g.vertices) {
            const D3DXVECTOR3 tangent(v.tangent.x, v.tangent.y, v.tangent.z);
            EXPECT_NEAR(DotProduct(v.normal, v.normal), 1.0f, 1e-4f);
            EXPECT_NEAR(DotProduct(tangent, tangent), 1.0f, 1e-4f);
            EXPECT_NEAR(DotProduct(tangent, v.normal), 0.0f, 1e-4f);
            EXPECT_EQ(std::fabs(v.tangent.w), 1.0f);
            // On the box's +z face u grows along +x.
            if (std::string(s.name) == "box" && v.normal.z > 0.5f)
                EXPECT_GT(v.tangent.x, 0.99f);
        }
    }
}

TEST(MeshShapes, SizesAndTilingFollowTheRequest)
{
    const MeshGeometry box = datagen::MakeBox(D3DXVECTOR3(400, 200, 300), 100);
    D3DXVECTOR3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
    D3DXVECTOR2 maxUv(0, 0);
    for (const datagen::MeshVertex& v : box.vertices) {
        D3DXVec3Minimize(&low, &low, &v.position);
        D3DXVec3Maximize(&high, &high, &v.position);
        EXPECT_GE(v.uv2.x, 0.0f);
        EXPECT_LE(v.uv2.x, 1.0f);
        if (v.normal.z > 0.5f) {
            D3DXVec2Maximize(&maxUv, &maxUv, &v.uv);
            // Images run top down: the top edge of a wall is v = 0.
            if (v.position.y == 200)
                EXPECT_EQ(v.uv.y, 0.0f);
        }
    }
    EXPECT_EQ(low, D3DXVECTOR3(-200, 0, -150));
    EXPECT_EQ(high, D3DXVECTOR3(200, 200, 150));
    EXPECT_NEAR(maxUv.x, 4.0f, 1e-4f);
    EXPECT_NEAR(maxUv.y, 2.0f, 1e-4f);

    // The sky's gradient runs from its top to its floor, never wrapping.
    for (const datagen::MeshVertex& v : datagen::MakeSky(D3DXVECTOR3(1000, 500, 1000)).vertices) {
        EXPECT_GE(v.uv.y, 0.01f);
        EXPECT_LE(v.uv.y, 0.99f);
    }
}

// Drawn through the game's reader and device with the game's cull mode and
// a right-handed camera, a generated box shows the faces turned towards the
// eye and the sky shows from inside; the opposite cull mode shows the box's
// far walls from within and no sky at all.
class ShapesOnScreen : public drawtest::DeviceTest {
protected:
    // Each face coloured after the way it faces.
    static D3DCOLOR FacingColour(const D3DXVECTOR3& n)
    {
        D3DCOLOR c = 0xFF000000;
        if (n.x > 0.5f) c |= 0xFF0000;
        if (n.x < -0.5f) c |= 0x800000;
        if (n.y > 0.5f) c |= 0x00FF00;
        if (n.y < -0.5f) c |= 0x008000;
        if (n.z > 0.5f) c |= 0x0000FF;
        if (n.z < -0.5f) c |= 0x000080;
        return c;
    }

    D3DCOLOR CentreSeen(MeshGeometry g, const D3DXVECTOR3& eye, DWORD cull)
    {
        for (datagen::MeshVertex& v : g.vertices)
            v.colour = FacingColour(v.normal);
        const datagen::Bytes bytes = datagen::EncodeMesh(g, MESH_CUSTOMVERTEX);
        std::unique_ptr<IVertexBuffer> mesh(CMeshCache::LoadMesh(m_Folder.Write("shape.mesh", std::string(bytes.begin(), bytes.end()))));
        if (!mesh)
            return 0;
        const D3DXVECTOR3 at(0, 50, 0), up(0, 1, 0);
        D3DXMATRIX view, projection, world;
        D3DXMatrixLookAtRH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovRH(&projection, 0.8f, 1.0f, 1.0f, 10000.0f);
        D3DXMatrixIdentity(&world);
        D3DDevice->SetTransform(D3DTS_WORLD, &world);
        D3DDevice->SetTransform(D3DTS_VIEW, &view);
        D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);
        D3DDevice->SetRenderState(D3DRS_CULLMODE, cull);
        ClearTo(drawtest::kBlack);
        mesh->RenderSubset(0);
        return Pixel(drawtest::kSize / 2, drawtest::kSize / 2);
    }

    TempFolder m_Folder;
};

TEST_F(ShapesOnScreen, OuterFacesShowUnderTheGamesCulling)
{
    const MeshGeometry box = datagen::MakeBox(D3DXVECTOR3(100, 100, 100), 100);
    const D3DXVECTOR3 front(0, 60, 400), corner(-300, 300, -200);
    EXPECT_EQ(CentreSeen(box, front, D3DCULL_CW), 0xFF0000FFu);    // the +z face
    EXPECT_EQ(CentreSeen(box, front, D3DCULL_CCW), 0xFF000080u);   // the -z face, from within
    EXPECT_EQ(CentreSeen(box, corner, D3DCULL_CW), 0xFF800000u);   // the -x face
    EXPECT_EQ(CentreSeen(box, corner, D3DCULL_CCW), 0xFFFF0000u);  // the +x face, from within

    const MeshGeometry sky = datagen::MakeSky(D3DXVECTOR3(1000, 1000, 1000));
    EXPECT_NE(CentreSeen(sky, front, D3DCULL_CW), drawtest::kBlack);
    EXPECT_EQ(CentreSeen(sky, front, D3DCULL_CCW), drawtest::kBlack);
}

} // namespace
