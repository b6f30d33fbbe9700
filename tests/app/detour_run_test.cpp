// A new game in the shipped harbour: the hero stands behind the first
// warehouse (hangar01) and two soldiers of a wave started from the console
// come for him from the other side. One starts by the warehouse's corner and
// goes round it; the other runs square into the middle of its wall, where no
// corner is near, makes no progress and searches. Behind the crate stack
// west of the start, whose box carries a detour group, a soldier goes by
// that group's points instead.
#include "loop_fixture.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/WinMain.h"
#include "enemies/Detours.h"
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
    std::string obstacle;
};

// Return on the menu, Space through the comic and the flight; then the
// console wakes wave_06, the hero is put down out of its sight and the two
// soldiers where the run wants them, facing away; then the first catches
// sight of him and the second, when it charges, is sent at him as the level
// scripts send one.
class ChaseInTheYard : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        const int frame = ++frames;
        keys.SetKey(DIK_SPACE, frame == 2 || frame == 4);
        if (frame == kZoneFrame)
            getScriptHost().RunCommand("Zone room01 wave_06");
        CEnemyManager* enemies = getEnemyManager();
        CEnemy* rounder = enemies->getThisBotOfCurrentWave("ene_16");
        CEnemy* pusher = enemies->getThisBotOfCurrentWave("ene_17");
        // Out of the wave's sight before it wakes: north of the first warehouse.
        if (frame == kZoneFrame - 2 || frame == kPlaceFrame) {
            const D3DXVECTOR3 at = frame == kPlaceFrame ? hero : D3DXVECTOR3(-2300.0f, 9.231f, 2250.0f);
            getPlayer()->GetPosition().SetPosition(at);
            getCollisionManager().setNewPlayerPosition(at);
        }
        if (frame == kPlaceFrame && rounder && pusher) {
            const float y = rounder->GetPosition().GetPosition().y;
            getCollisionManager().setNewEnemyPosition("ene_16", D3DXVECTOR3(rounderAt.x, y, rounderAt.z));
            getCollisionManager().setNewEnemyPosition("ene_17", D3DXVECTOR3(pusherAt.x, y, pusherAt.z));
            rounder->GetPosition().SetYaw(3.1416f);
            pusher->GetPosition().SetYaw(3.1416f);
        }
        if (frame == kChaseFrame && rounder && pusher) {
            if (pusherCharges) {
                pusher->GetPosition().SetYaw(0.0f); // square to the wall, the hero beyond it
                pusher->getIA()->setKamikazeState();
            }
            rounder->getIA()->setSearchingState();
        }
        getPlayer()->SetLife(350);
        CGameCalls::UpdateFrame(dt);
        if (frame >= kPlaceFrame && rounder && pusher) {
            for (auto [enemy, track] : {std::make_pair(rounder, &round), std::make_pair(pusher, &push)}) {
                CIAEnemyCover* ai = enemy->getIA();
                track->push_back({enemy->GetPosition().GetPosition(), ai->GetState(), ai->GetDestination(), ai->GetEvadedObstacle()});
            }
        }
        const bool done = !round.empty() && round.back().state == CIAEnemyCover::SHOOTING && push.size() > 160;
        if ((done || frame == kCloseAfter) && !closing) {
            closing = true;
            PushWindowClose();
        }
    }

    static constexpr int kZoneFrame = 12, kPlaceFrame = 16, kChaseFrame = 17, kCloseAfter = 900;
    D3DXVECTOR3 hero{0, 0, 0}, rounderAt{0, 0, 0}, pusherAt{0, 0, 0};
    bool pusherCharges = false;
    std::vector<Sample> round, push;
    int frames = 0;
    bool closing = false;
};

// The hero north of hangar01; one soldier by its south-east corner, the
// other south of the middle of its south wall, charging.
class BehindTheWarehouse : public ChaseInTheYard {
public:
    BehindTheWarehouse()
    {
        hero = kHero;
        rounderAt = D3DXVECTOR3(-2030.0f, 0.0f, 1300.0f);
        pusherAt = D3DXVECTOR3(kHero.x, 0.0f, 1250.0f);
        pusherCharges = true;
    }
    static inline const D3DXVECTOR3 kHero{-2300.0f, 9.231f, 2250.0f};
};

// The hero north-east of the crate stack west of the start, whose name
// carries the group P; one soldier south of it. The other stands far off.
class BehindTheCrates : public ChaseInTheYard {
public:
    BehindTheCrates()
    {
        hero = kHero;
        rounderAt = D3DXVECTOR3(-1640.0f, 0.0f, -540.0f);
        pusherAt = D3DXVECTOR3(-2500.0f, 0.0f, 1200.0f);
    }
    // Farther than a soldier closes in on him (500).
    static inline const D3DXVECTOR3 kHero{-1560.0f, 9.231f, 100.0f};
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

namespace looptest {
namespace {

class GroupDetourRun : public ShippedRun<BehindTheCrates> {
protected:
    GroupDetourRun() : ShippedRun("group_detour_run") {}
};

// The stack's group points stand round it: the soldier goes by the nearest
// of them he can see that is nearest the hero, then on up to the hero.
TEST_F(GroupDetourRun, ASoldierGoesRoundACrateStackByItsGroupsPoints)
{
    ASSERT_EQ(VantorelMain(), 0);
    const std::vector<Sample>& round = player.round;
    ASSERT_GT(round.size(), 10u);
    size_t evading = 0;
    while (evading < round.size() && round[evading].state != CIAEnemyCover::EVADE)
        ++evading;
    ASSERT_LT(evading, round.size()) << "the stack stood in his way";
    // Every point he took is one of the group's own, and he reached the last.
    size_t last = evading;
    for (size_t i = evading; i < round.size(); ++i) {
        if (round[i].state != CIAEnemyCover::EVADE)
            continue;
        last = i;
        EXPECT_EQ(round[i].obstacle, "col_P_pila_cajas");
        bool ofTheGroup = false;
        for (const D3DXVECTOR2& p : CDetourFinder::FixedPoints(DetourGroup::P))
            ofTheGroup = ofTheGroup || (p.x == round[i].destination.x && p.y == round[i].destination.z);
        EXPECT_TRUE(ofTheGroup) << round[i].destination.x << " " << round[i].destination.z;
    }
    const D3DXVECTOR3 point = round[last].destination;
    float nearest = 1e9f;
    size_t reached = 0;
    for (size_t i = evading; i < round.size(); ++i)
        if (ManhattanDistanceXZ(round[i].at, point) < nearest) {
            nearest = ManhattanDistanceXZ(round[i].at, point);
            reached = i;
        }
    EXPECT_LT(nearest, 9.5f) << "he reached " << point.x << " " << point.z;
    EXPECT_LT(LongestStand(round, reached), 3) << "never held against the stack";
    for (const Sample& s : round)
        EXPECT_FALSE(s.at.x > -1770.0f && s.at.x < -1590.0f && s.at.z > -480.0f && s.at.z < -300.0f);
    // From the point the stack no longer hides the hero: in his sights.
    EXPECT_EQ(round.back().state, CIAEnemyCover::SHOOTING);
}

} // namespace
} // namespace looptest
