// The guns, their shots and tracers, and the hero's free and aiming controls.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "math/VectorMath.h"
#include "platform/crt.h"
#include "player/Controllers.h"
#include "player/ProjectileManager.h"
#include "player/Weapon.h"
#include "player/hero_fixture.h"
#include "scene/CharacterEntity.h"
#include "world/Parapet.h"
#include "xml/temp_folder.h"

namespace {

// The hero fixture under this file's own name (one name, one fixture).
class HeroPlay : public Hero {};

// A weapon read from a file written on the spot.
struct TestWeapon : IWeapon {
    explicit TestWeapon(const std::string& attributes)
    {
        ReadSettings(folder.Write("w.xml", "<PROPERTIES " + attributes + "/>"), "GUN");
    }
    TempFolder folder;
};

TEST(Weapons, TheFileSetsEveryValueOrLeavesTheDefaultsWhole)
{
    TestWeapon missing("");
    IWeapon none;
    none.ReadSettings("no/such/file.xml", "THOMPSON");
    for (const IWeapon* w : {static_cast<const IWeapon*>(&missing), static_cast<const IWeapon*>(&none)}) {
        EXPECT_EQ(w->GetAmmo(), 100);
        EXPECT_EQ(w->GetCurrentClip(), 6);
        EXPECT_EQ(w->GetClipSize(), 6);
        EXPECT_EQ(w->GetDamage(), 15);
        EXPECT_EQ(w->GetMaxAmmo(), 156);
        EXPECT_FLOAT_EQ(w->GetCadence(), 1.0f);
        EXPECT_FLOAT_EQ(w->GetRatioOfShot(), 800.0f);
        EXPECT_FLOAT_EQ(w->GetRatioOfShotInChase(), 700.0f);
        EXPECT_FLOAT_EQ(w->GetBulletVelocity(), 15.0f);
        EXPECT_FLOAT_EQ(w->GetMaxVibrateTime(), 0.2f);
    }
    EXPECT_EQ(none.GetName(), "THOMPSON") << "a weapon without its file keeps its own name";

    TestWeapon read("name=\"SHOTGUN\" ammo=\"500\" current_clip=\"9\" clipSize=\"8\" max_ammo=\"48\" damage=\"40\" "
                    "cadence=\"0.5\" bullet_velocity=\"30\"");
    EXPECT_EQ(read.GetName(), "SHOTGUN");
    EXPECT_EQ(read.GetAmmo(), 500) << "the reader does not cap";
    EXPECT_EQ(read.GetCurrentClip(), 9);
    EXPECT_EQ(read.GetClipSize(), 8);
    EXPECT_EQ(read.GetDamage(), 40);
    EXPECT_FLOAT_EQ(read.GetCadence(), 0.5f);
    EXPECT_FLOAT_EQ(read.GetBulletVelocity(), 30.0f);

    for (const char* broken : {"clipSize=\"70000\"", "ammo=\"-1\"", "damage=\"x\"", "cadence=\"nan\"",
                               "cadence=\"-1\"", "max_ammo=\"99999999999999999999\""}) {
        TestWeapon refused(std::string(broken) + " name=\"SHOTGUN\" ammo=\"7\"");
        EXPECT_EQ(refused.GetName(), "GUN") << broken;
        EXPECT_EQ(refused.GetClipSize(), 6) << broken;
        EXPECT_EQ(refused.GetAmmo(), 100) << broken;
        EXPECT_FLOAT_EQ(refused.GetCadence(), 1.0f) << broken;
    }
}

TEST_F(HeroPlay, TheShippedGunsAreTheOnesTheCheckpointsExpect)
{
    EXPECT_EQ(hero->GetGun()->GetName(), "GUN");
    EXPECT_EQ(hero->GetShotgun()->GetName(), "SHOTGUN");
    EXPECT_EQ(hero->GetThompson()->GetName(), "THOMPSON");
    EXPECT_EQ(hero->GetGun()->GetClipSize(), 6);
    EXPECT_EQ(hero->GetShotgun()->GetClipSize(), 8);
    EXPECT_EQ(hero->GetThompson()->GetClipSize(), 60);
    EXPECT_EQ(hero->GetGun()->GetDamage(), 15);
    EXPECT_GE(hero->GetThompson()->GetMaxAmmo(), 60);
    for (IWeapon* w : {static_cast<IWeapon*>(hero->GetGun()), static_cast<IWeapon*>(hero->GetShotgun()),
                       static_cast<IWeapon*>(hero->GetThompson())})
        EXPECT_EQ(w->GetModel().GetTechniqueMap().at("Base"), "PhongLightingTech") << w->GetName();
}

TEST(Weapons, ReloadFillsFromTheReserveAndAFullOrOverfullClipStays)
{
    struct Case {
        std::uint16_t clip, ammo, wantClip, wantAmmo;
    };
    const Case cases[] = {{2, 3, 5, 0}, {2, 10, 6, 6}, {6, 10, 6, 10}, {9, 10, 9, 10}, {0, 0, 0, 0}, {0, 4, 4, 0}};
    for (const Case& c : cases) {
        TestWeapon w("clipSize=\"6\"");
        w.SetClipAndAmmo(c.clip, c.ammo);
        w.Update(0.0f);
        w.Reload();
        EXPECT_EQ(w.GetCurrentClip(), c.wantClip) << c.clip << "/" << c.ammo;
        EXPECT_EQ(w.GetAmmo(), c.wantAmmo) << c.clip << "/" << c.ammo;
    }
    TestWeapon capped("max_ammo=\"156\"");
    capped.SetClipAndAmmo(60, 300);
    EXPECT_EQ(capped.GetCurrentClip(), 60);
    EXPECT_EQ(capped.GetAmmo(), 156);
}

TEST_F(HeroPlay, TheCadenceHoldsShotsBackAndAReloadRestartsIt)
{
    IWeapon* gun = hero->GetGun();
    TestWeapon w("cadence=\"1.0\" clipSize=\"6\"");
    w.playerOwned = true;
    w.SetClipAndAmmo(6, 20);
    EXPECT_TRUE(w.FirePlayerShot()) << "the first shot is never held back";
    EXPECT_TRUE(w.IsVibrating());
    w.Update(0.5f);
    EXPECT_FALSE(w.FirePlayerShot());
    w.Update(0.6f);
    EXPECT_FALSE(w.IsVibrating()) << "the rumble stops after its time";
    EXPECT_TRUE(w.FirePlayerShot());
    w.Update(0.9f);
    w.Reload();
    w.Update(0.5f);
    EXPECT_FALSE(w.FirePlayerShot()) << "a reload delays the next shot a whole cadence";
    w.Update(0.6f);
    EXPECT_TRUE(w.FirePlayerShot());
    EXPECT_EQ(getAchievementStats().shotsFired, 3);
    (void)gun;

    // The last round empties the weapon in that shot; the next only clicks.
    TestWeapon last("cadence=\"0.1\"");
    last.SetClipAndAmmo(1, 0);
    last.Update(0.0f);
    EXPECT_TRUE(last.FirePlayerShot());
    EXPECT_TRUE(last.IsEmpty());
    last.Update(0.2f);
    EXPECT_FALSE(last.FirePlayerShot());
    EXPECT_FLOAT_EQ(last.GetTimeSinceLastShot(), 0.0f) << "the click restarts the cadence";
    EXPECT_EQ(last.GetCurrentClip(), 0);
    EXPECT_EQ(getAchievementStats().shotsFired, 4);
}

TEST_F(HeroPlay, AnEnemysGunKeepsItsReserveAndFiresOnCadenceEvenWhenEmpty)
{
    TestWeapon w("cadence=\"0.5\"");
    w.SetClipAndAmmo(1, 3);
    EXPECT_TRUE(w.FireEnemyShot(CLocation(), 0));
    EXPECT_EQ(w.GetAmmo(), 200);
    EXPECT_EQ(w.GetCurrentClip(), 0);
    w.Update(0.4f);
    EXPECT_FALSE(w.FireEnemyShot(CLocation(), 0)) << "the cadence still holds";
    w.Update(0.1f);
    EXPECT_TRUE(w.FireEnemyShot(CLocation(), 0)) << "an empty clip does not stop an enemy";
    EXPECT_EQ(w.GetCurrentClip(), 0) << "and does not wrap";
    w.Update(0.5f);
    EXPECT_TRUE(w.FireThompsonShot(CLocation(), 0, 3));
    EXPECT_EQ(w.GetCurrentClip(), 0);
    EXPECT_FALSE(w.FireThompsonShot(CLocation(), 0, 3));
    EXPECT_EQ(getProjectileManager().GetProjectiles().size(), 3u);
}

// A record at the origin heading +Z, its target where given.
Projectile At(float tx, float ty, float tz, bool target = true)
{
    Projectile p;
    p.target = D3DXVECTOR3(tx, ty, tz);
    p.hasTarget = target;
    return p;
}

// A streak ends where its bullet strikes, and one passing the eye is not
// drawn: heading +z from the origin, seen from beside its way or on it.
TEST_F(HeroPlay, ATracersStreakEndsAtItsStrikeAndNoneIsDrawnAcrossTheEye)
{
    const struct {
        float target; // ahead, 0 for none
        D3DXVECTOR3 eye;
        bool drawn;
        float ahead;
    } cases[] = {{0, {200, 0, 0}, true, 150},  {400, {200, 0, 0}, true, 150}, {120, {200, 0, 0}, true, 70},
                 {30, {200, 0, 0}, true, 0},    {0, {0, 0, 230}, false, 150},  {0, {60, 0, 150}, true, 150},
                 {0, {0, 10, 300}, true, 150}};
    for (const auto& c : cases) {
        float ahead = -1.0f;
        EXPECT_EQ(CProjectileManager::TracerPlace(At(0, 0, c.target, c.target > 0), c.eye, &ahead), c.drawn)
            << c.target << " seen from " << c.eye.x << ", " << c.eye.z;
        EXPECT_FLOAT_EQ(ahead, c.ahead) << c.target;
    }
}

TEST_F(HeroPlay, TracersStopNearTheirTargetOrWhenTooOld)
{
    CProjectileManager& shots = getProjectileManager();
    struct Case {
        float x, y, z;
        bool stops;
    };
    const Case cases[] = {{0, 0, 0, true},    {89, 29, 89, true},  {-89, -29, -89, true},
                          {90, 0, 0, false},  {0, 30, 0, false},   {0, 0, 90, false}};
    for (const Case& c : cases) {
        shots.Reset();
        shots.Add(At(c.x, c.y, c.z));
        shots.Update(1.0f / 30.0f);
        const Projectile& p = shots.GetProjectiles().at(0);
        EXPECT_EQ(p.active, !c.stops) << c.x << " " << c.y << " " << c.z;
        EXPECT_FLOAT_EQ(p.transform.GetPosition().z, c.stops ? 0.0f : 100.0f);
    }

    // Without a target: 100 units an update for a second of game time.
    for (float scale : {1.0f, 0.5f}) {
        shots.Reset();
        shots.Add(At(0, 0, 0, false));
        int updates = 0;
        while (shots.GetProjectiles().at(0).active && updates < 500) {
            shots.Update(scale / 30.0f);
            ++updates;
        }
        const int flying = updates - 1;
        EXPECT_NEAR(flying, 30 / scale, 1.0f) << scale;
        EXPECT_FLOAT_EQ(shots.GetProjectiles().at(0).transform.GetPosition().z, 100.0f * flying);
        shots.Update(scale / 30.0f);
        EXPECT_TRUE(shots.GetProjectiles().empty()) << "gone the update after it expired";
    }

    // Expired ones leave from the last, the others keep their order.
    shots.Reset();
    for (const char* name : {"A", "B", "C", "D"}) {
        Projectile p = At(0, 0, (name[0] == 'A' || name[0] == 'C') ? 0.0f : 5000.0f);
        p.weapon = name;
        shots.Add(p);
    }
    shots.Update(0.01f);
    ASSERT_EQ(shots.GetProjectiles().size(), 4u) << "expired ones are drawn once more";
    shots.Update(0.01f);
    ASSERT_EQ(shots.GetProjectiles().size(), 2u);
    EXPECT_EQ(shots.GetProjectiles()[0].weapon, "B");
    EXPECT_EQ(shots.GetProjectiles()[1].weapon, "D");
}

TEST_F(HeroPlay, SpreadDrawsFourNumbersAndTurnsWithinItsBounds)
{
    CProjectileManager& shots = getProjectileManager();
    CLocation t;
    int r[5] = {};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        crt::srand(seed);
        for (int& v : r)
            v = crt::rand();
        crt::srand(seed);
        const CLocation spread = shots.ApplySpread(t, 9);
        float a = static_cast<float>(r[0] % 9) / 100.0f, b = static_cast<float>(r[1] % 9) / 100.0f;
        if (r[2] % 10 < 5)
            a = -a;
        if (r[3] % 10 >= 5)
            b = -b;
        EXPECT_FLOAT_EQ(spread.GetYaw(), a) << seed;
        EXPECT_FLOAT_EQ(spread.GetPitch(), b) << seed;
        EXPECT_EQ(crt::rand(), r[4]) << seed;
    }
    crt::srand(7);
    for (int& v : r)
        v = crt::rand();
    crt::srand(7);
    const CLocation one = shots.ApplySpread(t, 1);
    EXPECT_EQ(one.GetYaw(), 0.0f);
    EXPECT_EQ(one.GetPitch(), 0.0f);
    EXPECT_EQ(crt::rand(), r[4]) << "spread 1 still draws four";
    crt::srand(7);
    shots.ApplySpread(t, 0);
    EXPECT_EQ(crt::rand(), r[0]) << "spread 0 draws nothing";
}

