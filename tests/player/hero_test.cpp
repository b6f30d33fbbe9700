// The hero: hits, checkpoints, turning, root motion and the controller
// selector, on the shipped model in a small physics level of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

#include "gui/Achievements.h"
#include "app/LevelRestart.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "scene/SceneManager.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"
#include "world/physics_fixture.h"
#include "player/hero_fixture.h"

namespace {

TEST_F(Hero, CheckpointsKeepAmmunitionWithFloorsAndNeverTakeAWeapon)
{
    {
        // A hero of his own, for whom nothing was ever stored (the game's one
        // keeps what earlier tests stored).
        CPlayer fresh;
        fresh.CreateWeapons();
        fresh.SetHasShotgun(true);
        fresh.RestoreCheckpoint();
        EXPECT_EQ(fresh.GetGun()->GetCurrentClip(), 6);
        EXPECT_EQ(fresh.GetGun()->GetAmmo(), 26);
        EXPECT_FALSE(fresh.HasThompson());
        EXPECT_TRUE(fresh.HasShotgun()) << "a restore never takes a weapon away";
        EXPECT_EQ(getAchievementStats().checkpointRestores, 1);
    }

    struct Case {
        std::function<IWeapon*(CPlayer*)> weapon;
        std::uint16_t clip, ammo, wantClip, wantAmmo;
    };
    auto gun = [](CPlayer* p) -> IWeapon* { return p->GetGun(); };
    auto thompson = [](CPlayer* p) -> IWeapon* { return p->GetThompson(); };
    auto shotgun = [](CPlayer* p) -> IWeapon* { return p->GetShotgun(); };
    const Case cases[] = {
        {gun, 3, 19, 6, 26},      {gun, 3, 20, 3, 20},        {thompson, 10, 59, 60, 60},
        {thompson, 10, 60, 10, 60}, {shotgun, 2, 7, 8, 8},    {shotgun, 2, 8, 2, 8},
    };
    for (const Case& c : cases) {
        hero->CreateWeapons();
        hero->SetHasThompson(true);
        hero->SetHasShotgun(true);
        c.weapon(hero)->SetClipAndAmmo(c.clip, c.ammo);
        hero->storeForCHECKPOINT();
        hero->CreateWeapons();
        hero->RestoreCheckpoint();
        EXPECT_TRUE(hero->HasThompson());
        EXPECT_TRUE(hero->HasShotgun());
        EXPECT_EQ(c.weapon(hero)->GetCurrentClip(), c.wantClip) << c.weapon(hero)->GetName() << " " << c.ammo;
        EXPECT_EQ(c.weapon(hero)->GetAmmo(), c.wantAmmo) << c.weapon(hero)->GetName() << " " << c.ammo;
    }

    // A weapon lost since keeps what was stored while it was owned.
    hero->CreateWeapons();
    hero->SetHasThompson(true);
    hero->GetThompson()->SetClipAndAmmo(25, 100);
    hero->storeForCHECKPOINT();
    hero->SetHasThompson(false);
    hero->GetThompson()->SetClipAndAmmo(1, 200);
    hero->storeForCHECKPOINT();
    hero->CreateWeapons();
    hero->RestoreCheckpoint();
    EXPECT_TRUE(hero->HasThompson());
    EXPECT_EQ(hero->GetThompson()->GetCurrentClip(), 25);
    EXPECT_EQ(hero->GetThompson()->GetAmmo(), 100);

    // The third checkpoint is not counted as a retry.
    const std::uint16_t before = getAchievementStats().checkpointRestores;
    getTriggerManager().checkpoint = 3;
    hero->RestoreCheckpoint();
    EXPECT_EQ(getAchievementStats().checkpointRestores, before);
    getTriggerManager().checkpoint = 2;
    hero->RestoreCheckpoint();
    EXPECT_EQ(getAchievementStats().checkpointRestores, before + 1);
}

TEST_F(Hero, HitsHurtCountAndScreamByWhereTheyCameFrom)
{
    struct Case {
        const char* what;
        bool freeCamera, fighting, melee;
        std::uint16_t damage;
        short life;
        const char* scream; // "" for none
        bool aimsOverlay;
    };
    const Case cases[] = {
        {"camera flight", true, false, false, 40, 350, "", false},
        {"camera flight, melee", true, false, true, 40, 350, "", false},
        {"camera flight while fighting", true, true, false, 40, 310, "", true},
        {"bullet while fighting", false, true, false, 40, 310, "", true},
        {"melee", false, false, true, 40, 310, "zorvath_impacto.wav", false},
        {"bullet", false, false, false, 40, 310, "zorvath_impacto2.wav", true},
        {"more than the life", false, false, false, 60000, 0, "zorvath_impacto2.wav", true},
    };
    CCamera& camera = getCamera();
    for (const Case& c : cases) {
        SetUp();
        camera.SetPosition(D3DXVECTOR3(0, 50, 0));
        camera.SetLookAt(D3DXVECTOR3(100, 50, 0));
        camera.SetFreeCamera(c.freeCamera);
        if (c.fighting)
            selector->SwitchToFighting(nullptr, 49);
        hero->hitYaw = -1.0f;
        hero->hitDistance = -1.0f;
        hero->TakeHit(c.damage, c.melee, 0, 50, 300);
        EXPECT_EQ(hero->getLife(), c.life) << c.what;
        EXPECT_EQ(getAchievementStats().damageTaken, c.life == 350 ? 0 : c.damage) << c.what;
        const std::vector<std::string>& heard = platform::audio::StartedFiles();
        const bool screamed = std::any_of(heard.begin(), heard.end(), [](const std::string& file) {
            return file.find("zorvath_impacto") != std::string::npos;
        });
        EXPECT_EQ(screamed, *c.scream != 0) << c.what;
        if (*c.scream)
            EXPECT_NE(std::find_if(heard.begin(), heard.end(),
                                   [&](const std::string& file) {
                                       return file.size() >= std::strlen(c.scream) &&
                                              file.compare(file.size() - std::strlen(c.scream), std::string::npos,
                                                           c.scream) == 0;
                                   }),
                      heard.end())
                << c.what;
        EXPECT_FLOAT_EQ(hero->hitYaw, c.aimsOverlay ? kHalfPi : -1.0f) << c.what;
        EXPECT_FLOAT_EQ(hero->hitDistance, c.aimsOverlay ? 300.0f : -1.0f) << c.what;
    }
    camera.SetFreeCamera(false);

    hero->SetLife(10);
    hero->reduceLife(40000);
    EXPECT_EQ(hero->getLife(), 0) << "a loss beyond 16 bits must not wrap into a heal";
    hero->AddLife(500);
    EXPECT_EQ(hero->getLife(), 350);
}

// A restart, the level switch, a cut-scene and the dockers' flight all take
// the hero over the same way: no held trigger, no ready shot, free again.
TEST_F(Hero, EveryHandOverClearsTheHeldFlagsAndFreesTheHero)
{
    const std::pair<const char*, std::function<void()>> handOvers[] = {
        {"restart", [] { getGameLevelWorld().ReleaseHero(); }},
        {"cut-scene", [] { getGameRigidAnimWorld().ReleaseHeroToFree(); }},
    };
    for (const auto& [name, handOver] : handOvers) {
        selector->SwitchToAiming();
        CAimingController* aiming = selector->GetAimingController();
        aiming->OnActionPressed(ACTION_FIRE);
        ASSERT_TRUE(aiming->IsFireHeld()) << name;
        handOver();
        EXPECT_TRUE(selector->IsFree()) << name;
        EXPECT_FALSE(aiming->IsFireHeld()) << name;
        EXPECT_FALSE(aiming->IsReadyToShoot()) << name;
    }
    // The free controller's own: a roll under way is let go.
    CPlayerFreeController* free = selector->GetFreeController();
    free->OnActionPressed(ACTION_USE);
    ASSERT_TRUE(free->IsRolling());
    hero->GetController()->ClearActionFlags();
    EXPECT_FALSE(free->IsRolling());
}

TEST_F(Hero, TurningStepsTowardAPointEitherWay)
{
    struct Case {
        float angle, yawAfter;
        bool faces;
    };
    const Case cases[] = {
        {1.0f, 0.25f, false}, {-1.0f, -0.25f, false}, {0.5f, 0.09f, true},
        {-0.5f, -0.09f, true}, {0.05f, 0.0f, true},   {-0.05f, 0.0f, true},
    };
    for (const Case& c : cases) {
        CLocation& placement = hero->GetPosition();
        placement.SetPosition(D3DXVECTOR3(10, 0, 10));
        placement.SetYaw(0.0f);
        const bool faces = hero->TurnTowards(10 + 100 * std::sin(c.angle), 0, 10 + 100 * std::cos(c.angle));
        EXPECT_EQ(faces, c.faces) << c.angle;
        EXPECT_NEAR(placement.GetYaw(), c.yawAfter, 1e-5f) << c.angle;
    }
    // His placement is his body's: what turns him turns what is drawn.
    EXPECT_EQ(&hero->GetPosition(), &hero->GetEntity()->GetTransform());
}

TEST(HeroRootMotion, TravelTurnsWithTheBody)
{
    const float travel[3] = {10.0f, 7.0f, 20.0f};
    const D3DXVECTOR3 facingZ = GroundStep(0.0f, travel);
    EXPECT_NEAR(facingZ.x, -10.0f, 1e-4f);
    EXPECT_NEAR(facingZ.z, 20.0f, 1e-4f);
    EXPECT_EQ(facingZ.y, 0.0f);
    const D3DXVECTOR3 facingX = GroundStep(kHalfPi, travel);
    EXPECT_NEAR(facingX.x, 20.0f, 1e-4f);
    EXPECT_NEAR(facingX.z, 10.0f, 1e-4f);
}

// A flat floor and a wall across +X, 60 to 80 units ahead of the start.
class HeroInLevel : public Hero {
protected:
    static void SetUpTestSuite()
    {
        Hero::SetUpTestSuite();
        static TempFolder folder;
        CCollisionManager& physics = getCollisionManager();
        physics.InitPhysicsWorld();
        const std::string level = "<level><player pos=\"0 10 0\"/>" +
                                  CollisionXml("col_suelo", 4000, 10, 4000, 0, -5, 0) +
                                  CollisionXml("col_muro", 20, 300, 400, 70, 150, 0) + "</level>";
        ASSERT_TRUE(physics.ReadFile(folder.Write("level.xml", level)));
        physics.LoadNewScenario("isla");
    }
    // The floor, the wall and the hero's bone boxes are not left for other
    // tests' shots to hit.
    static void TearDownTestSuite()
    {
        getCollisionManager().ReleasePhysicsWorld();
        Hero::TearDownTestSuite();
    }

