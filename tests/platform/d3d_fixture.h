// A small window with our Direct3D 9 device on it, and helpers to draw simple
// shapes and read pixels back, for the device and D3DX texture tests.
#pragma once

#include "platform/d3d9.h"
#include "platform/d3dx9tex.h"
#include "platform/gl_device.h"
#include "platform/win32.h"

#include "offscreen_device_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace d3dtest {

constexpr const char* kClass = "D3DTestClass";
constexpr UINT kWidth = 64;
constexpr UINT kHeight = 48;

// Vertex layouts used by the tests.
struct ScreenVertex { // D3DFVF_XYZRHW | D3DFVF_DIFFUSE
    float x, y, z, rhw;
    D3DCOLOR color;
};
struct ScreenTexVertex { // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
struct ColorVertex { // D3DFVF_XYZ | D3DFVF_DIFFUSE
    float x, y, z;
    D3DCOLOR color;
};
struct TexVertex { // D3DFVF_XYZ | D3DFVF_TEX1
    float x, y, z;
    float u, v;
};

constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr DWORD kScreenTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
constexpr DWORD kTexFvf = D3DFVF_XYZ | D3DFVF_TEX1;

constexpr D3DCOLOR kRed = 0xFFFF0000u;
constexpr D3DCOLOR kGreen = 0xFF00FF00u;
constexpr D3DCOLOR kBlue = 0xFF0000FFu;
constexpr D3DCOLOR kWhite = 0xFFFFFFFFu;
constexpr D3DCOLOR kBlack = 0xFF000000u;

inline int ChannelOf(D3DCOLOR c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// True when every channel is within `tolerance` of the expected one.
inline bool Near(D3DCOLOR actual, D3DCOLOR expected, int tolerance = 2)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(ChannelOf(actual, shift) - ChannelOf(expected, shift)) > tolerance)
            return false;
    return true;
}

inline std::string Hex(D3DCOLOR c)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%08X", static_cast<unsigned>(c));
    return text;
}

class D3DTest : public ::testing::Test, protected devicetest::OffscreenDevice {
protected:
    void SetUp() override
    {
        Open(kClass, CS_CLASSDC, "test", kWidth, kHeight, devicetest::WindowedParameters());
        ASSERT_NE(classAtom, 0);
        ASSERT_NE(window, nullptr);
        ASSERT_NE(d3d, nullptr);
        ASSERT_EQ(created, D3D_OK);
        ASSERT_NE(device, nullptr);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    void TearDown() override { Close(); }

    // Every pixel of a surface as 0xAARRGGBB, rows top first.
    static std::vector<D3DCOLOR> Read(IDirect3DSurface9* surface)
    {
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadPixels(surface, &pixels), D3D_OK);
        return pixels;
    }

    std::vector<D3DCOLOR> ReadBackBuffer()
    {
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadBackBuffer(device, &pixels), D3D_OK);
        return pixels;
    }

    D3DCOLOR Pixel(UINT x, UINT y)
    {
        return ReadBackBuffer()[static_cast<size_t>(y) * kWidth + x];
    }

    // A managed A8R8G8B8 texture filled row by row from `texels` (0xAARRGGBB).
    IDirect3DTexture9* MakeTexture(UINT width, UINT height, const std::vector<D3DCOLOR>& texels,
                                   D3DFORMAT format = D3DFMT_A8R8G8B8)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        EXPECT_EQ(devicetest::FillTexture(texture, width, height, texels.data()), D3D_OK);
        return texture;
    }

    // A screen rectangle in pixels (pre-transformed vertices), as a strip.
    void FillRect(float left, float top, float right, float bottom, D3DCOLOR color, float z = 0.5f)
    {
        const ScreenVertex v[4] = {{left, top, z, 1, color},
                                   {right, top, z, 1, color},
                                   {left, bottom, z, 1, color},
                                   {right, bottom, z, 1, color}};
        device->SetFVF(kScreenFvf);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), D3D_OK);
    }

    // The whole target with texture coordinates 0..1 (v = 0 at the top).
    void DrawTexturedScreen(D3DCOLOR diffuse = kWhite, float width = kWidth, float height = kHeight)
    {
        const ScreenTexVertex v[4] = {{0, 0, 0.5f, 1, diffuse, 0, 0},
                                      {width, 0, 0.5f, 1, diffuse, 1, 0},
                                      {0, height, 0.5f, 1, diffuse, 0, 1},
                                      {width, height, 0.5f, 1, diffuse, 1, 1}};
        device->SetFVF(kScreenTexFvf);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenTexVertex)), D3D_OK);
    }

};

} // namespace d3dtest
