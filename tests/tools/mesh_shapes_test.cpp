#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "datagen/MeshShapes.h"
#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"

using datagen::MeshGeometry;

namespace {

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

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
TEST(MeshShapes, TrianglesFaceTheWayTheirNormalsSay)
{
    const std::vector<Solid> solids = Solids();
    for (const Solid& s : solids) {
        SCOPED_TRACE(s.name);
        const MeshGeometry& g = s.geometry;
        ASSERT_EQ(g.subsets.size(), 1u);
        EXPECT_EQ(g.subsets[0].firstTriangle, 0);
        EXPECT_EQ(static_cast<size_t>(g.subsets[0].triangleCount) * 3, g.indices.size());
        for (size_t t = 0; t < g.indices.size(); t += 3) {
            const D3DXVECTOR3& a = g.vertices[g.indices[t]].position;
            const D3DXVECTOR3& b = g.vertices[g.indices[t + 1]].position;
            const D3DXVECTOR3& c = g.vertices[g.indices[t + 2]].position;
            const D3DXVECTOR3 winding = Cross(b - a, c - a);
            const D3DXVECTOR3 middle = (a + b + c) / 3.0f;
            for (int k = 0; k < 3; ++k)
                EXPECT_GT(Dot(winding, g.vertices[g.indices[t + k]].normal), 0) << "triangle " << t / 3;
            const float out = Dot(winding, middle - s.centre);
            EXPECT_TRUE(s.inward ? out < 0 : out > 0) << "triangle " << t / 3;
        }
    }
}

// Unit normals, and tangents that run along +u in the surface with a
// handedness in w, for the normal-mapped layout.
TEST(MeshShapes, NormalsAndTangentsAreAFrame)
{
    const std::vector<Solid> solids = Solids();
    for (const Solid& s : solids) {
        SCOPED_TRACE(s.name);
        for (const datagen::MeshVertex& v : s.geometry.vertices) {
            const D3DXVECTOR3 t(v.tangent.x, v.tangent.y, v.tangent.z);
            EXPECT_NEAR(Dot(v.normal, v.normal), 1.0f, 1e-4f);
            EXPECT_NEAR(Dot(t, t), 1.0f, 1e-4f);
            EXPECT_NEAR(Dot(t, v.normal), 0.0f, 1e-4f);
            EXPECT_EQ(std::fabs(v.tangent.w), 1.0f);
        }
    }
    // On the box's +z face u grows along +x.
    for (const datagen::MeshVertex& v : solids[0].geometry.vertices)
        if (v.normal.z > 0.5f)
            EXPECT_GT(v.tangent.x, 0.99f);
}

TEST(MeshShapes, SizesAndTilingFollowTheRequest)
{
    const MeshGeometry box = datagen::MakeBox(D3DXVECTOR3(400, 200, 300), 100);
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f, maxU = 0, maxV = 0;
    for (const datagen::MeshVertex& v : box.vertices) {
        minX = std::min(minX, v.position.x);
        maxX = std::max(maxX, v.position.x);
        minY = std::min(minY, v.position.y);
        maxY = std::max(maxY, v.position.y);
        EXPECT_GE(v.uv2.x, 0.0f);
        EXPECT_LE(v.uv2.x, 1.0f);
        if (v.normal.z > 0.5f) {
            maxU = std::max(maxU, v.uv.x);
            maxV = std::max(maxV, v.uv.y);
            // Images run top down: the top edge of a wall is v = 0.
            if (v.position.y == 200)
                EXPECT_EQ(v.uv.y, 0.0f);
        }
    }
    EXPECT_EQ(minX, -200);
    EXPECT_EQ(maxX, 200);
    EXPECT_EQ(minY, 0);
    EXPECT_EQ(maxY, 200);
    EXPECT_NEAR(maxU, 4.0f, 1e-4f);
    EXPECT_NEAR(maxV, 2.0f, 1e-4f);

    // The sky's gradient runs from its top to its floor, never wrapping.
    const MeshGeometry sky = datagen::MakeSky(D3DXVECTOR3(1000, 500, 1000));
    for (const datagen::MeshVertex& v : sky.vertices) {
        EXPECT_GE(v.uv.y, 0.01f);
        EXPECT_LE(v.uv.y, 0.99f);
        if (v.position.y == 250)
            EXPECT_EQ(v.uv.y, 0.01f);
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
        std::unique_ptr<IVertexBuffer> mesh(CMeshCache::LoadMesh(Write(g)));
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

    std::string Write(const MeshGeometry& g)
    {
        const datagen::Bytes bytes = datagen::EncodeMesh(g, MESH_CUSTOMVERTEX);
        const std::string path = (m_Folder.Path() / "shape.mesh").string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
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
