// The velocity pass's smear of an object the camera moved by under a texel:
// read from the four texels its eight taps fall between, it is the smear the
// eight filtered taps give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/FrameShortcuts.h"
#include "render/ScreenMotion.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
using fxtest::FlatEntity;

class ShortSmear : public fxtest::EffectDrawTest {
protected:
    void TearDown() override
    {
        SetFrameShortcuts(true);
        fxtest::EffectDrawTest::TearDown();
    }

    // A scene of one-texel squares in four colours: every neighbour differs.
    IDirect3DTexture9* Checkers()
    {
        static const D3DCOLOR kColours[4] = {0xFFFFFFFF, 0xFF000000, 0xFFFF2000, 0xFF0040FF};
        std::vector<D3DCOLOR> texels(static_cast<size_t>(kSize) * kSize);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                texels[static_cast<size_t>(y) * kSize + x] = kColours[(x % 2) + 2 * (y % 2)];
        return Texture(kSize, kSize, texels);
    }

    // A wall across the whole view smeared over the scene, the eye moved
    // by `step` since the last frame, with the reach given.
    std::vector<D3DCOLOR> Smeared(IDirect3DTexture9* scene, const D3DXVECTOR3& step, float reach)
    {
        FlatEntity wall("wall", 400.0f, FlatEntity::FacingZ, "PhongLightingTech");
        wall.StorePreviousWorld();
        PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        getEffectManager().StorePreviousCamera();
        PlaceCamera(D3DXVECTOR3(0, 0, 200) + step, D3DXVECTOR3(0, 0, 0));
        ClearTo(drawtest::kBlack);
        getEffectManager().RenderMotionBlur(&wall, scene, reach);
        return BackBuffer();
    }

    // How far the step moves the wall on screen, by the bound the game uses.
    static float ReachOf(const D3DXVECTOR3& step)
    {
        const CCamera& camera = getCamera();
        PlaceCameraStatic(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        const D3DXMATRIX before = camera.GetViewMatrix();
        PlaceCameraStatic(D3DXVECTOR3(0, 0, 200) + step, D3DXVECTOR3(0, 0, 0));
        return CameraMotionPixels(camera.GetViewMatrix(), before, camera.GetProjectionMatrix(),
                                  camera.GetProjectionMatrix(), 195.0f, kSize, kSize);
    }
    static void PlaceCameraStatic(const D3DXVECTOR3& eye, const D3DXVECTOR3& at)
    {
        CCamera& camera = getCamera();
        camera.SetPosition(eye);
        camera.SetLookAt(at);
        camera.ApplyView();
    }

    // Pixels off by more than `tolerance` in a channel, and the worst.
    static size_t Off(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b, int tolerance, int* worst)
    {
        size_t count = 0;
        *worst = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            const int pixel = drawtest::ChannelDifference(a[i], b[i]);
            *worst = std::max(*worst, pixel);
            count += pixel > tolerance ? 1 : 0;
        }
        return count;
    }
};

TEST_F(ShortSmear, FourTexelsGiveTheEightTapsSmearWhicheverWayTheCameraMoved)
{
    IDirect3DTexture9* scene = Checkers();
    for (const D3DXVECTOR3& step : {D3DXVECTOR3(0.9f, 0.5f, 0.0f), D3DXVECTOR3(-0.5f, 0.9f, 0.0f), D3DXVECTOR3(0.93f, 0.93f, 0.0f),
                                    D3DXVECTOR3(0.7f, -0.7f, 0.0f), D3DXVECTOR3(-0.3f, -1.0f, 0.0f)}) {
        SCOPED_TRACE(std::to_string(step.x) + ", " + std::to_string(step.y));
        const float reach = ReachOf(step);
        ASSERT_GT(reach, 0.2f);
        ASSERT_LE(reach, 1.0f);
        const std::vector<D3DCOLOR> taps = Smeared(scene, step, CEffectManager::kUnknownReach);
        const std::vector<D3DCOLOR> four = Smeared(scene, step, reach);
        const std::vector<D3DCOLOR> unsmeared = Smeared(scene, step, 0.0f);
        int worst = 0;
        EXPECT_EQ(Off(taps, four, 2, &worst), 0u) << "worst " << worst;
        EXPECT_GT(Off(taps, unsmeared, 8, &worst), static_cast<size_t>(kSize * kSize / 10)) << "the smear shows";
    }
    // Further than a texel, the four texels would not do: the smear is whole.
    const D3DXVECTOR3 far(3.0f, 2.0f, 0.0f);
    const float reach = ReachOf(far);
    ASSERT_GT(reach, 1.5f);
    int farWorst = 0;
    EXPECT_EQ(Off(Smeared(scene, far, CEffectManager::kUnknownReach), Smeared(scene, far, reach), 0, &farWorst), 0u);
    // Drawn the plain way, the reach changes nothing: every smear is whole.
    SetFrameShortcuts(false);
    const D3DXVECTOR3 step(0.9f, 0.5f, 0.0f);
    int worst = 0;
    EXPECT_EQ(Off(Smeared(scene, step, CEffectManager::kUnknownReach), Smeared(scene, step, 0.0f), 0, &worst), 0u);
}

// The velocity pass gives a still object the reach of the camera's motion
// only while it moves it by a texel at most; an object that moved itself, or
// a motion past a texel, is smeared whole.
TEST_F(ShortSmear, TheReachIsGivenOnlyUpToATexelOfTheCamerasMotion)
{
    FlatEntity still("still", 8.0f, FlatEntity::FacingZ, "PhongLightingTech");
    still.StorePreviousWorld();
    CSceneMngr& scene = getSceneManager();
    auto reachAfter = [&](const D3DXVECTOR3& step) {
        PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        getEffectManager().StorePreviousCamera();
        PlaceCamera(D3DXVECTOR3(0, 0, 200) + step, D3DXVECTOR3(0, 0, 0));
        return scene.SmearReach(still, scene.ShortSmearsFor(VelocityTarget));
    };
    const float near = reachAfter(D3DXVECTOR3(0.3f, 0.2f, 0.0f));
    EXPECT_GT(near, 0.05f);
    EXPECT_LE(near, 1.0f);
    EXPECT_EQ(reachAfter(D3DXVECTOR3(3.0f, 2.0f, 0.0f)), CEffectManager::kUnknownReach);
    still.MoveTo(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(reachAfter(D3DXVECTOR3(0.3f, 0.2f, 0.0f)), CEffectManager::kUnknownReach) << "it moved itself";
    SetShortcutOn(Shortcut::ShortSmears, false);
    still.StorePreviousWorld();
    EXPECT_EQ(reachAfter(D3DXVECTOR3(0.3f, 0.2f, 0.0f)), CEffectManager::kUnknownReach);
    SetShortcutOn(Shortcut::ShortSmears, true);
}

} // namespace
