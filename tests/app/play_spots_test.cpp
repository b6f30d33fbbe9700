// The scripted player's sense of the island's ground: which spots stand on
// the plateau and which down in the square, which walks end off the edge,
// where nobody in the square sees him, and from where the scaffold's barrel
// can be shot past the wall before it. Read at the square's checkpoint,
// reached from a new game by the console's checkpoint command and a revive.
#include "loop_fixture.h"

#include <cmath>
#include <functional>

#include "app/WinMain.h"
#include "gui/GUIManager.h"
#include "play_through.h"
#include "player/Player.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

// Plays on to the checkpoint, then looks about once the hero has stood
// there a second, and closes the game.
class LookingPlayer : public playthrough::Player {
public:
    void UpdateFrame(float dt) override
    {
        Player::UpdateFrame(dt);
        if (looked || getScenario()->scenarioName != "isla" || getTriggerManager().checkpoint != 4 ||
            getPlayer()->GetLife() <= 0)
            return;
        if (++settled < 30)
            return;
        Release();
        look();
        looked = true;
        getGUI().exitRequested = true;
    }

    std::function<void()> look;
    bool looked = false;
    int settled = 0;
};

class PlaySpots : public ShippedRun<LookingPlayer> {
protected:
    PlaySpots() : ShippedRun("playspots") {}
    void SetUp() override
    {
        ShippedRun::SetUp();
        getTriggerManager().checkpoint = 1;
        player.options.drawEvery = 30;
        player.options.startCheckpoint = 4;
        player.advanceClock = [this](double seconds) { clock.Advance(seconds); };
    }
};

