// The enemy manager's frame, zones and queries, and the enemies it updates.
#include "enemies/enemy_fixture.h"
#include "enemies/fake_senses.h"

#include "app/GameStateFlags.h"
#include "player/ControllerSelector.h"
#include "world/CollisionManager.h"

namespace enemytest {
namespace {

TEST_F(EnemyTest, SevenLiveEnemiesAreAllUpdatedAndTheFirstFiveTracked)
{
    Load(ListXml("room01", WaveXml("wave_02", Row({"ene_7", "ene_1", "ene_6", "ene_2", "ene_5", "ene_3", "ene_4"}))),
         "room01", "wave_02");
    Enemy("ene_6")->getIA()->SetState("SEARCH_STATE");
    Enemy("ene_2")->getIA()->SetState("SEARCH_STATE");  // both beyond the pistol's reach
    // The runner to cover has a parapet between it and the hero to run to.
    FakeSenses senses;
    senses.AddCover("p_b_n_A_B_900", 1700, 0, 90);
    SetEnemySenses(&senses);
    Enemy("ene_3")->getIA()->SetState("MOVE_TO_COVER_STATE");
    Manager().Update(0.1f);
    Enemy("ene_3")->getIA()->FreeParapet();
    SetEnemySenses(nullptr);
    EXPECT_EQ(TrackedNames(), (std::vector<std::string>{"ene_1", "ene_2", "ene_3", "ene_4", "ene_5"}));
    EXPECT_EQ(Manager().GetTrackedCount(), 5);
    // The two beyond the fifth still count.
    EXPECT_EQ(Manager().GetSearchingCount(), 2);
    EXPECT_EQ(Manager().GetMoveToCoverCount(), 1);
    EXPECT_FALSE(Manager().CanAddSearcher());
    EXPECT_TRUE(Manager().CanAddCoverMover());
    // Updated, all seven: each raised its warning marker.
    for (const auto& entry : Manager().GetCurrentWaveEnemies())
        EXPECT_TRUE(entry.second->HasWarningMarker()) << entry.first;
}

TEST_F(EnemyTest, TheDeadAreUpdatedButNeitherCountedNorTracked)
{
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1", "ene_2", "ene_3", "ene_4", "ene_5"}))));
    Enemy("ene_2")->getIA()->SetState("SEARCH_STATE");
    Enemy("ene_2")->getIA()->destroyThisGuy();
    Enemy("ene_4")->getIA()->destroyThisGuy();
    Manager().Update(0.1f);
    EXPECT_EQ(TrackedNames(), (std::vector<std::string>{"ene_1", "ene_3", "ene_5"}));
    EXPECT_EQ(Manager().GetTrackedEnemies()[3], nullptr);
    EXPECT_EQ(Manager().GetSearchingCount(), 0);
    EXPECT_TRUE(Manager().MoreThanOneAlive());
    EXPECT_FALSE(Enemy("ene_2")->GetEntity()->IsVisible());
}

TEST_F(EnemyTest, FrozenNothingMovesAndTheStoryIsNotTold)
{
    // Not in a fight, whatever an earlier test left him in.
    if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
        selector->SwitchToFree(false, false);
    Load(ListXml("room01", WaveXml("wave_01", Row({"ene_1", "ene_2"}))), "room01", "wave_01");
    Enemy("ene_2")->getIA()->EnterFighting();
    getGSF().waveCode = -1;
    Manager().freezeIA();
    Manager().Update(0.1f);
    // The hero is not fighting: not even the fighting enemy moves.
    EXPECT_EQ(Manager().GetTrackedCount(), 0);
    EXPECT_EQ(getGSF().waveCode, -1);
    EXPECT_FALSE(Enemy("ene_2")->HasWarningMarker());
    Manager().resumeIA();
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetTrackedCount(), 2);
    EXPECT_TRUE(Enemy("ene_2")->HasWarningMarker());
    EXPECT_EQ(getGSF().waveCode, 15);
}

TEST(WaveCode, FromTheWaveNameAndWhetherAnyoneLives)
{
    struct Case {
        const char* wave;
        bool alive;
        int code;
    };
    const Case cases[] = {
        {"wave_00", true, 14}, {"wave_00", false, 25}, {"wave_04", true, 18}, {"wave_08", false, 33},
        {"wave_09", true, 23}, {"wave_09", false, -1}, {"wave_31", true, -1}, {"w9", true, -1},
        {"0", true, -1},       {"", false, -1},        {"wave_0x", true, -1},
    };
    for (const Case& c : cases) {
        CGameStateFlagsManager flags;
        flags.waveCode = -1;
        flags.setWaveCodeFromName(c.wave, c.alive);
        EXPECT_EQ(flags.waveCode, c.code) << c.wave << " " << c.alive;
    }
}

TEST_F(EnemyTest, ZonesSetTheirLetterAndGoingBackKillsTheWaveLeft)
{
    const std::pair<std::pair<const char*, const char*>, char> letters[] = {
        {{"room01", "wave_00"}, 'A'}, {{"room01", "wave_04"}, 'A'}, {{"room01", "wave_05"}, 'B'},
        {{"room01", "wave_06"}, 'C'}, {{"room01", "wave_07"}, 'D'}, {{"room01", "wave_09"}, 'D'},
        {{"room3", "wave_31"}, 'A'},  {{"room3", "wave_32"}, 'B'},  {{"room3", "wave_36"}, 'B'},
        {{"room", "w"}, 'A'},  // too short for their digits: both count as 0
    };
    for (const auto& c : letters) {
        Manager().setNewZone(c.first.first, c.first.second);
        EXPECT_EQ(Manager().GetZoneLetter(), c.second) << c.first.first << " " << c.first.second;
    }

    Load(ListXml("room01", WaveXml("wave_02", Row({"ene_a", "ene_b"})) + WaveXml("wave_03", Row({"ene_c"}))), "room01",
         "wave_02");
    Manager().setNewZone("room01", "wave_02");  // the same zone again
    EXPECT_FALSE(Enemy("ene_a")->getIA()->IsDestroyed());
    Manager().setNewZone("room01", "wave_01");  // back
    Manager().setNewZone("room01", "wave_02");
    EXPECT_TRUE(Enemy("ene_a")->getIA()->IsDestroyed());
    EXPECT_EQ(Enemy("ene_b")->getIA()->GetState(), CIAEnemyCover::DEAD);
    EXPECT_EQ(Enemy("ene_b")->GetLife(), 0);
    // Forward, to another room and back from it: the room left dies, not this one.
    Manager().setNewZone("room01", "wave_03");
    Manager().setNewZone("room3", "wave_31");
    Manager().setNewZone("room01", "wave_03");
    EXPECT_FALSE(Enemy("ene_c")->getIA()->IsDestroyed());
    Manager().setNewZone("room01", "wave_09");
    Manager().setNewZone("room01", "wave_03");
    EXPECT_FALSE(Enemy("ene_c")->getIA()->IsDestroyed());
    Manager().setNewZone("room01", "wave_00");
    Manager().setNewZone("room01", "wave_03");
    EXPECT_TRUE(Enemy("ene_c")->getIA()->IsDestroyed());
}

TEST_F(EnemyTest, ReduceLifeBloodiesTheSkinAtTheFirstHitSurvived)
{
    struct Case {
        std::uint16_t hit;
        short life;
        bool blood;
    };
    const Case cases[] = {{20, 0, false}, {5, 10, true}, {15, 0, false}};
    for (const Case& c : cases) {
        Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1"}))));
        CEnemy* enemy = Enemy("ene_1");
        enemy->SetLife(15);
        enemy->reduceLife(c.hit);
        EXPECT_EQ(enemy->GetLife(), c.life) << c.hit;
        EXPECT_EQ(enemy->IsBloodApplied(), c.blood) << c.hit;
    }
    CEnemy* enemy = Enemy("ene_1");
    enemy->SetLife(15);
    enemy->reduceLife(5);
    enemy->reduceLife(5);
    EXPECT_EQ(enemy->GetLife(), 5);
    EXPECT_TRUE(enemy->IsBloodApplied());
}

TEST_F(EnemyTest, WarningMarkersOutsideTheGhostWaveAndTheFreeCamera)
{
    const std::vector<EnemyEntry> named = Row({"ene_5", "ene_50", "ene_53", "ene_7", "ene_"});
    Load(ListXml("room01", WaveXml("wave_00", named) + WaveXml("wave_01", named)));
    Manager().Update(0.1f);
    for (const auto& entry : Manager().GetCurrentWaveEnemies())
        EXPECT_FALSE(entry.second->HasWarningMarker()) << entry.first;

    Manager().setNewZone("room01", "wave_01");
    getCamera().SetFreeCamera(true);
    Manager().Update(0.1f);
    EXPECT_FALSE(Enemy("ene_5")->HasWarningMarker());
    getCamera().SetFreeCamera(false);
    Manager().Update(0.1f);
    const std::pair<const char*, bool> cases[] = {
        {"ene_5", true}, {"ene_50", false}, {"ene_53", false}, {"ene_7", true}, {"ene_", true}};
    for (const auto& c : cases)
        EXPECT_EQ(Enemy(c.first)->HasWarningMarker(), c.second) << c.first;
}

TEST_F(EnemyTest, AnimationTravelMovesTheModelInAFinisherEvenEne50FightingButNotEne50FightingPlainly)
{
    EnemyEntry mover{"ene_1", "soldado", Point(0, 0, 0)};
    EnemyEntry boss{"ene_50", "soldado", Point(0, 0, 500)};
    EnemyEntry still{"ene_50", "soldado", Point(0, 0, 900)};
    Load(ListXml("room01", WaveXml("wave_00", {mover, boss}) + WaveXml("wave_01", {still})));
    getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(5000, 0, 5000));  // out of their sight
    for (CEnemy* enemy : {Enemy("ene_1"), Enemy("ene_50")}) {
        enemy->GetPosition().SetYaw(kPi / 2);
        enemy->PlaceEntity();
        enemy->getIA()->SetFinisherFlag(true);
        ASSERT_GT(enemy->GetEntity()->ExecuteAction("roll", 0.0f, 0.0f, 1.0f, false), 0.0f);
    }
    Enemy("ene_50")->getIA()->EnterFighting();
    for (int i = 0; i < 5; ++i)
        Manager().Update(0.1f);
    // Facing +X, the roll carries it along +X only.
    const D3DXVECTOR3 moved = Enemy("ene_1")->GetPosition().GetPosition();
    EXPECT_GT(moved.x, 20.0f);
    EXPECT_NEAR(moved.z, 0.0f, 0.5f);
    EXPECT_EQ(Enemy("ene_1")->GetEntity()->GetTransform().GetPosition(), moved);
    // The boss's finisher carries him the same way.
    const D3DXVECTOR3 thrown = Enemy("ene_50")->GetPosition().GetPosition();
    EXPECT_NEAR(thrown.x, moved.x, 0.5f);
    EXPECT_NEAR(thrown.z, 500.0f, 0.5f);

