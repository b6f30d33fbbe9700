// The message queue: SDL events become Win32-style window messages, handed out
// one per PeekMessageA call.

#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "platform/win32.h"

#include <SDL.h>

#include <deque>

namespace {

struct Queue {
    std::deque<MSG> messages;
    POINT cursor{0, 0}; // last known pointer position in screen coordinates
};

Queue& Q()
{
    static Queue* queue = new Queue;
    return *queue;
}

LPARAM PackPoint(int x, int y)
{
    return static_cast<LPARAM>((static_cast<unsigned>(x) & 0xFFFFu) | ((static_cast<unsigned>(y) & 0xFFFFu) << 16));
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Queue& q = Q();
    q.messages.push_back(MSG{window, message, wParam, lParam, timeGetTime(), q.cursor});
}

UINT VirtualKeyFromScancode(SDL_Scancode code)
{
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z)
        return 'A' + (code - SDL_SCANCODE_A);
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9)
        return '1' + (code - SDL_SCANCODE_1);
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12)
        return VK_F1 + (code - SDL_SCANCODE_F1);
    if (code >= SDL_SCANCODE_F13 && code <= SDL_SCANCODE_F24)
        return VK_F1 + 12 + (code - SDL_SCANCODE_F13);
    if (code >= SDL_SCANCODE_KP_1 && code <= SDL_SCANCODE_KP_9)
        return VK_NUMPAD0 + 1 + (code - SDL_SCANCODE_KP_1);
    switch (code) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_NONUSHASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_APPLICATION: return VK_APPS;
    case SDL_SCANCODE_LCTRL: case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LSHIFT: case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LALT: case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_LGUI: return VK_LWIN;
    case SDL_SCANCODE_RGUI: return VK_RWIN;
    default: return 0;
    }
}

// Letters and digits follow the keyboard layout, as their Windows codes do (the
// key labelled "A" on a French keyboard gives 'A'); every other key is named by
// its position.
UINT VirtualKey(const SDL_Keysym& key)
{
    if (key.sym >= 'a' && key.sym <= 'z')
        return static_cast<UINT>(key.sym - 'a' + 'A');
    if (key.sym >= '0' && key.sym <= '9')
        return static_cast<UINT>(key.sym);
    return VirtualKeyFromScancode(key.scancode);
}

// Posts one WM_CHAR per character of the UTF-8 text that Latin-1 can hold.
// Malformed bytes are skipped one at a time so the text after them survives.
void PostText(HWND window, const char* text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    while (*s) {
        unsigned lead = *s;
        unsigned code = 0;
        int length = 0;
        if (lead < 0x80) {
            code = lead; length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            code = lead & 0x1F; length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            code = lead & 0x0F; length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            code = lead & 0x07; length = 4;
        } else {
            ++s;
            continue;
        }
        int i = 1;
        for (; i < length && (s[i] & 0xC0) == 0x80; ++i)
            code = (code << 6) | (s[i] & 0x3F);
        if (i < length) {
            ++s;
            continue;
        }
        s += length;
        if (code <= 0xFF)
            Post(window, WM_CHAR, code, 1);
    }
}

WPARAM MouseFlags()
{
    Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    SDL_Keymod mods = SDL_GetModState();
    WPARAM flags = 0;
    if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
    if (mods & KMOD_SHIFT) flags |= MK_SHIFT;
    if (mods & KMOD_CTRL) flags |= MK_CONTROL;
    return flags;
}

// Mouse messages go to the window under the pointer, or to the capturing
// window when the pointer is outside every window of ours.
HWND MouseTarget(Uint32 windowId)
{
    HWND window = platform::WindowFromSdlId(windowId);
    return window ? window : GetCapture();
}

void NoteCursor(HWND window, int x, int y)
{
    POINT p{x, y};
    if (ClientToScreen(window, &p))
        Q().cursor = p;
}

