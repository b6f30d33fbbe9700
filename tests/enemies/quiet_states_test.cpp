// Enemies that have not engaged the hero yet, or lost him: patrol, idle,
// alarm and search, and the walking step the manager gives them.
#include "enemies/fake_senses.h"

#include "math/VectorMath.h"
#include "world/TriggerManager.h"

namespace enemytest {
namespace {

const char kStateTypes[] = R"(<TYPES>
  <TYPE tName="soldado"><CONSTANTS topLife="100" step="3" turn="2" nearDist="120" viewDist="1000"
    lostDist="2000" visionAngle="60" alarmDist="1400" minDistanceToPlayerWhenChasing="500"
    lifeLimitToBeHurt="40" canCover="1" canMove="1"/></TYPE>
  <TYPE tName="torreta"><CONSTANTS topLife="100" step="3" nearDist="120" viewDist="1000" lostDist="2000"
    visionAngle="60" alarmDist="1400" canMove="0"/></TYPE>
</TYPES>)";

class QuietStatesTest : public EnemyTest {
protected:
    void SetUp() override
    {
        EnemyTest::SetUp();
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, 0));
        SetEnemySenses(&senses);
        getTriggerManager().getTriggerLogicByName("ene1_2")->active = false;
    }
    void TearDown() override
    {
        for (const auto& entry : Manager().GetCurrentWaveEnemies())
            entry.second->getIA()->FreeParapet();
        SetEnemySenses(nullptr);
        EnemyTest::TearDown();
    }

    // Enemies of one wave of room01, all loaded with the test's tuning.
    void Wave(const std::vector<EnemyEntry>& enemies, const std::string& wave = "wave_02")
    {
        Load(ListXml("room01", WaveXml(wave, enemies)), "room01", wave, kStateTypes);
    }
    // "name" at (x, 0, z) facing yawDegrees (0 faces +Z, away from a hero at the origin).
    CEnemy* One(const std::string& name, float x, float z, float yawDegrees = 0.0f,
                const std::string& type = "soldado", const std::string& wave = "wave_02")
    {
        Wave({EnemyEntry{name, type, Point(x, 0, z, yawDegrees)}}, wave);
        // The list starts every enemy facing +Z: turn it the case's way.
        CEnemy* enemy = Enemy(name);
        enemy->GetPosition().SetYaw(yawDegrees * kPi / 180.0f);
        enemy->PlaceEntity();
        return enemy;
    }
    static void MoveTo(CEnemy* enemy, float x, float z) { enemy->GetPosition().SetPosition(D3DXVECTOR3(x, 0, z)); }

    FakeSenses senses;
    RangedGun gun{900.0f};
};

TEST_F(QuietStatesTest, APatrolLoopsItsPointsAndWrapsToTheFirst)
{
    senses.inCover = true;  // nothing notices him in passing
    CEnemy* enemy = One("ene_1", 0, 5000);
    CIAEnemyCover* ai = enemy->getIA();
    const std::vector<D3DXVECTOR3> points = {{0, 0, 5000}, {300, 0, 5000}, {300, 0, 5300}};
    ai->SetPatrolPoints(points);
    ai->SetState("PATROL_STATE");

    // Standing on the first point: it heads for it once more, then the next.
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::PATROL);
    EXPECT_TRUE(ai->IsMoving());
    EXPECT_EQ(ai->GetPatrolIndex(), 1);

    struct Step {
        D3DXVECTOR3 at;
        int index;  // after the frame
        D3DXVECTOR3 heading;
    };
    const Step steps[] = {
        {{150, 0, 5000}, 1, points[1]},     {{289.5f, 0, 5000}, 1, points[1]},  // 10.5 short: not there yet
        {{289.6f, 0, 5000}, 2, points[1]},  {{300, 0, 5200}, 2, points[2]},
        {{300, 0, 5290}, 0, points[2]},     {{100, 0, 5000}, 0, points[0]},  // round again
    };
    for (const Step& s : steps) {
        MoveTo(enemy, s.at.x, s.at.z);
        ai->Update(0.1f);
        EXPECT_EQ(ai->GetPatrolIndex(), s.index) << s.at.x << " " << s.at.z;
        EXPECT_EQ(ai->GetDestination(), s.heading) << s.at.x << " " << s.at.z;
        EXPECT_TRUE(ai->WantsNewPosition());
    }
}

