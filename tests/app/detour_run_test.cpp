// A new game in the shipped harbour: the hero stands behind the first
// warehouse (hangar01) and two soldiers of a wave started from the console
// come for him from the other side. One starts by the warehouse's corner and
// goes round it; the other runs square into the middle of its wall, where no
// corner is near, makes no progress and searches.
#include "loop_fixture.h"

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "player/Player.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

// hangar01's footprint on the ground.
constexpr float kWest = -2950.0f, kEast = -2050.0f, kSouth = 1350.0f, kNorth = 2050.0f;

struct Sample {
    D3DXVECTOR3 at;
    std::uint16_t state;
    D3DXVECTOR3 destination;
};

// Return on the menu, Space through the comic and the flight; then the
// console wakes wave_06, the hero is put down north of the warehouse and the
// two soldiers south of it, and the first of them catches sight of him.
class BehindTheWarehouse : public CGameCalls {
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
        if (frame == kZoneFrame)
            getScriptHost().RunCommand("Zone room01 wave_06");
        CEnemyManager* enemies = getEnemyManager();
        CEnemy* rounder = enemies->getThisBotOfCurrentWave("ene_16");
        CEnemy* pusher = enemies->getThisBotOfCurrentWave("ene_17");
        // Out of sight of the wave before it wakes.
        if (frame == kZoneFrame - 2) {
            getPlayer()->GetPosition().SetPosition(kHero);
            getCollisionManager().setNewPlayerPosition(kHero);
        }
        if (frame == kPlaceFrame && rounder && pusher) {
            const float y = rounder->GetPosition().GetPosition().y;
            getCollisionManager().setNewEnemyPosition("ene_16", D3DXVECTOR3(-2030.0f, y, 1300.0f));
            getCollisionManager().setNewEnemyPosition("ene_17", D3DXVECTOR3(kHero.x, y, 1250.0f));
            // Facing away: neither has seen him yet.
            rounder->GetPosition().SetYaw(3.1416f);
            pusher->GetPosition().SetYaw(3.1416f);
        }
        // As the level scripts send a soldier charging; the other has seen him.
        if (frame == kChaseFrame && rounder && pusher) {
            pusher->GetPosition().SetYaw(0.0f); // square to the wall, the hero beyond it
            pusher->getIA()->setKamikazeState();
            rounder->getIA()->setSearchingState();
        }
        getPlayer()->SetLife(350);
        CGameCalls::UpdateFrame(dt);
        if (frame >= kPlaceFrame && rounder && pusher) {
            for (auto [enemy, track] : {std::make_pair(rounder, &round), std::make_pair(pusher, &push)}) {
                CIAEnemyCover* ai = enemy->getIA();
                track->push_back({enemy->GetPosition().GetPosition(), ai->GetState(), ai->GetDestination()});
            }
        }
        const bool done = !round.empty() && round.back().state == CIAEnemyCover::SHOOTING && push.size() > 160;
        if ((done || frame == kCloseAfter) && !closing) {
            closing = true;
            SDL_Event e{};
            e.type = SDL_WINDOWEVENT;
            e.window.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
            e.window.event = SDL_WINDOWEVENT_CLOSE;
            SDL_PushEvent(&e);
        }
    }

    static constexpr int kZoneFrame = 12, kPlaceFrame = 16, kChaseFrame = 22, kCloseAfter = 900;
    static inline const D3DXVECTOR3 kHero{-2300.0f, 9.231f, 2250.0f};
    platform::FakeDirectInput keys;
    std::vector<Sample> round, push;
    int menuPasses = 0, frames = 0;
    bool closing = false;
};

class DetourRun : public ShippedRun<BehindTheWarehouse> {
protected:
    DetourRun() : ShippedRun("detour_run") {}
};

