// A new player's first seconds: at a new game and at each checkpoint he
// stands and looks round before he fights, and at the new game the view he
// is handed looks the way on.
#include "loop_fixture.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "scene/Entity3D.h"
#include "platform/sdl_window.h"
#include "player/IController.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "world/CollisionManager.h"
#include "script/ScriptHost.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight; then nothing
// for 20 s. Then, one after the other, the console's checkpoints: the hero
// falls, Space revives him there (and ends the island's flight), and again
// nothing for 20 s. Each start begins from a fresh level.
class StandingPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        ++frames;
        const bool inControl = InControl();
        bool space = false;
        if (start == 0) {
            space = frames == 2 || frames == 4;
        } else if (frames == startedAt) {
            getScriptHost().RunCommand("Checkpoint " + std::to_string(start));
        } else if (controlAt == 0 && frames > startedAt + 1) {
            space = frames % 3 == 0 && !inControl;
        }
        keys.SetKey(DIK_SPACE, space);
        CGameCalls::UpdateFrame(dt);

        if (controlAt == 0 && frames > startedAt + 4 && InControl()) {
            controlAt = frames;
            if (start == 0) {
                const D3DXVECTOR3 view = getCamera().GetViewDirection();
                const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
                handoverView = std::atan2(view.x, view.z);
                toFirstVolume = std::atan2(kFirstVolume.x - hero.x, kFirstVolume.z - hero.z);
                LookForTheBarrier();
            }
        }
        // A second and a half on, the view has come up from black and the
        // camera still looks where it was handed over.
        if (start == 0 && controlAt > 0 && frames == controlAt + 45)
            CountMarkPixels();
        if (controlAt > 0 && frames == controlAt + kStandFrames) {
            life[start] = getPlayer()->GetLife();
            wave[start] = getEnemyManager()->GetCurrentWave();
            if (++start > 5) {
                PushWindowClose();
                return;
            }
            startedAt = frames + 1;
            controlAt = 0;
        }
    }

    // Only the hero's life and the camera are read: one frame in thirty is drawn.
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 30 == 0)
            CGameCalls::RenderFrame(dt);
    }

    // Wave 01's barrier as the handed-over view shows it: its crate's top
    // and middle projected into the frame, and the first solid on the line
    // from the eye to each.
    void LookForTheBarrier()
    {
        const CCamera& camera = getCamera();
        D3DXMATRIX viewProjection;
        D3DXMatrixMultiply(&viewProjection, &camera.GetViewMatrix(), &camera.GetProjectionMatrix());
        for (float height : {40.0f, 75.0f}) {
            const D3DXVECTOR3 crate(kBarrier.x, height, kBarrier.z);
            D3DXVECTOR3 onScreen;
            D3DXVec3TransformCoord(&onScreen, &crate, &viewProjection);
            barrierOnScreen.push_back(onScreen);
            barrierSightBlockedBy.push_back(getCollisionManager().CastRay(camera.GetPosition(), crate).name);
        }
        // The glowing marks run on the ground from his feet to that crate:
        // nothing stands across them at knee height.
        D3DXVECTOR3 knee = getPlayer()->GetPosition().GetPosition();
        knee.y += 15.0f;
        const D3DXVECTOR3 crateKnee(kBarrier.x, knee.y, kBarrier.z);
        markedWayBlockedBy = getCollisionManager().CastRay(knee, crateKnee).name;
    }

    // The handed-over frame drawn with the glowing marks and again without
    // them: the pixels they light in the lower half, counted in bands across
    // the way from his feet to the barrier, nearest first.
    void CountMarkPixels()
    {
        const CCamera& camera = getCamera();
        D3DXMATRIX viewProjection;
        D3DXMatrixMultiply(&viewProjection, &camera.GetViewMatrix(), &camera.GetProjectionMatrix());
        std::vector<D3DCOLOR> with, without;
        CGameCalls::RenderFrame(1.0f / 30.0f);
        devicetest::ReadBackBuffer(D3DDevice, &with);
        for (const char* mark : kMarks)
            getSceneManager().FindEntity(mark)->SetVisible(false);
        CGameCalls::RenderFrame(1.0f / 30.0f);
        devicetest::ReadBackBuffer(D3DDevice, &without);
        for (const char* mark : kMarks)
            getSceneManager().FindEntity(mark)->SetVisible(true);
        const int width = 320, height = 240; // the run's small window
        if (with.size() != std::size_t(width * height) || without.size() != with.size())
            return;
        // Each band: the rows between two points of the way on the ground.
        const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
        auto row = [&](float part) {
            const D3DXVECTOR3 ground(hero.x + (kBarrier.x - hero.x) * part, 0.0f, hero.z + (kBarrier.z - hero.z) * part);
            D3DXVECTOR3 onScreen;
            D3DXVec3TransformCoord(&onScreen, &ground, &viewProjection);
            return int((1.0f - onScreen.y) * 0.5f * height);
        };
        for (int band = 0; band < 3; ++band) {
            int changed = 0;
            const int top = std::max(height / 2, row((band + 1) / 3.0f)), bottom = std::min(height, row(band / 3.0f) + 1);
            for (int y = top; y < bottom; ++y)
                for (int x = 0; x < width; ++x) {
                    const D3DCOLOR a = with[std::size_t(y) * width + x], b = without[std::size_t(y) * width + x];
                    int most = 0;
                    for (int shift : {0, 8, 16})
                        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
                    changed += most > 40;
                }
            markPixels.push_back(changed);
        }
    }

    static bool InControl()
    {
        IController* controller = getPlayer()->GetController();
        return controller && controller->GetStateCode() != 49 && !getRigid()->camSequenceRunning &&
               !getGUI().mainMenuActive;
    }

    static constexpr int kStandFrames = 600; // 20 s at the game's 30 frames a second
    inline static const D3DXVECTOR3 kFirstVolume{-850.0f, 0.0f, -600.0f};
    inline static const D3DXVECTOR3 kBarrier{-551.3f, 0.0f, -820.9f};
    static constexpr const char* kMarks[] = {"guia_camino_1", "guia_camino_2", "guia_camino_3", "guia_camino_4"};
    std::vector<D3DXVECTOR3> barrierOnScreen;
    std::vector<std::string> barrierSightBlockedBy;
    std::string markedWayBlockedBy;
    std::vector<int> markPixels;
    int frames = 0, start = 0, startedAt = 0, controlAt = 0;
    std::map<int, int> life;
    std::map<int, std::string> wave;
    float handoverView = 0.0f, toFirstVolume = 10.0f;
};

