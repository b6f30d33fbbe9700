// DirectInput's keyboard and mouse over SDL2.

#include "platform/dinput.h"

#include "platform/sdl_window.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

const GUID IID_IDirectInput8A = {0x56F1A0C1u, 0x7A3E, 0x4D0B, {0x9E, 0x21, 0x5B, 0x7C, 0x64, 0xD8, 0x10, 0x01}};
const GUID GUID_SysKeyboard = {0x56F1A0C1u, 0x7A3E, 0x4D0B, {0x9E, 0x21, 0x5B, 0x7C, 0x64, 0xD8, 0x10, 0x02}};
const GUID GUID_SysMouse = {0x56F1A0C1u, 0x7A3E, 0x4D0B, {0x9E, 0x21, 0x5B, 0x7C, 0x64, 0xD8, 0x10, 0x03}};

const DIDATAFORMAT c_dfDIKeyboard = {256};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIMOUSESTATE)};

bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

namespace {

struct ScancodeKey {
    SDL_Scancode scancode;
    BYTE dik;
};

constexpr ScancodeKey kScancodeKeys[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
    {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3}, {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5}, {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7}, {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9}, {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS}, {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK}, {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_E, DIK_E}, {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T}, {SDL_SCANCODE_Y, DIK_Y},
    {SDL_SCANCODE_U, DIK_U}, {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O}, {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
    {SDL_SCANCODE_RETURN, DIK_RETURN}, {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A}, {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_D, DIK_D}, {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G}, {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_J, DIK_J}, {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L}, {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE}, {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    // The ISO key left of Enter sits where the US backslash is.
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},
    {SDL_SCANCODE_Z, DIK_Z}, {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C}, {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B}, {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M}, {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD}, {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT}, {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU}, {SDL_SCANCODE_SPACE, DIK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1}, {SDL_SCANCODE_F2, DIK_F2},
    {SDL_SCANCODE_F3, DIK_F3}, {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5}, {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7}, {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9}, {SDL_SCANCODE_F10, DIK_F10},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7}, {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9}, {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4}, {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6}, {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1}, {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3}, {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    {SDL_SCANCODE_F11, DIK_F11}, {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ}, {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE}, {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP}, {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_LEFT, DIK_LEFT}, {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END}, {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT}, {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE}, {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN}, {SDL_SCANCODE_APPLICATION, DIK_APPS},
};

const std::array<BYTE, SDL_NUM_SCANCODES>& DikTable()
{
    static const std::array<BYTE, SDL_NUM_SCANCODES> table = [] {
        std::array<BYTE, SDL_NUM_SCANCODES> t{};
        for (const auto& pair : kScancodeKeys)
            t[pair.scancode] = pair.dik;
        return t;
    }();
    return table;
}

class SdlSource : public platform::DirectInputSource {
public:
    void ReadKeys(BYTE keys[256]) override
    {
        std::memset(keys, 0, 256);
        if (!platform::SdlVideoStarted())
            return;
        int count = 0;
        const Uint8* state = SDL_GetKeyboardState(&count);
        const auto& table = DikTable();
        count = std::min(count, static_cast<int>(table.size()));
        for (int i = 0; i < count; ++i) {
            if (state[i] && table[i])
                keys[table[i]] = 0x80;
        }
    }
    void ReadMouseButtons(BYTE buttons[4]) override
    {
        std::memset(buttons, 0, 4);
        if (!platform::SdlVideoStarted())
            return;
        Uint32 held = SDL_GetMouseState(nullptr, nullptr);
        buttons[0] = (held & SDL_BUTTON_LMASK) ? 0x80 : 0;
        buttons[1] = (held & SDL_BUTTON_RMASK) ? 0x80 : 0;
        buttons[2] = (held & SDL_BUTTON_MMASK) ? 0x80 : 0;
        buttons[3] = (held & SDL_BUTTON_X1MASK) ? 0x80 : 0;
    }
};

// Never destroyed, so devices released by static destructors at exit still
// find it.
struct Registry {
    std::mutex lock; // guards the mice's pending movement against SDL's event watch
    std::vector<IDirectInputDevice8A*> mice;
    platform::DirectInputSource* source = nullptr;
    SdlSource sdl;
    int acquiredSdlMice = 0; // mice acquired while reading SDL: they hold relative mode
    bool watching = false;
};

Registry& Reg()
{
    static Registry* registry = new Registry;
    return *registry;
}

platform::DirectInputSource& Source()
{
    Registry& r = Reg();
    return r.source ? *r.source : r.sdl;
}

void LoseFocus(HWND window);

int SDLCALL WatchMouse(void*, SDL_Event* e)
{
    if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        // Let go of the pointer at once rather than at the next read, which
        // may be a long way off while the game sits in the background.
        if (HWND window = platform::WindowFromSdlId(e->window.windowID))
            LoseFocus(window);
    } else if (e->type == SDL_MOUSEMOTION && e->motion.which != SDL_TOUCH_MOUSEID) {
        platform::FeedMouseInput(e->motion.xrel, e->motion.yrel, 0);
    } else if (e->type == SDL_MOUSEWHEEL && e->wheel.which != SDL_TOUCH_MOUSEID) {
        LONG notches = e->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e->wheel.y : e->wheel.y;
        platform::FeedMouseInput(0, 0, notches * WHEEL_DELTA);
    }
    return 1;
}

// The real pointer only: a test's fake mouse must not grab the desktop's.
void HoldRelativeMode(bool hold)
{
    Registry& r = Reg();
    if (!platform::SdlVideoStarted())
        return;
    if (hold) {
        if (r.acquiredSdlMice++ == 0)
            SDL_SetRelativeMouseMode(SDL_TRUE);
    } else if (r.acquiredSdlMice > 0 && --r.acquiredSdlMice == 0) {
        SDL_SetRelativeMouseMode(SDL_FALSE);
    }
}

std::int32_t Clamped(LONG v)
{
    return static_cast<std::int32_t>(std::max<LONG>(INT32_MIN, std::min<LONG>(INT32_MAX, v)));
}

} // namespace

