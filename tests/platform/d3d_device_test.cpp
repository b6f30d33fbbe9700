// The Direct3D 9 objects themselves: adapters, device creation, references,
// surfaces, draw validation and render-to-surface.
#include "d3d_fixture.h"

#include <cstring>

using namespace d3dtest;

namespace {

using D3DDeviceTest = D3DTest;

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
    D3DSURFACE_DESC desc;
    CurrentTarget()->GetDesc(&desc);
    EXPECT_EQ(desc.Width, kWidth);
    EXPECT_EQ(desc.Height, kHeight);

    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(platform::GetDrawStats(device).presents, 1u);
}

TEST_F(D3DDeviceTest, BoundObjectsAreHeldByTheDevice)
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

    // A level shares its texture's count.
    IDirect3DTexture9* other = Texture(1, 1, {kRed}).release();
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(other->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(other->Release(), 1u);
    EXPECT_EQ(level->Release(), 0u);
}

TEST_F(D3DDeviceTest, ObjectsOutlivingTheDeviceAreSafeToRelease)
{
    IDirect3DTexture9* texture = Texture(2, 2, {kRed, kRed, kRed, kRed}).release();
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

// Draws that would read past their buffers, or from a stream a user-memory
// draw has unset, are refused rather than guessed at.
TEST_F(D3DDeviceTest, DrawsReachingPastTheirBuffersAreRefused)
{
    const ScreenVertex quad[4] = {};
    const WORD indices[6] = {0, 1, 2, 2, 1, 3};
    Ref<IDirect3DVertexBuffer9> vbRef = VertexBuffer(quad, sizeof(quad), kScreenFvf);
    Ref<IDirect3DIndexBuffer9> ibRef = IndexBuffer(indices, 6);
    IDirect3DVertexBuffer9* vb = vbRef.get();
    ASSERT_TRUE(vb && ibRef);
    device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
    device->SetIndices(ibRef.get());
    device->SetFVF(kScreenFvf);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(platform::GetDrawStats(device).drawCalls, 2u);

    FillRect(0, 0, 4, 4, kRed);
    IDirect3DVertexBuffer9* stream = vb;
    UINT offset = 1, stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    device->SetIndices(nullptr);
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

} // namespace
