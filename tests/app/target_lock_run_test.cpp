// A new game at wave 01 played with the mouse and Q: the right button held
// aims, a tap of Q locks onto a soldier, and the view brings him under the
// crosshair, where the hero's shot goes.
#include "loop_fixture.h"

#include <cmath>
#include <map>
#include <string>

#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "hero_aim_view.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

// Where the locked soldier stands and how he is seen, after a frame.
struct LockSeen {
    std::string name;
    bool locked = false;
    int life = -1;
    D3DXVECTOR3 feet{0, 0, 0};
    float distance = 0.0f;
    float offCentre = 1e9f; // his chest's pixels from the crosshair, in the 800 x 600 window
};

// Return on the menu, Space through the comic and the flight, wave 01 woken
// from the console. The hero is put down twice with the soldier he will
// lock onto a quarter turn to his left, 380-400 away: first with ene_1, who
// stands, then with ene_5, who steps sideways once the wave has seen him.
// Each time the right button is held, Q tapped once, and one shot fired.
class LockPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        const int frame = ++frames;
        keys.SetKey(DIK_SPACE, frame == 2 || frame == 4);
        if (frame == 8)
            getScriptHost().RunCommand("Zone room01 wave_01");
        if (frame == kStand[0] || frame == kStand[1]) {
            const bool first = frame == kStand[0];
            const D3DXVECTOR3 stand = first ? D3DXVECTOR3(-500, 9.231f, -1150) : D3DXVECTOR3(-650, 9.231f, -800);
            const float yaw = first ? 1.98f : 1.72f;
            getPlayer()->GetPosition().SetPosition(stand);
            getCollisionManager().setNewPlayerPosition(stand);
            getPlayer()->GetPosition().SetYaw(yaw);
            getCamera().SetYaw(yaw);
            if (!first)
                getScriptHost().RunCommand("ene1_2"); // what the wave runs once it has seen him
        }
        keys.SetButton(1, frame >= 20);
        keys.SetKey(DIK_Q, frame == kTap[0] || frame == kTap[1]);
        keys.SetButton(0, frame == kFire[0] || frame == kFire[1]);
        CGameCalls::UpdateFrame(dt);

        LockSeen& s = seen[frame];
        s.name = getCamera().GetAimTargetName();
        s.locked = getCamera().HasAimTarget();
        if (CEnemy* enemy = s.name.empty() ? nullptr : getEnemyManager()->getThisBotOfCurrentWave(s.name)) {
            s.life = enemy->GetLife();
            s.feet = enemy->GetPosition().GetPosition();
            s.distance = DistanceXZ(s.feet, getPlayer()->GetPosition().GetPosition());
            const D3DXVECTOR3 chest = heroaim::OnScreen(s.feet + D3DXVECTOR3(0, 55, 0), 800.0f, 600.0f);
            if (std::isfinite(chest.x))
                s.offCentre = std::hypot(chest.x - 400.0f, chest.y - 300.0f);
        }
        if (frame == kFire[1] + 5)
            PushWindowClose();
    }
    // Only where things stand is read, never a pixel: one frame in ten is drawn.
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 10 == 0)
            CGameCalls::RenderFrame(dt);
    }

    static constexpr int kStand[2] = {12, 62}, kTap[2] = {26, 66}, kFire[2] = {45, 95};
    int frames = 0;
    std::map<int, LockSeen> seen;
};

class TargetLockRun : public ShippedRun<LockPlayer> {
protected:
    TargetLockRun() : ShippedRun("target_lock") {}
};

// A third of a second after the tap the soldier is under the crosshair and
// stays there, standing or stepping aside, and the shot fired there hits him.
TEST_F(TargetLockRun, QBringsTheSoldierUnderTheCrosshairAndTheShotHitsHim)
{
    ASSERT_EQ(VantorelMain(), 0);
    const char* soldiers[2] = {"ene_1", "ene_5"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(soldiers[i]);
        const int tap = LockPlayer::kTap[i], fire = LockPlayer::kFire[i];
        const LockSeen& pressed = player.seen[tap];
        ASSERT_EQ(pressed.name, soldiers[i]) << "Q locks onto the nearest soldier";
        EXPECT_TRUE(pressed.locked);
        EXPECT_GT(pressed.distance, 300.0f);
        EXPECT_LT(pressed.distance, 600.0f);
        EXPECT_GT(pressed.offCentre, 150.0f) << "well to the side when Q was pressed";
        for (int f = tap + 10; f < fire; ++f)
            EXPECT_LT(player.seen[f].offCentre, 6.0f) << "frame " << f << ", " << f - tap << " after the tap";
        EXPECT_LT(player.seen[fire].life, pressed.life) << "the shot hits him";
    }
    EXPECT_GT(DistanceXZ(player.seen[LockPlayer::kFire[1]].feet, player.seen[LockPlayer::kTap[1]].feet), 10.0f)
        << "ene_5 stepped aside while the lock held him";
    EXPECT_EQ(DistanceXZ(player.seen[LockPlayer::kFire[0]].feet, player.seen[LockPlayer::kTap[0]].feet), 0.0f)
        << "ene_1 stood";
}

} // namespace
} // namespace looptest