    void SetUp() override
    {
        Hero::SetUp();
        getCollisionManager().setNewPlayerPosition(D3DXVECTOR3(0, 11, 0));
        Frames(5);
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            getCollisionManager().Update(kStep);
            hero->Update(kStep);
        }
    }
    D3DXVECTOR3 Feet() { return hero->GetPosition().GetPosition(); }
    void Face(float yaw) { hero->GetPosition().SetYaw(yaw); }
    void Roll() { ASSERT_GT(hero->GetEntity()->ExecuteAction("Roll", 0.0f, 0.0f, 1.0f, false), 0.0f); }
};

TEST_F(HeroInLevel, StandsOnTheFloorWithHisBonesAroundHim)
{
    EXPECT_NEAR(Feet().y, 0.0f, 1.0f);
    const auto& parts = getCollisionManager().GetPlayerBody().parts;
    auto centre = [&](const char* bone) {
        const btVector3 c = parts.at(bone).ghost->getWorldTransform().getOrigin();
        return D3DXVECTOR3(c.x(), c.y(), c.z());
    };
    ASSERT_EQ(parts.count("Bip01 Head"), 1u);
    ASSERT_EQ(parts.count("Bip01 L Foot"), 1u);
    const D3DXVECTOR3 head = centre("Bip01 Head"), foot = centre("Bip01 L Foot");
    EXPECT_GT(head.y, foot.y + 40.0f);
    EXPECT_LT(foot.y, 30.0f);
    EXPECT_LT(std::fabs(head.x) + std::fabs(head.z), 30.0f);

    // The boxes follow him when he is moved.
    getCollisionManager().setNewPlayerPosition(D3DXVECTOR3(-200, 11, 0));
    Frames(2);
    EXPECT_NEAR(centre("Bip01 Head").x, head.x - 200.0f, 2.0f);
}