// What the event watch does to the devices.
struct DirectInputAccess {
    static void Feed(IDirectInputDevice8A* mouse, LONG dx, LONG dy, LONG wheel)
    {
        if (!mouse->m_Acquired)
            return;
        mouse->m_PendingX += dx;
        mouse->m_PendingY += dy;
        mouse->m_PendingZ += wheel;
    }
    static void LoseFocus(IDirectInputDevice8A* device, HWND window)
    {
        if ((device->m_Cooperation & DISCL_FOREGROUND) && device->m_Window == window)
            device->Unacquire();
    }
};

namespace {

void LoseFocus(HWND window)
{
    std::vector<IDirectInputDevice8A*> mice;
    {
        std::lock_guard<std::mutex> guard(Reg().lock);
        mice = Reg().mice;
    }
    for (IDirectInputDevice8A* mouse : mice)
        DirectInputAccess::LoseFocus(mouse, window);
}

} // namespace

namespace platform {

void SetDirectInputSource(DirectInputSource* source)
{
    Reg().source = source;
}

void FeedMouseInput(LONG dx, LONG dy, LONG wheel)
{
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    for (IDirectInputDevice8A* mouse : r.mice)
        DirectInputAccess::Feed(mouse, dx, dy, wheel);
}

int DikFromSdlScancode(int scancode)
{
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES)
        return 0;
    return DikTable()[scancode];
}

} // namespace platform

// --- device ------------------------------------------------------------------------

IDirectInputDevice8A::IDirectInputDevice8A(IDirectInput8A* owner, bool mouse)
    : m_Owner(owner), m_Mouse(mouse), m_Cooperation(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)
{
    m_Owner->AddRef();
    if (m_Mouse) {
        Registry& r = Reg();
        std::lock_guard<std::mutex> guard(r.lock);
        r.mice.push_back(this);
    }
}

IDirectInputDevice8A::~IDirectInputDevice8A()
{
    Unacquire();
    if (m_Mouse) {
        Registry& r = Reg();
        std::lock_guard<std::mutex> guard(r.lock);
        r.mice.erase(std::remove(r.mice.begin(), r.mice.end(), this), r.mice.end());
    }
    m_Owner->Release();
}

bool IDirectInputDevice8A::HasFocus() const
{
    if (!(m_Cooperation & DISCL_FOREGROUND))
        return true;
    return m_Window && GetFocus() == m_Window;
}

HRESULT IDirectInputDevice8A::SetDataFormat(const DIDATAFORMAT* format)
{
    if (m_Acquired || !format)
        return DIERR_INVALIDPARAM;
    const DIDATAFORMAT& wanted = m_Mouse ? c_dfDIMouse : c_dfDIKeyboard;
    if (format->dwDataSize != wanted.dwDataSize)
        return DIERR_INVALIDPARAM;
    m_Format = &wanted;
    return DI_OK;
}

