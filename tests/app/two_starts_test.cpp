// The shipped game started twice in one process, a new game taken each time:
// the second start plays as the first did, from the same random numbers, with
// the same lamps swarming, the same first fight and the same first restart.
#include "loop_fixture.h"

#include <cstdlib>

#include "app/LevelRestart.h"
#include "app/WinMain.h"
#include "platform/crt.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "player/Weapon.h"
#include "scene/ParticleManager.h"
#include "world/CollisionManager.h"

#include <BulletDynamics/Dynamics/btDiscreteDynamicsWorld.h>

namespace looptest {
namespace {

// What a new game shows a few frames in.
struct StartSeen {
    size_t lamps = 0, emitters = 0;
    int nextRandom = -1;
    char fight = 0;
    D3DXVECTOR3 eye{0.0f, 0.0f, 0.0f};
    // What the hero holds after a restart at the first checkpoint.
    bool thompson = false, shotgun = false;
    int pistolClip = -1, pistolAmmo = -1;
    // The physics world as the first frame of the new game finds it: game
    // time left over from steps before, and the bodies in it.
    float leftoverStepTime = -1.0f;
    int physicsObjects = -1;
    bool boxesDrawable = false; // the collision boxes' wireframe can be shown
};

// The world's game time not yet stepped, which only the world itself keeps.
struct StepClockOf : btDiscreteDynamicsWorld {
    static float Of(const btDiscreteDynamicsWorld& world) { return world.*(&StepClockOf::m_localTime); }
};

class WatchingPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        if (frames == 0) {
            btDiscreteDynamicsWorld* world = getCollisionManager().GetDynamicsWorld();
            seen.leftoverStepTime = StepClockOf::Of(*world);
            seen.physicsObjects = world->getNumCollisionObjects();
            seen.boxesDrawable = world->getDebugDrawer() != nullptr;
        }
        CGameCalls::UpdateFrame(dt);
        if (++frames != kLookAt)
            return;
        const CParticleManager& particles = getParticleManager();
        seen.lamps = particles.GetLampPositions().size();
        seen.emitters = particles.GetEmitters().size();
        seen.nextRandom = crt::rand();
        seen.fight = getPlayer()->CycleWeaponSlot();
        seen.eye = getCamera().GetPosition();
        // Killed before any checkpoint was reached, and revived.
        CPlayer* hero = getPlayer();
        RestartLevel(false);
        seen.thompson = hero->HasThompson();
        seen.shotgun = hero->HasShotgun();
        seen.pistolClip = hero->GetGun()->GetCurrentClip();
        seen.pistolAmmo = hero->GetGun()->GetAmmo();
        // Then a checkpoint kept with both weapons picked up and the pistol
        // nearly spent: this start's alone.
        hero->SetHasThompson(true);
        hero->SetHasShotgun(true);
        hero->GetGun()->SetClipAndAmmo(2, 40);
        hero->storeForCHECKPOINT();
        getGUI().exitRequested = true;
    }

    static constexpr int kLookAt = 3;
    int frames = 0;
    StartSeen seen;
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
    static StartSeen Start()
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
    const StartSeen first = Start();
    const StartSeen second = Start();
    EXPECT_GT(first.lamps, 10u) << "the harbour's street lamps";
    EXPECT_EQ(second.lamps, first.lamps) << "each lamp handed over once";
    EXPECT_EQ(second.emitters, first.emitters) << "the ambient smoke and the mosquitoes at each lamp";
    EXPECT_EQ(second.nextRandom, first.nextRandom) << "the same random numbers";
    EXPECT_EQ(first.fight, '1');
    EXPECT_EQ(second.fight, '1') << "the first fight of a start is the first kind";
    // The camera swings in from a new camera's heading, not the first game's.
    const D3DXVECTOR3 apart = second.eye - first.eye;
    EXPECT_LT(D3DXVec3Length(&apart), 0.01f) << "the camera frames the hero as at the first start";
    EXPECT_EQ(first.leftoverStepTime, 0.0f);
    EXPECT_EQ(second.leftoverStepTime, 0.0f) << "the second start steps a world of its own";
    EXPECT_GT(first.physicsObjects, 100);
    EXPECT_EQ(second.physicsObjects, first.physicsObjects);
    EXPECT_TRUE(first.boxesDrawable);
    EXPECT_TRUE(second.boxesDrawable) << "the new world draws its boxes too";
    EXPECT_FALSE(first.thompson);
    EXPECT_FALSE(first.shotgun);
    EXPECT_EQ(first.pistolClip, 6) << "a fresh clip";
    EXPECT_EQ(first.pistolAmmo, 26);
    EXPECT_FALSE(second.thompson) << "nothing the first start kept at a checkpoint";
    EXPECT_FALSE(second.shotgun);
    EXPECT_EQ(second.pistolClip, first.pistolClip);
    EXPECT_EQ(second.pistolAmmo, first.pistolAmmo);
}

} // namespace
} // namespace looptest