TEST_F(HeroInLevel, EnteringCoverWalksTheBodyAndVaultingGoesThroughWalls)
{
    // A low parapet he may vault, its front toward +x (toward the wall).
    const TestParapet vault{"p_b_s_A_B_001", {0, 0, -100}, {0, 0, 100}};
    // Entering cover: the walk to a point beyond the wall goes through the
    // physics, which stops him at the wall; the enter time ends the walk.
    LoadCoverRoom({vault});
    Face(kHalfPi);
    selector->SwitchToParapeted(0, 150, 0, 0);
    ASSERT_EQ(hero->GetController()->GetStateCode(), 38);
    Frames(45);
    EXPECT_EQ(hero->GetController()->GetStateCode(), 62);
    EXPECT_GT(Feet().x, 30.0f) << "the walk moved him";
    EXPECT_LT(Feet().x, 60.0f) << "the wall stopped him";
    EXPECT_NEAR(Feet().z, 0.0f, 1.0f);

    // Vaulting: straight onto the position, into the wall.
    SetUp();
    LoadCoverRoom({vault});
    selector->SwitchToParapeted(0, 0, 0, 0);
    selector->GetCurrent()->OnActionPressed(ACTION_USE);
    ASSERT_EQ(hero->GetController()->GetStateCode(), 37);
    Frames(36);
    EXPECT_GT(Feet().x, 55.0f) << "the 60-unit jump, into the wall";
    EXPECT_NEAR(Feet().z, 0.0f, 1.0f);
    LoadCoverRoom({});

    // Standing: the animation moves nothing.
    SetUp();
    Face(kHalfPi);
    Roll();
    Frames(45);
    EXPECT_NEAR(Feet().x, 0.0f, 0.5f);
}

