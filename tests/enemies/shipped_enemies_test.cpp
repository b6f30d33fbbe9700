// The enemy lists the game ships, read as the game reads them.
#include "enemies/enemy_fixture.h"

#include <cmath>
#include <set>

namespace enemytest {
namespace {

class ShippedEnemies : public EnemyTest {
protected:
    void SetUp() override
    {
        EnemyTest::SetUp();
        const std::string data = std::string(VANTOREL_WORKDIR) + "/data/XML/";
        Manager().SetListFiles(data + "typeOfEnemyList.xml", data + "enemyList.xml");
        Manager().ResetWaves();
    }

    static const CEnemyManager::EnemyMap& Wave(const std::string& room, const std::string& wave)
    {
        static const CEnemyManager::EnemyMap none;
        const auto& rooms = Manager().GetRooms();
        auto r = rooms.find(room);
        if (r == rooms.end())
            return none;
        auto w = r->second.find(wave);
        return w == r->second.end() ? none : w->second;
    }
};

TEST_F(ShippedEnemies, EveryWaveHasItsEnemiesFiveAtMostEachWithModelAndWeapon)
{
    std::vector<std::pair<std::string, std::string>> waves;
    for (int i = 0; i <= 9; ++i)
        waves.push_back({"room01", "wave_0" + std::to_string(i)});
    for (int i = 31; i <= 36; ++i)
        waves.push_back({"room3", "wave_" + std::to_string(i)});
    for (const auto& w : waves) {
        const auto& enemies = Wave(w.first, w.second);
        EXPECT_GE(enemies.size(), 1u) << w.second;
        EXPECT_LE(enemies.size(), 5u) << w.second;
        for (const auto& entry : enemies) {
            CEnemy* enemy = entry.second;
            EXPECT_NE(enemy->GetEntity(), nullptr) << entry.first;
            ASSERT_NE(enemy->GetWeapon(), nullptr) << entry.first;
            EXPECT_GT(enemy->GetLife(), 0) << entry.first;
            // Standing on the ground of its level, not under it.
            EXPECT_GE(enemy->GetPosition().GetPosition().y, 0.0f) << entry.first;
        }
    }
    const std::pair<const char*, std::vector<std::string>> named[] = {
        {"wave_00", {"ene_002", "ene_003", "ene_004", "ene_005"}},
        {"wave_02", {"ene_7", "ene_8", "ene_9"}},
        {"wave_04", {"ene_Avioneta"}},
        {"wave_09", {"ene_25", "ene_26", "ene_27", "ene_28", "ene_29"}},
    };
    EXPECT_EQ(Wave("room01", "wave_09").size(), 5u);
    for (const auto& n : named)
        for (const std::string& name : n.second)
            EXPECT_EQ(Wave("room01", n.first).count(name), 1u) << name;
    for (const char* name : {"ene_42", "ene_43", "ene_44", "ene_45"})
        EXPECT_EQ(Wave("room3", "wave_34").count(name), 1u) << name;
    // The arrival flight's walkers, gone with it; the boss alone at the end.
    for (const char* name : {"ene_31", "ene_51", "ene_52", "ene_53"})
        EXPECT_EQ(Wave("room3", "wave_31").count(name), 1u) << name;
    EXPECT_EQ(Wave("room3", "wave_36").size(), 1u);
    EXPECT_EQ(Wave("room3", "wave_36").count("ene_50"), 1u);
    // Everyone the level flow and its scripts name, somewhere.
    std::set<std::string> everyone;
    for (const auto& room : Manager().GetRooms())
        for (const auto& wave : room.second)
            for (const auto& entry : wave.second)
                everyone.insert(entry.first);
    for (const char* name : {"ene_1", "ene_5", "ene_7", "ene_8", "ene_9", "ene_10", "ene_31", "ene_33", "ene_37",
                             "ene_42", "ene_43", "ene_44", "ene_45", "ene_47", "ene_50", "ene_Dockers1",
                             "ene_Dockers2", "ene_Dockers3"})
        EXPECT_EQ(everyone.count(name), 1u) << name;
    EXPECT_EQ(Wave("room01", "wave_01").count("ene_1"), 1u);
    // One docker in each of these, with its taunt digit and its own model.
    for (const char* wave : {"wave_32", "wave_33", "wave_34"}) {
        int dockers = 0;
        for (const auto& entry : Wave("room3", wave)) {
            if (entry.first.size() < 5 || entry.first[4] != 'D')
                continue;
            ++dockers;
            ASSERT_GE(entry.first.size(), 12u) << entry.first;
            EXPECT_TRUE(entry.first[11] >= '0' && entry.first[11] <= '9') << entry.first;
            EXPECT_NE(entry.second->getIA()->GetRequestedState(), "DOCKERS_STATE") << entry.first;
        }
        EXPECT_EQ(dockers, 1) << wave;
    }
}

TEST_F(ShippedEnemies, TypesDivideByNothingBelowOneAndKeepFightsOutsideTheNearRange)
{
    CEnemyManager local;
    const std::string data = std::string(VANTOREL_WORKDIR) + "/data/XML/";
    CEnemyManager::CEnemyManagerParser parser(&local, data + "typeOfEnemyList.xml");
    ASSERT_FALSE(parser.GetTypes().empty());
    for (const auto& type : parser.GetTypes()) {
        for (const char* divisor :
             {"willOfShootFromCover", "minTimeToShotFromCover", "willOfStandingShoot", "maxTimeShootingFromCover"})
            EXPECT_GE(type.second.GetInt(divisor, 0), 1) << type.first << " " << divisor;
        EXPECT_GT(type.second.GetFloat("nearDist", 0.0f), 59.0f) << type.first;
        EXPECT_GT(type.second.GetInt("topLife", 0), 0) << type.first;
    }
    // Every enemy names a type that exists.
    for (const auto& room : Manager().GetRooms())
        for (const auto& wave : room.second)
            for (const auto& entry : wave.second)
                EXPECT_GT(entry.second->getIA()->GetNearDist(), 59.0f) << entry.first;
}

// A damaged kind falls back on the soldier the game ships: every value of
// the shipped "soldado", and no other, is what the game holds built in.
TEST_F(ShippedEnemies, TheBuiltInSoldierIsTheShippedSoldier)
{
    CEnemyManager local;
    const std::string data = std::string(VANTOREL_WORKDIR) + "/data/XML/";
    CEnemyManager::CEnemyManagerParser parser(&local, data + "typeOfEnemyList.xml");
    ASSERT_EQ(parser.GetTypes().count("soldado"), 1u);
    const CXMLAttributes& shipped = parser.GetTypes().at("soldado");
    const std::map<std::string, std::string>& builtIn = CEnemyManager::BuiltInSoldier();
    EXPECT_EQ(builtIn.size(), shipped.size());
    for (const auto& value : shipped) {
        ASSERT_EQ(builtIn.count(value.first), 1u) << value.first;
        EXPECT_DOUBLE_EQ(std::stod(builtIn.at(value.first)), std::stod(value.second)) << value.first;
    }

    // And a damaged value of a kind takes it.
    TempFolder folder;
    const std::string broken = folder.Write("types.xml",
        "<TYPES><TYPE tName=\"k\"><CONSTANTS accuracy=\"x\" step=\"inf\" secondsToStartRegenerating=\"nan\"/>"
        "</TYPE></TYPES>");
    testing::internal::CaptureStderr();
    CEnemyManager::CEnemyManagerParser damaged(&local, broken);
    testing::internal::GetCapturedStderr();
    for (const char* name : {"accuracy", "step", "secondsToStartRegenerating"})
        EXPECT_FLOAT_EQ(damaged.GetTypes().at("k").GetFloat(name, -1.0f), shipped.GetFloat(name, -2.0f)) << name;
}

TEST_F(ShippedEnemies, TheGhostWaveStandsAtItsPointsAfterANewGame)
{
    Manager().Update(0.0f);
    ASSERT_EQ(Manager().GetCurrentWaveEnemies().size(), 4u);
    for (const auto& entry : Manager().GetCurrentWaveEnemies()) {
        CEnemy* enemy = entry.second;
        EXPECT_EQ(enemy->getIA()->GetState(), CIAEnemyCover::IDLE) << entry.first;
        EXPECT_EQ(enemy->GetEntity()->GetCycleCount(), 1) << entry.first;
        EXPECT_EQ(enemy->GetPosition().GetPosition(), enemy->getIA()->GetSpawnPosition()) << entry.first;
        EXPECT_FALSE(enemy->HasWarningMarker()) << entry.first;
    }
}

TEST_F(ShippedEnemies, EveryShippedEnemyStartsFacingPlusZWhateverItsFirstPointsTurn)
{
    int enemies = 0, turnedPoints = 0;
    for (const auto& room : Manager().GetRooms())
        for (const auto& wave : room.second)
            for (const auto& entry : wave.second) {
                CEnemy* enemy = entry.second;
                ++enemies;
                EXPECT_FLOAT_EQ(enemy->GetPosition().GetYaw(), 0.0f) << entry.first;
                EXPECT_FLOAT_EQ(enemy->GetEntity()->GetTransform().GetYaw(), 0.0f) << entry.first;
                // The level turns most of them; the turn stays in the matrix.
                const D3DXMATRIX& point = enemy->GetPosition().GetMatrix();
                turnedPoints += std::fabs(point._31) > 1e-3f || point._33 < 0.999f;
            }
    EXPECT_EQ(enemies, 50);
    EXPECT_GT(turnedPoints, 40);
}

} // namespace
} // namespace enemytest
