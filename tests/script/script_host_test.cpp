// The script host: a state with nothing but the language and the API, the
// command lines of the triggers and the console, script files, and a fresh
// state on every reset.
#include <filesystem>
#include <fstream>

#include <luabind/luabind.hpp>

#include "script/lua_fixture.h"

namespace {

using ScriptHost = LuaStateTest;

TEST_F(ScriptHost, ScriptsSeeTheSafeBaseFunctionsAndNoOtherLibrary)
{
    for (const char* name : {"print", "io", "os", "string", "table", "math", "debug", "package", "require", "load",
                             "loadfile", "dofile", "loadstring", "setmetatable", "getmetatable", "collectgarbage"})
        EXPECT_EQ(Global(name), "<nil>") << name;
    for (const char* name : {"error", "pcall", "xpcall", "assert", "type", "tostring", "tonumber", "select", "pairs",
                             "ipairs", "next", "rawget", "rawset", "rawequal", "rawlen"})
        EXPECT_EQ(Global(name), "<function>") << name;
    EXPECT_EQ(Global("getPlayer"), "<function>");
    ASSERT_EQ(Run("sum = '40' + 2"), ""); // the bare language still works
    EXPECT_EQ(Global("sum"), "42");
}

TEST_F(ScriptHost, TheFirstWordIsCalledWithTheNextSixWords)
{
    ASSERT_EQ(Run("function Probe(a, b, c, d, e, f, g)\n"
                  "  calls = (calls or 0) + 1; got = a .. '|' .. b .. '|' .. c .. '|' .. d .. '|' .. e .. '|' .. f\n"
                  "  seventh = g\n"
                  "end"),
              "");
    const std::pair<const char*, const char*> lines[] = {
        {"Probe", "|||||"}, {"  Probe\tone   two ", "one|two||||"}, {"Probe 1 2 3 4 5 6 7 8", "1|2|3|4|5|6"}};
    for (const auto& [line, got] : lines) {
        host().RunCommand(line);
        EXPECT_EQ(Global("got"), got) << line;
    }
    EXPECT_EQ(Global("seventh"), "<nil>");
    EXPECT_EQ(Alerts(), 0) << Global("lastAlert");
}

TEST_F(ScriptHost, OnlyATrueResultRunsTheWholeLineAsAChunk)
{
    // As a chunk the function is called once more, with the number 1 instead of "(1)".
    ASSERT_EQ(Run("function Count(word) if word == '(1)' then return result end; chunkRuns = chunkRuns + 1 end"), "");
    for (const auto& [result, runs] : {std::pair<const char*, const char*>{"true", "1"}, {"nil", "0"},
                                       {"false", "0"}, {"1", "0"}, {"'true'", "0"}}) {
        ASSERT_EQ(Run(std::string("chunkRuns = 0; result = ") + result), "");
        host().RunCommand("Count (1)");
        EXPECT_EQ(Global("chunkRuns"), runs) << result;
    }
    // The whole line, words past the seventh included, is the chunk.
    ASSERT_EQ(Run("function Assign() return true end"), "");
    host().RunCommand("Assign = 'a b c d e f g h i'");
    EXPECT_EQ(Global("Assign"), "a b c d e f g h i");
    EXPECT_EQ(Alerts(), 0);
}

TEST_F(ScriptHost, FailingLinesAreReportedOnceAndLeaveTheStateAsItWas)
{
    ASSERT_EQ(Run("function Boom() local t = nil; return t.field end\n"
                  "function BadChunk() return true end\n"
                  "NotAFunction = 5\n"
                  "function Fine(a) fine = (fine or 0) + 1 end"),
              "");
    // Quiet: lines that name no function. Reported: a runtime error, a number called, a true
    // result that is no statement, bound functions given arguments they do not take.
    const char* const lines[] = {"Missing one two", "updateLuaFile(\"console.lua\");", "", "   ", nullptr, "Boom",
                                 "NotAFunction x", "BadChunk", "getMissionText a b", "setMainConfig x"};
    const int top = lua_gettop(L);
    host().RunCommand("Fine");
    lua_gc(L, LUA_GCCOLLECT, 0);
    const int memoryBefore = lua_gc(L, LUA_GCCOUNT, 0);
    for (int i = 0; i < 1000; ++i)
        for (const char* line : lines)
            host().RunCommand(line);
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_EQ(Alerts(), 5000) << "each reported line once";
    EXPECT_LT(lua_gc(L, LUA_GCCOUNT, 0) - memoryBefore, 16) << "KB held on to";
    host().RunCommand("Fine");
    EXPECT_EQ(Global("fine"), "2");

    // Without a working alert handler the message goes to the standard error, and the stack still balances.
    // The standard error hears a message once a run: each round's chunks are its own.
    static int round = 0;
    const std::string chunk = "-- round " + std::to_string(++round) + "\n";
    for (const char* handler : {"_ALERT = nil", "function _ALERT(message) local t = nil; return t.x end"}) {
        ASSERT_EQ(Run(chunk + handler), "");
        ASSERT_EQ(Run(chunk + "function Boom() local t = nil; return t.field end"), "");
        testing::internal::CaptureStderr();
        host().RunCommand("Boom");
        const std::string output = testing::internal::GetCapturedStderr();
        EXPECT_NE(output.find("attempt to index"), std::string::npos) << handler << ": " << output;
        EXPECT_EQ(lua_gettop(L), top) << handler;
    }
    // A trigger's function fails at every tick: the standard error hears it once.
    testing::internal::CaptureStderr();
    host().RunCommand("Boom");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(ScriptHost, FilesRunInTheCurrentStateAndReportTheirErrors)
{
    // A file that fails half way keeps what it defined before the error.
    const std::string file = (std::filesystem::temp_directory_path() / "vantorel_lua_half.lua").string();
    std::ofstream(file) << "before = 1\nlocal t = nil\nt.x = 1\nafter = 1\n";
    const int top = lua_gettop(L);
    EXPECT_NE(host().DoFile(file), 0);
    EXPECT_EQ(Global("before"), "1");
    EXPECT_EQ(Global("after"), "<nil>");
    ASSERT_EQ(Run("before = nil; updateLuaFile('" + file + "')"), ""); // the script global does the same
    EXPECT_EQ(Global("before"), "1");
    EXPECT_NE(host().DoFile("no_such_script.lua"), 0);
    EXPECT_EQ(Alerts(), 3);
    EXPECT_NE(Global("lastAlert").find("no_such_script.lua"), std::string::npos);
    EXPECT_EQ(lua_gettop(L), top);
    std::filesystem::remove(file);
}

// A call into the game's API with arguments it has no form for is reported
// at the script's line that made it, from a file and from a command alike.
TEST_F(ScriptHost, AWrongCallIntoTheGameNamesTheScriptAndLine)
{
    const std::string file = (std::filesystem::temp_directory_path() / "vantorel_lua_wrong_call.lua").string();
    std::ofstream(file) << "x = 1\ngetTriggerManager():setEnableTrigger({}, {}, {})\n";
    EXPECT_NE(host().DoFile(file), 0);
    EXPECT_EQ(Global("lastAlert").rfind(file + ":2: No matching overload found", 0), 0u) << Global("lastAlert");
    ASSERT_EQ(Run("function WrongCall()\n  getTriggerManager():setEnableTrigger({})\nend"), "");
    host().RunCommand("WrongCall");
    EXPECT_NE(Global("lastAlert").find(":2: No matching overload found"), std::string::npos) << Global("lastAlert");
    std::filesystem::remove(file);
}

// A level script raises its own errors and catches them; the stop of a
// script that ran past its budget is caught by no pcall and no xpcall.
TEST_F(ScriptHost, ScriptsRaiseAndCatchErrorsButNeverTheirStop)
{
    ASSERT_EQ(Run("function Stuck() error('the door is stuck') end\n"
                  "function Catch() local ok, message = pcall(error, 'caught', 0)\n"
                  "  caught = tostring(ok) .. ' ' .. message .. ' ' .. select('#', 1, 2, 3) .. type(assert) end\n"
                  "function Escape(how)\n"
                  "  for i = 1, 100000 do\n"
                  "    local spin = function() while true do end end\n"
                  "    if how == 'x' then xpcall(spin, function(m) return m end) else pcall(spin) end\n"
                  "  end\n"
                  "  escaped = how\n"
                  "end"),
              "");
    host().RunCommand("Stuck");
    const std::string stuck = Global("lastAlert");
    EXPECT_EQ(stuck.substr(stuck.find("]:")), "]:1: the door is stuck") << stuck;
    host().RunCommand("Catch");
    EXPECT_EQ(Global("caught"), "false caught 3function");
    for (const char* how : {"p", "x"}) {
        const int alerts = Alerts();
        host().RunCommand(std::string("Escape ") + how);
        EXPECT_EQ(Global("escaped"), "<nil>") << how;
        EXPECT_EQ(Alerts(), alerts + 1) << how;
        EXPECT_NE(Global("lastAlert").find("script stopped: it ran past 50000000 instructions"), std::string::npos)
            << Global("lastAlert");
    }
}

// A script file that is not there, or holds nothing, is named with its fault.
TEST_F(ScriptHost, AMissingOrEmptyFileIsRefused)
{
    const std::string empty = (std::filesystem::temp_directory_path() / "vantorel_lua_empty.lua").string();
    std::ofstream(empty) << " \n\t\n";
    EXPECT_NE(host().DoFile(empty), 0);
    EXPECT_EQ(Global("lastAlert"), empty + ": refused: it is empty");
    EXPECT_NE(host().DoFile("no_such_script.lua"), 0);
    EXPECT_EQ(Global("lastAlert"), "no_such_script.lua: refused: it is missing");
    std::ofstream(empty) << "-- a comment is not empty\nran = 1\n";
    EXPECT_EQ(host().DoFile(empty), 0);
    EXPECT_EQ(Global("ran"), "1");
    std::filesystem::remove(empty);
}

int WriteChunk(lua_State*, const void* bytes, size_t size, void* out)
{
    static_cast<std::string*>(out)->append(static_cast<const char*>(bytes), size);
    return 0;
}

// What once crashed or froze the game: precompiled code, an endless loop, a
// memory bomb. Each is stopped and reported once, and the state goes on
// serving lines, and can be closed (the game can quit).
TEST_F(ScriptHost, BytecodeEndlessLoopsAndMemoryBombsAreStoppedAndTheStateGoesOn)
{
    std::string bytecode;
    ASSERT_EQ(luaL_loadstring(L, "bytecodeRan = 1"), LUA_OK);
    lua_dump(L, WriteChunk, &bytecode);
    lua_pop(L, 1);
    const auto folder = std::filesystem::temp_directory_path();
    const struct {
        const char* name;
        std::string text;
        const char* message;
    } files[] = {
        {"vantorel_bytecode.lua", bytecode, "attempt to load a binary chunk"},
        {"vantorel_endless.lua", "while true do end", "script stopped: it ran past 50000000 instructions"},
        {"vantorel_bomb.lua", "local s = 'x' while true do s = s .. s end", "not enough memory"},
        {"vantorel_calls.lua", "local function f(n) return f(n + 1) + 1 end f(1)", "stack overflow"},
    };
    int alerts = Alerts();
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = (folder / f.name).string();
        std::ofstream(path, std::ios::binary) << f.text;
        EXPECT_NE(host().DoFile(path), 0);
        EXPECT_EQ(Alerts(), ++alerts);
        EXPECT_NE(Global("lastAlert").find(f.message), std::string::npos) << Global("lastAlert");
        EXPECT_NE(Global("lastAlert").find(f.name), std::string::npos) << "the script is named: " << Global("lastAlert");
        std::filesystem::remove(path);
    }
    EXPECT_EQ(Global("bytecodeRan"), "<nil>");

    // The same through a trigger's line, and a line of bytecode never loads.
    ASSERT_EQ(Run("function Spin() while true do end end; function Yes() return true end"), "");
    host().RunCommand("Spin");
    EXPECT_EQ(Alerts(), ++alerts);
    host().RunCommand("Yes " + bytecode);
    EXPECT_EQ(Alerts(), ++alerts);
    EXPECT_EQ(Global("bytecodeRan"), "<nil>");
    ASSERT_EQ(Run("function Fine() ranAfter = 'yes' end"), "");
    host().RunCommand("Fine");
    EXPECT_EQ(Global("ranAfter"), "yes");
    host().Init();
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
    EXPECT_EQ(Global("Again"), "<nil>") << "the fresh state has nothing of the old one";
    EXPECT_EQ(Run("x = getMissionText():getLastMission()"), "");
}

} // namespace