TEST_F(PlaySpots, ThePlateauTheSquareTheEdgeAndTheScaffoldWall)
{
    const D3DXVECTOR3 plateau(-1150.0f, 375.0f, 250.0f), square(300.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 barrel(-2330.0f, 392.0f, 450.0f), inTheSquare(-300.0f, 75.0f, -300.0f);
    const D3DXVECTOR3 onThePlateau(-1500.0f, 447.0f, 0.0f);
    float plateauGround = -1.0f, squareGround = -1.0f;
    bool onPlateau = false, inSquare = true, offTheEdge = true, alongThePlateau = false;
    bool hid = false, shootable = false;
    D3DXVECTOR3 hero, hide, spot;
    player.look = [&] {
        hero = getPlayer()->GetPosition().GetPosition();
        playthrough::GroundUnder(plateau, &plateauGround);
        playthrough::GroundUnder(square, &squareGround);
        onPlateau = playthrough::SameLevel(plateau);
        inSquare = playthrough::SameLevel(square);
        // Straight east goes off the plateau's edge; north along it does not.
        offTheEdge = playthrough::WalkableWay(hero, D3DXVECTOR3(-600.0f, 375.0f, hero.z));
        alongThePlateau = playthrough::WalkableWay(hero, D3DXVECTOR3(hero.x, 375.0f, hero.z + 300.0f));
        hid = playthrough::FindHidingSpot({inTheSquare, onThePlateau}, {}, {}, &hide);
        // Nearer the scaffold, as a restart would put him.
        player.Place(D3DXVECTOR3(-1950.0f, 375.0f, 250.0f), -1.5f);
        shootable = playthrough::FindShootingSpot(barrel, "", &spot);
    };
    EXPECT_EQ(VantorelMain(), 0);
    ASSERT_TRUE(player.looked) << "the run never stood at the square's checkpoint";
    EXPECT_NEAR(hero.y, 372.0f, 10.0f) << "on the plateau";
    EXPECT_NEAR(plateauGround, 372.0f, 5.0f);
    EXPECT_NEAR(squareGround, 0.0f, 5.0f);
    EXPECT_TRUE(onPlateau);
    EXPECT_FALSE(inSquare);
    EXPECT_FALSE(offTheEdge);
    EXPECT_TRUE(alongThePlateau);

    // Hidden: up on the plateau, the line from the square meets the rock, and
    // the one from farther along the plateau something standing on it.
    ASSERT_TRUE(hid);
    float ground = 0.0f;
    ASSERT_TRUE(playthrough::GroundUnder(hide, &ground));
    EXPECT_NEAR(ground, 372.0f, 5.0f);
    for (const D3DXVECTOR3& eye : {inTheSquare, onThePlateau})
        for (float height : {60.0f, 110.0f})
            EXPECT_FALSE(playthrough::ClearLine(eye, D3DXVECTOR3(hide.x, ground + height, hide.z), ""))
                << eye.x << " sees " << hide.x << " " << hide.z;
    EXPECT_LT(std::hypot(hide.x - hero.x, hide.z - hero.z), 820.0f) << "the nearest place that hides him";

    // The barrel from a spot on the plateau with nothing between, the wall
    // before it included.
    ASSERT_TRUE(shootable);
    ASSERT_TRUE(playthrough::GroundUnder(spot, &ground));
    EXPECT_NEAR(ground, 372.0f, 5.0f);
    EXPECT_TRUE(playthrough::ClearLine(D3DXVECTOR3(spot.x, ground + 110.0f, spot.z), barrel, ""));
    EXPECT_FALSE(playthrough::ClearLine(D3DXVECTOR3(-2150.0f, 482.0f, 500.0f), barrel, "")) << "the wall stands";
}

// The way between the square and the plateau: the ramp, stepped onto over
// its low south side west of the fence before its foot; from the fence's
// other side round its south end, and from north of the planks at the foot
// round its north end first.
TEST(IslandWay, RoundTheFenceUpTheRampAndDown)
{
    using playthrough::IslandWaypoint;
    const D3DXVECTOR3 plateau(-1500.0f, 375.0f, 0.0f), eastOfFence(400.0f, 0.0f, 0.0f), west(-400.0f, 0.0f, -300.0f);
    const D3DXVECTOR3 top(-860.0f, 372.0f, 300.0f), edge(-760.0f, 372.0f, 300.0f), low(-110.0f, 50.0f, 260.0f);
    const D3DXVECTOR3 entry(-15.0f, 0.0f, 110.0f), round(-90.0f, 0.0f, -120.0f), northEast(220.0f, 0.0f, 470.0f);
    const D3DXVECTOR3 step(-8.0f, 3.0f, 230.0f);
    // Up.
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(300.0f, 0.0f, 200.0f), plateau), round);
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(22.0f, 0.0f, 479.0f), plateau), northEast);
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(300.0f, 0.0f, -100.0f), plateau), round);
    EXPECT_EQ(IslandWaypoint(round, plateau), entry);
    EXPECT_EQ(IslandWaypoint(west, plateau), entry);
    EXPECT_EQ(IslandWaypoint(entry, plateau), step);
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(-105.0f, 0.0f, 140.0f), plateau), entry) << "not up the high side";
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(-100.0f, 45.0f, 250.0f), plateau), top);
    // Down: to the top of the ramp, down to its low end, and round the
    // fence's south end to the other side.
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(-1200.0f, 372.0f, -300.0f), eastOfFence), edge);
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(-700.0f, 360.0f, 300.0f), eastOfFence), low);
    EXPECT_EQ(IslandWaypoint(entry, eastOfFence), round);
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(300.0f, 0.0f, 200.0f), D3DXVECTOR3(-400.0f, 0.0f, 100.0f)), round);
    // Neither way: straight on.
    EXPECT_EQ(IslandWaypoint(round, eastOfFence), eastOfFence);
    EXPECT_EQ(IslandWaypoint(west, D3DXVECTOR3(-200.0f, 0.0f, 50.0f)), D3DXVECTOR3(-200.0f, 0.0f, 50.0f));
    EXPECT_EQ(IslandWaypoint(D3DXVECTOR3(-1200.0f, 372.0f, -300.0f), plateau), plateau);
}

} // namespace
} // namespace looptest
