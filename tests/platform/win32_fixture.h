// A window of a recording class for the Win32-layer tests, and helpers that
// push SDL events at it the way the video driver would.
#pragma once

#include "platform/sdl_window.h"
#include "platform/win32.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace win32test {

// A message the procedure saw, and whether the SDL window still existed then.
struct Received { UINT message; bool sdlWindowAlive; };

inline std::vector<Received> g_Log;
inline int g_QuitCodeOnDestroy = -1; // exit code posted on WM_DESTROY; negative posts nothing

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_Log.push_back({message, platform::SdlWindowOf(window) != nullptr});
    if (message == WM_DESTROY && g_QuitCodeOnDestroy >= 0)
        PostQuitMessage(g_QuitCodeOnDestroy);
    return message == WM_DESTROY ? 0 : DefWindowProcA(window, message, wParam, lParam);
}

constexpr const char* kClass = "Win32TestClass";

class Win32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSEXA wc{sizeof(wc), CS_CLASSDC, RecordingProc};
        wc.lpszClassName = kClass;
        ASSERT_NE(RegisterClassExA(&wc), 0);
        window = Open(10, 10, 320, 200);
        ASSERT_NE(window, nullptr);
        Drain();
        g_Log.clear();
        g_QuitCodeOnDestroy = -1;
    }

    void TearDown() override
    {
        for (HWND w : opened)
            DestroyWindow(w);
        UnregisterClassA(kClass, nullptr);
        Drain();
        g_Log.clear();
    }

    HWND Open(int x, int y, int width, int height)
    {
        HWND w = CreateWindowExA(0, kClass, "The Vantorel", WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                                 nullptr, nullptr, nullptr);
        if (w)
            opened.push_back(w);
        return w;
    }

    static void Drain() { All(); }

    static Uint32 IdOf(HWND w) { return SDL_GetWindowID(platform::SdlWindowOf(w)); }

    static void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

    static void PushKey(HWND w, SDL_Scancode code, SDL_Keycode sym, bool down, bool repeat = false)
    {
        SDL_Event e{};
        e.key = SDL_KeyboardEvent{Uint32(down ? SDL_KEYDOWN : SDL_KEYUP), 0, IdOf(w), 0, Uint8(repeat), 0, 0};
        e.key.keysym.scancode = code;
        e.key.keysym.sym = sym;
        Push(e);
    }

    static void PushText(HWND w, const char* utf8)
    {
        SDL_Event e{};
        e.text = SDL_TextInputEvent{SDL_TEXTINPUT, 0, IdOf(w), {}};
        std::strncpy(e.text.text, utf8, sizeof(e.text.text) - 1);
        Push(e);
    }

    // A button event when button is non-zero, else a motion event.
    static void PushMouse(HWND w, Uint8 button, bool down, int x, int y)
    {
        SDL_Event e{};
        if (button)
            e.button = SDL_MouseButtonEvent{Uint32(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP), 0, IdOf(w), 0,
                                            button, 0, 1, 0, x, y};
        else
            e.motion = SDL_MouseMotionEvent{SDL_MOUSEMOTION, 0, IdOf(w), 0, 0, x, y, 0, 0};
        Push(e);
    }

    static void PushWindowEvent(HWND w, SDL_WindowEventID what)
    {
        SDL_Event e{};
        e.window = SDL_WindowEvent{SDL_WINDOWEVENT, 0, IdOf(w), Uint8(what)};
        Push(e);
    }

    // The next message for any window, or WM_NULL with a null window if none.
    static MSG Next()
    {
        MSG m{};
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            m = MSG{};
        return m;
    }

    // Every message waiting, for any window, in order.
    static std::vector<MSG> All()
    {
        std::vector<MSG> all;
        for (MSG m = Next(); m.message != WM_NULL; m = Next())
            all.push_back(m);
        return all;
    }

    HWND window = nullptr;
    std::vector<HWND> opened;
};

} // namespace win32test
