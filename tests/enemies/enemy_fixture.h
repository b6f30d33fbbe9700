// The game's enemy manager fed with lists written on the spot, over the
// shipped enemy models and particle types.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleType.h"
#include "world/CollisionManager.h"
#include "xml/temp_folder.h"

namespace enemytest {

constexpr float kPi = 3.14159265f;

inline const char kTypes[] = R"(<TYPES>
  <TYPE tName="soldado"><CONSTANTS topLife="100" step="3" turn="2" stepAiming="50" nearDist="120" lostDist="5000"/></TYPE>
  <TYPE tName="jefe"><CONSTANTS topLife="300" step="5" nearDist="140"/></TYPE>
</TYPES>)";

// One POINT: standing at (x, y, z), turned yawDegrees from +Z toward +X.
inline std::string Point(float x, float y, float z, float yawDegrees = 0.0f)
{
    const float a = yawDegrees * kPi / 180.0f;
    std::ostringstream t;
    t << "<POINT transform=\"" << std::cos(a) << " 0 " << -std::sin(a) << " 0 1 0 " << std::sin(a) << " 0 "
      << std::cos(a) << " " << x << " " << y << " " << z << "\"/>";
    return t.str();
}

struct EnemyEntry {
    std::string name;
    std::string type = "soldado";
    std::string points;  // POINT elements
    std::string weapon = "gun";
    std::string state = "IDLE_STATE";
    std::string model = "enemy";
    std::string numOfScripts = "0";
    std::string scripts;
};

inline std::string EnemyXml(const EnemyEntry& e)
{
    return "<ENEMY name=\"" + e.name + "\" model=\"" + e.model + "\" IAtype=\"" + e.type + "\" weapon=\"" + e.weapon +
           "\"><IA patrolType=\"0\" initialState=\"" + e.state + "\" numOfScripts=\"" + e.numOfScripts +
           "\" scripts=\"" + e.scripts + "\"/><POINTS count=\"1\">" + e.points + "</POINTS></ENEMY>";
}

inline std::string WaveXml(const std::string& wave, const std::vector<EnemyEntry>& enemies)
{
    std::string text = "<WAVE name=\"" + wave + "\"><ENEMIES count=\"1\">";
    for (const EnemyEntry& e : enemies)
        text += EnemyXml(e);
    return text + "</ENEMIES></WAVE>";
}

// A whole list of one room's waves.
inline std::string ListXml(const std::string& room, const std::string& waves)
{
    return "<ENEMY_LIST><ROOMS count=\"1\"><ROOM name=\"" + room + "\">" + waves + "</ROOM></ROOMS></ENEMY_LIST>";
}

// Enemies standing in a row along +X, 300 apart, named as given.
inline std::vector<EnemyEntry> Row(const std::vector<std::string>& names)
{
    std::vector<EnemyEntry> row;
    for (size_t i = 0; i < names.size(); ++i) {
        EnemyEntry e;
        e.name = names[i];
        e.points = Point(300.0f * static_cast<float>(i + 1), 0, 0);
        row.push_back(e);
    }
    return row;
}

class EnemyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        static bool loaded = false;
        if (!loaded) {
            getModelsManager().LoadCoreModels("Data/XML/CoreModels.xml");
            getParticleTypes().Load("data/XML/particleTypes.xml");
            loaded = true;
        }
        std::filesystem::current_path(previous);
    }

    void SetUp() override
    {
        // A hero some case built stays in the game's one player: his fight
        // would freeze the wave, his death stop every enemy's update. These
        // cases meet a hero still loading unless they build him.
        getPlayer()->Release();
        getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(0, 0, 0));
        getCamera().SetFreeCamera(false);
        Manager().resumeIA();
    }

    void TearDown() override
    {
        // A world some case built stays in the game's one collision manager:
        // the next case's shots would strike the hero's body in it, and the
        // sparks and blood drawn from the shared generator shift its draws.
        getCollisionManager().ReleasePhysicsWorld();
        Manager().resumeIA();
        Manager().SetListFiles("data/XML/typeOfEnemyList.xml", "data/XML/enemyList.xml");
    }

    static CEnemyManager& Manager() { return *getEnemyManager(); }

    // Loads the lists as a new game does and enters the zone.
    void Load(const std::string& enemies, const std::string& room = "room01", const std::string& wave = "wave_00",
              const std::string& types = kTypes)
    {
        Manager().SetListFiles(m_Folder.Write("types.xml", types), m_Folder.Write("enemies.xml", enemies));
        Manager().ResetWaves();
        Manager().setNewZone(room, wave);
    }

    static CEnemy* Enemy(const std::string& name) { return Manager().getThisBotOfCurrentWave(name); }

    static std::vector<std::string> TrackedNames()
    {
        std::vector<std::string> names;
        CEnemy* const* tracked = Manager().GetTrackedEnemies();
        for (int i = 0; i < 5 && tracked[i]; ++i)
            names.push_back(tracked[i]->GetName());
        return names;
    }

    TempFolder m_Folder;
};

} // namespace enemytest
