// Our DirectInput 8 for the keyboard and the mouse, over SDL2: the objects and
// calls the game makes, each doing what the game expects of its namesake.
//
// The keyboard reads as a 256-byte table indexed by DirectInput key code (the
// PC scan code of the key's position, so WASD stay where they are on any
// layout); bit 0x80 of a byte is set while the key is down. The mouse reads as
// relative movement and wheel accumulated since the device's last read, plus
// the four button bytes as they are now.
//
// Foreground devices (DISCL_FOREGROUND) can only be acquired while their window
// has the keyboard focus (GetFocus), and lose the acquisition when it goes: a
// read then fails and leaves the caller's buffer as it was. While a mouse
// device is acquired the pointer is in SDL's relative mode, so warping the
// cursor (SetCursorPos) never shows up as movement.
#pragma once

#include "platform/win32.h"

#include <cstdint>

typedef std::int32_t HRESULT;
typedef unsigned long ULONG;
typedef unsigned char BYTE;

#ifndef SUCCEEDED
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#endif

// --- results ---------------------------------------------------------------------
constexpr HRESULT DI_OK = 0;
constexpr HRESULT DI_NOEFFECT = 1; // nothing to do (already acquired, not acquired)
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u); // not in the foreground
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DIERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481u);

#define DIRECTINPUT_VERSION 0x0800

// --- identifiers -------------------------------------------------------------------
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
typedef const GUID& REFGUID;
typedef const GUID& REFIID;
bool operator==(const GUID& a, const GUID& b);
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

extern const GUID IID_IDirectInput8A;
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;

// --- data formats ------------------------------------------------------------------
// Only the two predefined formats exist; a format is known by its data size.
struct DIDATAFORMAT {
    DWORD dwDataSize;
};
extern const DIDATAFORMAT c_dfDIKeyboard; // 256 key bytes
extern const DIDATAFORMAT c_dfDIMouse;    // a DIMOUSESTATE

struct DIMOUSESTATE {
    std::int32_t lX; // movement to the right since the last read (negative: left)
    std::int32_t lY; // movement towards the user (down) since the last read
    std::int32_t lZ; // wheel since the last read: positive turned forward (up), 120 a notch
    BYTE rgbButtons[4]; // left, right, middle, fourth; 0x80 while down
};
static_assert(sizeof(DIMOUSESTATE) == 16, "DIMOUSESTATE is 16 bytes");

// Wheel units per notch.
constexpr int WHEEL_DELTA = 120;

// --- cooperative levels (their sum for a non-exclusive foreground device is 10) ----
enum : DWORD {
    DISCL_EXCLUSIVE = 0x01,
    DISCL_NONEXCLUSIVE = 0x02,
    DISCL_BACKGROUND = 0x04,
    DISCL_FOREGROUND = 0x08,
};

