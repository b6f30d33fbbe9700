// A fresh device per test with plain states, helpers that draw simple shapes,
// and the back buffer read back pixel by pixel.
#pragma once

#include "platform/d3dx9.h"
#include "platform/gl_device.h"

#include "offscreen_device_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace d3dtest {

// Not square, so that a swapped width and height shows.
constexpr UINT kWidth = 64;
constexpr UINT kHeight = 48;

constexpr D3DCOLOR kRed = 0xFFFF0000u;
constexpr D3DCOLOR kGreen = 0xFF00FF00u;
constexpr D3DCOLOR kBlue = 0xFF0000FFu;
constexpr D3DCOLOR kWhite = 0xFFFFFFFFu;
constexpr D3DCOLOR kBlack = 0xFF000000u;

inline int Channel(D3DCOLOR c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// Every channel within `tolerance` of the expected one.
inline ::testing::AssertionResult Near(D3DCOLOR actual, D3DCOLOR expected, int tolerance = 2)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance) {
            char text[40];
            std::snprintf(text, sizeof(text), "%08X, not near %08X", unsigned(actual), unsigned(expected));
            return ::testing::AssertionFailure() << text;
        }
    return ::testing::AssertionSuccess();
}

// Gives the reference back also when an assertion ends the test early.
struct Releaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class T>
using Ref = std::unique_ptr<T, Releaser>;

struct ScreenVertex { float x, y, z, rhw; D3DCOLOR color; };
struct ColorVertex { float x, y, z; D3DCOLOR color; };
struct TexVertex { float x, y, z, u, v; };
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr DWORD kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
constexpr DWORD kTexFvf = D3DFVF_XYZ | D3DFVF_TEX1;

class D3DTest : public ::testing::Test, protected devicetest::OffscreenDevice {
protected:
    void SetUp() override
    {
        Open("D3DTestClass", CS_CLASSDC, "test", kWidth, kHeight, devicetest::WindowedParameters());
        ASSERT_NE(classAtom, 0);
        ASSERT_EQ(created, D3D_OK);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        Clear(kBlack);
    }

    void TearDown() override { Close(); }

    void Clear(D3DCOLOR color) { device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0); }

    static std::vector<D3DCOLOR> Read(IDirect3DSurface9* surface)
    {
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadPixels(surface, &pixels), D3D_OK);
        return pixels;
    }

    std::vector<D3DCOLOR> Pixels()
    {
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadBackBuffer(device, &pixels), D3D_OK);
        pixels.resize(static_cast<size_t>(kWidth) * kHeight);
        return pixels;
    }

    D3DCOLOR Pixel(UINT x, UINT y) { return Pixels()[static_cast<size_t>(y) * kWidth + x]; }

    // A managed texture filled row by row from `texels` (0xAARRGGBB).
    Ref<IDirect3DTexture9> Texture(UINT width, UINT height, const std::vector<D3DCOLOR>& texels)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        if (texture)
            EXPECT_EQ(devicetest::FillTexture(texture, width, height, texels.data()), D3D_OK);
        return Ref<IDirect3DTexture9>(texture);
    }

    // A render-target texture and its top level.
    struct Target {
        Ref<IDirect3DTexture9> texture;
        Ref<IDirect3DSurface9> surface;
    };
    Target RenderTarget(UINT width, UINT height)
    {
        IDirect3DTexture9* texture = nullptr;
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(D3DXCreateTexture(device, width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_DEFAULT, &texture),
                  D3D_OK);
        if (texture)
            texture->GetSurfaceLevel(0, &surface);
        return {Ref<IDirect3DTexture9>(texture), Ref<IDirect3DSurface9>(surface)};
    }

    // Managed buffers holding `bytes` of `data`.
    template <class Buffer>
    static Ref<Buffer> Filled(Buffer* buffer, const void* data, UINT bytes)
    {
        void* to = nullptr;
        EXPECT_TRUE(buffer && SUCCEEDED(buffer->Lock(0, 0, &to, 0)));
        if (to) {
            std::memcpy(to, data, bytes);
            buffer->Unlock();
        }
        return Ref<Buffer>(buffer);
    }
    Ref<IDirect3DVertexBuffer9> VertexBuffer(const void* data, UINT bytes, DWORD fvf)
    {
        IDirect3DVertexBuffer9* buffer = nullptr;
        device->CreateVertexBuffer(bytes, 0, fvf, D3DPOOL_MANAGED, &buffer, nullptr);
        return Filled(buffer, data, bytes);
    }
    Ref<IDirect3DIndexBuffer9> IndexBuffer(const WORD* indices, UINT count)
    {
        IDirect3DIndexBuffer9* buffer = nullptr;
        device->CreateIndexBuffer(count * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &buffer, nullptr);
        return Filled(buffer, indices, count * 2);
    }

    Ref<IDirect3DSurface9> CurrentTarget()
    {
        IDirect3DSurface9* surface = nullptr;
        device->GetRenderTarget(0, &surface);
        return Ref<IDirect3DSurface9>(surface);
    }

    // A screen rectangle in pixels (pre-transformed vertices), as a strip.
    void FillRect(float left, float top, float right, float bottom, D3DCOLOR color, float z = 0.5f)
    {
        const ScreenVertex v[4] = {{left, top, z, 1, color}, {right, top, z, 1, color},
                                   {left, bottom, z, 1, color}, {right, bottom, z, 1, color}};
        device->SetFVF(kScreenFvf);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), D3D_OK);
    }

    // The whole target with texture coordinates 0..uMax by 0..1 (v = 0 at the top).
    void DrawTexturedScreen(D3DCOLOR diffuse = kWhite, float uMax = 1.0f)
    {
        struct Vertex { float x, y, z, rhw; D3DCOLOR color; float u, v; };
        const float w = kWidth, h = kHeight;
        const Vertex v[4] = {{0, 0, 0.5f, 1, diffuse, 0, 0}, {w, 0, 0.5f, 1, diffuse, uMax, 0},
                             {0, h, 0.5f, 1, diffuse, 0, 1}, {w, h, 0.5f, 1, diffuse, uMax, 1}};
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex)), D3D_OK);
    }
};

} // namespace d3dtest
