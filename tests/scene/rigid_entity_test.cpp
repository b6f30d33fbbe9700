#include <gtest/gtest.h>

#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"
#include "scene/MeshCache.h"
#include "scene/RigidEntity.h"
#include "scene/mesh_file.h"

namespace {

using drawtest::kBlack;
using drawtest::kSize;

constexpr D3DCOLOR kRed = 0xFFFF0000;
constexpr D3DCOLOR kGreen = 0xFF00FF00;

void PutVertex(meshfile::Spec& s, float x, float y, D3DCOLOR colour)
{
    CUSTOMVERTEX v{x, y, 0.5f, colour};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&v);
    s.vertexBytes.insert(s.vertexBytes.end(), bytes, bytes + sizeof v);
}

// Two quads in clip space, one subset each: red over x -0.5..-0.1, green over
// x 0.1..0.5.
meshfile::Spec TwoQuads()
{
    meshfile::Spec s;
    s.vertexType = MESH_CUSTOMVERTEX;
    s.vertexSize = 16;
    const float lefts[2] = {-0.5f, 0.1f};
    const D3DCOLOR colours[2] = {kRed, kGreen};
    for (int q = 0; q < 2; ++q) {
        const float l = lefts[q], r = lefts[q] + 0.4f;
        PutVertex(s, l, -0.5f, colours[q]);
        PutVertex(s, r, -0.5f, colours[q]);
        PutVertex(s, r, 0.5f, colours[q]);
        PutVertex(s, l, 0.5f, colours[q]);
        const std::uint16_t b = static_cast<std::uint16_t>(q * 4);
        for (std::uint16_t i : {0, 1, 2, 0, 2, 3})
            s.indices.push_back(static_cast<std::uint16_t>(b + i));
        s.subsets.push_back({q * 2, 2});
    }
    s.vertexCount = 8;
    s.indexCount = 12;
    s.subsetCount = 2;
    return s;
}

// The pixel column of a clip-space x.
int Column(float x)
{
    return static_cast<int>((x + 1.0f) * 0.5f * kSize);
}

class RigidEntityRender : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        IdentityTransforms();
        D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    void TearDown() override
    {
        // The cached buffers belong to this test's device.
        getMeshCache().Clear();
        DeviceTest::TearDown();
    }
};

// The entity's world matrix reaches the device and every subset is drawn.
TEST_F(RigidEntityRender, DrawsEverySubsetWhereItsTransformPutsIt)
{
    drawtest::ScratchFolder folder("rigid_render");
    meshfile::WriteFile("data/meshes/two_quads.mesh", meshfile::Encode(TwoQuads()));
    CRigidEntity entity;
    entity.Init("two_quads");
    ASSERT_NE(entity.GetMesh(), nullptr);
    entity.GetTransform().SetPosition(D3DXVECTOR3(0.4f, 0.0f, 0.0f));

    entity.Render(false);
    const int middle = kSize / 2;
    EXPECT_EQ(Pixel(Column(-0.4f), middle), kBlack);  // where red would be unmoved
    EXPECT_EQ(Pixel(Column(0.2f), middle), kRed);     // red moved right
    EXPECT_EQ(Pixel(Column(0.7f), middle), kGreen);   // green moved right
}

TEST_F(RigidEntityRender, AnEntityWithoutMeshDrawsNothing)
{
    drawtest::ScratchFolder folder("rigid_nomesh");
    CRigidEntity entity;
    testing::internal::CaptureStderr();
    entity.Init("not_there");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(entity.GetMesh(), nullptr);
    entity.Render(true);
    for (D3DCOLOR c : BackBuffer())
        ASSERT_EQ(c | 0xFF000000, kBlack);
}

} // namespace
