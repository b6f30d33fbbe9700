#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3dx9math.h"
#include "render/VisiblePart.h"

// Immediate-mode drawing of lines, axes and textured quads on the game's
// device (all through DrawPrimitiveUP). Screen-space quads use the unit
// screen: 0 is the left/top edge, 1 the right/bottom edge, whatever the window
// size. They leave the view and projection as they found them and are drawn
// whatever the cull mode.
class CDrawHelper {
public:
    // One line in the current world transform.
    void DrawLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour);
    // The world axes: X red (30 long), Y green (60), Z blue (90).
    void DrawAxes();

    // A quad covering the render target in clip space (world, view and
    // projection identity while drawing): first uv set 0..1 with v down, second
    // 0..1.5. For post-processing passes; the caller sets texture or effect.
    void DrawFullScreenQuad();
    // A unit-screen quad with depth off; with the half-texel shift its uvs move
    // by -0.5 / width and -0.5 / height. The caller sets texture or effect.
    void DrawScreenQuad(int width, int height, bool halfTexelShift);

    // The texture over the whole screen with depth off; stage 0 is left empty.
    // Every caller passes 1.0 as the value, which does not change the draw.
    void DrawFullScreenTexture(IDirect3DTexture9* texture, float value);
    // The whole texture in a rectangle of the unit screen.
    void DrawTexturedRect(IDirect3DTexture9* texture, float left, float right, float top, float bottom);
    // One frame of a horizontal strip of frames, each frameWidth wide in u.
    void DrawTexturedRectEx(IDirect3DTexture9* texture, float left, float right, float top, float bottom,
                            float frameWidth, int frameIndex);

    // The alpha test of a world quad: an alpha at or above it passes.
    static constexpr std::uint8_t kWorldQuadAlphaRef = 100;

    // A square from -size to +size in the local XY plane placed by world, seen
    // from both sides, alpha tested (alpha >= kWorldQuadAlphaRef passes).
    // Given a part of the texture, only that part of the square is drawn,
    // each point of it as the whole square would draw it.
    void DrawWorldQuad(IDirect3DTexture9* texture, const D3DXMATRIX& world, float size,
                       const TexturePart& part = TexturePart());

private:
    void DrawUnitScreenQuad(IDirect3DTexture9* texture, float left, float right, float top, float bottom,
                            float u0, float u1);
};

CDrawHelper& getDrawHelper();

// A textured square placed in the world (drawn by the scene pass).
struct WorldQuad {
    IDirect3DTexture9* texture;
    D3DXMATRIX world;
    bool visible;
};

std::vector<WorldQuad>& getWorldQuads();
// Draws every visible world quad, in list order, at size 50.
void DrawWorldQuads();