// --- key codes (PC scan codes by key position) ---------------------------------------
enum : BYTE {
    DIK_ESCAPE = 0x01, DIK_1 = 0x02, DIK_2 = 0x03, DIK_3 = 0x04, DIK_4 = 0x05, DIK_5 = 0x06,
    DIK_6 = 0x07, DIK_7 = 0x08, DIK_8 = 0x09, DIK_9 = 0x0A, DIK_0 = 0x0B, DIK_MINUS = 0x0C,
    DIK_EQUALS = 0x0D, DIK_BACK = 0x0E, DIK_TAB = 0x0F,
    DIK_Q = 0x10, DIK_W = 0x11, DIK_E = 0x12, DIK_R = 0x13, DIK_T = 0x14, DIK_Y = 0x15,
    DIK_U = 0x16, DIK_I = 0x17, DIK_O = 0x18, DIK_P = 0x19, DIK_LBRACKET = 0x1A,
    DIK_RBRACKET = 0x1B, DIK_RETURN = 0x1C, DIK_LCONTROL = 0x1D,
    DIK_A = 0x1E, DIK_S = 0x1F, DIK_D = 0x20, DIK_F = 0x21, DIK_G = 0x22, DIK_H = 0x23,
    DIK_J = 0x24, DIK_K = 0x25, DIK_L = 0x26, DIK_SEMICOLON = 0x27, DIK_APOSTROPHE = 0x28,
    DIK_GRAVE = 0x29, DIK_LSHIFT = 0x2A, DIK_BACKSLASH = 0x2B,
    DIK_Z = 0x2C, DIK_X = 0x2D, DIK_C = 0x2E, DIK_V = 0x2F, DIK_B = 0x30, DIK_N = 0x31,
    DIK_M = 0x32, DIK_COMMA = 0x33, DIK_PERIOD = 0x34, DIK_SLASH = 0x35, DIK_RSHIFT = 0x36,
    DIK_MULTIPLY = 0x37, DIK_LMENU = 0x38, DIK_SPACE = 0x39, DIK_CAPITAL = 0x3A,
    DIK_F1 = 0x3B, DIK_F2 = 0x3C, DIK_F3 = 0x3D, DIK_F4 = 0x3E, DIK_F5 = 0x3F, DIK_F6 = 0x40,
    DIK_F7 = 0x41, DIK_F8 = 0x42, DIK_F9 = 0x43, DIK_F10 = 0x44, DIK_NUMLOCK = 0x45,
    DIK_SCROLL = 0x46, DIK_NUMPAD7 = 0x47, DIK_NUMPAD8 = 0x48, DIK_NUMPAD9 = 0x49,
    DIK_SUBTRACT = 0x4A, DIK_NUMPAD4 = 0x4B, DIK_NUMPAD5 = 0x4C, DIK_NUMPAD6 = 0x4D,
    DIK_ADD = 0x4E, DIK_NUMPAD1 = 0x4F, DIK_NUMPAD2 = 0x50, DIK_NUMPAD3 = 0x51,
    DIK_NUMPAD0 = 0x52, DIK_DECIMAL = 0x53, DIK_OEM_102 = 0x56, DIK_F11 = 0x57, DIK_F12 = 0x58,
    DIK_NUMPADEQUALS = 0x8D, DIK_NUMPADENTER = 0x9C, DIK_RCONTROL = 0x9D, DIK_DIVIDE = 0xB5,
    DIK_SYSRQ = 0xB7, DIK_RMENU = 0xB8, DIK_PAUSE = 0xC5, DIK_HOME = 0xC7, DIK_UP = 0xC8,
    DIK_PRIOR = 0xC9, DIK_LEFT = 0xCB, DIK_RIGHT = 0xCD, DIK_END = 0xCF, DIK_DOWN = 0xD0,
    DIK_NEXT = 0xD1, DIK_INSERT = 0xD2, DIK_DELETE = 0xD3, DIK_LWIN = 0xDB, DIK_RWIN = 0xDC,
    DIK_APPS = 0xDD,
};

// --- objects ---------------------------------------------------------------------------
// Reference counted: the creating call hands out one reference, Release drops
// one and frees the object at zero. A device keeps its DirectInput object alive.
class IDirectInput8A;

class IDirectInputDevice8A {
public:
    // c_dfDIKeyboard for the keyboard, c_dfDIMouse for the mouse; any other
    // format, or a change while acquired, is DIERR_INVALIDPARAM.
    HRESULT SetDataFormat(const DIDATAFORMAT* format);
    // Exactly one of DISCL_EXCLUSIVE/DISCL_NONEXCLUSIVE and one of
    // DISCL_FOREGROUND/DISCL_BACKGROUND; a foreground device needs a window.
    // DIERR_INVALIDPARAM otherwise, or while acquired.
    HRESULT SetCooperativeLevel(HWND window, DWORD flags);
    // Starts reading: DI_OK, DI_NOEFFECT when already acquired,
    // DIERR_OTHERAPPHASPRIO when a foreground device's window lacks the focus,
    // DIERR_INVALIDPARAM before SetDataFormat. Movement made before this call
    // is never reported.
    HRESULT Acquire();
    // Stops reading: DI_OK, or DI_NOEFFECT when it was not acquired.
    HRESULT Unacquire();
    // Copies the state into data, whose size must be the data format's:
    // DIERR_NOTACQUIRED when not acquired, DIERR_INPUTLOST (and unacquired) when
    // a foreground device's window lost the focus; data is untouched on failure.
    // A mouse read resets its accumulated movement and wheel.
    HRESULT GetDeviceState(DWORD size, void* data);
    ULONG AddRef();
    ULONG Release();

private:
    friend class IDirectInput8A;
    friend struct DirectInputAccess; // the platform layer's own way in
    IDirectInputDevice8A(IDirectInput8A* owner, bool mouse);
    ~IDirectInputDevice8A();
    IDirectInputDevice8A(const IDirectInputDevice8A&) = delete;
    IDirectInputDevice8A& operator=(const IDirectInputDevice8A&) = delete;

