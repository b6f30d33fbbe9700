// Wave 01's yard shot at as a player shoots: the right button held, the
// mouse steering the crosshair until it lies where he wants it, then the
// left button. Where the crosshair shows red on a soldier, the pistol's
// bullet hits him; the shotgun's streaks end where its pellets strike; and a
// shot leaves its mark only on something drawn, never in the air. A streak
// flying across the view, as near as 60 units beside the eye or as far as
// 400, shows as a thin line, never as a bar.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/MainConfig.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "hero_aim_view.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "player/Weapon.h"
#include "scene/Camera.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"

namespace {

constexpr float kAimFrame = 1.0f / 30.0f;

class AimedShotsRun : public ::testing::Test {
protected:
    // Where no pixel is read, a small window.
    explicit AimedShotsRun(int width = 320, int height = 240) : m_Width(width), m_Height(height) {}
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        m_Folder = std::make_unique<shippedgame::LinkedFolder>();
        platform::SetDirectInputSource(&m_Input);
        m_Started = shippedgame::Start(m_Width, m_Height);
        if (!m_Started)
            return;
        shippedgame::EnterLevel("hangares");
        SetFocus(MainWindow);
        getScriptHost().RunCommand("Zone room01 wave_01");
        Play(3);
        // They stand where the wave puts them: this is about the aim.
        getEnemyManager()->freezeIA();
    }
    void TearDown() override
    {
        getProjectileManager().Reset();
        if (getEnemyManager())
            getEnemyManager()->resumeIA();
        shippedgame::Stop();
        platform::SetDirectInputSource(nullptr);
        m_Folder.reset();
    }

    // Frames as the game plays them, up to the count or until `done`; the
    // crosshair's colour is what the HUD would draw over the frame just played.
    void Play(int frames, const std::function<void(int)>& input = nullptr,
              const std::function<bool()>& done = nullptr)
    {
        for (int i = 0; i < frames && !(done && done()); ++i) {
            m_Input = platform::FakeDirectInput();
            if (input)
                input(i);
            getPlayer()->SetLife(350);
            GetGameCalls().UpdateFrame(kAimFrame);
            m_Red = getCollisionManager().RayTestProps() == 3;

        }
    }

    // The point's offsets from the line the hero's shot takes: across it
    // (positive to the left) and above it.
    static void Off(const D3DXVECTOR3& point, float* across, float* above)
    {
        const CCamera& camera = getCamera();
        const D3DXVECTOR3 from = camera.GetLookAt();
        const D3DXVECTOR3 way = NormalizeVector(from - camera.GetPosition());
        const D3DXVECTOR3 to = point - from;
        const D3DXVECTOR3 off = to - way * DotProduct(to, way);
        *across = off.x * way.z - off.z * way.x;
        *above = off.y;
    }

    // Right button held, the mouse brings the crosshair within `tolerance`
    // of the point and, once it has stayed there two frames (red, when
    // `red`), the left button fires once. False when it never got there.
    bool AimAndFire(const std::function<D3DXVECTOR3()>& point, float tolerance, bool red,
                    const std::function<void()>& beforeFiring = nullptr)
    {
        bool fired = false;
        int steady = 0;
        Play(120, [&](int frame) {
            m_Input.SetButton(1, true);
            if (fired || frame < 15)
                return;
            float across = 0.0f, above = 0.0f;
            Off(point(), &across, &above);
            if (std::fabs(across) < tolerance && std::fabs(above) < tolerance) {
                if ((m_Red || !red) && ++steady >= 2) {
                    if (beforeFiring)
                        beforeFiring();
                    m_Input.SetButton(0, true);
                    fired = true;
                }
                return;
            }
            steady = 0;
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            const int xStep = std::fabs(across) > 10.0f ? 3 : 1, yStep = std::fabs(above) > 10.0f ? 3 : 1;
            if (std::fabs(across) >= tolerance)
                motion.motion.xrel = across > 0 ? -xStep : xStep;
            if (std::fabs(above) >= tolerance)
                motion.motion.yrel = above > 0 ? -yStep : yStep;
            SDL_PushEvent(&motion);
        }, [&] { return fired; });
        return fired;
    }

    // The hero `back` short of the point on the way `yaw` looks, turned a
    // little off it: the mouse brings the aim round.
    static void StandBefore(const D3DXVECTOR3& point, float back, float yaw)
    {
        const D3DXVECTOR3 at(point.x - std::sin(yaw) * back, 9.231f, point.z - std::cos(yaw) * back);
        getPlayer()->GetPosition().SetPosition(at);
        getCollisionManager().setNewPlayerPosition(at);
        getPlayer()->GetPosition().SetYaw(yaw + 0.15f);
        getCamera().SetYaw(yaw + 0.15f);
        getCamera().CLocation::SetYaw(yaw + 0.15f);
    }

