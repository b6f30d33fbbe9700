#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>

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
        const float f = static_cast<float>(i);
        g.vertices.push_back({D3DXVECTOR3(f + 0.5f, -f, 2 * f), D3DXVECTOR3(0.1f * f, 0.2f, -0.3f * f),
                              D3DXVECTOR2(3 + f, 4 - f), D3DXVECTOR2(0.25f * f, 1 - 0.25f * f),
                              D3DXVECTOR4(f, -f, 0.5f, i % 2 ? 1.0f : -1.0f)});
    }
    g.indices = {0, 1, 2, 0, 2, 3};
    g.subsets = {{0, 1}, {1, 1}};
    return g;
}

// Generated meshes read by the game's reader onto the game's device.
class GeneratedMesh : public drawtest::DeviceTest {
protected:
    std::unique_ptr<IVertexBuffer> Load(const datagen::Bytes& bytes)
    {
        return std::unique_ptr<IVertexBuffer>(
            CMeshCache::LoadMesh(m_Folder.Write("m.mesh", std::string(bytes.begin(), bytes.end()))));
    }

    // The colour at the centre of the screen, a right-handed camera in front (+z) looking at
    // the mesh under the game's culling: faces turned to +z blue, others green.
    D3DCOLOR CentreSeen(MeshGeometry g)
    {
        for (MeshVertex& v : g.vertices)
            v.colour = v.normal.z > 0.5f ? 0xFF0000FF : 0xFF00FF00;
        const std::unique_ptr<IVertexBuffer> mesh = Load(EncodeMesh(g, MESH_CUSTOMVERTEX));
        const D3DXVECTOR3 eye(0, 60, 400), at(0, 50, 0), up(0, 1, 0);
        D3DXMATRIX view, projection;
        D3DXMatrixLookAtRH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovRH(&projection, 0.8f, 1.0f, 1.0f, 10000.0f);
        IdentityTransforms();
        D3DDevice->SetTransform(D3DTS_VIEW, &view);
        D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);
        D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        ClearTo(drawtest::kBlack);
        if (mesh)
            mesh->RenderSubset(0);
        return Pixel(drawtest::kSize / 2, drawtest::kSize / 2);
    }

    TempFolder m_Folder;
};

