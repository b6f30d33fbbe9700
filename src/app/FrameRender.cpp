#include "app/FrameRender.h"

#include "app/DebugText.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "gui/MissionText.h"
#include "script/Console.h"

void RenderFrame(float dt)
{
    // Placeholder until the frame render is built: a cleared frame with the
    // mission text, debug text and console, timed like the real one.
    if (!D3DDevice)
        return;
    CProfiler& profiler = getProfiler();
    LARGE_INTEGER frameStart{};
    profiler.MarkFrameStart(&frameStart);
    profiler.Write("RENDER\t");

    profiler.StartTimer();
    D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    const bool began = SUCCEEDED(D3DDevice->BeginScene());
    profiler.StopTimer("scene: ");
    if (began) {
        if (getMainConfig("luaMsgRender")) {
            profiler.StartTimer();
            getMissionText().Render();
            profiler.StopTimer("luaMsg: ");
        }
        if (getMainConfig("textdebugRender")) {
            profiler.StartTimer();
            getDebugText().Draw();
            profiler.StopTimer("printTextDebug:");
        }
        profiler.StartTimer();
        getConsole()->Render();
        profiler.StopTimer("console: ");
        profiler.StartTimer();
        D3DDevice->EndScene();
        profiler.StopTimer("endScene: ");
    }
    profiler.StartTimer();
    D3DDevice->Present(nullptr, nullptr, nullptr, nullptr);
    profiler.StopTimer("present: ");
    profiler.StopTimerFrom("TOTAL_RENDER: ", &frameStart);
}
