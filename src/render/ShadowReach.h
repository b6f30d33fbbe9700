#pragma once

#include <vector>

#include "platform/d3dx9math.h"

class IEntidad3D;

// A rectangle of the shadow map in its texture coordinates (u right, v down,
// 0..1), sure to hold every texel a caster was drawn into, or every texel a
// receiver looks up before its taps spread.
struct ShadowRect {
    bool empty = true;  // nothing in it
    bool whole = false; // a point at or behind the light's eye: anywhere
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    // The least clip w of the points in it: how near the light it comes.
    float nearest = 0.0f;

    // A point in the light's clip space.
    void AddClip(float x, float y, float w);
    void Add(const ShadowRect& other);
    // Whether a caster within this rect can have drawn a texel of the map:
    // false only when it lies wholly past one of the map's sides.
    bool MayCoverMap() const;
    // Whether reads within this rect, spread by `margin`, may meet a texel
    // drawn within `drawn` (a caster's rect).
    bool MayRead(const ShadowRect& drawn, float margin) const;
};

// How far past a receiver's rect its reads can land on a width x height
// map: its taps reach one texel each way, and a caster draws every texel
// whose centre its triangles cover.
float ShadowReadMargin(unsigned width, unsigned height);

// Where a character can have drawn into the map: each vertex through every
// bone that weighs on it (its skinned place lies between those), then
// through world * light view-projection. Anything else, or a vertex naming a
// bone that `boneRows` does not hold, may have drawn anywhere.
ShadowRect CasterShadowRect(const IEntidad3D& caster, const std::vector<float>& boneRows,
                            const D3DXMATRIX& lightWorldViewProjection);

// Where a static mesh's fragments look the map up: the corners of the box
// around its vertices through world * light view-projection.
ShadowRect ReceiverShadowRect(const IEntidad3D& receiver, const D3DXMATRIX& lightWorldViewProjection);
