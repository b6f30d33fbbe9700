// The mouse as the game reads it: movement and wheel since the poll before,
// and the buttons, for this poll and the previous one.
#pragma once

#include "platform/dinput.h"

class CMouse {
public:
    CMouse();

    // As CKeyboard::Create, for the mouse.
    HRESULT Create(HINSTANCE instance, HWND window);
    // As CKeyboard::Release.
    void Release();

    // Moves this poll's state to the previous one and reads the device again;
    // a failed read leaves no movement and every button up.
    void Poll();
    // Reads as untouched: no move and no button in this poll or the one before.
    void LetGo() { m_Current = m_Previous = DIMOUSESTATE{}; }

    bool IsLeftButtonDown() const { return Down(m_Current, 0); }
    bool IsRightButtonDown() const { return Down(m_Current, 1); }
    bool IsMiddleButtonDown() const { return Down(m_Current, 2); }
    bool IsLeftButtonJustPressed() const { return JustPressed(0); }
    bool IsRightButtonJustPressed() const { return JustPressed(1); }
    bool IsMiddleButtonJustPressed() const { return JustPressed(2); }
    bool IsLeftButtonReleased() const { return Released(0); }
    bool IsRightButtonReleased() const { return Released(1); }
    bool IsMiddleButtonReleased() const { return Released(2); }
    bool IsWheelMoved() const { return m_Current.lZ != 0; }
    // Movement, wheel or the first three buttons differ from the previous poll.
    bool HasChanged() const;

    // lX, lY (positive right and down) and lZ (positive wheel up) of this poll
    // and of the one before.
    const DIMOUSESTATE& GetCurrentState() const { return m_Current; }
    const DIMOUSESTATE& GetPreviousState() const { return m_Previous; }

    bool HasDevice() const { return m_Device != nullptr; }

private:
    static bool Down(const DIMOUSESTATE& s, int button) { return (s.rgbButtons[button] & 0x80) != 0; }
    bool JustPressed(int button) const { return Down(m_Current, button) && !Down(m_Previous, button); }
    bool Released(int button) const { return Down(m_Previous, button) && !Down(m_Current, button); }

    DIMOUSESTATE m_Current;
    DIMOUSESTATE m_Previous;
    IDirectInput8A* m_DirectInput = nullptr;
    IDirectInputDevice8A* m_Device = nullptr;
};
