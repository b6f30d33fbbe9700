// The shipped game's story as the player meets it between his own moves: the
// restarts that put the hero back, the explosions that move him, the
// scaffold and the boss's escape, the crates that give way, and the enemies
// drawn with their weapons and the pools they leave.
#include <gtest/gtest.h>

#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include <btBulletDynamicsCommon.h>

#include <cal3d/cal3d.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/LevelLists.h"
#include "app/LevelRestart.h"
#include "app/MainConfig.h"
#include "app/shipped_game.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "gui/Achievements.h"
#include "platform/offscreen_device_fixture.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/Weapon.h"
#include "render/EffectManager.h"
#include "render/RenderTarget.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/SceneManager.h"
#include "world/Parapet.h"

namespace {

constexpr int kLinksWidth = 320, kLinksHeight = 240;
constexpr float kLinksFrame = 1.0f / 30.0f;

// The camera close in front of a bone of the body, a little to the side and
// above, looking at it: where the bone is in the world.
D3DXVECTOR3 LookCloselyAtBone(CCharacterEntity* body, const char* bone, float yaw, float distance)
{
    const D3DXMATRIX at = body->GetBoneMatrix(bone) * body->GetTransform().GetMatrix();
    const D3DXVECTOR3 place(at._41, at._42, at._43);
    CCamera& camera = getCamera();
    camera.SetPosition(place + DirectionFromYaw(yaw) * distance + D3DXVECTOR3(30, 20, 0));
    camera.SetLookAt(place);
    camera.ApplyView();
    camera.UpdateFrustum();
    return place;
}

std::vector<D3DCOLOR> DrawLinksFrame()
{
    RenderFrame(kLinksFrame);
    std::vector<D3DCOLOR> pixels;
    EXPECT_EQ(devicetest::ReadBackBuffer(D3DDevice, &pixels), D3D_OK);
    return pixels;
}

// The pixels two frames differ in, within 40 of where a point of the world is
// drawn and elsewhere.
struct ChangedPixels {
    int x = 0, y = 0; // where the point is drawn
    int near = 0, elsewhere = 0;
};

ChangedPixels ChangedRound(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b, const D3DXVECTOR3& point)
{
    const CCamera& camera = getCamera();
    D3DXVECTOR4 clip;
    const D3DXMATRIX viewProjection = camera.GetViewMatrix() * camera.GetProjectionMatrix();
    D3DXVec3Transform(&clip, &point, &viewProjection);
    ChangedPixels changed;
    changed.x = static_cast<int>((clip.x / clip.w * 0.5f + 0.5f) * kLinksWidth);
    changed.y = static_cast<int>((0.5f - clip.y / clip.w * 0.5f) * kLinksHeight);
    for (int y = 0; y < kLinksHeight; ++y)
        for (int x = 0; x < kLinksWidth; ++x) {
            const size_t i = static_cast<size_t>(y) * kLinksWidth + x;
            if ((a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF))
                (std::abs(x - changed.x) < 40 && std::abs(y - changed.y) < 40 ? changed.near : changed.elsewhere)++;
        }
    return changed;
}

class StoryLinks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        s_Previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        s_Started = shippedgame::Start(kLinksWidth, kLinksHeight);
    }
    static void TearDownTestSuite()
    {
        shippedgame::Stop();
        std::filesystem::current_path(s_Previous);
    }
    void SetUp() override { ASSERT_TRUE(s_Started) << "no device"; }

    static CPlayer* Hero() { return getPlayer(); }
    // The level entered, with every fade of the hero's cycles run out.
    static void Enter(const std::string& level)
    {
        shippedgame::EnterLevel(level);
        Hero()->GetEntity()->Update(1.0f);
    }

    // The weight of the body's cycle of that animation; -1 when none runs.
    static float CycleWeight(const std::string& animation)
    {
        CCharacterEntity* body = Hero()->GetEntity();
        const auto& ids = body->GetCoreModelInfo()->animations;
        const auto id = ids.find(animation);
        if (id == ids.end())
            return -1.0f;
        CalCoreAnimation* wanted = body->GetCalModel()->getCoreModel()->getCoreAnimation(id->second);
        float weight = -1.0f;
        for (CalAnimationCycle* cycle : body->GetCalModel()->getMixer()->getAnimationCycle())
            if (cycle->getCoreAnimation() == wanted)
                weight = std::max(weight, cycle->getWeight());
        return weight;
    }
    static bool CycleRuns(const std::string& animation) { return CycleWeight(animation) > 0.0f; }

    // The hero fires along the line from `from` to `at`, as his aim does.
    static void FireAt(const D3DXVECTOR3& from, const D3DXVECTOR3& at)
    {
        CCamera& camera = getCamera();
        camera.SetPosition(from);
        camera.SetLookAt(at);
        float hit[3] = {0, 0, 0};
        getCollisionManager().ResolvePlayerShot(nullptr, hit);
    }

    // The hangar's far wall, shot with the pistol until it blows.
    static void BlowTheHangar()
    {
        Hero()->SetCurrentWeapon(Hero()->GetGun());
        for (int shot = 0; shot < 5 && !getCollisionManager().hangarExploded; ++shot)
            FireAt(D3DXVECTOR3(1300.0f, 100.0f, 2900.0f), D3DXVECTOR3(1300.0f, 100.0f, 3000.0f));
    }

    static void EnterWave(const std::string& room, const std::string& wave)
    {
        getEnemyManager()->setNewZone(room, wave);
        getEnemyManager()->Update(0.0f);
    }

    static std::filesystem::path s_Previous;
    static bool s_Started;
};