    void Arm(IWeapon* weapon)
    {
        getPlayer()->SetCurrentWeapon(weapon);
        weapon->SetClipAndAmmo(weapon->GetClipSize(), 30);
        Play(30);
    }

    std::vector<D3DCOLOR> AimFrame() const
    {
        std::vector<D3DCOLOR> pixels;
        RenderFrame(kAimFrame);
        devicetest::ReadBackBuffer(D3DDevice, &pixels);
        return pixels;
    }

    // How many pixels of the rectangle differ between two frames.
    int Changed(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b, int left, int top, int right,
                int bottom) const
    {
        int changed = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                const D3DCOLOR p = a[std::size_t(y) * m_Width + x], q = b[std::size_t(y) * m_Width + x];
                int most = 0;
                for (int shift : {0, 8, 16})
                    most = std::max(most, std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)));
                changed += most > 24;
            }
        return changed;
    }

    const int m_Width, m_Height;
    std::unique_ptr<shippedgame::LinkedFolder> m_Folder;
    platform::FakeDirectInput m_Input;
    bool m_Started = false;
    bool m_Red = false;
};

// Streaks and marks are read from frames of the shipped window's size.
class ShotFramesRun : public AimedShotsRun {
protected:
    ShotFramesRun() : AimedShotsRun(800, 600) {}
};

struct Stand {
    const char* soldier;
    float distance, yaw, height;
};

// Ten pistol shots at the three soldiers from 150 to 580 away, the line to
// each open, at his chest or belly; then a shotgun blast at one 150
// away: it hurts him, and each pellet's streak runs from the gun to where
// that pellet struck, round the crosshair, not off to one side of it.
TEST_F(AimedShotsRun, WithTheCrosshairRedOnASoldierTheShotsLandOnHim)
{
    ASSERT_TRUE(m_Started) << "no device";
    const Stand stands[] = {
        {"ene_1", 150, -0.6f, 55}, {"ene_1", 300, 2.0f, 45}, {"ene_1", 400, 2.5f, 62}, {"ene_1", 560, 2.8f, 55},
        {"ene_6", 150, -0.5f, 50}, {"ene_6", 320, 2.0f, 60}, {"ene_6", 500, -2.4f, 60},
        {"ene_5", 250, 2.2f, 55},  {"ene_5", 350, -1.0f, 45}, {"ene_5", 560, 1.5f, 60},
    };
    Arm(getPlayer()->GetGun());
    int red = 0, hits = 0;
    for (const Stand& s : stands) {
        SCOPED_TRACE(std::string(s.soldier) + " from " + std::to_string(int(s.distance)));
        CEnemy* soldier = getEnemyManager()->getThisBotOfCurrentWave(s.soldier);
        ASSERT_NE(soldier, nullptr);
        soldier->SetLife(100);
        const D3DXVECTOR3 chest = soldier->GetPosition().GetPosition() + D3DXVECTOR3(0, s.height, 0);
        StandBefore(chest, s.distance, s.yaw);
        const D3DXVECTOR3 eye = getPlayer()->GetPosition().GetPosition() + D3DXVECTOR3(0, 62, 0);
        ASSERT_FALSE(getCollisionManager().CastRay(eye, chest).hit) << "he stands in the open";
        getPlayer()->GetGun()->SetClipAndAmmo(6, 30);
        const bool fired = AimAndFire([&] { return chest; }, 2.0f, true);
        red += fired;
        hits += fired && soldier->GetLife() < 100;
    }
    EXPECT_EQ(red, 10) << "the crosshair turned red on him every time";
    EXPECT_GE(hits, 9) << "and the pistol's shot hit him";

    getPlayer()->SetHasShotgun(true);
    Arm(getPlayer()->GetShotgun());
    CEnemy* soldier = getEnemyManager()->getThisBotOfCurrentWave("ene_1");
    ASSERT_NE(soldier, nullptr);
    soldier->SetLife(100);
    const D3DXVECTOR3 chest = soldier->GetPosition().GetPosition() + D3DXVECTOR3(0, 55, 0);
    StandBefore(chest, 150, -0.6f);
    Play(5);
    getProjectileManager().Reset();
    ASSERT_TRUE(AimAndFire([&] { return chest; }, 2.0f, true));
    Play(2, [&](int) { m_Input.SetButton(1, true); });
    EXPECT_LT(soldier->GetLife(), 100) << "the blast hurt him";
    const std::vector<Projectile> pellets = getProjectileManager().GetPellets();
    ASSERT_EQ(pellets.size(), 8u);
    int struck = 0;
    for (const Projectile& p : pellets) {
        if (!p.hasTarget)
            continue;
        ++struck;
        const D3DXVECTOR3 from = p.transform.GetPosition();
        const D3DXVECTOR3 heading = DirectionFromYawPitch(p.transform.GetYaw(), p.transform.GetPitch());
        const D3DXVECTOR3 end = from + heading * VectorLength(p.target - from);
        EXPECT_LT(VectorLength(end - p.target), 3.0f) << "its streak ends where it struck";
        const D3DXVECTOR3 seen = heroaim::OnScreen(p.target, m_Width, m_Height);
        EXPECT_LT(std::hypot(seen.x - m_Width / 2, seen.y - m_Height / 2), m_Width * 0.1f)
            << "round the crosshair";
    }
    EXPECT_GE(struck, 6);
}

