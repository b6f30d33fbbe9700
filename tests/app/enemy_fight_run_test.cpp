// A new game played with held keys until the first enemies see the hero:
// they fight, and what the player sees of it is his life going down in blood.
#include "loop_fixture.h"

#include <SDL.h>

#include <cstdlib>
#include <map>
#include <set>

#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "player/Player.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight, then S held:
// the hero runs east along the yard into the first wave.
class RunIntoTheFirstWave : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow);
        CGameCalls::UpdateMainMenu(dt);
        keys.SetKey(DIK_RETURN, menuPasses == 1);
    }
    void UpdateFrame(float dt) override
    {
        const int frame = ++frames;
        keys.SetKey(DIK_SPACE, frame == 2 || frame == 4);
        CPlayer* hero = getPlayer();
        const D3DXVECTOR3 at = hero->GetPosition().GetPosition();
        // Run until an enemy has him in its sights, then stand and take it.
        keys.SetKey(DIK_S, frame >= runFrom && !engaged && at.x < -350.0f);
        CGameCalls::UpdateFrame(dt);
        if (frame == runFrom)
            lifeBefore = hero->GetLife();
        for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
            const std::uint16_t state = entry.second->getIA()->GetState();
            states.insert(state);
            if (state == CIAEnemyCover::SHOOTING || state == CIAEnemyCover::SHOOTING_FROM_COVER)
                engaged = true;
        }
        if (frame > runFrom)
            lowestLife = std::min<int>(lowestLife, hero->GetLife());
        for (const auto& emitter : getParticleManager().GetEmitters())
            if (emitter && emitter->GetType() && emitter->GetType()->name == "sangre")
                bled = true;
        if (engaged && !firstEngaged)
            firstEngaged = frame;
        if (frame == closeAfter || (firstEngaged && lowestLife < lifeBefore && bled && frame > firstEngaged + 5)) {
            SDL_Event e{};
            e.type = SDL_WINDOWEVENT;
            e.window.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
            e.window.event = SDL_WINDOWEVENT_CLOSE;
            SDL_PushEvent(&e);
            closeAfter = frame;
        }
    }

    platform::FakeDirectInput keys;
    std::set<std::uint16_t> states;
    int menuPasses = 0, frames = 0, runFrom = 10, closeAfter = 900, firstEngaged = 0;
    int lifeBefore = 0, lowestLife = 1 << 20;
    bool engaged = false, bled = false;
};

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
    EXPECT_LT(player.closeAfter, 900);
}

} // namespace
} // namespace looptest
