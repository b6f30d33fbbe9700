// The part of a texture that can show anything through the linear filter:
// the rectangle round every texel whose alpha is not zero, a texel wider on
// each side (the filter reaches half a texel; the rest is for rounding).
// Drawn alpha tested, only texels at or above the test's reference can show:
// a filtered alpha is never above the largest of the texels it is made of.
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
// `least`: the smallest alpha that can show.
TexturePart VisiblePart(const std::vector<std::uint8_t>& alpha, int width, int height, std::uint8_t least = 1);
// Read back from the texture (the whole texture when it cannot be read).
TexturePart VisiblePart(IDirect3DTexture9* texture, std::uint8_t least = 1);
