// Our Direct3D 9 device: its objects, then drawing read back pixel by pixel,
// each case failing when nothing is drawn or it lands wrong.
#include "d3d_fixture.h"

#include <cstring>

using namespace d3dtest;

namespace {

using D3DDeviceTest = D3DTest;
using D3DDrawTest = D3DTest;

TEST_F(D3DDeviceTest, AdapterListCarriesTheDescriptionsAndTheReferenceTypeWorks)
{
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    platform::SetAdapterDescriptions({"Plain card", "NVIDIA PerfHUD"});
    IDirect3D9* two = Direct3DCreate9(D3D_SDK_VERSION);
    platform::SetAdapterDescriptions({});
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->GetAdapterCount(), 2u);
    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(two->GetAdapterIdentifier(1, 0, &id), D3D_OK);
    EXPECT_STREQ(id.Description, "NVIDIA PerfHUD");

    // The game asks for the reference type on a PerfHUD adapter.
    device->Release();
    device = nullptr;
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* ref = nullptr;
    ASSERT_EQ(two->CreateDevice(1, D3DDEVTYPE_REF, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &ref), D3D_OK);
    EXPECT_EQ(ref->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    ref->Release();
    EXPECT_EQ(two->Release(), 0u);
}

TEST_F(D3DDeviceTest, WindowedBackBufferTakesTheClientSizeAndScenesPairUp)
{
    D3DPRESENT_PARAMETERS pp;
    ASSERT_EQ(device->GetPresentParameters(&pp), D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, kWidth);
    EXPECT_EQ(pp.BackBufferHeight, kHeight);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);

    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(platform::GetDrawStats(device).presents, 1u);
}

TEST_F(D3DDeviceTest, BoundObjectsAreHeldByTheDeviceAndOutlivingItIsSafe)
{
    IDirect3DTexture9* texture = Texture(1, 1, {kGreen}).release();
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    // The caller's last reference goes; the device's keeps the texture drawable.
    EXPECT_EQ(texture->Release(), 1u);
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(5, 5), kGreen);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    EXPECT_EQ(bound->Release(), 1u);
    device->SetTexture(0, nullptr);

    // A level shares its texture's count, and both outlive the device.
    IDirect3DTexture9* other = Texture(1, 1, {kRed}).release();
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(other->GetSurfaceLevel(0, &level), D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    IDirect3DDevice9* owner = nullptr;
    EXPECT_EQ(other->GetDevice(&owner), D3DERR_INVALIDCALL);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(other->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(other->Release(), 1u);
    EXPECT_EQ(level->Release(), 0u);
    EXPECT_EQ(buffer->Release(), 0u);
}

// The benchmarks read a pixel back through a small target.
TEST_F(D3DDeviceTest, StretchRectScalesIntoASmallerTarget)
{
    FillRect(0, 0, 32, 24, kRed); // top-left quarter
    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(16, 12, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &small, nullptr),
              D3D_OK);
    Ref<IDirect3DSurface9> smallRef(small);
    ASSERT_EQ(device->StretchRect(CurrentTarget().get(), nullptr, small, nullptr, D3DTEXF_POINT), D3D_OK);
    const std::vector<D3DCOLOR> pixels = Read(small);
    EXPECT_EQ(pixels[2 * 16 + 2], kRed);
    EXPECT_EQ(pixels[10 * 16 + 12] & 0x00FFFFFFu, 0u);
}

