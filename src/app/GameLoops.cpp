#include "app/GameLoops.h"

#include "app/GameCalls.h"
#include "app/WindowProc.h"
#include "gui/GUIManager.h"
#include "platform/win32.h"

namespace {

// Handles every pending message; false once the window is gone. Here every
// key repeat and every typed character is a message of its own: taken one a
// pass, a held key or a burst of typing would queue up for many seconds and a
// close of the window would wait behind it all.
bool HandleMessages()
{
    MSG msg;
    while (!IsWindowClosed() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return !IsWindowClosed();
}

// The end of a frame's wait that is spun on rather than slept: a sleep may
// overrun by a scheduler's tick, the spin keeps the frame's length exact.
constexpr double kSpinMs = 1.5;

std::int64_t ReadCounter()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

} // namespace

void RunGameLoops()
{
    CGameCalls& calls = GetGameCalls();
    CGUIManager& gui = getGUI();

    LARGE_INTEGER frequencyValue;
    QueryPerformanceFrequency(&frequencyValue);
    const double frequency = static_cast<double>(frequencyValue.QuadPart);
    double dt = 0.0;
    bool quit = false;

    while (gui.mainMenuActive) {
        // Measured from here, not from wherever the last reading was taken:
        // the first pass after loading or after a game would otherwise get
        // all that time as its step.
        std::int64_t last = ReadCounter();
        while (gui.mainMenuActive) {
            if (!HandleMessages())
                return;
            const std::int64_t now = ReadCounter();
            dt = static_cast<double>(now - last) / frequency;
            last = now;

            const float step = static_cast<float>(dt);
            calls.UpdateSound(step);
            calls.UpdateSubtitles(step);
            calls.UpdateInput();
            calls.UpdateMainMenu(step);
            calls.RenderFrame(step);
            if (gui.exitRequested) {
                quit = true;
                break;
            }
        }

        if (!quit)
            calls.RestartLevel(true);
        calls.ResetManagers();
        if (quit)
            return;

        while (!gui.mainMenuActive) {
            const std::int64_t frameStart = ReadCounter();
            if (!HandleMessages())
                return;
            const float step = static_cast<float>(dt);
            if (!gui.pauseActive) {
                calls.UpdateFrame(step);
            } else {
                calls.UpdateInput();
                calls.UpdateGUI(step);
            }
            calls.RenderFrame(step);
            if (gui.exitRequested)
                quit = true;

            // Hold the frame to 1/30 s; a slower frame is neither shortened
            // nor split, its whole length becomes the next step. The wait
            // sleeps while more than a couple of milliseconds remain and
            // spins only on the last of them: the frame just presented is
            // still being drawn on the processor's other threads, and a
            // spinning thread would take their cores for the whole wait.
            double elapsed = static_cast<double>(ReadCounter() - frameStart);
            dt = elapsed / frequency;
            while (frequency / elapsed > 30.0) {
                const double leftMs = (1.0 / 30.0 - elapsed / frequency) * 1000.0;
                if (leftMs > kSpinMs)
                    Sleep(static_cast<DWORD>(leftMs - kSpinMs + 0.5));
                elapsed = static_cast<double>(ReadCounter() - frameStart);
                dt = elapsed / frequency;
            }
            if (quit)
                return;
        }
    }
}
