// Drawing through our Direct3D 9 device, read back pixel by pixel: each case
// fails when nothing is drawn or it lands wrong (upside down, mirrored, wrong
// colour order, wrong winding, wrong depth).
#include "d3d_fixture.h"

using namespace d3dtest;

namespace {

using D3DDrawTest = D3DTest;

TEST_F(D3DDrawTest, ClearFillsTheViewportOnly)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    EXPECT_EQ(Pixel(kWidth - 1, kHeight - 1), kRed);
    // A viewport near the top-left corner: Y counts from the top.
    const D3DVIEWPORT9 viewport = {4, 2, 10, 6, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    const std::vector<D3DCOLOR> pixels = Pixels();
    auto at = [&](UINT x, UINT y) { return pixels[y * kWidth + x]; };
    EXPECT_EQ(at(4, 2), kBlue);
    EXPECT_EQ(at(13, 7), kBlue);
    EXPECT_EQ(at(3, 2), kRed);
    EXPECT_EQ(at(14, 7), kRed);
    EXPECT_EQ(at(4, 8), kRed);
}

// D3DCOLOR is BGRA in memory, for vertex colours as for texels.
TEST_F(D3DDrawTest, ColoursKeepTheirChannels)
{
    FillRect(0, 0, 32, 48, 0xFF102030u);
    EXPECT_EQ(Pixel(10, 10), 0xFF102030u);

    Ref<IDirect3DTexture9> texture = Texture(1, 1, {0xFFFFFF80u});
    device->SetTexture(0, texture.get());
    DrawTexturedScreen(0xFF8000FFu); // modulated by the diffuse colour
    EXPECT_TRUE(Near(Pixel(10, 10), 0xFF800080u)) << Hex(Pixel(10, 10));
    device->SetTexture(0, nullptr);
}

TEST_F(D3DDrawTest, FullScreenTextureIsTheRightWayUp)
{
    // 2x2 texels: red, green on the top row; blue, white below.
    Ref<IDirect3DTexture9> texture = Texture(2, 2, {kRed, kGreen, kBlue, kWhite});
    device->SetTexture(0, texture.get());
    device->SetFVF(kTexFvf);
    auto expectUpright = [&] {
        EXPECT_EQ(Pixel(2, 2), kRed);
        EXPECT_EQ(Pixel(kWidth - 3, 2), kGreen);
        EXPECT_EQ(Pixel(2, kHeight - 3), kBlue);
        EXPECT_EQ(Pixel(kWidth - 3, kHeight - 3), kWhite);
    };
    // Clip-space quad with identity transforms, v = 0 at the top as in Direct3D.
    const TexVertex quad[4] = {{-1, 1, 0.5f, 0, 0}, {1, 1, 0.5f, 1, 0}, {-1, -1, 0.5f, 0, 1}, {1, -1, 0.5f, 1, 1}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexVertex)), D3D_OK);
    expectUpright();

    // The game's way: positions 0..1 with y down through an off-centre ortho
    // projection (a translation in row 4 that a transposed upload would lose).
    Clear(kBlack);
    D3DXMATRIX projection;
    D3DXMatrixOrthoOffCenterRH(&projection, 0, 1, 1, 0, -1, 1);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    const TexVertex unit[4] = {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}, {1, 1, 0, 1, 1}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, unit, sizeof(TexVertex)), D3D_OK);
    expectUpright();
    device->SetTexture(0, nullptr);
}

TEST_F(D3DDrawTest, WorldViewProjectionApplyInRowVectorOrder)
{
    // A unit square scaled by 0.5 then moved right by 0.5: it covers clip x
    // 0.5..1.0 only when scaling comes first (v * S * T).
    D3DXMATRIX scale, move;
    D3DXMatrixScaling(&scale, 0.5f, 0.5f, 1.0f);
    D3DXMatrixTranslation(&move, 0.5f, 0.0f, 0.0f);
    device->SetTransform(D3DTS_WORLD, &scale);
    device->SetTransform(D3DTS_VIEW, &move);
    const ColorVertex square[4] = {{0, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {0, -1, 0.5f, kGreen}, {1, -1, 0.5f, kGreen}};
    device->SetFVF(kColorFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, square, sizeof(ColorVertex)), D3D_OK);
    // Clip x 0.5..1.0 is pixels 48..63; y -0.5..0.5 is rows 12..35.
    EXPECT_EQ(Pixel(50, 24), kGreen);
    EXPECT_EQ(Pixel(44, 24), kBlack);
    EXPECT_EQ(Pixel(50, 8), kBlack);
    EXPECT_EQ(Pixel(50, 40), kBlack);
}

