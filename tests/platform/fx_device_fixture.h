// A small device on a hidden window for the effect and font tests: one per
// test suite (creating a GL context is the slow part), cleared and reset to
// plain states before each test, with the back buffer read back as pixels.
#pragma once

#include "platform/d3dx9.h"
#include "platform/gl_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace fxtest {

constexpr int kSize = 64;

inline LRESULT CALLBACK FxWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class DeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = FxWindowProc;
        wc.lpszClassName = "FxDeviceTest";
        RegisterClassExA(&wc);
        s_Window = CreateWindowExA(0, "FxDeviceTest", "fx", WS_OVERLAPPEDWINDOW, 0, 0, kSize, kSize, nullptr,
                                   nullptr, nullptr, nullptr);
        s_D3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!s_Window || !s_D3d) return;
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.BackBufferWidth = kSize;
        pp.BackBufferHeight = kSize;
        pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (FAILED(s_D3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, s_Window,
                                       D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &s_Device)))
            s_Device = nullptr;
    }

    static void TearDownTestSuite() {
        if (s_Device) s_Device->Release();
        if (s_D3d) s_D3d->Release();
        if (s_Window) DestroyWindow(s_Window);
        UnregisterClassA("FxDeviceTest", nullptr);
        s_Device = nullptr;
        s_D3d = nullptr;
        s_Window = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(s_Device, nullptr) << "no device";
        device = s_Device;
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        device->SetTexture(0, nullptr);
        Clear(0xFF000000);
    }

    void TearDown() override {
        if (device) {
            device->SetTexture(0, nullptr);
            platform::UseEffectProgram(device, 0);
        }
    }

    void Clear(D3DCOLOR color) { device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0); }

    // The back buffer as D3DCOLORs, row 0 at the top.
    std::vector<D3DCOLOR> Pixels() {
        std::vector<D3DCOLOR> out;
        IDirect3DSurface9* surface = nullptr;
        if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface))) return out;
        out = SurfacePixels(surface);
        surface->Release();
        return out;
    }

    static std::vector<D3DCOLOR> SurfacePixels(IDirect3DSurface9* surface) {
        std::vector<D3DCOLOR> out;
        D3DSURFACE_DESC desc;
        D3DLOCKED_RECT locked;
        if (FAILED(surface->GetDesc(&desc)) || FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY)))
            return out;
        for (UINT y = 0; y < desc.Height; ++y) {
            const D3DCOLOR* row =
                reinterpret_cast<const D3DCOLOR*>(static_cast<const char*>(locked.pBits) + y * locked.Pitch);
            out.insert(out.end(), row, row + desc.Width);
        }
        surface->UnlockRect();
        return out;
    }

    D3DCOLOR Pixel(int x, int y) {
        std::vector<D3DCOLOR> p = Pixels();
        return p.empty() ? 0 : p[static_cast<size_t>(y) * kSize + x] | 0xFF000000u;
    }

    // A managed A8R8G8B8 texture of the given texels, row 0 first.
    IDirect3DTexture9* MakeTexture(UINT width, UINT height, const std::vector<D3DCOLOR>& texels) {
        IDirect3DTexture9* texture = nullptr;
        if (FAILED(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                         nullptr)))
            return nullptr;
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
            for (UINT y = 0; y < height; ++y)
                for (UINT x = 0; x < width; ++x)
                    reinterpret_cast<D3DCOLOR*>(static_cast<char*>(locked.pBits) + y * locked.Pitch)[x] =
                        texels[y * width + x];
            texture->UnlockRect(0);
        }
        return texture;
    }

    IDirect3DDevice9* device = nullptr;

private:
    static inline HWND s_Window = nullptr;
    static inline IDirect3D9* s_D3d = nullptr;
    static inline IDirect3DDevice9* s_Device = nullptr;
};

// Channel values of a D3DCOLOR.
inline int Red(D3DCOLOR c) { return static_cast<int>((c >> 16) & 0xFF); }
inline int Green(D3DCOLOR c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int Blue(D3DCOLOR c) { return static_cast<int>(c & 0xFF); }

} // namespace fxtest