    // Fighting without a finisher, the boss stands where he is.
    Manager().setNewZone("room01", "wave_01");
    CEnemy* boss50 = Enemy("ene_50");
    boss50->GetPosition().SetYaw(kPi / 2);
    boss50->getIA()->EnterFighting();
    ASSERT_GT(boss50->GetEntity()->ExecuteAction("roll", 0.0f, 0.0f, 1.0f, false), 0.0f);
    for (int i = 0; i < 5; ++i)
        Manager().Update(0.1f);
    EXPECT_EQ(boss50->GetPosition().GetPosition(), D3DXVECTOR3(0, 0, 900));
}

TEST_F(EnemyTest, BodiesAreMadeOncePerWaveStartAndWalkByTheAnimation)
{
    getCollisionManager().InitPhysicsWorld();
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1", "ene_2"})) + WaveXml("wave_01", Row({"ene_3"}))));
    Manager().Update(0.0f);
    const auto& bodies = getCollisionManager().GetEnemyBodies();
    ASSERT_EQ(bodies.count("ene_1") + bodies.count("ene_2"), 2u);
    getCollisionManager().RemoveEnemyBody("ene_2");
    Manager().Update(0.0f);
    EXPECT_EQ(bodies.count("ene_2"), 0u);
    Manager().setNewZone("room01", "wave_01");
    Manager().Update(0.0f);
    EXPECT_EQ(bodies.count("ene_3"), 1u);

    // A roll walks the body forward (+Z), and the enemy follows its body.
    CEnemy* enemy = Enemy("ene_3");
    ASSERT_GT(enemy->GetEntity()->ExecuteAction("roll", 0.0f, 0.0f, 1.0f, false), 0.0f);
    for (int i = 0; i < 30; ++i) {
        Manager().Update(1.0f / 30);
        getCollisionManager().Update(1.0f / 60);
    }
    Manager().Update(0.0f);
    EXPECT_GT(enemy->GetPosition().GetPosition().z, 20.0f);
    EXPECT_NEAR(enemy->GetPosition().GetPosition().x, 300.0f, 1.0f);
    Manager().ResetWaves();
}

