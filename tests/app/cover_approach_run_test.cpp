// The shipped game played with the keys at crates and walls of both levels:
// walking up to one from any open side shows the cover hint, Space walks the
// hero to it and he hides there, his back to it, and S gets him out again.
// On the island he then aims, and his gun is where his shot goes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/Startup.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "enemies/EnemyManager.h"
#include "hero_aim_view.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/ParapetedController.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "world/CollisionManager.h"
#include "world/Parapet.h"
#include "world/Scenario.h"

namespace {

constexpr float kApproachFrame = 1.0f / 30.0f;
constexpr float kApproachDegree = 0.017453292f;

// A face of a crate or wall: the solid's middle on the ground, the way the
// face looks (yaw, degrees) and how far it stands from the middle.
struct CoverFace {
    const char* what;
    D3DXVECTOR3 middle;
    float outward;
    float depth;
    bool high;
};

class CoverApproachRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        // The shipped data through links: the run's log stays in a folder of its own.
        m_Folder = std::make_unique<shippedgame::LinkedFolder>();
        platform::SetDirectInputSource(&m_Input);
        m_Started = shippedgame::Start(kWidth, kHeight);
    }
    void TearDown() override
    {
        if (getEnemyManager())
            getEnemyManager()->resumeIA();
        shippedgame::Stop();
        platform::SetDirectInputSource(nullptr);
        m_Folder.reset();
    }

    void Enter(const char* level)
    {
        shippedgame::EnterLevel(level);
        SetFocus(MainWindow);
        // The soldiers hold still: this is about the hero and the crates.
        getEnemyManager()->freezeIA();
    }

    // Frames as the game plays them, nothing drawn; stops early when done.
    void Play(int frames, const std::function<void(int)>& input, const std::function<bool()>& done = nullptr)
    {
        for (int i = 0; i < frames; ++i) {
            m_Input = platform::FakeDirectInput();
            input(i);
            getPlayer()->SetLife(350);
            GetGameCalls().UpdateFrame(kApproachFrame);
            if (done && done())
                return;
        }
    }

    static int State() { return getPlayer()->GetController()->GetStateCode(); }

    // How many pixels of the cover hint's place under the weapon box the hint
    // changes: the frame drawn once as the game left it, once more with the
    // hint's flag (which a drawn frame clears) down.
    int HintPixels()
    {
        std::vector<D3DCOLOR> with, without;
        RenderFrame(kApproachFrame);
        devicetest::ReadBackBuffer(D3DDevice, &with);
        RenderFrame(kApproachFrame);
        devicetest::ReadBackBuffer(D3DDevice, &without);
        int changed = 0;
        for (int y = int(0.22f * kHeight); y < int(0.29f * kHeight); ++y)
            for (int x = int(0.78f * kWidth); x < int(0.93f * kWidth); ++x) {
                const D3DCOLOR a = with[std::size_t(y) * kWidth + x], b = without[std::size_t(y) * kWidth + x];
                int most = 0;
                for (int shift : {0, 8, 16})
                    most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
                changed += most > 40;
            }
        return changed;
    }

    // He stands `distance` out from the face, looking at it, and the game
    // plays three frames; what is given back tells how far out he is then.
    std::function<float()> StandFacing(const CoverFace& face, float distance)
    {
        const float yaw = face.outward * kApproachDegree;
        const D3DXVECTOR3 out(std::sin(yaw), 0.0f, std::cos(yaw));
        const float facing = WrapAngle(yaw + 3.1415927f);
        D3DXVECTOR3 start = face.middle + out * (face.depth + distance);
        start.y = face.middle.y + 9.231f;
        getPlayer()->GetPosition().SetPosition(start);
        getCollisionManager().setNewPlayerPosition(start);
        getPlayer()->GetPosition().SetYaw(facing);
        getCamera().SetYaw(facing);
        getCamera().CLocation::SetYaw(facing);
        Play(3, [](int) {});
        const D3DXVECTOR3 middle = face.middle;
        const float depth = face.depth;
        return [out, middle, depth] {
            const D3DXVECTOR3 d = getPlayer()->GetPosition().GetPosition() - middle;
            return d.x * out.x + d.z * out.z - depth;
        };
    }

    // From 150 out in the open, the player turns to the face and walks up to
    // it with W, sees the hint, presses Space and waits, then S.
    void Approach(const CoverFace& face)
    {
        SCOPED_TRACE(face.what);
        const float yaw = face.outward * kApproachDegree;
        const auto outAt = StandFacing(face, 180.0f);
        ASSERT_EQ(State(), 30);

        Play(40, [&](int) { m_Input.SetKey(DIK_W, true); }, [&] { return outAt() < 75.0f; });
        Play(3, [](int) {});
        EXPECT_LT(outAt(), 90.0f) << "he walked up to it";
        EXPECT_GT(HintPixels(), 40) << "the hint shows";

        Play(60, [&](int i) { if (i == 0) m_Input.SetKey(DIK_SPACE, true); }, [] { return State() == 62; });
        ASSERT_EQ(State(), 62) << "Space took cover, and he settled";
        const CControllerSelector* selector = getPlayer()->GetControllerSelector();
        const TParapet* cover = selector->GetParapetedController()->GetCurrentParapet();
        ASSERT_NE(cover, nullptr);
        EXPECT_EQ(cover->high, face.high) << cover->name;
        // The parapet along this face, as close as its line, his heading
        // across it (his pose turns his back to it).
        EXPECT_NEAR(std::fabs(AngleDifference(cover->transform.GetYaw(), yaw)), 0.0f, 0.05f) << cover->name;
        EXPECT_NEAR(outAt(), 30.0f, 16.0f);
        EXPECT_NEAR(std::fabs(AngleDifference(getPlayer()->GetPosition().GetYaw(), yaw)), 3.1415927f, 0.05f);

        // S is taken once he has settled: pressed again until it is.
        Play(60, [&](int i) { m_Input.SetKey(DIK_S, i % 10 == 0); }, [] { return State() == 30; });
        EXPECT_EQ(State(), 30) << "S got him out";
        EXPECT_TRUE(cover->free);
    }

    // From 150 out he walks into the face with W until it stops him, closer
    // to it than where he would crouch; the hint shows there all the same,
    // and Space puts him behind it.
    void WalkInto(const CoverFace& face)
    {
        SCOPED_TRACE(std::string(face.what) + ", walked into");
        const float yaw = face.outward * kApproachDegree;
        const auto outAt = StandFacing(face, 150.0f);
        float last = outAt();
        int still = 0;
        Play(90, [&](int) { m_Input.SetKey(DIK_W, true); }, [&] {
            const float now = outAt();
            still = last - now < 0.2f ? still + 1 : 0;
            last = now;
            return still >= 4;
        });
        ASSERT_GE(still, 4) << "the face stopped him";
        EXPECT_LT(outAt(), 25.0f) << "he stands against it";
        EXPECT_GT(HintPixels(), 40) << "the hint shows, W still held";
        Play(3, [](int) {});
        EXPECT_GT(HintPixels(), 40) << "the hint shows, W let go";
        Play(60, [&](int i) { if (i == 0) m_Input.SetKey(DIK_SPACE, true); }, [] { return State() == 62; });
        ASSERT_EQ(State(), 62) << "Space took cover";
        const TParapet* cover = getPlayer()->GetControllerSelector()->GetParapetedController()->GetCurrentParapet();
        ASSERT_NE(cover, nullptr);
        EXPECT_NEAR(std::fabs(AngleDifference(cover->transform.GetYaw(), yaw)), 0.0f, 0.05f) << cover->name;
        Play(60, [&](int i) { m_Input.SetKey(DIK_S, i % 10 == 0); }, [] { return State() == 30; });
        EXPECT_EQ(State(), 30) << "S got him out";
    }

    static constexpr int kWidth = 320, kHeight = 240;
    platform::FakeDirectInput m_Input;
    std::unique_ptr<shippedgame::LinkedFolder> m_Folder;
    bool m_Started = false;
};