class OpeningRun : public ShippedRun<StandingPlayer> {
protected:
    OpeningRun() : ShippedRun("opening") {}
};

TEST_F(OpeningRun, AHeroWhoStandsStillForTwentySecondsKeepsHalfHisLifeAtEveryStart)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.life.size(), 6u) << "a new game and five checkpoints were played";
    const char* waves[] = {"wave_00", "wave_00", "wave_05", "wave_31", "wave_32", "wave_35"};
    for (int start = 0; start <= 5; ++start) {
        EXPECT_EQ(player.wave[start], waves[start]) << "start " << start;
        EXPECT_GE(player.life[start], 350 / 2) << "start " << start << " (0 is the new game)";
    }
    // The view handed over after the intro looks at the first volume, the
    // way on, not off across the yard.
    EXPECT_LT(std::fabs(std::remainder(player.handoverView - player.toFirstVolume, 6.2831853f)), 0.35f);
    // Wave 01's barrier is in that view, not behind anything: its crate is
    // the first solid the eye meets.
    ASSERT_EQ(player.barrierOnScreen.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_LT(std::fabs(player.barrierOnScreen[i].x), 0.9f) << i;
        EXPECT_LT(std::fabs(player.barrierOnScreen[i].y), 0.9f) << i;
        EXPECT_LT(player.barrierOnScreen[i].z, 1.0f) << "in front of the eye " << i;
        EXPECT_EQ(player.barrierSightBlockedBy[i], "col_cajas6") << i;
    }
    EXPECT_EQ(player.markedWayBlockedBy, "col_cajas6") << "the way along the marks on the ground";
    // The marks are seen along the whole way, from near his feet to the barrier.
    ASSERT_EQ(player.markPixels.size(), 3u);
    for (size_t band = 0; band < 3; ++band)
        EXPECT_GT(player.markPixels[band], 30) << "band " << band << " of the way, nearest first";
}

} // namespace
} // namespace looptest