TEST_F(EnemyTest, AnyBotAliveLastsThroughTheLastDeathAnimation)
{
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1"}))));
    EXPECT_TRUE(Manager().anyBotAlive());
    CEnemy* enemy = Enemy("ene_1");
    enemy->SetLife(0);
    ASSERT_GT(enemy->GetEntity()->ExecuteAction("death_grave", 0.0f, 0.0f, 1.0f, false), 0.0f);
    EXPECT_TRUE(Manager().anyBotAlive());
    EXPECT_FALSE(Manager().MoreThanOneAlive());
    for (int i = 0; i < 100 && enemy->GetEntity()->GetActionCount() > 0; ++i)
        Manager().Update(0.1f);
    EXPECT_EQ(enemy->GetEntity()->GetActionCount(), 0);
    EXPECT_FALSE(Manager().anyBotAlive());
    Manager().setNewZone("room01", "wave_05");
    EXPECT_FALSE(Manager().anyBotAlive());
}

TEST_F(EnemyTest, TheNextAimTargetIsTheNearestUnder2000ElseTheCurrentOne)
{
    EnemyEntry current{"ene_a", "soldado", Point(100, 0, 0)};
    EnemyEntry other{"ene_b", "soldado", Point(2500, 0, 0)};
    Load(ListXml("room01", WaveXml("wave_00", {current, other})));
    Manager().Update(0.0f);
    EXPECT_EQ(Manager().GetNearestTrackedEnemy("ene_a"), Enemy("ene_a"));
    Enemy("ene_b")->GetPosition().SetPosition(D3DXVECTOR3(1000, 500, -499));  // 1999 with height
    EXPECT_EQ(Manager().GetNearestTrackedEnemy("ene_a"), Enemy("ene_b"));
    EXPECT_EQ(Manager().GetNearestTrackedEnemy(""), Enemy("ene_a"));
    EXPECT_EQ(Manager().GetTrackedEnemyPosition("ene_b"), D3DXVECTOR3(1000, 500, -499));
    Enemy("ene_a")->getIA()->destroyThisGuy();
    Enemy("ene_b")->getIA()->destroyThisGuy();
    EXPECT_EQ(Manager().GetNearestTrackedEnemy("ene_a"), nullptr);
    EXPECT_FLOAT_EQ(Manager().GetDistanceToFirstLiveEnemy(), 0.0f);
}