TEST_F(HeroPlay, EnemyShotsAimLowerAtACoveredHeroAndShotgunsShowTheirPellets)
{
    CProjectileManager& shots = getProjectileManager();
    CLocation muzzle;
    muzzle.SetPosition(D3DXVECTOR3(0, 75, 500));
    shots.FireShot(muzzle, 15.0f, 1, false, "GUN", 10, 0);
    ASSERT_EQ(shots.GetProjectiles().size(), 1u);
    EXPECT_NEAR(shots.GetProjectiles()[0].transform.GetPitch(), 0.0f, 1e-5f) << "at his chest, 75 up";
    EXPECT_NEAR(shots.GetProjectiles()[0].transform.GetYaw(), 3.1415927f, 1e-4f);
    EXPECT_FALSE(shots.GetProjectiles()[0].hasTarget) << "nothing hit: it expires by age";

    // Crouched behind the fixture's low parapet.
    selector->SwitchToParapeted(0, 0, 0, 0);
    Run(1);
    ASSERT_TRUE(selector->IsInCoverPose());
    shots.FireShot(muzzle, 15.0f, 1, false, "GUN", 10, 0);
    EXPECT_NEAR(shots.GetProjectiles()[1].transform.GetPitch(), std::asin(35.0f / std::sqrt(35.0f * 35 + 500 * 500)),
                1e-4f)
        << "lower, at 40 up";

    shots.Reset();
    shots.FireShot(muzzle, 15.0f, 1, false, "SHOTGUN", 10, 0);
    EXPECT_EQ(shots.GetProjectiles().size(), 9u) << "an enemy's shotgun: the central ray and eight pellets";
    // The pellets' fixed pattern round the aim.
    const float offsets[8][2] = {{0.069958f, -0.00876f},  {0.051994f, -0.057884f}, {0.004831f, -0.067808f},
                                 {-0.045045f, -0.03181f}, {-0.069625f, 0.02573f},  {-0.055104f, 0.065845f},
                                 {-0.009638f, 0.061368f}, {0.04124f, 0.01533f}};
    const CLocation& aim = shots.GetProjectiles()[0].transform;
    for (int i = 0; i < 8; ++i) {
        const CLocation& pellet = shots.GetPellets().at(i).transform;
        EXPECT_NEAR(WrapAngle(pellet.GetYaw() - aim.GetYaw()), offsets[i][0], 1e-5f) << i;
        EXPECT_NEAR(pellet.GetPitch() - (-PitchFromDirection(-muzzle.GetPosition())), offsets[i][1], 1e-5f) << i;
        EXPECT_FLOAT_EQ(shots.GetPellets()[i].speed, 15.0f);
    }

    shots.Reset();
    selector->LeaveParapet();
    shots.FireShot(muzzle, 15.0f, 0, false, "SHOTGUN", 10, 0);
    EXPECT_EQ(shots.GetProjectiles().size(), 8u) << "the hero's shotgun shows the pellets only";
}

