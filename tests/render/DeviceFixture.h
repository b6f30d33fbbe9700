// A small window with the game's device made by InitD3D, for drawing tests
// that read the back buffer back. Shared by the render and app tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/Startup.h"
#include "platform/d3d9.h"
#include "platform/d3dx9math.h"
#include "platform/d3dx9tex.h"
#include "platform/win32.h"

namespace drawtest {

constexpr int kSize = 64;
constexpr D3DCOLOR kBlack = 0xFF000000;

inline LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

inline D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_CLASSDC;
        wc.lpfnWndProc = TestWindowProc;
        wc.lpszClassName = "DrawTestClass";
        RegisterClassExA(&wc);
        m_Window = CreateWindowExA(0, "DrawTestClass", "draw test", WS_OVERLAPPEDWINDOW, 0, 0, kSize, kSize,
                                   nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_Window, nullptr);
        windowed = true;
        ASSERT_EQ(InitD3D(m_Window), S_OK);
        ASSERT_NE(D3DDevice, nullptr);
        ClearTo(kBlack);
    }

    void TearDown() override
    {
        ReleaseDevice();
        if (m_Window)
            DestroyWindow(m_Window);
        UnregisterClassA("DrawTestClass", nullptr);
    }

    void ClearTo(D3DCOLOR colour)
    {
        D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
    }

    // The whole back buffer as 0xAARRGGBB values, row 0 at the top.
    std::vector<D3DCOLOR> BackBuffer()
    {
        std::vector<D3DCOLOR> pixels;
        IDirect3DSurface9* surface = nullptr;
        if (FAILED(D3DDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface)))
            return pixels;
        D3DSURFACE_DESC desc;
        surface->GetDesc(&desc);
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            pixels.resize(desc.Width * desc.Height);
            for (UINT y = 0; y < desc.Height; ++y) {
                std::memcpy(&pixels[y * desc.Width], static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch,
                            desc.Width * 4);
            }
            surface->UnlockRect();
        }
        surface->Release();
        return pixels;
    }

    // The colour of one pixel, alpha ignored (the back buffer has none).
    D3DCOLOR Pixel(int x, int y)
    {
        std::vector<D3DCOLOR> pixels = BackBuffer();
        if (pixels.empty())
            return 0;
        return pixels[y * kSize + x] | 0xFF000000;
    }

    // A point-sampled A8R8G8B8 texture of w x h texels given row by row, top first.
    IDirect3DTexture9* MakeTexture(UINT w, UINT h, const std::vector<D3DCOLOR>& texels)
    {
        IDirect3DTexture9* texture = nullptr;
        if (FAILED(D3DDevice->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
            return nullptr;
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
            for (UINT y = 0; y < h; ++y)
                std::memcpy(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch, &texels[y * w], w * 4);
            texture->UnlockRect(0);
        }
        return texture;
    }

    void PointSampling()
    {
        D3DDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        D3DDevice->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
        D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    }

    void IdentityTransforms()
    {
        const D3DXMATRIX identity = Identity();
        D3DDevice->SetTransform(D3DTS_WORLD, &identity);
        D3DDevice->SetTransform(D3DTS_VIEW, &identity);
        D3DDevice->SetTransform(D3DTS_PROJECTION, &identity);
    }

    HWND m_Window = nullptr;
};

// Runs a test inside a fresh empty folder (files the game opens by relative
// name land there) and returns to the previous folder afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name)
    {
        m_Previous = std::filesystem::current_path();
        m_Folder = std::filesystem::temp_directory_path() / ("vantorel_" + name + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_Folder);
        std::filesystem::create_directories(m_Folder);
        std::filesystem::current_path(m_Folder);
    }
    ~ScratchFolder()
    {
        std::filesystem::current_path(m_Previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_Folder, ignored);
    }

private:
    std::filesystem::path m_Previous;
    std::filesystem::path m_Folder;
};

} // namespace drawtest