std::filesystem::path StoryLinks::s_Previous;
bool StoryLinks::s_Started = false;

TEST_F(StoryLinks, TheSecondCheckpointLightsTheBurningHangarAndPutsTheHeroBackStanding)
{
    Enter("hangares");
    // He was rolling with a shot held when he died.
    CCharacterEntity* body = Hero()->GetEntity();
    ASSERT_NE(body, nullptr);
    CControllerSelector* selector = Hero()->GetControllerSelector();
    selector->SwitchToAiming();
    selector->GetAimingController()->OnActionPressed(ACTION_FIRE);
    ASSERT_TRUE(selector->GetAimingController()->IsFireHeld());
    body->BlendCycle("run", 1.0f, 0.0f);
    ASSERT_GT(body->ExecuteAction("Roll", 0.0f, 0.0f, 1.0f, false), 0.0f);
    body->Update(0.1f);

    getTriggerManager().checkpoint = 2;
    RestartLevel(false);
    body->Update(0.01f);

    EXPECT_FALSE(selector->GetAimingController()->IsFireHeld()) << "the trigger is let go";
    EXPECT_EQ(selector->GetStateName(), "FREE");
    EXPECT_EQ(body->GetActionCount(), 0) << "the roll is dropped";
    EXPECT_FLOAT_EQ(CycleWeight("idle_ostrel"), 1.0f) << "he stands at once";
    // What the return to free movement began to fade goes on fading.
    body->Update(0.2f);
    EXPECT_FLOAT_EQ(CycleWeight("idle_ostrel"), 1.0f);
    EXPECT_FALSE(CycleRuns("run"));
    EXPECT_FALSE(CycleRuns("aiming_idle"));

    const std::vector<D3DXVECTOR3> smoke = {{1123.23f, 0, 553.7f},  {1232.23f, 0, 451.7f}, {1273.23f, 8, 580.7f},
                                            {1044.48f, 18, 685.7f}, {841.48f, 18, 747.7f}, {13.48f, 138, 509.7f},
                                            {1197.48f, 87, 444.7f}};
    const std::vector<D3DXVECTOR3> blood = {{13.48f, 138, 509.7f}, {13.48f, 138, 505.7f}, {13.48f, 138, 501.7f}};
    std::map<std::string, std::vector<D3DXVECTOR3>> started;
    for (const auto& emitter : getParticleManager().GetEmitters())
        if (emitter->GetType())
            started[emitter->GetType()->name].push_back(emitter->GetPosition());
    auto count = [&](const std::string& type, const D3DXVECTOR3& at) {
        const auto& where = started[type];
        return std::count_if(where.begin(), where.end(),
                             [&](const D3DXVECTOR3& p) { return VectorLength(p - at) < 0.01f; });
    };
    for (const D3DXVECTOR3& at : smoke)
        EXPECT_EQ(count("humo", at), 1) << at.x << " " << at.z;
    for (const D3DXVECTOR3& at : blood)
        EXPECT_EQ(count("sangre_infinita", at), 1) << at.z;

    // The smoke rises: each column has particles once the particles run.
    for (int i = 0; i < 20; ++i)
        getParticleManager().Update(0.05f);
    for (const auto& emitter : getParticleManager().GetEmitters())
        if (emitter->GetType() && emitter->GetType()->name == "humo")
            EXPECT_FALSE(emitter->GetParticles().empty());

    // At the scaffold he is not put to stand at once: only the return to
    // free movement blends his idle in, over its own time.
    body->ClearAllCycles(0.0f);
    body->BlendCycle("run", 1.0f, 0.0f);
    body->Update(0.01f);
    ASSERT_FALSE(CycleRuns("idle_ostrel"));
    getTriggerManager().checkpoint = 4;
    RestartLevel(false);
    body->Update(0.01f);
    EXPECT_TRUE(CycleRuns("run"));
    EXPECT_LT(CycleWeight("idle_ostrel"), 0.5f);
}