void PostMouseButton(const SDL_MouseButtonEvent& e)
{
    HWND window = MouseTarget(e.windowID);
    if (!window)
        return;
    UINT message;
    WPARAM flag;
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    switch (e.button) {
    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; flag = MK_LBUTTON; break;
    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; flag = MK_RBUTTON; break;
    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; flag = MK_MBUTTON; break;
    default: return;
    }
    // The button's own flag follows the event, whatever SDL's state says now.
    WPARAM flags = down ? (MouseFlags() | flag) : (MouseFlags() & ~flag);
    NoteCursor(window, e.x, e.y);
    Post(window, message, flags, PackPoint(e.x, e.y));
}

// A fast mouse sends far more motion than one message per frame can drain, so
// a move that follows a move replaces it, as Windows does with WM_MOUSEMOVE.
void PostMouseMove(const SDL_MouseMotionEvent& e)
{
    HWND window = MouseTarget(e.windowID);
    if (!window)
        return;
    NoteCursor(window, e.x, e.y);
    std::deque<MSG>& messages = Q().messages;
    if (!messages.empty() && messages.back().message == WM_MOUSEMOVE && messages.back().hwnd == window)
        messages.pop_back();
    Post(window, WM_MOUSEMOVE, MouseFlags(), PackPoint(e.x, e.y));
}

void Translate(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        HWND window = platform::WindowFromSdlId(e.key.windowID);
        UINT key = VirtualKey(e.key.keysym);
        if (!window || !key)
            return;
        // lParam as Windows fills it: a repeat count of 1, the key's scan code
        // (its place on the keyboard, whatever the layout prints on it) in
        // bits 16-23 with bit 24 for the extended keys, bit 30 when the key was
        // already down, bit 31 on release.
        const int scan = platform::DikFromSdlScancode(e.key.keysym.scancode);
        LPARAM flags = 1 | (LPARAM(scan & 0x7F) << 16) | (LPARAM(scan & 0x80) << 17);
        if (e.type == SDL_KEYUP)
            flags |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
        else if (e.key.repeat)
            flags |= LPARAM(1) << 30;
        Post(window, e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key, flags);
        // SDL types no text for these keys, but Windows sends their control
        // characters, and the console takes Enter and Backspace that way.
        if (e.type == SDL_KEYDOWN && (key == VK_RETURN || key == VK_BACK || key == VK_TAB || key == VK_ESCAPE))
            Post(window, WM_CHAR, key, flags);
        return;
    }
    case SDL_TEXTINPUT:
        if (HWND window = platform::WindowFromSdlId(e.text.windowID))
            PostText(window, e.text.text);
        return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        PostMouseButton(e.button);
        return;
    case SDL_MOUSEMOTION:
        PostMouseMove(e.motion);
        return;
    case SDL_WINDOWEVENT: {
        HWND window = platform::WindowFromSdlId(e.window.windowID);
        if (!window)
            return;
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            platform::NoteFocusGained(window);
            Post(window, WM_SETFOCUS, 0, 0);
        } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            platform::NoteFocusLost(window);
            Post(window, WM_KILLFOCUS, 0, 0);
        } else if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            Post(window, WM_CLOSE, 0, 0);
        }
        return;
    }
    default:
        return;
    }
}

bool Matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax)
{
    if (window && m.hwnd != window)
        return false;
    if (m.message == WM_QUIT)
        return true;
    if ((filterMin || filterMax) && (m.message < filterMin || m.message > filterMax))
        return false;
    return true;
}

} // namespace

namespace platform {

void DiscardMessagesFor(HWND window)
{
    std::deque<MSG>& messages = Q().messages;
    for (auto it = messages.begin(); it != messages.end();) {
        if (it->hwnd == window)
            it = messages.erase(it);
        else
            ++it;
    }
}

} // namespace platform

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return FALSE;
    // Everything SDL holds is translated now, so events keep their order and
    // SDL's own queue never fills up behind a slow reader.
    if (platform::SdlVideoStarted()) {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            Translate(e);
    }
    std::deque<MSG>& messages = Q().messages;
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        if (Matches(*it, window, filterMin, filterMax)) {
            *msg = *it;
            if (removeFlags & PM_REMOVE)
                messages.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG*)
{
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    WNDPROC procedure = platform::ProcedureOf(msg->hwnd);
    return procedure ? procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_CLOSE)
        DestroyWindow(window);
    return 0;
}

void PostQuitMessage(int exitCode)
{
    Post(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}
