// A new game played with held keys until the first enemies see the hero:
// they fight, and what the player sees of it is his life going down in blood.
#include "loop_fixture.h"
#include "world/CollisionManager.h"
#include "script/ScriptHost.h"
#include "math/VectorMath.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "platform/gl_device.h"
#include "platform/sdl_window.h"
#include "player/Player.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight, then W held:
// the handed-over view faces east, and the hero runs along the yard into the
// first wave.
class RunIntoTheFirstWave : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        const int frame = ++frames;
        keys.SetKey(DIK_SPACE, frame == 2 || frame == 4);
        CPlayer* hero = getPlayer();
        const D3DXVECTOR3 at = hero->GetPosition().GetPosition();
        // Run until an enemy has him in its sights, then stand and take it.
        keys.SetKey(DIK_W, frame >= runFrom && !engaged && at.x < -350.0f);
        CGameCalls::UpdateFrame(dt);
        if (frame == runFrom)
            lifeBefore = hero->GetLife();
        for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
            const std::uint16_t state = entry.second->getIA()->GetState();
            states.insert(state);
            if (state == CIAEnemyCover::SHOOTING || state == CIAEnemyCover::SHOOTING_FROM_COVER)
                engaged = true;
        }
        if (frame > runFrom) {
            if (hero->GetLife() < lowestLife && lowestLife != 1 << 20 && !hitFrame)
                hitFrame = frame;
            lowestLife = std::min<int>(lowestLife, hero->GetLife());
        }
        for (const auto& emitter : getParticleManager().GetEmitters())
            if (emitter && emitter->GetType() && emitter->GetType()->name == "sangre")
                bled = true;
        if (engaged && !firstEngaged)
            firstEngaged = frame;
        if (frame == closeAfter ||
            (firstEngaged && lowestLife < lifeBefore && bled && hitRedness >= 0.0 && frame > firstEngaged + 5)) {
            PushWindowClose();
            closeAfter = frame;
        }
    }

    // Every tenth frame is drawn, which keeps the drawing in the run at a
    // tenth of its cost, and the frame of the first hit: the screen's borders
    // are read back before the fight and then.
    void RenderFrame(float dt) override
    {
        if (!getGUI().mainMenuActive && frames % 10 != 0 && frames != hitFrame)
            return;
        CGameCalls::RenderFrame(dt);
        if (frames == runFrom)
            calmRedness = BorderRedness();
        else if (frames == hitFrame)
            hitRedness = BorderRedness();
    }

    // How much redder than it is grey the screen's outer eighth is, on
    // average, in 0..255.
    static double BorderRedness()
    {
        std::vector<D3DCOLOR> pixels;
        UINT w = 0, h = 0;
        if (!platform::ReadWindowPixels(D3DDevice, &pixels, &w, &h) || w < 8 || h < 8)
            return -1.0;
        double sum = 0.0;
        int count = 0;
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x) {
                if (x >= w / 8 && x < w - w / 8 && y >= h / 8 && y < h - h / 8)
                    continue;
                const D3DCOLOR c = pixels[static_cast<size_t>(y) * w + x];
                const double r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
                sum += std::max(0.0, r - (g + b) / 2.0);
                ++count;
            }
        return sum / count;
    }

    std::set<std::uint16_t> states;
    int frames = 0, runFrom = 10, closeAfter = 900, firstEngaged = 0, hitFrame = 0;
    int lifeBefore = 0, lowestLife = 1 << 20;
    bool engaged = false, bled = false;
    double calmRedness = -1.0, hitRedness = -1.0;
};

// Return on the menu, Space through the comic and the flight; then the
// console wakes the second wave and the hero is put down in its sight: how
// far each soldier goes in every third of a second it runs is kept.
class WatchTheWaveRun : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        const int frame = ++frames;
        keys.SetKey(DIK_SPACE, frame == 2 || frame == 4);
        if (frame == kZoneFrame)
            getScriptHost().RunCommand("Zone room01 wave_02");
        if (frame == kZoneFrame + 5) {
            // Put down in sight of the wave, a good way off.
            D3DXVECTOR3 middle(0, 0, 0);
            const auto& wave = getEnemyManager()->GetCurrentWaveEnemies();
            for (const auto& entry : wave)
                middle += entry.second->GetPosition().GetPosition() / static_cast<float>(wave.size());
            const D3DXVECTOR3 stand(middle.x + 700.0f, 9.231f, middle.z);
            getPlayer()->GetPosition().SetPosition(stand);
            getCollisionManager().setNewPlayerPosition(stand);
        }
        getPlayer()->SetLife(350);
        CGameCalls::UpdateFrame(dt);
        for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
            const std::uint16_t state = entry.second->getIA()->GetState();
            const bool running = state == CIAEnemyCover::ALARMED || state == CIAEnemyCover::SEARCHING ||
                                 state == CIAEnemyCover::MOVE_TO_COVER;
            Track& track = tracks[entry.first];
            const D3DXVECTOR3 at = entry.second->GetPosition().GetPosition();
            if (!running) {
                track.runningFor = 0;
                continue;
            }
            if (track.runningFor++ % 10 == 0) {
                if (track.runningFor > 1)
                    fastest = std::max(fastest, DistanceXZ(at, track.from) * 3.0f);
                track.from = at;
            }
        }
        if (frame == kCloseAfter) {
            PushWindowClose();
        }
    }

    // Only where things stand is read back, never a pixel: every tenth frame
    // is drawn, which keeps the drawing in the run at a tenth of its cost.
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 10 == 0)
            CGameCalls::RenderFrame(dt);
    }

    struct Track {
        int runningFor = 0;
        D3DXVECTOR3 from{0, 0, 0};
    };
    static constexpr int kZoneFrame = 12, kCloseAfter = 240;
    std::map<std::string, Track> tracks;
    // Ground units a second, the fastest third of a second any soldier ran.
    float fastest = 0.0f;
    int frames = 0;
};

class EnemyPaceRun : public ShippedRun<WatchTheWaveRun> {
protected:
    EnemyPaceRun() : ShippedRun("enemy_pace") {}
};

// A soldier running to where he heard the hero, or to cover, covers ground
// at a run, not at a crawl.
TEST_F(EnemyPaceRun, TheSoldiersOfAWaveRunAtARunsPace)
{
    ASSERT_EQ(VantorelMain(), 0);
    EXPECT_GT(player.fastest, 150.0f);
    EXPECT_LT(player.fastest, 500.0f) << "no faster than the hero runs";
}

class EnemyFightRun : public ShippedRun<RunIntoTheFirstWave> {
protected:
    EnemyFightRun() : ShippedRun("enemy_fight") {}
};

TEST_F(EnemyFightRun, TheFirstEnemiesShootTheHeroAndHeBleeds)
{
    ASSERT_EQ(VantorelMain(), 0);
    EXPECT_GT(player.firstEngaged, 0) << "an enemy came to shoot at him";
    EXPECT_TRUE(player.states.count(CIAEnemyCover::SHOOTING));
    EXPECT_LT(player.lowestLife, player.lifeBefore) << "their bullets cost him life";
    EXPECT_TRUE(player.bled) << "he bleeds where he is hit";
    // The blood of the hit's side over the frame he was first hit in.
    ASSERT_GE(player.calmRedness, 0.0) << "the frame before the fight was read back";
    EXPECT_GT(player.hitRedness, player.calmRedness + 5.0) << "the hit shows in blood at the screen's edge";
    EXPECT_LT(player.closeAfter, 900);
}

} // namespace
} // namespace looptest