TEST_F(StoryLinks, EveryHangarExplosionOfARunMovesTheHeroToTheDoor)
{
    Enter("hangares");
    CRigidAnimManager* rigid = getRigid();
    const D3DXVECTOR3 door(453.748f, 0.57f, 3567.08f);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        // Somewhere else, running, when the wall goes.
        const D3DXVECTOR3 away(1300.0f, 10.0f, 2500.0f);
        getCollisionManager().setNewPlayerPosition(away);
        Hero()->GetEntity()->BlendCycle("run", 1.0f, 0.0f);
        ASSERT_GT(Hero()->GetEntity()->ExecuteAction("reload_ostrel", 0.0f, 0.0f, 1.0f, false), 0.0f);
        BlowTheHangar();
        ASSERT_TRUE(getCollisionManager().hangarExploded);
        for (int frame = 0; frame < 3; ++frame)
            rigid->Update(kLinksFrame);
        const D3DXVECTOR3 at = Hero()->GetPosition().GetPosition();
        EXPECT_NEAR(at.x, door.x, 0.01f);
        EXPECT_NEAR(at.z, door.z, 0.01f);
        EXPECT_FLOAT_EQ(Hero()->GetPosition().GetYaw(), -0.6f);
        Hero()->GetEntity()->Update(0.01f);
        EXPECT_TRUE(CycleRuns("pBajo_ostrel_idle")) << "he crouches behind the door";
        EXPECT_FALSE(CycleRuns("run"));
        EXPECT_EQ(Hero()->GetEntity()->GetActionCount(), 0);

        // Later in the same explosion he walks off: it does not pull him back.
        getCollisionManager().setNewPlayerPosition(away);
        rigid->Update(kLinksFrame);
        EXPECT_NEAR(Hero()->GetPosition().GetPosition().z, away.z, 0.01f);

        // He dies and goes back to the second checkpoint, before the wall.
        getTriggerManager().checkpoint = 2;
        RestartLevel(false);
        EXPECT_FALSE(Hero()->explosionRelocated);
    }
}

