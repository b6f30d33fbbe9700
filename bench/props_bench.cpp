// The physics step of "hangares" with its props: at rest, and with every
// prop thrown by a blast every half second (the worst a barrel chain can
// do). Reports the median and worst milliseconds per
// CCollisionManager::Update.
//
// Reads the collision files of the game's working folder: VANTOREL_WORKDIR,
// else "build/game". Usage: props_bench [frames]
#include "world/CollisionManager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A hero standing at the level's start, no enemies, no bones.
class StillWorld : public ICollisionWorld {
public:
    D3DXVECTOR3 HeroPosition() override { return hero; }
    void SetHeroPosition(const D3DXVECTOR3& feet) override { hero = feet; }
    float HeroYaw() override { return 0.0f; }
    int HeroStateCode() override { return 31; }
    bool HeroBone(const std::string&, D3DXMATRIX*) override { return false; }
    void SetCameraEye(const D3DXVECTOR3&) override {}
    void CameraView(D3DXVECTOR3* e, D3DXVECTOR3* l) override { *e = *l = hero; }
    std::vector<WaveEnemy> CurrentWave() override { return {}; }
    bool FindEnemy(const std::string&, EnemyState*) override { return false; }
    void SetEnemyPosition(const std::string&, const D3DXVECTOR3&) override {}
    bool EnemyBone(const std::string&, const std::string&, D3DXMATRIX*) override { return false; }

    D3DXVECTOR3 hero{0, 0, 0};
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
    const char* env = std::getenv("VANTOREL_WORKDIR");
    const std::string folder = std::string(env ? env : "build/game") + "/data/XML/";

    StillWorld world;
    CCollisionManager& manager = getCollisionManager();
    manager.SetWorld(&world);
    manager.InitPhysicsWorld();
    if (!manager.ReadFile(folder + "collision_instances.xml") || !manager.ReadFile(folder + "objects_instances.xml")) {
        std::fprintf(stderr, "props_bench: cannot read the collision files in %s\n", folder.c_str());
        return 1;
    }

    for (bool thrown : {false, true}) {
        manager.LoadNewScenario("hangares");
        std::vector<double> times;
        for (int frame = 0; frame < frames; ++frame) {
            if (thrown && frame % 15 == 0)
                for (auto& prop : manager.GetCurrentProps())
                    prop.second.blastFlag = true;
            const auto begin = std::chrono::steady_clock::now();
            manager.Update(1.0f / 30.0f);
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        }
        std::printf("props_bench: %zu props %s, %d frames: median %.3f ms, worst %.3f ms per Update\n",
                    manager.GetCurrentProps().size(), thrown ? "thrown by blasts" : "at rest", frames, Median(times),
                    *std::max_element(times.begin(), times.end()));
    }
    manager.LoadNewScenario("hangares");
    manager.SetWorld(nullptr);
    return 0;
}
