#include "script/ScriptHost.h"

#include <cctype>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}
#include <luabind/open.hpp>

#include "platform/bounded.h"
#include "platform/files.h"

namespace {

// luabind keeps its C++ objects inside Lua userdata and declares them 16-byte
// aligned, but Lua 5.2 puts a userdata's payload a fixed header size into
// its block, so with malloc's 16-byte blocks the payloads land off the
// boundary. The host's allocator shifts every block by however much puts
// the payloads back on it; Lua itself only needs 8-byte blocks.
struct ProbeRecord {
    char* lastBlock = nullptr;
};

void* ProbeAlloc(void* ud, void* block, size_t, size_t size)
{
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    void* grown = std::realloc(block, size);
    static_cast<ProbeRecord*>(ud)->lastBlock = static_cast<char*>(grown);
    return grown;
}

size_t MeasureBlockShift()
{
    ProbeRecord record;
    lua_State* L = lua_newstate(ProbeAlloc, &record);
    if (!L)
        return 8;
    char* payload = static_cast<char*>(lua_newuserdata(L, 1));
    const size_t offset = static_cast<size_t>(payload - record.lastBlock);
    lua_close(L);
    return (16 - offset % 16) % 16;
}

size_t BlockShift()
{
    static const size_t shift = MeasureBlockShift();
    return shift;
}

// What one state may hold. A script that builds past it gets Lua's "not
// enough memory" error instead of the machine's memory, so the game stays
// able to go on, and to quit.
constexpr size_t kStateMemoryLimit = 128u << 20;

struct StateHeap {
    size_t shift;
    size_t used = 0;
};

void* ShiftedAlloc(void* ud, void* block, size_t oldSize, size_t size)
{
    auto* heap = static_cast<StateHeap*>(ud);
    const size_t shift = heap->shift;
    // Without a block, Lua's old size names a type, not bytes.
    const size_t had = block ? oldSize : 0;
    char* base = block ? static_cast<char*>(block) - shift : nullptr;
    if (size == 0) {
        std::free(base);
        heap->used -= had;
        return nullptr;
    }
    // Lua counts on shrinking never failing: only growth is held to the limit.
    if (size > had && size - had > kStateMemoryLimit - std::min(heap->used, kStateMemoryLimit))
        return nullptr;
    char* grown = static_cast<char*>(std::realloc(base, size + shift));
    if (!grown)
        return nullptr;
    heap->used = heap->used - had + size;
    return grown + shift;
}

// One script call (a file, a trigger's or the console's line) may run this
// many Lua instructions, counting what it calls back into: the shipped
// scripts need a few thousand. Past it the call is stopped with an error.
constexpr long long kInstructionBudget = 50000000;
constexpr int kHookEvery = 1000;
long long g_BudgetLeft = kInstructionBudget;

void CountHook(lua_State* L, lua_Debug* where)
{
    g_BudgetLeft -= kHookEvery;
    if (g_BudgetLeft > 0)
        return;
    // Stays spent until the outermost call is over, so that nothing the
    // script does after the error can run on. The message names the script
    // and line that was running.
    lua_getinfo(L, "Sl", where);
    luaL_error(L, "%s:%d: script stopped: it ran past %d instructions", where->short_src, where->currentline,
               static_cast<int>(kInstructionBudget));
}

void CloseState(lua_State* L)
{
    void* heap = nullptr;
    lua_getallocf(L, &heap);
    lua_close(L);
    delete static_cast<StateHeap*>(heap);
}

int Panic(lua_State* L)
{
    const char* message = lua_tostring(L, -1);
    std::fprintf(stderr, "Lua panic: %s\n", message ? message : "(no message)");
    return 0;
}

// Globals read without metamethods, so that nothing outside a protected call
// can raise a Lua error.
void PushRawGlobal(lua_State* L, const std::string& name)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushlstring(L, name.data(), name.size());
    lua_rawget(L, -2);
    lua_remove(L, -2);
}

