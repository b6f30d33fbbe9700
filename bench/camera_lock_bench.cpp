// The camera's frame with and without a lock on an enemy: while the lock
// holds, each frame looks its soldier up among the shipped wave 01 of the
// hangars, as the game does, and aims afresh from where the view now turns.
// The hero aims, the soldier stands 400 away; the level and the device are
// left out (the stand-in world lets the eye go where it is sent). Reports the
// median nanoseconds of one CCamera::Update each way, and the difference.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game".
// Usage: camera_lock_bench [frames]
#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "scene/Camera.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleType.h"

namespace {

// The game's own enemy look-up; everything else inert.
class LockWorld : public ICameraWorld {
public:
    CameraHeroState ReadHero() override { return hero; }
    CameraInputState ReadInput() override { return {}; }
    bool IsAction(const std::string&) override { return false; }
    bool IsScriptedSequenceRunning() override { return false; }
    void SetHeroYaw(float) override {}
    void WalkHero(const D3DXVECTOR3&) override {}
    void WalkCamera(const D3DXVECTOR3& step) override { camera->SetPosition(camera->GetPosition() + step); }
    bool SelectAdjacentParapet(bool) override { return false; }
    bool NextAimTarget(const std::string&, std::string* name, D3DXVECTOR3* position) override
    {
        *name = "ene_1";
        return FindLiveTarget(*name, position);
    }
    bool FindLiveTarget(const std::string& name, D3DXVECTOR3* position) override
    {
        CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave(name);
        if (!enemy || enemy->getIA()->GetState() == CIAEnemyCover::DEAD)
            return false;
        *position = enemy->GetPosition().GetPosition();
        return true;
    }

    CameraHeroState hero;
    CCamera* camera = nullptr;
};

double MedianUpdateNanoseconds(CCamera& camera, int frames, bool locked)
{
    // Held as Q held holds it: taken again before each frame, untimed.
    return MedianNanoseconds(
        frames, [&] { if (locked) camera.SelectNextAimTarget(); }, [&] { camera.Update(1.0f / 30.0f); });
}

} // namespace

int main(int argc, char** argv)
{
    if (!EnterWorkFolder(argv[0]))
        return 1;
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    getModelsManager().LoadCoreModels("Data/XML/CoreModels.xml");
    getParticleTypes().Load("data/XML/particleTypes.xml");
    CEnemyManager& enemies = *getEnemyManager();
    enemies.ResetWaves();
    enemies.setNewZone("room01", "wave_01");
    CEnemy* soldier = enemies.getThisBotOfCurrentWave("ene_1");
    if (!soldier) {
        std::fprintf(stderr, "the shipped wave 01 has no ene_1\n");
        return 1;
    }
    LockWorld world;
    CCamera camera;
    world.camera = &camera;
    camera.SetWorld(&world);
    const D3DXVECTOR3 feet = soldier->GetPosition().GetPosition();
    camera.LoadValues(feet.x - 400.0f, feet.y, feet.z, nullptr);
    world.hero.position = D3DXVECTOR3(feet.x - 400.0f, feet.y, feet.z);
    world.hero.stateCode = 52; // aiming
    MedianUpdateNanoseconds(camera, 1000, false);
    const double free = MedianUpdateNanoseconds(camera, frames, false);
    const double locked = MedianUpdateNanoseconds(camera, frames, true);
    std::printf("camera update, %d frames each: %8.1f ns free, %8.1f ns locked (+%.1f ns)\n", frames, free, locked,
                locked - free);
    return 0;
}
