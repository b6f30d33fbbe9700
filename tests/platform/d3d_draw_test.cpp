// Drawing through our Direct3D 9 device, read back pixel by pixel: each case
// fails when nothing is drawn or it lands wrong (upside down, mirrored, wrong
// colour order, wrong winding, wrong depth).
#include "d3d_fixture.h"

#include "platform/d3dx9math.h"

using namespace d3dtest;

namespace {

class D3DDrawTest : public D3DTest {};

TEST_F(D3DDrawTest, ClearFillsTheViewportOnly)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    EXPECT_EQ(Pixel(0, 0), kRed);
    EXPECT_EQ(Pixel(kWidth - 1, kHeight - 1), kRed);

    // A viewport near the top-left corner: Y counts from the top.
    const D3DVIEWPORT9 viewport = {4, 2, 10, 6, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    auto at = [&](UINT x, UINT y) { return pixels[y * kWidth + x]; };
    EXPECT_EQ(at(4, 2), kBlue);
    EXPECT_EQ(at(13, 7), kBlue);
    EXPECT_EQ(at(3, 2), kRed);
    EXPECT_EQ(at(14, 7), kRed);
    EXPECT_EQ(at(4, 8), kRed);
}

TEST_F(D3DDrawTest, VertexColoursKeepTheirChannels)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    FillRect(0, 0, 32, 48, kRed);
    FillRect(32, 0, 64, 48, 0xFF102030u);
    EXPECT_EQ(Pixel(10, 10), kRed);
    EXPECT_EQ(Pixel(50, 10), 0xFF102030u);
}

TEST_F(D3DDrawTest, FullScreenTextureIsTheRightWayUp)
{
    // 2x2 texels: red, green on the top row; blue, white below.
    IDirect3DTexture9* texture = MakeTexture(2, 2, {kRed, kGreen, kBlue, kWhite});
    device->SetTexture(0, texture);

    // Clip-space quad with identity transforms, v = 0 at the top as in Direct3D.
    const TexVertex quad[4] = {{-1, 1, 0.5f, 0, 0}, {1, 1, 0.5f, 1, 0}, {-1, -1, 0.5f, 0, 1}, {1, -1, 0.5f, 1, 1}};
    device->SetFVF(kTexFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexVertex)), D3D_OK);
    EXPECT_EQ(Pixel(2, 2), kRed);
    EXPECT_EQ(Pixel(kWidth - 3, 2), kGreen);
    EXPECT_EQ(Pixel(2, kHeight - 3), kBlue);
    EXPECT_EQ(Pixel(kWidth - 3, kHeight - 3), kWhite);

    // The game's way: positions 0..1 with y down through an off-centre ortho
    // projection (a translation in row 4 that a transposed upload would lose).
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    D3DXMATRIX projection;
    D3DXMatrixOrthoOffCenterRH(&projection, 0, 1, 1, 0, -1, 1);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    const TexVertex unit[4] = {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}, {1, 1, 0, 1, 1}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, unit, sizeof(TexVertex)), D3D_OK);
    EXPECT_EQ(Pixel(2, 2), kRed);
    EXPECT_EQ(Pixel(kWidth - 3, 2), kGreen);
    EXPECT_EQ(Pixel(2, kHeight - 3), kBlue);
    EXPECT_EQ(Pixel(kWidth - 3, kHeight - 3), kWhite);

    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(D3DDrawTest, WorldViewProjectionApplyInRowVectorOrder)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    // A unit square scaled by 0.5 then moved right by 0.5: it covers clip x
    // 0..0.5 only when scaling comes first (v * S * T).
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
        device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
        device->SetRenderState(D3DRS_CULLMODE, c.mode);
        device->SetFVF(kScreenFvf);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(ScreenVertex));
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(ScreenVertex));
        EXPECT_EQ(Pixel(6, 6), c.clockwiseDrawn ? kRed : kBlack);
        EXPECT_EQ(Pixel(38, 6), c.counterDrawn ? kGreen : kBlack);
    }

    // The same through the transform path, where clip y points up.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    const ColorVertex clipClockwise[3] = {{-1, 1, 0.5f, kBlue}, {0, 1, 0.5f, kBlue}, {-1, -1, 0.5f, kBlue}};
    device->SetFVF(kColorFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clipClockwise, sizeof(ColorVertex));
    EXPECT_EQ(Pixel(3, 3), kBlue);
}

