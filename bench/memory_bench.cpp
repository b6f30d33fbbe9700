// Resident memory of the shipped game: started offscreen at 800x600 as the
// game starts, then each level ("hangares", then "isla") entered at its first
// checkpoint and played for the given game time with every pass on, the game
// updated and drawn as the game loop does it.
//
// It prints the resident size (VmRSS), the peak (VmHWM) and the C heap in use
// (mallinfo2: what the game and the GL driver hold through malloc) after the
// start-up, on entering each level and then every game minute, so what a
// change saves shows where it is held.
//
// Usage: memory_bench [game seconds per level, default 120] [draw every Nth frame, default 1]
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game",
// else "../game" beside this program's folder.
#include "bench_support.h"

#include "app/FrameRender.h"
#include "app/MainConfig.h"
#include "platform/gl_device.h"

#include "../tests/app/shipped_game.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <malloc.h>

namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), 0 when absent.
long StatusKb(const std::string& field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return 0;
}

void Report(const std::string& when)
{
    const struct mallinfo2 heap = mallinfo2();
    std::printf("  %-28s RSS %7.1f MB  peak %7.1f MB  heap in use %7.1f MB (mapped blocks %6.1f MB)\n",
                when.c_str(), StatusKb("VmRSS") / 1024.0, StatusKb("VmHWM") / 1024.0,
                (heap.uordblks + heap.hblkhd) / 1048576.0, heap.hblkhd / 1048576.0);
    std::fflush(stdout);
}

void SwitchEverythingOn()
{
    for (const char* name : {"scenarioRender", "playerRender", "particlesRender", "blurRender", "bloomRender",
                             "applyOld", "guiRender", "luaMsgRender", "textdebugRender"})
        setMainConfig(name, true);
}

void PlayLevel(const std::string& level, int seconds, int drawEvery)
{
    shippedgame::EnterLevel(level);
    SwitchEverythingOn();
    Report(level + ", entered");
    const float step = 1.0f / 30.0f;
    const int frames = seconds * 30;
    for (int frame = 1; frame <= frames; ++frame) {
        GetGameCalls().UpdateFrame(step);
        if (frame % drawEvery == 0) {
            RenderFrame(step);
            platform::FinishDrawing(D3DDevice);
        }
        if (frame % 1800 == 0 || frame == frames || frame == 30)
            Report(level + ", " + std::to_string(frame / 30) + " s of play");
    }
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 120;
    const int drawEvery = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    if (!EnterWorkFolder(argv[0]))
        return 1;
    Report("before start-up");
    if (!shippedgame::Start(800, 600)) {
        std::fprintf(stderr, "no device\n");
        return 1;
    }
    Report("after start-up");
    PlayLevel("hangares", seconds, drawEvery);
    PlayLevel("isla", seconds, drawEvery);
    PlayLevel("hangares", std::min(seconds, 60), drawEvery);
    shippedgame::Stop();
    return 0;
}
