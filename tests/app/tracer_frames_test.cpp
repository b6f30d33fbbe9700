// Bullets' streaks in the shipped harbour, drawn into an 800 x 600 frame as
// the player sees it: one flying across the view as near as 60 units beside
// the eye, or as far as 400, shows as a thin line, never as a bar.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/FrameRender.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "enemies/EnemyManager.h"
#include "hero_aim_view.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "scene/Camera.h"

namespace {

constexpr int kFrameWidth = 800, kFrameHeight = 600;

class TracerFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        m_Folder = std::make_unique<shippedgame::LinkedFolder>();
        platform::SetDirectInputSource(&m_Input);
        m_Started = shippedgame::Start(kFrameWidth, kFrameHeight);
        if (!m_Started)
            return;
        shippedgame::EnterLevel("hangares");
        SetFocus(MainWindow);
        getEnemyManager()->freezeIA();
        for (int i = 0; i < 10; ++i)
            GetGameCalls().UpdateFrame(1.0f / 30.0f);
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

    static std::vector<D3DCOLOR> Frame()
    {
        std::vector<D3DCOLOR> pixels;
        RenderFrame(1.0f / 30.0f);
        devicetest::ReadBackBuffer(D3DDevice, &pixels);
        return pixels;
    }

    std::unique_ptr<shippedgame::LinkedFolder> m_Folder;
    platform::FakeDirectInput m_Input;
    bool m_Started = false;
};

// How many pixels differ between two frames.
int Changed(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b)
{
    int changed = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        int most = 0;
        for (int shift : {0, 8, 16})
            most = std::max(most, std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)));
        changed += most > 24;
    }
    return changed;
}

TEST_F(TracerFrames, AStreakPassingBesideTheEyeIsALineAFewPixelsWide)
{
    ASSERT_TRUE(m_Started) << "no device";
    const CCamera& camera = getCamera();
    const D3DXVECTOR3 eye = camera.GetPosition();
    D3DXVECTOR3 ahead = camera.GetLookAt() - eye;
    ahead.y = 0.0f;
    ahead = NormalizeVector(ahead);
    const D3DXVECTOR3 side(-ahead.z, 0.0f, ahead.x);
    getProjectileManager().Reset();
    const std::vector<D3DCOLOR> without = Frame();
    for (float beside : {60.0f, 150.0f, 400.0f}) {
        SCOPED_TRACE(beside);
        // Flying across the view over the hero's head, the middle of its
        // streak ahead of the eye: a streak runs 150 ahead of its bullet.
        const D3DXVECTOR3 middle = eye + ahead * beside + D3DXVECTOR3(0.0f, beside * 0.3f, 0.0f);
        Projectile shot;
        shot.transform.SetPosition(middle - side * 150.0f);
        shot.transform.SetYaw(YawFromDirection(side));
        getProjectileManager().Reset();
        getProjectileManager().Add(shot);
        const int changed = Changed(Frame(), without);
        // The streak's length on the screen: its ends, kept inside the frame.
        const D3DXVECTOR3 a = heroaim::OnScreen(middle - side * 50.0f, kFrameWidth, kFrameHeight);
        const D3DXVECTOR3 b = heroaim::OnScreen(middle + side * 50.0f, kFrameWidth, kFrameHeight);
        const float length = std::min(std::fabs(std::clamp(a.x, 0.0f, float(kFrameWidth)) -
                                                std::clamp(b.x, 0.0f, float(kFrameWidth))),
                                      float(kFrameWidth));
        EXPECT_GT(length, 100.0f) << "it crosses the view";
        EXPECT_GT(changed, length * 0.5f) << "the streak shows";
        EXPECT_LT(changed, length * 5.0f) << "no wider than a few pixels";
    }
}

} // namespace
