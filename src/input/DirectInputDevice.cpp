#include "input/DirectInputDevice.h"

#include <cstdio>

namespace input {

namespace {

bool Failed(HRESULT hr, const char* name, const char* step)
{
    if (SUCCEEDED(hr))
        return false;
    char text[160];
    std::snprintf(text, sizeof(text), "The %s cannot be used: %s failed (hr = %08x)\n", name, step,
                  static_cast<unsigned>(hr));
    OutputDebugStringA(text);
    return true;
}

} // namespace

HRESULT CreateDevice(HINSTANCE instance, HWND window, REFGUID which, const DIDATAFORMAT& format,
                     const char* name, IDirectInput8A*& directInput, IDirectInputDevice8A*& device)
{
    ReleaseDevice(directInput, device);
    void* object = nullptr;
    HRESULT hr = DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &object, nullptr);
    if (Failed(hr, name, "DirectInput8Create"))
        return hr;
    directInput = static_cast<IDirectInput8A*>(object);
    hr = directInput->CreateDevice(which, &device, nullptr);
    if (!Failed(hr, name, "CreateDevice")) {
        hr = device->SetDataFormat(&format);
        if (!Failed(hr, name, "SetDataFormat")) {
            hr = device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
            if (!Failed(hr, name, "SetCooperativeLevel"))
                return hr;
        }
    }
    ReleaseDevice(directInput, device);
    return hr;
}

void ReleaseDevice(IDirectInput8A*& directInput, IDirectInputDevice8A*& device)
{
    if (device) {
        device->Unacquire();
        device->Release();
        device = nullptr;
    }
    if (directInput) {
        directInput->Release();
        directInput = nullptr;
    }
}

} // namespace input