TEST_F(StoryLinks, TheScaffoldBarrelBreaksTheScaffoldAndTheBossRunsFourSecondsLater)
{
    Enter("isla");
    EnterWave("room3", "wave_34");
    CRigidAnimManager* rigid = getRigid();
    ASSERT_EQ(rigid->dockersEscapeStage, 0);
    FireAt(D3DXVECTOR3(-2330.0f, 395.0f, 300.0f), D3DXVECTOR3(-2330.0f, 395.0f, 330.0f));
    ASSERT_TRUE(getCollisionManager().scaffoldExploded) << "the barrel was hit";
    EXPECT_EQ(rigid->dockersEscapeStage, 1);

    // The island now shows the scaffold's pieces in place of the whole.
    struct Marks : IVisibilityMarks {
        std::map<std::string, bool> shown;
        void AddVisible(const std::string& name) override { shown[name] = true; }
        void SetVisible(const std::string& name, bool visible) override { shown[name] = visible; }
    } marks;
    MarkIslaObjects(*rigid, marks);
    EXPECT_TRUE(marks.shown["andamio_palo10"]);
    EXPECT_TRUE(marks.shown["andamio_escalera"]);
    EXPECT_FALSE(marks.shown["isla_andamio"]);
    EXPECT_FALSE(marks.shown["Andamio_BROKEN"]);

    // The boss runs once the dockers' last wave is on, after four seconds,
    // and takes the hero out of whatever he was doing.
    EnterWave("room3", "wave_35");
    CControllerSelector* selector = Hero()->GetControllerSelector();
    selector->SwitchToAiming();
    selector->GetAimingController()->OnActionPressed(ACTION_FIRE);
    ASSERT_GT(Hero()->GetEntity()->ExecuteAction("reload_ostrel", 0.0f, 0.0f, 1.0f, false), 0.0f);
    getRigid()->scriptedSequenceRunning = false;
    for (int i = 0; i < 39; ++i)
        rigid->Update(0.1f);
    EXPECT_EQ(rigid->dockersEscapeStage, 1) << "3.9 s";
    EXPECT_NE(getGSF().islaSequence, CGameStateFlagsManager::PlayingVinyetasDockersHuye);
    for (int i = 0; i < 3; ++i)
        rigid->Update(0.1f);
    EXPECT_EQ(rigid->dockersEscapeStage, 2);
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::PlayingVinyetasDockersHuye);
    EXPECT_TRUE(rigid->scriptedSequenceRunning);
    EXPECT_EQ(getTriggerManager().checkpoint, 5);
    const D3DXVECTOR3 at = Hero()->GetPosition().GetPosition();
    EXPECT_NEAR(at.x, -2297.4f, 0.01f);
    EXPECT_NEAR(at.z, -163.31f, 0.01f);
    EXPECT_EQ(selector->GetStateName(), "FREE");
    EXPECT_FALSE(selector->GetAimingController()->IsFireHeld());
    EXPECT_EQ(Hero()->GetEntity()->GetActionCount(), 0);
}

TEST_F(StoryLinks, TheDockersFlightPutsTheHeroInCoverCrouchedAndLetsGoOfHisTrigger)
{
    Enter("isla");
    CCharacterEntity* body = Hero()->GetEntity();
    CControllerSelector* selector = Hero()->GetControllerSelector();
    Hero()->SetCurrentWeapon(Hero()->GetShotgun());
    selector->SwitchToAiming();
    selector->GetAimingController()->OnActionPressed(ACTION_FIRE);
    ASSERT_TRUE(selector->GetAimingController()->IsFireHeld());
    getRigid()->playCam("camara_isla_intro");
    EXPECT_FALSE(selector->GetAimingController()->IsFireHeld()) << "a held shot does not fire on after the flight";
    getRigid()->Clear();
    getRigid()->Update(kLinksFrame);

    body->Update(0.5f);
    ASSERT_FALSE(CycleRuns("pBajo_escopeta_idle"));
    getRigid()->playCam("camara_isla_dockers1");
    EXPECT_EQ(selector->GetStateName(), "PARAPETED");
    body->Update(0.05f);
    // Blended in over a tenth of a second to a tenth of the weight.
    const float crouch = CycleWeight("pBajo_escopeta_idle");
    EXPECT_GT(crouch, 0.02f);
    EXPECT_LT(crouch, 0.1f);
    body->Update(0.1f);
    EXPECT_NEAR(CycleWeight("pBajo_escopeta_idle"), 0.1f, 1e-4f);
    EXPECT_FALSE(CycleRuns("pBajo_ostrel_idle"));
    Hero()->SetCurrentWeapon(Hero()->GetGun());
}

