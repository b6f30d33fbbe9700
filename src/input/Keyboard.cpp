#include "input/Keyboard.h"

#include "input/DirectInputDevice.h"

#include <cstring>

CKeyboard::CKeyboard()
{
    std::memset(m_Current, 0, sizeof(m_Current));
    std::memset(m_Previous, 0, sizeof(m_Previous));
}

HRESULT CKeyboard::Create(HINSTANCE instance, HWND window)
{
    // A new device starts with every key up, whatever the one before held.
    std::memset(m_Current, 0, sizeof(m_Current));
    std::memset(m_Previous, 0, sizeof(m_Previous));
    return input::CreateDevice(instance, window, GUID_SysKeyboard, c_dfDIKeyboard, "keyboard", m_DirectInput,
                               m_Device);
}

void CKeyboard::Release()
{
    input::ReleaseDevice(m_DirectInput, m_Device);
}

void CKeyboard::Poll()
{
    std::memcpy(m_Previous, m_Current, sizeof(m_Current));
    std::memset(m_Current, 0, sizeof(m_Current));
    if (!m_Device)
        return;
    // A failed read (window in the background, input lost) leaves the table
    // cleared: every key reads up for this poll.
    m_Device->Acquire();
    m_Device->GetDeviceState(sizeof(m_Current), m_Current);
}

void CKeyboard::LetGo()
{
    std::memset(m_Current, 0, sizeof(m_Current));
    std::memset(m_Previous, 0, sizeof(m_Previous));
}

bool CKeyboard::HasChanged() const
{
    return std::memcmp(m_Current, m_Previous, sizeof(m_Current)) != 0;
}
