#include "input/Mouse.h"

#include "input/DirectInputDevice.h"

#include <cstring>

CMouse::CMouse() : m_Current{}, m_Previous{} {}

HRESULT CMouse::Create(HINSTANCE instance, HWND window)
{
    m_Current = m_Previous = DIMOUSESTATE{};
    return input::CreateDevice(instance, window, GUID_SysMouse, c_dfDIMouse, "mouse", m_DirectInput, m_Device);
}

void CMouse::Release()
{
    input::ReleaseDevice(m_DirectInput, m_Device);
}

void CMouse::Poll()
{
    m_Previous = m_Current;
    m_Current = DIMOUSESTATE{};
    if (!m_Device)
        return;
    m_Device->Acquire();
    m_Device->GetDeviceState(sizeof(m_Current), &m_Current);
}

bool CMouse::HasChanged() const
{
    // The fourth button is read but never asked, so it changes nothing.
    return m_Current.lX != m_Previous.lX || m_Current.lY != m_Previous.lY || m_Current.lZ != m_Previous.lZ ||
           std::memcmp(m_Current.rgbButtons, m_Previous.rgbButtons, 3) != 0;
}
