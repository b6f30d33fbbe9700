// The enemy lists as the game reads them, and the enemies they build.
#include "enemies/enemy_fixture.h"

#include "player/Weapon.h"

namespace enemytest {
namespace {

TEST_F(EnemyTest, EnemiesTakeTheirTypeTheirPointsAndTheLastNameInAWave)
{
    EnemyEntry turned{"ene_a", "soldado", Point(100, 0, 200, 90) + Point(300, 0, 200, 90)};
    EnemyEntry stranger{"ene_b", "nadie", ""};  // no POINT: the previous enemy's
    EnemyEntry single{"ene_c", "soldado", Point(-50, 0, 80)};
    EnemyEntry first{"ene_d", "soldado", Point(0, 0, 500)};
    EnemyEntry second{"ene_d", "jefe", Point(0, 0, 600)};
    Load(ListXml("room01", WaveXml("wave_00", {turned, stranger, single, first, second})));

    ASSERT_EQ(Manager().GetCurrentWaveEnemies().size(), 4u);
    CEnemy* a = Enemy("ene_a");
    EXPECT_EQ(a->GetLife(), 100);
    EXPECT_EQ(a->GetTopLife(), 100);
    EXPECT_FLOAT_EQ(a->GetStep(), 3.0f);
    EXPECT_FLOAT_EQ(a->GetStepAiming(), 50.0f);
    EXPECT_EQ(a->GetPosition().GetPosition(), D3DXVECTOR3(100, 0, 200));
    EXPECT_NEAR(a->GetPosition().GetYaw(), kPi / 2, 1e-4);
    EXPECT_EQ(a->getIA()->GetSpawnPosition(), D3DXVECTOR3(100, 0, 200));
    ASSERT_EQ(a->getIA()->GetPatrolPoints().size(), 2u);
    EXPECT_EQ(a->getIA()->GetPatrolPoints()[1], D3DXVECTOR3(300, 0, 200));
    // The model stands where the enemy does.
    EXPECT_EQ(a->GetEntity()->GetTransform().GetPosition(), D3DXVECTOR3(100, 0, 200));

    CEnemy* b = Enemy("ene_b");
    EXPECT_EQ(b->GetLife(), 0);
    EXPECT_FLOAT_EQ(b->GetStep(), 4.5f);
    EXPECT_EQ(b->GetPosition().GetPosition(), D3DXVECTOR3(100, 0, 200));
    ASSERT_EQ(b->getIA()->GetPatrolPoints().size(), 1u);
    EXPECT_EQ(b->getIA()->GetPatrolPoints()[0], D3DXVECTOR3(100, 0, 200));

    // One point: it patrols where it stands, not where the loader began.
    CEnemy* c = Enemy("ene_c");
    ASSERT_EQ(c->getIA()->GetPatrolPoints().size(), 1u);
    EXPECT_EQ(c->getIA()->GetPatrolPoints()[0], D3DXVECTOR3(-50, 0, 80));

    EXPECT_EQ(Enemy("ene_d")->GetLife(), 300);
    EXPECT_EQ(Enemy("ene_d")->GetPosition().GetPosition(), D3DXVECTOR3(0, 0, 600));
}

TEST_F(EnemyTest, ATypeKeepsTheValuesOfTheLastEnemyBuiltFromIt)
{
    EnemyEntry one{"ene_1", "soldado", Point(0, 0, 0), "thompson"};
    EnemyEntry two{"ene_2", "soldado", Point(0, 0, 0), "shotgun"};
    two.scripts = "x-y";
    two.numOfScripts = "2";
    EnemyEntry lost{"ene_3", "nadie", Point(0, 0, 0)};
    const std::string types = m_Folder.Write("t.xml", kTypes);
    const std::string enemies =
        m_Folder.Write("e.xml", ListXml("room01", WaveXml("wave_00", {one, two}) + WaveXml("wave_01", {lost})));
    CEnemyManager local;
    CEnemyManager::CEnemyManagerParser parser(&local, types);
    ASSERT_TRUE(parser.LoadXML(enemies));
    const CXMLAttributes& soldier = parser.GetTypes().at("soldado");
    EXPECT_EQ(soldier.GetString("name", ""), "ene_2");
    EXPECT_EQ(soldier.GetString("weapon", ""), "shotgun");
    EXPECT_EQ(soldier.GetString("scripts", ""), "x-y");
    EXPECT_EQ(soldier.GetString("topLife", ""), "100");
    const CXMLAttributes& unknown = parser.GetTypes().at("nadie");
    EXPECT_EQ(unknown.GetString("name", ""), "ene_3");
    EXPECT_EQ(unknown.count("topLife"), 0u);
    // Handed over whole at the list's end.
    EXPECT_EQ(local.GetRooms().at("room01").at("wave_00").size(), 2u);
    EXPECT_EQ(local.GetRooms().at("room01").at("wave_01").size(), 1u);
}

TEST_F(EnemyTest, WeaponsByNameAndAGunForAnUnknownOne)
{
    const std::pair<const char*, const char*> cases[] = {
        {"gun", "GUN"}, {"thompson", "THOMPSON"}, {"shotgun", "SHOTGUN"}, {"Thompson", "GUN"}, {"bazooka", "GUN"}};
    std::vector<EnemyEntry> wave;
    for (size_t i = 0; i < 5; ++i) {
        EnemyEntry e{"ene_" + std::to_string(i), "soldado", Point(0, 0, 0), cases[i].first};
        wave.push_back(e);
    }
    Load(ListXml("room01", WaveXml("wave_00", wave)));
    for (size_t i = 0; i < 5; ++i) {
        CEnemy* enemy = Enemy("ene_" + std::to_string(i));
        ASSERT_NE(enemy->GetWeapon(), nullptr) << cases[i].first;
        EXPECT_EQ(enemy->GetWeapon()->GetName(), cases[i].second) << cases[i].first;
    }
    // And the update of a weaponless-named enemy holds.
    Manager().Update(0.1f);
}

TEST_F(EnemyTest, ScriptsAreCutAtTheDashesUpToThree)
{
    struct Case {
        const char* count;
        const char* scripts;
        const char* names[3];
    };
    const Case cases[] = {
        {"1", "a-b-c", {"a-b-c", "", ""}},
        {"2", "uno-dos", {"uno", "dos", ""}},
        {"3", "uno-dos-tres", {"uno", "dos", "tres"}},
        {"3", "uno-dos-tres-cuatro", {"uno", "dos", "tres-cuatro"}},
    };
    std::vector<EnemyEntry> wave;
    for (size_t i = 0; i < 4; ++i) {
        EnemyEntry e{"ene_" + std::to_string(i), "soldado", Point(0, 0, 0)};
        e.numOfScripts = cases[i].count;
        e.scripts = cases[i].scripts;
        e.state = "";
        wave.push_back(e);
    }
    Load(ListXml("room01", WaveXml("wave_00", wave)));
    for (size_t i = 0; i < 4; ++i) {
        CIAEnemyCover* ai = Enemy("ene_" + std::to_string(i))->getIA();
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::WAITING) << cases[i].scripts;
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(ai->GetScriptName(n), cases[i].names[n]) << cases[i].scripts << " " << n;
    }
}

TEST_F(EnemyTest, NamedStatesSetTheirCodesAndStandWithTheWeapon)
{
    const std::pair<const char*, std::uint16_t> cases[] = {
        {"IDLE_STATE", CIAEnemyCover::IDLE},         {"PATROL_STATE", CIAEnemyCover::PATROL},
        {"SEARCH_STATE", CIAEnemyCover::SEARCHING},  {"ALARMED_STATE", CIAEnemyCover::ALARMED},
        {"ROLL_STATE", CIAEnemyCover::ROLL},         {"RELOAD_STATE", CIAEnemyCover::RELOAD},
        {"ACTING_STATE", CIAEnemyCover::ACTING},     {"WAITING_STATE", CIAEnemyCover::WAITING},
        {"COVER_STATE", CIAEnemyCover::COVER},       {"MOVE_TO_COVER_STATE", CIAEnemyCover::MOVE_TO_COVER},
        {"KAMIKAZE", CIAEnemyCover::KAMIKAZE},       {"DOCKERS_STATE", CIAEnemyCover::ACTING},  // taunting first
        {"idle_state", CIAEnemyCover::ACTING},       {"", CIAEnemyCover::ACTING},
    };
    Load(ListXml("room01", WaveXml("wave_00", {EnemyEntry{"ene_1", "soldado", Point(0, 0, 0), "thompson"}})));
    CEnemy* enemy = Enemy("ene_1");
    CIAEnemyCover* ai = enemy->getIA();
    EXPECT_EQ(enemy->GetEntity()->GetCycleCount(), 1);
    for (const auto& c : cases) {
        ai->SetState(c.first);
        EXPECT_EQ(ai->GetState(), c.second) << c.first;
        EXPECT_EQ(ai->GetRequestedState(), c.first);
    }
    EXPECT_FALSE(ai->CanMove());  // COVER_STATE keeps it in place
}

TEST_F(EnemyTest, ReloadingTheListsFreesTheEnemiesOfTheLoadBefore)
{
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1", "ene_2", "ene_3"}))));
    Manager().ResetWaves();
    const int steady = CEnemy::LiveCount();  // this load's three and the last one's
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1"}))));
    // The load before the current one may still be held by the frame that
    // dropped it; anything older is gone.
    EXPECT_EQ(CEnemy::LiveCount(), steady - 2);
    Manager().resetBots();
    EXPECT_EQ(CEnemy::LiveCount(), steady - 4);
    Manager().Update(0.0f);
    EXPECT_EQ(Manager().GetCurrentWaveEnemies().size(), 1u);
}

TEST_F(EnemyTest, ABrokenOrMissingListLeavesNoEnemies)
{
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1"}))));
    ASSERT_EQ(Manager().GetCurrentWaveEnemies().size(), 1u);
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1"}))).substr(0, 120));
    EXPECT_TRUE(Manager().GetCurrentWaveEnemies().empty());
    Manager().SetListFiles(m_Folder / "none.xml", m_Folder / "nothing.xml");
    Manager().ResetWaves();
    EXPECT_TRUE(Manager().GetCurrentWaveEnemies().empty());
    Manager().Update(0.1f);
    EXPECT_FALSE(Manager().anyBotAlive());
}

} // namespace
} // namespace enemytest
