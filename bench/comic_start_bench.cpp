// What a game start and the first comics cost on the shipped data, offscreen
// at 800x600: the loading sequence's time, then a new game's frames through
// the first comic and into the second, each frame's update, drawing and
// present waited for. Prints the frames where a comic starts beside the
// median frame and the slowest, so that a hitch when a comic's panels first
// show is seen.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game",
// else "../game" beside this program's folder. Usage: comic_start_bench [frames]
#include "app/FrameRender.h"
#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/Loading.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "gui/GUIManager.h"
#include "input/InputManager.h"
#include "platform/dinput.h"
#include "platform/win32.h"
#include "player/Player.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

#include "bench_support.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr float kStep = 1.0f / 30.0f;
constexpr const char* kClass = "VantorelComicStartBench";

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const int frames = argc > 1 ? std::max(30, std::atoi(argv[1])) : 800;
    if (!EnterWorkFolder(argv[0]))
        return 1;
    if (!OpenBenchGame(kClass, WndProc, kWidth, kHeight))
        return 1;
    platform::FakeDirectInput keys;
    platform::SetDirectInputSource(&keys);
    getInputManager()->Init(GetModuleHandleA(nullptr), MainWindow);

    const auto loadStart = std::chrono::steady_clock::now();
    const double loadCpu = CpuMs();
    LoadGame([](const std::string&) {});
    std::printf("game start: %.0f ms wall, %.0f ms CPU\n", Since(loadStart), CpuMs() - loadCpu);
    SetFocus(MainWindow);

    using G = CGameStateFlagsManager;
    GetGameCalls().ResetManagers();
    getGUI().mainMenuActive = false;
    FrameWaiter waiter;
    std::vector<double> ms;
    std::vector<int> comicStarts;
    int previous = getGSF().sequence;
    for (int frame = 0; frame < frames; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        GetGameCalls().UpdateFrame(kStep);
        RenderFrame(kStep);
        waiter.Wait();
        ms.push_back(Since(start));
        const int sequence = getGSF().sequence;
        if (sequence != previous && (sequence == G::PlayingVinyetasIntro1 || sequence == G::PlayingVinyetasIntro2))
            comicStarts.push_back(frame);
        previous = sequence;
    }
    const double median = Percentile(ms, 0.5);
    std::printf("%d frames: median %.1f ms, 95th percentile %.1f ms, slowest %.1f ms (frame %ld)\n", frames, median,
                Percentile(ms, 0.95), *std::max_element(ms.begin(), ms.end()),
                static_cast<long>(std::max_element(ms.begin(), ms.end()) - ms.begin()));
    for (int start : comicStarts) {
        std::printf("comic starts at frame %d:", start);
        for (int f = start; f < start + 4 && f < frames; ++f)
            std::printf(" %.1f", ms[static_cast<size_t>(f)]);
        std::printf(" ms\n");
    }
    int slow = 0;
    for (double m : ms)
        slow += m > 2.0 * median;
    std::printf("frames over twice the median: %d\n", slow);

    platform::SetDirectInputSource(nullptr);
    CloseBenchWindow(MainWindow, kClass);
    return 0;
}
