// The game's dearest moments on the shipped data, offscreen at 800x600 with
// the game's own switches: the frame update and the frame render timed apart
// (median and 95th percentile, milliseconds; the render waits for the device
// to finish). The moments:
//   - the largest waves engaged: the hangar's last wave (five soldiers) and
//     the island's scaffold wave (five with a docker), the hero in their view;
//   - the plane's gunner firing its bursts while the plane circles;
//   - the final battle, its ten moves and the shout.
// Then the time from the program's start to the first main menu frame, the
// game run whole in child processes (with and without its splash wait).
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game",
// else "../game" beside this program's folder.
// Usage: heavy_moments_bench [frames per moment] [starts] (the final battle
// is always measured whole)
// For two cores: taskset -c 0,1 heavy_moments_bench
#include "bench_support.h"

#include "app/FrameRender.h"
#include "app/GameCalls.h"
#include "app/MainConfig.h"
#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "platform/gl_device.h"
#include "player/ControllerSelector.h"
#include "player/FightingController.h"
#include "player/ProjectileManager.h"

#include "../tests/app/shipped_game.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr float kStep = 1.0f / 30.0f;
constexpr int kSettleFrames = 45;

using BenchClock = std::chrono::steady_clock;

double MsSince(BenchClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(BenchClock::now() - start).count();
}

void PrintFigures(const char* what, const std::vector<double>& values)
{
    std::printf("    %-7s median %7.2f ms, 95th percentile %7.2f ms\n", what, Percentile(values, 0.5),
                Percentile(values, 0.95));
}

void PutHero(const D3DXVECTOR3& at, float yaw)
{
    CPlayer* hero = getPlayer();
    hero->GetPosition().SetPosition(at);
    getCollisionManager().setNewPlayerPosition(at);
    hero->GetPosition().SetYaw(yaw);
    getCamera().SetYaw(yaw);
}

// Enemies of the current wave alive, and of those how many left their quiet
// states (patrol, idle, waiting, acting) for the fight.
struct WaveCount {
    int alive = 0, engaged = 0;
};

WaveCount CountWave()
{
    WaveCount count;
    for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
        CIAEnemyCover* ai = entry.second->getIA();
        if (entry.second->GetLife() == 0 || ai->IsDestroyed())
            continue;
        ++count.alive;
        const std::uint16_t state = ai->GetState();
        count.engaged += state != CIAEnemyCover::PATROL && state != CIAEnemyCover::IDLE &&
                         state != CIAEnemyCover::WAITING && state != CIAEnemyCover::ACTING;
    }
    return count;
}

struct Moment {
    const char* name;
    std::function<void()> setUp;
    // When set, the moment is measured whole, until this says it is over,
    // whatever the frame count asked for (the final battle ends by itself).
    std::function<bool()> over;
    std::function<void()> report;
};

constexpr int kLongestMoment = 3000;

// The most shots seen in flight at once during a moment's measured frames.
std::size_t g_MostShots = 0;

// One frame as the game loop runs it, each half timed; the hero is kept
// alive so that the moment goes on.
void TimedFrame(std::vector<double>& update, std::vector<double>& render)
{
    g_MostShots = std::max(g_MostShots, getProjectileManager().GetProjectiles().size());
    getPlayer()->SetLife(350);
    auto start = BenchClock::now();
    GetGameCalls().UpdateFrame(kStep);
    update.push_back(MsSince(start));
    start = BenchClock::now();
    RenderFrame(kStep);
    platform::FinishDrawing(D3DDevice);
    render.push_back(MsSince(start));
}

void RunMoment(const Moment& moment, int frames)
{
    moment.setUp();
    std::vector<double> update, render;
    // A moment that ends by itself starts at once; the others first let the
    // enemies see the hero and take up their fight.
    const int settle = moment.over ? 3 : kSettleFrames;
    for (int i = 0; i < settle; ++i)
        TimedFrame(update, render);
    update.clear();
    render.clear();
    g_MostShots = 0;
    if (moment.over)
        frames = kLongestMoment;
    for (int i = 0; i < frames && !(moment.over && moment.over()); ++i)
        TimedFrame(update, render);
    std::printf("  %s: %zu frames, at most %zu shots in flight\n", moment.name, update.size(), g_MostShots);
    PrintFigures("update", update);
    PrintFigures("render", render);
    if (moment.report)
        moment.report();
}

void ReportWave()
{
    const WaveCount count = CountWave();
    std::printf("    %s: %d alive, %d fighting at the end\n", getEnemyManager()->GetCurrentWave().c_str(), count.alive,
                count.engaged);
}

