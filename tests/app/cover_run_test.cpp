// A new game played with the keys at wave 01's barrier: the hero takes
// cover, slides along and on to the next crate, and leaves; at the
// barrier's crate A and D slide him the way the screen says, and a held
// aim let go ducks him back.
#include "loop_fixture.h"

#include <SDL.h>

#include <cstdlib>
#include <set>

#include "app/Startup.h"
#include "app/WinMain.h"
#include "hero_aim_view.h"
#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "world/Scenario.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/ParapetedController.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "world/CollisionManager.h"
#include "world/Parapet.h"

namespace looptest {
namespace {

// The crates in line south of the start: the first runs from z -910 to
// -1170 at x -770, its front toward -x; the second from -1180 on.
const D3DXVECTOR3 kBeforeTheCrates(-850.0f, 9.231f, -1040.0f);

// Return on the menu, Space through the comic and the flight; then the
// hero is put before the crates and the keys go step by step, each step
// waiting for what the player would wait for.
class CoverPlayer : public NewGamePlayer {
public:

    void UpdateFrame(float dt) override
    {
        ++frames;
        ++inStep;
        std::set<int> down;
        if (frames == 2 || frames == 4)
            down.insert(DIK_SPACE);
        CPlayer* hero = getPlayer();
        switch (step) {
        case 0:
            if (frames >= 14) {
                // Looking at the first crate's front from 80 away; the
                // enemies hold still so that nothing but the keys moves him.
                getCamera().LoadValues(kBeforeTheCrates.x, kBeforeTheCrates.y, kBeforeTheCrates.z, D3DDevice);
                hero->GetPosition().SetPosition(kBeforeTheCrates);
                getCollisionManager().setNewPlayerPosition(kBeforeTheCrates);
                hero->GetPosition().SetYaw(1.5707964f);
                getCamera().SetYaw(1.5707964f);
                getEnemyManager()->freezeIA();
                Next();
            }
            break;
        case 1:
            if (inStep == 4) {
                down.insert(DIK_SPACE);
                Next();
            }
            break;
        case 2:
            // Walking in, then crouched: the enter pose plays out.
            if (State() == 62 && inStep > 45) {
                crouchedAt = hero->GetPosition().GetPosition();
                crouchedYaw = hero->GetPosition().GetYaw();
                inCoverPose = hero->GetControllerSelector()->IsInCoverPose();
                Next();
            }
            break;
        case 3:
            down.insert(DIK_A);
            if (CoverName() == "p_b_s_A_B_033" && !chained) {
                chained = true;
                chainedAt = hero->GetPosition().GetPosition();
            }
            if (chained && hero->GetPosition().GetPosition().z < -1240.0f)
                Next();
            break;
        case 4:
            if (inStep > 3)
                down.insert(DIK_D);
            if (inStep == 20)
                Next();
            break;
        case 5:
            if (inStep == 5)
                down.insert(DIK_S);
            if (State() == 30)
                Next();
            break;
        default:
            break;
        }
        for (int key : {DIK_SPACE, DIK_A, DIK_S, DIK_D})
            keys.SetKey(key, down.count(key) > 0);
        CGameCalls::UpdateFrame(dt);

        // What the frame shows, read back after it.
        const int state = State();
        if (states.empty() || states.back() != state)
            states.push_back(state);
        if (step == 1)
            hintSeen = hintSeen || getGUI().parapetHint;
        if (step == 4 && inStep == 3)
            slidTo = hero->GetPosition().GetPosition();
        if (step == 5 && inStep == 1)
            backTo = hero->GetPosition().GetPosition();
        if (step == 6 && leftAt.x == 0.0f)
            leftAt = hero->GetPosition().GetPosition();
        if (step == 6 || frames > 900) {
            PushWindowClose();
        }
    }

    static int State() { return getPlayer()->GetController()->GetStateCode(); }
    static std::string CoverName()
    {
        const CControllerSelector* selector = getPlayer()->GetControllerSelector();
        CParapetedController* cover = selector->IsParapeted() ? selector->GetParapetedController() : nullptr;
        const TParapet* parapet = cover ? cover->GetCurrentParapet() : nullptr;
        return parapet ? parapet->name : "";
    }
    void Next()
    {
        ++step;
        inStep = 0;
    }

    // Only where things stand is read back, never a pixel: every tenth frame
    // is drawn, which keeps the drawing in the run at a tenth of its cost.
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 10 == 0)
            CGameCalls::RenderFrame(dt);
    }

