// The part of a texture that can show anything through the linear filter:
// the rectangle round every texel whose alpha is not zero, a texel wider on
// each side (the filter reaches half a texel; the rest is for rounding).
// Only the first level is read: the fixed-function path that draws with it
// samples no other (its mip filter stays at none).
#pragma once

#include <cstdint>
#include <vector>

struct IDirect3DTexture9;

struct TexturePart {
    // In texture coordinates (v down), the whole texture by default.
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
};

// One byte of alpha per texel, rows from the top; the whole texture when
// nothing is visible or the size does not match.
TexturePart VisiblePart(const std::vector<std::uint8_t>& alpha, int width, int height);
// Read back from the texture (the whole texture when it cannot be read).
TexturePart VisiblePart(IDirect3DTexture9* texture);
