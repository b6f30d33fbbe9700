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

#include "app/FrameRender.h"
#include "app/GameStateFlags.h"
#include "app/LevelLists.h"
#include "app/Profiler.h"
#include "app/MainConfig.h"
#include "enemies/EnemyAnimNames.h"
#include "gui/GUIManager.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/d3dx9tex.h"
#include "platform/gl_device.h"
#include "player/ControllerSelector.h"
#include "player/ProjectileManager.h"
#include "player/Weapon.h"
#include "render/Bloom.h"
#include "render/Composite.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "render/RenderTarget.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/SceneManager.h"

#include "../tests/app/shipped_game.h"
#include "../tests/platform/offscreen_device_fixture.h"
#include "platform/crt.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

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

// Five characters and a field of fires in front of the camera.
struct Crowd {
    std::vector<std::unique_ptr<CCharacterEntity>> bodies;
    std::vector<std::shared_ptr<CParticleEmitter>> fires;
    std::vector<int> liveParticles;
};
Crowd* g_Crowd = nullptr;

constexpr int kCrowdCharacters = 5;
constexpr int kCrowdParticles = 2000;

int LiveParticles()
{
    int count = 0;
    for (const auto& emitter : getParticleManager().GetEmitters())
        count += emitter->CountLive();
    return count;
}

// The characters side by side 220 units ahead of the camera at the hero's
// feet, each running a cycle with a reload over it; fires lit among them
// until about 2,000 particles are alive.
bool GatherCrowd(Crowd& crowd)
{
    const CCamera& camera = getCamera();
    D3DXVECTOR3 ahead = camera.GetViewDirection();
    ahead.y = 0.0f;
    D3DXVec3Normalize(&ahead, &ahead);
    const D3DXVECTOR3 side(-ahead.z, 0.0f, ahead.x);
    D3DXVECTOR3 base = camera.GetPosition() + ahead * 220.0f;
    base.y = getPlayer()->GetPosition().GetPosition().y;
    const char* types[kCrowdCharacters] = {"enemy", "enemyWhite", "portuario", "enemy", "enemyWhite"};
    for (int i = 0; i < kCrowdCharacters; ++i) {
        CCharacterEntity* body = getModelsManager().CreateModelInstance(types[i], 0);
        if (!body) {
            std::fprintf(stderr, "model %s missing\n", types[i]);
            return false;
        }
        body->GetTransform().SetPosition(base + side * (70.0f * (i - 2)));
        body->BlendCycle("run_ostrel", 1.0f, 0.0f);
        crowd.bodies.emplace_back(body);
    }
    const ParticleSystemType* fire = getParticleTypes().FindSystemType("fuego");
    if (!fire) {
        std::fprintf(stderr, "no fire particles\n");
        return false;
    }
    CParticleManager& particles = getParticleManager();
    for (int lit = 0; LiveParticles() < kCrowdParticles && lit < 400; ++lit) {
        if (lit % 2 == 0) {
            const D3DXVECTOR3 at = base + side * (15.0f * (lit % 20) - 150.0f) + ahead * (10.0f * (lit / 20) - 60.0f);
            crowd.fires.push_back(particles.CreateEmitter(fire, at, D3DXVECTOR3(0.0f, 1.0f, 0.0f)));
        }
        particles.Update(0.05f);
    }
    return true;
}

void DisperseCrowd(Crowd& crowd)
{
    for (const auto& fire : crowd.fires)
        if (fire)
            getParticleManager().RemoveEmitter(fire.get());
    crowd.fires.clear();
    getSceneManager().SetCharacterList({});
    crowd.bodies.clear();
}

// The crowd handed to the scene as the characters to draw, animated by the step.
void StepCrowd(float step)
{
    if (!g_Crowd)
        return;
    std::vector<IEntidad3D*> characters;
    for (auto& body : g_Crowd->bodies) {
        if (body->GetActionCount() == 0)
            body->ExecuteAction("reload_ostrel", 0.1f, 0.1f, 1.0f, false);
        body->Update(step);
        characters.push_back(body.get());
    }
    getSceneManager().SetCharacterList(characters);
    g_Crowd->liveParticles.push_back(LiveParticles());
}