TEST_F(D3DDrawTest, CullModesCullByOnScreenWinding)
{
    // Left: clockwise as seen (top-left, top-right, bottom-left). Right: counter-clockwise.
    const ScreenVertex clockwise[3] = {{2, 2, 0.5f, 1, kRed}, {30, 2, 0.5f, 1, kRed}, {2, 40, 0.5f, 1, kRed}};
    const ScreenVertex counter[3] = {{34, 2, 0.5f, 1, kGreen}, {34, 40, 0.5f, 1, kGreen}, {62, 2, 0.5f, 1, kGreen}};
    struct Case {
        DWORD mode;
        bool clockwiseDrawn, counterDrawn;
    };
    for (const Case& c : {Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true}, Case{D3DCULL_NONE, true, true}}) {
        SCOPED_TRACE(c.mode);
        Clear(kBlack);
        device->SetRenderState(D3DRS_CULLMODE, c.mode);
        device->SetFVF(kScreenFvf);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(ScreenVertex));
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(ScreenVertex));
        EXPECT_EQ(Pixel(6, 6), c.clockwiseDrawn ? kRed : kBlack);
        EXPECT_EQ(Pixel(38, 6), c.counterDrawn ? kGreen : kBlack);
    }

    // The same through the transform path, where clip y points up.
    Clear(kBlack);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    const ColorVertex clipClockwise[3] = {{-1, 1, 0.5f, kBlue}, {0, 1, 0.5f, kBlue}, {-1, -1, 0.5f, kBlue}};
    device->SetFVF(kColorFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clipClockwise, sizeof(ColorVertex));
    EXPECT_EQ(Pixel(3, 3), kBlue);
}

TEST_F(D3DDrawTest, AlphaTestComparesWholeNumbers)
{
    Clear(kBlue);
    // Texel alphas 99, 100, 101, 255 from left to right.
    Ref<IDirect3DTexture9> texture = Texture(4, 1, {0x63FF0000u, 0x64FF0000u, 0x65FF0000u, 0xFFFF0000u});
    device->SetTexture(0, texture.get());
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 100);
    DrawTexturedScreen();
    const D3DCOLOR expected[4] = {kBlue, kRed, kRed, kRed}; // 99 < 100: discarded
    for (UINT i = 0; i < 4; ++i)
        EXPECT_EQ(Pixel(8 + 16 * i, 20), expected[i]) << i;

    // Switched off, everything is drawn whatever the function.
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(8, 20), kRed);
    device->SetTexture(0, nullptr);
}

TEST_F(D3DDrawTest, AlphaBlendMixesWithTheTarget)
{
    Clear(kBlue);
    Ref<IDirect3DTexture9> half = Texture(1, 1, {0x80FF0000u});
    device->SetTexture(0, half.get());
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawTexturedScreen();
    EXPECT_TRUE(Near(Pixel(30, 20), 0xFF80007Fu)) << Hex(Pixel(30, 20));

    // Additive (the bloom's composite): source colour times itself plus the target.
    Clear(0xFF000040u);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Ref<IDirect3DTexture9> grey = Texture(1, 1, {0xFF808080u});
    device->SetTexture(0, grey.get());
    DrawTexturedScreen();
    EXPECT_TRUE(Near(Pixel(30, 20), 0xFF404080u)) << Hex(Pixel(30, 20));
    device->SetTexture(0, nullptr);
}

// Two quads in one buffer, the left red and the right green: each draw must
// take its vertices from where it is told.
TEST_F(D3DDrawTest, BufferDrawsStartWhereTheyAreTold)
{
    const ColorVertex vertices[8] = {
        {-1, 1, 0.5f, kRed}, {0, 1, 0.5f, kRed}, {-1, -1, 0.5f, kRed}, {0, -1, 0.5f, kRed},
        {0, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {0, -1, 0.5f, kGreen}, {1, -1, 0.5f, kGreen}};
    const WORD indices[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
    Ref<IDirect3DVertexBuffer9> vb = VertexBuffer(vertices, sizeof(vertices), kColorFvf);
    Ref<IDirect3DIndexBuffer9> ib = IndexBuffer(indices, 12);
    ASSERT_TRUE(vb && ib);
    device->SetStreamSource(0, vb.get(), 0, sizeof(ColorVertex));
    device->SetIndices(ib.get());
    device->SetFVF(kColorFvf);

    const struct {
        const char* what;
        bool indexed;
        INT baseVertex;
        UINT start;
    } draws[] = {{"strip from vertex 4", false, 0, 4},
                 {"second subset of indices", true, 0, 6},
                 {"base vertex shifting the first subset", true, 4, 0}};
    for (const auto& d : draws) {
        SCOPED_TRACE(d.what);
        Clear(kBlack);
        ASSERT_EQ(d.indexed ? device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, d.baseVertex, 0, 8 - d.baseVertex, d.start, 2)
                            : device->DrawPrimitive(D3DPT_TRIANGLESTRIP, d.start, 2),
                  D3D_OK);
        // Both triangles of the green quad, and nothing of the red one.
        EXPECT_EQ(Pixel(10, 24), kBlack);
        EXPECT_EQ(Pixel(40, 10), kGreen);
        EXPECT_EQ(Pixel(60, 40), kGreen);
        EXPECT_EQ(Pixel(60, 10), kGreen);
        EXPECT_EQ(Pixel(40, 40), kGreen);
    }
    EXPECT_EQ(platform::GetDrawStats(device).primitives, 6u);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
}

TEST_F(D3DDrawTest, NearerSurfaceWinsWhateverTheOrder)
{
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    for (bool nearFirst : {true, false}) {
        SCOPED_TRACE(nearFirst);
        Clear(kBlack);
        if (nearFirst)
            FillRect(0, 0, 40, 48, kRed, 0.2f);
        FillRect(20, 0, 64, 48, kGreen, 0.6f);
        if (!nearFirst)
            FillRect(0, 0, 40, 48, kRed, 0.2f);
        EXPECT_EQ(Pixel(30, 20), kRed);
        EXPECT_EQ(Pixel(50, 20), kGreen);
    }
    // Without depth writes the second draw is not hidden by the first.
    Clear(kBlack);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    FillRect(0, 0, 40, 48, kRed, 0.2f);
    FillRect(20, 0, 64, 48, kGreen, 0.6f);
    EXPECT_EQ(Pixel(30, 20), kGreen);
}

TEST_F(D3DDrawTest, PerspectiveDepthRunsFromZeroAtTheNearPlane)
{
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovRH(&projection, 1.2f, 4.0f / 3.0f, 10.0f, 100.0f);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetFVF(kColorFvf);
    auto square = [&](float z, float halfSize, D3DCOLOR color) {
        const ColorVertex v[4] = {{-halfSize, halfSize, z, color}, {halfSize, halfSize, z, color},
                                  {-halfSize, -halfSize, z, color}, {halfSize, -halfSize, z, color}};
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex));
    };
    square(-50.0f, 100.0f, kGreen); // fills the view, mid-depth
    square(-9.0f, 100.0f, kRed);    // just before the near plane: clipped away, not drawn over
    EXPECT_EQ(Pixel(32, 24), kGreen);
    square(-20.0f, 2.0f, kBlue); // nearer than the green one, drawn after it
    EXPECT_EQ(Pixel(32, 24), kBlue);
    square(-80.0f, 100.0f, kRed); // farther: hidden everywhere
    EXPECT_EQ(Pixel(32, 24), kBlue);
    EXPECT_EQ(Pixel(2, 2), kGreen);
}

