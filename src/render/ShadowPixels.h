#pragma once

#include "platform/d3dx9math.h"

class IEntidad3D;

// The lit shader keeps a point's distance from light 1 as a share of this,
// and counts a point as behind a caster past this share of it.
constexpr float kShadowFar = 10000.0f;
constexpr float kShadowBias = 0.0006f;

// Whole pixels of a target: left and top included, right and bottom not.
struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};

// The part of light 1's view where the shadow map's taps can give a point
// another light than the map's cleared background gives it: within the map
// rect the taps can read a caster's texels from (u left, v top, u right,
// v bottom), and farther along the light's axis (its clip w) than the
// nearest caster by the shadow bias, up to where the map's reach ends.
struct ShadowVolume {
    D3DXMATRIX lightViewProjection;
    float left = 0.0f, top = 0.0f, right = 1.0f, bottom = 1.0f;
    // The nearest caster's clip w.
    float nearestCaster = 0.0f;
};

// The pixels of a width x height target, seen through `viewProjection`, where
// some triangle of the receiver (placed by its world matrix) meets the
// volume: only there can its taps change the shading. False when that is not
// known: no mesh, no indexed triangle list, or more triangles than are worth
// the reckoning every frame.
bool ShadowPixelsOf(const IEntidad3D& receiver, const ShadowVolume& volume, const D3DXMATRIX& viewProjection,
                    int width, int height, PixelRect& pixels);

// The rest of a target around a rect, as up to four bands (above, below,
// left, right); returns how many.
int PixelsAround(const PixelRect& inner, int width, int height, PixelRect bands[4]);
