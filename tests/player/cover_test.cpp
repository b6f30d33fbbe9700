// The hero in cover: taking it, sliding along and on, peeking and firing,
// reloading, changing weapon, vaulting, leaving, and what he gives back.
#include <gtest/gtest.h>

#include <cal3d/cal3d.h>

#include <algorithm>
#include <cmath>

#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "player/ParapetedController.h"
#include "player/Weapon.h"
#include "player/hero_fixture.h"
#include "scene/CharacterEntity.h"
#include "world/Parapet.h"

ICameraWorld& getGameCameraWorld();

namespace {

// A low parapet whose cover faces +z (its run from pt_ini goes toward -x).
const TestParapet kLow{"p_b_n_A_B_001", {100, 0, 50}, {-100, 0, 50}};

class Cover : public Hero {
protected:
    void SetUp() override
    {
        Hero::SetUp();
        hero->SetHasThompson(false);
        hero->SetHasShotgun(false);
        hero->SetCurrentWeapon(hero->GetGun());
        getRigid()->crateBroken2 = getRigid()->crateBroken3 = false;
        getAchievementStats().coverJumps = 0;
    }

    // Takes cover at the parapet with the hero standing on the point.
    CParapetedController* Take(std::uint16_t index, const D3DXVECTOR3& point)
    {
        hero->GetPosition().SetPosition(point);
        selector->SwitchToParapeted(index, point.x, point.y, point.z);
        return selector->GetParapetedController();
    }
    // The same, then in the cover idle once the entry has played out.
    CParapetedController* Settle(std::uint16_t index, const D3DXVECTOR3& point)
    {
        CParapetedController* cover = Take(index, point);
        Run(35);
        EXPECT_EQ(cover->GetStateCode(), 62);
        EXPECT_EQ(hero->GetEntity()->GetActionCount(), 0);
        return cover;
    }
    void Press(int code) { hero->GetController()->OnActionPressed(code); }
    void Release(int code) { hero->GetController()->OnActionReleased(code); }
    void MoveTo(float x, float z) { hero->GetPosition().SetPosition(D3DXVECTOR3(x, 0, z)); }

    bool Runs(const std::string& animation, bool cycle) const
    {
        CCharacterEntity* body = hero->GetEntity();
        const auto& ids = body->GetCoreModelInfo()->animations;
        const auto id = ids.find(animation);
        if (id == ids.end())
            return false;
        CalCoreAnimation* wanted = body->GetCalModel()->getCoreModel()->getCoreAnimation(id->second);
        CalMixer* mixer = body->GetCalModel()->getMixer();
        if (cycle) {
            for (CalAnimationCycle* c : mixer->getAnimationCycle())
                if (c->getCoreAnimation() == wanted)
                    return true;
            return false;
        }
        for (CalAnimationAction* a : mixer->getAnimationActionList())
            if (a->getCoreAnimation() == wanted)
                return true;
        return false;
    }
    bool CycleRuns(const std::string& animation) const { return Runs(animation, true); }
    bool ActionRuns(const std::string& animation) const { return Runs(animation, false); }

