// Our stand-in for the handful of Win32 (user32, kernel32, winmm) calls the game
// makes, over SDL2. Only the shapes the game uses exist; each call does what the
// game expects of its Windows namesake.
#pragma once

#include <cstdint>
#include <functional>

typedef int BOOL;
typedef unsigned int UINT;
typedef unsigned long DWORD;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef long LONG;
typedef const char* LPCSTR;
typedef void* HINSTANCE;
typedef void* HMENU;
typedef void* HICON;
typedef void* HCURSOR;
typedef void* HBRUSH;

struct HWND__;
typedef HWND__* HWND;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#define CALLBACK
#define WINAPI

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT { LONG x, y; };
struct RECT { LONG left, top, right, bottom; };

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

union LARGE_INTEGER {
    struct { DWORD LowPart; LONG HighPart; } u;
    std::int64_t QuadPart;
};

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

// Window messages the game's window procedure reads.
enum : UINT {
    WM_NULL = 0x0000,
    WM_DESTROY = 0x0002,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
};

// Virtual-key codes (the subset SDL keys are translated to; letters and digits
// are their upper-case ASCII codes, as on Windows).
enum : UINT {
    VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
    VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
    VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25,
    VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
    VK_NUMPAD0 = 0x60, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F12 = 0x7B,
    VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD,
    VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB,
    VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE,
    VK_SNAPSHOT = 0x2C, VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_F24 = 0x87,
    VK_NUMLOCK = 0x90, VK_SCROLL = 0x91, VK_OEM_102 = 0xE2,
};

// Mouse-message wParam flags: the buttons held and the modifier keys down.
enum : WPARAM { MK_LBUTTON = 0x01, MK_RBUTTON = 0x02, MK_SHIFT = 0x04, MK_CONTROL = 0x08, MK_MBUTTON = 0x10 };

// Mouse messages carry the client position in lParam: x in the low word, y in
// the high word, both signed.
inline int GET_X_LPARAM(LPARAM lParam) { return static_cast<short>(lParam & 0xFFFF); }
inline int GET_Y_LPARAM(LPARAM lParam) { return static_cast<short>((lParam >> 16) & 0xFFFF); }

enum : UINT { PM_NOREMOVE = 0, PM_REMOVE = 1 };
enum : UINT { SW_HIDE = 0, SW_SHOWDEFAULT = 10, SW_SHOW = 5 };
enum : UINT { CS_CLASSDC = 0x0040 };
// Lets the system place the window.
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);
enum : DWORD { WS_OVERLAPPEDWINDOW = 0x00CF0000, WS_POPUP = 0x80000000u, WS_VISIBLE = 0x10000000 };

// --- window class and window -------------------------------------------------
// Records the class so CreateWindowExA can find its procedure; returns non-zero,
// or 0 when the name or procedure is missing or the name is taken. Class names
// are compared without regard to case.
unsigned short RegisterClassExA(const WNDCLASSEXA* wc);
// Forgets the class; TRUE when it was registered.
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
// Opens a hidden window of the class at (x, y) (shown at once with WS_VISIBLE);
// its client area is width x height. The window keeps the class's procedure.
// Null when the class is unknown or SDL fails.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// Sends WM_DESTROY to the window procedure, then closes the window and drops its
// queued messages; the handle stays safe to pass but is dead from then on (calls
// on it fail). TRUE on success.
BOOL DestroyWindow(HWND window);
// Shows (any command but SW_HIDE) or hides the window; returns whether it was visible.
BOOL ShowWindow(HWND window, int command);
// Nothing to repaint here; TRUE for a live window.
BOOL UpdateWindow(HWND window);
// The client area as (0, 0, width, height) in pixels.
BOOL GetClientRect(HWND window, RECT* rect);
// Converts a client point to screen coordinates.
BOOL ClientToScreen(HWND window, POINT* point);
// A null handle: the game has one module.
HINSTANCE GetModuleHandleA(LPCSTR name);