TEST_F(StoryLinks, ABrokenPlankCrateTakesItsParapetAndOnlyItsOwn)
{
    Enter("hangares");
    CRigidAnimManager* rigid = getRigid();
    rigid->crateBroken2 = rigid->crateBroken3 = false;
    CPlayerFreeController* free = Hero()->GetControllerSelector()->GetFreeController();
    // In front of the crate, looking into it: the hero is offered its cover.
    auto offered = [&](const char* name) {
        for (TParapet* parapet : getScenario()->GetParapets()) {
            if (parapet->name != name)
                continue;
            const D3DXVECTOR3 stand = parapet->transform.GetPosition() + parapet->facing * 50.0f;
            const float heading = WrapAngle(parapet->transform.GetYaw() + 3.0f);
            Hero()->GetPosition().SetPosition(stand);
            Hero()->GetPosition().SetYaw(heading);
            getCamera().SetYaw(heading);
            if (!free->FindCoverPoint())
                return std::string();
            return getScenario()->GetParapets()[free->GetParapetIndex()]->name;
        }
        return std::string("missing");
    };
    EXPECT_EQ(offered("p_b_n_A_P_008"), "p_b_n_A_P_008");
    EXPECT_EQ(offered("p_b_n_A_P_009"), "p_b_n_A_P_009");
    // Enemy fire broke the first crate.
    rigid->crateBroken2 = true;
    EXPECT_EQ(offered("p_b_n_A_P_008"), "");
    EXPECT_EQ(offered("p_b_n_A_P_009"), "p_b_n_A_P_009");
    rigid->crateBroken3 = true;
    EXPECT_EQ(offered("p_b_n_A_P_009"), "");
    rigid->crateBroken2 = rigid->crateBroken3 = false;
}

TEST_F(StoryLinks, APointBlankShotgunHeadShotKillsWhateverTheLife)
{
    Enter("hangares");
    Hero()->CreateWeapons();
    ASSERT_NE(Hero()->GetShotgun(), nullptr);
    Hero()->SetCurrentWeapon(Hero()->GetShotgun());
    for (short life : {10, 100, 160, 300}) {
        SCOPED_TRACE(life);
        getEnemyManager()->ResetWaves();
        EnterWave("room01", "wave_01");
        CEnemy* enemy = getEnemyManager()->GetCurrentWaveEnemies().begin()->second;
        const std::string name = enemy->GetName();
        enemy->SetLife(life);
        getCollisionManager().Update(kLinksFrame);
        const auto& bodies = getCollisionManager().GetEnemyBodies();
        ASSERT_TRUE(bodies.count(name));
        const btVector3 head = bodies.at(name).parts.at("EBip01 Head").ghost->getWorldTransform().getOrigin();
        const D3DXVECTOR3 target(head.x(), head.y(), head.z());
        // Him right next to the enemy, the aim from his side at its head.
        Hero()->GetPosition().SetPosition(enemy->GetPosition().GetPosition() + D3DXVECTOR3(60.0f, 0.0f, 0.0f));
        const std::uint16_t headShots = getAchievementStats().headShots;
        FireAt(target + D3DXVECTOR3(60.0f, 0.0f, 0.0f), target + D3DXVECTOR3(30.0f, 0.0f, 0.0f));
        ASSERT_EQ(getAchievementStats().headShots, headShots + 1) << "the head was hit";
        EXPECT_EQ(enemy->GetLife(), 0);
        EXPECT_EQ(enemy->getIA()->GetState(), CIAEnemyCover::DEAD);
    }
    Hero()->SetCurrentWeapon(Hero()->GetGun());
}