// Eight enemies fighting the hero in front of the camera.
struct Wave {
    std::vector<std::unique_ptr<CCharacterEntity>> bodies;
    std::vector<std::unique_ptr<IWeapon>> weapons;
    platform::FakeDirectInput input;
    float clock = 0.0f;
    int shots = 0;
    std::vector<int> liveParticles;
};
Wave* g_Wave = nullptr;

constexpr int kWaveEnemies = 8;

void PlayFrame(float step);

// The hero takes the aim (the right mouse button, through the game's input)
// and, once the camera has come over his shoulder, the enemies stand in two
// rows of four, 320 and 440 units ahead of it, each turned to the hero.
bool GatherWave(Wave& wave)
{
    SetFocus(MainWindow);
    platform::SetDirectInputSource(&wave.input);
    wave.input.SetButton(1, true);
    for (int i = 0; i < 30; ++i)
        PlayFrame(1.0f / 30.0f);
    const CCamera& camera = getCamera();
    D3DXVECTOR3 ahead = camera.GetViewDirection();
    ahead.y = 0.0f;
    D3DXVec3Normalize(&ahead, &ahead);
    const D3DXVECTOR3 side(-ahead.z, 0.0f, ahead.x);
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    const char* types[3] = {"enemy", "enemyWhite", "portuario"};
    for (int i = 0; i < kWaveEnemies; ++i) {
        const char* type = types[i % 3];
        CCharacterEntity* body = getModelsManager().CreateModelInstance(type, 0);
        if (!body) {
            std::fprintf(stderr, "model %s missing\n", type);
            return false;
        }
        D3DXVECTOR3 at = camera.GetPosition() + ahead * (i < 4 ? 320.0f : 440.0f) + side * (75.0f * (i % 4) - 112.5f);
        at.y = hero.y;
        body->GetTransform().SetPosition(at);
        body->GetTransform().SetYaw(std::atan2(hero.x - at.x, hero.z - at.z));
        std::unique_ptr<IWeapon> weapon;
        if (i % 3 == 1)
            weapon = std::make_unique<CThompson>();
        else if (i % 3 == 2)
            weapon = std::make_unique<CShotgun>();
        else
            weapon = std::make_unique<CGun>();
        body->BlendCycle(EnemyAnimName(EnemyAnim::Aim, weapon->GetName(), {}), 1.0f, 0.0f);
        wave.bodies.emplace_back(body);
        wave.weapons.push_back(std::move(weapon));
    }
    return true;
}

void DisperseWave(Wave& wave)
{
    wave.input.SetButton(1, false);
    GetGameCalls().UpdateFrame(1.0f / 30.0f);
    platform::SetDirectInputSource(nullptr);
    getSceneManager().SetCharacterList({});
    getProjectileManager().Reset();
    wave.bodies.clear();
    wave.weapons.clear();
}

// The wave animated by the step: every enemy fires twice a second, in turn,
// from its weapon's muzzle at the hero (who is kept alive), with its firing
// animation; one of them bleeds from a hit of the hero's every fifth of a
// second. The weapons go in the hands and everything to the scene's list.
void StepWave(float step)
{
    if (!g_Wave)
        return;
    Wave& wave = *g_Wave;
    const float before = wave.clock;
    wave.clock += step;
    std::vector<IEntidad3D*> drawn;
    for (int i = 0; i < kWaveEnemies; ++i) {
        CCharacterEntity& body = *wave.bodies[i];
        IWeapon& weapon = *wave.weapons[i];
        body.Update(step);
        const D3DXMATRIX bone = body.GetBoneMatrix("EBip01 pipa");
        D3DXMATRIX flip, world;
        D3DXMatrixRotationX(&flip, D3DX_PI);
        world = flip * bone * body.GetTransform().GetMatrix();
        weapon.GetModel().GetTransform().SetMatrix(world);
        const float turn = 0.5f * static_cast<float>(i) / kWaveEnemies;
        if (std::floor(2.0f * (wave.clock - turn)) != std::floor(2.0f * (before - turn))) {
            CLocation muzzle;
            muzzle.SetPosition(D3DXVECTOR3(world._41, world._42, world._43));
            muzzle.SetYaw(body.GetTransform().GetYaw());
            getProjectileManager().FireShot(muzzle, 100.0f, 1, false, weapon.GetName(), weapon.GetDamage(), 20);
            body.ExecuteAction(EnemyAnimName(EnemyAnim::Shot, weapon.GetName(), {}), 0.05f, 0.1f, 1.0f, false);
            ++wave.shots;
        }
        if (std::floor(5.0f * wave.clock) != std::floor(5.0f * before) &&
            i == static_cast<int>(5.0f * wave.clock) % kWaveEnemies) {
            const D3DXVECTOR3 feet = body.GetTransform().GetPosition();
            getParticleManager().SpawnBlood(feet + D3DXVECTOR3(0.0f, 45.0f, 0.0f), feet,
                                            DirectionFromYaw(body.GetTransform().GetYaw() + D3DX_PI));
        }
        drawn.push_back(&body);
        drawn.push_back(&weapon.GetModel());
    }
    getPlayer()->SetLife(350);
    getSceneManager().SetCharacterList(drawn);
    wave.liveParticles.push_back(LiveParticles());
}

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