TEST_F(QuietStatesTest, WithoutPatrolPointsItWalksHomeThenResumesWhatItWasAsked)
{
    senses.inCover = true;
    for (const char* asked : {"IDLE_STATE", "PATROL_STATE"}) {
        CEnemy* enemy = One("ene_1", 0, 5000);
        CIAEnemyCover* ai = enemy->getIA();
        ai->SetState(asked);
        ai->EnterPatrol();
        MoveTo(enemy, 0, 5200);
        ai->Update(0.1f);
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::PATROL) << asked;
        EXPECT_TRUE(ai->IsMoving()) << asked;
        EXPECT_EQ(ai->GetDestination(), D3DXVECTOR3(0, 0, 5000)) << asked;
        EXPECT_TRUE(ai->IsCoverRequested()) << asked;

        MoveTo(enemy, 0, 5010.5f);
        ai->Update(0.1f);
        EXPECT_TRUE(ai->IsMoving()) << asked;
        MoveTo(enemy, 0, 5010.4f);
        ai->Update(0.1f);
        EXPECT_FALSE(ai->IsMoving()) << asked;
        const bool patrols = std::string(asked) == "PATROL_STATE";
        EXPECT_EQ(ai->GetState(), patrols ? CIAEnemyCover::PATROL : CIAEnemyCover::IDLE) << asked;
    }
}

TEST_F(QuietStatesTest, AnAlarmRunsToWhereTheHeroWasButNeverToTheOrigin)
{
    senses.inCover = true;
    // Heard at the world origin: nowhere to go, it stands idle.
    CEnemy* enemy = One("ene_1", 300, 3000);
    CIAEnemyCover* ai = enemy->getIA();
    ai->SetState("ALARMED_STATE");
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::ALARMED);
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::IDLE);
    EXPECT_FALSE(ai->IsMoving());

    senses.hero.SetPosition(D3DXVECTOR3(300, 0, 0));
    enemy = One("ene_1", 300, 3000);
    ai = enemy->getIA();
    ai->SetState("ALARMED_STATE");
    senses.hero.SetPosition(D3DXVECTOR3(-2000, 0, 0));  // he has moved on since
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::ALARMED);
    EXPECT_TRUE(ai->IsMoving());
    EXPECT_EQ(ai->GetDestination(), D3DXVECTOR3(300, 0, 0));
    MoveTo(enemy, 300, 10.0f);
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::ALARMED);
    MoveTo(enemy, 300, 9.9f);
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::PATROL);
}

TEST_F(QuietStatesTest, TheSearchLosesTheHeroAtLostDistAndChasesDownToTheChaseDistance)
{
    struct Case {
        float distance;
        bool blocked;
        std::uint16_t state;
        bool moving;
    };
    const Case cases[] = {
        {2000, true, CIAEnemyCover::PATROL, false},    {1999, true, CIAEnemyCover::SEARCHING, true},
        {500, true, CIAEnemyCover::SEARCHING, true},   {499, true, CIAEnemyCover::SEARCHING, false},
        {300, false, CIAEnemyCover::SHOOTING, false},
    };
    for (const Case& c : cases) {
        senses.blocked = c.blocked;
        CEnemy* enemy = One("ene_1", 0, c.distance, 180);
        enemy->SetWeapon(&gun);
        CIAEnemyCover* ai = enemy->getIA();
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, -7));
        ai->SetState("SEARCH_STATE");
        ASSERT_EQ(ai->GetState(), CIAEnemyCover::SEARCHING);
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, 0));  // the chase follows him
        ai->Update(0.1f);
        EXPECT_EQ(ai->GetState(), c.state) << c.distance;
        EXPECT_EQ(ai->IsMoving(), c.moving) << c.distance;
        if (c.moving)
            EXPECT_EQ(ai->GetDestination(), D3DXVECTOR3(0, 0, 0)) << c.distance;
    }
}

TEST_F(QuietStatesTest, TheFirstWaveOnlyWakesItsSecondGroup)
{
    senses.inCover = true;
    for (const char* wave : {"wave_01", "wave_02"}) {
        for (const char* asked : {"SEARCH_STATE", "ALARMED_STATE"}) {
            getTriggerManager().getTriggerLogicByName("ene1_2")->active = false;
            CIAEnemyCover* ai = One("ene_1", 0, 3000, 0, "soldado", wave)->getIA();
            ai->SetState(asked);
            const bool staged = std::string(wave) == "wave_01";
            EXPECT_EQ(ai->GetState() == CIAEnemyCover::IDLE, staged) << wave << " " << asked;
            EXPECT_EQ(getTriggerManager().getTriggerLogicByName("ene1_2")->active, staged) << wave << " " << asked;
        }
    }
}

