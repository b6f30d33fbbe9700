// The game's whole frame render on the shipped data: each level ("hangares",
// then "isla") from its first checkpoint, offscreen at 800x600 with every
// pass switched on (motion blur and bloom included). Reports the median
// milliseconds per frame over the measured frames, waiting for the GPU at
// the end of each, and each pass's share of the frame as the timing log's
// labels give it (those measure the calls, not the GPU).
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game",
// else "../game" beside this program's folder. Usage: level_bench [frames]
#include "app/FrameRender.h"
#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/Loading.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/DebugText.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "input/InputManager.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"
#include "platform/d3dx9tex.h"
#include "platform/win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_support.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kWarmUpFrames = 3;

// Per label: the summed milliseconds over the RENDER lines from `skip` on,
// and the number of such lines.
struct LogTotals {
    std::map<std::string, double> ms;
    std::vector<std::string> order;
    int frames = 0;
};

LogTotals ReadRenderTotals(const std::string& path, int skip)
{
    LogTotals totals;
    std::ifstream in(path);
    std::string line;
    int seen = 0;
    while (std::getline(in, line)) {
        if (line.rfind("RENDER\t", 0) != 0)
            continue;
        if (seen++ < skip)
            continue;
        ++totals.frames;
        std::stringstream fields(line.substr(7));
        std::string label, value;
        while (std::getline(fields, label, '\t') && std::getline(fields, value, '\t')) {
            if (!totals.ms.count(label))
                totals.order.push_back(label);
            totals.ms[label] += std::atof(value.c_str());
        }
    }
    return totals;
}

void SwitchEverythingOn()
{
    for (const char* name : {"scenarioRender", "playerRender", "particlesRender", "blurRender", "bloomRender",
                             "applyOld", "guiRender", "luaMsgRender", "textdebugRender"})
        setMainConfig(name, true);
    // For comparisons: VANTOREL_BENCH_OFF="blurRender,bloomRender" measures without those.
    if (const char* off = std::getenv("VANTOREL_BENCH_OFF")) {
        std::stringstream names(off);
        std::string name;
        while (std::getline(names, name, ','))
            if (!name.empty())
                setMainConfig(name, false);
    }
}

// Puts the game at the level's first checkpoint, playing, no cut-scene.
void EnterLevel(const std::string& level)
{
    const bool isla = level == "isla";
    getTriggerManager().checkpoint = isla ? 3 : 1;
    GetGameCalls().RestartLevel(false);
    if (getScenario()->scenarioName != level) {
        getCollisionManager().LoadNewScenario(level);
        getScenario()->SelectScenario(level);
        getSceneManager().Setup();
        getTriggerManager().currentZone = isla ? 2 : 1;
    }
    // The restart does not place the hero yet, whether or not the level was
    // already selected: the checkpoint as the restart will set it.
    const D3DXVECTOR3 position = isla ? D3DXVECTOR3(1120.89f, 26.1259f, -912.779f)
                                      : D3DXVECTOR3(-1159.4f, 9.231f, -665.515f);
    const float yaw = isla ? -1.76f : -1.59f;
    getCamera().LoadValues(position.x, position.y, position.z, D3DDevice);
    getPlayer()->GetPosition().SetPosition(position);
    getCollisionManager().setNewPlayerPosition(position);
    getPlayer()->GetPosition().SetYaw(yaw);
    getCamera().SetYaw(yaw);
    CGameStateFlagsManager& gsf = getGSF();
    gsf.setHangaresIntroDone();
    gsf.pierIntact = !isla;
    if (isla)
        gsf.setIslaIntroDone();
    getRigid()->Clear();
    getRigid()->scriptedSequenceRunning = false;
    getPlayer()->SetLife(350);
}