// --- the main thread's share of the frame ------------------------------------------
// With --serial, frames are drawn once more without finishing inside them:
// at every timing-log label the main thread's own CPU time, the wall time and
// the device's draw counters are read, so that each pass shows what the main
// thread spends issuing it (the renderer's binning runs there) apart from
// what its raster threads spend drawing it. The end of the frame shows how
// long the main thread then waits for the drawing to finish.
struct SerialMark {
    double threadMs, wallMs;
    platform::DrawStats stats;
    long waits = 0; // the main thread's voluntary switches: it blocked
    long faults = 0; // the main thread's page faults
    double othersMs = 0; // CPU time of every other thread (the renderer's)
    double othersDelayMs = 0; // their time ready to run but without a core
};
std::vector<SerialMark>* g_SerialMarks = nullptr;

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double WallMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

rusage ThreadUsage()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage;
}

// The summed run time of the process's other threads, from the scheduler;
// with `delayed`, the time they were ready to run but waited for a core.
double OtherThreadsMs(bool delayed = false)
{
    double ns = 0.0;
    const std::string self = std::to_string(::gettid());
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self)
            continue;
        std::ifstream in(task.path() / "schedstat");
        double run = 0.0, wait = 0.0;
        if (in >> run >> wait)
            ns += delayed ? wait : run;
    }
    return ns / 1e6;
}

SerialMark TakeMark()
{
    const rusage usage = ThreadUsage();
    return {ThreadCpuMs(), WallMs(), platform::GetDrawStats(D3DDevice), usage.ru_nvcsw, usage.ru_minflt,
            OtherThreadsMs(), OtherThreadsMs(true)};
}

void MarkSerial()
{
    if (g_SerialMarks)
        g_SerialMarks->push_back(TakeMark());
}

