#include <gtest/gtest.h>

#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"

namespace {

using drawtest::kSize;

constexpr D3DCOLOR kRed = 0xFFFF0000;

class VertexBufferTest : public drawtest::DeviceTest {};

// Which of two pixels each draw reaches: one well inside the screen's
// bottom-left corner, one inside its top-right. A quad split along the other
// diagonal has one of them in each triangle, the bottom-left in triangle 0.
TEST_F(VertexBufferTest, WholeBufferAndSubsetDrawsReachOnlyTheirTriangles)
{
    const CUSTOMVERTEX corners[4] = {
        {-1, -1, 0.5f, kRed}, {1, -1, 0.5f, kRed}, {-1, 1, 0.5f, kRed}, {1, 1, 0.5f, kRed}};
    const std::vector<unsigned short> quad = {0, 1, 2, 2, 1, 3};
    const std::vector<SubsetRange> halves = {{0, 1}, {1, 1}};
    const struct {
        const char* what;
        D3DPRIMITIVETYPE type;
        std::vector<unsigned short> indices;
        std::vector<SubsetRange> subsets;
        int subset; // -1: the whole buffer
        bool bottomLeft, topRight;
    } cases[] = {
        {"a strip of four vertices", D3DPT_TRIANGLESTRIP, {}, {}, -1, true, true},
        // Only lists are drawn whole through an index buffer; a strip goes through its subsets.
        {"an indexed strip, whole", D3DPT_TRIANGLESTRIP, {0, 1, 2, 3}, {{0, 2}}, -1, false, false},
        {"an indexed strip's subset", D3DPT_TRIANGLESTRIP, {0, 1, 2, 3}, {{0, 2}}, 0, true, true},
        {"an indexed list, whole", D3DPT_TRIANGLELIST, quad, halves, -1, true, true},
        {"the second triangle's subset", D3DPT_TRIANGLELIST, quad, halves, 1, false, true},
        // Bad subset requests draw nothing.
        {"a subset without an index buffer", D3DPT_TRIANGLELIST, {}, {{0, 2}}, 0, false, false},
        {"a subset past the indices", D3DPT_TRIANGLELIST, quad, {{0, 2}, {1, 5}}, 1, false, false},
        {"a subset past the list", D3DPT_TRIANGLELIST, quad, halves, 2, false, false},
        {"a negative subset", D3DPT_TRIANGLELIST, quad, halves, -2, false, false},
        {"a subset far past the list", D3DPT_TRIANGLELIST, quad, halves, 1000, false, false},
    };
    IdentityTransforms();
    D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CVertexBufferDef<CUSTOMVERTEX> buffer;
        buffer.Create(4, corners, c.type);
        if (!c.indices.empty()) {
            auto* ib = new CIndexBuffer;
            ib->Create(static_cast<unsigned>(c.indices.size()), c.indices.data());
            buffer.SetIndexBuffer(ib);
        }
        buffer.GetSubsets() = c.subsets;
        ClearTo(drawtest::kBlack);
        if (c.subset == -1)
            buffer.Render();
        else
            buffer.RenderSubset(c.subset);
        EXPECT_EQ(Pixel(8, kSize - 8) == kRed, c.bottomLeft);
        EXPECT_EQ(Pixel(kSize - 8, 8) == kRed, c.topRight);
        if (!c.bottomLeft && !c.topRight)
            EXPECT_TRUE(AllBlack());
    }
}

} // namespace
