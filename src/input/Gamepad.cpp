#include "input/Gamepad.h"

CGamepad::CGamepad(int player) : m_Current{}, m_Previous{}, m_UserIndex(player - 1) {}

bool CGamepad::Poll()
{
    m_Previous = m_Current;
    m_Current = XINPUT_STATE{};
    return XInputGetState(static_cast<DWORD>(m_UserIndex), &m_Current) != ERROR_DEVICE_NOT_CONNECTED;
}

bool CGamepad::PollState()
{
    m_Current = XINPUT_STATE{};
    return XInputGetState(static_cast<DWORD>(m_UserIndex), &m_Current) == ERROR_SUCCESS;
}

void CGamepad::Vibrate(float left, float right) const
{
    auto speed = [](float strength) {
        // Written so that NaN, which fails every comparison, ends at 0.
        if (!(strength > 0.0f))
            return WORD(0);
        if (strength > 1.0f)
            strength = 1.0f;
        return static_cast<WORD>(strength * 65535.0f);
    };
    XINPUT_VIBRATION vibration{speed(left), speed(right)};
    XInputSetState(static_cast<DWORD>(m_UserIndex), &vibration);
}

float CGamepad::Axis(SHORT raw, int deadZone)
{
    if (raw <= deadZone && raw >= -deadZone)
        return 0.0f;
    return raw * (1.0f / 32768.0f);
}

bool CGamepad::HasChanged() const
{
    const XINPUT_GAMEPAD& a = m_Current.Gamepad;
    const XINPUT_GAMEPAD& b = m_Previous.Gamepad;
    return a.wButtons != b.wButtons || a.bLeftTrigger != b.bLeftTrigger || a.bRightTrigger != b.bRightTrigger ||
           a.sThumbLX != b.sThumbLX || a.sThumbLY != b.sThumbLY || a.sThumbRX != b.sThumbRX ||
           a.sThumbRY != b.sThumbRY;
}
