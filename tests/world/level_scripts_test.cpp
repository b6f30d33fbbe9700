// The shipped level scripts on the shipped trigger file and enemy lists:
// every function the game calls by name exists, each logic the game
// switches on ends its job, and a hero walking each level's volumes moves its
// waves on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "app/GameStateFlags.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "platform/bass.h"
#include "player/Player.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "script/ScriptHost.h"
#include "sound/SoundManager.h"
#include "world/TriggerManager.h"

namespace {

namespace fs = std::filesystem;

// The logics the game's own code switches on by name, each with the zone the
// game is in when it does.
struct EngineLogic {
    const char* name;
    const char* room;
    const char* wave;
};
const EngineLogic kEngineLogics[] = {
    {"enemiesTravellingCamera", "room01", "wave_00"}, {"ene1_2", "room01", "wave_01"},
    {"OnEnter_trg_031", "room01", "wave_01"},         {"ene7_1", "room01", "wave_04"},
    {"Wave5", "room01", "wave_04"},                   {"ene10_1", "room01", "wave_05"},
    {"ene25_1", "room01", "wave_09"},                 {"checkPoint1", "room01", "wave_00"},
    {"checkPoint2", "room01", "wave_05"},             {"enemiesTravellingCameraIsla", "room3", "wave_31"},
    {"Wave31", "room3", "wave_31"},                   {"ene31_0", "room3", "wave_31"},
    {"ene33_0", "room3", "wave_32"},                  {"ene33_1", "room3", "wave_32"},
    {"ene37_1", "room3", "wave_33"},                  {"ene42_0", "room3", "wave_34"},
    {"ene47_1", "room3", "wave_35"},                  {"Wave36", "room3", "wave_36"},
    {"checkPoint3", "room3", "wave_31"},              {"checkPoint4", "room3", "wave_32"},
    {"checkPoint5", "room3", "wave_35"},
};
// Those that wait for what a single tick cannot give: wave 01 down, the
// square's flight over, the hero in the square.
const char* const kPollingLogics[] = {"OnEnter_trg_031", "ene33_1", "Wave36"};
const char* const kVolumes[] = {"trg_01", "trg_031", "trg_02", "trg_03", "trg_06", "trg_07", "trg_08", "trg_236"};

class LevelScripts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const fs::path previous = fs::current_path();
        fs::current_path(VANTOREL_WORKDIR);
        static bool loaded = false;
        if (!loaded) {
            getModelsManager().LoadCoreModels("Data/XML/CoreModels.xml");
            getParticleTypes().Load("data/XML/particleTypes.xml");
            loaded = true;
        }
        fs::current_path(previous);
    }

    void SetUp() override
    {
        m_Previous = fs::current_path();
        fs::current_path(VANTOREL_WORKDIR);
        getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(1e5f, 0, 1e5f));
        enemies().SetListFiles("data/XML/typeOfEnemyList.xml", "data/XML/enemyList.xml");
        enemies().ResetWaves();
        // The lists are read after the zone is entered: entered again, as the
        // next frame's refresh would.
        enemies().setNewZone("room01", "wave_00");
        enemies().resumeIA();
        getRigid()->dockersEscapeStage = 0;
        getGSF().resetStates();
        manager().checkpoint = 1;
        manager().Reset();
        manager().currentZone = 1;
        WatchAlerts();
    }
    void TearDown() override
    {
        enemies().resumeIA();
        getRigid()->dockersEscapeStage = 0;
        getRigid()->scriptedSequenceRunning = false;
        fs::current_path(m_Previous);
    }

    static CTriggerManager& manager() { return getTriggerManager(); }
    static CEnemyManager& enemies() { return *getEnemyManager(); }

    static void Run(const std::string& chunk)
    {
        lua_State* L = getScriptHost().GetState();
        ASSERT_EQ(luaL_loadstring(L, chunk.c_str()), LUA_OK);
        ASSERT_EQ(lua_pcall(L, 0, 0, 0), LUA_OK) << lua_tostring(L, -1);
    }
    // Every script error, from a file or a called function, lands here.
    static void WatchAlerts() { Run("function _ALERT(message) lastAlert = message end"); }

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
    static void WalkAway()
    {
        getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(1e5f, 0, 1e5f));
        Tick();
    }

    static bool On(const char* name) { return manager().getEnabledTrigger(name); }
    static void Activate(const char* logic) { manager().getTriggerLogicByName(logic)->active = true; }
    static std::string Wave() { return enemies().GetCurrentWave(); }

    // Destroys every enemy of the current wave and lets the manager move on.
    static void ClearWave()
    {
        for (const auto& entry : enemies().GetCurrentWaveEnemies())
            entry.second->getIA()->destroyThisGuy();
        enemies().Update(0.1f);
    }

    fs::path m_Previous;
};

