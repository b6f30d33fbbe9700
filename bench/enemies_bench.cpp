// Building every enemy of the shipped lists, as each new game and each
// restart does (CEnemyManager::ResetWaves), and one enemy frame of the
// ghost wave. Reports the median and worst milliseconds per ResetWaves, per
// enemy built, and the median microseconds per CEnemyManager::Update.
//
// Usage: enemies_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleType.h"

int main(int argc, char** argv)
{
    if (!EnterWorkFolder(argv[0]))
        return 1;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    getModelsManager().LoadCoreModels("Data/XML/CoreModels.xml");
    getParticleTypes().Load("data/XML/particleTypes.xml");
    CEnemyManager& manager = *getEnemyManager();

    using Clock = std::chrono::steady_clock;
    std::vector<double> resets;
    size_t enemies = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        manager.ResetWaves();
        resets.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        enemies = 0;
        for (const auto& room : manager.GetRooms())
            for (const auto& wave : room.second)
                enemies += wave.second.size();
    }
    std::sort(resets.begin(), resets.end());
    const double median = resets[resets.size() / 2];
    std::printf("ResetWaves: %zu enemies, median %.2f ms (%.3f ms per enemy), worst %.2f ms\n", enemies, median,
                median / std::max<size_t>(1, enemies), resets.back());

    std::vector<double> frames;
    manager.setNewZone("room01", "wave_01");
    for (int i = 0; i < 300; ++i) {
        const auto start = Clock::now();
        manager.Update(1.0f / 30);
        frames.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(frames.begin(), frames.end());
    std::printf("Update (wave_01, %zu enemies): median %.1f us, worst %.1f us\n",
                manager.GetCurrentWaveEnemies().size(), frames[frames.size() / 2], frames.back());
    return 0;
}