TEST_F(QuietStatesTest, ASearcherAlarmsTheWaveNearTheHeroUnlessItIsThePlaneOrCalledFromCover)
{
    senses.inCover = true;
    struct Case {
        const char* searcher;
        bool inCover;
        bool shooterInWave;
        bool alarms;
    };
    const Case cases[] = {
        {"ene_1", false, false, true},
        {"ene_Avioneta", false, false, false},
        {"ene_1", true, true, false},  // calls for cover instead
        {"ene_1", true, false, true},
    };
    for (const Case& c : cases) {
        EnemyEntry searcher{c.searcher, "soldado", Point(0, 0, 3000)};
        EnemyEntry nearby{"ene_2", "soldado", Point(0, 0, 1999)};
        EnemyEntry far{"ene_3", "soldado", Point(0, 0, 2000)};
        EnemyEntry shooter{"ene_4", "soldado", Point(0, 0, 3500)};
        Wave({searcher, nearby, far, shooter});
        if (c.shooterInWave)
            Enemy("ene_4")->getIA()->EnterShooting();
        CIAEnemyCover* ai = Enemy(c.searcher)->getIA();
        senses.parapets.clear();
        senses.AddCover("p_b_n_A_B_900", 0, 2900, 180);
        ASSERT_TRUE(ai->TakeNamedCoverPoint("p_b_n_A_B_900"));
        ai->SetInCover(c.inCover);
        ai->SetState("SEARCH_STATE");
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::SEARCHING) << c.searcher;
        EXPECT_EQ(Enemy("ene_2")->getIA()->GetState() == CIAEnemyCover::ALARMED, c.alarms) << c.searcher;
        EXPECT_EQ(Enemy("ene_3")->getIA()->GetState(), CIAEnemyCover::IDLE) << c.searcher;
        // Whoever searches has left cover; its parapet is free for others.
        EXPECT_FALSE(ai->IsInCover());
        EXPECT_EQ(senses.parapets.back()->free, c.inCover) << c.searcher;
        EXPECT_EQ(ai->IsCoverRequested(), false);
    }
}

TEST_F(QuietStatesTest, IdleEnemiesSearchWhenTheySeeHimAndTurretsOnlyShootWhatTheyReach)
{
    struct Case {
        const char* type;
        float distance;
        float yaw;  // 180 faces the hero
        bool blocked;
        bool heroArmed;
        std::uint16_t state;
    };
    const Case cases[] = {
        {"soldado", 999, 180, true, false, CIAEnemyCover::SEARCHING},
        {"soldado", 1001, 180, true, false, CIAEnemyCover::IDLE},
        {"soldado", 999, 0, true, false, CIAEnemyCover::IDLE},  // looking away
        {"soldado", 999, 0, true, true, CIAEnemyCover::ALARMED},
        {"soldado", 300, 0, false, false, CIAEnemyCover::IDLE},  // in reach but never seen
        {"torreta", 300, 180, false, false, CIAEnemyCover::SHOOTING},
        {"torreta", 300, 180, true, false, CIAEnemyCover::IDLE},
        {"torreta", 300, 0, false, true, CIAEnemyCover::SHOOTING},
        {"torreta", 999, 180, false, true, CIAEnemyCover::IDLE},  // beyond its gun
    };
    senses.inCover = true;
    for (const Case& c : cases) {
        senses.blocked = c.blocked;
        senses.readyToShoot = c.heroArmed;
        CEnemy* enemy = One("ene_1", 0, c.distance, c.yaw, c.type);
        enemy->SetWeapon(&gun);
        enemy->getIA()->Update(0.1f);
        EXPECT_EQ(enemy->getIA()->GetState(), c.state) << c.type << " " << c.distance << " " << c.yaw;
    }
}

