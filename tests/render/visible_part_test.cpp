// The part of a texture that can show, and world quads drawn over only that
// part: the same pixels as the whole square.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/DeviceFixture.h"
#include "render/DrawHelper.h"
#include "render/VisiblePart.h"

namespace {

using drawtest::kSize;
using VisiblePartDraw = drawtest::DeviceTest;

TEST(VisiblePart, TheRectangleRoundTheVisibleTexelsATexelWider)
{
    // The tracer's shape: a strip of columns 12..19 down rows 1..126 of 32 x 128.
    std::vector<std::uint8_t> strip(32 * 128, 0);
    for (int y = 1; y < 127; ++y)
        for (int x = 12; x < 20; ++x)
            strip[y * 32 + x] = static_cast<std::uint8_t>(1 + x);
    TexturePart part = VisiblePart(strip, 32, 128);
    EXPECT_FLOAT_EQ(part.u0, 11.0f / 32.0f);
    EXPECT_FLOAT_EQ(part.u1, 21.0f / 32.0f);
    EXPECT_FLOAT_EQ(part.v0, 0.0f);
    EXPECT_FLOAT_EQ(part.v1, 1.0f);

    // One texel at the bottom-right corner: the widening stops at the edges.
    std::vector<std::uint8_t> corner(8 * 4, 0);
    corner[3 * 8 + 7] = 1;
    part = VisiblePart(corner, 8, 4);
    EXPECT_FLOAT_EQ(part.u0, 6.0f / 8.0f);
    EXPECT_FLOAT_EQ(part.u1, 1.0f);
    EXPECT_FLOAT_EQ(part.v0, 2.0f / 4.0f);
    EXPECT_FLOAT_EQ(part.v1, 1.0f);

    // Faint ends, below what the alpha test lets through: drawn tested, the
    // part stops a texel beyond the last row that can pass.
    for (int y = 1; y < 127; ++y)
        for (int x = 12; x < 20; ++x)
            strip[y * 32 + x] = static_cast<std::uint8_t>(y < 20 || y > 110 ? 99 : 100);
    part = VisiblePart(strip, 32, 128, CDrawHelper::kWorldQuadAlphaRef);
    EXPECT_FLOAT_EQ(part.u0, 11.0f / 32.0f);
    EXPECT_FLOAT_EQ(part.u1, 21.0f / 32.0f);
    EXPECT_FLOAT_EQ(part.v0, 19.0f / 128.0f);
    EXPECT_FLOAT_EQ(part.v1, 112.0f / 128.0f);
    EXPECT_FLOAT_EQ(VisiblePart(strip, 32, 128).v0, 0.0f) << "drawn blended, the faint ends show";

    // Nothing visible, or a size that does not match: the whole texture.
    for (const TexturePart& whole : {VisiblePart(std::vector<std::uint8_t>(16, 0), 4, 4),
                                     VisiblePart(std::vector<std::uint8_t>(15, 9), 4, 4), VisiblePart(nullptr)}) {
        EXPECT_FLOAT_EQ(whole.u0, 0.0f);
        EXPECT_FLOAT_EQ(whole.v0, 0.0f);
        EXPECT_FLOAT_EQ(whole.u1, 1.0f);
        EXPECT_FLOAT_EQ(whole.v1, 1.0f);
    }
}

// A block off the middle of an 8 x 8 texture, magnified eight times through
// the linear filter: the alpha test keeps a fringe beyond the block's texels,
// and the part drawn must hold it.
TEST_F(VisiblePartDraw, AWorldQuadDrawnOverItsVisiblePartShowsTheSamePixels)
{
    std::vector<D3DCOLOR> texels(64, 0x00FF0000);
    // A faint column to the left of the block, too faint for the alpha test
    // even beside it: the part fitted to what the test lets through leaves it out.
    for (int y = 0; y < 8; ++y)
        texels[y * 8 + 1] = 0x63FF0000;
    for (int y = 1; y < 3; ++y)
        for (int x = 5; x < 7; ++x)
            texels[y * 8 + x] = 0xFF00FF00;
    IDirect3DTexture9* texture = Texture(8, 8, texels);
    const TexturePart part = VisiblePart(texture, CDrawHelper::kWorldQuadAlphaRef);
    EXPECT_LT(part.u1 - part.u0, 0.6f);
    EXPECT_GT(part.u0, VisiblePart(texture).u0 + 0.3f);
    IdentityTransforms();
    D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    D3DDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    auto draw = [&](const TexturePart& drawn) {
        ClearTo(drawtest::kBlack);
        getDrawHelper().DrawWorldQuad(texture, world, 1.0f, drawn); // size 1 spans clip space
        return BackBuffer();
    };
    const std::vector<D3DCOLOR> whole = draw(TexturePart());
    const std::vector<D3DCOLOR> fitted = draw(part);
    int shown = 0;
    for (D3DCOLOR c : whole)
        shown += (c & 0xFFFFFF) != 0;
    // Two texels square of eight pixels each, and the fringe round them.
    EXPECT_GT(shown, 16 * 16);
    EXPECT_LT(shown, 20 * 20);
    EXPECT_EQ(whole, fitted);
    // In the top right quarter, as the texture lies.
    EXPECT_GT(Pixel(6 * kSize / 8, 2 * kSize / 8) & 0xFF00, 0x8000u);
    D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    D3DDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
}

} // namespace