TEST_F(D3DDeviceTest, RenderToSurfaceRestoresTargetDepthAndViewport)
{
    Target target = RenderTarget(16, 16);
    ID3DXRenderToSurface* rts = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(device, 16, 16, D3DFMT_A8R8G8B8, FALSE, D3DFMT_UNKNOWN, &rts), D3D_OK);
    Ref<ID3DXRenderToSurface> rtsRef(rts);
    Ref<IDirect3DSurface9> back = CurrentTarget();
    IDirect3DSurface9* depth = nullptr;
    device->GetDepthStencilSurface(&depth);
    Ref<IDirect3DSurface9> depthRef(depth);
    const D3DVIEWPORT9 kept = {2, 3, 20, 10, 0.0f, 1.0f};
    device->SetViewport(&kept);

    ASSERT_EQ(rts->BeginScene(target.surface.get(), nullptr), D3D_OK);
    EXPECT_EQ(CurrentTarget().get(), target.surface.get());
    IDirect3DSurface9* noDepth = nullptr;
    EXPECT_EQ(device->GetDepthStencilSurface(&noDepth), D3DERR_NOTFOUND);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 16u);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL); // the scene is open
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
    ASSERT_EQ(rts->EndScene(0), D3D_OK);
    EXPECT_EQ(rts->EndScene(0), D3DERR_INVALIDCALL);

    EXPECT_EQ(CurrentTarget().get(), back.get());
    IDirect3DSurface9* depthAfter = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depthAfter), D3D_OK);
    EXPECT_EQ(Ref<IDirect3DSurface9>(depthAfter).get(), depth);
    device->GetViewport(&viewport);
    EXPECT_EQ(std::memcmp(&viewport, &kept, sizeof(kept)), 0);
    EXPECT_EQ(device->BeginScene(), D3D_OK); // the scene was closed
    device->EndScene();
    EXPECT_EQ(Read(target.surface.get())[0], kGreen);
}

TEST_F(D3DDrawTest, ClearFillsTheViewportOnly)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
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