TEST_F(LevelScripts, LoadCleanlyAndDefineEveryNameTheGameCalls)
{
    CScriptHost& host = getScriptHost();
    host.Init();
    WatchAlerts();
    const std::size_t logics = manager().LogicCount();
    for (const char* file : {"sala1.lua", "botScripts.lua", "sala2.lua"})
        EXPECT_EQ(host.DoFile(file), 0) << file;
    EXPECT_EQ(Alerts(), "");
    EXPECT_EQ(manager().LogicCount(), logics) << "the top level makes no logic";
    for (const EngineLogic& logic : kEngineLogics)
        EXPECT_EQ(TypeOf(logic.name), "function") << logic.name;
    for (const char* volume : kVolumes)
        EXPECT_EQ(TypeOf(std::string("OnEnter_") + volume), "function") << volume;
    // Every script an enemy of the shipped list names.
    std::ifstream list("data/XML/enemyList.xml");
    std::stringstream text;
    text << list.rdbuf();
    const std::string xml = text.str();
    const std::regex scripts("scripts=\"([^\"]+)\"");
    int named = 0;
    for (std::sregex_iterator it(xml.begin(), xml.end(), scripts), end; it != end; ++it) {
        std::stringstream names((*it)[1].str());
        std::string name;
        while (std::getline(names, name, '-')) {
            EXPECT_EQ(TypeOf(name), "function") << name;
            ++named;
        }
    }
    EXPECT_GE(named, 1);
    EXPECT_EQ(TypeOf("ene5_2"), "function");
    // The console keeps its commands in every new state.
    EXPECT_EQ(TypeOf("ChangeMission"), "function");
}

