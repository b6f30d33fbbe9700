// The game pad as the game reads it, with XInput's meaning: the state of this
// poll and of the poll before, sticks with their dead zones, triggers with
// their threshold, and vibration. A missing pad is a normal state: it reads
// all zero and its vibration goes nowhere.
#pragma once

#include "platform/xinput.h"

class CGamepad {
public:
    // Player 1 is XInput user 0.
    explicit CGamepad(int player);

    // Moves this poll's state to the previous one and reads the pad again.
    // Returns whether a pad answered (false only for "not connected").
    bool Poll();
    // Reads as untouched: sticks centred, nothing pressed, now and before.
    void LetGo() { m_Current = m_Previous = XINPUT_STATE{}; }
    // Reads the pad into this poll's state only; true when the read succeeded.
    bool PollState();

    // Each strength is clamped to [0, 1] and sent as a motor speed of 0..65535;
    // the motors keep it until told otherwise.
    void Vibrate(float left, float right) const;

    // Sticks read 0 inside their dead zone, else raw / 32768, in [-1, 1).
    float GetLeftStickX() const { return LeftAxis(m_Current.Gamepad.sThumbLX); }
    float GetLeftStickY() const { return LeftAxis(m_Current.Gamepad.sThumbLY); }
    float GetRightStickX() const { return RightAxis(m_Current.Gamepad.sThumbRX); }
    float GetRightStickY() const { return RightAxis(m_Current.Gamepad.sThumbRY); }
    float GetPrevLeftStickX() const { return LeftAxis(m_Previous.Gamepad.sThumbLX); }
    float GetPrevLeftStickY() const { return LeftAxis(m_Previous.Gamepad.sThumbLY); }
    float GetPrevRightStickX() const { return RightAxis(m_Previous.Gamepad.sThumbRX); }
    float GetPrevRightStickY() const { return RightAxis(m_Previous.Gamepad.sThumbRY); }

    // Triggers read their byte when above the threshold (30), else 0.
    BYTE GetLeftTrigger() const { return Trigger(m_Current.Gamepad.bLeftTrigger); }
    BYTE GetRightTrigger() const { return Trigger(m_Current.Gamepad.bRightTrigger); }
    BYTE GetPrevLeftTrigger() const { return Trigger(m_Previous.Gamepad.bLeftTrigger); }
    BYTE GetPrevRightTrigger() const { return Trigger(m_Previous.Gamepad.bRightTrigger); }

    // Buttons, sticks or triggers differ from the previous poll (the packet
    // number does not count).
    bool HasChanged() const;

#define VANTOREL_PAD_BUTTON(Name, bit)                                              \
    bool Is##Name##Down() const { return Down(m_Current, bit); }                    \
    bool Is##Name##JustPressed() const { return Down(m_Current, bit) && !Down(m_Previous, bit); } \
    bool Is##Name##Released() const { return Down(m_Previous, bit) && !Down(m_Current, bit); }
    VANTOREL_PAD_BUTTON(A, XINPUT_GAMEPAD_A)
    VANTOREL_PAD_BUTTON(B, XINPUT_GAMEPAD_B)
    VANTOREL_PAD_BUTTON(X, XINPUT_GAMEPAD_X)
    VANTOREL_PAD_BUTTON(Y, XINPUT_GAMEPAD_Y)
    VANTOREL_PAD_BUTTON(Start, XINPUT_GAMEPAD_START)
    VANTOREL_PAD_BUTTON(Back, XINPUT_GAMEPAD_BACK)
    VANTOREL_PAD_BUTTON(LeftThumb, XINPUT_GAMEPAD_LEFT_THUMB)
    VANTOREL_PAD_BUTTON(RightThumb, XINPUT_GAMEPAD_RIGHT_THUMB)
    VANTOREL_PAD_BUTTON(LeftShoulder, XINPUT_GAMEPAD_LEFT_SHOULDER)
    VANTOREL_PAD_BUTTON(RightShoulder, XINPUT_GAMEPAD_RIGHT_SHOULDER)
    VANTOREL_PAD_BUTTON(DpadUp, XINPUT_GAMEPAD_DPAD_UP)
    VANTOREL_PAD_BUTTON(DpadDown, XINPUT_GAMEPAD_DPAD_DOWN)
    VANTOREL_PAD_BUTTON(DpadLeft, XINPUT_GAMEPAD_DPAD_LEFT)
    VANTOREL_PAD_BUTTON(DpadRight, XINPUT_GAMEPAD_DPAD_RIGHT)
#undef VANTOREL_PAD_BUTTON

    // The raw records of this poll and of the one before.
    const XINPUT_STATE& GetCurrentState() const { return m_Current; }
    const XINPUT_STATE& GetPreviousState() const { return m_Previous; }
    int GetUserIndex() const { return m_UserIndex; }

private:
    static bool Down(const XINPUT_STATE& s, WORD bit) { return (s.Gamepad.wButtons & bit) != 0; }
    static float Axis(SHORT raw, int deadZone);
    static float LeftAxis(SHORT raw) { return Axis(raw, XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE); }
    static float RightAxis(SHORT raw) { return Axis(raw, XINPUT_GAMEPAD_RIGHT_THUMB_DEADZONE); }
    static BYTE Trigger(BYTE raw) { return raw > XINPUT_GAMEPAD_TRIGGER_THRESHOLD ? raw : 0; }

    XINPUT_STATE m_Current;
    XINPUT_STATE m_Previous;
    int m_UserIndex;
};