TEST_F(D3DDrawTest, WorldViewProjectionApplyInRowVectorOrder)
{
    // Scaled by 0.5 then moved right by 0.5, the unit square covers clip x
    // 0.5..1.0 (pixels 48..63) only when scaling comes first (v * S * T).
    D3DXMATRIX scale, move;
    D3DXMatrixScaling(&scale, 0.5f, 0.5f, 1.0f);
    D3DXMatrixTranslation(&move, 0.5f, 0.0f, 0.0f);
    device->SetTransform(D3DTS_WORLD, &scale);
    device->SetTransform(D3DTS_VIEW, &move);
    const ColorVertex square[4] = {{0, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {0, -1, 0.5f, kGreen}, {1, -1, 0.5f, kGreen}};
    device->SetFVF(kColorFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, square, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(Pixel(50, 24), kGreen);
    EXPECT_EQ(Pixel(44, 24), kBlack);
    EXPECT_EQ(Pixel(50, 8), kBlack);
    EXPECT_EQ(Pixel(50, 40), kBlack);
}

// Counter-clockwise culling keeps what winds clockwise as seen, on the screen
// and through the transforms, where clip y points up.
TEST_F(D3DDrawTest, CullModesCullByOnScreenWinding)
{
    const ScreenVertex clockwise[3] = {{2, 2, 0.5f, 1, kRed}, {30, 2, 0.5f, 1, kRed}, {2, 40, 0.5f, 1, kRed}};
    const ScreenVertex counter[3] = {{34, 2, 0.5f, 1, kGreen}, {34, 40, 0.5f, 1, kGreen}, {62, 2, 0.5f, 1, kGreen}};
    const ColorVertex clipClockwise[3] = {{-1, -1, 0.5f, kBlue}, {-1, 0, 0.5f, kBlue}, {0, 0, 0.5f, kBlue}};
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetFVF(kScreenFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(ScreenVertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(ScreenVertex));
    device->SetFVF(kColorFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clipClockwise, sizeof(ColorVertex));
    EXPECT_EQ(Pixel(6, 6), kRed);
    EXPECT_EQ(Pixel(38, 6), kBlack);
    EXPECT_EQ(Pixel(3, 40), kBlue);
}

// Each draw takes its vertices from where it is told; draws that would read past their buffers,
// or from a stream a user-memory draw has unset, are refused, not guessed at.
TEST_F(D3DDrawTest, BufferDrawsStartWhereTheyAreToldAndStayInside)
{
    const ColorVertex vertices[8] = { // the left quad red, the right one green
        {-1, 1, 0.5f, kRed}, {0, 1, 0.5f, kRed}, {-1, -1, 0.5f, kRed}, {0, -1, 0.5f, kRed},
        {0, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {0, -1, 0.5f, kGreen}, {1, -1, 0.5f, kGreen}};
    const WORD indices[6] = {0, 1, 2, 2, 1, 3};
    Ref<IDirect3DVertexBuffer9> vb = VertexBuffer(vertices, sizeof(vertices), kColorFvf);
    Ref<IDirect3DIndexBuffer9> ib = IndexBuffer(indices, 6);
    ASSERT_TRUE(vb && ib);
    device->SetStreamSource(0, vb.get(), 0, sizeof(ColorVertex));
    device->SetIndices(ib.get());
    device->SetFVF(kColorFvf);
    // A strip from vertex 4, and the indices shifted by a base vertex.
    for (const bool indexed : {false, true}) {
        SCOPED_TRACE(indexed);
        Clear(kBlack);
        ASSERT_EQ(indexed ? device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2)
                          : device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 2),
                  D3D_OK);
        EXPECT_EQ(Pixel(10, 24), kBlack);
        EXPECT_EQ(Pixel(40, 10), kGreen); // the first triangle
        EXPECT_EQ(Pixel(60, 40), kGreen); // the second
    }
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 5, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 3, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(platform::GetDrawStats(device).primitives, 4u);

    FillRect(0, 0, 4, 4, kRed);
    IDirect3DVertexBuffer9* stream = vb.get();
    UINT offset = 1, stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    device->SetIndices(nullptr);
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

    // Without depth writes a nearer surface does not hide what is drawn after it.
    Clear(kBlack);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    square(-15.0f, 100.0f, kRed);
    square(-30.0f, 100.0f, kGreen);
    EXPECT_EQ(Pixel(32, 24), kGreen);
}

// A target drawn into is read and sampled upright, and shares the device's depth surface.
TEST_F(D3DDrawTest, RenderTargetsAreUprightAndShareTheDepthSurface)
{
    Target target = RenderTarget(32, 24);
    Ref<IDirect3DSurface9> back = CurrentTarget();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    FillRect(0, 0, 16, 48, kRed, 0.2f); // near, on the left, into the back buffer's depth

    ASSERT_EQ(device->SetRenderTarget(0, target.surface.get()), D3D_OK);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 32u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
    FillRect(0, 0, 32, 8, kBlue, 0.5f); // the top rows, hidden on the left by the depth
    const std::vector<D3DCOLOR> drawn = Read(target.surface.get());
    EXPECT_EQ(drawn[20], kBlue);
    EXPECT_EQ(drawn[2], kGreen);
    EXPECT_EQ(drawn[23 * 32 + 20], kGreen);

    ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Height, kHeight);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetTexture(0, target.texture.get());
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(40, 5), kBlue);
    EXPECT_EQ(Pixel(40, kHeight - 5), kGreen);
    device->SetTexture(0, nullptr);
}

TEST_F(D3DDrawTest, SamplerAddressModes)
{
    Ref<IDirect3DTexture9> texture = Texture(2, 1, {kRed, kGreen});
    device->SetTexture(0, texture.get());
    // u runs 0..2 across the screen: four texel columns of 16 pixels, modulated by the diffuse colour.
    DrawTexturedScreen(0xFF8000FFu, 2.0f);
    EXPECT_TRUE(Near(Pixel(40, 10), 0xFF800000u)); // wrapped round
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    DrawTexturedScreen(kWhite, 2.0f);
    EXPECT_EQ(Pixel(40, 10), kGreen); // the edge texel repeated
    EXPECT_EQ(Pixel(8, 10), kRed);
    device->SetTexture(0, nullptr);
}

TEST_F(D3DDrawTest, PointsLandOnTheirPixel)
{
    const ScreenVertex point = {40.5f, 30.5f, 0.5f, 1, kRed};
    device->SetFVF(kScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(ScreenVertex)), D3D_OK);
    EXPECT_EQ(Pixel(40, 30), kRed);
    EXPECT_EQ(Pixel(40, 31), kBlack);
}

} // namespace
