#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "datagen/MeshShapes.h"
#include "math/VectorMath.h"
#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"
#include "xml/temp_folder.h"

using datagen::EncodeMesh;
using datagen::MeshGeometry;
using datagen::MeshVertex;

namespace {

// Four vertices whose every attribute differs, two triangles in two subsets.
MeshGeometry Sample()
{
    MeshGeometry g;
    for (int i = 0; i < 4; ++i) {
        MeshVertex v;
        const float f = static_cast<float>(i);
        v.position = D3DXVECTOR3(f + 0.5f, -f, 2 * f);
        v.normal = D3DXVECTOR3(0.1f * f, 0.2f, -0.3f * f);
        v.uv = D3DXVECTOR2(3 + f, 4 - f);
        v.uv2 = D3DXVECTOR2(0.25f * f, 1 - 0.25f * f);
        v.tangent = D3DXVECTOR4(f, -f, 0.5f, i % 2 ? 1.0f : -1.0f);
        g.vertices.push_back(v);
    }
    g.indices = {0, 1, 2, 0, 2, 3};
    g.subsets = {{0, 1}, {1, 1}};
    return g;
}

// The i-th vertex of the game's buffer, in the game's own vertex struct.
template <typename Vertex>
Vertex Read(const unsigned char* data, int i)
{
    Vertex r;
    std::memcpy(&r, data + i * sizeof r, sizeof r);
    return r;
}

// Generated meshes read by the game's reader onto the game's device.
class GeneratedMesh : public drawtest::DeviceTest {
protected:
    std::unique_ptr<IVertexBuffer> Load(const datagen::Bytes& bytes)
    {
        return std::unique_ptr<IVertexBuffer>(
            CMeshCache::LoadMesh(m_Folder.Write("m.mesh", std::string(bytes.begin(), bytes.end()))));
    }

