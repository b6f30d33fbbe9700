// Our D3DX texture helpers: textures from image files, empty textures, saving a
// texture as an image, and render-to-surface.
#pragma once

#include "platform/d3d9.h"

#define D3DX_DEFAULT (static_cast<UINT>(-1))
#define D3DX_DEFAULT_NONPOW2 (static_cast<UINT>(-2))
#define D3DX_FROM_FILE (static_cast<UINT>(-3))

// Image filters (only whether one is asked for matters here: mips are boxed).
enum : DWORD {
    D3DX_FILTER_NONE = 1,
    D3DX_FILTER_POINT = 2,
    D3DX_FILTER_LINEAR = 3,
    D3DX_FILTER_TRIANGLE = 4,
    D3DX_FILTER_BOX = 5
};

enum D3DXIMAGE_FILEFORMAT {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_FORCE_DWORD = 0x7fffffff
};

constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59u);

// A texture from an image file: JPEG, PNG, TGA, BMP (decoded by stb_image) or an
// uncompressed 32-bit DDS. The file name goes through platform::OpenFile, so it
// is found whatever its case. The texture keeps the image's size (no rounding
// to powers of two), is D3DFMT_A8R8G8B8 when the image has alpha and
// D3DFMT_X8R8G8B8 otherwise, has a full mip chain (a DDS keeps the levels it
// brings), and lives in D3DPOOL_MANAGED. Failures: D3DXERR_INVALIDDATA for a
// file that is missing or does not decode (compressed DDS files included),
// D3DERR_INVALIDCALL for null arguments; *texture is then null.
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR fileName, IDirect3DTexture9** texture);
// The same from file contents in memory.
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture);

// An empty texture. D3DX_DEFAULT sizes become 256; mipLevels 0 or D3DX_DEFAULT
// gives the whole chain.
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

// Writes level 0 of a texture to a file: BMP (24-bit), PNG, TGA or JPG. The
// texels are read back from the texture, so render targets save what was drawn.
// Float formats are clamped to 0..1. The palette is ignored.
HRESULT D3DXSaveTextureToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT format, IDirect3DBaseTexture9* texture,
                               const void* palette);

struct D3DXRTS_DESC {
    UINT Width;
    UINT Height;
    D3DFORMAT Format;
    BOOL DepthStencil;
    D3DFORMAT DepthStencilFormat;
};

// Draws into a texture surface between BeginScene and EndScene: BeginScene
// keeps the device's render target, depth-stencil surface and viewport, sets the
// surface as render target, its own depth-stencil surface (made when asked for
// at creation; otherwise none) and the viewport (the whole surface when null),
// and begins the device's scene. EndScene ends the scene, rebuilds the mips of
// the surface's texture unless the filter is 0 or D3DX_FILTER_NONE, and puts the
// kept target, depth-stencil surface and viewport back.
struct ID3DXRenderToSurface : public IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetDesc(D3DXRTS_DESC* desc) = 0;
    virtual HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT EndScene(DWORD mipFilter) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface);
