// One physics frame on the shipped "hangares": the level's static boxes, the
// hero and the camera walking, with and without five enemy bodies walking
// too, every body's fifteen bone boxes following a skeleton. Reports the
// median and worst milliseconds per CCollisionManager::Update, then per
// crosshair test (the HUD's, up to three a drawn frame) as the aim sweeps
// round the hero among them, then per carry of the circling plane's box.
//
// Reads the collision files of the game's working folder: VANTOREL_WORKDIR,
// else "build/game". Usage: physics_bench [frames]
#include "world/CollisionManager.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The hero, the enemies and the camera as the physics sees them, every bone
// at a fixed pose.
class BenchWorld : public ICollisionWorld {
public:
    D3DXVECTOR3 HeroPosition() override { return hero; }
    void SetHeroPosition(const D3DXVECTOR3& feet) override { hero = feet; }
    float HeroYaw() override { return 0.5f; }
    int HeroStateCode() override { return 31; }
    bool HeroBone(const std::string& bone, D3DXMATRIX* matrix) override { return Bone(bone, matrix); }
    void SetCameraEye(const D3DXVECTOR3& e) override { eye = e; }
    void CameraView(D3DXVECTOR3* e, D3DXVECTOR3* l) override
    {
        *e = eye;
        *l = hero;
    }
    std::vector<WaveEnemy> CurrentWave() override { return wave; }
    bool FindEnemy(const std::string& name, EnemyState* state) override
    {
        for (const WaveEnemy& enemy : wave)
            if (enemy.key == name) {
                state->position = enemy.position;
                state->yaw = 1.0f;
                return true;
            }
        return false;
    }
    void SetEnemyPosition(const std::string& name, const D3DXVECTOR3& feet) override
    {
        for (WaveEnemy& enemy : wave)
            if (enemy.key == name)
                enemy.position = feet;
    }
    bool EnemyBone(const std::string& name, const std::string& bone, D3DXMATRIX* matrix) override
    {
        return Bone(bone, matrix);
    }

    D3DXVECTOR3 hero{0, 0, 0};
    D3DXVECTOR3 eye{0, 0, 0};
    std::vector<WaveEnemy> wave;

private:
    static bool Bone(const std::string& bone, D3DXMATRIX* matrix)
    {
        D3DXMatrixTranslation(matrix, 0, 20.0f + static_cast<float>(bone.size()), 0);
        return true;
    }
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

    BenchWorld world;
    CCollisionManager& manager = getCollisionManager();
    manager.SetWorld(&world);
    manager.InitPhysicsWorld();
    if (!manager.ReadFile(folder + "collision_instances.xml") || !manager.ReadFile(folder + "objects_instances.xml")) {
        std::fprintf(stderr, "physics_bench: cannot read the collision files in %s\n", folder.c_str());
        return 1;
    }
    std::printf("physics_bench: %d frames of hangares, %zu static boxes\n", frames,
                manager.GetCollisions(true).size());

    for (int enemies : {0, 5}) {
        manager.LoadNewScenario("hangares");
        const D3DXVECTOR3 start = manager.GetStart(true);
        world.wave.clear();
        for (int i = 0; i < enemies; ++i)
            world.wave.push_back({"ene_" + std::to_string(i), "ene_" + std::to_string(i),
                                  D3DXVECTOR3(start.x + 60.0f * (i + 1), 0, start.z + 40.0f)});
        manager.CreateEnemyBodies();

        std::vector<double> times;
        for (int frame = 0; frame < frames; ++frame) {
            // Everyone walks in circles, so the sweeps and slides all run.
            const float a = frame * 0.05f;
            manager.SetPlayerWalkDirection(3 * std::sin(a), 0, 3 * std::cos(a));
            manager.SetCameraWalkDirection(3 * std::sin(a), 0, 3 * std::cos(a));
            for (int i = 0; i < enemies; ++i)
                manager.SetEnemyWalkDirection("ene_" + std::to_string(i),
                                              D3DXVECTOR3(2 * std::cos(a + i), 0, 2 * std::sin(a + i)));
            const auto begin = std::chrono::steady_clock::now();
            manager.Update(1.0f / 30.0f);
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        }
        std::printf("  hero, camera and %d enemies: median %.3f ms, worst %.3f ms per Update\n", enemies,
                    Median(times), *std::max_element(times.begin(), times.end()));
    }
    // The bodies stand where the last round left them; the eye circles the
    // hero, the aim passing over the enemies, the level and the sky.
    std::vector<double> sights;
    int red = 0;
    for (int frame = 0; frame < frames; ++frame) {
        const float a = frame * 0.05f;
        world.eye = world.hero + D3DXVECTOR3(-100.0f * std::sin(a), 30.0f + 20.0f * std::sin(a * 0.3f),
                                             -100.0f * std::cos(a));
        const auto begin = std::chrono::steady_clock::now();
        red += manager.RayTestProps() == 3;
        sights.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    }
    std::printf("  crosshair test: median %.4f ms, worst %.4f ms per call (%d of %d on a body)\n", Median(sights),
                *std::max_element(sights.begin(), sights.end()), red, frames);
    // The circling plane's box carried round its loop each frame, as the
    // sequencer does while it circles: the carry alone.
    manager.LoadNewScenario("hangares");
    std::vector<double> carries;
    for (int frame = 0; frame < frames; ++frame) {
        const float a = frame * 0.01f;
        D3DXMATRIX plane;
        D3DXMatrixRotationY(&plane, a);
        plane._41 = 2541.06f + 570.0f * std::sin(a);
        plane._42 = 150.0f;
        plane._43 = 430.616f + 570.0f * std::cos(a);
        const auto begin = std::chrono::steady_clock::now();
        manager.CarryStaticBody("col_avion_bucle", plane);
        carries.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        manager.Update(1.0f / 30.0f);
    }
    std::printf("  the plane's box carried round its loop: median %.4f ms, worst %.4f ms per carry\n",
                Median(carries), *std::max_element(carries.begin(), carries.end()));

    manager.LoadNewScenario("hangares");
    manager.SetWorld(nullptr);
    return 0;
}