TEST_F(HeroInLevel, TravelOutsideTheMovingPosesIsDroppedNotSaved)
{
    Face(-kHalfPi);
    Roll();
    Frames(15);
    const float before = Feet().x;
    EXPECT_NEAR(before, 0.0f, 0.5f);
    // Cover where he stands: he is there at once, and taking cover cuts the
    // roll short.
    selector->SwitchToParapeted(0, Feet().x, Feet().y, Feet().z);
    Frames(2);
    EXPECT_EQ(hero->GetController()->GetStateCode(), 62);
    // Not the half of the 100-unit roll already played.
    EXPECT_LT(std::fabs(before - Feet().x), 10.0f);
}

TEST_F(Hero, EverySwitchSetsTheControllerAndTheStateTogether)
{
    struct Case {
        const char* state;
        std::function<void()> go;
        std::function<IController*()> controller;
        int code;
    };
    const Case cases[] = {
        {"AIMING", [&] { selector->SwitchToAiming(); }, [&] { return selector->GetAimingController(); }, 52},
        {"PARAPETED", [&] { selector->SwitchToParapeted(0, 1, 2, 3); },
         [&] { return selector->GetParapetedController(); }, 38},
        {"FIGHTING", [&] { selector->SwitchToFighting(nullptr, 50); },
         [&] { return selector->GetFightingController(); }, 43},
        {"FREE", [&] { selector->SwitchToFree(false, false); }, [&] { return selector->GetFreeController(); }, 30},
        {"FREE", [&] { selector->SwitchToFree(false, true); }, [&] { return selector->GetFreeController(); }, 31},
    };
    for (const Case& c : cases) {
        c.go();
        EXPECT_EQ(selector->GetStateName(), c.state);
        EXPECT_EQ(selector->GetCurrent(), c.controller()) << c.state;
        EXPECT_EQ(hero->GetController()->GetStateCode(), c.code) << c.state;
    }
    EXPECT_EQ(selector->GetFightingController()->GetKind(), 50);

    // The cover fight: the parapet is let go first.
    selector->SwitchToParapeted(0, 1, 2, 3);
    EXPECT_FALSE(getScenario()->GetParapets()[0]->free);
    selector->SwitchToFighting(nullptr, 102);
    EXPECT_TRUE(selector->IsFighting());
    EXPECT_TRUE(getScenario()->GetParapets()[0]->free);
    // A parapet the room does not have is no cover: the fight goes on.
    selector->SwitchToParapeted(1, 1, 2, 3);
    EXPECT_TRUE(selector->IsFighting());

    // Leaving cover outside cover changes nothing.
    selector->SwitchToAiming();
    selector->LeaveParapet();
    EXPECT_EQ(selector->GetStateName(), "AIMING");
    EXPECT_EQ(selector->GetCurrent(), selector->GetAimingController());
    selector->SwitchToParapeted(0, 0, 0, 0);
    selector->LeaveParapet();
    EXPECT_TRUE(selector->IsFree());
    EXPECT_EQ(hero->GetController()->GetStateCode(), 30);
}