TEST_F(StoryLinks, EnemiesHoldTheirWeaponsInTheHandAndTheRemovedLeaveTheirPools)
{
    Enter("hangares");
    EnterWave("room01", "wave_01");
    CEnemy* enemy = getEnemyManager()->GetCurrentWaveEnemies().begin()->second;
    CCharacterEntity* entity = enemy->GetEntity();
    ASSERT_NE(entity, nullptr);
    ASSERT_NE(enemy->GetWeapon(), nullptr);
    entity->Update(0.01f);
    // Close in front of the enemy, looking at its hand.
    const D3DXVECTOR3 grip = LookCloselyAtBone(entity, "EBip01 pipa", enemy->GetPosition().GetYaw(), 120.0f);
    const std::vector<D3DCOLOR> armed = DrawLinksFrame();
    IWeapon* weapon = enemy->GetWeapon();
    enemy->SetWeapon(nullptr);
    const std::vector<D3DCOLOR> bare = DrawLinksFrame();
    enemy->SetWeapon(weapon);
    ASSERT_EQ(armed.size(), static_cast<size_t>(kLinksWidth) * kLinksHeight);
    ASSERT_EQ(bare.size(), armed.size());
    const ChangedPixels changed = ChangedRound(armed, bare, grip);
    EXPECT_GT(changed.near, 20) << "the weapon shows at the hand (" << changed.x << ", " << changed.y << ")";
    EXPECT_LT(changed.elsewhere, changed.near) << "and nowhere else";

    // Removed from play, the enemy is not drawn: a pool spreads where it lay.
    CParticleSystem* pools = getParticleManager().GetParticleSystem("muerto");
    ASSERT_NE(pools, nullptr);
    auto poolsAt = [&](const D3DXVECTOR3& at) {
        int count = 0;
        for (const Particle& p : pools->GetParticles())
            count += !p.dead && std::fabs(p.x - at.x) < 0.01f && std::fabs(p.z - at.z) < 0.01f;
        return count;
    };
    const D3DXVECTOR3 lay = enemy->GetPosition().GetPosition();
    EXPECT_EQ(poolsAt(lay), 0) << "none while it stands";
    enemy->getIA()->destroyThisGuy();
    DrawLinksFrame();
    EXPECT_EQ(poolsAt(lay), 1);
    const std::vector<D3DCOLOR> gone = DrawLinksFrame();
    const int cx = changed.x, cy = changed.y;
    EXPECT_EQ(poolsAt(lay), 2) << "one more each time the characters are drawn";
    int stillArmed = 0;
    for (int y = std::max(0, cy - 40); y < std::min(kLinksHeight, cy + 40); ++y)
        for (int x = std::max(0, cx - 40); x < std::min(kLinksWidth, cx + 40); ++x) {
            const size_t i = static_cast<size_t>(y) * kLinksWidth + x;
            const bool weaponPixel = (armed[i] & 0xFFFFFF) != (bare[i] & 0xFFFFFF);
            stillArmed += weaponPixel && (gone[i] & 0xFFFFFF) == (armed[i] & 0xFFFFFF);
        }
    EXPECT_EQ(stillArmed, 0) << "its weapon went with it";
}

// In ordinary play the hero's weapon goes where his hand bone goes: turned
// and away from the origin, the frame drawn with it differs from one drawn
// without it around his hand on the screen, and hardly anywhere else.
TEST_F(StoryLinks, TheHerosWeaponIsDrawnInHisHand)
{
    Enter("hangares");
    CPlayer* hero = Hero();
    CCharacterEntity* body = hero->GetEntity();
    hero->GetControllerSelector()->SwitchToFree(false, false);
    for (IWeapon* weapon : {static_cast<IWeapon*>(hero->GetGun()), static_cast<IWeapon*>(hero->GetThompson())}) {
        SCOPED_TRACE(weapon->GetName());
        hero->SetCurrentWeapon(weapon);
        hero->GetPosition().SetYaw(1.0f);
        for (int i = 0; i < 3; ++i)
            hero->Update(kLinksFrame);
        // Close by him, looking at his hand.
        const D3DXVECTOR3 grip = LookCloselyAtBone(body, "Bip01 pistola", hero->GetPosition().GetYaw(), 80.0f);
        // The screens off: his weapon's panel would tell the two frames apart.
        setMainConfig("guiRender", false);
        const std::vector<D3DCOLOR> armed = DrawLinksFrame();
        hero->SetCurrentWeapon(nullptr);
        const std::vector<D3DCOLOR> bare = DrawLinksFrame();
        hero->SetCurrentWeapon(weapon);
        setMainConfig("guiRender", true);
        ASSERT_EQ(armed.size(), static_cast<size_t>(kLinksWidth) * kLinksHeight);
        ASSERT_EQ(bare.size(), armed.size());
        const ChangedPixels changed = ChangedRound(armed, bare, grip);
        EXPECT_GT(changed.near, 20) << "the weapon shows at the hand (" << changed.x << ", " << changed.y << ")";
        EXPECT_LT(changed.elsewhere, changed.near / 4) << "and hardly anywhere else";
    }
    hero->SetCurrentWeapon(hero->GetGun());
}