// A protected call that a spent budget cannot be caught by: once a script
// has run past its instructions, the stop goes on out to the host whatever
// pcall it passes through.
int BudgetedPcall(lua_State* L)
{
    luaL_checkany(L, 1);
    const int status = lua_pcall(L, lua_gettop(L) - 1, LUA_MULTRET, 0);
    if (status != LUA_OK && g_BudgetLeft <= 0)
        return lua_error(L);
    lua_pushboolean(L, status == LUA_OK);
    lua_insert(L, 1);
    return lua_gettop(L);
}

int BudgetedXpcall(lua_State* L)
{
    const int n = lua_gettop(L);
    luaL_argcheck(L, n >= 2, 2, "value expected");
    // (handler, function, arguments...) as lua_pcall wants them.
    lua_pushvalue(L, 1);
    lua_copy(L, 2, 1);
    lua_replace(L, 2);
    const int status = lua_pcall(L, n - 2, LUA_MULTRET, 1);
    if (status != LUA_OK && g_BudgetLeft <= 0)
        return lua_error(L);
    lua_pushboolean(L, status == LUA_OK);
    lua_replace(L, 1);
    return lua_gettop(L);
}

// What scripts get of Lua's base library: checks, errors and their catching,
// conversions and table walks. Nothing that reaches files, loads code, prints
// or touches metatables (a finalizer could run anywhere) is left in.
const char* const kSafeBase[] = {"assert", "error",    "ipairs",   "next",   "pairs",  "pcall",
                                 "rawequal", "rawget", "rawlen",   "rawset", "select", "tonumber",
                                 "tostring", "type",   "xpcall",   "_G",     "_VERSION"};

int OpenSafeBase(lua_State* L)
{
    luaopen_base(L);
    lua_pop(L, 1);
    lua_pushglobaltable(L);
    std::vector<std::string> unsafe;
    lua_pushnil(L);
    while (lua_next(L, -2)) {
        lua_pop(L, 1);
        const char* name = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
        if (!name || std::none_of(std::begin(kSafeBase), std::end(kSafeBase),
                                  [&](const char* safe) { return std::strcmp(safe, name) == 0; }))
            unsafe.push_back(name ? name : "");
    }
    for (const std::string& name : unsafe) {
        lua_pushnil(L);
        lua_setfield(L, -2, name.c_str());
    }
    lua_pushcfunction(L, BudgetedPcall);
    lua_setfield(L, -2, "pcall");
    lua_pushcfunction(L, BudgetedXpcall);
    lua_setfield(L, -2, "xpcall");
    lua_pop(L, 1);
    return 0;
}

lua_State* NewBoundState()
{
    auto* heap = new StateHeap{BlockShift()};
    lua_State* L = lua_newstate(ShiftedAlloc, heap);
    if (!L) {
        delete heap;
        std::fprintf(stderr, "Lua: no memory for a new state\n");
        return nullptr;
    }
    lua_atpanic(L, Panic);
    lua_pushcfunction(L, OpenSafeBase);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
        std::fprintf(stderr, "Lua: opening the base functions failed\n");
        lua_pop(L, 1);
    }
    try {
        luabind::open(L);
        RegisterScriptApi(L);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Lua: binding the script API failed: %s\n", e.what());
    }
    return L;
}

} // namespace

namespace {

// A message as it may be echoed: long enough for a place and a reason, not
// for a megabyte a script built.
std::string EchoedMessage(const std::string& text)
{
    constexpr std::size_t kMaxEchoed = 1000;
    return text.size() <= kMaxEchoed ? text : text.substr(0, kMaxEchoed) + "...";
}

} // namespace

// "name:line:" at the start of a message: Lua put the place there itself.
bool HasPlace(const std::string& text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size())
        return false;
    std::size_t digits = colon + 1;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    return digits > colon + 1 && digits < text.size() && text[digits] == ':';
}