TEST_F(Hero, ADeadHeroStaysDeadWhateverHandsHimBack)
{
    selector->GetFreeController()->ToDead();
    EXPECT_TRUE(selector->IsPlayerDead());
    selector->SwitchToFree(false, false);
    EXPECT_EQ(hero->GetController()->GetStateCode(), 49);
    EXPECT_TRUE(selector->IsPlayerDead());
    // Out of aim the free controller is told how the aim stood, not itself.
    selector->SwitchToAiming();
    EXPECT_FALSE(selector->IsPlayerDead());
    selector->SwitchToFree(false, false);
    EXPECT_EQ(hero->GetController()->GetStateCode(), 30);
}

TEST_F(Hero, ReleasedHeIsAHeroStillLoadingDeadNoLongerAndInitBuildsHimAgain)
{
    selector->GetFreeController()->ToDead();
    // Drawn among the characters, his body leaves the scene as it is freed.
    getSceneManager().SetCharacterList({});
    ASSERT_EQ(getSceneManager().GetObjects("Character").size(), 1u);
    hero->Release();
    EXPECT_TRUE(getSceneManager().GetObjects("Character").empty());
    EXPECT_EQ(hero->GetControllerSelector(), nullptr);
    EXPECT_EQ(hero->GetController(), nullptr);
    EXPECT_EQ(hero->GetEntity(), nullptr);
    EXPECT_EQ(hero->GetCurrentWeapon(), nullptr);
    EXPECT_EQ(hero->GetGun(), nullptr);
    hero->Release(); // twice: nothing left to free a second time
    hero->Init();
    ASSERT_NE(hero->GetControllerSelector(), nullptr);
    EXPECT_FALSE(hero->GetControllerSelector()->IsPlayerDead());
    EXPECT_NE(hero->GetEntity(), nullptr);
    EXPECT_EQ(hero->GetCurrentWeapon(), hero->GetGun());
    // So does the body a new start replaces.
    getSceneManager().SetCharacterList({});
    ASSERT_EQ(getSceneManager().GetObjects("Character").size(), 1u);
    hero->Init();
    EXPECT_TRUE(getSceneManager().GetObjects("Character").empty());
}

TEST_F(Hero, HitsGoToTheControllerOfTheStateAndLandInItsUpdate)
{
    struct Case {
        const char* state;
        std::function<void()> go;
        bool lands;
    };
    const Case cases[] = {
        {"FREE", [&] { selector->SwitchToFree(false, false); }, true},
        {"AIMING", [&] { selector->SwitchToAiming(); }, true},
        {"PARAPETED", [&] { selector->SwitchToParapeted(0, 0, 0, 0); }, true},
        {"FIGHTING", [&] { selector->SwitchToFighting(nullptr, 49); }, false},
    };
    for (const Case& c : cases) {
        SetUp();
        c.go();
        selector->SetTimeSinceHit(3.0f);
        selector->ForwardHit(true, 25, 0, 0, 500);
        const bool pending[] = {selector->GetFreeController()->IsHitPending(),
                                selector->GetAimingController()->IsHitPending(),
                                selector->GetParapetedController() &&
                                    selector->GetParapetedController()->IsHitPending(),
                                selector->GetFightingController()->IsHitPending()};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(pending[i], &c == &cases[i]) << c.state << " controller " << i;
        EXPECT_EQ(hero->getLife(), 350) << "the hit waits for the controller's update";
        hero->GetController()->Update(kStep);
        EXPECT_EQ(hero->getLife(), c.lands ? 325 : 350) << c.state;
        EXPECT_EQ(hero->GetController()->WasHit(), c.lands) << c.state;
        EXPECT_FLOAT_EQ(selector->GetTimeSinceHit(), c.lands ? 0.0f : 3.0f) << c.state;
        hero->GetController()->Update(kStep);
        EXPECT_FALSE(hero->GetController()->WasHit()) << c.state;
        EXPECT_EQ(hero->getLife(), c.lands ? 325 : 350) << "taken once: " << c.state;
    }
}

