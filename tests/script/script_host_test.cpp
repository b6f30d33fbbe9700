// The script host: a state with nothing but the language and the API, the
// command lines of the triggers and the console, script files, and a fresh
// state on every reset.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <luabind/luabind.hpp>

#include "app/MainConfig.h"
#include "gui/MissionText.h"
#include "script/lua_fixture.h"

namespace {

class ScriptHost : public LuaStateTest {
protected:
    void TearDown() override
    {
        for (const std::filesystem::path& file : m_Files)
            std::filesystem::remove(file);
    }

    std::string WriteScript(const std::string& name, const std::string& text)
    {
        const std::filesystem::path file = std::filesystem::temp_directory_path() / ("vantorel_lua_" + name);
        std::ofstream(file) << text;
        m_Files.push_back(file);
        return file.string();
    }

    std::vector<std::filesystem::path> m_Files;
};

TEST_F(ScriptHost, ScriptsSeeNoStandardLibrary)
{
    for (const char* name : {"print", "io", "os", "string", "table", "math", "debug", "package", "require",
                             "coroutine", "bit32", "dofile", "loadfile", "load", "loadstring", "pcall", "error",
                             "type", "tostring", "tonumber", "pairs", "ipairs", "next", "select", "rawget",
                             "rawset", "setmetatable", "getmetatable", "collectgarbage", "unpack", "assert"}) {
        EXPECT_EQ(GlobalType(name), LUA_TNIL) << name;
    }
    // The binding library's class helper is there, and so is the API.
    EXPECT_EQ(GlobalType("class"), LUA_TFUNCTION);
    EXPECT_EQ(GlobalType("getPlayer"), LUA_TFUNCTION);
    // The bare language works: a numeric string turns into a number in arithmetic.
    ASSERT_EQ(Run("sum = '40' + 2"), "");
    EXPECT_EQ(GlobalNumber("sum"), 42.0);
}

TEST_F(ScriptHost, TheFirstWordIsCalledWithTheNextSixWords)
{
    ASSERT_EQ(Run("function Probe(a, b, c, d, e, f, g)\n"
                  "  calls = (calls or 0) + 1\n"
                  "  got = a .. '|' .. b .. '|' .. c .. '|' .. d .. '|' .. e .. '|' .. f\n"
                  "  seventh = g\n"
                  "end"),
              "");
    host().RunCommand("Probe");
    EXPECT_EQ(GlobalString("got"), "|||||");
    host().RunCommand("  Probe\tone   two ");
    EXPECT_EQ(GlobalString("got"), "one|two||||");
    host().RunCommand(std::string("Probe 1 2 3 4 5 6 7 8"));
    EXPECT_EQ(GlobalString("got"), "1|2|3|4|5|6");
    EXPECT_EQ(GlobalType("seventh"), LUA_TNIL);
    EXPECT_EQ(GlobalNumber("calls"), 3.0);
    // A function returning nothing is the normal case: nothing is reported.
    EXPECT_EQ(Alerts(), 0);
}

TEST_F(ScriptHost, OnlyATrueResultRunsTheWholeLineAsAChunk)
{
    // Each function counts its calls; when the line runs as a chunk the
    // function is called once more, with the number 1 instead of "(1)".
    ASSERT_EQ(Run("function Count(word) if word == '(1)' then return result end; chunkRuns = (chunkRuns or 0) + 1 end"),
              "");
    const struct {
        const char* result;
        double chunkRuns;
    } cases[] = {{"true", 1}, {"nil", 0}, {"false", 0}, {"1", 0}, {"'true'", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        ASSERT_EQ(Run(std::string("chunkRuns = 0; result = ") + c.result), "");
        host().RunCommand("Count (1)");
        EXPECT_EQ(GlobalNumber("chunkRuns"), c.chunkRuns);
    }
    EXPECT_EQ(Alerts(), 0);

    // The whole line, words past the seventh included, is the chunk.
    ASSERT_EQ(Run("function Assign() return true end"), "");
    host().RunCommand("Assign = 'a b c d e f g h i'");
    EXPECT_EQ(GlobalString("Assign"), "a b c d e f g h i");
}

TEST_F(ScriptHost, LinesThatNameNoFunctionDoNothing)
{
    ASSERT_EQ(Run("function updateProbe() probed = true end"), "");
    host().RunCommand("updateLuaFile(\"console.lua\");");
    host().RunCommand("");
    host().RunCommand("   ");
    host().RunCommand(static_cast<const char*>(nullptr));
    host().RunCommand("NoSuchFunction a b");
    EXPECT_EQ(Alerts(), 0) << GlobalString("lastAlert");
    EXPECT_EQ(GlobalType("probed"), LUA_TNIL);
}

TEST_F(ScriptHost, FailingLinesAreSwallowedAndLeaveTheStateAsItWas)
{
    ASSERT_EQ(Run("function Boom() local t = nil; return t.field end\n"
                  "function BadChunk() return true end\n"
                  "NotAFunction = 5\n"
                  "function Fine(a) fine = (fine or 0) + 1 end"),
              "");
    const char* const lines[] = {
        "Missing one two",          // no such global: quiet
        "Boom",                     // runtime error in the function
        "NotAFunction x",           // a number cannot be called
        "BadChunk",                 // true, but "BadChunk" alone is no statement
        "getMissionText a b",       // a bound getter given arguments it does not take
        "setMainConfig x",          // a bound function given a string for its boolean
    };
    const int top = lua_gettop(L);
    host().RunCommand("Fine");
    lua_gc(L, LUA_GCCOLLECT, 0);
    const int memoryBefore = lua_gc(L, LUA_GCCOUNT, 0);
    for (int i = 0; i < 1000; ++i)
        for (const char* line : lines)
            host().RunCommand(line);
    lua_gc(L, LUA_GCCOLLECT, 0);
    const int memoryAfter = lua_gc(L, LUA_GCCOUNT, 0);

    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_EQ(Alerts(), 5000) << "every line but the missing global reports once";
    // The state keeps working and holds on to nothing the lines made (in KB).
    EXPECT_LT(memoryAfter - memoryBefore, 16);
    host().RunCommand("Fine");
    EXPECT_EQ(GlobalNumber("fine"), 2.0);
}

TEST_F(ScriptHost, ErrorsGoToTheStandardErrorWithoutAnAlertHandler)
{
    ASSERT_EQ(Run("_ALERT = nil; function Boom() local t = nil; return t.x end"), "");
    const int top = lua_gettop(L);
    testing::internal::CaptureStderr();
    host().RunCommand("Boom");
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("attempt to index"), std::string::npos) << output;
    EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(ScriptHost, AFailingAlertHandlerStillLeavesTheStackAlone)
{
    ASSERT_EQ(Run("function _ALERT(message) local t = nil; return t.x end\n"
                  "function Boom() local t = nil; return t.x end"),
              "");
    const int top = lua_gettop(L);
    testing::internal::CaptureStderr();
    host().RunCommand("Boom");
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("attempt to index"), std::string::npos) << output;
    EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(ScriptHost, FilesRunInTheCurrentStateAndReportTheirErrors)
{
    const std::string good = WriteScript("good.lua", "function FromFile() return 7 end\nloaded = 'yes'\n");
    EXPECT_EQ(host().DoFile(good), 0);
    EXPECT_EQ(GlobalString("loaded"), "yes");
    EXPECT_EQ(GlobalType("FromFile"), LUA_TFUNCTION);

    // A file that fails half way keeps what it defined before the error.
    const std::string half = WriteScript("half.lua", "before = 1\nlocal t = nil\nt.x = 1\nafter = 1\n");
    const int top = lua_gettop(L);
    EXPECT_NE(host().DoFile(half.c_str()), 0);
    EXPECT_EQ(GlobalNumber("before"), 1.0);
    EXPECT_EQ(GlobalType("after"), LUA_TNIL);
    EXPECT_EQ(Alerts(), 1);

    const std::string broken = WriteScript("broken.lua", "function (\n");
    EXPECT_NE(host().DoFile(broken), 0);
    EXPECT_EQ(Alerts(), 2);
    EXPECT_NE(host().DoFile("no_such_script.lua"), 0);
    EXPECT_EQ(Alerts(), 3);
    EXPECT_NE(GlobalString("lastAlert").find("no_such_script.lua"), std::string::npos);
    EXPECT_EQ(lua_gettop(L), top);

    // The script global does the same.
    ASSERT_EQ(Run("loaded = nil; updateLuaFile('" + good + "')"), "");
    EXPECT_EQ(GlobalString("loaded"), "yes");
}

TEST_F(ScriptHost, InitGivesAFreshStateWithTheWholeApi)
{
    ASSERT_EQ(Run("leftover = 1"), "");
    lua_State* old = host().GetState();
    host().Init();
    L = host().GetState();
    ASSERT_NE(L, nullptr);
    EXPECT_EQ(GlobalType("leftover"), LUA_TNIL);
    EXPECT_EQ(GlobalType("getEnemyManager"), LUA_TFUNCTION);
    EXPECT_EQ(GlobalType("CEnemyManager"), LUA_TUSERDATA);
    (void)old; // closed by Init: the sanitizer build reports it otherwise
}

TEST_F(ScriptHost, AResetFromInsideACommandWaitsForTheCommandToEnd)
{
    // What a bound getter does when it builds the trigger manager for the
    // first time: the state is replaced while one of its functions runs.
    luabind::module(L)[luabind::def("ReplaceState", +[] { getScriptHost().Init(); })];
    ASSERT_EQ(Run("function Again() ReplaceState(); afterwards = 'still running'; return true end"), "");
    lua_State* old = L;
    host().RunCommand("Again ");
    L = host().GetState();
    EXPECT_NE(L, old);
    EXPECT_EQ(GlobalType("Again"), LUA_TNIL);
    EXPECT_EQ(GlobalType("getPlayer"), LUA_TFUNCTION);
    EXPECT_EQ(Run("x = getMissionText():getLastMission()"), "");
}

TEST_F(ScriptHost, AResetDropsWhatTheConsoleScriptDefined)
{
    const std::string console = std::string(VANTOREL_SOURCE_DIR) + "/game/console.lua";
    ASSERT_EQ(host().DoFile(console), 0);
    ASSERT_EQ(GlobalType("ChangeMission"), LUA_TFUNCTION);

    CMissionText& mission = getMissionText();
    host().RunCommand("ChangeMission 1");
    EXPECT_EQ(mission.GetCurrent(), 1);
    host().RunCommand("Config consoleSwitch on");
    EXPECT_TRUE(getMainConfig("consoleSwitch"));
    host().RunCommand("Config consoleSwitch off");
    EXPECT_FALSE(getMainConfig("consoleSwitch"));
    EXPECT_EQ(Alerts(), 0) << GlobalString("lastAlert");

    getTriggerManager().Reset();
    L = host().GetState();
    EXPECT_EQ(GlobalType("ChangeMission"), LUA_TNIL);
    host().RunCommand("ChangeMission 0");
    EXPECT_EQ(mission.GetCurrent(), 1);
}

} // namespace
