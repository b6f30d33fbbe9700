#include <cstring>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "datagen/MeshWriter.h"
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
        v.colour = 0xFF102030u + static_cast<std::uint32_t>(i);
        g.vertices.push_back(v);
    }
    g.indices = {0, 1, 2, 0, 2, 3};
    g.subsets = {{0, 1}, {1, 1}};
    return g;
}

class MeshWriterRoundTrip : public drawtest::DeviceTest {};

// What the generator writes, the game reads back, attribute by attribute, in
// every layout.
TEST_F(MeshWriterRoundTrip, TheGameReadsBackWhatWasWritten)
{
    TempFolder folder;
    const MeshGeometry g = Sample();
    for (MeshVertexType type : {MESH_CUSTOMVERTEX, MESH_DOUBLE_TEXTURED_VERTEX, MESH_NORMAL_TEXTURED_VERTEX,
                                MESH_NORMAL_TANGENT_TEXTURED_VERTEX}) {
        SCOPED_TRACE("vertex type " + std::to_string(type));
        std::string error;
        const datagen::Bytes bytes = EncodeMesh(g, type, &error);
        ASSERT_FALSE(bytes.empty()) << error;
        EXPECT_EQ(bytes.size(), 48 + 4 * MeshVertexSize(type) + 6 * 2 + 2 * 8);
        std::unique_ptr<IVertexBuffer> mesh(CMeshCache::LoadMesh(folder.Write("m.mesh", std::string(bytes.begin(), bytes.end()))));
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
            const unsigned char* at = data + i * MeshVertexSize(type);
            if (type == MESH_CUSTOMVERTEX) {
                CUSTOMVERTEX r;
                std::memcpy(&r, at, sizeof r);
                EXPECT_EQ(r.x, v.position.x);
                EXPECT_EQ(r.color, v.colour);
            } else if (type == MESH_DOUBLE_TEXTURED_VERTEX) {
                DOUBLE_TEXTURED_VERTEX r;
                std::memcpy(&r, at, sizeof r);
                EXPECT_EQ(r.z, v.position.z);
                EXPECT_EQ(r.tu, v.uv.x);
                EXPECT_EQ(r.tv2, v.uv2.y);
            } else if (type == MESH_NORMAL_TEXTURED_VERTEX) {
                NORMAL_TEXTURED_VERTEX r;
                std::memcpy(&r, at, sizeof r);
                EXPECT_EQ(r.y, v.position.y);
                EXPECT_EQ(r.nz, v.normal.z);
                EXPECT_EQ(r.tv, v.uv.y);
                EXPECT_EQ(r.tu2, v.uv2.x);
            } else {
                NORMAL_TANGENT_TEXTURED_VERTEX r;
                std::memcpy(&r, at, sizeof r);
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
