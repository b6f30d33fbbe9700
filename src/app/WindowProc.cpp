#include "app/WindowProc.h"

#include "app/MainConfig.h"
#include "app/Startup.h"
#include "render/Bloom.h"
#include "render/EffectManager.h"
#include "script/Console.h"

namespace {

bool g_WindowClosed = false;

// 'º' on a Spanish keyboard, the key left of '1'.
constexpr WPARAM kConsoleKey = 0xBA;
const char* const kEffectFile = "data/fx/effects4.fx";

void OnCharacter(WPARAM character)
{
    CConsole* console = getConsole();
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
        if (getConsole()->IsVisible()) {
            if (wParam == VK_DOWN)
                getConsole()->HistoryNext();
            else if (wParam == VK_UP)
                getConsole()->HistoryPrevious();
        }
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
