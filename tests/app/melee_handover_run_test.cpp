// A new game in the shipped harbour: a wave started from the console, one of
// its enemies brought up to the hero, and the fight it hands him.
#include "loop_fixture.h"

#include <SDL.h>

#include <cstdlib>
#include <map>

#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "platform/sdl_window.h"
#include "player/IController.h"
#include "player/Player.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight; then the
// console starts wave_01 and, a few frames on, its first enemy stands in
// front of the hero as if it had run up to him.
class HandOverPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        const int frame = frames + 1;
        keys.SetKey(DIK_SPACE, frame == 2 || frame == 4);
        if (frame == kZoneFrame)
            getScriptHost().RunCommand("Zone room01 wave_01");
        if (frame == kRunUpFrame) {
            hero = getPlayer()->GetPosition().GetPosition();
            getCollisionManager().setNewEnemyPosition("ene_5", hero + D3DXVECTOR3(0, 0, 110));
        }
        CGameCalls::UpdateFrame(dt);
        ++frames;
        if (frames >= kZoneFrame) {
            CEnemy* runner = getEnemyManager()->getThisBotOfCurrentWave("ene_5");
            CEnemy* other = getEnemyManager()->getThisBotOfCurrentWave("ene_6");
            IController* controller = getPlayer()->GetController();
            heroState[frames] = controller ? controller->GetStateCode() : -1;
            if (runner) {
                runnerState[frames] = runner->getIA()->GetState();
                gap[frames] = ManhattanDistanceXZ(runner->GetPosition().GetPosition(),
                                                   getPlayer()->GetPosition().GetPosition());
            }
            if (other)
                otherClock[frames] = other->getIA()->GetClock();
        }
        if (frames == kCloseAfter)
            PushWindowClose();
    }


    static constexpr int kZoneFrame = 8;
    static constexpr int kRunUpFrame = 11;
    static constexpr int kCloseAfter = 24;
    std::map<int, int> heroState, runnerState;
    std::map<int, float> gap, otherClock;
    D3DXVECTOR3 hero{0, 0, 0};
    int frames = 0;
};

class MeleeHandOverRun : public ShippedRun<HandOverPlayer> {
protected:
    MeleeHandOverRun() : ShippedRun("melee") {}
};

TEST_F(MeleeHandOverRun, AnEnemyThatReachesTheHeroFightsHimAndTheOthersStandFrozen)
{
    ASSERT_EQ(VantorelMain(), 0);
    const int last = HandOverPlayer::kCloseAfter;
    ASSERT_EQ(player.heroState.count(last), 1u);
    EXPECT_EQ(player.heroState[HandOverPlayer::kRunUpFrame - 1], 30) << "he stands, free";
    EXPECT_EQ(player.heroState[last], 43) << "the hero fights";
    EXPECT_EQ(player.runnerState[last], CIAEnemyCover::FIGHTING);
    EXPECT_GE(player.gap[last], 50.9f) << "set at fighting distance, a tenth of 110 at a time";
    EXPECT_LE(player.gap[last], 59.1f);
    // From the frame the fight began, the other enemy's clock stands still.
    int began = 0;
    for (const auto& [frame, state] : player.heroState)
        if (state == 43 && !began)
            began = frame;
    // The frame its body stood before him (the physics moves it there).
    EXPECT_GE(began, HandOverPlayer::kRunUpFrame);
    EXPECT_LE(began, HandOverPlayer::kRunUpFrame + 1);
    EXPECT_GT(player.otherClock[began - 1], 0.0f) << "it was running before";
    EXPECT_FLOAT_EQ(player.otherClock[last], player.otherClock[began]);
}

} // namespace
} // namespace looptest