// Fired at the barrier's crate the bullet marks it; fired over the quay's
// edge at the sky, it leaves nothing in the air where the level's unseen
// rim stands.
TEST_F(ShotFramesRun, AShotLeavesItsMarkOnlyOnWhatIsDrawn)
{
    ASSERT_TRUE(m_Started) << "no device";
    Arm(getPlayer()->GetGun());
    const struct {
        const char* what;
        D3DXVECTOR3 point;
        float back, yaw;
        bool marked;
    } shots[] = {
        {"the barrier's crate", {-740.0f, 60.0f, -1300.0f}, 200.0f, 1.5707964f, true},
        {"the sky over the quay's edge", {700.0f, 100.0f, -2700.0f}, 400.0f, 3.1415927f, false},
    };
    for (const auto& shot : shots) {
        SCOPED_TRACE(shot.what);
        StandBefore(shot.point, shot.back, shot.yaw);
        getPlayer()->GetGun()->SetClipAndAmmo(6, 30);
        const D3DXVECTOR3 point = shot.point;
        ASSERT_TRUE(AimAndFire([&] { return point; }, 2.0f, false));
        Play(1, [&](int) { m_Input.SetButton(1, true); });
        const std::vector<D3DCOLOR> with = AimFrame();
        setMainConfig("particlesRender", false);
        // At and right of the crosshair: the muzzle's flash shows left of it.
        const int marks =
            Changed(AimFrame(), with, m_Width / 2 - 4, m_Height * 3 / 8, m_Width * 5 / 8, m_Height * 5 / 8);
        setMainConfig("particlesRender", true);
        if (shot.marked)
            EXPECT_GT(marks, 8) << "sparks show on it";
        else
            EXPECT_EQ(marks, 0) << "nothing hangs in the air";
        Play(60);
    }
}

TEST_F(ShotFramesRun, AStreakPassingBesideTheEyeIsALineAFewPixelsWide)
{
    ASSERT_TRUE(m_Started) << "no device";
    const CCamera& camera = getCamera();
    const D3DXVECTOR3 eye = camera.GetPosition();
    D3DXVECTOR3 ahead = camera.GetLookAt() - eye;
    ahead.y = 0.0f;
    ahead = NormalizeVector(ahead);
    const D3DXVECTOR3 side(-ahead.z, 0.0f, ahead.x);
    getProjectileManager().Reset();
    const std::vector<D3DCOLOR> without = AimFrame();
    for (float beside : {60.0f, 150.0f, 400.0f}) {
        SCOPED_TRACE(beside);
        // Across the view over the hero's head, the middle of its streak
        // ahead of the eye: a streak runs 150 ahead of its bullet.
        const D3DXVECTOR3 middle = eye + ahead * beside + D3DXVECTOR3(0.0f, beside * 0.3f, 0.0f);
        Projectile shot;
        shot.transform.SetPosition(middle - side * 150.0f);
        shot.transform.SetYaw(YawFromDirection(side));
        getProjectileManager().Reset();
        getProjectileManager().Add(shot);
        const int changed = Changed(AimFrame(), without, 0, 0, m_Width, m_Height);
        // Its length on the screen, between its ends kept inside the frame.
        const float a = heroaim::OnScreen(middle - side * 50.0f, m_Width, m_Height).x;
        const float b = heroaim::OnScreen(middle + side * 50.0f, m_Width, m_Height).x;
        const float length = std::fabs(std::clamp(a, 0.0f, float(m_Width)) - std::clamp(b, 0.0f, float(m_Width)));
        EXPECT_GT(length, 100.0f) << "it crosses the view";
        EXPECT_GT(changed, length * 0.5f) << "the streak shows";
        EXPECT_LT(changed, length * 5.0f) << "no wider than a few pixels";
    }
}

} // namespace