TEST_F(EnemyTest, NearnessAndDockersOfTheWave)
{
    EnemyEntry near{"ene_1", "soldado", Point(400, 0, 499)};
    EnemyEntry docker{"ene_Dockers1", "soldado", Point(100, 0, 0)};
    Load(ListXml("room01", WaveXml("wave_00", {near, docker})));
    EXPECT_FLOAT_EQ(Manager().GetDistanceToFirstLiveEnemy(), 899.0f);
    EXPECT_TRUE(Manager().IsEnemyNearPlayer());
    EXPECT_TRUE(Manager().IsAnyNonDockerAlive());
    Enemy("ene_1")->getIA()->destroyThisGuy();
    EXPECT_FALSE(Manager().IsAnyNonDockerAlive());
    Enemy("ene_Dockers1")->GetPosition().SetPosition(D3DXVECTOR3(900, 0, 0));
    EXPECT_FALSE(Manager().IsEnemyNearPlayer());
    EXPECT_FALSE(Manager().IsAnyEnemyShooting());
}

TEST(EnemyGroups, OffsetsShrinkByTheObstacleGroup)
{
    struct Case {
        char c1, c2;
        float v, shrunk;
    };
    const Case cases[] = {
        {'m', 'x', 100.0f, 16.0f}, {'c', 'o', 100.0f, 40.0f}, {'z', 'z', 100.0f, 32.768f}, {'c', 'a', 100.0f, 32.768f},
        {'m', '1', 20.0f, 20.0f},  {'z', 'z', 40.0f, 40.0f},  {'z', 'z', -300.0f, -300.0f}, {'m', 'm', 21.0f, 8.4f},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ShrinkOffsetByName(c.c1, c.c2, c.v), c.shrunk, 1e-3) << c.c1 << c.c2 << " " << c.v;
    CEnemyManager manager;
    const D3DXVECTOR3 moved = manager.OffsetTowardPoint(D3DXVECTOR3(100, 7, 0), D3DXVECTOR3(0, 0, 100), "col_mx");
    EXPECT_NEAR(moved.x, 116.0f, 1e-3);
    EXPECT_FLOAT_EQ(moved.y, 0.0f);
    EXPECT_FLOAT_EQ(moved.z, -100.0f);
    // A short name reads as no group.
    EXPECT_NEAR(manager.OffsetTowardPoint(D3DXVECTOR3(100, 0, 0), D3DXVECTOR3(0, 0, 0), "c").x, 132.768f, 1e-3);
}