// --- the free controller -------------------------------------------------------------

TEST_F(HeroPlay, PressesAreDroppedInMenusFlightsRollsAndDeath)
{
    struct Case {
        const char* what;
        std::function<void()> gate;
        int code;
        bool acts;
    };
    CPlayerFreeController* free = selector->GetFreeController();
    const Case cases[] = {
        {"nothing in the way", [] {}, ACTION_FORWARD, true},
        {"camera flight", [] { getCamera().SetFreeCamera(true); }, ACTION_FORWARD, false},
        {"pause", [] { getGUI().pauseActive = true; }, ACTION_FORWARD, false},
        {"main menu", [] { getGUI().mainMenuActive = true; }, ACTION_FORWARD, false},
        {"options", [] { getGUI().optionsActive = true; }, ACTION_FORWARD, false},
        {"scripted sequence", [] { getRigid()->scriptedSequenceRunning = true; }, ACTION_FORWARD, false},
        {"rolling", [&] { free->OnActionPressed(ACTION_USE); }, ACTION_FORWARD, false},
        {"dead", [&] { free->ToDead(); }, ACTION_FORWARD, false},
    };
    for (const Case& c : cases) {
        SetUp();
        free = selector->GetFreeController();
        c.gate();
        const int before = free->GetStateCode();
        free->OnActionPressed(c.code);
        EXPECT_EQ(free->GetStateCode() == 31, c.acts) << c.what << " (was " << before << ")";
        EXPECT_EQ(getCameraController().forwardHeld, c.acts) << c.what;
    }

    // Use still works while dead: he revives with full life.
    SetUp();
    free = selector->GetFreeController();
    hero->SetLife(0);
    free->ToDead();
    free->OnActionPressed(ACTION_USE);
    EXPECT_EQ(free->GetStateCode(), 30);
    EXPECT_EQ(hero->getLife(), 350);

    // During a scripted sequence use neither rolls nor does anything else.
    SetUp();
    free = selector->GetFreeController();
    getRigid()->scriptedSequenceRunning = true;
    free->OnActionPressed(ACTION_USE);
    EXPECT_FALSE(free->IsRolling());
}