TEST_F(QuietStatesTest, EnemiesTurnTowardTheirWayBeforeWalkingIt)
{
    struct Case {
        float angle;  // of the target from the enemy's heading
        float turn;   // the one step taken
        bool walks;
    };
    const Case cases[] = {{1.0f, 0.25f, false}, {0.69f, 0.25f, false}, {0.5f, 0.09f, true},
                          {0.11f, 0.09f, true}, {0.05f, 0.0f, true}};
    CEnemy* enemy = One("ene_1", 0, 0);
    for (const Case& c : cases) {
        for (float side : {1.0f, -1.0f}) {
            enemy->GetPosition().SetYaw(0.0f);
            const D3DXVECTOR3 target = DirectionFromYaw(side * c.angle) * 100.0f;
            const float before = enemy->GetPosition().AngleTo(target);
            EXPECT_EQ(enemy->TurnTowards(target.x, target.y, target.z), c.walks) << c.angle;
            // The turn closes the angle, never opens it.
            EXPECT_NEAR(std::fabs(enemy->GetPosition().AngleTo(target)), std::fabs(before) - c.turn, 1e-4f)
                << c.angle << " " << side;
        }
    }
}

TEST_F(QuietStatesTest, AWalkerThatCollisionsHoldInPlaceGivesUpAndSearches)
{
    senses.inCover = true;
    // Nothing moves the bodies here: every walking step finds the enemy
    // where the last one left it.
    // The first step has no step before it, even from the world origin.
    for (float start : {3000.0f, 0.0f})
    for (const char* asked : {"ALARMED_STATE", "PATROL_STATE"}) {
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, 5000));
        CEnemy* enemy = One("ene_1", 0, start, 0);  // facing its way
        CIAEnemyCover* ai = enemy->getIA();
        ai->SetPatrolPoints({{0, 0, 3500}, {0, 0, 4000}});
        ai->SetState(asked);
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, -3000));
        Manager().Update(0.1f);
        EXPECT_EQ(ai->GetEventPointA(), D3DXVECTOR3(0, 0, start)) << asked;
        EXPECT_NE(ai->GetState(), CIAEnemyCover::SEARCHING) << asked << " " << start;
        Manager().Update(0.1f);
        // Only those out to reach something give up; a patrol keeps going.
        // A walk that started at the origin has no step to compare with.
        const bool stuck = std::string(asked) == "ALARMED_STATE" && start != 0.0f;
        EXPECT_EQ(ai->GetState() == CIAEnemyCover::SEARCHING, stuck) << asked << " " << start;
    }
    // An enemy that must turn first takes no step.
    CEnemy* enemy = One("ene_1", 0, 3000, 180);
    enemy->getIA()->SetPatrolPoints({{0, 0, 3500}, {0, 0, 4000}});
    enemy->getIA()->SetState("PATROL_STATE");
    Manager().Update(0.1f);
    EXPECT_EQ(enemy->getIA()->GetEventPointA(), D3DXVECTOR3(0, 0, 0));
    EXPECT_NEAR(std::fabs(WrapAngle(enemy->GetPosition().GetYaw())), kPi - 0.25f, 1e-4f);
}

// Whether the model's only cycle is "name": clearing it at once leaves none.
bool PlaysOnly(CCharacterEntity* entity, const std::string& name)
{
    entity->Update(1.0f);  // what was fading out is gone
    if (entity->GetCycleCount() != 1)
        return false;
    entity->ClearCycle(name, 0.0f);
    entity->Update(0.01f);
    return entity->GetCycleCount() == 0;
}

TEST_F(QuietStatesTest, WalkersRunAndThoseThatStayStandWithTheirWeapon)
{
    senses.inCover = true;
    struct Case {
        const char* type;
        const char* asked;
        int patrolPoints;
        const char* cycle;
    };
    const Case cases[] = {
        {"soldado", "SEARCH_STATE", 0, "run_ostrel"},  {"torreta", "SEARCH_STATE", 0, "idle_ostrel"},
        {"soldado", "PATROL_STATE", 2, "run_ostrel"},  {"soldado", "PATROL_STATE", 1, "idle_ostrel"},
        {"soldado", "ALARMED_STATE", 0, "run_ostrel"}, {"soldado", "IDLE_STATE", 0, "idle_ostrel"},
    };
    for (const Case& c : cases) {
        CEnemy* enemy = One("ene_1", 0, 3000, 0, c.type);
        std::vector<D3DXVECTOR3> points;
        for (int i = 0; i < c.patrolPoints; ++i)
            points.push_back(D3DXVECTOR3(100.0f * static_cast<float>(i), 0, 3000));
        enemy->getIA()->SetPatrolPoints(points);
        enemy->getIA()->SetState(c.asked);
        EXPECT_TRUE(PlaysOnly(enemy->GetEntity(), c.cycle)) << c.type << " " << c.asked << " " << c.patrolPoints;
    }
}

} // namespace
} // namespace enemytest
