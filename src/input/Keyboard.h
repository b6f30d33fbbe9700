// The keyboard as the game reads it: the DirectInput key table of this poll
// and of the poll before, so every query can tell down, just pressed and
// released. Key codes are DirectInput's (DIK_ in "platform/dinput.h").
#pragma once

#include "platform/dinput.h"

class CKeyboard {
public:
    CKeyboard();

    // Creates the keyboard device for the window. Every step is checked: on a
    // failure the reason goes to the debug output, nothing is kept, and the
    // keyboard reads as never pressed. Returns the last call's result.
    HRESULT Create(HINSTANCE instance, HWND window);
    // Gives the device back; the keyboard then reads as never pressed. Copies
    // handed out before share the device and must not be polled after this.
    void Release();

    // Moves this poll's table to the previous one and reads the device again;
    // a read that fails (no focus, no device) leaves every key up.
    void Poll();
    // Reads as untouched: no key down in this poll or the one before. The
    // device is kept.
    void LetGo();

    bool IsKeyDown(int code) const { return Down(m_Current, code); }
    bool IsKeyJustPressed(int code) const { return Down(m_Current, code) && !Down(m_Previous, code); }
    bool IsKeyReleased(int code) const { return Down(m_Previous, code) && !Down(m_Current, code); }
    // Any of the 256 bytes differs from the previous poll.
    bool HasChanged() const;

    bool HasDevice() const { return m_Device != nullptr; }

private:
    static bool Down(const BYTE* keys, int code) { return code >= 0 && code < 256 && (keys[code] & 0x80); }

    BYTE m_Current[256];
    BYTE m_Previous[256];
    IDirectInput8A* m_DirectInput = nullptr;
    IDirectInputDevice8A* m_Device = nullptr;
};
