// The game's whole frame render on the shipped data: each level ("hangares",
// then "isla") from its first checkpoint, offscreen at 800x600 with every
// pass switched on (motion blur and bloom included), the game updated between
// frames. Each level is drawn the plain way (list order, every pass, no
// switch compiled out) and then the way the game draws it, one after the
// other in the same run, so the two figures meet the same machine load.
//
// Per frame it reports the wall time (the device finished at the end of the
// frame) and the CPU time of the whole process, all threads (getrusage): the
// software renderer's threads are counted wherever they run, so the CPU
// figure hardly moves with the load of the machine. With --passes it also
// draws a second set of frames finishing the device at every timing-log
// label, so each pass is charged with its own drawing (the finishing costs
// time of its own: read those shares, not their sum). With --serial it draws
// frames that finish only at their end and gives, per timing-log label, the
// main thread's own CPU time and waits, the draws issued and the renderer's
// other threads' run time and time waiting for a core: where the main thread
// works alone while the drawing threads have nothing handed to them.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game",
// else "../game" beside this program's folder.
// With --turning the view swings every frame, so that everything moves on
// screen and the velocity pass smears every pixel (its dearest case); without
// it the hero and the camera stand still, as nobody plays.
// Each level is then measured once more, both ways, with five animated
// characters standing in front of the camera and about 2,000 particles of
// fire among them (the crowd case), and once more with a wave fighting: eight
// enemies of the shipped models in two rows facing the hero, weapons in their
// hands, firing in turn (muzzle flashes, tracers, sparks where the shots
// strike) and bleeding from his hits, while he aims at them (the wave case).
// After each case's timings one frame is drawn both ways from the same state
// and the two pictures compared.
// The environment narrows or shifts the comparison: VANTOREL_BENCH_AGAINST,
// _WITHOUT, _EFFECT, _OFF, _LEVELS and _CASES (see where each is read).
// With --walking the eye steps forward or back every frame: the camera travels.
// Usage: level_bench [frames] [folder for the last frames as PNG] [--passes] [--serial] [--turning] [--walking]
//        [--level=isla]
// For two cores: taskset -c 0,1 level_bench
#include "bench_support.h"
#include "level_bench/level_bench.h"

#include "app/FrameRender.h"
#include "app/GameStateFlags.h"
#include "app/LevelLists.h"
#include "app/Profiler.h"
#include "app/MainConfig.h"
#include "gui/GUIManager.h"
#include "platform/d3dx9tex.h"
#include "platform/gl_device.h"
#include "player/ControllerSelector.h"
#include "render/Bloom.h"
#include "render/Composite.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "render/RenderTarget.h"
#include "scene/ParticleManager.h"
#include "scene/SceneManager.h"

#include "../tests/app/shipped_game.h"
#include "../tests/platform/offscreen_device_fixture.h"
#include "platform/crt.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace levelbench {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kWarmUpFrames = 3;

// Per label: the summed milliseconds over the RENDER lines from `skip` on,
// and the number of such lines.
struct LogTotals {
    std::map<std::string, double> ms;
    std::vector<std::string> order;
    int frames = 0;
};

// With a stride, only every stride-th line from the phase-th on.
LogTotals ReadRenderTotals(const std::string& path, int skip, int stride = 1, int phase = 0)
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
        if ((seen - 1 - skip) % stride != phase)
            continue;
        ++totals.frames;
        for (const auto& [label, ms] : RenderSteps(line)) {
            if (!totals.ms.count(label))
                totals.order.push_back(label);
            totals.ms[label] += ms;
        }
    }
    return totals;
}

void FinishDevice()
{
    platform::FinishDrawing(D3DDevice);
}

// CPU milliseconds of the whole process so far, every thread.
double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// VANTOREL_BENCH_WITHOUT="smear,overlays" draws the game's way without those
// shortcuts. VANTOREL_BENCH_AGAINST="gui" weighs those shortcuts alone: the
// first way is then the game's way without them, the second with them, in the
// same run, and the pictures compared are those two.
bool Named(const char* variable, const char* name)
{
    const char* names = std::getenv(variable);
    std::stringstream list(names ? names : "");
    std::string item;
    while (std::getline(list, item, ','))
        if (item == name)
            return true;
    return false;
}