std::string ReadFile(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Matches(const std::string& text, const std::string& pattern)
{
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
        found.push_back((*it)[1].str());
    return found;
}

TEST_F(LevelScripts, EveryNameTheLevelFlowPlaysIsInTheShippedData)
{
    const std::string scripts = ReadFile("sala1.lua") + ReadFile("botScripts.lua") + ReadFile("sala2.lua");
    const std::string rigid = ReadFile("data/XML/lista_animaciones_rigidas.xml");
    const std::string subtitles = ReadFile("data/XML/subtitulos.xml");
    const std::string collisions = ReadFile("data/XML/collision_instances.xml");
    const std::string particles = ReadFile("data/XML/particleTypes.xml");

    // What the scripts play, and what the enemy manager's events play.
    std::vector<std::string> animations = Matches(scripts, R"re(play(?:Cam)?\("([^"]+)")re");
    ASSERT_GE(animations.size(), 6u);
    for (const char* name : {"vinyetas_dockers_huye", "vinyetas_avioneta2", "puerta_hangar"})
        animations.push_back(name);
    for (const std::string& name : animations)
        EXPECT_NE(rigid.find("<ANIMACION name=\"" + name + "\""), std::string::npos) << name;

    std::vector<std::string> sounds = Matches(scripts, R"re("(data/sound/[^"]+)")re");
    ASSERT_GE(sounds.size(), 4u);
    for (const char* file : {"data/sound/cubridme.ogg", "data/sound/DondeVasDockers.wav", "data/sound/explode1.wav",
                             "data/sound/vinyetas_avionWARRA3.wav", "data/sound/Trozo2.wav",
                             "data/sound/mission.wav", "data/sound/mcHangExpl.ogg", "data/sound/kelmoth.wav",
                             "data/sound/dockersAQEsperais.ogg", "data/sound/dockersInutiles.ogg",
                             "data/sound/dockersAndamio.ogg"})
        sounds.push_back(file);
    for (const std::string& file : sounds)
        EXPECT_TRUE(fs::exists(file)) << file;

    std::vector<std::string> keys = Matches(scripts, R"re(say\("[^"]+", "([^"]+)"\))re");
    const std::vector<std::string> shown = Matches(scripts, R"re(showSubtitulo\("([^"]+)"\))re");
    keys.insert(keys.end(), shown.begin(), shown.end());
    ASSERT_GE(keys.size(), 1u);
    for (const char* key : {"cubridme", "mcHangExpl", "dockersAQEsperais", "dockersInutiles", "dockersAndamio"})
        keys.push_back(key);
    for (const std::string& key : keys)
        EXPECT_NE(subtitles.find("name=\"" + key + "\""), std::string::npos) << key;

    for (const char* name : {"col_avion_bucle", "col_055", "col_056", "col_0118"})
        EXPECT_NE(collisions.find(std::string("name=\"") + name + "\""), std::string::npos) << name;
    for (const char* type : {"humo", "sangre_infinita"})
        EXPECT_NE(particles.find(std::string("PARTICLE_SYSTEM name=\"") + type + "\""), std::string::npos) << type;
}

TEST_F(LevelScripts, EachLogicTheGameSwitchesOnEndsItsJobInItsZone)
{
    for (const EngineLogic& logic : kEngineLogics) {
        enemies().ResetWaves();
        enemies().setNewZone(logic.room, logic.wave);
        manager().Reset();
        manager().currentZone = std::string(logic.room) == "room3" ? 2 : 1;
        WatchAlerts();
        Activate(logic.name);
        Tick();
        bool polls = false;
        for (const char* polling : kPollingLogics)
            polls = polls || std::string(polling) == logic.name;
        EXPECT_EQ(On(logic.name), polls) << logic.name;
        EXPECT_EQ(Alerts(), "") << logic.name;
    }
}

TEST_F(LevelScripts, TheHangarVolumesAndLogicsCarryTheLevelToTheHangarDoor)
{
    // The intro flight makes the ghost wave walk.
    Activate("enemiesTravellingCamera");
    Tick();
    ASSERT_NE(enemies().getThisBotOfCurrentWave("ene_002"), nullptr);
    EXPECT_NEAR(enemies().getThisBotOfCurrentWave("ene_002")->GetPosition().GetYaw(), 3.06f, 1e-5f);

    WalkInto("trg_01");
    EXPECT_EQ(Wave(), "wave_01");
    EXPECT_FALSE(On("trg_01"));
    // The barrier's volume with wave 01 standing: it waits for the wave.
    WalkInto("trg_031");
    EXPECT_EQ(Wave(), "wave_01");
    EXPECT_TRUE(On("OnEnter_trg_031"));
    Tick();
    EXPECT_EQ(Wave(), "wave_01");
    for (const auto& entry : enemies().GetCurrentWaveEnemies())
        entry.second->getIA()->destroyThisGuy();
    Tick();
    EXPECT_EQ(Wave(), "wave_02") << "past the barrier";
    EXPECT_FALSE(On("OnEnter_trg_031"));
    EXPECT_FALSE(On("trg_02")) << "wave 02 is not entered twice";

    WalkInto("trg_03");
    EXPECT_EQ(Wave(), "wave_03");
    // The plane waits for wave 03 to be down, takes off, and comes back
    // once its wait is over.
    const int idle = getGSF().hangarRigidState;
    Tick();
    EXPECT_EQ(getGSF().hangarRigidState, idle);
    ClearWave();
    Tick();
    EXPECT_EQ(getGSF().hangarRigidState, CGameStateFlagsManager::RigidasHangaresDespegueAvion);
    EXPECT_EQ(Wave(), "wave_03");
    Tick();
    EXPECT_EQ(Wave(), "wave_03");
    getRigid()->setWaitToPlayAvioneta(-1.0f);
    Tick();
    EXPECT_EQ(Wave(), "wave_04");
    EXPECT_NE(enemies().getThisBotOfCurrentWave("ene_Avioneta"), nullptr);
    EXPECT_EQ(getGSF().hangarRigidState, CGameStateFlagsManager::RigidasHangaresLlegadaAvion);
    EXPECT_EQ(getGSF().sequence, CGameStateFlagsManager::PlayingCamHangaresLlegadaAvion);
    EXPECT_FALSE(On("Wave4"));
    EXPECT_FALSE(On("avionetaLlega"));

    // The plane shot down: the enemy manager plays the comic and wave 05.
    ClearWave();
    EXPECT_EQ(Wave(), "wave_05");
    enemies().resumeIA();

    WalkInto("trg_06");
    EXPECT_EQ(Wave(), "wave_06");
    EXPECT_EQ(getGUI().currentMission, 4);
    WalkInto("trg_07");
    EXPECT_EQ(Wave(), "wave_07");
    WalkInto("trg_08");
    EXPECT_EQ(Wave(), "wave_08");
    Tick();
    EXPECT_EQ(Wave(), "wave_08");
    ClearWave();
    Tick();
    EXPECT_EQ(Wave(), "wave_09") << "the hangar door opens";
    EXPECT_EQ(getGUI().currentMission, 5);
    // Its wave's logic ran in the same tick.
    EXPECT_FALSE(On("ene25_1"));
    EXPECT_EQ(enemies().getThisBotOfCurrentWave("ene_25")->getIA()->GetState(), CIAEnemyCover::MOVE_TO_COVER);
    EXPECT_FALSE(On("Wave9"));
    EXPECT_EQ(Alerts(), "");

    // A restart at the second checkpoint re-arms its stretch only.
    Activate("checkPoint2");
    Tick();
    EXPECT_TRUE(On("trg_06"));
    EXPECT_TRUE(On("trg_08"));
    EXPECT_FALSE(On("trg_01"));
    EXPECT_FALSE(On("trg_03"));
    // And the first gives the whole level back.
    Activate("checkPoint1");
    Tick();
    for (const char* volume : {"trg_01", "trg_031", "trg_02", "trg_03", "trg_06"})
        EXPECT_TRUE(On(volume)) << volume;
}

TEST_F(LevelScripts, TheWayUpToTheHangarWaitsForThePlaneToBeDown)
{
    WalkInto("trg_07");
    EXPECT_EQ(Wave(), "wave_00") << "straight from the start";
    WalkInto("trg_03");
    ASSERT_EQ(Wave(), "wave_03");
    // Up the yard before wave 03 is down: the plane must still take off.
    WalkInto("trg_06");
    EXPECT_EQ(Wave(), "wave_03");
    EXPECT_TRUE(On("trg_06"));
    WalkAway();
    ClearWave();
    Tick();
    getRigid()->setWaitToPlayAvioneta(-1.0f);
    Tick();
    ASSERT_EQ(Wave(), "wave_04");

    // Up the yard while it circles: its wave stays the one to end.
    for (const char* volume : {"trg_06", "trg_07", "trg_08"}) {
        WalkInto(volume);
        EXPECT_EQ(Wave(), "wave_04") << volume;
        EXPECT_TRUE(On(volume)) << volume;
    }
    EXPECT_FALSE(On("Wave9"));
    ClearWave();
    ASSERT_EQ(Wave(), "wave_05") << "the plane down brings its comic and wave 05";
    EXPECT_EQ(getGSF().sequence, CGameStateFlagsManager::PlayingSecondMovie);
    enemies().resumeIA();
    // Still standing where he waited, the pier's fight is his; walked into
    // again, the volume moves him on.
    Tick();
    EXPECT_EQ(Wave(), "wave_05");
    WalkAway();
    WalkInto("trg_08");
    EXPECT_EQ(Wave(), "wave_08");
    EXPECT_FALSE(On("trg_06"));
    EXPECT_TRUE(On("Wave9"));
    EXPECT_EQ(Alerts(), "");
}

TEST_F(LevelScripts, ACheckpointLeavesOnTheLogicsTheGameStartsWithIt)
{
    // Switched on before the checkpoint's own logic gets its tick: they must
    // still run, whichever order the restart used.
    const std::pair<const char*, std::vector<const char*>> together[] = {
        {"checkPoint2", {"ene10_1"}},
        {"checkPoint3", {"ene31_0", "enemiesTravellingCameraIsla"}},
        {"checkPoint4", {"ene33_0", "ene33_1"}},
        {"checkPoint5", {"ene47_1"}},
    };
    for (const auto& [checkpoint, logics] : together) {
        manager().Reset();
        WatchAlerts();
        Activate(checkpoint);
        for (const char* logic : logics)
            Activate(logic);
        // A stale one from before the death.
        Activate("Wave36");
        Activate("Wave4");
        getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(1e5f, 0, 1e5f));
        Run(std::string(checkpoint) + "()");
        for (const char* logic : logics)
            EXPECT_TRUE(On(logic)) << checkpoint << " " << logic;
        EXPECT_FALSE(On("Wave36")) << checkpoint;
        EXPECT_FALSE(On("Wave4")) << checkpoint;
        EXPECT_FALSE(On(checkpoint));
    }
}

TEST_F(LevelScripts, TheIslandRunsFromItsArrivalToTheLastFight)
{
    manager().currentZone = 2;
    enemies().setNewZone("room3", "wave_31");
    EXPECT_EQ(manager().checkpoint, 3);
    Activate("Wave31");
    Activate("ene31_0");
    Tick();
    EXPECT_FALSE(On("Wave31"));
    // The arrival's walkers leave with its flight; wave 32 follows at once
    // once the beach is clear, with no volume.
    enemies().DestroyEnemies51To53();
    ClearWave();
    EXPECT_EQ(Wave(), "wave_32");
    EXPECT_EQ(manager().checkpoint, 4);
    Tick();
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::PlayingCamIslaLlegadaPlaza);
    // The docker taunts first, then its routine follows.
    EXPECT_EQ(enemies().getThisBotOfCurrentWave("ene_Dockers1")->getIA()->GetState(), CIAEnemyCover::ACTING);
    EXPECT_EQ(enemies().getThisBotOfCurrentWave("ene_Dockers1")->getIA()->GetSecondState(), CIAEnemyCover::DOCKERS);
    // The dockers' look waits for the square's flight.
    EXPECT_TRUE(On("ene33_1"));
    getRigid()->setWaitToPlayAvioneta(-1.0f);
    Tick();
    EXPECT_FALSE(On("ene33_1"));

    // Crossing the square before the last wave changes nothing.
    WalkInto("trg_236");
    EXPECT_TRUE(On("trg_236"));
    WalkAway();

    enemies().setNewZone("room3", "wave_33");
    Activate("ene37_1");
    Tick();
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::PlayingCamIslaSegundaOleadaPlaza);
    enemies().setNewZone("room3", "wave_34");
    Activate("ene42_0");
    Tick();
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::PlayingCamIslaOleadaAndamio);
    // The docker taunts first, then its routine follows.
    EXPECT_EQ(enemies().getThisBotOfCurrentWave("ene_Dockers3")->getIA()->GetState(), CIAEnemyCover::ACTING);
    EXPECT_EQ(enemies().getThisBotOfCurrentWave("ene_Dockers3")->getIA()->GetSecondState(), CIAEnemyCover::DOCKERS);

    getRigid()->dockersEscapeStage = 2;
    enemies().setNewZone("room3", "wave_35");
    ClearWave();
    EXPECT_EQ(Wave(), "wave_36");
    EXPECT_TRUE(On("Wave36"));
    CIAEnemyCover* boss = enemies().getThisBotOfCurrentWave("ene_50")->getIA();
    EXPECT_EQ(boss->GetState(), CIAEnemyCover::WAITING);
    // Stirred, he is held back again.
    boss->SetState("SEARCH_STATE");
    Tick();
    Tick();
    EXPECT_TRUE(On("Wave36")) << "the boss waits for the hero in the square";
    EXPECT_EQ(boss->GetState(), CIAEnemyCover::WAITING);
    WalkInto("trg_236");
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::ReadyCamIslaVinyetasIntroLucha);
    EXPECT_EQ(getGUI().currentMission, 11);
    EXPECT_FALSE(On("trg_236"));
    Tick();
    EXPECT_FALSE(On("Wave36"));
    // A restart at the square starts its docker but does not fly over it again.
    getGSF().setIslaIntroDone();
    enemies().setNewZone("room3", "wave_32");
    for (const char* logic : {"checkPoint4", "ene33_0", "ene33_1"})
        Activate(logic);
    Tick();
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::IslaIntroDone);
    // The docker taunts first, then its routine follows.
    EXPECT_EQ(enemies().getThisBotOfCurrentWave("ene_Dockers1")->getIA()->GetState(), CIAEnemyCover::ACTING);
    EXPECT_EQ(enemies().getThisBotOfCurrentWave("ene_Dockers1")->getIA()->GetSecondState(), CIAEnemyCover::DOCKERS);
    EXPECT_TRUE(On("ene33_1"));
    // And a restart at the last checkpoint gives the square back.
    WalkAway();
    Activate("checkPoint5");
    Tick();
    EXPECT_TRUE(On("trg_236"));
    // Where the boss waits is said again once the wave is down again.
    getGUI().currentMission = 0;
    enemies().setNewZone("room3", "wave_35");
    ClearWave();
    Tick();
    EXPECT_EQ(getGUI().currentMission, 11);
    EXPECT_EQ(Alerts(), "");
}