TEST_F(HeroPlay, ARollIgnoresEverythingForItsTimeAndCounts)
{
    CPlayerFreeController* free = selector->GetFreeController();
    free->OnActionPressed(ACTION_FORWARD);
    free->OnActionPressed(ACTION_USE);
    EXPECT_TRUE(free->IsRolling());
    EXPECT_FALSE(getCameraController().forwardHeld) << "held directions are let go at its start";
    EXPECT_EQ(getAchievementStats().rolls, 1);
    free->OnActionPressed(ACTION_BACK);
    free->OnActionPressed(ACTION_USE);
    EXPECT_FALSE(getCameraController().backHeld);
    EXPECT_EQ(getAchievementStats().rolls, 1);
    Run(32); // 1.07 s
    EXPECT_TRUE(free->IsRolling());
    Run(2);
    EXPECT_FALSE(free->IsRolling());
    free->OnActionPressed(ACTION_BACK);
    EXPECT_EQ(free->GetStateCode(), 31);
}

TEST_F(HeroPlay, HeSpeaksUpEverySevenSecondsStandingAndDiesInTheKillingUpdate)
{
    CPlayerFreeController* free = selector->GetFreeController();
    Run(210); // 7.0 s
    EXPECT_GT(free->GetIdleTimer(), 6.9f);
    Run(2);
    EXPECT_LT(free->GetIdleTimer(), 0.1f) << "a remark, and the count starts again";

    // Regeneration after five quiet seconds, 3 a frame, up to the top.
    hero->SetLife(100);
    selector->SetTimeSinceHit(4.5f);
    Run(1);
    EXPECT_EQ(hero->getLife(), 100);
    selector->SetTimeSinceHit(5.0f);
    Run(2);
    EXPECT_EQ(hero->getLife(), 106);
    hero->SetLife(349);
    Run(1);
    EXPECT_EQ(hero->getLife(), 350);

    free->SetHit(true, 400, 0, 0, 100);
    Run(1);
    EXPECT_EQ(free->GetStateCode(), 49);
    EXPECT_TRUE(free->WasHit());
    EXPECT_TRUE(selector->IsPlayerDead());

    // Life taken some other way (a script) kills him in his next update.
    SetUp();
    hero->reduceLife(400);
    Run(1);
    EXPECT_TRUE(selector->IsPlayerDead());
}

