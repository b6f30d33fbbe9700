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
    // The point's turn goes into the matrix only: the heading the AI sees
    // and the model shows starts at 0, facing +Z.
    EXPECT_FLOAT_EQ(a->GetPosition().GetYaw(), 0.0f);
    EXPECT_FLOAT_EQ(a->GetEntity()->GetTransform().GetYaw(), 0.0f);
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
    Manager().Update(0.0f);
    const int three = CEnemy::LiveCount();
    // A fresh three; the old three go at the next update, once the frame
    // that dropped them is over.
    Manager().ResetWaves();
    EXPECT_EQ(CEnemy::LiveCount(), three + 3);
    Manager().Update(0.0f);
    EXPECT_EQ(CEnemy::LiveCount(), three);
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_1"}))));
    Manager().Update(0.0f);
    EXPECT_EQ(CEnemy::LiveCount(), three - 2);
    Manager().resetBots();
    Manager().Update(0.0f);
    EXPECT_EQ(CEnemy::LiveCount(), three - 2);
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

// What an entry says that the game cannot mean is left out or takes its
// default, and each fault is said once, with the list, however often the
// list is read.
TEST_F(EnemyTest, DamagedEntriesAreLeftOutOrTakeTheirDefaultsAndAreSaidOnceWithTheList)
{
    EnemyEntry odd{"ene_odd", "nadie", "<POINT transform=\"1 0 0 0 1 0 0 0 1 5 0 abc\"/>" + Point(40, 0, 60), "bazooka"};
    odd.state = "";
    odd.numOfScripts = "2";  // and no script given
    EnemyEntry other{"ene_other", "nadie", Point(0, 0, 0), "bazooka"};
    other.state = "DORMIDO";
    const std::string list = ListXml("room01", WaveXml("wave_00", {odd, other}));
    testing::internal::CaptureStderr();
    Load(list);
    Load(list);
    const std::string said = testing::internal::GetCapturedStderr();

    CEnemy* enemy = Enemy("ene_odd");
    ASSERT_NE(enemy, nullptr);
    ASSERT_EQ(enemy->getIA()->GetPatrolPoints().size(), 1u);
    EXPECT_EQ(enemy->GetPosition().GetPosition(), D3DXVECTOR3(40, 0, 60));
    EXPECT_NE(enemy->getIA()->GetState(), CIAEnemyCover::WAITING) << "it waits for no script";
    EXPECT_EQ(enemy->GetWeapon()->GetName(), "GUN");
    const std::string file = m_Folder / "enemies.xml" + ": ";
    // Beside what the rest of the game says of a folder without its data.
    for (const std::string& line :
         {"script count \"2\" is not the 0 scripts given: 0 is used (enemy \"ene_odd\")",
          "a point whose transform is not 12 numbers within 1e6 is left out (enemy \"ene_odd\")",
          "unknown weapon \"bazooka\": given a gun (2 times: enemy \"ene_odd\", enemy \"ene_other\")",
          "unknown initial state \"DORMIDO\": the enemy keeps the state it is built in (enemy \"ene_other\")",
          "unknown kind \"nadie\": every value of its tuning is the default (2 times: enemy \"ene_odd\", enemy "
          "\"ene_other\")"}) {
        const size_t at = said.find(file + line + "\n");
        EXPECT_NE(at, std::string::npos) << line << "\n" << said;
        EXPECT_EQ(said.find(line, at + file.size() + 1), std::string::npos) << line;
    }
    EXPECT_EQ(said.find("Enemy ene_"), std::string::npos) << said;
}

} // namespace
} // namespace enemytest

