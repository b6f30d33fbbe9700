// The script API as a level script sees it: every one of the 84 names is
// there, on the right class, with the argument kinds a script must pass; and
// the bound functions reach the game's own objects.
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include <luabind/detail/class_rep.hpp>
#include <luabind/luabind.hpp>

#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "gui/MissionText.h"
#include "player/Player.h"
#include "scene/SceneManager.h"
#include "script/lua_fixture.h"

namespace {

struct ApiName {
    const char* owner; // class name; empty for a global function
    const char* name;
    const char* signature; // result and arguments in Lua's terms
};

// What a script has to pass: strings, numbers, booleans, or a game object.
const ApiName kApi[] = {
    {"", "updateLuaFile", "void (string)"},
    {"", "setMainConfig", "void (string,boolean)"},
    {"", "getSubtitulos", "CSubtitleManager ()"},
    {"", "getGSF", "CGameStateFlagsManager ()"},
    {"", "getCollisionManager", "CCollisionManager ()"},
    {"", "getParticleManager", "CParticleManager ()"},
    {"", "getRigid", "CRigidAnimManager ()"},
    {"", "getGUI", "CGUIManager ()"},
    {"", "getSceneManager", "CSceneMngr ()"},
    {"", "getSoundManager", "CSoundManager ()"},
    {"", "getTriggerManager", "CTriggerManager ()"},
    {"", "getMissionText", "CMissionText ()"},
    {"", "getEnemyManager", "CEnemyManager ()"},
    {"", "getPlayer", "CPlayer ()"},
    {"CIAEnemyCover", "setTalkScript", "void (string,number)"},
    {"CIAEnemyCover", "setAnimScript", "void (string,number)"},
    {"CIAEnemyCover", "setDockersState", "void ()"},
    {"CIAEnemyCover", "setTrackerScript", "void (boolean,string)"},
    {"CIAEnemyCover", "setWaitingState", "void (number,string)"},
    {"CIAEnemyCover", "setSearchingState", "void ()"},
    {"CIAEnemyCover", "setMoveToCoverState", "void (string)"},
    {"CIAEnemyCover", "UpdateView", "void ()"},
    {"CIAEnemyCover", "setKamikazeState", "void ()"},
    {"CIAEnemyCover", "setYawFromScript", "void (number)"},
    {"CIAEnemyCover", "botIsInAction", "boolean ()"},
    {"CIAEnemyCover", "becomeATorretGuy", "void ()"},
    {"CIAEnemyCover", "destroyThisGuy", "void ()"},
    {"CEnemy", "getIA", "CIAEnemyCover ()"},
    {"CParticleManager", "update_XML", "void (string)"},
    {"CParticleManager", "addShootf", "void (number,number,number)"},
    {"CGameStateFlagsManager", "setRigidasHangaresDespegueAvion", "void ()"},
    {"CGameStateFlagsManager", "setRigidasHangaresLlegadaAvion", "void ()"},
    {"CGameStateFlagsManager", "setPlayingCamHangaresLlegadaAvion", "void ()"},
    {"CGameStateFlagsManager", "setPlayingCamIslaLlegadaPlaza", "void ()"},
    {"CGameStateFlagsManager", "setReadyCamIslaVinyetasIntroLucha", "void ()"},
    {"CGameStateFlagsManager", "setPlayingCamIslaOleadaAndamio", "void ()"},
    {"CGameStateFlagsManager", "setPlayingCamIslaSegundaOleadaPlaza", "void ()"},
    {"CCollisionManager", "setNewPlayerPosition", "void (D3DXVECTOR3)"},
    {"CCollisionManager", "setNewEnemyPosition", "void (string,D3DXVECTOR3)"},
    {"CCollisionManager", "LoadNewScenario", "void (string)"},
    {"CRigidAnimManager", "play", "void (string,boolean)"},
    {"CRigidAnimManager", "setWaitToPlayAvioneta", "void (number)"},
    {"CRigidAnimManager", "canPlayWaitEnded", "boolean ()"},
    {"CRigidAnimManager", "setCameraSpeedModifier", "void (number)"},
    {"CRigidAnimManager", "playCam", "void (string)"},
    {"CSubtitleManager", "showSubtitulo", "void (string)"},
    {"CGUIManager", "showMission", "void (number)"},
    {"CGUIManager", "reload", "void ()"},
    {"CSoundManager", "playVrekAgainstNextWave", "void ()"},
    {"CSoundManager", "playThisSampleOnce", "void (string,number)"},
    {"CSoundManager", "pauseAllTypical", "void ()"},
    {"CSoundManager", "playThisAvionetaArrive", "void ()"},
    {"CSoundManager", "playThisSceneSound",
     "void (string,number,boolean,string,number,boolean,string,number,boolean)"},
    {"CSoundManager", "everybodyShutUp", "void ()"},
    {"CSoundManager", "play", "void (string)"},
    {"CTriggerManager", "getTriggerLogicByName", "CTriggerLogic (string)"},
    {"CTriggerManager", "setCheckPointTrigger", "void (number)"},
    {"CTriggerManager", "setEnableTrigger", "void (string,boolean)"},
    {"CTriggerManager", "getEnabledTrigger", "boolean (string)"},
    {"CMissionText", "setMission", "void (number)"},
    {"CMissionText", "addText", "void (string)"},
    {"CMissionText", "getLastMission", "number ()"},
    {"CEnemyManager", "anyBotAlive", "boolean ()"},
    {"CEnemyManager", "FinalBattle", "void ()"},
    {"CEnemyManager", "setNewZone", "void (string,string)"},
    {"CEnemyManager", "configureFirstGhostWave", "void ()"},
    {"CEnemyManager", "freezeIA", "void ()"},
    {"CEnemyManager", "resumeIA", "void ()"},
    {"CEnemyManager", "getHangarOpenLastWave", "void ()"},
    {"CEnemyManager", "playPaletaVoladoresHangarExplosivo", "void ()"},
    {"CEnemyManager", "resetBots", "void ()"},
    {"CEnemyManager", "killThisWave", "void (string)"},
    {"CEnemyManager", "firstMovieOn", "void ()"},
    {"CEnemyManager", "secondMovieOn", "void ()"},
    {"CEnemyManager", "isThisWaveActive", "boolean (string)"},
    {"CEnemyManager", "putB1LookingToB2", "void (string,string)"},
    {"CEnemyManager", "onlyDockersAliveAndKilled", "boolean ()"},
    {"CEnemyManager", "getThisBotOfCurrentWave", "CEnemy (string)"},
    {"CLightCamera", "dum", "void (string,string,string,string,string,string)"},
    {"CLightCamera", "dum2", "void ()"},
    {"CSceneMngr", "getActiveLight", "CLightCamera ()"},
    {"CPlayer", "reduceLife", "void (number)"},
    {"CPlayer", "storeForCHECKPOINT", "void ()"},
    {"CPlayer", "getLife", "number ()"},
};

const char* const kClasses[] = {
    "CIAEnemyCover", "CEnemy",       "CTriggerLogic",   "CParticleManager", "CGameStateFlagsManager",
    "CCollisionManager", "CRigidAnimManager", "CSubtitleManager", "CGUIManager", "CSoundManager",
    "CTriggerManager", "CMissionText", "CEnemyManager", "CLightCamera",     "CSceneMngr",
    "CPlayer",
};

std::string Trim(std::string text)
{
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// A C++ type as luabind spells it, in the terms a script deals with.
std::string LuaKind(std::string type)
{
    type = Trim(type);
    for (const char* suffix : {" const&", " const*", " const", "&", "*"}) {
        const std::string tail = suffix;
        if (type.size() > tail.size() && type.compare(type.size() - tail.size(), tail.size(), tail) == 0)
            type = Trim(type.substr(0, type.size() - tail.size()));
    }
    if (type.rfind("custom [", 0) == 0)
        type = type.substr(8, type.size() - 9);
    if (type == "std::string" || type == "char const" || type == "char")
        return "string";
    if (type == "int" || type == "short" || type == "unsigned short" || type == "float" || type == "double")
        return "number";
    if (type == "bool")
        return "boolean";
    return type;
}

// "void name(CClass&,std::string,custom [float])" -> "void (string,number)";
// for a method the first argument must be the object itself.
std::string Normalise(const std::string& candidate, const std::string& owner)
{
    const size_t open = candidate.find('(');
    const size_t close = candidate.rfind(')');
    if (open == std::string::npos || close == std::string::npos)
        return "unreadable: " + candidate;
    const std::string head = Trim(candidate.substr(0, open));
    const std::string result = LuaKind(head.substr(0, head.rfind(' ')));
    std::vector<std::string> arguments;
    std::stringstream list(candidate.substr(open + 1, close - open - 1));
    std::string argument;
    while (std::getline(list, argument, ','))
        arguments.push_back(LuaKind(argument));
    if (!owner.empty()) {
        if (arguments.empty() || arguments.front() != owner)
            return "not a method of " + owner + ": " + candidate;
        arguments.erase(arguments.begin());
    }
    std::string text = result + " (";
    for (size_t i = 0; i < arguments.size(); ++i)
        text += (i ? "," : "") + arguments[i];
    return text + ")";
}

class ScriptApi : public LuaStateTest {
protected:
    // Pushes the function a script reaches under that name, straight from the
    // globals or from the class's own method table.
    void PushApiFunction(const ApiName& api)
    {
        if (!*api.owner) {
            lua_getglobal(L, api.name);
            return;
        }
        lua_getglobal(L, api.owner);
        auto* rep = static_cast<luabind::detail::class_rep*>(lua_touserdata(L, -1));
        if (!rep) {
            lua_pop(L, 1);
            lua_pushnil(L);
            return;
        }
        rep->get_table(L);
        lua_getfield(L, -1, api.name);
        lua_replace(L, -3);
        lua_pop(L, 1);
    }
};

TEST_F(ScriptApi, EveryNameIsCallableWithTheArgumentsItsScriptsPass)
{
    ASSERT_EQ(std::size(kApi), 84u);
    for (const ApiName& api : kApi) {
        SCOPED_TRACE(std::string(api.owner) + ":" + api.name);
        const int top = lua_gettop(L);
        PushApiFunction(api);
        ASSERT_EQ(lua_type(L, -1), LUA_TFUNCTION);
        // A table matches no bound signature, so luabind answers with the
        // candidates instead of running the game's code.
        lua_newtable(L);
        ASSERT_NE(lua_pcall(L, 1, 0, 0), LUA_OK);
        const std::string message = lua_tostring(L, -1);
        lua_settop(L, top);
        const std::string header = "No matching overload found, candidates:\n";
        ASSERT_EQ(message.compare(0, header.size(), header), 0) << message;
        const std::string candidates = message.substr(header.size());
        const std::string first = Trim(candidates.substr(0, candidates.find('\n')));
        EXPECT_EQ(Trim(candidates.substr(first.size())).find_first_not_of('\n'), std::string::npos)
            << "more than one overload: " << candidates;
        EXPECT_EQ(Normalise(first, api.owner), api.signature);
    }
}

TEST_F(ScriptApi, TheClassesHoldTheirMethodsAndNothingElse)
{
    std::map<std::string, std::set<std::string>> expected;
    for (const char* name : kClasses)
        expected[name];
    for (const ApiName& api : kApi)
        if (*api.owner)
            expected[api.owner].insert(api.name);
    ASSERT_EQ(expected.size(), 16u);

    for (const auto& [owner, methods] : expected) {
        SCOPED_TRACE(owner);
        lua_getglobal(L, owner.c_str());
        auto* rep = static_cast<luabind::detail::class_rep*>(lua_touserdata(L, -1));
        ASSERT_NE(rep, nullptr);
        rep->get_table(L);
        std::set<std::string> bound;
        lua_pushnil(L);
        while (lua_next(L, -2)) {
            if (lua_type(L, -2) == LUA_TSTRING && lua_type(L, -1) == LUA_TFUNCTION)
                bound.insert(lua_tostring(L, -2));
            lua_pop(L, 1);
        }
        lua_pop(L, 2);
        // No constructor either: scripts cannot make game objects.
        bound.erase("__init");
        EXPECT_EQ(bound, methods);
        EXPECT_NE(Run(std::string("local made = ") + owner + "()"), "");
    }
}

TEST_F(ScriptApi, GettersHandOutTheGamesOwnObjects)
{
    getMissionText().addText("from the host test");
    ASSERT_EQ(Run("last = getMissionText():getLastMission()"), "");
    EXPECT_EQ(GlobalNumber("last"), getMissionText().getLastMission());

    ASSERT_EQ(Run("getMissionText():setMission(getMissionText():getLastMission())"), "");
    EXPECT_EQ(getMissionText().GetCurrent(), getMissionText().getLastMission());

    ASSERT_EQ(Run("getMissionText():addText('TEXTO')"), "");
    EXPECT_EQ(getMissionText().GetTexts().back(), "TEXTO");

    ASSERT_EQ(Run("setMainConfig('scriptSwitch', true)"), "");
    EXPECT_TRUE(getMainConfig("scriptSwitch"));
    ASSERT_EQ(Run("setMainConfig('scriptSwitch', false)"), "");
    EXPECT_FALSE(getMainConfig("scriptSwitch"));

    ASSERT_EQ(Run("life = getPlayer():getLife()"), "");
    EXPECT_EQ(GlobalNumber("life"), getPlayer()->getLife());

    ASSERT_EQ(Run("getSceneManager():getActiveLight():dum('1', '2', '3', '4', '5', '6.5')"), "");
    const CLightCamera* light = getSceneManager().getActiveLight();
    EXPECT_FLOAT_EQ(light->eye.x, 1.0f);
    EXPECT_FLOAT_EQ(light->eye.z, 3.0f);
    EXPECT_FLOAT_EQ(light->target.z, 6.5f);

    ASSERT_EQ(Run("nobody = getEnemyManager():getThisBotOfCurrentWave('no_such_enemy')"), "");
    EXPECT_EQ(GlobalType("nobody"), LUA_TNIL);

    // Numbers reach float arguments.
    EXPECT_EQ(Run("getRigid():setCameraSpeedModifier(1.5)"), "");
    EXPECT_EQ(Run("getParticleManager():addShootf(1, 2.5, -3)"), "");
}

TEST_F(ScriptApi, TheRecordSettersWriteTheirCodes)
{
    CGameStateFlagsManager& record = getGSF();
    const CGameStateFlagsManager saved = record;
    using Code = std::int32_t CGameStateFlagsManager::*;
    const Code hangar = &CGameStateFlagsManager::hangarRigidState;
    const Code first = &CGameStateFlagsManager::sequence;
    const Code isla = &CGameStateFlagsManager::islaSequence;
    const struct {
        const char* setter;
        Code code;
        int value;
    } cases[] = {
        {"setRigidasHangaresDespegueAvion", hangar, 44},
        {"setRigidasHangaresLlegadaAvion", hangar, 45},
        {"setPlayingCamHangaresLlegadaAvion", first, 3},
        {"setPlayingCamIslaLlegadaPlaza", isla, 102},
        {"setReadyCamIslaVinyetasIntroLucha", isla, 113},
        {"setPlayingCamIslaOleadaAndamio", isla, 104},
        {"setPlayingCamIslaSegundaOleadaPlaza", isla, 103},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setter);
        record.hangarRigidState = 0;
        record.sequence = 0;
        record.islaSequence = 0;
        ASSERT_EQ(Run(std::string("getGSF():") + c.setter + "()"), "");
        EXPECT_EQ(record.*c.code, c.value);
        EXPECT_EQ(record.hangarRigidState + record.sequence + record.islaSequence, c.value) << "one code only";
    }
    record = saved;
}

TEST_F(ScriptApi, TriggerLogicsAreReachedByName)
{
    ASSERT_EQ(Run("local logic = getTriggerManager():getTriggerLogicByName('api_logic')\n"
                  "getTriggerManager():setEnableTrigger('api_logic', true)\n"
                  "on = getTriggerManager():getEnabledTrigger('api_logic')\n"
                  "getTriggerManager():setEnableTrigger('api_logic', false)\n"
                  "off = getTriggerManager():getEnabledTrigger('api_logic')\n"
                  "same = logic == getTriggerManager():getTriggerLogicByName('api_logic')"),
              "");
    lua_getglobal(L, "on");
    EXPECT_TRUE(lua_type(L, -1) == LUA_TBOOLEAN && lua_toboolean(L, -1));
    lua_getglobal(L, "off");
    EXPECT_TRUE(lua_type(L, -1) == LUA_TBOOLEAN && !lua_toboolean(L, -1));
    lua_pop(L, 2);
    EXPECT_FALSE(getTriggerManager().getEnabledTrigger("api_logic"));
}

TEST_F(ScriptApi, AVectorArgumentCannotBeMadeByAScript)
{
    const std::string message = Run("getCollisionManager():setNewPlayerPosition({1, 2, 3})");
    EXPECT_NE(message.find("No matching overload"), std::string::npos) << message;
}

} // namespace
