// What the benchmarks share: finding the game's working folder and waiting
// for the GPU to finish what was drawn.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/Startup.h"
#include "platform/d3d9.h"
#include "platform/win32.h"
#include "player/Player.h"
#include "render/FrameShortcuts.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace {

// The shortcuts by the names the environment gives them.
const std::pair<const char*, Shortcut> kShortcutNames[] = {
    {"smear", Shortcut::CameraSmear},
    {"overlays", Shortcut::OverlaysInComposite},
    {"prepass", Shortcut::DepthPrePass},
    {"characterlight", Shortcut::CharacterLight},
    {"taps", Shortcut::TapsNearCasters},
    {"casterreach", Shortcut::CasterReach},
    {"gui", Shortcut::ClearGuiSkipped},
    {"velocitydepth", Shortcut::VelocityDepthFirst},
    {"particledraws", Shortcut::SharedParticleDraws},
    {"particleview", Shortcut::ParticlesInView},
    {"tracers", Shortcut::FittedTracers},
    {"damage", Shortcut::DamageInComposite},
    {"frameclear", Shortcut::FrameClearSkipped},
    {"bloomsum", Shortcut::SummedBloom},
    {"decaldraws", Shortcut::SharedDecalDraws},
    {"stillcamera", Shortcut::UnseenCameraMotion},
    {"shortsmear", Shortcut::ShortSmears},
    {"window", Shortcut::BackBufferInWindow},
    {"shadowpixels", Shortcut::ShadowPixels},
    {"skylast", Shortcut::EnclosingLast},
    {"overlaytiles", Shortcut::OverlayTiles},
    {"bloomboxes", Shortcut::BloomLitBoxes},
};

// The value below which a share p of the values lie, between neighbours.
double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const double at = p * (values.size() - 1);
    const size_t low = static_cast<size_t>(at);
    const size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - low);
}

// The median time in nanoseconds of `rounds` calls of `timed`, each after
// an untimed call of `untimed` that puts back what the last one used up.
template <class Untimed, class Timed>
double MedianNanoseconds(int rounds, Untimed untimed, Timed timed)
{
    std::vector<double> times;
    times.reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        untimed();
        const auto start = std::chrono::steady_clock::now();
        timed();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::nano>(end - start).count());
    }
    return Percentile(std::move(times), 0.5);
}

// A "RENDER\t" line of the game's log as its steps: each label as written
// ("scene: ") and its milliseconds, in the line's order.
std::vector<std::pair<std::string, double>> RenderSteps(const std::string& line)
{
    std::vector<std::pair<std::string, double>> steps;
    std::stringstream fields(line.substr(line.find('\t') + 1));
    std::string label, value;
    while (std::getline(fields, label, '\t') && std::getline(fields, value, '\t'))
        steps.emplace_back(label, std::atof(value.c_str()));
    return steps;
}

// VANTOREL_WORKDIR, else "build/game", else "../game" beside this program.
bool EnterWorkFolder(const char* argv0)
{
    std::vector<std::filesystem::path> candidates;
    if (const char* env = std::getenv("VANTOREL_WORKDIR"))
        candidates.emplace_back(env);
    candidates.emplace_back("build/game");
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
    if (!ec)
        candidates.push_back(self.parent_path().parent_path() / "game");
    else
        candidates.push_back(std::filesystem::path(argv0).parent_path().parent_path() / "game");
    for (const auto& folder : candidates) {
        if (std::filesystem::exists(folder / "data" / "fx" / "effects4.fx", ec)) {
            std::filesystem::current_path(folder);
            std::printf("working folder: %s\n", std::filesystem::current_path().c_str());
            return true;
        }
    }
    std::fprintf(stderr, "no game working folder found (set VANTOREL_WORKDIR)\n");
    return false;
}

// Reading one pixel of the presented frame waits until the GPU has drawn it.
struct FrameWaiter {
    IDirect3DSurface9* probe = nullptr;
    FrameWaiter()
    {
        D3DDevice->CreateRenderTarget(1, 1, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &probe, nullptr);
    }
    ~FrameWaiter()
    {
        if (probe)
            probe->Release();
    }
    void Wait()
    {
        IDirect3DSurface9* back = nullptr;
        if (!probe || FAILED(D3DDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)))
            return;
        Wait(back);
        back->Release();
    }
    // The same for a render target's surface.
    void Wait(IDirect3DSurface9* surface)
    {
        if (!probe || !surface)
            return;
        const RECT one = {0, 0, 1, 1};
        D3DDevice->StretchRect(surface, &one, probe, nullptr, D3DTEXF_POINT);
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(probe->LockRect(&locked, nullptr, D3DLOCK_READONLY)))
            probe->UnlockRect();
    }
};

// A window of its own class at the game's place and the given size, for the
// game's device; the class is unregistered by CloseBenchWindow.
HWND OpenBenchWindow(const char* className, WNDPROC procedure, int w, int h)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
    return CreateWindowExA(0, className, "The Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, w, h, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// The game's objects the loading sequence expects made, its screen settings
// at the given size, and MainWindow opened as above with the game's device
// on it: false, having said so, without a device.
bool OpenBenchGame(const char* className, WNDPROC procedure, int w, int h)
{
    getScenario();
    getPlayer();
    getTriggerManager();
    windowed = true;
    width = w;
    height = h;
    MainWindow = OpenBenchWindow(className, procedure, w, h);
    if (!MainWindow || FAILED(InitD3D(MainWindow))) {
        std::fprintf(stderr, "no device\n");
        return false;
    }
    return true;
}

void CloseBenchWindow(HWND window, const char* className)
{
    DestroyWindow(window);
    UnregisterClassA(className, GetModuleHandleA(nullptr));
}

} // namespace
