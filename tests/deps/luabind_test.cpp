// The script host binds the game's getters and classes the way this does.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}
#include <luabind/luabind.hpp>

namespace {

class Counter {
public:
    void add(int amount) { m_Value += amount; }
    int get() const { return m_Value; }
    void setLabel(const std::string& label) { m_Label = label; }
    const std::string& label() const { return m_Label; }

private:
    int m_Value = 0;
    std::string m_Label;
};

Counter g_Counter;
Counter* getCounter() { return &g_Counter; }
int twice(int n) { return 2 * n; }

// call_function gives a proxy that converts (and calls) only when assigned.
bool CallBump(lua_State* L, int amount, const char* label)
{
    const bool result = luabind::call_function<bool>(L, "bump", amount, label);
    return result;
}

bool CallByName(lua_State* L, const char* name)
{
    const bool result = luabind::call_function<bool>(L, name);
    return result;
}

// luabind keeps its objects in Lua userdata and declares them 16-byte
// aligned, but Lua 5.2 places a userdata's payload 40 bytes into a block, so
// with malloc's 16-byte blocks every luabind object sits 8 bytes off. Blocks
// that start 8 bytes past a 16-byte boundary put the payloads on one, which
// is what the undefined-behaviour sanitizer demands; Lua itself needs 8.
constexpr size_t kShift = 8;

void* ShiftedAlloc(void*, void* block, size_t, size_t size)
{
    char* base = block ? static_cast<char*>(block) - kShift : nullptr;
    if (size == 0) {
        std::free(base);
        return nullptr;
    }
    char* grown = static_cast<char*>(std::realloc(base, size + kShift));
    return grown ? grown + kShift : nullptr;
}

class LuaState {
public:
    LuaState() : L(lua_newstate(ShiftedAlloc, nullptr)) { luabind::open(L); }
    ~LuaState() { lua_close(L); }
    LuaState(const LuaState&) = delete;
    LuaState& operator=(const LuaState&) = delete;

    // Runs a chunk; the error message, or empty on success.
    std::string Run(const char* chunk)
    {
        if (luaL_loadstring(L, chunk) == 0 && lua_pcall(L, 0, 0, 0) == 0)
            return "";
        std::string message = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
        lua_pop(L, 1);
        return message;
    }

    lua_State* L;
};

} // namespace

TEST(LuabindLinks, BoundFunctionsAndMethodsAreCalledFromAScriptFunction)
{
    g_Counter = Counter();
    LuaState lua;
    luabind::module(lua.L)[
        luabind::def("getCounter", &getCounter),
        luabind::def("twice", &twice),
        luabind::class_<Counter>("Counter")
            .def("add", &Counter::add)
            .def("get", &Counter::get)
            .def("setLabel", &Counter::setLabel)
    ];
    ASSERT_EQ(lua.Run("function bump(n, label)\n"
                      "  local c = getCounter()\n"
                      "  c:add(twice(n))\n"
                      "  c:setLabel(label)\n"
                      "  return c:get() == 42\n"
                      "end\n"
                      "function nothing() end\n"),
              "");

    EXPECT_TRUE(CallBump(lua.L, 21, "first"));
    EXPECT_EQ(g_Counter.get(), 42);
    EXPECT_EQ(g_Counter.label(), "first");
    EXPECT_FALSE(CallBump(lua.L, 1, "second"));
    EXPECT_EQ(g_Counter.get(), 44);

    // The two failures the script host has to absorb.
    const int top = lua_gettop(lua.L);
    EXPECT_THROW(CallByName(lua.L, "nothing"), luabind::cast_failed);
    lua_settop(lua.L, top);
    EXPECT_THROW(CallByName(lua.L, "noSuchFunction"), luabind::error);
    lua_settop(lua.L, top);
}
