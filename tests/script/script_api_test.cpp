// The script API as a level script sees it: every one of the 85 names is
// there, on the right class, with the argument kinds a script must pass; and
// the bound functions reach the game's own objects.
#include <regex>
#include <set>
#include <sstream>

#include <luabind/detail/class_rep.hpp>

#include "app/GameStateFlags.h"
#include "gui/MissionText.h"
#include "scene/SceneManager.h"
#include "script/lua_fixture.h"

namespace {

// Each class with all its methods, in Lua's terms (string, number, boolean or
// a game class); the unnamed group is the global functions.
const std::pair<const char*, const char*> kApi[] = {
    {"", "void updateLuaFile(string) void setMainConfig(string,boolean) CSubtitleManager getSubtitulos() "
         "CGameStateFlagsManager getGSF() CCollisionManager getCollisionManager() CParticleManager getParticleManager() "
         "CRigidAnimManager getRigid() CGUIManager getGUI() CSceneMngr getSceneManager() CSoundManager getSoundManager() "
         "CTriggerManager getTriggerManager() CMissionText getMissionText() CEnemyManager getEnemyManager() "
         "CPlayer getPlayer()"},
    {"CIAEnemyCover", "void setTalkScript(string,number) void setAnimScript(string,number) void setDockersState() "
                      "void setTrackerScript(boolean,string) void setWaitingState(number,string) void setSearchingState() "
                      "void setMoveToCoverState(string) void UpdateView() void setKamikazeState() "
                      "void setYawFromScript(number) boolean botIsInAction() void becomeATorretGuy() void destroyThisGuy()"},
    {"CEnemy", "CIAEnemyCover getIA()"},
    {"CTriggerLogic", ""},
    {"CParticleManager", "void update_XML(string) void addShootf(number,number,number)"},
    {"CGameStateFlagsManager", "void setRigidasHangaresDespegueAvion() void setRigidasHangaresLlegadaAvion() "
                               "void setPlayingCamHangaresLlegadaAvion() void setPlayingCamIslaLlegadaPlaza() "
                               "void setReadyCamIslaVinyetasIntroLucha() void setPlayingCamIslaOleadaAndamio() "
                               "void setPlayingCamIslaSegundaOleadaPlaza()"},
    {"CCollisionManager", "void setNewPlayerPosition(D3DXVECTOR3) void setNewEnemyPosition(string,D3DXVECTOR3) "
                          "void LoadNewScenario(string)"},
    {"CRigidAnimManager", "void play(string,boolean) void setWaitToPlayAvioneta(number) boolean canPlayWaitEnded() "
                          "void setCameraSpeedModifier(number) void playCam(string)"},
    {"CSubtitleManager", "void showSubtitulo(string)"},
    {"CGUIManager", "void showMission(number) void reload()"},
    {"CSoundManager", "void playVrekAgainstNextWave() void playThisSampleOnce(string,number) void pauseAllTypical() "
                      "void playThisAvionetaArrive() void everybodyShutUp() void play(string) "
                      "void playThisSceneSound(string,number,boolean,string,number,boolean,string,number,boolean)"},
    {"CTriggerManager", "CTriggerLogic getTriggerLogicByName(string) void setCheckPointTrigger(number) "
                        "void setEnableTrigger(string,boolean) boolean getEnabledTrigger(string)"},
    {"CMissionText", "void setMission(number) void addText(string) number getLastMission()"},
    {"CEnemyManager", "boolean anyBotAlive() void FinalBattle() void setNewZone(string,string) "
                      "void configureFirstGhostWave() void freezeIA() void resumeIA() void getHangarOpenLastWave() "
                      "void playPaletaVoladoresHangarExplosivo() void resetBots() void killThisWave(string) "
                      "void firstMovieOn() void secondMovieOn() boolean isThisWaveActive(string) "
                      "void putB1LookingToB2(string,string) boolean onlyDockersAliveAndKilled() "
                      "CEnemy getThisBotOfCurrentWave(string)"},
    {"CLightCamera", "void dum(string,string,string,string,string,string) void dum2()"},
    {"CSceneMngr", "CLightCamera getActiveLight()"},
    {"CPlayer", "void reduceLife(number) void storeForCHECKPOINT() number getLife()"},
};

// "void f(CClass&,std::string const&,custom [float])" as luabind spells a
// method of CClass -> "void f(string,number)".
std::string InLuaTerms(std::string candidate, const std::string& owner)
{
    static const std::pair<std::regex, const char*> kRules[] = {
        {std::regex(R"(custom \[(\w+)\])"), "$1"},
        {std::regex(R"( const|[&*])"), ""},
        {std::regex(R"(\b(std::string|char)\b)"), "string"},
        {std::regex(R"(\b(unsigned short|short|int|float|double)\b)"), "number"},
        {std::regex(R"(\bbool\b)"), "boolean"},
    };
    for (const auto& [pattern, replacement] : kRules)
        candidate = std::regex_replace(candidate, pattern, replacement);
    // The object itself comes first; a method without it is no method.
    return owner.empty() ? candidate : std::regex_replace(candidate, std::regex("\\(" + owner + ",?"), "(");
}

using ScriptApi = LuaStateTest;

TEST_F(ScriptApi, EveryNameIsCallableWithTheArgumentsItsScriptsPass)
{
    size_t names = 0;
    for (const auto& [owner, methods] : kApi) {
        SCOPED_TRACE(owner);
        std::set<std::string> expected, bound;
        const int top = lua_gettop(L);
        if (*owner) {
            lua_getglobal(L, owner);
            auto* rep = static_cast<luabind::detail::class_rep*>(lua_touserdata(L, -1));
            ASSERT_NE(rep, nullptr);
            rep->get_table(L);
            for (lua_pushnil(L); lua_next(L, -2); lua_pop(L, 1))
                if (lua_type(L, -2) == LUA_TSTRING && lua_type(L, -1) == LUA_TFUNCTION)
                    bound.insert(lua_tostring(L, -2));
            // No constructor either: scripts cannot make game objects.
            EXPECT_NE(Run(std::string("local made = ") + owner + "()"), "");
        }
        std::istringstream words(methods);
        for (std::string result, call; words >> result >> call;) {
            const std::string name = call.substr(0, call.find('('));
            SCOPED_TRACE(name);
            expected.insert(name);
            ++names;
            if (*owner)
                lua_getfield(L, -1, name.c_str());
            else
                lua_getglobal(L, name.c_str());
            ASSERT_EQ(lua_type(L, -1), LUA_TFUNCTION);
            // A table matches no bound signature, so luabind answers with the
            // candidates instead of running the game's code.
            lua_newtable(L);
            ASSERT_NE(lua_pcall(L, 1, 0, 0), LUA_OK);
            const std::string message = lua_tostring(L, -1);
            lua_pop(L, 1);
            const std::string header = "No matching overload found, candidates:\n";
            ASSERT_EQ(message.compare(0, header.size(), header), 0) << message;
            EXPECT_EQ(InLuaTerms(message.substr(header.size()), owner), result + " " + call)
                << "one overload only";
        }
        if (*owner)
            EXPECT_EQ(bound, expected) << "the class holds its methods and nothing else";
        lua_settop(L, top);
    }
    EXPECT_EQ(names, 84u);
}

TEST_F(ScriptApi, BoundFunctionsReachTheGamesOwnObjects)
{
    ASSERT_EQ(Run("getMissionText():addText('TEXTO'); getMissionText():setMission(getMissionText():getLastMission())\n"
                  "getSceneManager():getActiveLight():dum('1', '2', '3', '4', '5', '6.5')\n"
                  "nobody = getEnemyManager():getThisBotOfCurrentWave('no_such_enemy')"),
              "");
    EXPECT_EQ(getMissionText().GetTexts().back(), "TEXTO");
    EXPECT_EQ(getMissionText().GetCurrent(), getMissionText().getLastMission());
    const CLightCamera* light = getSceneManager().getActiveLight();
    EXPECT_FLOAT_EQ(light->eye.x, 1.0f);
    EXPECT_FLOAT_EQ(light->eye.z, 3.0f);
    EXPECT_FLOAT_EQ(light->target.z, 6.5f);
    EXPECT_EQ(Global("nobody"), "<nil>");
}

// Each story setter a level script calls writes its own code into its own
// field of the record, and nothing else.
TEST_F(ScriptApi, EachStorySetterStoresItsOwnCode)
{
    const struct { const char* setter; StoryCode CGameStateFlagsManager::*field; std::int32_t code; } setters[] = {
        {"setRigidasHangaresDespegueAvion", &CGameStateFlagsManager::hangarRigidState, 44},
        {"setRigidasHangaresLlegadaAvion", &CGameStateFlagsManager::hangarRigidState, 45},
        {"setPlayingCamHangaresLlegadaAvion", &CGameStateFlagsManager::sequence, 3},
        {"setPlayingCamIslaLlegadaPlaza", &CGameStateFlagsManager::islaSequence, 102},
        {"setReadyCamIslaVinyetasIntroLucha", &CGameStateFlagsManager::islaSequence, 113},
        {"setPlayingCamIslaOleadaAndamio", &CGameStateFlagsManager::islaSequence, 104},
        {"setPlayingCamIslaSegundaOleadaPlaza", &CGameStateFlagsManager::islaSequence, 103},
    };
    CGameStateFlagsManager& record = getGSF();
    for (const auto& s : setters) {
        record.sequence = record.hangarRigidState = record.islaSequence = -1;
        ASSERT_EQ(Run(std::string("getGSF():") + s.setter + "()"), "") << s.setter;
        EXPECT_EQ(record.*s.field, s.code) << s.setter;
        const int untouched = (record.sequence == -1) + (record.hangarRigidState == -1) + (record.islaSequence == -1);
        EXPECT_EQ(untouched, 2) << s.setter;
    }
    record.resetStates();
}

} // namespace
