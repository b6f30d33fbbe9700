#include <gtest/gtest.h>

#include "render/DeviceFixture.h"
#include "render/DrawCallCounter.h"
#include "render/DrawCollisions.h"
#include "render/DrawHelper.h"

namespace {

using drawtest::kBlack;
using drawtest::kSize;

constexpr D3DCOLOR kRed = 0xFFFF0000;
constexpr D3DCOLOR kGreen = 0xFF00FF00;
constexpr D3DCOLOR kBlue = 0xFF0000FF;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;

class DrawHelperTest : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        PointSampling();
    }
    void TearDown() override
    {
        for (IDirect3DTexture9* t : m_Textures)
            t->Release();
        SetDrawCallCounter(nullptr);
        getWorldQuads().clear();
        DeviceTest::TearDown();
    }
    IDirect3DTexture9* Texture(UINT w, UINT h, const std::vector<D3DCOLOR>& texels)
    {
        IDirect3DTexture9* t = MakeTexture(w, h, texels);
        if (t)
            m_Textures.push_back(t);
        return t;
    }
    std::vector<IDirect3DTexture9*> m_Textures;
};

D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}

TEST_F(DrawHelperTest, FullScreenTextureIsUprightAndCoversTheScreen)
{
    IDirect3DTexture9* t = Texture(2, 2, {kRed, kGreen, kBlue, kWhite});
    ASSERT_NE(t, nullptr);
    for (DWORD cull : {D3DCULL_CW, D3DCULL_CCW, D3DCULL_NONE}) {
        ClearTo(kBlack);
        D3DDevice->SetRenderState(D3DRS_CULLMODE, cull);
        getDrawHelper().DrawFullScreenTexture(t, 1.0f);

        EXPECT_EQ(Pixel(0, 0), kRed) << "cull " << cull;
        EXPECT_EQ(Pixel(kSize - 1, 0), kGreen) << "cull " << cull;
        EXPECT_EQ(Pixel(0, kSize - 1), kBlue) << "cull " << cull;
        EXPECT_EQ(Pixel(kSize - 1, kSize - 1), kWhite) << "cull " << cull;
        EXPECT_EQ(Pixel(kSize / 2 - 1, kSize / 2 - 1), kRed) << "cull " << cull;
        EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kWhite) << "cull " << cull;
    }
}

TEST_F(DrawHelperTest, ScreenQuadsRestoreTheCameraAndDepthStates)
{
    const D3DXMATRIX view = Translation(1, 2, 3);
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovRH(&projection, 0.8f, 1.0f, 1.0f, 100.0f);
    D3DDevice->SetTransform(D3DTS_VIEW, &view);
    D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);
    D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);

    IDirect3DTexture9* t = Texture(1, 1, {kWhite});
    getDrawHelper().DrawFullScreenTexture(t, 1.0f);
    getDrawHelper().DrawTexturedRect(t, 0, 1, 0, 1);
    getDrawHelper().DrawScreenQuad(kSize, kSize, true);
    getDrawHelper().DrawFullScreenQuad();

    D3DXMATRIX after;
    D3DDevice->GetTransform(D3DTS_VIEW, &after);
    EXPECT_EQ(after, view);
    D3DDevice->GetTransform(D3DTS_PROJECTION, &after);
    EXPECT_EQ(after, projection);
    DWORD value = 0;
    D3DDevice->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CCW));
    D3DDevice->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(TRUE));
    D3DDevice->GetRenderState(D3DRS_ZWRITEENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(TRUE));
    IDirect3DBaseTexture9* stage0 = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    D3DDevice->GetTexture(0, &stage0);
    EXPECT_EQ(stage0, nullptr);
}

TEST_F(DrawHelperTest, ScreenQuadIgnoresTheDepthBuffer)
{
    // A depth buffer full of "nearest" must not hide a screen image.
    D3DDevice->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0);
    IDirect3DTexture9* t = Texture(1, 1, {kGreen});
    getDrawHelper().DrawFullScreenTexture(t, 1.0f);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kGreen);
}

TEST_F(DrawHelperTest, TexturedRectLandsInItsRectangle)
{
    IDirect3DTexture9* t = Texture(1, 1, {kWhite});
    // Left quarter to right half horizontally, top half vertically.
    getDrawHelper().DrawTexturedRect(t, 0.25f, 0.5f, 0.0f, 0.5f);
    EXPECT_EQ(Pixel(kSize / 4 + 1, 1), kWhite);
    EXPECT_EQ(Pixel(kSize / 2 - 2, kSize / 2 - 2), kWhite);
    EXPECT_EQ(Pixel(kSize / 4 - 2, 4), kBlack);
    EXPECT_EQ(Pixel(kSize / 2 + 2, 4), kBlack);
    EXPECT_EQ(Pixel(kSize / 3, kSize / 2 + 2), kBlack);
}