    // The colour at the centre of the screen, a right-handed camera at eye
    // looking at the mesh, each face coloured after the way it faces.
    D3DCOLOR CentreSeen(MeshGeometry g, const D3DXVECTOR3& eye, DWORD cull)
    {
        for (MeshVertex& v : g.vertices)
            v.colour = 0xFF000000 | (v.normal.x > 0.5f ? 0xFF0000 : v.normal.x < -0.5f ? 0x800000 : 0) |
                       (v.normal.y > 0.5f ? 0xFF00 : v.normal.y < -0.5f ? 0x8000 : 0) |
                       (v.normal.z > 0.5f ? 0xFF : v.normal.z < -0.5f ? 0x80 : 0);
        const std::unique_ptr<IVertexBuffer> mesh = Load(EncodeMesh(g, MESH_CUSTOMVERTEX));
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

// Every triangle winds counter-clockwise seen from the side its vertex
// normals face, and faces away from the inside (towards it for the sky).
// Normals are unit; tangents run along +u in the surface with a handedness in w.
TEST(MeshShapes, TrianglesFaceTheWayTheirNormalsSayAndTangentsMakeAFrame)
{
    const D3DXVECTOR3 size(400, 200, 300);
    const struct {
        const char* name;
        MeshGeometry geometry;
        D3DXVECTOR3 centre; // inside the solid
        bool inward;
    } solids[] = {
        {"box", datagen::MakeBox(size, 100), D3DXVECTOR3(0, 100, 0), false},
        {"cylinder", datagen::MakeCylinder(size, 12, 100), D3DXVECTOR3(0, 100, 0), false},
        {"wedge", datagen::MakeWedge(size, 100), D3DXVECTOR3(0, 50, -50), false},
        {"floor", datagen::MakeFloor(size, 100), D3DXVECTOR3(0, -1, 0), false},
        {"sky", datagen::MakeSky(size), D3DXVECTOR3(0, 0, 0), true},
    };
    for (const auto& s : solids) {
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
            if (std::string(s.name) == "box" && v.normal.z > 0.5f)
                EXPECT_GT(v.tangent.x, 0.99f); // on the +z face u grows along +x
        }
    }
}

TEST(MeshShapes, SolidsStandOnTheirOriginAndTexturesTileUpright)
{
    const MeshGeometry box = datagen::MakeBox(D3DXVECTOR3(400, 200, 300), 100);
    D3DXVECTOR3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
    D3DXVECTOR2 maxUv(0, 0);
    for (const datagen::MeshVertex& v : box.vertices) {
        D3DXVec3Minimize(&low, &low, &v.position);
        D3DXVec3Maximize(&high, &high, &v.position);
        EXPECT_TRUE(v.uv2.x >= 0 && v.uv2.x <= 1 && v.uv2.y >= 0 && v.uv2.y <= 1);
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
    for (const datagen::MeshVertex& v : datagen::MakeSky(D3DXVECTOR3(1000, 500, 1000)).vertices)
        EXPECT_TRUE(v.uv.y >= 0.01f && v.uv.y <= 0.99f) << v.uv.y;
}

// Drawn through the game's reader and device with the game's cull mode and
// a right-handed camera, a generated box shows the faces turned towards the
// eye and the sky shows from inside; the opposite cull mode shows the box's
// far walls from within and no sky at all.
TEST_F(GeneratedMesh, OuterFacesShowUnderTheGamesCulling)
{
    const MeshGeometry box = datagen::MakeBox(D3DXVECTOR3(100, 100, 100), 100);
    const D3DXVECTOR3 front(0, 60, 400), corner(-300, 300, -200);
    EXPECT_EQ(CentreSeen(box, front, D3DCULL_CW), 0xFF0000FFu);   // the +z face
    EXPECT_EQ(CentreSeen(box, front, D3DCULL_CCW), 0xFF000080u);  // the -z face, from within
    EXPECT_EQ(CentreSeen(box, corner, D3DCULL_CW), 0xFF800000u);  // the -x face
    EXPECT_EQ(CentreSeen(box, corner, D3DCULL_CCW), 0xFFFF0000u); // the +x face, from within

    const MeshGeometry sky = datagen::MakeSky(D3DXVECTOR3(1000, 1000, 1000));
    EXPECT_NE(CentreSeen(sky, front, D3DCULL_CW), drawtest::kBlack);
    EXPECT_EQ(CentreSeen(sky, front, D3DCULL_CCW), drawtest::kBlack);
}

// What the generator writes, the game reads back, attribute by attribute, in
// every textured layout (the shapes drawn on screen read the coloured one).
TEST_F(GeneratedMesh, TheGameReadsBackWhatWasWritten)
{
    const MeshGeometry g = Sample();
    for (MeshVertexType type :
         {MESH_DOUBLE_TEXTURED_VERTEX, MESH_NORMAL_TEXTURED_VERTEX, MESH_NORMAL_TANGENT_TEXTURED_VERTEX}) {
        SCOPED_TRACE("vertex type " + std::to_string(type));
        std::string error;
        const datagen::Bytes bytes = EncodeMesh(g, type, &error);
        ASSERT_FALSE(bytes.empty()) << error;
        EXPECT_EQ(bytes.size(), 48 + 4 * MeshVertexSize(type) + 6 * 2 + 2 * 8);
        const std::unique_ptr<IVertexBuffer> mesh = Load(bytes);
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->GetVertexCount(), 4u);
        EXPECT_EQ(mesh->GetPrimitiveType(), D3DPT_TRIANGLELIST);
        ASSERT_EQ(mesh->GetSubsets().size(), 2u);
        EXPECT_EQ(mesh->GetSubsets()[1].firstTriangle, 1);
        EXPECT_EQ(mesh->GetSubsets()[1].triangleCount, 1);

        void* locked = nullptr;
        ASSERT_TRUE(SUCCEEDED(mesh->GetIndexBuffer()->GetBuffer()->Lock(0, 0, &locked, D3DLOCK_READONLY)));
        EXPECT_EQ(0, std::memcmp(locked, g.indices.data(), 12));
        mesh->GetIndexBuffer()->GetBuffer()->Unlock();

        const unsigned char* data = mesh->GetVertexData();
        for (int i = 0; i < 4; ++i) {
            const MeshVertex& v = g.vertices[i];
            if (type == MESH_DOUBLE_TEXTURED_VERTEX) {
                const auto r = Read<DOUBLE_TEXTURED_VERTEX>(data, i);
                EXPECT_EQ(r.z, v.position.z);
                EXPECT_EQ(r.tu, v.uv.x);
                EXPECT_EQ(r.tv2, v.uv2.y);
            } else if (type == MESH_NORMAL_TEXTURED_VERTEX) {
                const auto r = Read<NORMAL_TEXTURED_VERTEX>(data, i);
                EXPECT_EQ(r.y, v.position.y);
                EXPECT_EQ(r.nz, v.normal.z);
                EXPECT_EQ(r.tv, v.uv.y);
                EXPECT_EQ(r.tu2, v.uv2.x);
            } else {
                const auto r = Read<NORMAL_TANGENT_TEXTURED_VERTEX>(data, i);
                EXPECT_EQ(r.x, v.position.x);
                EXPECT_EQ(r.nx, v.normal.x);
                EXPECT_EQ(r.tu, v.uv.x);
                EXPECT_EQ(r.tv2, v.uv2.y);
                EXPECT_EQ(r.tx, v.tangent.x);
                EXPECT_EQ(r.ty, v.tangent.y);
                EXPECT_EQ(r.tw, v.tangent.w);
            }
        }
    }
}

TEST(MeshWriter, RefusesGeometryNoReaderWouldTake)
{
    std::string error;
    EXPECT_TRUE(EncodeMesh(Sample(), static_cast<MeshVertexType>(1), &error).empty());
    const std::pair<std::function<void(MeshGeometry&)>, const char*> breakages[] = {
        {[](MeshGeometry& g) { g.indices[4] = 4; }, "index"},
        {[](MeshGeometry& g) { g.subsets.clear(); }, "subset"},
        {[](MeshGeometry& g) { g.subsets[1] = {1, 2}; }, "subset"},
        {[](MeshGeometry& g) { g.indices.pop_back(); }, "triangles"},
        {[](MeshGeometry& g) { g.vertices.resize(65537); }, "vertices"},
    };
    for (const auto& [breakage, why] : breakages) {
        MeshGeometry g = Sample();
        breakage(g);
        EXPECT_TRUE(EncodeMesh(g, MESH_CUSTOMVERTEX, &error).empty()) << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
    MeshGeometry most = Sample();
    most.vertices.resize(65536);
    EXPECT_FALSE(EncodeMesh(most, MESH_CUSTOMVERTEX, &error).empty());
}

} // namespace
