// A small window with the game's device made by InitD3D, for drawing tests
// that read the back buffer back. Shared by the render, scene, world, app and tools tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/Startup.h"
#include "platform/d3dx9math.h"
#include "platform/d3dx9tex.h"
#include "platform/offscreen_device_fixture.h"

namespace drawtest {

constexpr int kSize = 64;
constexpr D3DCOLOR kBlack = 0xFF000000;

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSEXA wc{sizeof(wc), CS_CLASSDC, devicetest::PlainWindowProc};
        wc.lpszClassName = "DrawTestClass";
        RegisterClassExA(&wc);
        m_Window = CreateWindowExA(0, "DrawTestClass", "draw test", WS_OVERLAPPEDWINDOW, 0, 0, kSize, kSize,
                                   nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_Window, nullptr);
        windowed = true;
        ASSERT_EQ(InitD3D(m_Window), S_OK);
        ClearTo(kBlack);
    }

    void TearDown() override
    {
        ReleaseTextures();
        ReleaseDevice();
        if (m_Window)
            DestroyWindow(m_Window);
        UnregisterClassA("DrawTestClass", nullptr);
    }

    void ClearTo(D3DCOLOR colour) { D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0); }

    // The whole back buffer as 0xAARRGGBB values, row 0 at the top.
    std::vector<D3DCOLOR> BackBuffer()
    {
        std::vector<D3DCOLOR> pixels;
        devicetest::ReadBackBuffer(D3DDevice, &pixels);
        return pixels;
    }

    // The colour of one pixel, alpha ignored (the back buffer has none).
    D3DCOLOR Pixel(int x, int y)
    {
        const std::vector<D3DCOLOR> pixels = BackBuffer();
        return pixels.empty() ? 0 : pixels[y * kSize + x] | 0xFF000000;
    }

    bool AllBlack()
    {
        for (D3DCOLOR c : BackBuffer())
            if ((c | 0xFF000000) != kBlack)
                return false;
        return true;
    }

    // A point-sampled A8R8G8B8 texture of w x h texels given row by row, top
    // first, released by the fixture.
    IDirect3DTexture9* Texture(UINT w, UINT h, const std::vector<D3DCOLOR>& texels)
    {
        IDirect3DTexture9* texture = nullptr;
        if (SUCCEEDED(D3DDevice->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
            devicetest::FillTexture(texture, w, h, texels.data());
        m_Textures.push_back(texture);
        return texture;
    }
    void ReleaseTextures()
    {
        for (IDirect3DTexture9* texture : m_Textures)
            if (texture)
                texture->Release();
        m_Textures.clear();
    }

    void IdentityTransforms()
    {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        for (D3DTRANSFORMSTATETYPE state : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION})
            D3DDevice->SetTransform(state, &identity);
    }

    HWND m_Window = nullptr;
    std::vector<IDirect3DTexture9*> m_Textures;
};

// Runs a test inside a fresh empty folder (files the game opens by relative
// name land there) and returns to the previous folder afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name)
        : m_Previous(std::filesystem::current_path()),
          m_Folder(std::filesystem::temp_directory_path() / ("vantorel_" + name + "_" + std::to_string(::getpid())))
    {
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
