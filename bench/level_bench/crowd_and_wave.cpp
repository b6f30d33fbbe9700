// The crowd and the wave cases of the level benchmark: characters, fires
// and a fighting wave put in front of the camera at the hero's feet, stepped
// with the game's update and handed to the scene to draw.
#include "level_bench.h"

#include <cmath>
#include <cstdio>

#include "app/GameCalls.h"
#include "app/Startup.h"
#include "enemies/EnemyAnimNames.h"
#include "math/VectorMath.h"
#include "platform/win32.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "scene/Camera.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/SceneManager.h"

namespace levelbench {

Crowd* g_Crowd = nullptr;
Wave* g_Wave = nullptr;

namespace {

int LiveParticles()
{
    int count = 0;
    for (const auto& emitter : getParticleManager().GetEmitters())
        count += emitter->CountLive();
    return count;
}

} // namespace

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

} // namespace levelbench