// The message handler of every call: an error raised by the game's bound
// code ("No matching overload found") carries no place, so the line of the
// script that made the call is put before it.
int AddPlace(lua_State* L)
{
    const char* message = lua_tostring(L, 1);
    if (!message || HasPlace(message))
        return 1;
    lua_Debug ar;
    for (int level = 1; lua_getstack(L, level, &ar); ++level) {
        if (lua_getinfo(L, "Sl", &ar) && ar.currentline > 0) {
            lua_pushfstring(L, "%s:%d: %s", ar.short_src, ar.currentline, message);
            return 1;
        }
    }
    return 1;
}

// Calls what is on the stack under the message handler above.
int CallWithPlace(lua_State* L, int arguments, int results)
{
    const int base = lua_gettop(L) - arguments;
    lua_pushcfunction(L, AddPlace);
    lua_insert(L, base);
    const int status = lua_pcall(L, arguments, results, base);
    lua_remove(L, base);
    return status;
}

// The error on the stack, popped. A message with no place of its own (out of
// memory skips the handler) is put under what was running.
std::string TakeScriptError(lua_State* L, const std::string& running)
{
    const char* message = lua_tostring(L, -1);
    std::string text = message ? message : "(error object is not a string)";
    lua_pop(L, 1);
    if (!HasPlace(text) && text.find(running) == std::string::npos)
        text = running + ": " + text;
    return text;
}

// Where a message goes: the script's own alert handler, else one line.
void ReportScriptText(lua_State* L, const std::string& text)
{
    PushRawGlobal(L, "_ALERT");
    if (lua_isfunction(L, -1)) {
        // The call that failed is over: its handler gets a budget of its own.
        g_BudgetLeft = kInstructionBudget;
        lua_pushlstring(L, text.data(), text.size());
        if (lua_pcall(L, 1, 0, 0) == LUA_OK)
            return;
        // The script's own alert handler failed: both messages go out here.
        const char* own = lua_tostring(L, -1);
        bounded::SayOnce("Lua _ALERT failed: " + EchoedMessage(own ? own : "?"));
    }
    lua_pop(L, 1);
    // The level scripts run again at every restart and a trigger's function
    // every tick: the same error is worth one line.
    bounded::SayOnce("Lua: " + EchoedMessage(text));
}

void ReportScriptError(lua_State* L, const std::string& running)
{
    ReportScriptText(L, TakeScriptError(L, running));
}

CScriptHost::CallScope::CallScope(CScriptHost& host) : m_Host(host)
{
    if (++m_Host.m_CallDepth == 1)
        g_BudgetLeft = kInstructionBudget;
    if (m_Host.m_State && lua_gethook(m_Host.m_State) != CountHook)
        lua_sethook(m_Host.m_State, CountHook, LUA_MASKCOUNT, kHookEvery);
}

CScriptHost::CallScope::~CallScope()
{
    if (--m_Host.m_CallDepth > 0)
        return;
    for (lua_State* old : m_Host.m_Retired)
        CloseState(old);
    m_Host.m_Retired.clear();
}

CScriptHost::~CScriptHost()
{
    for (lua_State* old : m_Retired)
        CloseState(old);
    if (m_State)
        CloseState(m_State);
}

void CScriptHost::Init()
{
    lua_State* old = m_State;
    m_State = NewBoundState();
    if (!old)
        return;
    if (m_CallDepth > 0)
        m_Retired.push_back(old);
    else
        CloseState(old);
}

