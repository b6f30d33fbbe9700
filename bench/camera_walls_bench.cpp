// The camera's frame against the shipped "hangares" level: each frame sweeps
// the camera's body from the hero's chest to the eye it wants, and with a
// crate at his back looks round him for room. Times one CCamera::Update with
// the hero in the open yard, his back to wave 01's barrier crate, and his back
// to it with the mouse turning the view into the crate; the physics step that
// moves the body is left out. Reports the median nanoseconds of each.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game".
// Usage: camera_walls_bench [frames]
#include "bench_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "math/VectorMath.h"
#include "scene/Camera.h"
#include "world/CollisionManager.h"

namespace {

// The level's own sweeps; the hero stands where he is put and the body goes
// where the camera sends it.
class WallsWorld : public ICameraWorld, public ICollisionWorld {
public:
    CameraHeroState ReadHero() override { return hero; }
    CameraInputState ReadInput() override { return input; }
    bool IsAction(const std::string& name) override { return turning && name == "MoveCameraRight"; }
    bool IsScriptedSequenceRunning() override { return false; }
    void SetHeroYaw(float) override {}
    void WalkHero(const D3DXVECTOR3&) override {}
    void WalkCamera(const D3DXVECTOR3& step) override { camera->SetPosition(camera->GetPosition() + step); }
    bool SelectAdjacentParapet(bool) override { return false; }
    float ClearReach(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
    {
        return getCollisionManager().CameraReach(from, to);
    }
    bool Sees(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
    {
        return getCollisionManager().SweepSphere(from, to, 1.0f) >= 1.0f;
    }
    bool NextAimTarget(const std::string&, std::string*, D3DXVECTOR3*) override { return false; }
    bool FindLiveTarget(const std::string&, D3DXVECTOR3*) override { return false; }

    // What the physics reads: nothing moves but the camera's sweeps.
    D3DXVECTOR3 HeroPosition() override { return hero.position; }
    void SetHeroPosition(const D3DXVECTOR3&) override {}
    float HeroYaw() override { return hero.yaw; }
    int HeroStateCode() override { return hero.stateCode; }
    bool HeroBone(const std::string&, D3DXMATRIX*) override { return false; }
    void SetCameraEye(const D3DXVECTOR3&) override {}
    void CameraView(D3DXVECTOR3* e, D3DXVECTOR3* l) override { *e = *l = hero.position; }
    std::vector<WaveEnemy> CurrentWave() override { return {}; }
    bool FindEnemy(const std::string&, EnemyState*) override { return false; }
    void SetEnemyPosition(const std::string&, const D3DXVECTOR3&) override {}
    bool EnemyBone(const std::string&, const std::string&, D3DXMATRIX*) override { return false; }

    CameraHeroState hero;
    CameraInputState input;
    bool turning = false;
    CCamera* camera = nullptr;
};

} // namespace

int main(int argc, char** argv)
{
    if (!EnterWorkFolder(argv[0]))
        return 1;
    const int frames = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;
    WallsWorld world;
    CCollisionManager& physics = getCollisionManager();
    physics.SetWorld(&world);
    physics.InitPhysicsWorld();
    if (!physics.ReadFile("data/XML/collision_instances.xml") || !physics.ReadFile("data/XML/objects_instances.xml")) {
        std::fprintf(stderr, "camera_walls_bench: cannot read the collision files\n");
        return 1;
    }
    physics.LoadNewScenario("hangares");

    CCamera camera;
    world.camera = &camera;
    camera.SetWorld(&world);
    const D3DXVECTOR3 crate(-551.3f, 0.0f, -820.9f);
    struct Place {
        const char* what;
        D3DXVECTOR3 feet;
        float yaw;
        bool turning;
    } places[] = {{"in the open yard", D3DXVECTOR3(-1159.4f, 0.0f, -665.5f), 0.6f, false},
                  {"his back to the crate", crate + DirectionFromYaw(0.785f) * 60.0f, 0.785f, false},
                  {"his back to it, the mouse turning", crate + DirectionFromYaw(0.785f) * 60.0f, 0.785f, true}};
    std::printf("camera update against hangares, %d frames each:\n", frames);
    for (const Place& place : places) {
        world.hero.position = place.feet;
        world.hero.yaw = place.yaw;
        world.hero.stateCode = 30;
        world.turning = place.turning;
        world.input.mouseX = place.turning ? 3.0f : 0.0f;
        camera.LoadValues(place.feet.x, place.feet.y, place.feet.z, nullptr);
        camera.SetYaw(place.yaw);
        MedianNanoseconds(200, [] {}, [&] { camera.Update(1.0f / 30.0f); });
        const double ns = MedianNanoseconds(frames, [] {}, [&] { camera.Update(1.0f / 30.0f); });
        std::printf("  %-36s %10.1f ns\n", place.what, ns);
    }
    physics.SetWorld(nullptr);
    return 0;
}