HRESULT IDirectInputDevice8A::SetCooperativeLevel(HWND window, DWORD flags)
{
    if (m_Acquired)
        return DIERR_INVALIDPARAM;
    const bool exclusive = flags & DISCL_EXCLUSIVE, shared = flags & DISCL_NONEXCLUSIVE;
    const bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
    if (exclusive == shared || foreground == background)
        return DIERR_INVALIDPARAM;
    if (foreground && !window)
        return DIERR_INVALIDPARAM;
    m_Window = window;
    m_Cooperation = flags;
    return DI_OK;
}

HRESULT IDirectInputDevice8A::Acquire()
{
    if (!m_Format)
        return DIERR_INVALIDPARAM;
    if (m_Acquired)
        return DI_NOEFFECT;
    if (!HasFocus())
        return DIERR_OTHERAPPHASPRIO;
    if (m_Mouse) {
        Registry& r = Reg();
        {
            std::lock_guard<std::mutex> guard(r.lock);
            m_PendingX = m_PendingY = m_PendingZ = 0;
            m_Acquired = true;
        }
        if (!r.watching && platform::SdlVideoStarted()) {
            SDL_AddEventWatch(WatchMouse, nullptr);
            r.watching = true;
        }
        if (!r.source)
            HoldRelativeMode(true);
        m_HoldsRelativeMode = !r.source;
    } else {
        m_Acquired = true;
    }
    return DI_OK;
}

HRESULT IDirectInputDevice8A::Unacquire()
{
    if (!m_Acquired)
        return DI_NOEFFECT;
    if (m_Mouse) {
        {
            std::lock_guard<std::mutex> guard(Reg().lock);
            m_Acquired = false;
        }
        if (m_HoldsRelativeMode)
            HoldRelativeMode(false);
        m_HoldsRelativeMode = false;
    } else {
        m_Acquired = false;
    }
    return DI_OK;
}

HRESULT IDirectInputDevice8A::GetDeviceState(DWORD size, void* data)
{
    if (!data || !m_Format || size != m_Format->dwDataSize)
        return DIERR_INVALIDPARAM;
    if (!m_Acquired)
        return DIERR_NOTACQUIRED;
    if (!HasFocus()) {
        Unacquire();
        return DIERR_INPUTLOST;
    }
    if (!m_Mouse) {
        BYTE keys[256];
        Source().ReadKeys(keys);
        std::memcpy(data, keys, sizeof(keys));
        return DI_OK;
    }
    DIMOUSESTATE state{};
    {
        std::lock_guard<std::mutex> guard(Reg().lock);
        state.lX = Clamped(m_PendingX);
        state.lY = Clamped(m_PendingY);
        state.lZ = Clamped(m_PendingZ);
        m_PendingX = m_PendingY = m_PendingZ = 0;
    }
    Source().ReadMouseButtons(state.rgbButtons);
    std::memcpy(data, &state, sizeof(state));
    return DI_OK;
}

ULONG IDirectInputDevice8A::AddRef()
{
    return ++m_References;
}

ULONG IDirectInputDevice8A::Release()
{
    ULONG left = --m_References;
    if (left == 0)
        delete this;
    return left;
}

// --- DirectInput object ------------------------------------------------------------

HRESULT IDirectInput8A::CreateDevice(REFGUID device, IDirectInputDevice8A** out, void* outer)
{
    if (!out)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer)
        return DIERR_INVALIDPARAM;
    if (device != GUID_SysKeyboard && device != GUID_SysMouse)
        return DIERR_DEVICENOTREG;
    *out = new IDirectInputDevice8A(this, device == GUID_SysMouse);
    return DI_OK;
}

ULONG IDirectInput8A::AddRef()
{
    return ++m_References;
}

ULONG IDirectInput8A::Release()
{
    ULONG left = --m_References;
    if (left == 0)
        delete this;
    return left;
}

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, void** out, void* outer)
{
    if (!out)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer)
        return DIERR_INVALIDPARAM;
    if (version < DIRECTINPUT_VERSION)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION)
        return DIERR_BETADIRECTINPUTVERSION;
    if (iid != IID_IDirectInput8A)
        return DIERR_NOINTERFACE;
    *out = new IDirectInput8A;
    return DI_OK;
}