int CScriptHost::DoFile(const char* file)
{
    lua_State* L = m_State;
    if (!L || !file)
        return LUA_ERRFILE;
    CallScope scope(*this);
    const int top = lua_gettop(L);
    // A file that is not there, or holds nothing, would run as nothing at
    // all: a level whose triggers do nothing, and not a word about why.
    std::vector<unsigned char> bytes;
    std::string fault;
    if (platform::ReadWholeFile(file, bytes, bounded::kMaxFileBytes, &fault) &&
        std::all_of(bytes.begin(), bytes.end(), [](unsigned char c) { return std::isspace(c); }))
        fault = "it is empty";
    if (!fault.empty()) {
        const std::string line = bounded::Refusal(file, fault);
        lua_pushlstring(L, line.data(), line.size());
        ReportScriptError(L, file);
        lua_settop(L, top);
        return LUA_ERRFILE;
    }
    const std::string path = platform::ResolvePath(file);
    // Text only: a precompiled chunk is not checked by Lua and a crafted one
    // crashes it.
    int status = luaL_loadfilex(L, path.c_str(), "t");
    if (status != LUA_OK) {
        // Lua names the file in most load errors but not in a refused mode.
        const char* message = lua_tostring(L, -1);
        if (message && !std::strstr(message, file)) {
            lua_pushfstring(L, "%s: %s", file, message);
            lua_remove(L, -2);
        }
    }
    if (status == LUA_OK)
        status = CallWithPlace(L, 0, 0);
    if (status != LUA_OK)
        ReportScriptError(L, file);
    lua_settop(L, top);
    return status;
}

int CScriptHost::DoFile(const std::string& file)
{
    return DoFile(file.c_str());
}

void CScriptHost::Report(const std::string& message)
{
    if (!m_State)
        return;
    CallScope scope(*this);
    ReportScriptText(m_State, message);
}

bool CScriptHost::RunCommand(const char* line)
{
    return RunCommand(line, nullptr);
}

bool CScriptHost::RunCommand(const char* line, std::string* failure)
{
    lua_State* L = m_State;
    m_Stopped = false;
    if (failure)
        failure->clear();
    if (!L || !line)
        return true;
    CallScope scope(*this);
    // The call's own failure goes to the caller that asks for it, and to the
    // alert path otherwise.
    const auto fail = [&](const std::string& running) {
        m_Stopped = g_BudgetLeft <= 0;
        std::string text = TakeScriptError(L, running);
        if (failure)
            *failure = std::move(text);
        else
            ReportScriptText(L, text);
    };
    const int top = lua_gettop(L);
    try {
        std::istringstream stream(line);
        std::string words[7];
        for (std::string& word : words)
            stream >> word;

        if (words[0].empty()) {
            return true;
        }
        PushRawGlobal(L, words[0]);
        if (lua_isnil(L, -1)) {
            lua_settop(L, top);
            return false;
        }
        for (int i = 1; i < 7; ++i)
            lua_pushlstring(L, words[i].data(), words[i].size());
        if (CallWithPlace(L, 6, 1) != LUA_OK) {
            fail(words[0]);
            lua_settop(L, top);
            return true;
        }
        // Only a real true runs the line: nil, false, numbers and strings do not.
        const bool runLine = lua_type(L, -1) == LUA_TBOOLEAN && lua_toboolean(L, -1);
        lua_settop(L, top);
        if (!runLine)
            return true;

        int status = luaL_loadbufferx(L, line, std::strlen(line), line, "t");
        if (status == LUA_OK)
            status = CallWithPlace(L, 0, 0);
        if (status != LUA_OK)
            fail(line);
    } catch (const std::exception& e) {
        bounded::SayOnce("Lua command '" + EchoedMessage(line) + "' failed: " + e.what());
    } catch (...) {
        bounded::SayOnce("Lua command '" + EchoedMessage(line) + "' failed");
    }
    lua_settop(L, top);
    return true;
}

bool CScriptHost::RunCommand(const std::string& line)
{
    return RunCommand(line.c_str(), nullptr);
}

bool CScriptHost::RunCommand(const std::string& line, std::string* failure)
{
    return RunCommand(line.c_str(), failure);
}

CScriptHost& getScriptHost()
{
    static CScriptHost host;
    return host;
}