TEST_F(D3DDrawTest, AlphaTestComparesWholeNumbers)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    // Texel alphas 99, 100, 101, 255 from left to right.
    IDirect3DTexture9* texture = MakeTexture(4, 1, {0x63FF0000u, 0x64FF0000u, 0x65FF0000u, 0xFFFF0000u});
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 100);
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(8, 20), kBlue);  // 99 < 100: discarded
    EXPECT_EQ(Pixel(24, 20), kRed);  // 100 passes
    EXPECT_EQ(Pixel(40, 20), kRed);
    EXPECT_EQ(Pixel(56, 20), kRed);

    // Switched off, everything is drawn whatever the function.
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(8, 20), kRed);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(D3DDrawTest, AlphaBlendMixesWithTheTarget)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0x80FF0000u});
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawTexturedScreen();
    EXPECT_TRUE(Near(Pixel(30, 20), 0xFF80007Fu)) << Hex(Pixel(30, 20));

    // Additive (the bloom's composite): source colour times itself plus the target.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000040u, 1.0f, 0);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    IDirect3DTexture9* grey = MakeTexture(1, 1, {0xFF808080u});
    device->SetTexture(0, grey);
    DrawTexturedScreen();
    EXPECT_TRUE(Near(Pixel(30, 20), 0xFF404080u)) << Hex(Pixel(30, 20));
    device->SetTexture(0, nullptr);
    texture->Release();
    grey->Release();
}

TEST_F(D3DDrawTest, TextureIsModulatedByTheDiffuseColour)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFFFFFF80u});
    device->SetTexture(0, texture);
    DrawTexturedScreen(0xFF8000FFu);
    EXPECT_TRUE(Near(Pixel(10, 10), 0xFF800080u)) << Hex(Pixel(10, 10));

    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(D3DDrawTest, StripOfFourVerticesFromABuffer)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(ColorVertex), 0, kColorFvf, D3DPOOL_MANAGED, &buffer, nullptr),
              D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
    const ColorVertex strip[4] = {{-0.5f, 0.5f, 0.5f, kRed}, {0.5f, 0.5f, 0.5f, kRed}, {-0.5f, -0.5f, 0.5f, kRed},
                                  {0.5f, -0.5f, 0.5f, kRed}};
    std::memcpy(data, strip, sizeof(strip));
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    device->SetStreamSource(0, buffer, 0, sizeof(ColorVertex));
    device->SetFVF(kColorFvf);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    // Both triangles: the corners opposite the shared edge are filled.
    EXPECT_EQ(Pixel(18, 14), kRed);
    EXPECT_EQ(Pixel(45, 33), kRed);
    EXPECT_EQ(Pixel(45, 14), kRed);
    EXPECT_EQ(Pixel(18, 33), kRed);
    EXPECT_EQ(Pixel(10, 10), kBlack);
    EXPECT_EQ(platform::GetDrawStats(device).primitives, 2u);
    buffer->Release();
}

TEST_F(D3DDrawTest, IndexedSubsetDrawsFromItsStartIndex)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    // Two quads: the left one red, the right one green; six indices each.
    const ColorVertex vertices[8] = {
        {-1, 1, 0.5f, kRed}, {0, 1, 0.5f, kRed}, {-1, -1, 0.5f, kRed}, {0, -1, 0.5f, kRed},
        {0, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {0, -1, 0.5f, kGreen}, {1, -1, 0.5f, kGreen}};
    const WORD indices[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof(vertices), 0, kColorFvf, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(sizeof(indices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib,
                                        nullptr),
              D3D_OK);
    void* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, vertices, sizeof(vertices));
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    std::memcpy(data, indices, sizeof(indices));
    ib->Unlock();
    device->SetStreamSource(0, vb, 0, sizeof(ColorVertex));
    device->SetIndices(ib);
    device->SetFVF(kColorFvf);

    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 6, 2), D3D_OK);
    EXPECT_EQ(Pixel(10, 24), kBlack);
    EXPECT_EQ(Pixel(40, 10), kGreen);
    EXPECT_EQ(Pixel(60, 40), kGreen);

    // The base vertex shifts the first subset's indices onto the second quad's vertices.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(Pixel(10, 24), kBlack);
    EXPECT_EQ(Pixel(50, 24), kGreen);

    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    vb->Release();
    ib->Release();
}

