// Screen images, world quads and physics debug lines, read back from the back buffer.
#include <gtest/gtest.h>

#include "render/DeviceFixture.h"
#include "render/DrawCollisions.h"
#include "render/DrawHelper.h"

namespace {

using drawtest::kBlack;
using drawtest::kSize;

constexpr D3DCOLOR kRed = 0xFFFF0000;
constexpr D3DCOLOR kGreen = 0xFF00FF00;
constexpr D3DCOLOR kBlue = 0xFF0000FF;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;

// The device starts with point sampling: each texel is a block of pixels.
class DrawHelperTest : public drawtest::DeviceTest {};

// Whatever the camera, cull mode and depth buffer hold, a screen image covers
// the screen upright, and they are all as they were afterwards.
TEST_F(DrawHelperTest, FullScreenTextureIsUprightAndLeavesTheDeviceAsItFoundIt)
{
    IDirect3DTexture9* t = Texture(2, 2, {kRed, kGreen, kBlue, kWhite});
    D3DXMATRIX view, projection;
    D3DXMatrixTranslation(&view, 100, 100, 3);
    D3DXMatrixPerspectiveFovRH(&projection, 0.8f, 1.0f, 1.0f, 100.0f);
    D3DDevice->SetTransform(D3DTS_VIEW, &view);
    D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);
    for (DWORD cull : {D3DCULL_CW, D3DCULL_CCW, D3DCULL_NONE}) {
        SCOPED_TRACE(cull);
        D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 0.0f, 0);
        D3DDevice->SetRenderState(D3DRS_CULLMODE, cull);
        getDrawHelper().DrawFullScreenTexture(t, 1.0f);
        EXPECT_EQ(Pixel(0, 0), kRed);
        EXPECT_EQ(Pixel(kSize - 1, 0), kGreen);
        EXPECT_EQ(Pixel(0, kSize - 1), kBlue);
        EXPECT_EQ(Pixel(kSize / 2 - 1, kSize / 2 - 1), kRed);
        EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kWhite);
    }

    D3DXMATRIX after;
    D3DDevice->GetTransform(D3DTS_VIEW, &after);
    EXPECT_EQ(after, view);
    D3DDevice->GetTransform(D3DTS_PROJECTION, &after);
    EXPECT_EQ(after, projection);
    for (auto [state, wanted] : {std::pair<D3DRENDERSTATETYPE, DWORD>{D3DRS_CULLMODE, D3DCULL_NONE},
                                 {D3DRS_ZENABLE, TRUE}, {D3DRS_ZWRITEENABLE, TRUE}}) {
        DWORD value = 0;
        D3DDevice->GetRenderState(state, &value);
        EXPECT_EQ(value, wanted) << state;
    }
    IDirect3DBaseTexture9* stage0 = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    D3DDevice->GetTexture(0, &stage0);
    EXPECT_EQ(stage0, nullptr);
}

TEST_F(DrawHelperTest, WorldQuadDropsTexelsBelowAlpha100FromBothSides)
{
    // Left texel alpha 99 (dropped), right texel alpha 100 (kept).
    IDirect3DTexture9* t = Texture(2, 1, {0x63FF0000, 0x6400FF00});
    IdentityTransforms();
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    for (DWORD cull : {D3DCULL_CW, D3DCULL_CCW}) {
        ClearTo(kBlack);
        D3DDevice->SetRenderState(D3DRS_CULLMODE, cull);
        // Size 1 spans clip space from -1 to 1.
        getDrawHelper().DrawWorldQuad(t, world, 1.0f);
        EXPECT_EQ(Pixel(kSize / 4, kSize / 2), kBlack) << "cull " << cull;
        EXPECT_EQ(Pixel(3 * kSize / 4, kSize / 2), kGreen) << "cull " << cull;
    }
    DWORD alphaTest = TRUE;
    D3DDevice->GetRenderState(D3DRS_ALPHATESTENABLE, &alphaTest);
    EXPECT_EQ(alphaTest, static_cast<DWORD>(FALSE));
}

TEST_F(DrawHelperTest, PhysicsDebugLinesScaleEachChannelAndAreDrawnInTheirColour)
{
    EXPECT_EQ(DebugLineColour(btVector3(0.5f, 0.2f, 1.0f)), 0xFF8033FFu);
    // Out of range values clamp instead of wrapping.
    EXPECT_EQ(DebugLineColour(btVector3(2.0f, -1.0f, 1.01f)), 0xFFFF00FFu);

    IdentityTransforms();
    CDrawCollisions drawer;
    // A horizontal line through the centre of pixel row 20.
    const float y = 1.0f - (20.5f / kSize) * 2.0f;
    drawer.drawLine(btVector3(-1, y, 0.5f), btVector3(1, y, 0.5f), btVector3(1, 0, 0));
    EXPECT_EQ(Pixel(kSize / 2, 20), kRed);
    EXPECT_EQ(Pixel(kSize / 2, 30), kBlack);
}

} // namespace
