#pragma once

#include "platform/d3d9.h"

// The vertex layouts the game draws with. Sizes and field order are fixed:
// the mesh files, the skinning shader and the particle shader read them as
// they are, so each layout is checked at compile time below.

// Lines and other untextured debug geometry.
struct CUSTOMVERTEX {
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    float x, y, z;
    D3DCOLOR color;
};

// Screen and world quads: a texture set and a second set for the composite.
struct DOUBLE_TEXTURED_VERTEX {
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_TEX2;
    float x, y, z;
    float tu, tv;
    float tu2, tv2;
};

struct NORMAL_TEXTURED_VERTEX {
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
    float tu2, tv2;
};

// Normal-mapped static meshes; tw is the handedness of the uv frame (+1/-1).
struct NORMAL_TANGENT_TEXTURED_VERTEX {
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE4(2);
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
    float tu2, tv2;
    float tx, ty, tz, tw;
};

// Skinned characters. Four bone weights and four palette indices, one per
// colour byte (red = first, green = second, blue = third, alpha = fourth).
struct TCalNormalVertex {
    static constexpr DWORD FVF =
        D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE4(2);
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR weights;
    D3DCOLOR indices;
    float tu, tv;
    float tu2, tv2;
    float tx, ty, tz, tw;
};

// One corner of a particle quad: x and y are the corner (0 or 1), z the
// particle's first register in the shader's constant array.
struct PARTICLE_VERTEX {
    static constexpr DWORD FVF = D3DFVF_XYZ;
    float x, y, z;
};

static_assert(sizeof(CUSTOMVERTEX) == 16, "CUSTOMVERTEX layout");
static_assert(sizeof(DOUBLE_TEXTURED_VERTEX) == 28, "DOUBLE_TEXTURED_VERTEX layout");
static_assert(sizeof(NORMAL_TEXTURED_VERTEX) == 40, "NORMAL_TEXTURED_VERTEX layout");
static_assert(sizeof(NORMAL_TANGENT_TEXTURED_VERTEX) == 56, "NORMAL_TANGENT_TEXTURED_VERTEX layout");
static_assert(sizeof(TCalNormalVertex) == 64, "TCalNormalVertex layout");
static_assert(sizeof(PARTICLE_VERTEX) == 12, "PARTICLE_VERTEX layout");

static_assert(CUSTOMVERTEX::FVF == 0x42, "CUSTOMVERTEX format");
static_assert(DOUBLE_TEXTURED_VERTEX::FVF == 0x202, "DOUBLE_TEXTURED_VERTEX format");
static_assert(NORMAL_TEXTURED_VERTEX::FVF == 0x212, "NORMAL_TEXTURED_VERTEX format");
static_assert(NORMAL_TANGENT_TEXTURED_VERTEX::FVF == 0x200312, "NORMAL_TANGENT_TEXTURED_VERTEX format");
static_assert(TCalNormalVertex::FVF == 0x2003D2, "TCalNormalVertex format");
static_assert(PARTICLE_VERTEX::FVF == 0x2, "PARTICLE_VERTEX format");