TEST(EnemyGroups, PairedFixedPointsAndObstacleGroups)
{
    struct Case {
        const char* a;
        const char* b;
        bool paired;
    };
    const Case cases[] = {
        {"col_xxxxxxH1x2A", "col_xxxxxxH1x2B", true},
        {"col_xxxxxxH1x2A", "col_xxxxxxH1x2A", false},
        {"col_xxxxxxH1x2A", "col_xxxxxxH1x3B", false},
        {"col_xxxxxxH1x2A", "col_xxxxxxH2x2B", false},
        {"col_xxxxxxG1x2A", "col_xxxxxxG1x2B", false},
        {"col_xxxxxxH1x2A", "col_xxxxxxH1x2AB", false},
        {"col_xxxxxxH1x2", "col_xxxxxxH1x2", false},
        {"empty", "empty", false},
        {"", "", false},
    };
    CEnemyManager manager;
    for (const Case& c : cases)
        EXPECT_EQ(manager.IsPairedFixedPoint(c.a, c.b), c.paired) << c.a << " " << c.b;

    const std::pair<const char*, std::vector<bool>> groups[] = {
        // M1 M2 G P A1 A2
        {"col_M1", {true, false, false, false, false, false}},
        {"col_M2x", {false, true, false, false, false, false}},
        {"col_G", {false, false, true, false, false, false}},
        {"col_P3", {false, false, false, true, false, false}},
        {"col_A1", {false, false, false, false, true, false}},
        {"col_A2", {false, false, false, false, false, true}},
        {"col_", {false, false, false, false, false, false}},
        {"", {false, false, false, false, false, false}},
    };
    for (const auto& g : groups) {
        manager.scratchName = g.first;
        const std::vector<bool> got = {manager.IsGroupM1(), manager.IsGroupM2(), manager.IsGroupG(),
                                       manager.IsGroupP(),  manager.IsGroupA1(), manager.IsGroupA2()};
        EXPECT_EQ(got, g.second) << g.first;
    }
}