// A docker's taunt comes with his routine: the logic that starts him says
// it no second time, neither with him nor once the square's flight is over.
TEST_F(LevelScripts, EachDockersTauntIsHeardOnce)
{
    platform::audio::UseRecorder([] { return std::uint64_t{0}; });
    getSoundManager().Init(nullptr);
    getSoundManager().Unmute();
    platform::audio::ClearStarted();
    auto heard = [](const std::string& line) {
        const std::vector<std::string>& started = platform::audio::StartedFiles();
        return std::count(started.begin(), started.end(), "data/sound/" + line + ".ogg");
    };
    manager().currentZone = 2;
    enemies().setNewZone("room3", "wave_32");
    Activate("ene33_0");
    Activate("ene33_1");
    Tick();
    EXPECT_EQ(heard("dockersAQEsperais"), 1);
    getRigid()->setWaitToPlayAvioneta(-1.0f);
    Tick();
    EXPECT_FALSE(On("ene33_1"));
    EXPECT_EQ(heard("dockersAQEsperais"), 1) << "the square's flight is over";
    const struct {
        const char* wave;
        const char* logic;
        const char* line;
    } squares[] = {{"wave_33", "ene37_1", "dockersInutiles"}, {"wave_34", "ene42_0", "dockersAndamio"}};
    for (const auto& square : squares) {
        enemies().setNewZone("room3", square.wave);
        Activate(square.logic);
        Tick();
        EXPECT_EQ(heard(square.line), 1) << square.logic;
    }
    EXPECT_EQ(Alerts(), "");
    BASS_Free();
    platform::audio::UseRecorder(nullptr);
    enemies().setNewZone("room01", "wave_00");
}

} // namespace