TEST_F(Hero, CoverQueriesReadThePoseAndItsFlags)
{
    // A low parapet, and a high one 60 long whose pt_ini end is at x 30.
    auto in = [&](std::uint16_t index, float x, float z) {
        SetUp();
        LoadCoverRoom({{"p_b_s_A_B_001", {100, 0, 50}, {-100, 0, 50}}, {"p_a_n_A_B_002", {30, 0, 250}, {-30, 0, 250}}});
        hero->GetPosition().SetPosition(D3DXVECTOR3(x, 0, z));
        selector->SwitchToParapeted(index, x, 0, z);
        return selector->GetParapetedController();
    };
    struct Pose {
        int code;
        bool readyToShoot, peeking, coverPose, jumping;
    };
    auto expect = [&](const char* what, const Pose& p) {
        EXPECT_EQ(hero->GetController()->GetStateCode(), p.code) << what;
        EXPECT_EQ(selector->IsReadyToShoot(), p.readyToShoot) << what;
        EXPECT_EQ(selector->IsPeeking(), p.peeking) << what;
        EXPECT_EQ(selector->IsInCoverPose(), p.coverPose) << what;
        EXPECT_EQ(selector->IsJumpingParapet(), p.jumping) << what;
    };
    CParapetedController* cover = in(0, 0, 50);
    expect("low, entering", {38, false, false, true, false});
    Run(35);
    expect("low, idle", {62, false, false, true, false});
    cover->OnActionPressed(ACTION_LEFT);
    expect("low, moving", {34, false, false, true, false});
    cover->OnActionReleased(ACTION_LEFT);
    cover->OnActionPressed(ACTION_AIM);
    expect("low, peeking", {48, false, false, false, false});
    Run(13);
    cover->OnActionPressed(ACTION_FIRE);
    Run(1);
    expect("low, firing", {48, true, false, false, false});
    cover->OnActionReleased(ACTION_AIM);
    Run(13);
    hero->GetGun()->SetClipAndAmmo(1, 10);
    cover->OnActionPressed(ACTION_RELOAD);
    expect("low, reloading", {63, false, false, true, false});
    Run(49);
    cover->OnActionPressed(ACTION_USE);
    expect("low, vaulting", {37, false, false, false, true});

    cover = in(1, 15, 250);
    Run(35);
    expect("high, idle", {62, false, false, false, false});
    cover->OnActionPressed(ACTION_AIM);
    expect("high, round its pt_ini end", {48, false, true, false, false});
    cover = in(1, -15, 250);
    Run(35);
    cover->OnActionPressed(ACTION_AIM);
    expect("high, round its pt_fin end", {48, false, false, false, false});
    cover->OnActionReleased(ACTION_AIM);
    Run(31);
    cover->OnActionPressed(ACTION_BACK);
    expect("leaving", {39, false, false, false, false});

    // The same pose read from outside cover answers nothing.
    cover = in(1, 15, 250);
    Run(35);
    cover->OnActionPressed(ACTION_AIM);
    selector->SwitchToAiming();
    EXPECT_FALSE(selector->IsPeeking());
    EXPECT_FALSE(selector->IsReadyToShoot());
    cover = in(0, 0, 50);
    selector->SwitchToAiming();
    EXPECT_FALSE(selector->IsInCoverPose());
    in(0, 0, 50);
    Run(35);
    selector->GetCurrent()->OnActionPressed(ACTION_USE);
    selector->SwitchToAiming();
    EXPECT_FALSE(selector->IsJumpingParapet());

    hero->GetPosition().SetPosition(D3DXVECTOR3(0, 0, 0));
    hero->GetPosition().SetYaw(0.0f);
    selector->FacePoint(-50, 0, 0);
    EXPECT_NEAR(hero->GetPosition().GetYaw(), -kHalfPi, 1e-5f);
}

} // namespace
