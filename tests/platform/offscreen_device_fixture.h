// A hidden window with our Direct3D 9 device on it, and the pixel reading and
// texture filling that the device tests and the draw benchmark all do. Free of
// GoogleTest, so that benchmark programs can use it too.
#pragma once

#include "platform/d3d9.h"
#include "platform/win32.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace devicetest {

inline LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// Windowed, 24-bit depth with stencil, not waiting for the display; the back
// buffer takes the window's size.
inline D3DPRESENT_PARAMETERS WindowedParameters()
{
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

struct OffscreenDevice {
    // Tries every step even after a failed class registration (noted in
    // classAtom); the device's creation result is kept in `created`. Close
    // undoes whatever was made, so it is safe after a failed Open.
    bool Open(const char* windowClass, UINT classStyle, const char* title, int width, int height,
              D3DPRESENT_PARAMETERS params)
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        className = windowClass;
        WNDCLASSEXA wc{sizeof(wc), classStyle, PlainWindowProc};
        wc.lpszClassName = windowClass;
        classAtom = RegisterClassExA(&wc);
        window = CreateWindowExA(0, windowClass, title, WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr,
                                 nullptr, nullptr);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!window || !d3d)
            return false;
        created = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                    &params, &device);
        if (FAILED(created)) device = nullptr;
        return device != nullptr;
    }

    void Close()
    {
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (window) DestroyWindow(window);
        if (className) UnregisterClassA(className, nullptr);
        *this = OffscreenDevice{};
    }

    const char* className = nullptr;
    WORD classAtom = 0;
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    HRESULT created = E_FAIL;
    IDirect3DDevice9* device = nullptr;
};

// Every pixel of a 32-bit surface as 0xAARRGGBB, rows top first; empty when
// the surface cannot be read.
inline HRESULT ReadPixels(IDirect3DSurface9* surface, std::vector<D3DCOLOR>* pixels)
{
    pixels->clear();
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    HRESULT hr = surface->GetDesc(&desc);
    if (SUCCEEDED(hr))
        hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr))
        return hr;
    pixels->resize(static_cast<size_t>(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(&(*pixels)[static_cast<size_t>(y) * desc.Width],
                    static_cast<const unsigned char*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                    desc.Width * sizeof(D3DCOLOR));
    surface->UnlockRect();
    return D3D_OK;
}

inline HRESULT ReadBackBuffer(IDirect3DDevice9* device, std::vector<D3DCOLOR>* pixels)
{
    pixels->clear();
    IDirect3DSurface9* back = nullptr;
    HRESULT hr = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    if (FAILED(hr))
        return hr;
    hr = ReadPixels(back, pixels);
    back->Release();
    return hr;
}

// Fills level 0 of a 32-bit texture from texels given row by row.
inline HRESULT FillTexture(IDirect3DTexture9* texture, UINT width, UINT height, const D3DCOLOR* texels)
{
    D3DLOCKED_RECT locked;
    const HRESULT hr = texture->LockRect(0, &locked, nullptr, 0);
    if (FAILED(hr))
        return hr;
    for (UINT y = 0; y < height; ++y)
        std::memcpy(static_cast<unsigned char*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                    texels + static_cast<size_t>(y) * width, width * sizeof(D3DCOLOR));
    return texture->UnlockRect(0);
}

} // namespace devicetest