namespace {

// A kind whose draws would divide by 0 or read NaN gets the shipped values
// for those, said once with the file, the kind and each bad value; what a
// kind leaves out stays out.
TEST(EnemyTypes, DamagedOrMissingDivisorsTakeTheShippedValues)
{
    TempFolder folder;
    const std::string file = folder.Write("types.xml",
        "<TYPES><TYPE tName=\"broken\"><CONSTANTS willOfShootFromCover=\"0\" willOfStandingShoot=\"nan\" "
        "maxTimeShootingFromCover=\"-4\" viewDist=\"1e40\" minTimeToShotFromCover=\"0\" nearDist=\"150\"/></TYPE>"
        "<TYPE tName=\"sparse\"><CONSTANTS nearDist=\"130\"/></TYPE></TYPES>");
    CEnemyManager local;
    testing::internal::CaptureStderr();
    CEnemyManager::CEnemyManagerParser parser(&local, file);
    CEnemyManager::CEnemyManagerParser again(&local, file);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, file + ": kind \"broken\": willOfShootFromCover \"0\", willOfStandingShoot \"nan\", "
                           "maxTimeShootingFromCover \"-4\", viewDist \"1e40\" unusable; the shipped values are used\n");
    const CXMLAttributes& broken = parser.GetTypes().at("broken");
    EXPECT_EQ(broken.GetInt("willOfShootFromCover", 0), 3);
    EXPECT_EQ(broken.GetInt("willOfStandingShoot", 0), 8);
    EXPECT_EQ(broken.GetInt("maxTimeShootingFromCover", 0), 3);
    EXPECT_FLOAT_EQ(broken.GetFloat("viewDist", 0.0f), 1800.0f);
    EXPECT_EQ(broken.GetInt("minTimeToShotFromCover", 9), 0) << "0 means no wait, and is kept";
    EXPECT_FLOAT_EQ(broken.GetFloat("nearDist", 0.0f), 150.0f);
    const CXMLAttributes& sparse = parser.GetTypes().at("sparse");
    EXPECT_EQ(sparse.count("willOfStandingShoot"), 0u);
}

// Values outside their range (a kind born dead, a negative sight, more than a
// turn of view, a switch that is neither on nor off) take the shipped ones.
TEST(EnemyTypes, ValuesOutsideTheirRangeTakeTheShippedValues)
{
    TempFolder folder;
    const std::string file = folder.Write("types.xml",
        "<TYPES><TYPE tName=\"k\"><CONSTANTS topLife=\"-100\" viewDist=\"-5\" visionAngle=\"361\" canCover=\"2\" "
        "canMove=\"no\" isGuardian=\"true\" lostDist=\"0\"/></TYPE></TYPES>");
    CEnemyManager local;
    testing::internal::CaptureStderr();
    CEnemyManager::CEnemyManagerParser parser(&local, file);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              file + ": kind \"k\": topLife \"-100\", viewDist \"-5\", visionAngle \"361\", canCover \"2\" unusable; "
                     "the shipped values are used\n");
    const CXMLAttributes& kind = parser.GetTypes().at("k");
    EXPECT_EQ(kind.GetInt("topLife", 0), 100);
    EXPECT_FLOAT_EQ(kind.GetFloat("viewDist", 0.0f), 1800.0f);
    EXPECT_FLOAT_EQ(kind.GetFloat("visionAngle", 0.0f), 60.0f);
    EXPECT_TRUE(kind.GetBool("canCover", false));
    EXPECT_FALSE(kind.GetBool("canMove", true));
    EXPECT_FLOAT_EQ(kind.GetFloat("lostDist", 9.0f), 0.0f);
}

// A kind must be born alive: a top life of 0 is out of range as a negative
// one is, and takes the shipped soldier's; 1 and the 16-bit top are kept.
TEST(EnemyTypes, ATopLifeOfNothingIsOutOfRange)
{
    TempFolder folder;
    const std::string file = folder.Write("types.xml",
        "<TYPES><TYPE tName=\"dead\"><CONSTANTS topLife=\"0\"/></TYPE><TYPE tName=\"frail\"><CONSTANTS "
        "topLife=\"1\"/></TYPE><TYPE tName=\"tough\"><CONSTANTS topLife=\"32767\"/></TYPE></TYPES>");
    CEnemyManager local;
    testing::internal::CaptureStderr();
    CEnemyManager::CEnemyManagerParser parser(&local, file);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              file + ": kind \"dead\": topLife \"0\" unusable; the shipped values are used\n");
    EXPECT_EQ(parser.GetTypes().at("dead").GetInt("topLife", 0), 100);
    EXPECT_EQ(parser.GetTypes().at("frail").GetInt("topLife", 0), 1);
    EXPECT_EQ(parser.GetTypes().at("tough").GetInt("topLife", 0), 32767);
}

} // namespace
