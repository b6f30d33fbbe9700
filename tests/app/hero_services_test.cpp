// What the loops and the level flow rely on of the hero and the triggers
// before their own logic exists: life arithmetic, weapons re-created for a
// new game, the checkpoint ammunition, the selector's states and the named
// trigger logics.
#include <gtest/gtest.h>

#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "world/TriggerManager.h"

namespace {

// A weapon whose magazine and reserve a test can fill.
class TestWeapon : public IWeapon {
public:
    TestWeapon(std::uint16_t clipSize, std::uint16_t maxAmmo)
    {
        m_ClipSize = clipSize;
        m_MaxAmmo = maxAmmo;
    }
};

TEST(Hero, LifeStaysBetweenZeroAndTheTop)
{
    CPlayer hero;
    EXPECT_EQ(hero.getLife(), 350);
    EXPECT_EQ(hero.GetTopLife(), 350);

    hero.reduceLife(100);
    EXPECT_EQ(hero.getLife(), 250);
    hero.AddLife(500);
    EXPECT_EQ(hero.getLife(), 350) << "never above the top";
    hero.reduceLife(60000);
    EXPECT_EQ(hero.getLife(), 0) << "never below 0, even for a hit larger than any short";

    hero.SetLifeAndTopLife(10, 400);
    hero.RefillLife();
    EXPECT_EQ(hero.getLife(), 400);
}

TEST(Hero, FightVariantsGoRoundFromOneToFour)
{
    CPlayer hero;
    std::string variants;
    for (int i = 0; i < 6; ++i)
        variants += hero.CycleWeaponSlot();
    EXPECT_EQ(variants, "123412");
}

TEST(Hero, NewWeaponsStartWithThePistolAndNothingElseOwned)
{
    CPlayer hero;
    EXPECT_EQ(hero.GetCurrentWeapon(), nullptr);
    hero.Init();
    ASSERT_NE(hero.GetCurrentWeapon(), nullptr);
    EXPECT_EQ(hero.GetCurrentWeapon()->GetName(), "GUN");
    ASSERT_NE(hero.GetController(), nullptr) << "a built hero always has a controller";
    EXPECT_EQ(hero.GetController()->GetStateCode(), 30);

    hero.SetHasShotgun(true);
    hero.SetCurrentWeapon(hero.GetShotgun());
    hero.CreateWeapons();
    EXPECT_FALSE(hero.HasShotgun());
    EXPECT_FALSE(hero.HasThompson());
    EXPECT_EQ(hero.GetCurrentWeapon()->GetName(), "GUN");
    EXPECT_EQ(hero.GetShotgun()->GetName(), "SHOTGUN");
    EXPECT_EQ(hero.GetThompson()->GetName(), "THOMPSON");
    EXPECT_TRUE(hero.GetGun()->playerOwned);
}

TEST(Hero, ACheckpointGivesBackTheAmmunitionOfOwnedWeaponsOnly)
{
    CPlayer hero;
    hero.Init();
    hero.GetGun()->SetClipAndAmmo(5, 0);
    hero.SetHasThompson(true);
    hero.GetThompson()->SetClipAndAmmo(7, 0);
    hero.GetShotgun()->SetClipAndAmmo(9, 0);
    hero.storeForCHECKPOINT();

    // A restart makes new weapons, then gives back what was kept.
    hero.CreateWeapons();
    EXPECT_EQ(hero.GetGun()->GetCurrentClip(), 0);
    EXPECT_FALSE(hero.HasThompson());
    hero.RestoreCheckpoint();
    EXPECT_EQ(hero.GetGun()->GetCurrentClip(), 5);
    EXPECT_TRUE(hero.HasThompson());
    EXPECT_EQ(hero.GetThompson()->GetCurrentClip(), 7);
    EXPECT_FALSE(hero.HasShotgun());
    EXPECT_EQ(hero.GetShotgun()->GetCurrentClip(), 0) << "a weapon not owned at the checkpoint";
}

TEST(Weapon, TheReserveIsCappedAndReloadingNeedsRounds)
{
    TestWeapon weapon(8, 40);
    weapon.SetClipAndAmmo(3, 100);
    EXPECT_EQ(weapon.GetCurrentClip(), 3);
    EXPECT_EQ(weapon.GetAmmo(), 40);
    EXPECT_TRUE(weapon.CanReload());
    EXPECT_FALSE(weapon.NeedsReload());

    weapon.SetClipAndAmmo(0, 5);
    EXPECT_TRUE(weapon.NeedsReload());
    weapon.SetClipAndAmmo(0, 0);
    EXPECT_FALSE(weapon.NeedsReload()) << "nothing to reload with";
    EXPECT_FALSE(weapon.CanReload());
    weapon.SetClipAndAmmo(8, 10);
    EXPECT_FALSE(weapon.CanReload()) << "the magazine is full";
}

TEST(ControllerSelector, EachSwitchSetsTheControllerAndTheStateName)
{
    CControllerSelector selector;
    EXPECT_EQ(selector.GetStateName(), "FREE");
    IController* free = selector.GetCurrent();
    ASSERT_NE(free, nullptr);

    selector.SwitchToAiming();
    EXPECT_EQ(selector.GetStateName(), "AIMING");
    EXPECT_NE(selector.GetCurrent(), free);

    selector.SwitchToParapeted(3, 1.0f, 2.0f, 3.0f);
    EXPECT_TRUE(selector.IsParapeted());
    CParapetedController* cover = selector.GetParapetedController();
    ASSERT_NE(cover, nullptr);
    EXPECT_EQ(selector.GetCurrent(), cover);
    selector.LeaveParapet();
    EXPECT_TRUE(selector.IsFree());
    EXPECT_EQ(selector.GetCurrent(), free);
    selector.SwitchToParapeted(4, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(selector.GetParapetedController(), cover) << "the cover controller is made once";

    selector.SwitchToFighting(nullptr, 102);
    EXPECT_TRUE(selector.IsFighting());
    EXPECT_EQ(selector.GetCurrent()->GetStateCode(), 43);
    selector.SwitchToFree(false, false);
    EXPECT_EQ(selector.GetCurrent(), free);
    EXPECT_FALSE(selector.IsPlayerDead());
}

TEST(CameraController, HoldsTheFourMovementCodesOnly)
{
    CCameraController camera;
    EXPECT_TRUE(camera.NoDirectionHeld());
    camera.OnActionPressed(ACTION_FIRE);
    EXPECT_TRUE(camera.NoDirectionHeld());
    camera.OnActionPressed(ACTION_LEFT);
    camera.OnActionPressed(ACTION_BACK);
    EXPECT_TRUE(camera.leftHeld);
    EXPECT_TRUE(camera.backHeld);
    camera.OnActionReleased(ACTION_LEFT);
    EXPECT_FALSE(camera.NoDirectionHeld());
    camera.OnActionReleased(ACTION_BACK);
    EXPECT_TRUE(camera.NoDirectionHeld());
}

TEST(TriggerManager, LogicsAreMadeInactiveOnceAndResetEmptiesThem)
{
    CTriggerManager& triggers = getTriggerManager();
    EXPECT_FALSE(triggers.getEnabledTrigger("checkPoint1"));
    triggers.setEnableTrigger("checkPoint1", true);
    EXPECT_FALSE(triggers.getEnabledTrigger("checkPoint1")) << "enabling does not create a logic";

    CTriggerLogic* logic = triggers.getTriggerLogicByName("checkPoint1");
    ASSERT_NE(logic, nullptr);
    EXPECT_FALSE(logic->active);
    EXPECT_EQ(triggers.getTriggerLogicByName("checkPoint1"), logic);
    logic->active = true;
    EXPECT_TRUE(triggers.getEnabledTrigger("checkPoint1"));
    triggers.setEnableTrigger("checkPoint1", false);
    EXPECT_FALSE(logic->active);

    triggers.setCheckPointTrigger(4);
    triggers.currentZone = 2;
    triggers.getTriggerLogicByName("Wave31")->active = true;
    triggers.Reset();
    EXPECT_FALSE(triggers.getEnabledTrigger("Wave31"));
    EXPECT_EQ(triggers.currentZone, 1);
    EXPECT_EQ(triggers.checkpoint, 4) << "the checkpoint survives a new Lua state";
}

} // namespace