// Triangles wind counter-clockwise seen from where their normals face, away from the inside
// (towards it for the sky). Normals are unit; tangents run along +u with a handedness in w.
TEST(MeshShapes, TrianglesFaceOutwardsTangentsMakeAFrameAndTexturesTileUpright)
{
    const D3DXVECTOR3 size(400, 200, 300);
    // Each solid with a point inside it, and whether its faces look inwards.
    const std::tuple<const char*, MeshGeometry, D3DXVECTOR3, bool> solids[] = {
        {"box", datagen::MakeBox(size, 100), D3DXVECTOR3(0, 100, 0), false},
        {"cylinder", datagen::MakeCylinder(size, 12, 100), D3DXVECTOR3(0, 100, 0), false},
        {"wedge", datagen::MakeWedge(size, 100), D3DXVECTOR3(0, 50, -50), false},
        {"floor", datagen::MakeFloor(size, 100), D3DXVECTOR3(0, -1, 0), false},
        {"sky", datagen::MakeSky(size), D3DXVECTOR3(0, 0, 0), true},
    };
    for (const auto& [name, g, centre, inward] : solids) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(g.subsets.size() == 1 && g.subsets[0].firstTriangle == 0 &&
                    static_cast<size_t>(g.subsets[0].triangleCount) * 3 == g.indices.size());
        for (size_t t = 0; t < g.indices.size(); t += 3) {
            const D3DXVECTOR3 &a = g.vertices[g.indices[t]].position, &b = g.vertices[g.indices[t + 1]].position,
                              &c = g.vertices[g.indices[t + 2]].position, winding = CrossProduct(b - a, c - a);
            for (int k = 0; k < 3; ++k)
                EXPECT_GT(DotProduct(winding, g.vertices[g.indices[t + k]].normal), 0) << "triangle " << t / 3;
            const float out = DotProduct(winding, (a + b + c) / 3.0f - centre);
            EXPECT_TRUE(inward ? out < 0 : out > 0) << "triangle " << t / 3;
        }
        for (const datagen::MeshVertex& v : g.vertices) {
            const D3DXVECTOR3 tangent(v.tangent.x, v.tangent.y, v.tangent.z);
            EXPECT_NEAR(DotProduct(v.normal, v.normal), 1.0f, 1e-4f);
            EXPECT_NEAR(DotProduct(tangent, tangent), 1.0f, 1e-4f);
            EXPECT_NEAR(DotProduct(tangent, v.normal), 0.0f, 1e-4f);
            EXPECT_EQ(std::fabs(v.tangent.w), 1.0f);
        }
    }

    // The box stands on its origin and its textures tile upright.
    D3DXVECTOR3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
    D3DXVECTOR2 maxUv(0, 0);
    for (const datagen::MeshVertex& v : std::get<1>(solids[0]).vertices) {
        D3DXVec3Minimize(&low, &low, &v.position);
        D3DXVec3Maximize(&high, &high, &v.position);
        EXPECT_TRUE(v.uv2.x >= 0 && v.uv2.x <= 1 && v.uv2.y >= 0 && v.uv2.y <= 1);
        if (v.normal.z > 0.5f) {
            D3DXVec2Maximize(&maxUv, &maxUv, &v.uv);
            EXPECT_TRUE(v.position.y < 200 || v.uv.y == 0.0f) << "images run top down: a wall's top is v = 0";
            EXPECT_GT(v.tangent.x, 0.99f) << "on the +z face u grows along +x";
        }
    }
    EXPECT_EQ(low, D3DXVECTOR3(-200, 0, -150));
    EXPECT_EQ(high, D3DXVECTOR3(200, 200, 150));
    EXPECT_NEAR(maxUv.x, 4.0f, 1e-4f);
    EXPECT_NEAR(maxUv.y, 2.0f, 1e-4f);

    // The sky's gradient runs from its top to its floor, never wrapping.
    for (const datagen::MeshVertex& v : std::get<1>(solids[4]).vertices)
        EXPECT_TRUE(v.uv.y >= 0.01f && v.uv.y <= 0.99f) << v.uv.y;
}

// Through the game's reader and device, with the game's cull mode and a
// right-handed camera, a box shows its near face and the sky shows from inside.
TEST_F(GeneratedMesh, OuterFacesShowUnderTheGamesCulling)
{
    EXPECT_EQ(CentreSeen(datagen::MakeBox(D3DXVECTOR3(100, 100, 100), 100)), 0xFF0000FFu);
    EXPECT_NE(CentreSeen(datagen::MakeSky(D3DXVECTOR3(1000, 1000, 1000))), drawtest::kBlack);
}

// Every textured layout reads back whole (the shapes drawn on screen read the coloured one).
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
        EXPECT_TRUE(mesh->GetSubsets()[1].firstTriangle == 1 && mesh->GetSubsets()[1].triangleCount == 1);

        void* locked = nullptr;
        ASSERT_TRUE(SUCCEEDED(mesh->GetIndexBuffer()->GetBuffer()->Lock(0, 0, &locked, D3DLOCK_READONLY)));
        EXPECT_EQ(0, std::memcmp(locked, g.indices.data(), 12));
        mesh->GetIndexBuffer()->GetBuffer()->Unlock();

        // The game's vertex structs are floats in this order: position,
        // normal, uv, uv2, tangent, each where the layout has it.
        std::vector<float> expected, read(4 * MeshVertexSize(type) / sizeof(float));
        for (const MeshVertex& v : g.vertices) {
            expected.insert(expected.end(), {v.position.x, v.position.y, v.position.z});
            if (type != MESH_DOUBLE_TEXTURED_VERTEX)
                expected.insert(expected.end(), {v.normal.x, v.normal.y, v.normal.z});
            expected.insert(expected.end(), {v.uv.x, v.uv.y, v.uv2.x, v.uv2.y});
            if (type == MESH_NORMAL_TANGENT_TEXTURED_VERTEX)
                expected.insert(expected.end(), {v.tangent.x, v.tangent.y, v.tangent.z, v.tangent.w});
        }
        std::memcpy(read.data(), mesh->GetVertexData(), read.size() * sizeof(float));
        EXPECT_EQ(read, expected);
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
