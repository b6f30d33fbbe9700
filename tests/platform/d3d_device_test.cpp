// The Direct3D 9 objects themselves: adapters, device creation, references,
// locking, surfaces and render-to-surface.
#include "d3d_fixture.h"

using namespace d3dtest;

namespace {

class D3DDeviceTest : public D3DTest {};

TEST_F(D3DDeviceTest, AdapterListCarriesTheDescriptionsGiven)
{
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    D3DADAPTER_IDENTIFIER9 id;
    platform::SetAdapterDescriptions({"Plain card", "NVIDIA PerfHUD"});
    IDirect3D9* two = Direct3DCreate9(D3D_SDK_VERSION);
    platform::SetAdapterDescriptions({});
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->GetAdapterCount(), 2u);
    ASSERT_EQ(two->GetAdapterIdentifier(1, 0, &id), D3D_OK);
    EXPECT_STREQ(id.Description, "NVIDIA PerfHUD");

    // The reference type on the second adapter gives a working device too.
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

TEST_F(D3DDeviceTest, WindowedBackBufferTakesTheClientSize)
{
    D3DPRESENT_PARAMETERS pp;
    ASSERT_EQ(device->GetPresentParameters(&pp), D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, kWidth);
    EXPECT_EQ(pp.BackBufferHeight, kHeight);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, kWidth);
    EXPECT_EQ(desc.Height, kHeight);
    back->Release();
}

TEST_F(D3DDeviceTest, SceneBracketsPairUp)
{
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(platform::GetDrawStats(device).presents, 1u);
}

TEST_F(D3DDeviceTest, BoundObjectsAreHeldByTheDevice)
{
    IDirect3DTexture9* texture = MakeTexture(1, 1, {kGreen});
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    // The caller's last reference goes; the device's keeps the texture drawable.
    EXPECT_EQ(texture->Release(), 1u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(5, 5), kGreen);

    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    EXPECT_EQ(bound->Release(), 1u);
    device->SetTexture(0, nullptr);

    // A level shares its texture's count.
    IDirect3DTexture9* other = MakeTexture(1, 1, {kRed});
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(other->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(other->Release(), 1u);
    EXPECT_EQ(level->Release(), 0u);
}

TEST_F(D3DDeviceTest, ObjectsOutlivingTheDeviceAreSafeToRelease)
{
    IDirect3DTexture9* texture = MakeTexture(2, 2, {kRed, kRed, kRed, kRed});
    IDirect3DVertexBuffer9* buffer = nullptr;
    device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    IDirect3DDevice9* owner = nullptr;
    EXPECT_EQ(texture->GetDevice(&owner), D3DERR_INVALIDCALL);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(D3DDeviceTest, LockingPartOfATextureKeepsTheRest)
{
    IDirect3DTexture9* texture = MakeTexture(4, 4, std::vector<D3DCOLOR>(16, kBlue));
    const RECT part = {1, 2, 3, 4};
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, &part, 0), D3D_OK);
    EXPECT_EQ(*static_cast<D3DCOLOR*>(locked.pBits), kBlue); // the old texel at (1, 2)
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            reinterpret_cast<D3DCOLOR*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch)[x] = kRed;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);

    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) {
        return reinterpret_cast<const D3DCOLOR*>(static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch)[x];
    };
    EXPECT_EQ(at(2, 3), kRed);
    EXPECT_EQ(at(0, 2), kBlue);
    EXPECT_EQ(at(1, 1), kBlue);
    texture->UnlockRect(0);

    const RECT outside = {3, 3, 5, 4};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    texture->Release();
}

TEST_F(D3DDeviceTest, FloatRenderTargetKeepsValuesAboveOne)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R32F, D3DPOOL_DEFAULT, &target, nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);
    device->SetRenderTarget(0, surface);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080u, 1.0f, 0);
    // White added to 0.5 gives 1.5: a float target does not clamp.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    FillRect(0, 0, 8, 8, kWhite);
    device->SetRenderTarget(0, back);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_NEAR(*static_cast<float*>(locked.pBits), 1.0f + 128.0f / 255.0f, 1e-3f);
    surface->UnlockRect();
    surface->Release();
    back->Release();
    target->Release();
}

