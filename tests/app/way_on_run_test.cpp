// A new player handed the hero after the intro holds W and nothing else:
// the view he was handed leads him into the first wave's volume, and what he
// walks over on the way arms him for the fight there.
#include "loop_fixture.h"

#include <string>

#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/RigidAnimManager.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight, then W held
// until wave 01 wakes or the bound runs out.
class ForwardWalker : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        ++frames;
        const bool inControl = InControl();
        if (controlAt == 0 && frames > 4 && inControl)
            controlAt = frames;
        keys.SetKey(DIK_SPACE, frames == 2 || frames == 4);
        keys.SetKey(DIK_W, controlAt > 0);
        CGameCalls::UpdateFrame(dt);

        if (controlAt == 0)
            return;
        if (getEnemyManager()->GetCurrentWave() == "wave_01" && reachedAfter < 0) {
            reachedAfter = frames - controlAt;
            stateOnArrival = getPlayer()->GetController()->GetStateCode();
            lifeOnArrival = getPlayer()->GetLife();
            for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies())
                waveLife += entry.second->GetLife();
        }
        if ((reachedAfter >= 0 && frames - controlAt >= reachedAfter + walkOnFrames) ||
            frames - controlAt > kBoundFrames + walkOnFrames) {
            const CGun* gun = getPlayer()->GetGun();
            pistolRounds = gun->GetCurrentClip() + gun->GetAmmo();
            pistolDamage = gun->GetDamage();
            Close();
        }
    }

    // Only the wave and the hero are read: one frame in thirty is drawn.
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 30 == 0)
            CGameCalls::RenderFrame(dt);
    }

    static bool InControl()
    {
        IController* controller = getPlayer()->GetController();
        return controller && controller->GetStateCode() != 49 && !getRigid()->camSequenceRunning &&
               !getGUI().mainMenuActive;
    }

    void Close()
    {
        if (closing)
            return;
        closing = true;
        PushWindowClose();
    }

    static constexpr int kBoundFrames = 150; // 5 s at the game's 30 frames a second
    int walkOnFrames = 0; // W held on after the wave woke
    int frames = 0, controlAt = 0, reachedAfter = -1, stateOnArrival = 0, lifeOnArrival = 0;
    int waveLife = 0, pistolRounds = 0, pistolDamage = 0;
    bool closing = false;
};

class WayOnRun : public ShippedRun<ForwardWalker> {
protected:
    WayOnRun() : ShippedRun("way_on") {}
};

TEST_F(WayOnRun, HoldingForwardFromTheHandoverWakesTheFirstWaveWithinSeconds)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_GT(player.controlAt, 0) << "the intro handed the hero over";
    ASSERT_GE(player.reachedAfter, 0) << "wave 01 never woke while W was held for 5 s";
    // About 200 units at a run straight ahead: a second, not the near two of
    // a view turned off to the north that brushes the volume's far corner.
    EXPECT_LE(player.reachedAfter, 45) << "frames at 30 a second";
    // He walked there on his feet, alive, and the opening cost him little.
    EXPECT_EQ(player.stateOnArrival, 31);
    EXPECT_GE(player.lifeOnArrival, 350 * 3 / 4);
}

// On past the wave's volume to its barrier: the pistol rounds he holds there
// are what he has for the wave, whose soldiers run at him while he would walk
// back for more. A new player lands about one shot in three, and a pickup
// is only taken when walked over.
TEST_F(WayOnRun, WhatLiesOnTheWayArmsTheHeroForTheFirstWave)
{
    player.walkOnFrames = 75;
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_GE(player.reachedAfter, 0) << "wave 01 never woke while W was held";
    ASSERT_GT(player.pistolDamage, 0);
    const int bodyHits = (player.waveLife + player.pistolDamage - 1) / player.pistolDamage;
    EXPECT_GE(bodyHits, 15) << "the wave's life, " << player.waveLife;
    EXPECT_GE(player.pistolRounds, 3 * bodyHits);
}

} // namespace
} // namespace looptest
