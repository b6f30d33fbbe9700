// A small device on a hidden window for the effect and font tests: one per
// test suite (creating a GL context is the slow part), cleared and reset to
// plain states before each test, with the back buffer read back as pixels.
#pragma once

#include "platform/d3dx9.h"
#include "platform/gl_device.h"

#include "offscreen_device_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace fxtest {

constexpr int kSize = 64;

class DeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        D3DPRESENT_PARAMETERS pp = devicetest::WindowedParameters();
        pp.BackBufferWidth = kSize;
        pp.BackBufferHeight = kSize;
        pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        s_Screen.Open("FxDeviceTest", 0, "fx", kSize, kSize, pp);
    }

    static void TearDownTestSuite() { s_Screen.Close(); }

    void SetUp() override {
        ASSERT_NE(s_Screen.device, nullptr) << "no device";
        device = s_Screen.device;
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
        if (FAILED(devicetest::ReadBackBuffer(device, &out))) out.clear();
        return out;
    }

    static std::vector<D3DCOLOR> SurfacePixels(IDirect3DSurface9* surface) {
        std::vector<D3DCOLOR> out;
        if (FAILED(devicetest::ReadPixels(surface, &out))) out.clear();
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
        devicetest::FillTexture(texture, width, height, texels.data());
        return texture;
    }

    IDirect3DDevice9* device = nullptr;

private:
    static inline devicetest::OffscreenDevice s_Screen;
};

// Channel values of a D3DCOLOR.
inline int Red(D3DCOLOR c) { return static_cast<int>((c >> 16) & 0xFF); }
inline int Green(D3DCOLOR c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int Blue(D3DCOLOR c) { return static_cast<int>(c & 0xFF); }

} // namespace fxtest