void PrintSerial(int frames, float step, const std::string& logPath)
{
    CProfiler& profiler = getProfiler();
    struct Totals {
        double threadMs = 0, wallMs = 0, draws = 0, primitives = 0, waits = 0, othersMs = 0, faults = 0;
        double gapMs = 0; // the main thread's CPU between the label before and this one
        double delayMs = 0;
    };
    std::map<std::string, Totals> perLabel;
    std::vector<std::string> order;
    Totals frame, gaps, finish;
    double processCpu = 0.0;
    profiler.Enable(true);
    profiler.Open(logPath.c_str());
    for (int i = 0; i < frames; ++i) {
        UpdateGame(step);
        getRigid()->scriptedSequenceRunning = false;
        std::vector<SerialMark> marks;
        g_SerialMarks = &marks;
        profiler.SetStepBoundary(MarkSerial);
        const double cpuStart = ProcessCpuMs();
        rusage processBefore{};
        getrusage(RUSAGE_SELF, &processBefore);
        MarkSerial();
        RenderFrame(step);
        profiler.SetStepBoundary(nullptr);
        g_SerialMarks = nullptr;
        const SerialMark rendered = TakeMark();
        FinishDevice();
        const double finishedWall = WallMs();
        finish.othersMs += OtherThreadsMs() - rendered.othersMs;
        rusage processAfter{};
        getrusage(RUSAGE_SELF, &processAfter);
        finish.faults += processAfter.ru_minflt - processBefore.ru_minflt;
        frame.othersMs += OtherThreadsMs() - marks.front().othersMs;
        processCpu += ProcessCpuMs() - cpuStart;
        frame.threadMs += rendered.threadMs - marks.front().threadMs;
        frame.wallMs += finishedWall - marks.front().wallMs;
        finish.wallMs += finishedWall - rendered.wallMs;
        frame.draws += rendered.stats.drawCalls - marks.front().stats.drawCalls;
        frame.primitives += rendered.stats.primitives - marks.front().stats.primitives;
        frame.faults += rendered.faults - marks.front().faults;
        // Marks: the frame's start, then a start and a stop per label, then
        // the total's stop; the log line gives the labels in that order.
        profiler.Close();
        std::vector<std::string> labels;
        {
            std::ifstream in(logPath);
            std::string text;
            while (std::getline(in, text)) {
                if (text.rfind("RENDER\t", 0) != 0)
                    continue;
                std::stringstream fields(text.substr(7));
                std::string label, value;
                while (std::getline(fields, label, '\t') && std::getline(fields, value, '\t'))
                    labels.push_back(label);
            }
        }
        profiler.Open(logPath.c_str());
        size_t at = 1;
        for (const std::string& label : labels) {
            if (label == "TOTAL_RENDER: " || at + 1 >= marks.size())
                break;
            const SerialMark& from = marks[at];
            const SerialMark& to = marks[at + 1];
            const SerialMark& before = marks[at - 1];
            gaps.threadMs += from.threadMs - before.threadMs;
            gaps.draws += from.stats.drawCalls - before.stats.drawCalls;
            if (!perLabel.count(label))
                order.push_back(label);
            Totals& t = perLabel[label];
            t.threadMs += to.threadMs - from.threadMs;
            t.wallMs += to.wallMs - from.wallMs;
            t.draws += to.stats.drawCalls - from.stats.drawCalls;
            t.primitives += to.stats.primitives - from.stats.primitives;
            t.waits += to.waits - from.waits;
            t.othersMs += to.othersMs - from.othersMs;
            t.faults += to.faults - from.faults;
            t.gapMs += from.threadMs - before.threadMs;
            t.delayMs += to.othersDelayMs - from.othersDelayMs;
            at += 2;
        }
    }
    profiler.Close();
    profiler.Enable(false);
    const double n = frames;
    std::printf("    main thread per pass, nothing finished inside (mean per frame): CPU ms, wall ms, draws, "
                "primitives, blocking waits, other threads' CPU ms, page faults, main CPU ms before it, other threads' ms waiting for a core\n");
    for (const std::string& label : order) {
        const Totals& t = perLabel[label];
        if (t.threadMs / n < 0.005 && t.draws == 0)
            continue;
        std::printf("      %-18s %7.3f %7.3f %6.0f %8.0f %5.1f %7.3f %6.0f %7.3f %7.3f\n", label.c_str(),
                    t.threadMs / n, t.wallMs / n, t.draws / n, t.primitives / n, t.waits / n, t.othersMs / n,
                    t.faults / n, t.gapMs / n, t.delayMs / n);
    }
    std::printf("      %-18s %7.3f %7s %6.0f\n", "(between passes)", gaps.threadMs / n, "", gaps.draws / n);
    std::printf("      frame: main thread %.2f ms CPU of %.2f ms wall, of which waiting for the finish %.2f ms "
                "(other threads %.2f ms CPU then); process CPU %.2f ms, other threads %.2f; %.0f draws, %.0f "
                "primitives; page faults: main thread %.0f, every thread %.0f\n",
                frame.threadMs / n, frame.wallMs / n, finish.wallMs / n, finish.othersMs / n, processCpu / n,
                frame.othersMs / n, frame.draws / n, frame.primitives / n, frame.faults / n, finish.faults / n);
}

bool BenchLevel(const std::string& level, int frames, const std::string& logPath, const std::string& shots,
                bool passes, bool serial)
{
    shippedgame::EnterLevel(level);
    if (getScenario()->scenarioName != level) {
        std::fprintf(stderr, "%s: the restart did not select the level\n", level.c_str());
        return false;
    }
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

} // namespace

int main(int argc, char** argv)
{
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