TEST_F(HeroPlay, ChangingWeaponGoesByClipSizeThroughWhatHeOwns)
{
    struct Case {
        bool thompson, shotgun;
        std::function<IWeapon*()> from, to;
    };
    auto gun = [&]() -> IWeapon* { return hero->GetGun(); };
    auto shotgun = [&]() -> IWeapon* { return hero->GetShotgun(); };
    auto thompson = [&]() -> IWeapon* { return hero->GetThompson(); };
    const Case cases[] = {
        {true, true, gun, thompson},  {false, true, gun, shotgun},   {true, true, shotgun, gun},
        {true, true, thompson, shotgun}, {true, false, thompson, gun},
    };
    for (const Case& c : cases) {
        SetUp();
        hero->SetHasThompson(c.thompson);
        hero->SetHasShotgun(c.shotgun);
        hero->SetCurrentWeapon(c.from());
        selector->GetFreeController()->OnActionPressed(ACTION_CHANGE_WEAPON);
        EXPECT_EQ(hero->GetCurrentWeapon(), c.to()) << c.from()->GetName();
    }
    // Nothing to change to: the pistol stays.
    SetUp();
    selector->GetFreeController()->OnActionPressed(ACTION_CHANGE_WEAPON);
    EXPECT_EQ(hero->GetCurrentWeapon(), hero->GetGun());
}

