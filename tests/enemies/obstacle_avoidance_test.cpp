// The manager's walking pass: enemies that meet an obstacle evade to a detour
// point, resume at it, and reach their goal round boxes of a real physics world.
#include "enemies/fake_senses.h"

#include "math/VectorMath.h"
#include "world/CollisionManager.h"
#include "world/physics_fixture.h"

namespace enemytest {
namespace {

const char kWalkerTypes[] = R"(<TYPES>
  <TYPE tName="soldado"><CONSTANTS topLife="100" step="300" turn="2" nearDist="120" viewDist="0"
    lostDist="5000" minDistanceToPlayerWhenChasing="150" canCover="0" canMove="1"/></TYPE>
</TYPES>)";

class ObstacleAvoidanceTest : public EnemyTest {
protected:
    void SetUp() override
    {
        EnemyTest::SetUp();
        senses.inCover = true;  // nobody notices him in passing
        SetEnemySenses(&senses);
    }
    void TearDown() override
    {
        SetEnemySenses(nullptr);
        EnemyTest::TearDown();
    }
    CEnemy* One(const std::string& name, float x, float z, float yawDegrees)
    {
        EnemyEntry e{name, "soldado", Point(x, 0, z, yawDegrees)};
        Load(ListXml("room01", WaveXml("wave_02", {e})), "room01", "wave_02", kWalkerTypes);
        CEnemy* enemy = Enemy(name);
        enemy->SetWeapon(&gun);  // it never stops to shoot
        return enemy;
    }

    FakeSenses senses;
    RangedGun gun{10.0f};
};

TEST_F(ObstacleAvoidanceTest, AtItsDetourPointBelow9Point5TheEnemyResumesWithNoEntry)
{
    getCollisionManager().InitPhysicsWorld();  // an empty level: every way is clear
    for (float off : {9.4f, 9.5f}) {
        CEnemy* enemy = One("ene_1", 0, 3000, 90);
        CIAEnemyCover* ai = enemy->getIA();
        ai->EnterIdle();
        const D3DXVECTOR3 detour(off / 2, 0, 3000 + off / 2);
        ai->EnterEvade(detour, false);
        ai->SetEvadedObstacle("col_caja01");
        Manager().Update(0.1f);
        const bool arrived = off < 9.5f;
        EXPECT_EQ(ai->GetState(), arrived ? CIAEnemyCover::IDLE : CIAEnemyCover::EVADE) << off;
        EXPECT_EQ(ai->GetDestination(), arrived ? D3DXVECTOR3(0, 0, 0) : detour) << off;
        EXPECT_EQ(ai->GetEvadedObstacle(), arrived ? "" : "col_caja01") << off;
        // IDLE's entry would have the weapon lowered: the run goes on.
        CCharacterEntity* entity = enemy->GetEntity();
        entity->Update(1.0f);
        ASSERT_EQ(entity->GetCycleCount(), 1);
        entity->ClearCycle("run_ostrel", 0.0f);
        entity->Update(0.01f);
        EXPECT_EQ(entity->GetCycleCount(), 0) << off;
    }
}

TEST_F(ObstacleAvoidanceTest, AtADetourPointStillBlockedItEvadesOnRoundTheBoxKeepingWhatItCameFrom)
{
    CCollisionManager& collisions = getCollisionManager();
    collisions.InitPhysicsWorld();
    const std::string level = "<level><player pos=\"0 10 -3000\"/>" +
                              CollisionXml("col_0_suelo", 8000, 10, 8000, 0, -5, 0) +
                              CollisionXml("col_caja02", 200, 200, 200, 3000, 100, 500) + "</level>";
    ASSERT_TRUE(collisions.ReadFile(m_Folder.Write("level.xml", level)));
    collisions.LoadNewScenario("isla");

    senses.hero.SetPosition(D3DXVECTOR3(3000, 0, 800));
    CEnemy* enemy = One("ene_1", 3000, 300, 0);
    CIAEnemyCover* ai = enemy->getIA();
    ai->setSearchingState();
    ai->EnterEvade(D3DXVECTOR3(3000, 0, 300), false);  // standing on it
    Manager().Update(1.0f / 30);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::EVADE);
    EXPECT_EQ(ai->GetSecondState(), CIAEnemyCover::SEARCHING);
    EXPECT_EQ(ai->GetEvadePoint(), D3DXVECTOR3(3000, 0, 800));
    EXPECT_EQ(ai->GetEvadedObstacle(), "col_caja02");
    // Its world stands apart from the other tests' (the level tables keep
    // every file read).
    // A corner of the box pushed out past it: by 100 toward -x and -z, by 100
    // shrunk to 32.768 (its name's rule) toward +x and +z.
    const D3DXVECTOR3 next = ai->GetDestination();
    const bool onX = std::fabs(next.x - 2800.0f) < 0.01f || std::fabs(next.x - 3132.768f) < 0.01f;
    const bool onZ = std::fabs(next.z - 300.0f) < 0.01f || std::fabs(next.z - 632.768f) < 0.01f;
    EXPECT_TRUE(onX && onZ) << next.x << " " << next.z;
    Manager().ResetWaves();
}