    int frames = 0, step = 0, inStep = 0;
    bool hintSeen = false, chained = false, inCoverPose = false;
    std::vector<int> states;
    D3DXVECTOR3 crouchedAt{0, 0, 0}, chainedAt{0, 0, 0}, slidTo{0, 0, 0}, backTo{0, 0, 0}, leftAt{0, 0, 0};
    float crouchedYaw = 0.0f;
};

class CoverRunTest : public ShippedRun<CoverPlayer> {
protected:
    CoverRunTest() : ShippedRun("cover") {}
    void TearDown() override
    {
        getEnemyManager()->resumeIA();
        ShippedRun::TearDown();
    }
};

TEST_F(CoverRunTest, SpaceTakesCoverASlidesHimOnToTheNextCrateAndSLeaves)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.step, 6) << "stopped at step " << player.step << " after " << player.frames << " frames";

    EXPECT_TRUE(player.hintSeen) << "the cover hint shows before the crate";
    // He walked to the crate's line and crouched there, heading across it.
    EXPECT_NEAR(player.crouchedAt.x, -770.0f, 15.0f);
    EXPECT_NEAR(player.crouchedAt.z, -1040.0f, 15.0f);
    EXPECT_NEAR(WrapAngle(player.crouchedYaw), 1.5707964f, 0.01f);
    EXPECT_TRUE(player.inCoverPose) << "crouched: the enemies aim lower";
    // A: along the first crate and on along the barrier, on the same line.
    EXPECT_LT(player.chainedAt.z, -1140.0f);
    EXPECT_LT(player.slidTo.z, -1240.0f);
    EXPECT_NEAR(player.slidTo.x, -770.0f, 15.0f);
    // D: back the other way.
    EXPECT_GT(player.backTo.z, player.slidTo.z + 10.0f);
    const std::vector<int> wanted = {38, 62, 34, 62, 34, 62, 39, 30};
    const auto entered = std::find(player.states.begin(), player.states.end(), 38);
    const std::vector<int> seen(entered, player.states.end());
    EXPECT_EQ(seen, wanted);
    // Both crates given back (enemies may hold parapets of their own).
    int crates = 0;
    for (TParapet* p : getScenario()->GetParapets())
        if (p->name == "p_b_s_A_B_016" || p->name == "p_b_s_A_B_033") {
            ++crates;
            EXPECT_TRUE(p->free) << p->name;
        }
    EXPECT_EQ(crates, 2);
}

// Wave 01's barrier: its crate's cover on the start's side, and where the
// hero stands before it, looking at it.
const D3DXVECTOR3 kBarrierCover(-602.5f, 9.231f, -868.6f);
const D3DXVECTOR3 kBeforeTheBarrier(-631.7f, 9.231f, -895.9f);

