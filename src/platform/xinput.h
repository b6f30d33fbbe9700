// Our XInput 1.3 over SDL2's game controllers: up to four pads, read with
// XInput's meaning (button bits, sticks -32768..32767 with Y positive upwards,
// triggers 0..255) and vibrated through SDL's rumble. User index n is the n-th
// game controller SDL knows, kept for as long as it stays plugged in. SDL's
// game-controller support is started on the first call; when it cannot start,
// every pad reads as not connected. Like the keyboard and mouse, SDL drops pad
// input while none of the game's windows has the focus.
#pragma once

#include "platform/win32.h"

typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef short SHORT;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_BAD_ARGUMENTS = 160;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

constexpr DWORD XUSER_MAX_COUNT = 4;

// Button bits of XINPUT_GAMEPAD::wButtons.
enum : WORD {
    XINPUT_GAMEPAD_DPAD_UP = 0x0001,
    XINPUT_GAMEPAD_DPAD_DOWN = 0x0002,
    XINPUT_GAMEPAD_DPAD_LEFT = 0x0004,
    XINPUT_GAMEPAD_DPAD_RIGHT = 0x0008,
    XINPUT_GAMEPAD_START = 0x0010,
    XINPUT_GAMEPAD_BACK = 0x0020,
    XINPUT_GAMEPAD_LEFT_THUMB = 0x0040,
    XINPUT_GAMEPAD_RIGHT_THUMB = 0x0080,
    XINPUT_GAMEPAD_LEFT_SHOULDER = 0x0100,
    XINPUT_GAMEPAD_RIGHT_SHOULDER = 0x0200,
    XINPUT_GAMEPAD_A = 0x1000,
    XINPUT_GAMEPAD_B = 0x2000,
    XINPUT_GAMEPAD_X = 0x4000,
    XINPUT_GAMEPAD_Y = 0x8000,
};

// A stick axis whose magnitude is at most this reads as resting; a trigger at
// most the threshold reads as released.
constexpr SHORT XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE = 7849;
constexpr SHORT XINPUT_GAMEPAD_RIGHT_THUMB_DEADZONE = 8689;
constexpr BYTE XINPUT_GAMEPAD_TRIGGER_THRESHOLD = 30;

struct XINPUT_GAMEPAD {
    WORD wButtons;
    BYTE bLeftTrigger;
    BYTE bRightTrigger;
    SHORT sThumbLX;
    SHORT sThumbLY;
    SHORT sThumbRX;
    SHORT sThumbRY;
};

struct XINPUT_STATE {
    DWORD dwPacketNumber; // changes whenever the gamepad record does
    XINPUT_GAMEPAD Gamepad;
};

struct XINPUT_VIBRATION {
    WORD wLeftMotorSpeed;  // the low-frequency motor, 0..65535
    WORD wRightMotorSpeed; // the high-frequency motor, 0..65535
};

// Reads pad userIndex into state: ERROR_SUCCESS; ERROR_DEVICE_NOT_CONNECTED
// (state zeroed) when no pad is there; ERROR_BAD_ARGUMENTS for a null state or
// an index of XUSER_MAX_COUNT or more.
DWORD XInputGetState(DWORD userIndex, XINPUT_STATE* state);
// Sets both motors; they keep that speed until the next call (0, 0 stops
// them). ERROR_SUCCESS also for a pad without motors;
// ERROR_DEVICE_NOT_CONNECTED when no pad is there; ERROR_BAD_ARGUMENTS as above.
DWORD XInputSetState(DWORD userIndex, XINPUT_VIBRATION* vibration);

// --- seams for tests --------------------------------------------------------------
namespace platform {

// Where the two calls go once their arguments are checked. The default talks
// to SDL; tests install a FakePad.
class PadSource {
public:
    virtual ~PadSource() = default;
    virtual DWORD GetState(DWORD userIndex, XINPUT_STATE* state) = 0;
    virtual DWORD SetState(DWORD userIndex, const XINPUT_VIBRATION& vibration) = 0;
};
// Installs a source (null restores SDL's). The caller keeps ownership.
void SetPadSource(PadSource* source);

// One pad at user index 0, set by hand, for tests; the other indexes have none.
class FakePad : public PadSource {
public:
    DWORD GetState(DWORD userIndex, XINPUT_STATE* state) override
    {
        *state = XINPUT_STATE{};
        if (userIndex != 0 || !connected)
            return ERROR_DEVICE_NOT_CONNECTED;
        if (!Same(gamepad, m_Last))
            ++m_Packet;
        m_Last = gamepad;
        state->dwPacketNumber = m_Packet;
        state->Gamepad = gamepad;
        return ERROR_SUCCESS;
    }
    DWORD SetState(DWORD userIndex, const XINPUT_VIBRATION& v) override
    {
        if (userIndex != 0 || !connected)
            return ERROR_DEVICE_NOT_CONNECTED;
        vibration = v;
        ++vibrationCalls;
        return ERROR_SUCCESS;
    }

    bool connected = false;
    XINPUT_GAMEPAD gamepad{};
    XINPUT_VIBRATION vibration{}; // the last motor speeds sent
    int vibrationCalls = 0;

private:
    static bool Same(const XINPUT_GAMEPAD& a, const XINPUT_GAMEPAD& b)
    {
        return a.wButtons == b.wButtons && a.bLeftTrigger == b.bLeftTrigger &&
               a.bRightTrigger == b.bRightTrigger && a.sThumbLX == b.sThumbLX &&
               a.sThumbLY == b.sThumbLY && a.sThumbRX == b.sThumbRX && a.sThumbRY == b.sThumbRY;
    }
    DWORD m_Packet = 0;
    XINPUT_GAMEPAD m_Last{};
};

} // namespace platform