bool Against()
{
    const char* names = std::getenv("VANTOREL_BENCH_AGAINST");
    return names && *names;
}

// VANTOREL_BENCH_AGAINST="effect" with VANTOREL_BENCH_EFFECT="file" weighs a
// change of the shaders alone: both ways are the game's, the first with the
// shipped effect, the second with the file. The effect is loaded again for
// each way, so they take turns in rounds rather than frame by frame.
bool EffectAgainst()
{
    return Named("VANTOREL_BENCH_AGAINST", "effect") && std::getenv("VANTOREL_BENCH_EFFECT");
}

// The two ways share one effect and take turns frame by frame.
bool TurnsByFrame()
{
    return Against() && !EffectAgainst();
}

// The first way (false: plain, or the game's less the shortcuts weighed) or the second (the game's).
void SetWay(bool second)
{
    SetFrameShortcuts(second || Against());
    for (const auto& shortcut : kShortcutNames)
        SetShortcutOn(shortcut.second, !Named("VANTOREL_BENCH_WITHOUT", shortcut.first) &&
                                           (second || !Named("VANTOREL_BENCH_AGAINST", shortcut.first)));
}

// The effect file of one of the two ways: VANTOREL_BENCH_EFFECT="file" draws
// the second with that file, to weigh a change of the shaders.
const char* EffectFile(bool second)
{
    const char* other = std::getenv("VANTOREL_BENCH_EFFECT");
    return second && other ? other : "data/fx/effects4.fx";
}

