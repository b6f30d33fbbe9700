#include <gtest/gtest.h>

#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"

namespace {

using drawtest::kBlack;
using drawtest::kSize;

constexpr D3DCOLOR kRed = 0xFFFF0000;

// Pixel coordinates well inside the screen's corners: a quad split along a
// diagonal has two opposite corners in each of its triangles.
constexpr int kLow = 8, kHigh = kSize - 8;

class VertexBufferTest : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        IdentityTransforms();
        D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    // The four corners of clip space in strip order (bottom-left, bottom-right,
    // top-left, top-right).
    static void Corners(CUSTOMVERTEX out[4])
    {
        const CUSTOMVERTEX corners[4] = {
            {-1, -1, 0.5f, kRed}, {1, -1, 0.5f, kRed}, {-1, 1, 0.5f, kRed}, {1, 1, 0.5f, kRed}};
        for (int i = 0; i < 4; ++i)
            out[i] = corners[i];
    }

    bool AllBlack()
    {
        for (D3DCOLOR c : BackBuffer()) {
            if ((c | 0xFF000000) != kBlack)
                return false;
        }
        return true;
    }
};

TEST_F(VertexBufferTest, SizesFollowTheVertexLayout)
{
    struct Case {
        IVertexBuffer* buffer;
        unsigned size;
    };
    CVertexBufferDef<CUSTOMVERTEX> custom;
    CVertexBufferDef<DOUBLE_TEXTURED_VERTEX> doubleTextured;
    CVertexBufferDef<NORMAL_TEXTURED_VERTEX> normalTextured;
    CNormalTangentTexturedVB tangent;
    CCal3DVertexBuffer cal3d;
    CParticlesVB particles;
    const Case cases[] = {{&custom, 16},  {&doubleTextured, 28}, {&normalTextured, 40},
                          {&tangent, 56}, {&cal3d, 64},          {&particles, 12}};

    std::vector<unsigned char> zeros(64 * 10, 0);
    for (const Case& c : cases) {
        EXPECT_EQ(c.buffer->GetVertexSize(), c.size);
        EXPECT_EQ(c.buffer->GetBufferSize(), 0u);
        c.buffer->Create(10, zeros.data(), D3DPT_TRIANGLELIST);
        EXPECT_EQ(c.buffer->GetBufferSize(), c.size * 10);
        ASSERT_NE(c.buffer->GetD3DBuffer(), nullptr);
        D3DVERTEXBUFFER_DESC desc;
        c.buffer->GetD3DBuffer()->GetDesc(&desc);
        EXPECT_EQ(desc.Size, c.size * 10);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    }
    EXPECT_EQ(tangent.GetBufferSize(), 560u);
}

TEST_F(VertexBufferTest, StripOfFourVerticesDrawsTwoTriangles)
{
    CUSTOMVERTEX vertices[4];
    Corners(vertices);
    CVertexBufferDef<CUSTOMVERTEX> buffer;
    buffer.Create(4, vertices, D3DPT_TRIANGLESTRIP);
    buffer.Render();
    // Each corner region lies in a different triangle of the strip.
    EXPECT_EQ(Pixel(kLow, kLow), kRed);
    EXPECT_EQ(Pixel(kHigh, kHigh), kRed);
    EXPECT_EQ(Pixel(kLow, kHigh), kRed);
    EXPECT_EQ(Pixel(kHigh, kLow), kRed);
}

TEST_F(VertexBufferTest, IndexedStripDrawsOnlyThroughRenderSubset)
{
    CUSTOMVERTEX vertices[4];
    Corners(vertices);
    const unsigned short indices[4] = {0, 1, 2, 3};
    CVertexBufferDef<CUSTOMVERTEX> buffer;
    buffer.Create(4, vertices, D3DPT_TRIANGLESTRIP);
    CIndexBuffer* ib = new CIndexBuffer;
    ib->Create(4, indices);
    buffer.SetIndexBuffer(ib);
    buffer.GetSubsets().push_back({0, 2});

    buffer.Render();
    EXPECT_TRUE(AllBlack());

    buffer.RenderSubset(0);
    EXPECT_EQ(Pixel(kLow, kHigh), kRed);
    EXPECT_EQ(Pixel(kHigh, kLow), kRed);
}

TEST_F(VertexBufferTest, SubsetsDrawTheirOwnTriangles)
{
    CUSTOMVERTEX vertices[4];
    Corners(vertices);
    // Triangle 0 holds the bottom-left corner, triangle 1 the top-right one.
    const unsigned short indices[6] = {0, 1, 2, 2, 1, 3};
    CVertexBufferDef<CUSTOMVERTEX> buffer;
    buffer.Create(4, vertices, D3DPT_TRIANGLELIST);
    CIndexBuffer* ib = new CIndexBuffer;
    ib->Create(6, indices);
    buffer.SetIndexBuffer(ib);
    buffer.GetSubsets().push_back({0, 1});
    buffer.GetSubsets().push_back({1, 1});

    buffer.RenderSubset(1);
    EXPECT_EQ(Pixel(kHigh, kLow), kRed);
    EXPECT_EQ(Pixel(kLow, kHigh), kBlack);

    ClearTo(kBlack);
    buffer.Render(); // an indexed list draws all of its triangles
    EXPECT_EQ(Pixel(kHigh, kLow), kRed);
    EXPECT_EQ(Pixel(kLow, kHigh), kRed);
}

TEST_F(VertexBufferTest, BadSubsetRequestsDrawNothing)
{
    CUSTOMVERTEX vertices[4];
    Corners(vertices);
    const unsigned short indices[6] = {0, 1, 2, 2, 1, 3};
    CVertexBufferDef<CUSTOMVERTEX> buffer;
    buffer.Create(4, vertices, D3DPT_TRIANGLELIST);

    buffer.GetSubsets().push_back({0, 2});
    buffer.RenderSubset(0); // no index buffer yet

    CIndexBuffer* ib = new CIndexBuffer;
    ib->Create(6, indices);
    buffer.SetIndexBuffer(ib);
    buffer.GetSubsets().push_back({1, 5}); // reaches past the six indices
    buffer.RenderSubset(1);
    buffer.RenderSubset(2);
    buffer.RenderSubset(-1);
    buffer.RenderSubset(1000);
    EXPECT_TRUE(AllBlack());
}

TEST_F(VertexBufferTest, ReleaseTwiceIsHarmlessAndStopsDrawing)
{
    CUSTOMVERTEX vertices[4];
    Corners(vertices);
    const unsigned short indices[4] = {0, 1, 2, 3};
    CVertexBufferDef<CUSTOMVERTEX> buffer;
    buffer.Create(4, vertices, D3DPT_TRIANGLESTRIP);
    CIndexBuffer* ib = new CIndexBuffer;
    ib->Create(4, indices);
    buffer.SetIndexBuffer(ib);
    buffer.GetSubsets().push_back({0, 2});

    buffer.Release();
    buffer.Release();
    EXPECT_EQ(buffer.GetD3DBuffer(), nullptr);
    EXPECT_EQ(buffer.GetIndexBuffer(), nullptr);
    EXPECT_EQ(buffer.GetVertexData(), nullptr);
    buffer.Render();
    buffer.RenderSubset(0);
    EXPECT_TRUE(AllBlack());

    // Usable again after a release.
    buffer.Create(4, vertices, D3DPT_TRIANGLESTRIP);
    buffer.Render();
    EXPECT_EQ(Pixel(kLow, kLow), kRed);
}

} // namespace