TEST_F(CoverApproachRun, TheHintShowsAndSpaceTakesCoverFromEachOpenSideInBothLevels)
{
    ASSERT_TRUE(m_Started) << "no device";
    Enter("hangares");
    // Round the first checkpoint: a concrete block's back, a crate turned
    // askew, a stack of crates met straight along an axis, and wave 01's
    // barrier from the start's side.
    for (const CoverFace& face : {CoverFace{"manhattans6, its back", {-899.3f, 0, -944.4f}, -72.0f, 30.0f, false},
                             CoverFace{"cajas3, the start's side", {-1648.6f, 0, -728.1f}, 120.0f, 40.0f, false},
                             CoverFace{"pila_cajas_P, along z", {-1680.0f, 0, -390.0f}, 0.0f, 90.0f, false},
                             CoverFace{"barricada_wave01_2", {-710.0f, 0, -1040.0f}, -90.0f, 30.0f, false}})
        Approach(face);
    // Walked into, W held until the face stops him: a concrete block and a crate.
    WalkInto({"manhattans6, its back", {-899.3f, 0, -944.4f}, -72.0f, 30.0f, false});
    WalkInto({"cajas3, the start's side", {-1648.6f, 0, -728.1f}, 120.0f, 40.0f, false});

    Enter("isla");
    // The dockers' scene puts him behind the island's 22nd parapet by number.
    ASSERT_GT(getScenario()->GetParapets().size(), 21u);
    EXPECT_EQ(getScenario()->GetParapets()[21]->name, "p_b_n_B_P_121");
    for (const CoverFace& face : {CoverFace{"isla_cajas_01, the landing's side", {1709.9f, 0, -700.9f}, -100.0f, 40.0f, false},
                             CoverFace{"isla_cajas_ayuntamiento_03", {-229.2f, 0, -1362.5f}, 7.0f, 50.0f, false},
                             CoverFace{"isla_paredes01, its back", {-800.0f, 0, -1300.0f}, 180.0f, 25.0f, true}})
        Approach(face);

    // Out in the open again, aimed with the right button, his gun arm is
    // raised toward the crosshair and the gun points where the shot goes.
    const D3DXVECTOR3 open(1490.0f, 9.231f, -739.0f);
    getPlayer()->GetPosition().SetPosition(open);
    getCollisionManager().setNewPlayerPosition(open);
    getPlayer()->GetPosition().SetYaw(-1.745f);
    getCamera().SetYaw(-1.745f);
    getCamera().CLocation::SetYaw(-1.745f);
    Play(15, [](int) {});
    Play(20, [&](int) { m_Input.SetButton(1, true); });
    ASSERT_EQ(State(), 52);
    const heroaim::AimView aim = heroaim::ReadAimView(kWidth, kHeight);
    EXPECT_LT(aim.barrelOffShot, 8.0f);
    EXPECT_GT(aim.raised, 0.8f);
    EXPECT_GT(aim.gunRightOfSpine, 0.05f);
}

} // namespace