std::vector<Moment> Moments()
{
    std::vector<Moment> moments;
    moments.push_back({"hangar's last wave (five soldiers) engaged",
                       [] {
                           shippedgame::EnterLevel("hangares");
                           getEnemyManager()->getHangarOpenLastWave();
                           PutHero(D3DXVECTOR3(450.0f, 40.0f, 3150.0f), 0.0f);
                           getEnemyManager()->AlarmEnemiesNearPlayer();
                       },
                       nullptr, ReportWave});
    moments.push_back({"island's scaffold wave (five with a docker) engaged",
                       [] {
                           shippedgame::EnterLevel("isla");
                           getEnemyManager()->setNewZone("room3", "wave_34");
                           PutHero(D3DXVECTOR3(450.0f, 60.0f, -250.0f), 0.0f);
                           getEnemyManager()->AlarmEnemiesNearPlayer();
                       },
                       nullptr, ReportWave});
    moments.push_back({"the plane's gunner firing bursts as it circles",
                       [] {
                           shippedgame::EnterLevel("hangares");
                           getEnemyManager()->setNewZone("room01", "wave_04");
                           // The script's arrival: the next update starts the loop and the gunner.
                           getGSF().hangarRigidState = CGameStateFlagsManager::RigidasHangaresLlegadaAvion;
                           PutHero(D3DXVECTOR3(1600.0f, 40.0f, 500.0f), 1.5707964f);
                       },
                       nullptr,
                       [] {
                           CEnemy* gunner = getEnemyManager()->getThisBotOfCurrentWave("ene_Avioneta");
                           std::printf("    plane state %d, gunner %s\n", getGSF().hangarRigidState,
                                       gunner && gunner->getIA()->GetState() == CIAEnemyCover::AIMING_THOMPSON
                                           ? "firing from the plane"
                                           : "not aiming");
                       }});
    moments.push_back({"the final battle",
                       [] {
                           shippedgame::EnterLevel("isla");
                           getEnemyManager()->setNewZone("room3", "wave_36");
                           GetGameCalls().UpdateFrame(kStep);
                           getEnemyManager()->FinalBattle();
                       },
                       [] { return !getPlayer()->GetControllerSelector()->IsFighting(); },
                       [] {
                           const CFightingController* fight =
                               getPlayer()->GetControllerSelector()->GetFightingController();
                           std::printf("    last chain state %d, story code %d\n", fight->GetChainState(),
                                       getGSF().islaSequence);
                       }});
    return moments;
}

// --- start to the main menu ------------------------------------------------------------

// The real clock, counting what the game sleeps.
class SleepCountingClock : public platform::Clock {
public:
    std::int64_t Ticks() override
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(BenchClock::now().time_since_epoch()).count();
    }
    std::int64_t TicksPerSecond() override { return 1000000; }
    void Sleep(DWORD milliseconds) override
    {
        slept += milliseconds;
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    double slept = 0.0;
};

// The game's own calls; the first main menu frame drawn stops the clock and
// chooses Exit.
class FirstMenuFrame : public CGameCalls {
public:
    explicit FirstMenuFrame(BenchClock::time_point start) : m_Start(start) {}
    void RenderFrame(float dt) override
    {
        CGameCalls::RenderFrame(dt);
        if (shown < 0.0 && getGUI().mainMenuActive) {
            shown = MsSince(m_Start);
            getGUI().exitRequested = true;
        }
    }
    double shown = -1.0;

private:
    BenchClock::time_point m_Start;
};

int StartToMenuChild(BenchClock::time_point start)
{
    SleepCountingClock clock;
    platform::SetClock(&clock);
    FirstMenuFrame calls(start);
    SetGameCalls(&calls);
    const int code = VantorelMain();
    SetGameCalls(nullptr);
    platform::SetClock(nullptr);
    if (code != 0 || calls.shown < 0.0)
        return 1;
    std::printf("to-menu %.1f %.1f\n", calls.shown, clock.slept);
    return 0;
}

void StartToMenu(int starts)
{
    std::error_code ec;
    const std::string self = std::filesystem::canonical("/proc/self/exe", ec).string();
    std::vector<double> whole, awake;
    for (int i = 0; i < starts && !ec; ++i) {
        FILE* child = popen(("'" + self + "' --to-menu 2>/dev/null").c_str(), "r");
        if (!child)
            break;
        double shown = 0.0, slept = 0.0;
        int read = 0;
        char line[256];
        while (std::fgets(line, sizeof line, child))
            if (read != 2)
                read = std::sscanf(line, "to-menu %lf %lf", &shown, &slept);
        if (pclose(child) != 0 || read != 2) {
            std::fprintf(stderr, "a start did not reach the main menu\n");
            continue;
        }
        whole.push_back(shown);
        awake.push_back(shown - slept);
    }
    std::printf("\nstart to the first main menu frame, %zu starts:\n", whole.size());
    PrintFigures("whole", whole);
    PrintFigures("without the splash wait", awake);
}

} // namespace

int main(int argc, char** argv)
{
    const BenchClock::time_point start = BenchClock::now();
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (argc > 1 && std::string(argv[1]) == "--to-menu") {
        if (!EnterWorkFolder(argv[0]))
            return 1;
        return StartToMenuChild(start);
    }
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 150;
    const int starts = argc > 2 ? std::max(0, std::atoi(argv[2])) : 5;
    if (!EnterWorkFolder(argv[0]))
        return 1;
    if (!shippedgame::Start(kWidth, kHeight)) {
        std::fprintf(stderr, "no device\n");
        return 1;
    }
    std::printf("at %dx%d with the game's switches, up to %d frames per moment after %d to settle:\n", kWidth,
                kHeight, frames, kSettleFrames);
    for (const Moment& moment : Moments())
        RunMoment(moment, frames);
    shippedgame::Stop();
    StartToMenu(starts);
    return 0;
}
