// The time of a level restart at each checkpoint and of the switch to the
// island, on the shipped data: the whole rebuild a player waits through after
// dying or choosing the pause menu's checkpoint item. Reports the median and
// the slowest of the runs in milliseconds.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game",
// else "../game" beside this program's folder. Usage: restart_bench [runs]
#include "app/DebugText.h"
#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/LevelRestart.h"
#include "app/Loading.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "input/InputManager.h"
#include "player/Player.h"
#include "platform/win32.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

#include "bench_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const char* kWindowClass = "VantorelRestartBench";

bool EnterWorkFolder()
{
    std::vector<std::filesystem::path> candidates;
    if (const char* env = std::getenv("VANTOREL_WORKDIR"))
        candidates.emplace_back(env);
    candidates.emplace_back("build/game");
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
    if (!ec)
        candidates.push_back(self.parent_path().parent_path() / "game");
    for (const auto& folder : candidates)
        if (std::filesystem::exists(folder / "data" / "fx" / "effects4.fx", ec)) {
            std::filesystem::current_path(folder);
            return true;
        }
    std::fprintf(stderr, "no game working folder found (set VANTOREL_WORKDIR)\n");
    return false;
}

void Report(const char* what, int runs, const std::function<void()>& prepare, const std::function<void()>& step)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        step();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-22s median %8.2f ms   slowest %8.2f ms   (%d runs)\n", what, ms[ms.size() / 2], ms.back(), runs);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    if (!EnterWorkFolder())
        return 1;

    if (!OpenBenchGame(kWindowClass, WndProc, 800, 600))
        return 1;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    getInputManager()->Init(instance, MainWindow);
    LoadGame([](const std::string&) {});
    getProfiler().Close();
    getProfiler().Enable(false);

    Report("new game and reset", runs, [] {}, [] {
        RestartLevel(true);
        GetGameCalls().ResetManagers();
    });
    for (int checkpoint = 1; checkpoint <= 5; ++checkpoint) {
        const std::string name = "checkpoint " + std::to_string(checkpoint);
        // From the other level each time, so that every run loads its level.
        Report(name.c_str(), runs, [checkpoint] {
            getTriggerManager().checkpoint = checkpoint <= 2 ? 3 : 1;
            RestartLevel(false);
            getTriggerManager().checkpoint = checkpoint;
        }, [] { RestartLevel(false); });
    }
    Report("switch to the island", runs, [] {
        getTriggerManager().checkpoint = 1;
        RestartLevel(false);
        getGSF().setReadyLevelSwitchIsla();
    }, [] { SwitchLevelToIsla(); });

    CloseBenchWindow(MainWindow, kWindowClass);
    return 0;
}
