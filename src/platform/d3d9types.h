// The plain Direct3D 9 value types shared by the renderer and the math layer.
#pragma once

#include <cstdint>

typedef std::uint32_t D3DCOLOR;

// A packed colour, 0xAARRGGBB (bytes B, G, R, A in memory).
#define D3DCOLOR_ARGB(a, r, g, b)                                                          \
    ((D3DCOLOR)(((((D3DCOLOR)(a)) & 0xffu) << 24) | ((((D3DCOLOR)(r)) & 0xffu) << 16) |    \
                ((((D3DCOLOR)(g)) & 0xffu) << 8) | (((D3DCOLOR)(b)) & 0xffu)))
#define D3DCOLOR_RGBA(r, g, b, a) D3DCOLOR_ARGB(a, r, g, b)
#define D3DCOLOR_XRGB(r, g, b) D3DCOLOR_ARGB(0xff, r, g, b)
// Channels in 0..1; like Direct3D's, this truncates rather than rounds.
#define D3DCOLOR_COLORVALUE(r, g, b, a)                                                    \
    D3DCOLOR_RGBA((D3DCOLOR)((r) * 255.f), (D3DCOLOR)((g) * 255.f), (D3DCOLOR)((b) * 255.f), \
                  (D3DCOLOR)((a) * 255.f))

struct D3DVECTOR {
    float x, y, z;
};

// Row-major 4x4 matrix: _RC is row R, column C, and m[R-1][C-1] is the same float.
struct D3DMATRIX {
    union {
        struct {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };
};

// The DWORD-typed fields use unsigned long, as the DWORD of "platform/win32.h" does.
struct D3DVIEWPORT9 {
    unsigned long X, Y, Width, Height;
    float MinZ, MaxZ;
};