    // Whatever has happened, the one parapet not free is the one held, and
    // only while he is in cover.
    void ExpectOnlyTheHeldParapetTaken(const char* when)
    {
        int taken = 0;
        const TParapet* held = nullptr;
        for (TParapet* p : getScenario()->GetParapets())
            if (!p->free) {
                ++taken;
                held = p;
            }
        CParapetedController* cover = selector->GetParapetedController();
        if (selector->IsParapeted() && cover->GetStateCode() != 39) {
            EXPECT_EQ(taken, 1) << when;
            EXPECT_EQ(held, selector->GetParapetedController()->GetCurrentParapet()) << when;
        } else {
            EXPECT_EQ(taken, 0) << when;
        }
    }
};

TEST_F(Cover, HeArrivesWithinThirteenOrWhenTheEnterTimeIsUpAndCrouchesFacingOut)
{
    struct Case {
        const char* what;
        TestParapet parapet;
        float away;         // from the cover point, along x
        int updatesIn38;    // of 0.35 s
        const char* idle;
    };
    const Case cases[] = {
        {"just inside 13", kLow, 12.9f, 0, "pBajo_ostrel_idle"},
        {"at 13", kLow, 13.0f, 3, "pBajo_ostrel_idle"},
        {"held back", kLow, 300.0f, 3, "pBajo_ostrel_idle"},
        {"behind a wall", {"p_a_n_A_B_001", {100, 0, 50}, {-100, 0, 50}}, 2.0f, 0, "palto_ostrel_idle"},
    };
    for (const Case& c : cases) {
        SetUp();
        LoadCoverRoom({c.parapet});
        // A roll still running is cut short by the entry.
        ASSERT_GT(hero->GetEntity()->ExecuteAction("Roll", 0.1f, 0.1f, 1.0f, false), 0.0f);
        hero->GetPosition().SetYaw(2.0f);
        CParapetedController* cover = Take(0, D3DXVECTOR3(0, 0, 50));
        MoveTo(c.away, 50);
        EXPECT_FALSE(ActionRuns("Roll")) << c.what;
        EXPECT_TRUE(ActionRuns(c.parapet.name[2] == 'a' ? "palto_ostrel_enter" : "pBajo_ostrel_enter")) << c.what;
        EXPECT_EQ(cover->GetStateCode(), 38);
        int updates = 0;
        while (cover->GetStateCode() == 38 && updates < 10) {
            hero->Update(0.35f);
            ++updates;
        }
        // The enter time of 1.2 s is gone in the fourth update of 0.35 s.
        EXPECT_EQ(updates - 1, c.updatesIn38) << c.what;
        EXPECT_EQ(cover->GetStateCode(), 62) << c.what;
        // The level reader pulls pt_ini back 0.1 off a run along an axis.
        EXPECT_NEAR(cover->GetCoverYaw(), 0.0f, 1e-3f) << c.what;
        EXPECT_FLOAT_EQ(hero->GetPosition().GetYaw(), cover->GetCoverYaw()) << c.what << ": his back to the parapet";
        Run(3);
        EXPECT_TRUE(CycleRuns(c.idle)) << c.what;
        EXPECT_EQ(selector->IsInCoverPose(), c.parapet.name[2] == 'b') << c.what;
        ExpectOnlyTheHeldParapetTaken(c.what);
    }
}

TEST_F(Cover, AParapetTheRoomDoesNotHaveIsRefusedAndHeStaysFree)
{
    LoadCoverRoom({kLow});
    selector->SwitchToParapeted(1, 0, 0, 50);
    EXPECT_TRUE(selector->IsFree());
    EXPECT_EQ(selector->GetParapetedController(), nullptr);
    EXPECT_EQ(hero->GetController()->GetStateCode(), 30);
    ExpectOnlyTheHeldParapetTaken("refused");
}

TEST_F(Cover, AHighWallLetsHimPeekOnlyRoundItsEndsWithThatSidesPoses)
{
    // 60 long: its middle is 30 from either end.
    const TestParapet wall{"p_a_n_A_B_001", {30, 0, 50}, {-30, 0, 50}};
    struct Case {
        float x;
        bool peeks;
        const char* out;
        const char* aim;
        const char* back;
        bool peekingHigh;
    };
    const Case cases[] = {
        {0.0f, false, "", "", "", false},
        {15.0f, true, "palto_ostrel_asomaridaR", "aimingPorIzq_ostrel", "palto_ostrel_asomarvueltaR", true},
        {-15.0f, true, "palto_ostrel_asomaridaL", "aiming_idle", "palto_ostrel_asomarvueltaL", false},
    };
    for (const Case& c : cases) {
        SetUp();
        LoadCoverRoom({wall});
        CParapetedController* cover = Settle(0, D3DXVECTOR3(c.x, 0, 50));
        Press(ACTION_AIM);
        EXPECT_EQ(cover->GetStateCode(), c.peeks ? 48 : 62) << c.x;
        EXPECT_EQ(cover->IsAiming(), c.peeks) << c.x;
        if (!c.peeks)
            continue;
        EXPECT_TRUE(ActionRuns(c.out)) << c.x;
        EXPECT_TRUE(CycleRuns(c.aim)) << c.x;
        EXPECT_EQ(selector->IsPeeking(), c.peekingHigh) << c.x;
        EXPECT_FALSE(selector->IsInCoverPose()) << c.x;
        // Back in after the peek's own wait.
        Run(13);
        Release(ACTION_AIM);
        EXPECT_TRUE(ActionRuns(c.back)) << c.x;
        EXPECT_TRUE(selector->IsParapeted());
        Run(11);
        EXPECT_EQ(cover->GetStateCode(), 48) << "0.4 s to get back in";
        Run(2);
        EXPECT_EQ(cover->GetStateCode(), 62) << c.x;
        ExpectOnlyTheHeldParapetTaken("peeked");
    }

    // Behind a low parapet he peeks anywhere, over the top, and fires.
    SetUp();
    LoadCoverRoom({kLow});
    CParapetedController* cover = Settle(0, D3DXVECTOR3(0, 0, 50));
    Press(ACTION_AIM);
    EXPECT_TRUE(ActionRuns("pBajo_ostrel_showida"));
    EXPECT_TRUE(CycleRuns("aiming_idle"));
    EXPECT_FALSE(selector->IsPeeking()) << "only the left of a high wall counts";
    Press(ACTION_FIRE);
    EXPECT_FALSE(cover->IsFireHeld()) << "the trigger waits for the peek";
    Run(13);
    Press(ACTION_FIRE);
    Run(1);
    EXPECT_EQ(hero->GetGun()->GetCurrentClip(), 5);
    EXPECT_TRUE(ActionRuns("shoot_aiming"));
    EXPECT_TRUE(selector->IsReadyToShoot());
    EXPECT_TRUE(getGameCameraWorld().ReadHero().controllerBusy) << "the camera holds still after a shot";
    Release(ACTION_FIRE);
    Run(1);
    EXPECT_FALSE(selector->IsReadyToShoot()) << "a shot counts for its own frame";
}

// Unhurt for long and at his full life, he ducks back from a peek into his
// cover pose all the same: the cover idle of the wall's height, facing out
// however he had turned to aim, the aim gone. Healing never takes him past
// his full life.
TEST_F(Cover, BackFromAPeekAtFullLifeHeIsInHisCoverPoseAndHealsNoFurther)
{
    const TestParapet wall{"p_a_n_A_B_001", {30, 0, 50}, {-30, 0, 50}};
    const struct {
        TestParapet parapet;
        float x;
        const char* idle;
        bool crouched;
    } cases[] = {{kLow, 0.0f, "pBajo_ostrel_idle", true}, {wall, 15.0f, "palto_ostrel_idle", false}};
    for (const auto& c : cases) {
        SetUp();
        LoadCoverRoom({c.parapet});
        CParapetedController* cover = Settle(0, D3DXVECTOR3(c.x, 0, 50));
        selector->SetTimeSinceHit(10.0f);
        Press(ACTION_AIM);
        Run(13);
        ASSERT_EQ(cover->GetStateCode(), 48) << c.idle;
        hero->GetPosition().SetYaw(WrapAngle(cover->GetCoverYaw() + 0.6f));
        Release(ACTION_AIM);
        Run(14);
        EXPECT_EQ(cover->GetStateCode(), 62) << c.idle;
        EXPECT_TRUE(CycleRuns(c.idle)) << c.idle;
        EXPECT_FALSE(CycleRuns("aiming_idle")) << c.idle;
        EXPECT_FALSE(CycleRuns("aimingPorIzq_ostrel")) << c.idle;
        EXPECT_NEAR(hero->GetPosition().GetYaw(), cover->GetCoverYaw(), 1e-5f) << c.idle;
        EXPECT_EQ(selector->IsInCoverPose(), c.crouched) << c.idle;
        EXPECT_EQ(hero->getLife(), 350) << c.idle;
    }
    CParapetedController* cover = selector->GetParapetedController();
    hero->SetLife(346);
    cover->Update(0.05f);
    EXPECT_EQ(hero->getLife(), 349);
    cover->Update(0.05f);
    EXPECT_EQ(hero->getLife(), 350);
    cover->Update(0.05f);
    EXPECT_EQ(hero->getLife(), 350);
}

TEST_F(Cover, SlidingOffTheEndHandsHimOnToTheNextParapetAndFreesTheOldOne)
{
    // Ends at (0, 50); the candidates for the next one, in list order.
    LoadCoverRoom({
        {"p_b_n_A_B_001", {200, 0, 50}, {0, 0, 50}},
        {"p_a_n_A_B_002", {-30, 0, 50}, {-200, 0, 50}},                 // high
        {"p_b_n_A_B_003", {-30, 0, 50}, {-30 - 170 * 0.825f, 0, 50 - 170 * 0.565f}},  // turned 0.6
        {"p_b_n_A_B_004", {-55, 0, 50}, {-200, 0, 51}},                 // 70 from him
        {"p_b_n_A_B_005", {-25, 0, 60}, {-25 - 200 * 0.9553365f, 0, 60 + 200 * 0.2955202f}},  // turned 0.3, 50 away
    });
    CParapetedController* cover = Settle(0, D3DXVECTOR3(60, 0, 50));
    const float coverYaw = cover->GetCoverYaw();
    Press(ACTION_RIGHT);
    EXPECT_EQ(cover->GetStateCode(), 34);
    EXPECT_TRUE(CycleRuns("pBajo_MoveLeft")) << "the pistol's move toward pt_fin";
    EXPECT_TRUE(getCameraController().rightHeld) << "the camera walks him";
    Run(1);
    EXPECT_EQ(cover->GetCurrentIndex(), 0);
    MoveTo(15, 50);
    Run(1);
    EXPECT_EQ(cover->GetCurrentIndex(), 4);
    EXPECT_EQ(cover->GetStateCode(), 34) << "he slides on";
    EXPECT_TRUE(getScenario()->GetParapets()[0]->free);
    EXPECT_FLOAT_EQ(cover->GetCoverYaw(), coverYaw) << "he keeps the first parapet's heading";
    ExpectOnlyTheHeldParapetTaken("chained");
    const CameraHeroState seen = getGameCameraWorld().ReadHero();
    EXPECT_TRUE(seen.hasParapet);
    EXPECT_FLOAT_EQ(seen.parapetStart.x, -25.0f) << "the camera walks him along the new one";
    EXPECT_NEAR(seen.parapetYaw, 0.3f, 1e-4f);
    EXPECT_NEAR(coverYaw, 0.0f, 1e-3f);

    // At the far end there is nothing more: he stops in the cover idle.
    const D3DXVECTOR3 end = getScenario()->GetParapets()[4]->pt_fin;
    MoveTo(end.x + 10, end.z);
    Run(1);
    EXPECT_EQ(cover->GetStateCode(), 62);
    EXPECT_FALSE(cover->IsMovingToEnd());
    EXPECT_FALSE(getCameraController().rightHeld);
    // Pressed again right there: idle, and the way on is shut...
    Press(ACTION_RIGHT);
    EXPECT_FALSE(cover->MayMoveToEnd());
    Run(1);
    EXPECT_EQ(cover->GetStateCode(), 62);
    Press(ACTION_RIGHT);
    EXPECT_FALSE(cover->IsMovingToEnd()) << "until he goes the other way";
    Press(ACTION_LEFT);
    EXPECT_EQ(cover->GetStateCode(), 34);
    EXPECT_TRUE(cover->MayMoveToEnd());
    EXPECT_TRUE(CycleRuns("pBajo_MoveRight"));
    Release(ACTION_LEFT);
    EXPECT_EQ(cover->GetStateCode(), 62);
    ExpectOnlyTheHeldParapetTaken("stopped");
}

TEST_F(Cover, TheNextWeaponIsToldByClipSize)
{
    struct Case {
        const char* what;
        bool thompson, shotgun;
        int from;  // 0 pistol, 1 shotgun, 2 Thompson
        int to;
        const char* idleBefore;
        const char* idleAfter;
    };
    const Case cases[] = {
        {"Thompson without shotgun", true, false, 2, 0, "pBajo_thompson_idle", "pBajo_ostrel_idle"},
        {"Thompson with shotgun", true, true, 2, 1, "pBajo_thompson_idle", "pBajo_escopeta_idle"},
        {"pistol with Thompson", true, true, 0, 2, "pBajo_ostrel_idle", "pBajo_thompson_idle"},
        {"pistol with shotgun", false, true, 0, 1, "pBajo_ostrel_idle", "pBajo_escopeta_idle"},
        {"shotgun", true, true, 1, 0, "pBajo_escopeta_idle", "pBajo_ostrel_idle"},
        {"pistol alone", false, false, 0, 0, "pBajo_ostrel_idle", "pBajo_ostrel_idle"},
    };
    for (const Case& c : cases) {
        SetUp();
        IWeapon* weapons[] = {hero->GetGun(), hero->GetShotgun(), hero->GetThompson()};
        hero->SetHasThompson(c.thompson);
        hero->SetHasShotgun(c.shotgun);
        hero->SetCurrentWeapon(weapons[c.from]);
        Settle(0, D3DXVECTOR3(0, 0, 50));
        EXPECT_TRUE(CycleRuns(c.idleBefore)) << c.what;
        Press(ACTION_CHANGE_WEAPON);
        EXPECT_EQ(hero->GetCurrentWeapon(), weapons[c.to]) << c.what;
        Run(5);
        EXPECT_TRUE(CycleRuns(c.idleAfter)) << c.what;
        if (c.from != c.to)
            EXPECT_FALSE(CycleRuns(c.idleBefore)) << c.what << ": the old idle is cleared";
    }
    // While peeking the new weapon is raised at once.
    hero->SetHasShotgun(true);
    Press(ACTION_AIM);
    Run(13);
    Press(ACTION_CHANGE_WEAPON);
    EXPECT_EQ(hero->GetCurrentWeapon(), static_cast<IWeapon*>(hero->GetShotgun()));
    EXPECT_TRUE(CycleRuns("aiming_shotgun_idle"));
}

TEST_F(Cover, LeavingTakesSevenTenthsWithThePistolAndSixWithTheLongGuns)
{
    for (int gun = 0; gun < 3; ++gun) {
        SetUp();
        IWeapon* weapons[] = {hero->GetGun(), hero->GetShotgun(), hero->GetThompson()};
        hero->SetCurrentWeapon(weapons[gun]);
        const float wait = gun == 0 ? 0.7f : 0.6f;
        CParapetedController* cover = Settle(0, D3DXVECTOR3(0, 0, 50));
        Press(ACTION_BACK);
        EXPECT_EQ(cover->GetStateCode(), 39);
        EXPECT_TRUE(ActionRuns(CoverAnimation(CoverAnim::Exit, true, false, weapons[gun]->GetName())));
        EXPECT_TRUE(getScenario()->GetParapets()[0]->free) << "given back at once";
        float waited = 0.0f;
        while (selector->IsParapeted() && waited < 2.0f) {
            cover->Update(0.01f);
            waited += 0.01f;
        }
        EXPECT_NEAR(waited, wait, 0.015f) << weapons[gun]->GetName();
        EXPECT_EQ(hero->GetController()->GetStateCode(), 30);
        EXPECT_TRUE(cover->IsLowCover());
        ExpectOnlyTheHeldParapetTaken("left");
    }
}

// Straight out of a peek round a high wall he already stands clear of it:
// leaving then gets him up as from a low parapet; from the wall's own pose
// he gets up as from a high one. Either way he is free after the same wait,
// in the free controller's idle, and holds nothing.
TEST_F(Cover, LeavingAHighWallStraightFromAPeekGetsHimUpAsFromALowOne)
{
    const TestParapet wall{"p_a_n_A_B_001", {30, 0, 50}, {-30, 0, 50}};
    for (bool peeking : {true, false}) {
        SCOPED_TRACE(peeking ? "from a peek" : "from the wall's pose");
        SetUp();
        LoadCoverRoom({wall});
        CParapetedController* cover = Settle(0, D3DXVECTOR3(15, 0, 50));
        if (peeking) {
            Press(ACTION_AIM);
            Run(13);
            ASSERT_EQ(cover->GetStateCode(), 48);
        }
        cover->LeaveCover();
        EXPECT_EQ(cover->GetStateCode(), 39);
        EXPECT_TRUE(ActionRuns(CoverAnimation(CoverAnim::Exit, peeking, true, "GUN")));
        EXPECT_FALSE(ActionRuns(CoverAnimation(CoverAnim::Exit, !peeking, true, "GUN")));
        EXPECT_FALSE(selector->IsPeeking());
        Run(20);
        EXPECT_TRUE(selector->IsParapeted()) << "0.7 s to get up";
        Run(2);
        EXPECT_TRUE(selector->IsFree());
        EXPECT_EQ(hero->GetController()->GetStateCode(), 30);
        ExpectOnlyTheHeldParapetTaken("left");
    }
}

// A cut-scene takes him out of cover by switching him free first and
// letting go of the parapet after: it is free for the others again. One he
// left before, and an enemy took since, stays the enemy's.
TEST_F(Cover, ACutSceneTakingHimOutOfCoverGivesBackOnlyTheParapetHeHeld)
{
    Settle(0, D3DXVECTOR3(0, 0, 50));
    getGameRigidAnimWorld().ReleaseHeroToFree();
    EXPECT_TRUE(selector->IsFree());
    EXPECT_TRUE(getScenario()->GetParapets()[0]->free);

    Settle(0, D3DXVECTOR3(0, 0, 50));
    Press(ACTION_BACK);
    Run(30);
    ASSERT_TRUE(selector->IsFree());
    getScenario()->GetParapets()[0]->free = false;  // an enemy's now
    getGameRigidAnimWorld().ReleaseHeroToFree();
    EXPECT_FALSE(getScenario()->GetParapets()[0]->free);
    getScenario()->GetParapets()[0]->free = true;
}

TEST_F(Cover, WaveOnesBarrierHoldsWhileTheWaveStandsThenWakesItsLogic)
{
    CEnemyManager* enemies = getEnemyManager();
    enemies->LoadEnemyList();
    CTriggerLogic* logic = getTriggerManager().getTriggerLogicByName("OnEnter_trg_031");
    struct Case {
        const char* parapet;
        const char* wave;
        bool kill;
        bool jumps, wakes;
        const char* jump;
    };
    const Case cases[] = {
        {"p_b_s_A_B_501", "wave_01", false, false, false, ""},
        {"p_b_s_A_B_501", "wave_01", true, true, true, "jump_box_ostrel"},
        {"p_b_s_A_P_501", "wave_02", false, true, false, "jump_man_ostrel"},
        {"p_b_s_A_B_015", "wave_01", false, true, false, "jump_box_ostrel"},
        {"p_b_n_A_B_501", "wave_01", true, false, false, ""},
    };
    for (const Case& c : cases) {
        SetUp();
        SCOPED_TRACE(std::string(c.parapet) + " " + c.wave);
        logic->active = false;
        enemies->LoadEnemyList();
        enemies->setNewZone("room01", c.wave);
        if (c.kill)
            enemies->killThisWave(c.wave);
        ASSERT_EQ(enemies->anyBotAlive(), !c.kill) << c.wave;
        LoadCoverRoom({{c.parapet, {100, 0, 50}, {-100, 0, 50}}});
        CParapetedController* cover = Settle(0, D3DXVECTOR3(0, 0, 50));
        platform::audio::ClearStarted();
        Press(ACTION_USE);
        EXPECT_EQ(cover->GetStateCode(), c.jumps ? 37 : c.parapet[4] == 'n' ? 39 : 62);
        EXPECT_EQ(getAchievementStats().coverJumps, c.jumps ? 1 : 0);
        EXPECT_EQ(logic->active, c.wakes);
        if (!c.jumps)
            continue;
        EXPECT_TRUE(selector->IsJumpingParapet());
        EXPECT_TRUE(ActionRuns(c.jump));
        const auto& heard = platform::audio::StartedFiles();
        EXPECT_TRUE(std::any_of(heard.begin(), heard.end(),
                                [](const std::string& f) { return f.find("/hop") != std::string::npos; }));
        Run(38);
        EXPECT_TRUE(selector->IsParapeted());
        Run(2);
        EXPECT_TRUE(selector->IsFree()) << "over after 1.3 s";
        ExpectOnlyTheHeldParapetTaken("jumped");
    }
    // The manager goes back to empty lists: no enemy left for other tests.
    enemies->SetListFiles("no/types.xml", "no/enemies.xml");
    enemies->ResetWaves();
    enemies->SetListFiles("data/XML/typeOfEnemyList.xml", "data/XML/enemyList.xml");
    logic->active = false;
}

TEST_F(Cover, HitsHurtAFatalOneFreesTheParapetAndFourUnhurtSecondsHeal)
{
    CParapetedController* cover = Settle(0, D3DXVECTOR3(0, 0, 50));
    hero->SetLife(100);
    selector->SetTimeSinceHit(3.9f);
    cover->Update(0.06f);
    EXPECT_EQ(hero->getLife(), 100);
    cover->Update(0.06f);
    EXPECT_EQ(hero->getLife(), 103) << "past 4.0 s without a hit";
    cover->Update(0.06f);
    EXPECT_EQ(hero->getLife(), 106) << "3 every update";

    selector->ForwardHit(true, 30, 0, 0, 500);
    cover->Update(0.05f);
    EXPECT_TRUE(cover->WasHit());
    EXPECT_EQ(hero->getLife(), 76);
    EXPECT_FLOAT_EQ(selector->GetTimeSinceHit(), 0.0f);
    EXPECT_TRUE(selector->IsParapeted());

    selector->ForwardHit(true, 90, 0, 0, 500);
    cover->Update(0.05f);
    EXPECT_EQ(hero->getLife(), 0);
    EXPECT_TRUE(selector->IsFree()) << "in the same update";
    EXPECT_TRUE(getScenario()->GetParapets()[0]->free);
    ExpectOnlyTheHeldParapetTaken("killed");
    hero->Update(kStep);
    EXPECT_EQ(hero->GetController()->GetStateCode(), 49);
}

// Life taken without a hit (a script, the console's life command) throws him
// out of cover to fall, the parapet freed, instead of healing him back up.
TEST_F(Cover, LifeTakenWithoutAHitFellsHimOutOfCover)
{
    CParapetedController* cover = Settle(0, D3DXVECTOR3(0, 0, 50));
    selector->SetTimeSinceHit(10.0f);
    hero->reduceLife(400);
    cover->Update(0.05f);
    EXPECT_EQ(hero->getLife(), 0);
    EXPECT_TRUE(selector->IsFree());
    EXPECT_TRUE(getScenario()->GetParapets()[0]->free);
    ExpectOnlyTheHeldParapetTaken("felled");
    hero->Update(kStep);
    EXPECT_EQ(hero->GetController()->GetStateCode(), 49);
    for (int i = 0; i < 60; ++i)
        hero->Update(kStep);
    EXPECT_EQ(hero->getLife(), 0) << "down until revived";
}

// Releasing the aim, or an empty clip, while turned: whether he still faces
// the cover's side decides between ducking back and leaving, for parapets
// facing any way.
TEST_F(Cover, TurnedWhilePeekingHeDucksBackOnTheCoversSideAndLeavesBeyondIt)
{
    struct Case {
        float turn;
        bool inside;
    };
    const Case cases[] = {{0.0f, true}, {1.4f, true}, {-1.4f, true}, {1.75f, false}, {-1.75f, false}, {3.1f, false}};
    // Facing 0 (+z) and facing pi (-z).
    const TestParapet facings[] = {kLow, {"p_b_n_A_B_001", {-100, 0, 50}, {100, 0, 50}}};
    for (const TestParapet& parapet : facings) {
        for (const Case& c : cases) {
            for (bool emptyClip : {false, true}) {
                SetUp();
                LoadCoverRoom({parapet});
                CParapetedController* cover = Settle(0, D3DXVECTOR3(0, 0, 50));
                const float coverYaw = cover->GetCoverYaw();
                Press(ACTION_AIM);
                Run(13);
                hero->GetPosition().SetYaw(WrapAngle(coverYaw + c.turn));
                SCOPED_TRACE(std::to_string(coverYaw) + " turned " + std::to_string(c.turn) +
                             (emptyClip ? " empty clip" : " aim released"));
                if (emptyClip) {
                    hero->GetGun()->SetClipAndAmmo(0, 10);
                    Press(ACTION_FIRE);
                    Run(1);
                } else {
                    Release(ACTION_AIM);
                }
                EXPECT_EQ(selector->IsParapeted(), c.inside);
                ExpectOnlyTheHeldParapetTaken("turned");
                if (!c.inside) {
                    // The free controller reloads him in the open.
                    EXPECT_EQ(hero->GetGun()->GetCurrentClip(), 6);
                    EXPECT_EQ(hero->GetGun()->GetAmmo(), emptyClip ? 4 : 26);
                    continue;
                }
                EXPECT_FALSE(cover->IsAiming());
                Run(13);
                EXPECT_EQ(cover->GetStateCode(), emptyClip ? 63 : 62);
                if (emptyClip) {
                    EXPECT_EQ(hero->GetGun()->GetCurrentClip(), 6) << "reloaded behind the parapet";
                    EXPECT_NEAR(hero->GetPosition().GetYaw(), coverYaw, 1e-5f);
                    Run(49);
                    EXPECT_EQ(cover->GetStateCode(), 62) << "after 1.6 s";
                    EXPECT_FALSE(cover->IsFireHeld());
                }
            }
        }
    }
}

TEST_F(Cover, TheScaffoldPlanksGoneThrowHimOutOfThoseTwoParapetsOnly)
{
    struct Case {
        const char* parapet;
        bool broken2, broken3;
        bool thrown;
    };
    const Case cases[] = {
        {"p_b_n_A_P_008", true, false, true},  {"p_b_n_A_P_008", false, true, false},
        {"p_b_n_A_P_009", false, true, true},  {"p_b_n_A_P_009", true, false, false},
        {"p_b_n_A_P_010", true, true, false},
    };
    for (const Case& c : cases) {
        SetUp();
        LoadCoverRoom({{c.parapet, {100, 0, 50}, {-100, 0, 50}}});
        CParapetedController* cover = Settle(0, D3DXVECTOR3(0, 0, 50));
        Press(ACTION_AIM);
        getRigid()->crateBroken2 = c.broken2;
        getRigid()->crateBroken3 = c.broken3;
        Run(1);
        EXPECT_EQ(cover->GetStateCode(), c.thrown ? 39 : 48) << c.parapet;
        EXPECT_EQ(cover->IsAiming(), !c.thrown) << c.parapet;
        Run(25);
        EXPECT_EQ(selector->IsFree(), c.thrown) << c.parapet;
        ExpectOnlyTheHeldParapetTaken(c.parapet);
    }
    // The level's crates are whole again for whatever runs next.
    getRigid()->crateBroken2 = getRigid()->crateBroken3 = false;
}

TEST_F(Cover, PressesAreDroppedUnderMenusFlightsSequencesAndWaits)
{
    CParapetedController* cover = Settle(0, D3DXVECTOR3(0, 0, 50));
    for (int what = 0; what < 4; ++what) {
        getGUI().pauseActive = what == 0;
        getGUI().optionsActive = what == 1;
        getCamera().SetFreeCamera(what == 2);
        getRigid()->scriptedSequenceRunning = what == 3;
        Press(ACTION_LEFT);
        Press(ACTION_AIM);
        Press(ACTION_BACK);
        EXPECT_EQ(cover->GetStateCode(), 62) << what;
    }
    getGUI().pauseActive = getGUI().optionsActive = false;
    getCamera().SetFreeCamera(false);
    getRigid()->scriptedSequenceRunning = false;
    // Reloading: 1.6 s in which nothing else is taken.
    hero->GetGun()->SetClipAndAmmo(2, 10);
    Press(ACTION_RELOAD);
    EXPECT_EQ(cover->GetStateCode(), 63);
    EXPECT_TRUE(ActionRuns("pBajo_reload_ostrel"));
    EXPECT_EQ(hero->GetGun()->GetCurrentClip(), 6);
    Press(ACTION_AIM);
    Press(ACTION_BACK);
    EXPECT_EQ(cover->GetStateCode(), 63);
    Run(49);
    EXPECT_EQ(cover->GetStateCode(), 62);
    // Entering, only a vault is taken.
    Take(0, D3DXVECTOR3(0, 0, 50));
    Press(ACTION_BACK);
    Press(ACTION_LEFT);
    EXPECT_EQ(cover->GetStateCode(), 38);
    // Crouched, he neither peeks nor gets up while the entry still plays.
    Run(2);
    ASSERT_EQ(cover->GetStateCode(), 62);
    ASSERT_GT(hero->GetEntity()->GetActionCount(), 0);
    Press(ACTION_AIM);
    Press(ACTION_BACK);
    EXPECT_EQ(cover->GetStateCode(), 62);
    Run(33);
    Press(ACTION_AIM);
    EXPECT_EQ(cover->GetStateCode(), 48);
}

TEST_F(Cover, TheHeroModelHoldsEveryCoverPose)
{
    const auto& animations = hero->GetEntity()->GetCoreModelInfo()->animations;
    std::vector<std::string> names = CoverAnimationNames();
    // 8 poses of each height and 3 weapons, the high peeks of both sides, 4
    // aiming poses and 3 for the vault.
    EXPECT_EQ(names.size(), 24u + 30u + 12u + 9u);
    names.push_back("run_thompson");
    names.push_back("run_shotgun");
    for (const std::string& name : names)
        EXPECT_EQ(animations.count(name), 1u) << name;
    // The table's own oddities, spelled as the model has them.
    EXPECT_EQ(CoverAnimation(CoverAnim::MoveToStart, true, false, "GUN"), "pBajo_MoveRight");
    EXPECT_EQ(CoverAnimation(CoverAnim::MoveToEnd, false, false, "GUN"), "pAlto_MoveLeft");
    EXPECT_EQ(CoverAnimation(CoverAnim::Fire, false, true, "THOMPSON"), "aimingPorIzq_FireT");
    EXPECT_EQ(CoverAnimation(CoverAnim::Fire, true, true, "THOMPSON"), "aiming_thompson_fire");
    EXPECT_EQ(CoverAnimation(CoverAnim::PeekOut, true, true, "SHOTGUN"), "pBajo_escopeta_showida");
}

} // namespace
