// A texture to draw into, with the render-to-surface helper that switches
// the device to it and back.
#pragma once

#include <string>

#include "platform/d3d9.h"
#include "platform/d3dx9tex.h"

// A plain record: copies share the same Direct3D objects, and only Release
// frees them (the game keeps its targets until the device goes).
struct CRenderTarget {
    // A 1-level render-target texture of the size and colour format, its level
    // 0 surface and a render-to-surface helper (with a depth buffer of its own
    // only when a depth format is given). Whatever the record held before is
    // released first. False at the first failed step, which is also written to
    // the debug output; what was made so far is kept, and a target without
    // its helper draws nothing.
    bool Create(IDirect3DDevice9* device, int width, int height, D3DFORMAT colourFormat, D3DFORMAT depthFormat);
    // Draws into the whole surface until End. False, with the device left as
    // it was, when the target was never made.
    bool Begin();
    void End();
    // Releases texture, surface and helper, in that order.
    void Release();
    // Writes the texture to name + ".bmp".
    bool SaveBmp(const std::string& name) const;

    bool IsCreated() const { return renderToSurface && texture && surface; }

    ID3DXRenderToSurface* renderToSurface = nullptr;
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DFORMAT colourFormat = D3DFMT_UNKNOWN;
    D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
    bool hasDepth = false;
};

// The four screen-size targets made with the device: the scene, the
// motion-blur velocity, the shadow map and the particles.
extern CRenderTarget SceneTarget;
extern CRenderTarget VelocityTarget;
extern CRenderTarget ShadowMapTarget;
extern CRenderTarget ParticleTarget;

// The depth of the level's passes, kept where the frame's last pass can read
// it: the composite works out the camera's smear of every still object from
// it. Made with the screen targets; its surface stands in for the device's
// depth buffer while the level is drawn.
struct CDepthTexture {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    bool Create(IDirect3DDevice9* device, int width, int height);
    void Release();
};
extern CDepthTexture SceneDepth;

// Makes the four targets at the client size (A8R8G8B8, no depth buffer of
// their own: they share the device's), and the scene's depth texture. True
// when all were made; each failure is on the debug output.
bool CreateScreenTargets(IDirect3DDevice9* device, int width, int height);
// True while the particle target holds nothing but the transparent black it
// was made with: nothing has begun drawing into it since. Laying it over the
// frame then changes nothing.
bool ParticleTargetIsEmpty();
// Releases the four and the depth texture (before the device goes).
void ReleaseScreenTargets();