TEST_F(D3DDrawTest, RenderTargetDrawnIntoThenSampledIsUpright)
{
    Target target = RenderTarget(32, 32);
    Ref<IDirect3DSurface9> back = CurrentTarget();
    ASSERT_EQ(device->SetRenderTarget(0, target.surface.get()), D3D_OK);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 32u);
    EXPECT_EQ(viewport.Height, 32u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
    FillRect(0, 0, 32, 16, kRed); // the top half
    const std::vector<D3DCOLOR> drawn = Read(target.surface.get());
    EXPECT_EQ(drawn[0], kRed);
    EXPECT_EQ(drawn[31 * 32], kGreen);

    ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, kWidth);
    device->SetTexture(0, target.texture.get());
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(10, 5), kRed);
    EXPECT_EQ(Pixel(10, kHeight - 5), kGreen);
    device->SetTexture(0, nullptr);
}

TEST_F(D3DDrawTest, RenderTargetsShareTheDeviceDepthSurface)
{
    Target target = RenderTarget(kWidth, kHeight);
    Ref<IDirect3DSurface9> back = CurrentTarget();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    FillRect(0, 0, 32, 48, kRed, 0.2f); // near, on the left, into the back buffer's depth

    device->SetRenderTarget(0, target.surface.get());
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    FillRect(0, 0, 64, 48, kGreen, 0.5f); // behind the left half's depth
    const std::vector<D3DCOLOR> pixels = Read(target.surface.get());
    EXPECT_EQ(pixels[20 * kWidth + 10], kBlue);
    EXPECT_EQ(pixels[20 * kWidth + 50], kGreen);
    device->SetRenderTarget(0, back.get());
}

TEST_F(D3DDrawTest, SamplerAddressModes)
{
    Ref<IDirect3DTexture9> texture = Texture(2, 1, {kRed, kGreen});
    device->SetTexture(0, texture.get());
    // u runs 0..2 across the screen: four texel columns of 16 pixels.
    DrawTexturedScreen(kWhite, 2.0f);
    EXPECT_EQ(Pixel(40, 10), kRed); // wrapped round
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    DrawTexturedScreen(kWhite, 2.0f);
    EXPECT_EQ(Pixel(40, 10), kGreen); // the edge texel repeated
    EXPECT_EQ(Pixel(8, 10), kRed);
    device->SetTexture(0, nullptr);
}

TEST_F(D3DDrawTest, LinesAndPoints)
{
    const ScreenVertex line[2] = {{0, 10.5f, 0.5f, 1, kGreen}, {64, 10.5f, 0.5f, 1, kGreen}};
    const ScreenVertex point = {40.5f, 30.5f, 0.5f, 1, kRed};
    device->SetFVF(kScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(ScreenVertex)), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(ScreenVertex)), D3D_OK);
    EXPECT_EQ(Pixel(30, 10), kGreen);
    EXPECT_EQ(Pixel(30, 12), kBlack);
    EXPECT_EQ(Pixel(40, 30), kRed);
}

} // namespace
