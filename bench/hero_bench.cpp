// The hero's frame: his update (animation, root motion, gun in hand, the free
// controller with its cover search over the room's parapets) while running
// through the shipped "hangares", and the tracers' update with a busy sky of
// them. Reports the median and worst microseconds per call.
//
// Reads the game's working folder: VANTOREL_WORKDIR, else "build/game".
// Usage: hero_bench [frames]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "scene/ModelsManager.h"
#include "world/Scenario.h"

namespace {

template <typename F>
void Measure(const char* what, int frames, F step)
{
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        step(i);
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %8.1f us   worst %8.1f us   (%d frames)\n", what, times[times.size() / 2],
                times.back(), frames);
}

} // namespace

int main(int argc, char** argv)
{
    if (!EnterWorkFolder(argv[0]))
        return 1;
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
    getModelsManager().LoadCoreModels("data/XML/CoreModels.xml");
    getScenario()->Load("data/XML/instances.xml");
    getScenario()->SelectScenario("hangares");
    CPlayer* hero = getPlayer();
    hero->Init();
    std::printf("parapets in the room: %zu\n", getScenario()->GetParapets().size());
    hero->GetControllerSelector()->GetFreeController()->OnActionPressed(ACTION_FORWARD);
    Measure("hero update, running", frames, [&](int i) {
        hero->GetPosition().SetYaw(0.01f * static_cast<float>(i));
        hero->Update(1.0f / 30.0f);
    });

    CProjectileManager& shots = getProjectileManager();
    Measure("tracer update, 300 in flight", frames, [&](int i) {
        while (shots.GetProjectiles().size() < 300) {
            Projectile p;
            p.transform.SetYaw(0.02f * static_cast<float>(i));
            shots.Add(p);
        }
        shots.Update(1.0f / 30.0f);
    });
    return 0;
}
