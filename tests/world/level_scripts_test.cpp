// The shipped level scripts on the shipped trigger file: every function the
// game calls by name exists, each logic the game switches on ends its job,
// and a hero walking the hangar's volumes moves its waves on.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "enemies/EnemyManager.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"
#include "script/ScriptHost.h"
#include "world/TriggerManager.h"

namespace {

namespace fs = std::filesystem;

// The logics the game's own code switches on by name.
const char* const kEngineLogics[] = {
    "enemiesTravellingCamera", "ene1_2", "OnEnter_trg_031", "ene7_1", "Wave5", "ene10_1", "ene25_1",
    "checkPoint1", "checkPoint2", "enemiesTravellingCameraIsla", "Wave31", "ene31_0", "ene33_0", "ene33_1",
    "ene37_1", "ene42_0", "ene47_1", "Wave36", "checkPoint3", "checkPoint4", "checkPoint5",
};
// Those that wait for something a single run cannot give.
const char* const kPollingLogics[] = {"Wave36"};
const char* const kVolumes[] = {"trg_01", "trg_031", "trg_02", "trg_03", "trg_06", "trg_07", "trg_08", "trg_236"};

class LevelScripts : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Previous = fs::current_path();
        fs::current_path(VANTOREL_WORKDIR);
        getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(1e5f, 0, 1e5f));
        manager().Reset();
        Run("alerts = 0; function _ALERT(message) alerts = alerts + 1; lastAlert = message end");
    }
    void TearDown() override { fs::current_path(m_Previous); }

    static CTriggerManager& manager() { return getTriggerManager(); }

    static void Run(const std::string& chunk)
    {
        lua_State* L = getScriptHost().GetState();
        ASSERT_EQ(luaL_loadstring(L, chunk.c_str()), LUA_OK);
        ASSERT_EQ(lua_pcall(L, 0, 0, 0), LUA_OK) << lua_tostring(L, -1);
    }

    static std::string TypeOf(const std::string& name)
    {
        lua_State* L = getScriptHost().GetState();
        lua_getglobal(L, name.c_str());
        const std::string type = lua_typename(L, lua_type(L, -1));
        lua_pop(L, 1);
        return type;
    }

    static std::string Alerts()
    {
        lua_State* L = getScriptHost().GetState();
        lua_getglobal(L, "lastAlert");
        const std::string last = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        return last;
    }

    static void Tick() { manager().Update(0.15f); }

    static void WalkInto(const char* volume)
    {
        const TriggerVolume* box = manager().FindVolume(volume);
        ASSERT_NE(box, nullptr) << volume;
        getPlayer()->GetPosition().SetPosition(box->centre);
        Tick();
    }

    fs::path m_Previous;
};

TEST_F(LevelScripts, LoadCleanlyAndDefineEveryNameTheGameCalls)
{
    CScriptHost& host = getScriptHost();
    host.Init();
    const std::size_t logics = manager().LogicCount();
    for (const char* file : {"sala1.lua", "botScripts.lua", "sala2.lua"})
        EXPECT_EQ(host.DoFile(file), 0) << file;
    EXPECT_EQ(manager().LogicCount(), logics) << "the top level makes no logic";
    for (const char* name : kEngineLogics)
        EXPECT_EQ(TypeOf(name), "function") << name;
    for (const char* volume : kVolumes)
        EXPECT_EQ(TypeOf(std::string("OnEnter_") + volume), "function") << volume;
    EXPECT_EQ(TypeOf("ene5_2"), "function");
    // The console keeps its commands in every new state.
    EXPECT_EQ(TypeOf("ChangeMission"), "function");
}

TEST_F(LevelScripts, EachLogicTheGameSwitchesOnEndsItsJob)
{
    for (const char* name : kEngineLogics) {
        manager().Reset();
        Run("alerts = 0; function _ALERT(message) alerts = alerts + 1; lastAlert = message end");
        manager().getTriggerLogicByName(name)->active = true;
        Tick();
        bool polls = false;
        for (const char* polling : kPollingLogics)
            polls = polls || std::string(polling) == name;
        EXPECT_EQ(manager().getEnabledTrigger(name), polls) << name;
        EXPECT_EQ(Alerts(), "") << name;
    }
}

TEST_F(LevelScripts, TheHangarVolumesMoveTheWavesOn)
{
    CEnemyManager& enemies = *getEnemyManager();
    struct Step {
        const char* volume;
        const char* wave;
    };
    WalkInto("trg_01");
    EXPECT_EQ(enemies.GetCurrentWave(), "wave_01");
    EXPECT_FALSE(manager().getEnabledTrigger("trg_01"));
    WalkInto("trg_031");
    EXPECT_EQ(enemies.GetCurrentWave(), "wave_02") << "past the barrier";
    // Wave 02 is not entered twice.
    EXPECT_FALSE(manager().getEnabledTrigger("trg_02"));
    WalkInto("trg_03");
    EXPECT_EQ(enemies.GetCurrentWave(), "wave_03");
    // The plane's wait holds wave 04 back until it is over.
    Tick();
    EXPECT_EQ(enemies.GetCurrentWave(), "wave_03");
    EXPECT_TRUE(manager().getEnabledTrigger("Wave4"));
    getRigid()->setWaitToPlayAvioneta(-1.0f);
    Tick();
    EXPECT_EQ(enemies.GetCurrentWave(), "wave_04");
    EXPECT_FALSE(manager().getEnabledTrigger("Wave4"));
    manager().getTriggerLogicByName("Wave5")->active = true;
    Tick();
    EXPECT_EQ(enemies.GetCurrentWave(), "wave_05");
    for (const Step& step : {Step{"trg_06", "wave_06"}, Step{"trg_07", "wave_07"}, Step{"trg_08", "wave_08"}}) {
        WalkInto(step.volume);
        EXPECT_EQ(enemies.GetCurrentWave(), step.wave) << step.volume;
    }
    EXPECT_EQ(Alerts(), "");

    // A restart at the second checkpoint re-arms its stretch only.
    manager().getTriggerLogicByName("checkPoint2")->active = true;
    Tick();
    EXPECT_TRUE(manager().getEnabledTrigger("trg_06"));
    EXPECT_TRUE(manager().getEnabledTrigger("trg_08"));
    EXPECT_FALSE(manager().getEnabledTrigger("trg_01"));
    EXPECT_FALSE(manager().getEnabledTrigger("trg_03"));
}

TEST_F(LevelScripts, TheLastFightWaitsForTheHeroInTheSquare)
{
    manager().currentZone = 2;
    manager().getTriggerLogicByName("Wave36")->active = true;
    Tick();
    Tick();
    EXPECT_TRUE(manager().getEnabledTrigger("Wave36"));
    // A restart at the last checkpoint leaves no stale logic of the island on.
    manager().getTriggerLogicByName("checkPoint5")->active = true;
    Tick();
    EXPECT_FALSE(manager().getEnabledTrigger("Wave36"));
    EXPECT_FALSE(manager().getEnabledTrigger("checkPoint5"));

    manager().getTriggerLogicByName("Wave36")->active = true;
    WalkInto("trg_236");
    EXPECT_FALSE(manager().getEnabledTrigger("Wave36"));
    EXPECT_FALSE(manager().getEnabledTrigger("trg_236"));
    // And it gives the square back.
    manager().getTriggerLogicByName("checkPoint5")->active = true;
    Tick();
    EXPECT_TRUE(manager().getEnabledTrigger("trg_236"));
    EXPECT_EQ(Alerts(), "");
}

} // namespace