    bool HasFocus() const;

    IDirectInput8A* m_Owner;
    bool m_Mouse;
    ULONG m_References = 1;
    const DIDATAFORMAT* m_Format = nullptr;
    HWND m_Window = nullptr;
    DWORD m_Cooperation = 0;
    bool m_Acquired = false;
    bool m_HoldsRelativeMode = false;
    // Mouse movement and wheel since the last read, gathered while acquired.
    LONG m_PendingX = 0, m_PendingY = 0, m_PendingZ = 0;
};

class IDirectInput8A {
public:
    // A device for GUID_SysKeyboard or GUID_SysMouse (DIERR_DEVICENOTREG for any
    // other); outer must be null. *device is null on failure.
    HRESULT CreateDevice(REFGUID device, IDirectInputDevice8A** out, void* outer);
    ULONG AddRef();
    ULONG Release();

private:
    friend HRESULT DirectInput8Create(HINSTANCE, DWORD, REFIID, void**, void*);
    IDirectInput8A() = default;
    ~IDirectInput8A() = default;
    IDirectInput8A(const IDirectInput8A&) = delete;
    IDirectInput8A& operator=(const IDirectInput8A&) = delete;

    ULONG m_References = 1;
};

typedef IDirectInput8A* LPDIRECTINPUT8A;
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8A;

// The DirectInput object: version must be 0x0800 (DIERR_OLDDIRECTINPUTVERSION
// below, DIERR_BETADIRECTINPUTVERSION above), the interface IID_IDirectInput8A
// (DIERR_NOINTERFACE) and outer null (DIERR_INVALIDPARAM). *out is null on failure.
HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, void** out, void* outer);

// --- seams for tests --------------------------------------------------------------
namespace platform {

// Where the devices read the keys and the mouse buttons. The default reads
// SDL's keyboard and mouse state; tests install a FakeDirectInput.
class DirectInputSource {
public:
    virtual ~DirectInputSource() = default;
    // The 256 key bytes as they are now, indexed by DIK code (0x80 = down).
    virtual void ReadKeys(BYTE keys[256]) = 0;
    // The four mouse button bytes as they are now (0x80 = down).
    virtual void ReadMouseButtons(BYTE buttons[4]) = 0;
};
// Installs a source (null restores SDL's). The caller keeps ownership.
void SetDirectInputSource(DirectInputSource* source);

// Adds mouse movement and wheel units to every acquired mouse device. SDL's
// motion and wheel events arrive here; tests call it to move the mouse.
void FeedMouseInput(LONG dx, LONG dy, LONG wheel);

// Keys and buttons set by hand, for tests.
class FakeDirectInput : public DirectInputSource {
public:
    void ReadKeys(BYTE out[256]) override
    {
        for (int i = 0; i < 256; ++i)
            out[i] = keys[i];
    }
    void ReadMouseButtons(BYTE out[4]) override
    {
        for (int i = 0; i < 4; ++i)
            out[i] = buttons[i];
    }
    void SetKey(int code, bool down) { keys[code & 0xFF] = down ? 0x80 : 0; }
    void SetButton(int index, bool down) { buttons[index & 3] = down ? 0x80 : 0; }

    BYTE keys[256] = {};
    BYTE buttons[4] = {};
};

// The DIK code of an SDL scancode, or 0 for a key DirectInput has no code for.
int DikFromSdlScancode(int scancode);

} // namespace platform
