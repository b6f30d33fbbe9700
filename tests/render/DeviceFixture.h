// A small window with the game's device made by InitD3D, for drawing tests that
// read the back buffer back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "platform/d3dx9math.h"
#include "platform/d3dx9tex.h"
#include "platform/offscreen_device_fixture.h"
#include "xml/temp_folder.h"

namespace drawtest {

constexpr int kSize = 64;
constexpr D3DCOLOR kBlack = 0xFF000000;

// The largest difference between two colours' red, green and blue (alpha is
// not shown).
inline int ChannelDifference(D3DCOLOR a, D3DCOLOR b)
{
    int most = 0;
    for (int shift : {0, 8, 16})
        most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return most;
}

struct Releaser {
    void operator()(IUnknown* object) const { object->Release(); }
};

// A kSize x kSize window of its own class for the game's device; closed with CloseTestWindow.
inline HWND OpenTestWindow(const char* className)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    WNDCLASSEXA wc{sizeof(wc), CS_CLASSDC, devicetest::PlainWindowProc};
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
    windowed = true;
    return CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, kSize, kSize, nullptr, nullptr,
                           nullptr, nullptr);
}
inline void CloseTestWindow(HWND window, const char* className)
{
    if (window)
        DestroyWindow(window);
    UnregisterClassA(className, nullptr);
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Window = OpenTestWindow("DrawTestClass");
        ASSERT_NE(m_Window, nullptr);
        ASSERT_EQ(InitD3D(m_Window), S_OK);
        ClearTo(kBlack);
    }

    void TearDown() override
    {
        m_Textures.clear();
        ReleaseDevice();
        CloseTestWindow(m_Window, "DrawTestClass");
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
        const std::vector<D3DCOLOR> pixels = BackBuffer();
        return std::all_of(pixels.begin(), pixels.end(), [](D3DCOLOR c) { return (c | kBlack) == kBlack; });
    }

    // A point-sampled texture of w x h texels given row by row, top first.
    IDirect3DTexture9* Texture(UINT w, UINT h, const std::vector<D3DCOLOR>& texels)
    {
        IDirect3DTexture9* texture = nullptr;
        if (SUCCEEDED(D3DDevice->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
            devicetest::FillTexture(texture, w, h, texels.data());
        m_Textures.emplace_back(texture);
        return texture;
    }

    void IdentityTransforms()
    {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        for (D3DTRANSFORMSTATETYPE state : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION})
            D3DDevice->SetTransform(state, &identity);
    }

    HWND m_Window = nullptr;
    std::vector<std::unique_ptr<IDirect3DTexture9, Releaser>> m_Textures;
};

// A fresh working folder for one test (files the game opens by relative name
// land there); the label is the caller's, the folder's name is made unique.
class ScratchFolder : public TempFolder {
public:
    explicit ScratchFolder(const std::string& = {}) : m_Previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(Path());
    }
    ~ScratchFolder() { std::filesystem::current_path(m_Previous); }

private:
    std::filesystem::path m_Previous;
};

} // namespace drawtest