TEST_F(ObstacleAvoidanceTest, AnA1ObstacleLeadsOnFromThePointReachedAndNotFromTheTarget)
{
    CCollisionManager& collisions = getCollisionManager();
    collisions.InitPhysicsWorld();
    const std::string level = "<level><player pos=\"0 10 -3000\"/>" +
                              CollisionXml("col_0_suelo", 8000, 10, 8000, 0, -5, 0) +
                              CollisionXml("col_A1_muro", 60, 200, 60, 289, 100, -1120) + "</level>";
    ASSERT_TRUE(collisions.ReadFile(m_Folder.Write("level.xml", level)));
    collisions.LoadNewScenario("isla");

    // The box hides the group's third point; of the other two, the first is
    // the nearer to where the enemy stands, the second to the hero.
    senses.hero.SetPosition(D3DXVECTOR3(380, 0, -1400));
    CEnemy* enemy = One("ene_1", 250, -1000, 150);
    CIAEnemyCover* ai = enemy->getIA();
    ai->setSearchingState();
    ai->EnterEvade(D3DXVECTOR3(250, 0, -1000), false);
    Manager().Update(1.0f / 30);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::EVADE);
    // The chooser's own ray runs to the point reached, where it stands: it
    // meets nothing, and that nothing is the name kept.
    EXPECT_EQ(ai->GetEvadedObstacle(), "");
    EXPECT_NEAR(ai->GetDestination().x, 120.5f, 0.01f);
    EXPECT_NEAR(ai->GetDestination().z, -1094.0f, 0.01f);
    Manager().ResetWaves();
}

TEST_F(ObstacleAvoidanceTest, AChaserGoesRoundABoxInItsWayAndReachesTheHero)
{
    CCollisionManager& collisions = getCollisionManager();
    collisions.InitPhysicsWorld();
    const std::string level = "<level><player pos=\"0 10 -3000\"/>" +
                              CollisionXml("col_0_suelo", 8000, 10, 8000, 0, -5, 0) +
                              CollisionXml("col_caja01", 200, 200, 200, 0, 100, 500) + "</level>";
    ASSERT_TRUE(collisions.ReadFile(m_Folder.Write("level.xml", level)));
    collisions.LoadNewScenario("isla");

    senses.hero.SetPosition(D3DXVECTOR3(0, 0, 1200));
    CEnemy* enemy = One("ene_1", 0, 0, 0);
    CIAEnemyCover* ai = enemy->getIA();
    ai->setSearchingState();
    bool evaded = false;
    std::string obstacle;
    int frames = 0;
    for (; frames < 600; ++frames) {
        Manager().Update(1.0f / 30);
        collisions.Update(1.0f / 60);
        collisions.Update(1.0f / 60);
        if (ai->GetState() == CIAEnemyCover::EVADE) {
            evaded = true;
            obstacle = ai->GetEvadedObstacle();
            EXPECT_EQ(ai->GetSecondState(), CIAEnemyCover::SEARCHING);
        }
        if (ManhattanDistanceXZ(enemy->GetPosition().GetPosition(), senses.hero.GetPosition()) < 200.0f)
            break;
        const D3DXVECTOR3 at = enemy->GetPosition().GetPosition();
        // Never inside the box.
        EXPECT_FALSE(std::fabs(at.x) < 95.0f && std::fabs(at.z - 500.0f) < 95.0f) << at.x << " " << at.z;
    }
    EXPECT_TRUE(evaded);
    EXPECT_EQ(obstacle, "col_caja01");
    EXPECT_LT(frames, 600);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::SEARCHING);
    Manager().ResetWaves();
}

} // namespace
} // namespace enemytest