TEST_F(HeroPlay, HeldDirectionsCarryOverOnlyBetweenAimingAndFree)
{
    selector->GetFreeController()->OnActionPressed(ACTION_FORWARD);
    selector->SwitchToAiming();
    EXPECT_TRUE(getCameraController().forwardHeld) << "free to aiming keeps walking";
    selector->SwitchToFree(false, false);
    EXPECT_TRUE(getCameraController().forwardHeld) << "aiming to free keeps running";
    selector->SwitchToParapeted(0, 0, 0, 0);
    selector->SwitchToFree(false, false);
    EXPECT_FALSE(getCameraController().forwardHeld) << "out of cover he starts standing";
}

// --- aiming ------------------------------------------------------------------------

TEST_F(HeroPlay, TheShotPoseHoldsAfterTheAimIsLetGo)
{
    selector->SwitchToAiming();
    CAimingController* aim = selector->GetAimingController();
    aim->OnActionPressed(ACTION_FIRE);
    Run(1);
    EXPECT_TRUE(selector->IsReadyToShoot());
    EXPECT_EQ(hero->GetGun()->GetCurrentClip(), 5);
    EXPECT_NEAR(aim->GetAimTimer(), 0.4f, 1e-6f);
    aim->OnActionReleased(ACTION_FIRE);
    aim->OnActionReleased(ACTION_AIM);
    Run(11); // 0.37 s
    EXPECT_EQ(selector->GetStateName(), "AIMING");
    Run(2); // past 0.4 s
    EXPECT_EQ(selector->GetStateName(), "FREE");
}

// A hit or quiet time heals or hurts him while he aims; life taken without a
// hit (a script, the console's life command) fells him as a fatal hit would,
// rather than leaving him aiming to heal back up from nothing.
TEST_F(HeroPlay, LifeTakenWhileAimingFellsHimAndHeDoesNotHealBack)
{
    selector->SwitchToAiming();
    hero->SetLife(100);
    selector->SetTimeSinceHit(10.0f);
    Run(1);
    EXPECT_EQ(hero->getLife(), 103) << "quiet long enough: he heals";
    selector->ForwardHit(true, 30, 0, 0, 100);
    Run(1);
    EXPECT_EQ(hero->getLife(), 73);
    EXPECT_FLOAT_EQ(selector->GetTimeSinceHit(), 0.0f) << "the quiet time starts again at a hit";
    EXPECT_EQ(selector->GetStateName(), "AIMING");

    selector->SetTimeSinceHit(10.0f);
    hero->reduceLife(400);
    Run(1);
    EXPECT_EQ(selector->GetStateName(), "FREE");
    EXPECT_EQ(hero->getLife(), 0);
    Run(1);
    EXPECT_TRUE(selector->IsPlayerDead());
    Run(60);
    EXPECT_EQ(hero->getLife(), 0) << "down until revived";
    EXPECT_TRUE(selector->IsPlayerDead());
}

TEST_F(HeroPlay, TheThompsonFiresAtItsCadenceWhileTheTriggerIsHeld)
{
    hero->SetHasThompson(true);
    hero->SetCurrentWeapon(hero->GetThompson());
    const float cadence = hero->GetThompson()->GetCadence();
    ASSERT_GT(cadence, 0.0f);
    selector->SwitchToAiming();
    selector->GetAimingController()->OnActionPressed(ACTION_FIRE);
    Run(30);
    const int fired = 60 - hero->GetThompson()->GetCurrentClip();
    // A shot every whole number of frames at or past the cadence.
    const int frames = static_cast<int>(std::ceil(cadence * 30.0f - 1e-3f));
    EXPECT_NEAR(fired, 1 + 29 / frames, 1);
    EXPECT_GT(fired, 1);
}

TEST_F(HeroPlay, AnEmptyClipWhileWalkingReloadsOutOfAimAndRunsOn)
{
    hero->GetGun()->SetClipAndAmmo(0, 10);
    selector->SwitchToAiming();
    CAimingController* aim = selector->GetAimingController();
    aim->OnActionPressed(ACTION_FORWARD);
    EXPECT_EQ(aim->GetStateCode(), 35);
    aim->OnActionPressed(ACTION_FIRE);
    Run(2);
    EXPECT_EQ(selector->GetStateName(), "FREE");
    EXPECT_TRUE(getCameraController().forwardHeld) << "the follow camera walks him on";
    EXPECT_EQ(hero->GetGun()->GetCurrentClip(), 6);
    EXPECT_EQ(hero->GetGun()->GetAmmo(), 4);
    EXPECT_GT(selector->GetFreeController()->GetActionTimer(), 0.0f);
}

} // namespace