TEST_F(DrawHelperTest, TexturedRectExShowsOneFrameOfAStrip)
{
    IDirect3DTexture9* strip = Texture(4, 1, {kRed, kGreen, kBlue, kWhite});
    getDrawHelper().DrawTexturedRectEx(strip, 0, 1, 0, 1, 0.25f, 2);
    EXPECT_EQ(Pixel(1, 1), kBlue);
    EXPECT_EQ(Pixel(kSize - 2, kSize - 2), kBlue);

    ClearTo(kBlack);
    getDrawHelper().DrawTexturedRectEx(strip, 0, 1, 0, 1, 0.25f, 0);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kRed);
}

TEST_F(DrawHelperTest, WorldQuadDropsTexelsBelowAlpha100FromBothSides)
{
    // Left texel alpha 99 (dropped), right texel alpha 100 (kept).
    IDirect3DTexture9* t = Texture(2, 1, {0x63FF0000, 0x6400FF00});
    IdentityTransforms();
    for (DWORD cull : {D3DCULL_CW, D3DCULL_CCW}) {
        ClearTo(kBlack);
        D3DDevice->SetRenderState(D3DRS_CULLMODE, cull);
        // Size 1 spans clip space from -1 to 1.
        getDrawHelper().DrawWorldQuad(t, drawtest::Identity(), 1.0f);
        EXPECT_EQ(Pixel(kSize / 4, kSize / 2), kBlack) << "cull " << cull;
        EXPECT_EQ(Pixel(3 * kSize / 4, kSize / 2), kGreen) << "cull " << cull;
    }
    DWORD alphaTest = TRUE;
    D3DDevice->GetRenderState(D3DRS_ALPHATESTENABLE, &alphaTest);
    EXPECT_EQ(alphaTest, static_cast<DWORD>(FALSE));
}

TEST_F(DrawHelperTest, OnlyVisibleWorldQuadsAreDrawn)
{
    IDirect3DTexture9* t = Texture(1, 1, {kWhite});
    IdentityTransforms();
    // Size 50 is fixed: shrink the scene so a quad covers a quarter of clip space.
    D3DXMATRIX shrink;
    D3DXMatrixScaling(&shrink, 0.01f, 0.01f, 0.01f);
    getWorldQuads().push_back({t, shrink * Translation(-0.5f, 0, 0), false});
    getWorldQuads().push_back({t, shrink * Translation(0.5f, 0, 0), true});
    DrawWorldQuads();
    EXPECT_EQ(Pixel(kSize / 4, kSize / 2), kBlack);
    EXPECT_EQ(Pixel(3 * kSize / 4, kSize / 2), kWhite);
}

TEST_F(DrawHelperTest, DebugLineColourScalesEachChannel)
{
    EXPECT_EQ(DebugLineColour(btVector3(1, 0, 0)), 0xFFFF0000u);
    EXPECT_EQ(DebugLineColour(btVector3(0, 1, 0)), 0xFF00FF00u);
    EXPECT_EQ(DebugLineColour(btVector3(0, 0, 1)), 0xFF0000FFu);
    EXPECT_EQ(DebugLineColour(btVector3(0.5f, 0.2f, 0.0f)), 0xFF803300u);
    // Out of range values clamp instead of wrapping.
    EXPECT_EQ(DebugLineColour(btVector3(2.0f, -1.0f, 1.01f)), 0xFFFF00FFu);
}

TEST_F(DrawHelperTest, PhysicsDebugLineIsDrawnInItsColour)
{
    IdentityTransforms();
    CDrawCollisions drawer;
    EXPECT_EQ(drawer.getDebugMode(), 0);
    drawer.setDebugMode(1);
    EXPECT_EQ(drawer.getDebugMode(), 1);

    // A horizontal line through the centre of pixel row 20.
    const float y = 1.0f - (20.5f / kSize) * 2.0f;
    drawer.drawLine(btVector3(-1, y, 0.5f), btVector3(1, y, 0.5f), btVector3(1, 0, 0));
    EXPECT_EQ(Pixel(kSize / 2, 20), kRed);
    EXPECT_EQ(Pixel(kSize / 2, 30), kBlack);
}

TEST_F(DrawHelperTest, FullScreenQuadIsUprightAndCounted)
{
    int draws = 0;
    SetDrawCallCounter(&draws);
    IDirect3DTexture9* t = Texture(2, 2, {kRed, kGreen, kBlue, kWhite});
    // A camera that would throw the quad off screen if it were used.
    const D3DXMATRIX away = Translation(100, 100, 0);
    D3DDevice->SetTransform(D3DTS_VIEW, &away);
    D3DDevice->SetTexture(0, t);
    getDrawHelper().DrawFullScreenQuad();
    D3DDevice->SetTexture(0, nullptr);
    EXPECT_EQ(Pixel(1, 1), kRed);
    EXPECT_EQ(Pixel(kSize - 2, kSize - 2), kWhite);
    EXPECT_EQ(draws, 1);

    getDrawHelper().DrawScreenQuad(kSize, kSize, false);
    EXPECT_EQ(draws, 2);
    getDrawHelper().DrawTexturedRect(t, 0, 1, 0, 1);
    EXPECT_EQ(draws, 2);
}

} // namespace