// Return on the menu, Space through the comic and the flight; the hero put
// before the barrier's crate takes cover with Space, slides with A and then
// D, aims with the right button for a second and a half before letting go,
// and vaults the crate with Space. Each step waits out the time the player
// would.
class BarrierCoverPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        ++frames;
        ++inStep;
        held += dt;
        std::set<int> down;
        bool aim = false;
        if (frames == 2 || frames == 4)
            down.insert(DIK_SPACE);
        CPlayer* hero = getPlayer();
        switch (step) {
        case 0:
            if (frames >= 14) {
                const D3DXVECTOR3 at = kBeforeTheBarrier;
                const float yaw = YawFromDirection(kBarrierCover - at);
                getCamera().LoadValues(at.x, at.y, at.z, D3DDevice);
                hero->GetPosition().SetPosition(at);
                getCollisionManager().setNewPlayerPosition(at);
                hero->GetPosition().SetYaw(yaw);
                getCamera().SetYaw(yaw);
                getEnemyManager()->freezeIA();
                Next();
            }
            break;
        case 1:
            if (inStep == 4) {
                down.insert(DIK_SPACE);
                Next();
            }
            break;
        case 2:
            // Crouched, the enter pose played out and the view come round.
            if (State() == 62 && held > 1.5f) {
                coverAt = hero->GetPosition().GetPosition();
                Next();
            }
            break;
        case 3:
            down.insert(DIK_A);
            slidA = slidA || State() == 34;
            if (held > 0.5f) {
                afterA = ScreenXFromStart();
                Next();
            }
            break;
        case 4:
            down.insert(DIK_D);
            slidD = slidD || State() == 34;
            if (held > 0.8f) {
                afterD = ScreenXFromStart();
                Next();
            }
            break;
        case 5:
            if (held > 0.5f)
                Next();
            break;
        case 6:
            aim = true;
            if (held >= 1.5f) {
                aimed = State() == 48;
                Next();
            }
            break;
        case 7:
            if (held > 1.0f) {
                after = State();
                stillParapeted = hero->GetControllerSelector()->IsParapeted();
                Next();
            }
            break;
        case 8:
            if (inStep == 1)
                down.insert(DIK_SPACE);
            if (held > 2.5f) {
                vaultedTo = hero->GetPosition().GetPosition();
                vaulted = State();
                Next();
            }
            break;
        default:
            break;
        }
        for (int key : {DIK_SPACE, DIK_A, DIK_D})
            keys.SetKey(key, down.count(key) > 0);
        keys.SetButton(1, aim);
        CGameCalls::UpdateFrame(dt);
        if (step >= 3 && step < 6)
            stayedInCover = stayedInCover && hero->GetControllerSelector()->IsParapeted();
        if (step >= 6 && step < 8 && (states.empty() || states.back() != State()))
            states.push_back(State());
        if (step == 9 || frames > 900)
            PushWindowClose();
    }

    static int State() { return getPlayer()->GetController()->GetStateCode(); }
    // How far right of where he crouched the hero's body is drawn, in
    // pixels of the window, by the camera of this frame.
    float ScreenXFromStart() const
    {
        const D3DXVECTOR3 chest(0.0f, 40.0f, 0.0f);
        const D3DXVECTOR3 now = heroaim::OnScreen(getPlayer()->GetPosition().GetPosition() + chest, 320.0f, 240.0f);
        const D3DXVECTOR3 start = heroaim::OnScreen(coverAt + chest, 320.0f, 240.0f);
        return now.x - start.x;
    }
    void Next()
    {
        ++step;
        inStep = 0;
        held = 0.0f;
    }
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 10 == 0)
            CGameCalls::RenderFrame(dt);
    }

    int frames = 0, step = 0, inStep = 0, after = -1, vaulted = -1;
    float held = 0.0f, afterA = 0.0f, afterD = 0.0f;
    bool slidA = false, slidD = false, stayedInCover = true, aimed = false, stillParapeted = false;
    D3DXVECTOR3 coverAt{0, 0, 0}, vaultedTo{0, 0, 0};
    std::vector<int> states;
};

class BarrierCoverRunTest : public ShippedRun<BarrierCoverPlayer> {
protected:
    BarrierCoverRunTest() : ShippedRun("barrier_cover") {}
    void TearDown() override
    {
        getEnemyManager()->resumeIA();
        ShippedRun::TearDown();
    }
};

// The camera looks over him across the crate: A takes him along it to the
// screen's left, D back to its right, an aim held and let go there ducks
// him back behind it, and Space takes him over it.
TEST_F(BarrierCoverRunTest, AAndDSlideHimTheScreensWayALetGoAimDucksHimBackAndSpaceVaults)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.step, 9) << "stopped at step " << player.step << " after " << player.frames << " frames";
    EXPECT_TRUE(player.slidA && player.slidD) << "sliding along the crate";
    EXPECT_TRUE(player.stayedInCover);
    EXPECT_LT(player.afterA, -8.0f) << "A: to the screen's left";
    EXPECT_GT(player.afterD, player.afterA + 16.0f) << "D: back to its right";
    EXPECT_TRUE(player.aimed) << "aiming over the crate";
    EXPECT_EQ(player.after, 62) << "ducked back";
    EXPECT_TRUE(player.stillParapeted);
    EXPECT_EQ(player.states, (std::vector<int>{62, 48, 62})) << "never out in the open";
    // Space vaults the way he heads: over the crate, down clear of its far
    // side (40 past its middle), on his feet.
    const D3DXVECTOR3 crate(-551.3f, 0.0f, -820.9f);
    const D3DXVECTOR3 across = NormalizeVector(crate - D3DXVECTOR3(kBarrierCover.x, 0.0f, kBarrierCover.z));
    EXPECT_GT(DotProduct(player.vaultedTo - crate, across), 50.0f);
    EXPECT_NEAR(player.vaultedTo.y, 0.0f, 12.0f);
    EXPECT_EQ(player.vaulted, 30);
}

} // namespace
} // namespace looptest
