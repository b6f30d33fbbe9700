// The script host: a state with nothing but the language and the API, the
// command lines of the triggers and the console, script files, and a fresh
// state on every reset.
#include <filesystem>
#include <fstream>

#include <luabind/luabind.hpp>

#include "gui/MissionText.h"
#include "script/lua_fixture.h"

namespace {

using ScriptHost = LuaStateTest;

TEST_F(ScriptHost, ScriptsSeeNoStandardLibrary)
{
    for (const char* name : {"print", "io", "os", "string", "table", "math", "debug", "package", "require", "load",
                             "dofile", "loadstring", "pcall", "error", "type", "tostring", "pairs", "setmetatable"})
        EXPECT_EQ(GlobalType(name), LUA_TNIL) << name;
    EXPECT_EQ(GlobalType("getPlayer"), LUA_TFUNCTION);
    ASSERT_EQ(Run("sum = '40' + 2"), ""); // the bare language still works
    EXPECT_EQ(GlobalNumber("sum"), 42.0);
}

TEST_F(ScriptHost, TheFirstWordIsCalledWithTheNextSixWords)
{
    ASSERT_EQ(Run("function Probe(a, b, c, d, e, f, g)\n"
                  "  calls = (calls or 0) + 1; got = a .. '|' .. b .. '|' .. c .. '|' .. d .. '|' .. e .. '|' .. f\n"
                  "  seventh = g\n"
                  "end"),
              "");
    host().RunCommand("Probe");
    EXPECT_EQ(GlobalString("got"), "|||||");
    host().RunCommand("  Probe\tone   two ");
    EXPECT_EQ(GlobalString("got"), "one|two||||");
    host().RunCommand("Probe 1 2 3 4 5 6 7 8");
    EXPECT_EQ(GlobalString("got"), "1|2|3|4|5|6");
    EXPECT_EQ(GlobalType("seventh"), LUA_TNIL);
    // Lines that name no function do nothing, quietly.
    for (const char* line : {"updateLuaFile(\"console.lua\");", "", "   ", static_cast<const char*>(nullptr),
                             "NoSuchFunction a b"})
        host().RunCommand(line);
    EXPECT_EQ(GlobalNumber("calls"), 3.0);
    EXPECT_EQ(Alerts(), 0) << GlobalString("lastAlert");
}

TEST_F(ScriptHost, OnlyATrueResultRunsTheWholeLineAsAChunk)
{
    // As a chunk the function is called once more, with the number 1 instead of "(1)".
    ASSERT_EQ(Run("function Count(word) if word == '(1)' then return result end; chunkRuns = chunkRuns + 1 end"), "");
    for (const auto& [result, runs] : {std::pair<const char*, double>{"true", 1}, {"nil", 0}, {"false", 0},
                                       {"1", 0}, {"'true'", 0}}) {
        ASSERT_EQ(Run(std::string("chunkRuns = 0; result = ") + result), "");
        host().RunCommand("Count (1)");
        EXPECT_EQ(GlobalNumber("chunkRuns"), runs) << result;
    }
    // The whole line, words past the seventh included, is the chunk.
    ASSERT_EQ(Run("function Assign() return true end"), "");
    host().RunCommand("Assign = 'a b c d e f g h i'");
    EXPECT_EQ(GlobalString("Assign"), "a b c d e f g h i");
    EXPECT_EQ(Alerts(), 0);
}

TEST_F(ScriptHost, FailingLinesAreSwallowedAndLeaveTheStateAsItWas)
{
    ASSERT_EQ(Run("function Boom() local t = nil; return t.field end\n"
                  "function BadChunk() return true end\n"
                  "NotAFunction = 5\n"
                  "function Fine(a) fine = (fine or 0) + 1 end"),
              "");
    // A missing global (quiet), a runtime error, a number called, a true result that is
    // no statement, bound functions given arguments they do not take.
    const char* const lines[] = {"Missing one two", "Boom", "NotAFunction x", "BadChunk", "getMissionText a b",
                                 "setMainConfig x"};
    const int top = lua_gettop(L);
    host().RunCommand("Fine");
    lua_gc(L, LUA_GCCOLLECT, 0);
    const int memoryBefore = lua_gc(L, LUA_GCCOUNT, 0);
    for (int i = 0; i < 1000; ++i)
        for (const char* line : lines)
            host().RunCommand(line);
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_EQ(Alerts(), 5000) << "every line but the missing global reports once";
    EXPECT_LT(lua_gc(L, LUA_GCCOUNT, 0) - memoryBefore, 16) << "KB held on to";
    host().RunCommand("Fine");
    EXPECT_EQ(GlobalNumber("fine"), 2.0);
}

TEST_F(ScriptHost, WithoutAWorkingAlertHandlerErrorsGoToTheStandardError)
{
    for (const char* handler : {"_ALERT = nil", "function _ALERT(message) local t = nil; return t.x end"}) {
        SCOPED_TRACE(handler);
        ASSERT_EQ(Run(std::string(handler) + "\nfunction Boom() local t = nil; return t.x end"), "");
        const int top = lua_gettop(L);
        testing::internal::CaptureStderr();
        host().RunCommand("Boom");
        const std::string output = testing::internal::GetCapturedStderr();
        EXPECT_NE(output.find("attempt to index"), std::string::npos) << output;
        EXPECT_EQ(lua_gettop(L), top);
    }
}

TEST_F(ScriptHost, FilesRunInTheCurrentStateAndReportTheirErrors)
{
    // A file that fails half way keeps what it defined before the error.
    const std::string file = (std::filesystem::temp_directory_path() / "vantorel_lua_half.lua").string();
    std::ofstream(file) << "before = 1\nlocal t = nil\nt.x = 1\nafter = 1\n";
    const int top = lua_gettop(L);
    EXPECT_NE(host().DoFile(file), 0);
    EXPECT_EQ(GlobalNumber("before"), 1.0);
    EXPECT_EQ(GlobalType("after"), LUA_TNIL);
    ASSERT_EQ(Run("before = nil; updateLuaFile('" + file + "')"), ""); // the script global does the same
    EXPECT_EQ(GlobalNumber("before"), 1.0);
    EXPECT_NE(host().DoFile("no_such_script.lua"), 0);
    EXPECT_EQ(Alerts(), 3);
    EXPECT_NE(GlobalString("lastAlert").find("no_such_script.lua"), std::string::npos);
    EXPECT_EQ(lua_gettop(L), top);
    std::filesystem::remove(file);
}

TEST_F(ScriptHost, AResetFromInsideACommandWaitsForTheCommandToEnd)
{
    // What a bound getter does when it builds the trigger manager for the
    // first time: the state is replaced while one of its functions runs (the
    // old one is closed: the sanitizer build reports a leak otherwise).
    luabind::module(L)[luabind::def("ReplaceState", +[] { getScriptHost().Init(); })];
    ASSERT_EQ(Run("function Again() ReplaceState(); afterwards = 'still running'; return true end"), "");
    lua_State* old = L;
    host().RunCommand("Again ");
    EXPECT_NE(host().GetState(), old);
    EXPECT_EQ(GlobalType("Again"), LUA_TNIL);
    EXPECT_EQ(Run("x = getMissionText():getLastMission()"), "");
}

TEST_F(ScriptHost, AResetDropsWhatTheConsoleScriptDefined)
{
    ASSERT_EQ(host().DoFile(std::string(VANTOREL_SOURCE_DIR) + "/game/console.lua"), 0);
    CMissionText& mission = getMissionText();
    host().RunCommand("ChangeMission 1");
    EXPECT_EQ(mission.GetCurrent(), 1);
    EXPECT_EQ(Alerts(), 0) << GlobalString("lastAlert");

    getTriggerManager().Reset();
    EXPECT_EQ(GlobalType("ChangeMission"), LUA_TNIL);
    host().RunCommand("ChangeMission 0");
    EXPECT_EQ(mission.GetCurrent(), 1);
}

} // namespace
