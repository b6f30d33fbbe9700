// The enemies' frame on the shipped "hangares": CEnemyManager::Update for
// the five enemies of "wave_09" with the hero among them, their rays cast in
// the level's physics and their cover taken from its parapets. Reports the
// median and worst microseconds per update and per enemy, quiet and with
// every enemy engaged (with the rays and shots of a frame).
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game".
// Usage: ai_bench [frames]
#include <algorithm>
#include <chrono>
#include <vector>

#include "app/FrameRender.h"
#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/Loading.h"
#include "app/MainConfig.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "gui/GUIManager.h"
#include "input/InputManager.h"
#include "platform/d3dx9tex.h"
#include "platform/dinput.h"
#include "platform/win32.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "enemies/EnemySenses.h"
#include "player/Weapon.h"
#include <map>
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"
#include "math/VectorMath.h"

#include "bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kWindowClass = "VantorelAiBench";
constexpr int kWidth = 800, kHeight = 600;
}

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const int runs = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
    const char* env = std::getenv("VANTOREL_WORKDIR");
    std::filesystem::current_path(env ? env : "build/game");

    if (!OpenBenchGame(kWindowClass, WndProc, kWidth, kHeight))
        return 1;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    platform::FakeDirectInput keys;
    platform::SetDirectInputSource(&keys);
    getInputManager()->Init(instance, MainWindow);
    LoadGame([](const std::string&) {});
    SetFocus(MainWindow);

    GetGameCalls().ResetManagers();
    getGUI().mainMenuActive = false;
    // The last hangar wave: five enemies, the hero 400 in front of the first.
    CEnemyManager& enemies = *getEnemyManager();
    enemies.resumeIA();  // the intro's sequence froze them
    enemies.setNewZone("room01", "wave_09");
    enemies.Update(0.0f);
    CEnemy* first = enemies.GetCurrentWaveEnemies().begin()->second;
    getCollisionManager().setNewPlayerPosition(first->GetPosition().GetPosition() + D3DXVECTOR3(0, 0, -400));
    for (int i = 0; i < 10; ++i)
        GetGameCalls().UpdateFrame(1.0f / 30);
    // A sequence of the level's frames may have frozen them again.
    enemies.resumeIA();

    std::vector<double> frames;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        enemies.Update(1.0f / 30);
        frames.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        getCollisionManager().Update(1.0f / 30);
    }
    std::sort(frames.begin(), frames.end());
    const size_t count = enemies.GetCurrentWaveEnemies().size();
    const double median = frames[frames.size() / 2];
    std::printf("CEnemyManager::Update, %zu enemies of wave_09 near the hero, %zu parapets: median %.1f us "
                "(%.1f us per enemy), worst %.1f us\n",
                count, getScenario()->GetParapets().size(), median, median / std::max<size_t>(1, count),
                frames.back());
    // What the states will ask each frame at most: sight, a line of sight
    // through the level and a new cover point among its parapets.
    std::vector<double> sweeps;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& entry : enemies.GetCurrentWaveEnemies()) {
            CIAEnemyCover* ai = entry.second->getIA();
            ai->CanSeePlayer();
            ai->HasLineOfSight();
            ai->SetForceCoverChoice(true);
            ai->ChooseCoverPoint();
        }
        sweeps.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(sweeps.begin(), sweeps.end());
    std::printf("Sight, line of sight and cover choice for all %zu: median %.1f us (%.1f us per enemy), worst %.1f us\n",
                count, sweeps[sweeps.size() / 2], sweeps[sweeps.size() / 2] / std::max<size_t>(1, count), sweeps.back());
    for (const auto& entry : enemies.GetCurrentWaveEnemies())
        std::printf("  %s: %s, %.0f from the hero\n", entry.first.c_str(), entry.second->getIA()->GetLabel().c_str(),
                    entry.second->getIA()->GetDistance());

    // Every enemy engaged: each starts an attack on the hero, then fights
    // on (cover, lean-outs, reloads, rolls) as the states take it. The rays
    // are counted on their way through the enemies' senses; each shot fired
    // casts one more ray in the shot resolution.
    struct CountingSenses : IEnemySenses {
        explicit CountingSenses(IEnemySenses& inner) : game(inner) {}
        CLocation HeroPlacement() override { return game.HeroPlacement(); }
        bool HeroDead() override { return false; }
        bool HeroFighting() override { return false; }
        bool HeroInCover() override { return game.HeroInCover(); }
        bool HeroReadyToShoot() override { return game.HeroReadyToShoot(); }
        bool HeroJumpingCover() override { return game.HeroJumpingCover(); }
        bool HeroWasHit() override { return game.HeroWasHit(); }
        std::string HeroWeaponName() override { return game.HeroWeaponName(); }
        void StopHeroAction() override { game.StopHeroAction(); }
        bool RayBlocked(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
        {
            ++rays;
            return game.RayBlocked(from, to);
        }
        std::vector<TParapet*> Parapets() override { return game.Parapets(); }
        IEnemySenses& game;
        long rays = 0;
    } counting(getEnemySenses());
    SetEnemySenses(&counting);
    for (const auto& entry : enemies.GetCurrentWaveEnemies())
        entry.second->getIA()->EnterShooting();
    std::vector<double> fights;
    long shots = 0;
    std::map<std::string, int> seen;
    for (int i = 0; i < runs; ++i) {
        std::map<std::string, int> clips;
        for (const auto& entry : enemies.GetCurrentWaveEnemies())
            clips[entry.first] = entry.second->GetWeapon()->GetCurrentClip();
        const auto start = std::chrono::steady_clock::now();
        enemies.Update(1.0f / 30);
        fights.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        for (const auto& entry : enemies.GetCurrentWaveEnemies()) {
            shots += clips[entry.first] > entry.second->GetWeapon()->GetCurrentClip();
            ++seen[entry.second->getIA()->GetLabel()];
        }
        getCollisionManager().Update(1.0f / 30);
        // The hero lives on: the bench measures the enemies, not his death.
        getPlayer()->SetLife(350);
    }
    SetEnemySenses(nullptr);
    std::sort(fights.begin(), fights.end());
    std::printf("Engaged, CEnemyManager::Update of all %zu: median %.1f us, 99th percentile %.1f us, worst %.1f us "
                "per frame; %.2f sight rays and %.2f shots (one ray each) per frame\n",
                count, fights[fights.size() / 2], fights[fights.size() * 99 / 100], fights.back(),
                static_cast<double>(counting.rays) / runs, static_cast<double>(shots) / runs);
    for (const auto& state : seen)
        std::printf("  %s: %d enemy-frames\n", state.first.c_str(), state.second);

    platform::SetDirectInputSource(nullptr);
    CloseBenchWindow(MainWindow, kWindowClass);
    return 0;
}
