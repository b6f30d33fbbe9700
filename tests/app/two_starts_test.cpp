// The shipped game started twice in one process, a new game taken each time:
// the second start plays as the first did, from the same random numbers, with
// the same lamps swarming and the same first fight.
#include "loop_fixture.h"

#include <cstdlib>

#include "app/WinMain.h"
#include "platform/crt.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/ParticleManager.h"

namespace looptest {
namespace {

// What a new game shows a few frames in.
struct Seen {
    size_t lamps = 0, emitters = 0;
    int nextRandom = -1;
    char fight = 0;
    D3DXVECTOR3 eye{0.0f, 0.0f, 0.0f};
};

class WatchingPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        CGameCalls::UpdateFrame(dt);
        if (++frames != kLookAt)
            return;
        const CParticleManager& particles = getParticleManager();
        seen.lamps = particles.GetLampPositions().size();
        seen.emitters = particles.GetEmitters().size();
        seen.nextRandom = crt::rand();
        seen.fight = getPlayer()->CycleWeaponSlot();
        seen.eye = getCamera().GetPosition();
        getGUI().exitRequested = true;
    }

    static constexpr int kLookAt = 3;
    int frames = 0;
    Seen seen;
};

class TwoStarts : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        LinkShippedGame();
    }
    void TearDown() override
    {
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        ResetGameState();
    }
    static Seen Start()
    {
        ResetGameState();
        SteppingClock clock(0.001);
        WatchingPlayer player;
        platform::SetClock(&clock);
        platform::SetDirectInputSource(&player.keys);
        SetGameCalls(&player);
        EXPECT_EQ(VantorelMain(), 0);
        EXPECT_EQ(player.frames, WatchingPlayer::kLookAt) << "the new game ran";
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        return player.seen;
    }

    ScratchFolder folder{"two_starts"};
};

TEST_F(TwoStarts, TheSecondPlaysAsTheFirst)
{
    const Seen first = Start();
    const Seen second = Start();
    EXPECT_GT(first.lamps, 10u) << "the harbour's street lamps";
    EXPECT_EQ(second.lamps, first.lamps) << "each lamp handed over once";
    EXPECT_EQ(second.emitters, first.emitters) << "the ambient smoke and the mosquitoes at each lamp";
    EXPECT_EQ(second.nextRandom, first.nextRandom) << "the same random numbers";
    EXPECT_EQ(first.fight, '1');
    EXPECT_EQ(second.fight, '1') << "the first fight of a start is the first kind";
    // The camera swings in from a new camera's heading, not the first game's.
    const D3DXVECTOR3 apart = second.eye - first.eye;
    EXPECT_LT(D3DXVec3Length(&apart), 0.01f) << "the camera frames the hero as at the first start";
}

} // namespace
} // namespace looptest