// --- messages ----------------------------------------------------------------
// Hands out at most one pending message per call (TRUE), translated from SDL
// events: keys as WM_KEYDOWN/WM_KEYUP with virtual-key codes, typed text as
// WM_CHAR with Latin-1 codes (so "º" is 0xBA; characters beyond Latin-1 are
// dropped; Enter, Backspace, Tab and Escape follow their WM_KEYDOWN with WM_CHAR
// 13, 8, 9 and 27), mouse buttons and movement (consecutive moves merge into one
// WM_MOUSEMOVE), focus changes, the close button as WM_CLOSE, and WM_QUIT once
// PostQuitMessage was called. A non-null window takes only that window's
// messages (so not WM_QUIT, which belongs to no window); filterMin..filterMax
// (both 0: all) limits the message range, except for WM_QUIT. PM_NOREMOVE leaves
// the message queued.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Character messages are produced by PeekMessageA already; returns FALSE.
BOOL TranslateMessage(const MSG* msg);
// Calls the procedure of the message's window and returns its result.
LRESULT DispatchMessageA(const MSG* msg);
// Default handling: WM_CLOSE destroys the window; everything else returns 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues WM_QUIT with the exit code.
void PostQuitMessage(int exitCode);

// --- cursor, capture, focus ---------------------------------------------------
// Display counter as on Windows: show increments, hide decrements, and the
// cursor is visible while the counter is >= 0. Returns the new counter.
int ShowCursor(BOOL show);
// Moves the pointer to a screen position.
BOOL SetCursorPos(int x, int y);
// Captures the mouse to the window (null releases it); returns the previous capture.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
// The window that has the keyboard focus, or null. Where the video driver keeps
// no focus (the offscreen one), the last focus message or SetFocus decides.
HWND GetFocus();
// Gives the keyboard focus to the window (raising it); returns the previous focus.
HWND SetFocus(HWND window);

// The desktop's width (SM_CXSCREEN) or height (SM_CYSCREEN) in pixels; 0 when
// the display cannot be asked or for any other index.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
int GetSystemMetrics(int index);

// --- time ----------------------------------------------------------------------
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
// Milliseconds since an arbitrary start.
DWORD timeGetTime();
// Waits the given milliseconds (on the injected clock, a fake clock just advances).
void Sleep(DWORD milliseconds);

// --- debug output ----------------------------------------------------------------
// Writes the text as it stands to standard error.
void OutputDebugStringA(LPCSTR text);
// Developers' traces, too many for a player's terminal: appended to
// "data/debug_log.txt" in the working folder, which the first trace of a run
// starts afresh. Nothing happens when the file cannot be written.
void DebugTraceA(LPCSTR text);

// --- seams for tests ----------------------------------------------------------------
namespace platform {

// Where the time calls get their time. The default reads the system's monotonic
// clock; tests install a fake that they advance by hand, so nothing sleeps.
struct Clock {
    virtual ~Clock() = default;
    virtual std::int64_t Ticks() = 0;          // counter value
    virtual std::int64_t TicksPerSecond() = 0; // counter frequency
    virtual void Sleep(DWORD milliseconds) = 0;
};
// Installs a clock (null restores the system clock). The caller keeps ownership.
void SetClock(Clock* clock);

// A clock for tests: time moves only through Advance and Sleep.
class FakeClock : public Clock {
public:
    explicit FakeClock(std::int64_t ticksPerSecond = 1000000) : m_Frequency(ticksPerSecond) {}
    std::int64_t Ticks() override { return m_Ticks; }
    std::int64_t TicksPerSecond() override { return m_Frequency; }
    void Sleep(DWORD milliseconds) override { Advance(milliseconds / 1000.0); }
    void Advance(double seconds) { m_Ticks += static_cast<std::int64_t>(seconds * m_Frequency); }
private:
    std::int64_t m_Ticks = 0;
    std::int64_t m_Frequency;
};

} // namespace platform