TEST_F(D3DDeviceTest, RenderTargetDataCopiesAndStretchRectScales)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    FillRect(0, 0, 32, 24, kRed); // top-left quarter
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
    ASSERT_EQ(device->GetRenderTargetData(back, copy), D3D_OK);
    std::vector<D3DCOLOR> pixels = Read(copy);
    EXPECT_EQ(pixels[0], kRed);
    EXPECT_EQ(pixels[30 * kWidth + 40], kBlack);

    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(16, 12, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &small, nullptr),
              D3D_OK);
    ASSERT_EQ(device->StretchRect(back, nullptr, small, nullptr, D3DTEXF_POINT), D3D_OK);
    pixels = Read(small);
    EXPECT_EQ(pixels[2 * 16 + 2], kRed);
    EXPECT_EQ(pixels[10 * 16 + 12] & 0x00FFFFFFu, 0u);
    // A copy between surfaces of different sizes is refused.
    EXPECT_EQ(device->GetRenderTargetData(small, copy), D3DERR_INVALIDCALL);
    small->Release();
    copy->Release();
    back->Release();
}

TEST_F(D3DDeviceTest, DrawFromUserMemoryUnsetsTheStream)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    device->CreateVertexBuffer(4 * sizeof(ScreenVertex), 0, kScreenFvf, D3DPOOL_MANAGED, &buffer, nullptr);
    device->SetStreamSource(0, buffer, 0, sizeof(ScreenVertex));
    FillRect(0, 0, 4, 4, kRed);
    IDirect3DVertexBuffer9* stream = buffer;
    UINT offset = 1, stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    // With no stream left to draw from, a buffer draw is refused rather than guessed at.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    buffer->Release();
}

TEST_F(D3DDeviceTest, DrawsReachingPastTheirBuffersAreRefused)
{
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(ScreenVertex), 0, kScreenFvf, D3DPOOL_MANAGED, &vb, nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(6 * sizeof(WORD), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
    device->SetIndices(ib);
    device->SetFVF(kScreenFvf);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(platform::GetDrawStats(device).drawCalls, 2u);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    vb->Release();
    ib->Release();
}

TEST_F(D3DDeviceTest, RenderToSurfaceRestoresTargetDepthAndViewport)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device, 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    ID3DXRenderToSurface* rts = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(device, 16, 16, D3DFMT_A8R8G8B8, FALSE, D3DFMT_UNKNOWN, &rts), D3D_OK);

    IDirect3DSurface9 *back = nullptr, *depth = nullptr;
    device->GetRenderTarget(0, &back);
    device->GetDepthStencilSurface(&depth);
    const D3DVIEWPORT9 kept = {2, 3, 20, 10, 0.0f, 1.0f};
    device->SetViewport(&kept);

    ASSERT_EQ(rts->BeginScene(surface, nullptr), D3D_OK);
    IDirect3DSurface9* current = nullptr;
    device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, surface);
    current->Release();
    IDirect3DSurface9* noDepth = nullptr;
    EXPECT_EQ(device->GetDepthStencilSurface(&noDepth), D3DERR_NOTFOUND);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 16u);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL); // the scene is open
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
    ASSERT_EQ(rts->EndScene(0), D3D_OK);
    EXPECT_EQ(rts->EndScene(0), D3DERR_INVALIDCALL);

    device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, back);
    current->Release();
    IDirect3DSurface9* depthAfter = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depthAfter), D3D_OK);
    EXPECT_EQ(depthAfter, depth);
    depthAfter->Release();
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.X, 2u);
    EXPECT_EQ(viewport.Y, 3u);
    EXPECT_EQ(viewport.Width, 20u);
    EXPECT_EQ(viewport.Height, 10u);
    EXPECT_EQ(device->BeginScene(), D3D_OK); // the scene was closed
    device->EndScene();
    EXPECT_EQ(Read(surface)[0], kGreen);

    rts->Release();
    depth->Release();
    back->Release();
    surface->Release();
    texture->Release();
}

} // namespace