// The longest run of frames a walking soldier stood where he stood the frame
// before, once he has set off (he turns on the spot before his first step).
int LongestStand(const std::vector<Sample>& track, size_t to)
{
    size_t from = 1;
    while (from < track.size() && DistanceXZ(track[from].at, track[from - 1].at) < 0.5f)
        ++from;
    int longest = 0, run = 0;
    for (size_t i = from + 1; i < to && i < track.size(); ++i) {
        const std::uint16_t state = track[i].state;
        const bool walking = state == CIAEnemyCover::SEARCHING || state == CIAEnemyCover::EVADE;
        run = walking && DistanceXZ(track[i].at, track[i - 1].at) < 0.5f ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

TEST_F(DetourRun, ASoldierGoesRoundTheWarehouseByItsCornerAndOneThatMakesNoProgressSearches)
{
    ASSERT_EQ(VantorelMain(), 0);
    const std::vector<Sample>& round = player.round;
    ASSERT_GT(round.size(), 10u);

    // Round the corner: the soldier's way was blocked by the warehouse, and
    // the point it took lies just past the north-east corner, off the wall.
    size_t evading = 0;
    while (evading < round.size() && round[evading].state != CIAEnemyCover::EVADE)
        ++evading;
    ASSERT_LT(evading, round.size()) << "the warehouse stood in his way";
    const D3DXVECTOR3 point = round[evading].destination;
    EXPECT_NEAR(point.x, -2011.35f, 0.5f) << "beyond the east wall, by a shrunk offset";
    EXPECT_NEAR(point.z, 2087.58f, 0.5f) << "beyond the north wall";
    float nearest = 1e9f;
    size_t reached = 0;
    for (size_t i = evading; i < round.size(); ++i)
        if (ManhattanDistanceXZ(round[i].at, point) < nearest) {
            nearest = ManhattanDistanceXZ(round[i].at, point);
            reached = i;
        }
    EXPECT_LT(nearest, 9.5f) << "he reached the corner point";
    // Never inside the warehouse's footprint, and round to the hero's side.
    bool northOfIt = false;
    for (const Sample& s : round) {
        EXPECT_FALSE(s.at.x > kWest && s.at.x < kEast && s.at.z > kSouth && s.at.z < kNorth)
            << s.at.x << " " << s.at.z;
        northOfIt = northOfIt || s.at.z > kNorth;
    }
    EXPECT_TRUE(northOfIt);
    EXPECT_LT(LongestStand(round, reached), 3) << "never held against the wall";
    // Past the corner the hero is in his sights, not far off.
    EXPECT_EQ(round.back().state, CIAEnemyCover::SHOOTING);
    EXPECT_LT(DistanceXZ(round.back().at, BehindTheWarehouse::kHero), 600.0f);

    // Square into the wall's middle: he charges at it and stops there; held
    // in place he searches, never getting past or round it.
    const std::vector<Sample>& push = player.push;
    ASSERT_GT(push.size(), 160u);
    EXPECT_EQ(push.front().state, CIAEnemyCover::IDLE) << "he stood until sent";
    size_t charging = 0;
    while (charging < push.size() && push[charging].state != CIAEnemyCover::KAMIKAZE)
        ++charging;
    ASSERT_LT(charging, push.size()) << "the charge began";
    size_t searching = charging;
    while (searching < push.size() && push[searching].state != CIAEnemyCover::SEARCHING)
        ++searching;
    ASSERT_LT(searching, push.size()) << "held at the wall, he searches";
    EXPECT_GT(push[searching].at.z, kSouth - 40.0f) << "at the wall when he gave up charging";
    EXPECT_GT(push[searching].at.z, push[charging].at.z + 50.0f) << "he ran at it first";
    EXPECT_LT(DistanceXZ(push[searching].at, push[searching - 1].at), 0.01f) << "he had stood still";
    for (size_t i = charging; i < push.size(); ++i) {
        EXPECT_LT(push[i].at.z, kSouth) << "no way through the wall";
        EXPECT_NE(push[i].state, CIAEnemyCover::EVADE) << "no corner near enough to go by";
    }
}

} // namespace
} // namespace looptest