namespace {

// A parapet between two ground points, its front facing the yaw.
TParapet Parapet(const char* name, D3DXVECTOR3 ini, D3DXVECTOR3 fin, float yaw)
{
    D3DXMATRIX m;
    D3DXMatrixRotationY(&m, yaw);
    const D3DXVECTOR3 centre = (ini + fin) * 0.5f;
    m._41 = centre.x;
    m._42 = centre.y;
    m._43 = centre.z;
    return MakeParapet(name, m, ini, fin);
}

TEST_F(HeroPlay, CoverIsOfferedInReachInFrontAndAcrossHisLineOfSight)
{
    const TParapet wall = Parapet("p_b_n_A_P_100", {-100, 0, 100}, {100, 0, 100}, 3.0f);
    const TParapet huge = Parapet("p_b_n_A_P_101", {-2000, 0, 100}, {2000, 0, 100}, 3.0f);
    const TParapet slant = Parapet("p_b_n_A_P_102", {-50, 0, 100}, {50, 0, 300}, 2.5f);
    struct Case {
        const char* what;
        const TParapet* parapet;
        D3DXVECTOR3 hero;
        float heading;
        bool found;
        D3DXVECTOR3 point;
    };
    const Case cases[] = {
        {"middle at 100", &wall, {0, 0, 0}, 0.2f, true, {0, 0, 100}},
        {"middle at 115", &wall, {0, 0, -15}, 0.2f, false, {}},
        {"facing its back", &wall, {0, 0, 0}, 0.2f + 3.1415927f, false, {}},
        {"end within 130", &wall, {110, 0, 20}, -0.2f, true, {100, 0, 100}},
        {"end at 135", &wall, {110, 0, -25}, -0.2f, false, {}},
        {"sight beside it", &wall, {0, 0, 0}, 1.2f, false, {}},
        {"centre at 1490", &huge, {1400, 0, 10}, 0.2f, true, {1400, 0, 100}},
        {"centre at 1590", &huge, {1500, 0, 10}, 0.2f, false, {}},
        // Beside its middle, 70 out: toward it, then along it.
        {"sight across it", &slant, {62.6f, 0, 168.7f}, -1.107f, true, {0, 0, 200}},
        {"sight parallel", &slant, {62.6f, 0, 168.7f}, 0.4636476f, false, {}},
    };
    for (const Case& c : cases) {
        D3DXVECTOR3 point(-1, -1, -1);
        EXPECT_EQ(CoverPointAt(*c.parapet, c.hero, c.heading, &point), c.found) << c.what;
        if (c.found) {
            EXPECT_NEAR(point.x, c.point.x, 0.2f) << c.what;
            EXPECT_NEAR(point.z, c.point.z, 0.2f) << c.what;
        }
    }

    // Taken, not a hero's, or blocked by its broken crate: not offered.
    D3DXVECTOR3 point;
    TParapet taken = wall;
    taken.free = false;
    EXPECT_FALSE(CoverPointAt(taken, {0, 0, 0}, 0.2f, &point));
    const TParapet other = Parapet("e_b_n_A_P_100", {-100, 0, 100}, {100, 0, 100}, 3.0f);
    EXPECT_FALSE(CoverPointAt(other, {0, 0, 0}, 0.2f, &point));
    // Each plank crate blocks its own parapet only.
    const struct {
        const char* name;
        bool CRigidAnimManager::*broken;
        bool CRigidAnimManager::*other;
    } crates[] = {{"p_b_n_A_P_008", &CRigidAnimManager::crateBroken2, &CRigidAnimManager::crateBroken3},
                  {"p_b_n_A_P_009", &CRigidAnimManager::crateBroken3, &CRigidAnimManager::crateBroken2}};
    for (const auto& crate : crates) {
        // Both crates whole to start with, whatever ran before.
        getRigid()->crateBroken2 = getRigid()->crateBroken3 = false;
        const TParapet planks = Parapet(crate.name, {-100, 0, 100}, {100, 0, 100}, 3.0f);
        EXPECT_TRUE(CoverPointAt(planks, {0, 0, 0}, 0.2f, &point)) << crate.name;
        getRigid()->*crate.other = true;
        EXPECT_TRUE(CoverPointAt(planks, {0, 0, 0}, 0.2f, &point)) << crate.name;
        getRigid()->*crate.broken = true;
        EXPECT_FALSE(CoverPointAt(planks, {0, 0, 0}, 0.2f, &point)) << crate.name;
        getRigid()->crateBroken2 = getRigid()->crateBroken3 = false;
    }
}

// The crates and walls of the levels stand square to the axes, and a player
// who has not turned the mouse looks along one (the camera starts at a
// quarter turn): straight at a parapet, across its middle or near an end,
// cover is offered.
TEST_F(HeroPlay, CoverIsOfferedLookingStraightAtAParapetSquareToTheAxes)
{
    const float kHalf = 3.1415927f, kQuarter = 1.5707964f;
    const struct {
        float facing;   // the parapet's yaw
        float heading;  // his, straight at it
        D3DXVECTOR3 out; // from the parapet towards him
        D3DXVECTOR3 along;
    } squares[] = {{0.0f, kHalf, {0, 0, 1}, {1, 0, 0}},
                   {-kQuarter, kQuarter, {-1, 0, 0}, {0, 0, 1}},
                   {kQuarter, -kQuarter, {1, 0, 0}, {0, 0, -1}},
                   {kHalf, 0.0f, {0, 0, -1}, {-1, 0, 0}}};
    for (const auto& square : squares) {
        const D3DXVECTOR3 middle(-770, 9, -1040);
        const TParapet crate = Parapet("p_b_n_H_B_7000", middle - square.along * 130.0f,
                                       middle + square.along * 130.0f, square.facing);
        for (float aside : {0.0f, 0.45f, -0.45f}) {
            SCOPED_TRACE(testing::Message() << "facing " << square.facing << ", aside " << aside);
            const D3DXVECTOR3 foot = middle + square.along * (260.0f * aside);
            D3DXVECTOR3 point(0, 0, 0);
            ASSERT_TRUE(CoverPointAt(crate, foot + square.out * 60.0f, square.heading, &point));
            EXPECT_NEAR(point.x, foot.x, 0.5f);
            EXPECT_NEAR(point.z, foot.z, 0.5f);
        }
        // Looking along it, or past its end, still offers nothing.
        D3DXVECTOR3 point;
        EXPECT_FALSE(CoverPointAt(crate, middle + square.out * 60.0f, square.heading + kQuarter, &point));
        EXPECT_FALSE(CoverPointAt(crate, middle + square.out * 60.0f + square.along * 140.0f, square.heading, &point));
    }
}

} // namespace

