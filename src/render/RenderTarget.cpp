#include "render/RenderTarget.h"

#include <cstdio>

#include "platform/win32.h"

CRenderTarget SceneTarget;
CRenderTarget VelocityTarget;
CRenderTarget ShadowMapTarget;
CRenderTarget ParticleTarget;
CDepthTexture SceneDepth;

namespace {

// Set by any Begin on the particle target's surface (copies of the record
// included), cleared when the target is made and emptied.
bool g_ParticleTargetBegun = false;

bool Failed(const char* step, HRESULT hr, int width, int height)
{
    char text[160];
    std::snprintf(text, sizeof text, "Render target %dx%d: %s failed, hr = %08x\n", width, height, step,
                  static_cast<unsigned>(hr));
    OutputDebugStringA(text);
    return false;
}

} // namespace

bool CRenderTarget::Create(IDirect3DDevice9* targetDevice, int width, int height, D3DFORMAT colour,
                           D3DFORMAT depth)
{
    // A second Create (the bloom stages are remade on every reload) must not
    // leak the first set of objects.
    Release();
    device = targetDevice;
    colourFormat = colour;
    depthFormat = depth;
    hasDepth = false;
    if (!targetDevice || width <= 0 || height <= 0)
        return Failed("a device and a size", D3DERR_INVALIDCALL, width, height);
    HRESULT hr = D3DXCreateTexture(targetDevice, static_cast<UINT>(width), static_cast<UINT>(height), 1,
                                   D3DUSAGE_RENDERTARGET, colour, D3DPOOL_DEFAULT, &texture);
    if (FAILED(hr))
        return Failed("D3DXCreateTexture", hr, width, height);
    hr = texture->GetSurfaceLevel(0, &surface);
    if (FAILED(hr))
        return Failed("GetSurfaceLevel", hr, width, height);
    hasDepth = depth != 0;
    hr = D3DXCreateRenderToSurface(targetDevice, static_cast<UINT>(width), static_cast<UINT>(height), colour,
                                   hasDepth ? TRUE : FALSE, depth, &renderToSurface);
    if (FAILED(hr))
        return Failed("D3DXCreateRenderToSurface", hr, width, height);
    return true;
}

bool CRenderTarget::Begin()
{
    if (!renderToSurface || !surface)
        return false;
    if (surface == ParticleTarget.surface)
        g_ParticleTargetBegun = true;
    return SUCCEEDED(renderToSurface->BeginScene(surface, nullptr));
}

void CRenderTarget::End()
{
    if (renderToSurface)
        renderToSurface->EndScene(0);
}

void CRenderTarget::Release()
{
    if (texture) {
        texture->Release();
        texture = nullptr;
    }
    if (surface) {
        surface->Release();
        surface = nullptr;
    }
    if (renderToSurface) {
        renderToSurface->Release();
        renderToSurface = nullptr;
    }
}

bool CRenderTarget::SaveBmp(const std::string& name) const
{
    if (!texture)
        return false;
    return SUCCEEDED(D3DXSaveTextureToFileA((name + ".bmp").c_str(), D3DXIFF_BMP, texture, nullptr));
}

bool CDepthTexture::Create(IDirect3DDevice9* device, int width, int height)
{
    Release();
    if (!device || width <= 0 || height <= 0)
        return Failed("a device and a size", D3DERR_INVALIDCALL, width, height);
    HRESULT hr = device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), 1, D3DUSAGE_DEPTHSTENCIL,
                                       D3DFMT_D24S8, D3DPOOL_DEFAULT, &texture, nullptr);
    if (FAILED(hr))
        return Failed("the depth texture", hr, width, height);
    hr = texture->GetSurfaceLevel(0, &surface);
    if (FAILED(hr)) {
        Release();
        return Failed("the depth texture's surface", hr, width, height);
    }
    return true;
}

void CDepthTexture::Release()
{
    if (surface) {
        surface->Release();
        surface = nullptr;
    }
    if (texture) {
        texture->Release();
        texture = nullptr;
    }
}

bool CreateScreenTargets(IDirect3DDevice9* device, int width, int height)
{
    bool all = true;
    for (CRenderTarget* target : {&SceneTarget, &VelocityTarget, &ShadowMapTarget, &ParticleTarget})
        all = target->Create(device, width, height, D3DFMT_A8R8G8B8, D3DFMT_UNKNOWN) && all;
    all = SceneDepth.Create(device, width, height) && all;
    // A new texture's texels are undefined: the particle target is laid over
    // every frame, so it starts as nothing at all.
    if (ParticleTarget.Begin()) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
        ParticleTarget.End();
    }
    g_ParticleTargetBegun = false;
    return all;
}

void ReleaseScreenTargets()
{
    for (CRenderTarget* target : {&SceneTarget, &VelocityTarget, &ShadowMapTarget, &ParticleTarget})
        target->Release();
    SceneDepth.Release();
}

bool ParticleTargetIsEmpty()
{
    return ParticleTarget.texture && !g_ParticleTargetBegun;
}