TEST_F(D3DDrawTest, NearerSurfaceWinsWhateverTheOrder)
{
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    for (bool nearFirst : {true, false}) {
        SCOPED_TRACE(nearFirst);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
        if (nearFirst) {
            FillRect(0, 0, 40, 48, kRed, 0.2f);
            FillRect(20, 0, 64, 48, kGreen, 0.6f);
        } else {
            FillRect(20, 0, 64, 48, kGreen, 0.6f);
            FillRect(0, 0, 40, 48, kRed, 0.2f);
        }
        EXPECT_EQ(Pixel(30, 20), kRed);
        EXPECT_EQ(Pixel(50, 20), kGreen);
    }
    // Without depth writes the second draw is not hidden by the first.
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    FillRect(0, 0, 40, 48, kRed, 0.2f);
    FillRect(20, 0, 64, 48, kGreen, 0.6f);
    EXPECT_EQ(Pixel(30, 20), kGreen);
}

TEST_F(D3DDrawTest, PerspectiveDepthRunsFromZeroAtTheNearPlane)
{
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
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

TEST_F(D3DDrawTest, RenderTargetDrawnIntoThenSampled)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(device->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target,
                                    nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);

    ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 32u);
    EXPECT_EQ(viewport.Height, 32u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
    FillRect(0, 0, 32, 16, kRed); // the top half
    const std::vector<D3DCOLOR> drawn = Read(surface);
    EXPECT_EQ(drawn[0], kRed);
    EXPECT_EQ(drawn[31 * 32], kGreen);

    ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, kWidth);
    device->SetTexture(0, target);
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(10, 5), kRed);
    EXPECT_EQ(Pixel(10, kHeight - 5), kGreen);

    device->SetTexture(0, nullptr);
    surface->Release();
    back->Release();
    target->Release();
}

TEST_F(D3DDrawTest, RenderTargetsShareTheDeviceDepthSurface)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(device->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    &target, nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);

    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
    FillRect(0, 0, 32, 48, kRed, 0.2f); // near, on the left, into the back buffer's depth

    device->SetRenderTarget(0, surface);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    FillRect(0, 0, 64, 48, kGreen, 0.5f); // behind the left half's depth
    const std::vector<D3DCOLOR> pixels = Read(surface);
    EXPECT_EQ(pixels[20 * kWidth + 10], kBlue);
    EXPECT_EQ(pixels[20 * kWidth + 50], kGreen);

    device->SetRenderTarget(0, back);
    surface->Release();
    back->Release();
    target->Release();
}

TEST_F(D3DDrawTest, SamplerAddressModes)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    IDirect3DTexture9* texture = MakeTexture(2, 1, {kRed, kGreen});
    device->SetTexture(0, texture);
    // u runs 0..2 across the screen: four texel columns of 16 pixels.
    const ScreenTexVertex v[4] = {{0, 0, 0.5f, 1, kWhite, 0, 0},
                                  {64, 0, 0.5f, 1, kWhite, 2, 0},
                                  {0, 48, 0.5f, 1, kWhite, 0, 1},
                                  {64, 48, 0.5f, 1, kWhite, 2, 1}};
    device->SetFVF(kScreenTexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenTexVertex));
    EXPECT_EQ(Pixel(40, 10), kRed); // wrapped round
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenTexVertex));
    EXPECT_EQ(Pixel(40, 10), kGreen); // the edge texel repeated
    EXPECT_EQ(Pixel(8, 10), kRed);

    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(D3DDrawTest, LinesAndPoints)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    const ScreenVertex line[2] = {{0, 10.5f, 0.5f, 1, kGreen}, {64, 10.5f, 0.5f, 1, kGreen}};
    device->SetFVF(kScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(ScreenVertex)), D3D_OK);
    EXPECT_EQ(Pixel(30, 10), kGreen);
    EXPECT_EQ(Pixel(30, 12), kBlack);
    const ScreenVertex point = {40.5f, 30.5f, 0.5f, 1, kRed};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(ScreenVertex)), D3D_OK);
    EXPECT_EQ(Pixel(40, 30), kRed);
}

} // namespace