namespace {

TEST_F(HeroPlay, HisGunIsInHisHandWhereHisShotsStart)
{
    hero->GetPosition().SetPosition(D3DXVECTOR3(500, 0, -300));
    hero->GetPosition().SetYaw(1.0f);
    Run(1);
    const CLocation& muzzle = hero->GetGun()->GetModel().GetTransform();
    const D3DXVECTOR3 offset = muzzle.GetPosition() - D3DXVECTOR3(500, 0, -300);
    EXPECT_LT(std::fabs(offset.x) + std::fabs(offset.z), 60.0f);
    EXPECT_GT(offset.y, 10.0f);
    EXPECT_LT(offset.y, 80.0f);
    EXPECT_FLOAT_EQ(muzzle.GetYaw(), 1.0f) << "shots leave along his heading";
    EXPECT_FLOAT_EQ(muzzle.GetMatrix()._41, muzzle.GetPosition().x) << "drawn where it is";
}

} // namespace

namespace {

// Six bad values in one weapon file, read by three weapons: one line naming
// the file and all six; an empty weapon file: one line naming it.
TEST(Weapons, ADamagedFileIsNamedOnceWithEveryBadValue)
{
    TempFolder folder;
    const std::string bad = folder.Write("bad.xml", "<PROPERTIES ammo=\"-1\" current_clip=\"x\" clipSize=\"70000\" "
                                                    "damage=\"\" cadence=\"nan\" bullet_velocity=\"1e40\"/>");
    const std::string empty = folder.Write("empty.xml", "");
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) {
        IWeapon weapon, blank;
        weapon.ReadSettings(bad, "GUN");
        blank.ReadSettings(empty, "GUN");
        EXPECT_EQ(weapon.GetAmmo(), 100);
        EXPECT_EQ(blank.GetClipSize(), 6);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, bad + ": refused: ammo, current_clip, clipSize, damage not a count from 0 to 65535; cadence, "
                          "bullet_velocity not a usable number; the weapon keeps its own values\n" +
                    empty + ": refused: it is not well-formed XML (no element found at line 1)\n");
}

} // namespace
