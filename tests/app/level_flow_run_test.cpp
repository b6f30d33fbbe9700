// A new game played with held keys: after the intro the hero walks into the
// first trigger volume and the first wave wakes, as the game's state shows it.
#include "loop_fixture.h"

#include <SDL.h>

#include <set>

#include "app/WinMain.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight, then W and D
// held (the first checkpoint faces the yard to the north-east: W and D
// together walk him east, towards the first barrier); what the game shows
// is read after every frame.
class WalkingPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        const int frame = frames + 1;
        keys.SetKey(DIK_SPACE, frame == 2 || frame == 4);
        keys.SetKey(DIK_W, frame >= walkFrom && frame <= walkTo);
        if (frame == turnAt) {
            // Past the first volume he is put south of the crate rows, facing
            // east along the way to the barrier, as the restart places him.
            const D3DXVECTOR3 south(-600.0f, 9.231f, -950.0f);
            getPlayer()->GetPosition().SetPosition(south);
            getCollisionManager().setNewPlayerPosition(south);
            getCamera().SetYaw(kEast);
            getPlayer()->GetPosition().SetYaw(kEast);
        }
        CGameCalls::UpdateFrame(dt);
        ++frames;
        if (frames == walkFrom - 1) {
            waveBefore = getEnemyManager()->GetCurrentWave();
            missionBefore = getGUI().currentMission;
        }
        if (wokenAt == 0 && getEnemyManager()->GetCurrentWave() == "wave_01") {
            wokenAt = frames;
            heroWhenWoken = getPlayer()->GetPosition().GetPosition();
        }
        if (frames == lookAt) {
            wave = getEnemyManager()->GetCurrentWave();
            room = getEnemyManager()->GetCurrentRoom();
            letter = getEnemyManager()->GetZoneLetter();
            waveCode = getGSF().waveCode;
            triggerZone = getTriggerManager().currentZone;
            volumeOn = getTriggerManager().getEnabledTrigger("trg_01");
            tracked = getEnemyManager()->GetTrackedCount();
        }
        if (frames == closeAfter) {
            heroAtEnd = getPlayer()->GetPosition().GetPosition();
            waveAtEnd = getEnemyManager()->GetCurrentWave();
            barrierWaits = getTriggerManager().getEnabledTrigger("OnEnter_trg_031");
            PushWindowClose();
        }
    }

    int frames = 0;
    // He walks through the first volume (looked at while he is in it) on to
    // the barrier's, short of the next wave's.
    int walkFrom = 12, turnAt = 48, walkTo = 78, lookAt = 46, closeAfter = 90;
    static constexpr float kEast = 1.5707964f;
    int wokenAt = 0, missionBefore = 0, waveCode = 0, triggerZone = 0, tracked = 0;
    std::string waveBefore, wave, room, waveAtEnd;
    bool barrierWaits = false;
    D3DXVECTOR3 heroAtEnd{0, 0, 0};
    char letter = 0;
    bool volumeOn = true;
    D3DXVECTOR3 heroWhenWoken{0, 0, 0};
};

class LevelFlowRun : public ShippedRun<WalkingPlayer> {
protected:
    LevelFlowRun() : ShippedRun("levelflow") {}
    void SetUp() override
    {
        ShippedRun::SetUp();
        getTriggerManager().checkpoint = 1;
    }
};

TEST_F(LevelFlowRun, AfterTheIntroTheFirstVolumeWakesTheFirstWave)
{
    ASSERT_EQ(VantorelMain(), 0);

    // The intro is over and nothing has woken yet when he starts walking.
    EXPECT_EQ(player.missionBefore, 1) << "the first mission follows the intro flight";
    EXPECT_EQ(player.waveBefore, "wave_00");
    ASSERT_GT(player.wokenAt, player.walkFrom) << "walking east wakes wave 01";
    // Woken where the volume stands, not before.
    EXPECT_GE(player.heroWhenWoken.x, -951.0f);
    EXPECT_LE(player.heroWhenWoken.x, -750.0f);
    EXPECT_EQ(player.room, "room01");
    EXPECT_EQ(player.wave, "wave_01");
    EXPECT_EQ(player.letter, 'A');
    EXPECT_EQ(player.waveCode, 15) << "wave 01 with enemies standing";
    EXPECT_EQ(player.triggerZone, 1);
    EXPECT_FALSE(player.volumeOn) << "the volume wakes its wave once";
    EXPECT_EQ(player.tracked, 3) << "ene_1, ene_5 and ene_6 are in play";

    // Past the barrier with wave 01 standing: wave 02 waits for it.
    ASSERT_GE(player.heroAtEnd.x, -350.0f);
    ASSERT_LE(player.heroAtEnd.x, -150.0f);
    EXPECT_EQ(player.waveAtEnd, "wave_01");
    EXPECT_TRUE(player.barrierWaits);
}

} // namespace
} // namespace looptest
