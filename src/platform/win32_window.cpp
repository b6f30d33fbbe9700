// Window classes and windows, cursor, capture and focus over SDL2.

#include "platform/sdl_window.h"
#include "platform/win32.h"

#include <SDL.h>
#include <sched.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

struct HWND__ {
    SDL_Window* sdl = nullptr; // null once destroyed
    std::uint32_t sdlId = 0;
    WNDPROC procedure = nullptr;
    bool visible = false;
    bool destroying = false;
};

namespace {

struct WindowClass {
    std::string name;
    WNDPROC procedure;
};

// Handles are never freed: a caller may hold one past DestroyWindow (the game
// keeps its window handle to the end), and a dead handle must stay harmless.
// The tables themselves are never destroyed either, so static objects torn
// down at exit can still ask about their window.
struct Registry {
    std::vector<WindowClass> classes;
    std::vector<std::unique_ptr<HWND__>> windows;
    HWND capture = nullptr;
    HWND focus = nullptr;
    int cursorCounter = 0;
    int sdlState = 0; // 0 not tried, 1 started, -1 failed
};

Registry& Reg()
{
    static Registry* registry = new Registry;
    return *registry;
}

bool SameClassName(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

WindowClass* FindClass(const char* name)
{
    if (!name)
        return nullptr;
    for (WindowClass& c : Reg().classes) {
        if (SameClassName(c.name, name))
            return &c;
    }
    return nullptr;
}

// The window behind a handle if it is one of ours and still open.
HWND__* Live(HWND window)
{
    if (!window)
        return nullptr;
    for (const auto& w : Reg().windows) {
        if (w.get() == window)
            return w->sdl ? w.get() : nullptr;
    }
    return nullptr;
}

void ApplyCursorVisibility()
{
    if (Reg().sdlState == 1)
        SDL_ShowCursor(Reg().cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

} // namespace

namespace platform {

void PlanSoftwareDrawingThreads()
{
    // The renderer starts one drawing thread per core, and the game's own
    // thread then takes a core from one of them whenever it works: on two
    // cores that thread's tiles wait, and every pass waits for its last tile.
    // With one thread more, the cores stay busy drawing meanwhile; with more
    // cores it costs nothing measurable.
    cpu_set_t cores;
    CPU_ZERO(&cores);
    const int count = sched_getaffinity(0, sizeof(cores), &cores) == 0 ? CPU_COUNT(&cores) : 0;
    if (count <= 0)
        return;
    const std::string threads = std::to_string(std::min(count + 1, 16));
    setenv("LP_NUM_THREADS", threads.c_str(), 0);
}

bool EnsureSdlVideo()
{
    Registry& r = Reg();
    if (r.sdlState == 0) {
        PlanSoftwareDrawingThreads();
        // Ctrl+C in a terminal should end the game as any program, not become a
        // quit event the game's loops never read.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            std::string text = std::string("SDL video could not start: ") + SDL_GetError() + "\n";
            OutputDebugStringA(text.c_str());
            r.sdlState = -1;
        } else {
            r.sdlState = 1;
            // Loaded once for the whole run: otherwise SDL unloads the OpenGL
            // library with the last window and reloads it with the next, which
            // is slow and leaks what the driver keeps for each load.
            if (SDL_GL_LoadLibrary(nullptr) != 0) {
                std::string text = std::string("OpenGL could not load: ") + SDL_GetError() + "\n";
                OutputDebugStringA(text.c_str());
            }
            SDL_StartTextInput();
            ApplyCursorVisibility();
        }
    }
    return r.sdlState == 1;
}

bool SdlVideoStarted()
{
    return Reg().sdlState == 1;
}

SDL_Window* SdlWindowOf(HWND window)
{
    HWND__* w = Live(window);
    return w ? w->sdl : nullptr;
}

HWND WindowFromSdlId(std::uint32_t sdlWindowId)
{
    if (sdlWindowId == 0)
        return nullptr;
    for (const auto& w : Reg().windows) {
        if (w->sdl && w->sdlId == sdlWindowId)
            return w.get();
    }
    return nullptr;
}

WNDPROC ProcedureOf(HWND window)
{
    HWND__* w = Live(window);
    return w ? w->procedure : nullptr;
}

void NoteFocusGained(HWND window)
{
    if (Live(window))
        Reg().focus = window;
}

void NoteFocusLost(HWND window)
{
    if (Reg().focus == window)
        Reg().focus = nullptr;
}

} // namespace platform

unsigned short RegisterClassExA(const WNDCLASSEXA* wc)
{
    if (!wc || !wc->lpszClassName || !wc->lpszClassName[0] || !wc->lpfnWndProc)
        return 0;
    if (FindClass(wc->lpszClassName))
        return 0;
    Reg().classes.push_back(WindowClass{wc->lpszClassName, wc->lpfnWndProc});
    // Any non-zero atom will do: nobody looks a class up by it.
    return static_cast<unsigned short>(0xC000 + Reg().classes.size() % 0x3FFF);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    std::vector<WindowClass>& classes = Reg().classes;
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (className && SameClassName(it->name, className)) {
            classes.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, void*)
{
    WindowClass* windowClass = FindClass(className);
    if (!windowClass || !platform::EnsureSdlVideo())
        return nullptr;

    // The device creates its own OpenGL 3.3 core context on this window later.
    // It draws the frame's last passes into the window, colour only, at the
    // back buffer's 8 bits a channel (elsewhere it keeps a copy of its own),
    // so the window needs no depth.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_POPUP)
        flags |= SDL_WINDOW_BORDERLESS;
    if (x == CW_USEDEFAULT || y == CW_USEDEFAULT)
        x = y = SDL_WINDOWPOS_UNDEFINED;
    SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, width > 0 ? width : 1,
                                       height > 0 ? height : 1, flags);
    if (!sdl) {
        std::string text = std::string("SDL window could not open: ") + SDL_GetError() + "\n";
        OutputDebugStringA(text.c_str());
        return nullptr;
    }

    auto window = std::make_unique<HWND__>();
    window->sdl = sdl;
    window->sdlId = SDL_GetWindowID(sdl);
    window->procedure = windowClass->procedure;
    HWND handle = window.get();
    Reg().windows.push_back(std::move(window));
    if (style & WS_VISIBLE)
        ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL DestroyWindow(HWND window)
{
    HWND__* w = Live(window);
    if (!w || w->destroying)
        return FALSE;
    // The procedure still sees a whole window here: the device is released
    // from WM_DESTROY and needs the context's window alive for that.
    w->destroying = true;
    if (w->procedure)
        w->procedure(window, WM_DESTROY, 0, 0);

    Registry& r = Reg();
    if (r.capture == window) {
        SDL_CaptureMouse(SDL_FALSE);
        r.capture = nullptr;
    }
    if (r.focus == window)
        r.focus = nullptr;
    platform::DiscardMessagesFor(window);
    SDL_DestroyWindow(w->sdl);
    w->sdl = nullptr;
    w->visible = false;
    w->destroying = false;
    return TRUE;
}

BOOL ShowWindow(HWND window, int command)
{
    HWND__* w = Live(window);
    if (!w)
        return FALSE;
    BOOL wasVisible = w->visible ? TRUE : FALSE;
    if (command == static_cast<int>(SW_HIDE)) {
        SDL_HideWindow(w->sdl);
        w->visible = false;
    } else {
        SDL_ShowWindow(w->sdl);
        w->visible = true;
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window)
{
    return Live(window) ? TRUE : FALSE;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    HWND__* w = Live(window);
    if (!w || !rect)
        return FALSE;
    int width = 0, height = 0;
    SDL_GetWindowSize(w->sdl, &width, &height);
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point)
{
    HWND__* w = Live(window);
    if (!w || !point)
        return FALSE;
    int x = 0, y = 0;
    SDL_GetWindowPosition(w->sdl, &x, &y);
    point->x += x;
    point->y += y;
    return TRUE;
}

HINSTANCE GetModuleHandleA(LPCSTR)
{
    return nullptr;
}

int ShowCursor(BOOL show)
{
    Registry& r = Reg();
    r.cursorCounter += show ? 1 : -1;
    ApplyCursorVisibility();
    return r.cursorCounter;
}

BOOL SetCursorPos(int x, int y)
{
    if (!platform::SdlVideoStarted())
        return FALSE;
    return SDL_WarpMouseGlobal(x, y) == 0 ? TRUE : FALSE;
}

HWND SetCapture(HWND window)
{
    Registry& r = Reg();
    if (window && !Live(window))
        return nullptr;
    HWND previous = Live(r.capture) ? r.capture : nullptr;
    r.capture = window;
    // Not every video driver can capture (the offscreen one cannot); the
    // capture is still recorded, which is all the game itself relies on.
    if (platform::SdlVideoStarted())
        SDL_CaptureMouse(window ? SDL_TRUE : SDL_FALSE);
    return previous;
}

BOOL ReleaseCapture()
{
    SetCapture(nullptr);
    return TRUE;
}

HWND GetCapture()
{
    return Live(Reg().capture) ? Reg().capture : nullptr;
}

HWND GetFocus()
{
    if (platform::SdlVideoStarted()) {
        if (SDL_Window* focused = SDL_GetKeyboardFocus()) {
            if (HWND window = platform::WindowFromSdlId(SDL_GetWindowID(focused)))
                return window;
        }
    }
    return Live(Reg().focus) ? Reg().focus : nullptr;
}

HWND SetFocus(HWND window)
{
    HWND previous = GetFocus();
    if (window && !Live(window))
        return nullptr;
    Reg().focus = window;
    if (window)
        SDL_RaiseWindow(window->sdl);
    return previous;
}

int GetSystemMetrics(int index)
{
    SDL_DisplayMode mode;
    if ((index != SM_CXSCREEN && index != SM_CYSCREEN) || !platform::EnsureSdlVideo() ||
        SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return 0;
    return index == SM_CXSCREEN ? mode.w : mode.h;
}