// The back buffer as a PNG, to look at what was measured.
void SaveFrame(const std::string& file)
{
    IDirect3DTexture9* copy = nullptr;
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* surface = nullptr;
    const UINT w = static_cast<UINT>(ClientWidth), h = static_cast<UINT>(ClientHeight);
    if (SUCCEEDED(D3DDevice->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &copy,
                                           nullptr)) &&
        SUCCEEDED(copy->GetSurfaceLevel(0, &surface)) &&
        SUCCEEDED(D3DDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)) &&
        SUCCEEDED(D3DDevice->StretchRect(back, nullptr, surface, nullptr, D3DTEXF_POINT)))
        D3DXSaveTextureToFileA(file.c_str(), D3DXIFF_PNG, copy, nullptr);
    if (back)
        back->Release();
    if (surface)
        surface->Release();
    if (copy)
        copy->Release();
}

bool BenchLevel(const std::string& level, int frames, const std::string& logPath, const std::string& shots)
{
    EnterLevel(level);
    if (getScenario()->scenarioName != level) {
        std::fprintf(stderr, "%s: the restart did not select the level\n", level.c_str());
        return false;
    }
    SwitchEverythingOn();

    getProfiler().Enable(true);
    getProfiler().Open(logPath.c_str());
    FrameWaiter waiter;
    const float step = 1.0f / 30.0f;
    for (int i = 0; i < kWarmUpFrames; ++i) {
        GetGameCalls().UpdateFrame(step);
        getRigid()->scriptedSequenceRunning = false;
        RenderFrame(step);
        waiter.Wait();
    }

    std::vector<double> times;
    int drawn = 0, culled = 0;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        RenderFrame(step);
        waiter.Wait();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        drawn = getSceneManager().drawnCount;
        culled = getSceneManager().culledCount;
    }
    getProfiler().Close();
    getProfiler().Enable(false);
    if (!shots.empty())
        SaveFrame((std::filesystem::path(shots) / (level + ".png")).string());

    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.size() % 2 ? sorted[sorted.size() / 2]
                                            : 0.5 * (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]);
    std::printf("\n%s: %d frames at %dx%d, median %.2f ms/frame (min %.2f, max %.2f)\n", level.c_str(), frames,
                static_cast<int>(ClientWidth), static_cast<int>(ClientHeight), median, sorted.front(),
                sorted.back());
    std::printf("  room objects: %zu; entities drawn %d, culled %d (last frame)\n",
                getScenario()->GetRoomObjects().size(), drawn, culled);

    const LogTotals totals = ReadRenderTotals(logPath, kWarmUpFrames);
    const double total = totals.ms.count("TOTAL_RENDER: ") ? totals.ms.at("TOTAL_RENDER: ") : 0.0;
    if (totals.frames == 0 || total <= 0.0)
        return true;
    std::printf("  per pass (timing-log labels, mean ms and share of TOTAL_RENDER):\n");
    for (const std::string& label : totals.order) {
        const double ms = totals.ms.at(label);
        std::printf("    %-18s %8.3f ms  %5.1f%%\n", label.c_str(), ms / totals.frames, 100.0 * ms / total);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    std::string shots;
    if (argc > 2)
        shots = std::filesystem::absolute(argv[2]).string();
    if (!EnterWorkFolder(argv[0]))
        return 1;
    const std::string logPath =
        (std::filesystem::temp_directory_path() / ("level_bench_" + std::to_string(::getpid()) + ".txt")).string();

    // The game's own start-up, less the splash wait and the loading images.
    getScenario();
    getPlayer();
    getTriggerManager();
    windowed = true;
    width = kWidth;
    height = kHeight;

    MainWindow = OpenBenchWindow("VantorelLevelBench", WndProc, kWidth, kHeight);
    if (FAILED(InitD3D(MainWindow))) {
        std::fprintf(stderr, "no device\n");
        return 1;
    }
    getInputManager()->Init(GetModuleHandleA(nullptr), MainWindow);
    LoadGame([](const std::string&) {});
    getDebugText().Init(D3DDevice, debug_font_size, debug_font);
    // The loading sequence opened the game's own log; the figures go elsewhere.
    getProfiler().Close();
    getProfiler().Enable(false);
    GetGameCalls().ResetManagers();

    bool ok = BenchLevel("hangares", frames, logPath, shots);
    ok = BenchLevel("isla", frames, logPath, shots) && ok;

    std::filesystem::remove(logPath);
    CloseBenchWindow(MainWindow, "VantorelLevelBench");
    return ok ? 0 : 1;
}