TEST_F(EnemyTest, ScriptHelpersTurnAndSlowNamedEnemiesAndSkipMissingOnes)
{
    EnemyEntry first{"ene_002", "soldado", Point(0, 0, 300)};
    EnemyEntry slow{"ene_004", "soldado", Point(300, 0, 300)};
    Load(ListXml("room01", WaveXml("wave_00", {first, slow}) + WaveXml("wave_01", {first, slow})));
    Manager().putB1LookingToB2("ene_002", "ene_004");
    EXPECT_NEAR(Enemy("ene_002")->GetPosition().GetYaw(), kPi / 2, 1e-4);
    EXPECT_NEAR(Enemy("ene_002")->GetEntity()->GetTransform().GetYaw(), kPi / 2, 1e-4);
    Manager().putB1LookingToB2("ene_004", "ene_999");
    Manager().putB1LookingToB2("ene_999", "ene_004");
    EXPECT_FLOAT_EQ(Enemy("ene_004")->GetPosition().GetYaw(), 0.0f);

    Manager().configureFirstGhostWave();
    EXPECT_FLOAT_EQ(Enemy("ene_002")->GetPosition().GetYaw(), 3.06f);
    EXPECT_FLOAT_EQ(Enemy("ene_004")->GetStep(), 40.0f);
    EXPECT_FLOAT_EQ(Enemy("ene_004")->GetTurn(), 1.5707964f);
    Manager().setNewZone("room01", "wave_01");
    Manager().configureFirstGhostWave();
    EXPECT_FLOAT_EQ(Enemy("ene_004")->GetStep(), 3.0f);

    Manager().FinalBattle();  // no "ene_50" here
    EXPECT_EQ(Enemy("ene_002")->getIA()->GetState(), CIAEnemyCover::IDLE);
    Load(ListXml("room3", WaveXml("wave_36", Row({"ene_50", "ene_51"}))), "room3", "wave_36");
    Manager().FinalBattle();
    EXPECT_EQ(Enemy("ene_50")->getIA()->GetState(), CIAEnemyCover::FIGHTING);
    EXPECT_EQ(Enemy("ene_51")->getIA()->GetState(), CIAEnemyCover::IDLE);
}

// The final battle needs its boss standing; without one the story goes on to
// the memorial instead of waiting at the panels before the fight.
TEST_F(EnemyTest, TheFinalBattleWithoutALiveBossGoesOnToTheMemorial)
{
    using G = CGameStateFlagsManager;
    Load(ListXml("room3", WaveXml("wave_36", Row({"ene_50", "ene_51"}))), "room3", "wave_36");
    getGSF().islaSequence = G::PlayingVinyetasPredockers;
    Manager().FinalBattle();
    EXPECT_EQ(getGSF().islaSequence, G::PlayingVinyetasPredockers) << "the boss stands: the fight plays";
    EXPECT_EQ(Enemy("ene_50")->getIA()->GetState(), CIAEnemyCover::FIGHTING);

    Load(ListXml("room3", WaveXml("wave_36", Row({"ene_50", "ene_51"}))), "room3", "wave_36");
    getGSF().islaSequence = G::PlayingVinyetasPredockers;
    Enemy("ene_50")->getIA()->destroyThisGuy();
    Manager().FinalBattle();
    EXPECT_EQ(getGSF().islaSequence, G::ReadyMemoriam) << "a removed boss";
    EXPECT_NE(Enemy("ene_50")->getIA()->GetState(), CIAEnemyCover::FIGHTING);

    Load(ListXml("room3", WaveXml("wave_36", Row({"ene_51"}))), "room3", "wave_36");
    getGSF().islaSequence = G::PlayingVinyetasPredockers;
    Manager().FinalBattle();
    EXPECT_EQ(getGSF().islaSequence, G::ReadyMemoriam) << "no boss in the wave";
    EXPECT_EQ(Enemy("ene_51")->getIA()->GetState(), CIAEnemyCover::IDLE);
    getGSF().resetStates();
}

TEST_F(EnemyTest, TheHerosNoiseAlarmsTheQuietEnemiesNearHim)
{
    EnemyEntry idle{"ene_1", "soldado", Point(1999, 0, 0)};
    EnemyEntry patrol{"ene_2", "soldado", Point(0, 0, 100)};
    patrol.state = "PATROL_STATE";
    EnemyEntry far{"ene_3", "soldado", Point(1000, 0, 1000)};
    EnemyEntry searching{"ene_4", "soldado", Point(0, 0, 200)};
    searching.state = "SEARCH_STATE";
    Load(ListXml("room01", WaveXml("wave_00", {idle, patrol, far, searching})));
    Manager().AlarmEnemiesNearPlayer();
    EXPECT_EQ(Enemy("ene_1")->getIA()->GetState(), CIAEnemyCover::ALARMED);
    EXPECT_EQ(Enemy("ene_2")->getIA()->GetState(), CIAEnemyCover::ALARMED);
    EXPECT_EQ(Enemy("ene_3")->getIA()->GetState(), CIAEnemyCover::IDLE);
    EXPECT_EQ(Enemy("ene_4")->getIA()->GetState(), CIAEnemyCover::SEARCHING);
}

} // namespace
} // namespace enemytest
