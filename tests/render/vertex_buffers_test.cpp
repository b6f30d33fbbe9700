#include <gtest/gtest.h>

#include <memory>

#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"

namespace {

using drawtest::kBlack;
using drawtest::kSize;

constexpr D3DCOLOR kRed = 0xFFFF0000;
// Pixels well inside the screen's corners: a quad split along a diagonal has
// two opposite corners in each of its triangles.
constexpr int kLow = 8, kHigh = kSize - 8;

// The corners of clip space: bottom-left, bottom-right, top-left, top-right.
const CUSTOMVERTEX kCorners[4] = {{-1, -1, 0.5f, kRed}, {1, -1, 0.5f, kRed}, {-1, 1, 0.5f, kRed}, {1, 1, 0.5f, kRed}};

class VertexBufferTest : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        IdentityTransforms();
        D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    void Make(D3DPRIMITIVETYPE type, std::vector<unsigned short> indices,
              std::vector<SubsetRange> subsets)
    {
        m_Buffer.Release();
        m_Buffer.Create(4, kCorners, type);
        if (!indices.empty()) {
            auto* ib = new CIndexBuffer;
            ib->Create(static_cast<unsigned>(indices.size()), indices.data());
            m_Buffer.SetIndexBuffer(ib);
        }
        m_Buffer.GetSubsets() = subsets;
    }

    CVertexBufferDef<CUSTOMVERTEX> m_Buffer;
};

TEST_F(VertexBufferTest, SizesFollowTheVertexLayout)
{
    const std::pair<std::shared_ptr<IVertexBuffer>, unsigned> cases[] = {
        {std::make_shared<CVertexBufferDef<CUSTOMVERTEX>>(), 16},
        {std::make_shared<CVertexBufferDef<DOUBLE_TEXTURED_VERTEX>>(), 28},
        {std::make_shared<CVertexBufferDef<NORMAL_TEXTURED_VERTEX>>(), 40},
        {std::make_shared<CNormalTangentTexturedVB>(), 56}, {std::make_shared<CCal3DVertexBuffer>(), 64},
        {std::make_shared<CParticlesVB>(), 12}};
    const std::vector<unsigned char> zeros(64 * 10, 0);
    for (const auto& [buffer, size] : cases) {
        EXPECT_EQ(buffer->GetVertexSize(), size);
        buffer->Create(10, zeros.data(), D3DPT_TRIANGLELIST);
        EXPECT_EQ(buffer->GetBufferSize(), size * 10);
        ASSERT_NE(buffer->GetD3DBuffer(), nullptr);
        D3DVERTEXBUFFER_DESC desc;
        buffer->GetD3DBuffer()->GetDesc(&desc);
        EXPECT_EQ(desc.Size, size * 10);
    }
}

TEST_F(VertexBufferTest, AStripOfFourVerticesDrawsTwoTrianglesButIndexedOnlyThroughItsSubset)
{
    Make(D3DPT_TRIANGLESTRIP, {}, {});
    m_Buffer.Render();
    for (int x : {kLow, kHigh})
        for (int y : {kLow, kHigh})
            EXPECT_EQ(Pixel(x, y), kRed) << x << ", " << y;

    ClearTo(kBlack);
    Make(D3DPT_TRIANGLESTRIP, {0, 1, 2, 3}, {{0, 2}});
    m_Buffer.Render();
    EXPECT_TRUE(AllBlack());
    m_Buffer.RenderSubset(0);
    EXPECT_EQ(Pixel(kLow, kHigh), kRed);
    EXPECT_EQ(Pixel(kHigh, kLow), kRed);
}

TEST_F(VertexBufferTest, SubsetsDrawTheirOwnTrianglesAndAListDrawsThemAll)
{
    // Triangle 0 holds the bottom-left corner, triangle 1 the top-right one.
    Make(D3DPT_TRIANGLELIST, {0, 1, 2, 2, 1, 3}, {{0, 1}, {1, 1}});
    m_Buffer.RenderSubset(1);
    EXPECT_EQ(Pixel(kHigh, kLow), kRed);
    EXPECT_EQ(Pixel(kLow, kHigh), kBlack);
    ClearTo(kBlack);
    m_Buffer.Render();
    EXPECT_EQ(Pixel(kHigh, kLow), kRed);
    EXPECT_EQ(Pixel(kLow, kHigh), kRed);
}

TEST_F(VertexBufferTest, BadSubsetRequestsDrawNothing)
{
    Make(D3DPT_TRIANGLELIST, {}, {{0, 2}});
    m_Buffer.RenderSubset(0); // no index buffer
    Make(D3DPT_TRIANGLELIST, {0, 1, 2, 2, 1, 3}, {{0, 2}, {1, 5}}); // the second reaches past the indices
    for (int subset : {1, 2, -1, 1000})
        m_Buffer.RenderSubset(subset);
    EXPECT_TRUE(AllBlack());
}

} // namespace
