#include "app/WindowProc.h"

#include "app/MainConfig.h"
#include "app/Startup.h"
#include "render/Bloom.h"
#include "render/EffectManager.h"
#include "script/Console.h"

namespace {

bool g_WindowClosed = false;
// The console key just went down: the character it types comes next.
bool g_ConsoleKeyTyping = false;

// 'º' on a Spanish keyboard, the key left of '1'.
constexpr WPARAM kConsoleKey = 0xBA;
// The scan code of the key left of '1', whatever a layout prints on it: a
// keyboard without 'º' opens the console there too.
constexpr LPARAM kConsoleScanCode = 0x29;

bool IsConsoleKeyPlace(LPARAM lParam)
{
    const bool extended = (lParam >> 24) & 1;
    return ((lParam >> 16) & 0xFF) == kConsoleScanCode && !extended;
}
const char* const kEffectFile = "data/fx/effects4.fx";

void OnCharacter(WPARAM character)
{
    CConsole* console = getConsole();
    // The key toggled the console as it went down; what it types ('º', '`',
    // '²'...) neither toggles it back nor lands on the line.
    if (g_ConsoleKeyTyping) {
        g_ConsoleKeyTyping = false;
        return;
    }
    if (character == kConsoleKey) {
        console->Toggle();
        return;
    }
    if (console->IsVisible()) {
        console->OnChar(static_cast<int>(character));
        return;
    }
    switch (character) {
    case '.':
        // A failed compile reports itself; only a good one is announced.
        if (getEffectManager().LoadEffect(kEffectFile)) {
            OutputDebugStringA("effect loaded: ");
            OutputDebugStringA(kEffectFile);
            OutputDebugStringA("\n");
        }
        break;
    case ':':
        BloomEffect.LoadXMLSaying("data/fx/bloom.xml");
        break;
    case 'N':
        GameTimeScale *= 0.85f;
        break;
    case 'M':
        GameTimeScale *= 1.15f;
        break;
    default:
        break;
    }
}

} // namespace

bool IsWindowClosed()
{
    return g_WindowClosed;
}

void ResetWindowClosed()
{
    g_WindowClosed = false;
    g_ConsoleKeyTyping = false;
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        // The device needs its window to be released; from here on nothing
        // may draw, which the loops learn from the flag.
        ReleaseDevice();
        g_WindowClosed = true;
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        g_ConsoleKeyTyping = IsConsoleKeyPlace(lParam);
        if (g_ConsoleKeyTyping) {
            // A held key repeats: it toggles once, as it goes down.
            if (!((lParam >> 30) & 1))
                getConsole()->Toggle();
        } else if (getConsole()->IsVisible()) {
            if (wParam == VK_DOWN)
                getConsole()->HistoryNext();
            else if (wParam == VK_UP)
                getConsole()->HistoryPrevious();
        }
        break;
    case WM_KEYUP:
        // A dead key types nothing until the next key: its character is not
        // the console key's.
        g_ConsoleKeyTyping = false;
        break;
    case WM_CHAR:
        OnCharacter(wParam);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        SetCapture(window);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        SetCapture(nullptr);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
