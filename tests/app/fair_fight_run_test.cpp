// How hard the shipped soldiers are to face: how often their shots find a
// hero who stands in the open, and whether a soldier the hero has worn down
// stays worn down through the lulls of a new player's fight.
#include "loop_fixture.h"

#include <SDL.h>

#include <cmath>
#include <map>

#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "scene/Camera.h"
#include "scene/Location.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight; then, with the
// hero standing free, wave 01's soldiers (the shipped soldier kind) fire at
// him from all round at three distances, and the hits he would take are
// counted.
class TargetPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        ++frames;
        keys.SetKey(DIK_SPACE, frames == 2 || frames == 4);
        if (frames == 8)
            getScriptHost().RunCommand("Zone room01 wave_01");
        CGameCalls::UpdateFrame(dt);
        if (frames != 12)
            return;
        CEnemy* soldier = getEnemyManager()->getThisBotOfCurrentWave("ene_1");
        CPlayerFreeController* free = getPlayer()->GetControllerSelector()->GetFreeController();
        if (soldier && free) {
            accuracy = soldier->getIA()->GetAccuracy();
            const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
            for (float distance : {300.0f, 600.0f, 1000.0f}) {
                int hits = 0;
                for (int shot = 0; shot < kShots; ++shot) {
                    const float round = 6.2831853f * static_cast<float>(shot % 16) / 16.0f;
                    CLocation muzzle;
                    muzzle.SetPosition(hero + D3DXVECTOR3(distance * std::sin(round), 100.0f,
                                                          distance * std::cos(round)));
                    free->SetHit(false, 0, 0.0f, 0.0f, 0.0f);
                    getProjectileManager().FireShot(muzzle, 15.0f, 1, false, "GUN", 15, accuracy);
                    hits += free->GetPendingHit().pending;
                }
                share[distance] = static_cast<double>(hits) / kShots;
            }
            free->SetHit(false, 0, 0.0f, 0.0f, 0.0f);
        }
        PushWindowClose();
    }

    static constexpr int kShots = 1600;
    int frames = 0;
    int accuracy = 0;
    std::map<float, double> share;
};

class FairShotsRun : public ShippedRun<TargetPlayer> {
protected:
    FairShotsRun() : ShippedRun("fair_shots") {}
};

// A new player standing in the open has time to find cover: a soldier hits
// him with a few shots in twenty at 300 units and seldom farther off, yet he
// is still a threat close up.
TEST_F(FairShotsRun, ASoldierHitsAStandingHeroNowAndThenNotWithEveryShot)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.share.size(), 3u);
    EXPECT_GT(player.share[300.0f], 0.08);
    EXPECT_LT(player.share[300.0f], 0.25);
    EXPECT_LT(player.share[600.0f], 0.10);
    EXPECT_LT(player.share[1000.0f], 0.04);
    EXPECT_GT(player.share[300.0f], player.share[1000.0f]);
}

// Return on the menu, Space through the comic and the flight; wave 01 is
// started and the hero stands before its lookout. He shoots the lookout in
// the chest six times in a row, waits 25 s as a new player between two
// encounters would, and shoots once more. His shots go where his view
// points: the camera is turned at the lookout's chest before each.
class PatientShooter : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        ++frames;
        keys.SetKey(DIK_SPACE, frames == 2 || frames == 4);
        if (frames == 8) {
            getScriptHost().RunCommand("Zone room01 wave_01");
            const D3DXVECTOR3 stand(-750.0f, 9.231f, -650.0f);
            getPlayer()->GetPosition().SetPosition(stand);
            getCollisionManager().setNewPlayerPosition(stand);
        }
        // Only the lookout's life is looked at: the hero does not die of
        // the wave's answer meanwhile.
        getPlayer()->SetLife(350);
        CEnemy* lookout = getEnemyManager()->getThisBotOfCurrentWave("ene_1");
        if (lookout && frames > 10) {
            const D3DXVECTOR3 d = lookout->GetPosition().GetPosition() - getPlayer()->GetPosition().GetPosition();
            getPlayer()->GetPosition().SetYaw(std::atan2(d.x, d.z));
            getCamera().SetYaw(std::atan2(d.x, d.z));
        }
        CGameCalls::UpdateFrame(dt);
        if (!lookout)
            return;
        const bool quickShot = frames >= kFirst && frames < kFirst + 6 * kQuickGap && (frames - kFirst) % kQuickGap == 0;
        if (quickShot || frames == kLateShot) {
            const int before = lookout->GetLife();
            const D3DXVECTOR3 chest = lookout->GetPosition().GetPosition() + D3DXVECTOR3(0.0f, 55.0f, 0.0f);
            const D3DXVECTOR3 look = getCamera().GetLookAt();
            D3DXVECTOR3 aim = chest - look;
            const float length = D3DXVec3Length(&aim);
            CLocation view;
            view.SetYaw(std::atan2(aim.x, aim.z));
            view.SetPitch(std::asin(-aim.y / length));
            float hit[3] = {0.0f, 0.0f, 0.0f};
            getCollisionManager().ResolvePlayerShot(&view, hit);
            hits += lookout->GetLife() < before;
            if (frames == kLateShot)
                lifeBeforeLateShot = before;
        }
        if (frames == kLateShot + 2) {
            fell = lookout->getIA()->GetState() == CIAEnemyCover::DEAD;
            PushWindowClose();
        }
    }
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 30 == 0)
            CGameCalls::RenderFrame(dt);
    }

    static constexpr int kFirst = 20, kQuickGap = 12, kLateShot = kFirst + 6 * kQuickGap + 25 * 30;
    int frames = 0, hits = 0, lifeBeforeLateShot = -1;
    bool fell = false;
};

class LullRun : public ShippedRun<PatientShooter> {
protected:
    LullRun() : ShippedRun("lull") {}
};

TEST_F(LullRun, ASoldierWornDownStaysWornDownThroughALullAndFallsToHisSeventhHit)
{
    ASSERT_EQ(VantorelMain(), 0);
    EXPECT_EQ(player.hits, 7) << "every shot found his chest";
    EXPECT_EQ(player.lifeBeforeLateShot, 10) << "six hits of 15 stayed taken through 25 s";
    EXPECT_TRUE(player.fell);
}

} // namespace
} // namespace looptest