void SwitchEverythingOn()
{
    for (const char* name : {"scenarioRender", "playerRender", "particlesRender", "blurRender", "bloomRender",
                             "applyOld", "guiRender", "luaMsgRender", "textdebugRender"})
        setMainConfig(name, true);
    // For comparisons: VANTOREL_BENCH_WITHOUT="smear,overlays" draws the game's way without those
    // shortcuts (names in kShortcutNames).
    SetWay(true);
    // VANTOREL_BENCH_DOF=0 measures without depth of field (the options screen's switch, on by default).
    if (const char* dof = std::getenv("VANTOREL_BENCH_DOF"))
        getGUI().depthOfFieldOn = std::atoi(dof) != 0;
    // For comparisons: VANTOREL_BENCH_OFF="blurRender,bloomRender" measures without those.
    if (const char* off = std::getenv("VANTOREL_BENCH_OFF")) {
        std::stringstream names(off);
        std::string name;
        while (std::getline(names, name, ','))
            if (!name.empty())
                setMainConfig(name, false);
    }
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

bool g_Turning = false;
bool g_Walking = false;


// Turning, the view swings a few degrees one way or the other, every frame;
// walking, the eye and the point it looks at step forward or back, every
// frame (both: it does both).
void SwingView()
{
    static int frame = 0;
    if (g_Walking) {
        CCamera& camera = getCamera();
        D3DXVECTOR3 ahead = camera.GetLookAt() - camera.GetPosition();
        ahead.y = 0.0f;
        D3DXVec3Normalize(&ahead, &ahead);
        const D3DXVECTOR3 step = ahead * (frame % 2 ? 9.0f : -9.0f);
        camera.SetPosition(camera.GetPosition() + step);
        camera.SetLookAt(camera.GetLookAt() + step);
        camera.ApplyView();
        camera.UpdateFrustum();
        if (!g_Turning)
            ++frame;
    }
    if (g_Turning) {
        CCamera& camera = getCamera();
        camera.SetLookAt(camera.GetLookAt() + D3DXVECTOR3(++frame % 2 ? 40.0f : -40.0f, 0.0f, 0.0f));
        camera.ApplyView();
        camera.UpdateFrustum();
    }
}

// The game's update of one frame, then the view's swing.
void UpdateGame(float step)
{
    GetGameCalls().UpdateFrame(step);
    StepCrowd(step);
    StepWave(step);
    SwingView();
}

// VANTOREL_BENCH_FROZEN=1 times frames of one state: the game is not updated
// between them (the view still swings when turning), so that two ways differ
// only by what they draw and the machine's load, not by the play's moment.
bool Frozen()
{
    const char* frozen = std::getenv("VANTOREL_BENCH_FROZEN");
    return frozen && *frozen && *frozen != '0';
}

// One frame as the game loop runs it: the update, then the render.
void PlayFrame(float step)
{
    UpdateGame(step);
    // The level stays in play: no cut-scene starts while it is measured.
    getRigid()->scriptedSequenceRunning = false;
    RenderFrame(step);
}

struct Samples {
    std::vector<double> wall, cpu;
};

// Draws the frame the plain way or with the game's shortcuts from here on.
void SelectWay(bool shortcuts, float step)
{
    SetWay(shortcuts);
    getEffectManager().LoadEffect(EffectFile(shortcuts));
    // The first frames compile the effect's variants and fill the caches.
    for (int i = 0; i < kWarmUpFrames; ++i) {
        PlayFrame(step);
        FinishDevice();
    }
}

// The scene pass as the level stage draws it: the level's names and the
// characters marked, over the scene's depth texture.
void DrawScenePassAlone()
{
    CSceneMngr& scene = getSceneManager();
    IDirect3DSurface9* saved = nullptr;
    const bool swapped = SceneDepth.surface && SUCCEEDED(D3DDevice->GetDepthStencilSurface(&saved)) && saved &&
                         SUCCEEDED(D3DDevice->SetDepthStencilSurface(SceneDepth.surface));
    if (SUCCEEDED(D3DDevice->BeginScene())) {
        scene.SaveDepthStencil();
        CSceneMarks marks(scene);
        scene.SetVisible("Character", true);
        MarkLevelObjects(getScenario()->scenarioName, getGSF(), *getRigid(), marks, getProfiler());
        scene.RenderScenePass(SceneTarget, true);
        scene.ReleaseDepthStencil();
        D3DDevice->EndScene();
    }
    if (swapped)
        D3DDevice->SetDepthStencilSurface(saved);
    if (saved)
        saved->Release();
    // VANTOREL_BENCH_SCENE_PNG="/tmp/scene" keeps the scene target as drawn
    // last, per level and case ("/tmp/scene_isla_wave.png"): with an effect
    // whose lit looks add 1/255 a fragment, its red counts what each pixel shaded.
    if (const char* prefix = std::getenv("VANTOREL_BENCH_SCENE_PNG"))
        D3DXSaveTextureToFileA((std::string(prefix) + "_" + getScenario()->scenarioName + (g_Wave ? "_wave" : "") +
                                ".png").c_str(),
                               D3DXIFF_PNG, SceneTarget.texture, nullptr);
}

// VANTOREL_BENCH_FROZEN=1 with VANTOREL_BENCH_STEP="composite" (or "bloom", "present", "scene")
// times that step alone, drawn again over the frame before it, so that a
// change of its shader is weighed without the rest of the frame's spread.
void DrawStepAlone(const char* name)
{
    if (std::string(name) == "scene") {
        DrawScenePassAlone();
        return;
    }
    if (std::string(name) == "present") {
        D3DDevice->Present(nullptr, nullptr, nullptr, nullptr);
        return;
    }
    if (std::string(name) == "bloom") {
        BloomEffect.RenderStages(SceneTarget.texture, !ShortcutOn(Shortcut::FrameClearSkipped),
                                 ShortcutOn(Shortcut::OverlaysInComposite));
        return;
    }
    CompositeOverlays overlays;
    overlays.bloomSummed = BloomEffect.SummedForComposite(overlays.bloom);
    if (overlays.bloomSummed || BloomEffect.StagesForComposite(overlays.bloom)) {
        if (!ParticleTargetIsEmpty()) {
            overlays.particles = getParticleManager().GetTarget().texture;
            overlays.particleTiles = &getParticleManager().GetCoveredTiles();
        }
        overlays.merge = true;
    }
    if (SUCCEEDED(D3DDevice->BeginScene())) {
        getSceneManager().RenderFinalComposite(VelocityTarget.texture, overlays);
        D3DDevice->EndScene();
    }
}

// Frames timed from the render's start to the device's finish; the update
// before each is left out of the figures.
void TimeFrames(int frames, float step, Samples& samples)
{
    std::vector<double>& wall = samples.wall;
    std::vector<double>& cpu = samples.cpu;
    const char* alone = Frozen() ? std::getenv("VANTOREL_BENCH_STEP") : nullptr;
    if (alone && *alone) {
        RenderFrame(step);
        FinishDevice();
        for (int i = 0; i < frames; ++i) {
            // Turning, the composite smears by the view's swing since the frame.
            SwingView();
            const double cpuStart = ProcessCpuMs();
            const auto start = std::chrono::steady_clock::now();
            DrawStepAlone(alone);
            FinishDevice();
            const auto end = std::chrono::steady_clock::now();
            cpu.push_back(ProcessCpuMs() - cpuStart);
            wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        return;
    }
    for (int i = 0; i < frames; ++i) {
        if (Frozen())
            SwingView();
        else
            UpdateGame(step);
        getRigid()->scriptedSequenceRunning = false;
        const double cpuStart = ProcessCpuMs();
        const auto start = std::chrono::steady_clock::now();
        RenderFrame(step);
        FinishDevice();
        const auto end = std::chrono::steady_clock::now();
        cpu.push_back(ProcessCpuMs() - cpuStart);
        wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
}

// Where every entity's last smear starts: the velocity pass of the first
// way moves it on, so the second way must start from the same place.
class PreviousWorlds {
public:
    PreviousWorlds()
    {
        for (IEntidad3D* entity : getScenario()->GetRoomObjects())
            Keep(entity);
        for (IEntidad3D* entity : getSceneManager().GetObjects("Character"))
            Keep(entity);
        Keep(getPlayer()->GetEntity());
    }
    void Restore() const
    {
        for (const auto& entry : m_Kept) {
            CLocation& placement = entry.first->GetTransform();
            const D3DXMATRIX now = placement.GetMatrix();
            placement.SetMatrix(entry.second);
            entry.first->StorePreviousWorld();
            placement.SetMatrix(now);
        }
    }

private:
    void Keep(IEntidad3D* entity)
    {
        if (entity)
            m_Kept.emplace_back(entity, entity->GetPreviousWorld());
    }
    std::vector<std::pair<IEntidad3D*, D3DXMATRIX>> m_Kept;
};

// One frame drawn both ways from the same state (after one more update):
// the largest difference of a pixel (its largest channel) between the two,
// the 99.5th percentile of those, and how many pixels differ by more than 2.
// With a folder for shots, both frames are saved there as <name>_same_plain.png and <name>_same_game.png.
void ComparePicture(float step, const std::string& shots, const std::string& name)
{
    UpdateGame(step);
    getRigid()->scriptedSequenceRunning = false;
    shippedgame::HoldGuiStill();
    const CompositeState state = getEffectManager().GetCompositeState();
    const PreviousWorlds previous;
    std::vector<D3DCOLOR> frames[2];
    for (const bool shortcuts : {false, true}) {
        previous.Restore();
        SetWay(shortcuts);
        getEffectManager().LoadEffect(EffectFile(shortcuts));
        getEffectManager().GetCompositeState() = state;
        crt::srand(7);
        RenderFrame(step);
        devicetest::ReadBackBuffer(D3DDevice, &frames[shortcuts]);
        if (!shots.empty())
            SaveFrame((std::filesystem::path(shots) / (name + (shortcuts ? "_same_game.png" : "_same_plain.png")))
                          .string());
    }
    std::vector<int> differences;
    int left = kWidth, right = -1, top = kHeight, bottom = -1;
    for (size_t i = 0; i < frames[0].size() && i < frames[1].size(); ++i) {
        int pixel = 0;
        for (int shift : {0, 8, 16})
            pixel = std::max(pixel, std::abs(static_cast<int>((frames[0][i] >> shift) & 0xFF) -
                                             static_cast<int>((frames[1][i] >> shift) & 0xFF)));
        differences.push_back(pixel);
        if (pixel > 2) {
            const int x = static_cast<int>(i % static_cast<size_t>(ClientWidth));
            const int y = static_cast<int>(i / static_cast<size_t>(ClientWidth));
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (differences.empty())
        return;
    std::sort(differences.begin(), differences.end());
    const size_t over = static_cast<size_t>(
        differences.end() - std::upper_bound(differences.begin(), differences.end(), 2));
    std::printf("  picture, game way against %s: largest %d/255, 99.5th percentile %d/255, %zu of %zu pixels "
                "over 2/255\n",
                Against() ? "the game's without" : "plain", differences.back(),
                differences[differences.size() * 995 / 1000], over, differences.size());
    if (over > 0)
        std::printf("    (those within x %d..%d, y %d..%d)\n", left, right, top, bottom);
}

// Weighing shortcuts against the game's way, the two ways take turns frame
// by frame (neither needs the effect loaded again): `phase` 0 prints the
// first way's share of the log, 1 the second's, without drawing again.
void PrintPasses(int frames, float step, const std::string& logPath, int phase = -1)
{
    CProfiler& profiler = getProfiler();
    if (phase <= 0) {
        profiler.Enable(true);
        profiler.Open(logPath.c_str());
        profiler.SetStepBoundary(FinishDevice);
        for (int i = 0; i < frames; ++i) {
            if (phase == 0) {
                for (const bool second : {false, true}) {
                    SetWay(second);
                    PlayFrame(step);
                }
            } else {
                PlayFrame(step);
            }
        }
        profiler.SetStepBoundary(nullptr);
        profiler.Close();
        profiler.Enable(false);
    }

    const LogTotals totals = phase < 0 ? ReadRenderTotals(logPath, 0) : ReadRenderTotals(logPath, 0, 2, phase);
    const double total = totals.ms.count("TOTAL_RENDER: ") ? totals.ms.at("TOTAL_RENDER: ") : 0.0;
    if (totals.frames == 0 || total <= 0.0)
        return;
    std::printf("    per pass, each finished inside its timer (mean ms, share of TOTAL_RENDER):\n");
    for (const std::string& label : totals.order) {
        const double ms = totals.ms.at(label);
        if (ms / totals.frames < 0.005 && label != "TOTAL_RENDER: ")
            continue;
        std::printf("      %-18s %8.3f ms  %5.1f%%\n", label.c_str(), ms / totals.frames, 100.0 * ms / total);
    }
}


bool BenchLevel(const std::string& level, int frames, const std::string& logPath, const std::string& shots,
                bool passes, bool serial)
{
    shippedgame::EnterLevel(level);
    if (getScenario()->scenarioName != level) {
        std::fprintf(stderr, "%s: the restart did not select the level\n", level.c_str());
        return false;
    }
    // The island's last stretch draws the broken scaffold and the painted way
    // to the square instead of the standing scaffold.
    if (const char* stage = std::getenv("VANTOREL_BENCH_ISLA_STAGE"); stage && level == "isla")
        getRigid()->dockersEscapeStage = std::atoi(stage);
    SwitchEverythingOn();
    const float step = 1.0f / 30.0f;
    std::printf("\n%s at %dx%d, %d frames each; room objects: %zu\n", level.c_str(), static_cast<int>(ClientWidth),
                static_cast<int>(ClientHeight), frames, getScenario()->GetRoomObjects().size());

    // The two ways take turns in rounds, so that both meet the same load of a
    // shared machine; then the same with the crowd.
    constexpr int kRounds = 4;
    enum Case { kAlone, kCrowd, kWave };
    for (const Case which : {kAlone, kCrowd, kWave}) {
        // VANTOREL_BENCH_CASES="alone,wave" measures only those.
        const char* caseNames[] = {"alone", "crowd", "wave"};
        if (std::getenv("VANTOREL_BENCH_CASES") && !Named("VANTOREL_BENCH_CASES", caseNames[which]))
            continue;
        const bool crowded = which == kCrowd;
        Crowd crowd;
        Wave wave;
        if (crowded) {
            if (!GatherCrowd(crowd))
                return false;
            g_Crowd = &crowd;
        }
        if (which == kWave) {
            if (!GatherWave(wave))
                return false;
            g_Wave = &wave;
            // The aim is taken and the first shots are in the air.
            for (int i = 0; i < 30; ++i)
                PlayFrame(step);
        }
        Samples samples[2];
        if (TurnsByFrame()) {
            // The same effect serves both ways: they take turns frame by frame.
            SelectWay(true, step);
            for (int i = 0; i < frames; ++i) {
                for (const bool second : {false, true}) {
                    SetWay(second);
                    TimeFrames(1, step, samples[second]);
                }
            }
        } else {
            for (int round = 0; round < kRounds; ++round) {
                for (const bool shortcuts : {false, true}) {
                    SelectWay(shortcuts, step);
                    TimeFrames((frames + kRounds - 1) / kRounds, step, samples[shortcuts]);
                }
            }
        }
        if (crowded) {
            std::printf("  with %d characters and %.0f particles (median) in front of the camera:\n",
                        kCrowdCharacters, Median(std::vector<double>(crowd.liveParticles.begin(),
                                                                     crowd.liveParticles.end())));
        }
        if (which == kWave) {
            const CControllerSelector* selector = getPlayer()->GetControllerSelector();
            std::printf("  with a wave of %d enemies fighting, %d shots, %.0f particles (median), hero %s:\n",
                        kWaveEnemies, wave.shots,
                        Median(std::vector<double>(wave.liveParticles.begin(), wave.liveParticles.end())),
                        selector ? selector->GetStateName().c_str() : "absent");
        }
        for (const bool shortcuts : {false, true}) {
            std::printf("  %-9s median %7.2f ms wall, %7.2f ms CPU per frame; entities drawn %d, culled %d\n",
                        shortcuts ? "game:" : (Against() ? "without:" : "plain:"), Median(samples[shortcuts].wall),
                        Median(samples[shortcuts].cpu), getSceneManager().drawnCount,
                        getSceneManager().culledCount);
        }
        ComparePicture(step, shots, level + (crowded ? "_crowd" : ""));
        for (const bool shortcuts : {false, true}) {
            if (!passes && !serial && shots.empty())
                break;
            if (!TurnsByFrame() || !shortcuts)
                SelectWay(TurnsByFrame() || shortcuts, step);
            if (passes) {
                std::printf("  %s\n", shortcuts ? "game:" : (Against() ? "without:" : "plain:"));
                PrintPasses(frames, step, logPath, TurnsByFrame() ? (shortcuts ? 1 : 0) : -1);
            }
            if (serial) {
                SetWay(shortcuts);
                std::printf("  %s\n", shortcuts ? "game:" : (Against() ? "without:" : "plain:"));
                PrintSerial(frames, step, logPath);
            }
            if (TurnsByFrame() && !shots.empty()) {
                SetWay(shortcuts);
                PlayFrame(step);
            }
            if (!shots.empty()) {
                const std::string name = level + (crowded ? "_crowd" : which == kWave ? "_wave" : "") +
                                         (shortcuts ? "" : "_plain") + ".png";
                SaveFrame((std::filesystem::path(shots) / name).string());
            }
        }
        if (crowded) {
            g_Crowd = nullptr;
            DisperseCrowd(crowd);
        }
        if (which == kWave) {
            g_Wave = nullptr;
            DisperseWave(wave);
        }
    }
    return true;
}

} // namespace levelbench

int main(int argc, char** argv)
{
    using namespace levelbench;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    int frames = 30;
    std::string shots;
    bool passes = false, serial = false;
    std::string only;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--passes")
            passes = true;
        else if (arg == "--serial")
            serial = true;
        else if (arg == "--turning")
            g_Turning = true;
        else if (arg == "--walking")
            g_Walking = true;
        else if (arg.rfind("--level=", 0) == 0)
            only = arg.substr(8);
        else if (positional++ == 0)
            frames = std::max(1, std::atoi(arg.c_str()));
        else
            shots = std::filesystem::absolute(arg).string();
    }
    if (!EnterWorkFolder(argv[0]))
        return 1;
    const std::string logPath =
        (std::filesystem::temp_directory_path() / ("level_bench_" + std::to_string(::getpid()) + ".txt")).string();

    // The game's own start-up, less the splash wait and the loading images.
    if (!shippedgame::Start(kWidth, kHeight)) {
        std::fprintf(stderr, "no device\n");
        return 1;
    }

    // VANTOREL_BENCH_LEVELS="isla" (or --level=isla) measures only that level.
    bool ok = true;
    for (const char* level : {"hangares", "isla"})
        if ((only.empty() || only == level) &&
            (!std::getenv("VANTOREL_BENCH_LEVELS") || Named("VANTOREL_BENCH_LEVELS", level)))
            ok = BenchLevel(level, frames, logPath, shots, passes, serial) && ok;

    std::filesystem::remove(logPath);
    shippedgame::Stop();
    return ok ? 0 : 1;
}