TEST_F(StoryLinks, TheSmallPlaneIsDrawnAsItsGunTurnedByItsThreeAngles)
{
    Enter("hangares");
    EnterWave("room01", "wave_04");
    CEnemy* plane = getEnemyManager()->getThisBotOfCurrentWave("ene_Avioneta");
    ASSERT_NE(plane, nullptr);
    ASSERT_NE(plane->GetWeapon(), nullptr);
    CCharacterEntity* entity = plane->GetEntity();
    const D3DXMATRIX hand = entity->GetBoneMatrix("EBip01 pipa") * entity->GetTransform().GetMatrix();
    const CLocation& gun = plane->GetWeapon()->GetModel().GetTransform();
    auto drawnWith = [&](float x, float y, float z) {
        plane->weaponAngles[0] = x;
        plane->weaponAngles[1] = y;
        plane->weaponAngles[2] = z;
        getSceneManager().RenderCharacters();
        return gun.GetMatrix();
    };
    auto same = [](const D3DXMATRIX& a, const D3DXMATRIX& b) {
        for (int i = 0; i < 16; ++i)
            if (std::fabs(a[i] - b[i]) > 1e-3f * (1.0f + std::fabs(b[i])))
                return false;
        return true;
    };
    // The first angle is counted from the back: -180 leaves the gun as the
    // hand holds it, 0 turns it round about x.
    EXPECT_TRUE(same(drawnWith(-180.0f, 0.0f, 0.0f), hand));
    D3DXMATRIX half;
    D3DXMatrixRotationX(&half, D3DX_PI);
    EXPECT_TRUE(same(drawnWith(0.0f, 0.0f, 0.0f), half * hand));
    D3DXMATRIX y, z;
    D3DXMatrixRotationY(&y, 30.0f * 0.017453292f);
    D3DXMatrixRotationZ(&z, -45.0f * 0.017453292f);
    EXPECT_TRUE(same(drawnWith(-180.0f, 30.0f, -45.0f), y * z * hand));
    plane->weaponAngles[0] = -180.0f;
    plane->weaponAngles[1] = plane->weaponAngles[2] = 0.0f;
}

TEST_F(StoryLinks, PropsWaitForTheFirstComicToGo)
{
    Enter("hangares");
    getRigid()->scriptedSequenceRunning = false;
    for (int i = 0; i < 2; ++i) {
        GetGameCalls().UpdateFrame(kLinksFrame);
        getRigid()->scriptedSequenceRunning = false;
    }
    // The props the camera sees now, each drawn once in the scene pass.
    int seen = 0;
    for (auto& entry : getCollisionManager().GetCurrentProps())
        if (IEntidad3D* entity = entry.second.entity.get())
            seen += getEffectManager().IsEntityVisible(entity, false);
    ASSERT_GT(seen, 0) << "props in view at the start";
    // The scene pass alone, nothing named and no characters: what it draws
    // of its own are the props and the pickups.
    CGameStateFlagsManager& story = getGSF();
    const int sequence = story.sequence;
    CSceneMngr& scene = getSceneManager();
    auto drawn = [&] {
        scene.SetVisible("Character", false);
        scene.drawnCount = 0;
        scene.RenderScenePass(SceneTarget, true);
        return scene.drawnCount;
    };
    const int withProps = drawn();
    story.sequence = CGameStateFlagsManager::ReadyVinyetasIntro1;
    const int waiting = drawn();
    story.sequence = sequence;
    EXPECT_EQ(withProps - waiting, seen)
        << withProps << " " << waiting << " " << seen;
}

} // namespace

namespace {

// A shot from the yard that misses its man and slips past the closed door's
// edge stops at the hangar's side: the far wall blows only when shot through
// the opened door.
TEST_F(StoryLinks, AStrayShotFromTheYardDoesNotBlowTheHangarWall)
{
    Enter("hangares");
    Hero()->SetCurrentWeapon(Hero()->GetGun());
    const D3DXVECTOR3 yard(-961.0f, 62.0f, -674.0f);
    const D3DXVECTOR3 aim(42.0f, 3.0f, 90.0f);
    for (int shot = 0; shot < 4; ++shot)
        FireAt(yard, yard + aim);
    EXPECT_FALSE(getCollisionManager().hangarExploded);
    EXPECT_NE(getGSF().sequence, CGameStateFlagsManager::PlayingCamHangar);
    // Through the door's place, the wall still takes the shots.
    getCollisionManager().RemoveStaticBody("col_0118");
    BlowTheHangar();
    EXPECT_TRUE(getCollisionManager().hangarExploded);
    getTriggerManager().checkpoint = 1;
    RestartLevel(false);
}

} // namespace
