// A fresh game Lua state for each test, with helpers to run chunks and read
// globals, and an _ALERT handler that counts the errors the host reports.
#pragma once

#include <string>

#include <gtest/gtest.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "script/ScriptHost.h"
#include "world/TriggerManager.h"

class LuaStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Built first so that its own start of the Lua state is over.
        getTriggerManager();
        host().Init();
        L = host().GetState();
        ASSERT_NE(L, nullptr);
        ASSERT_EQ(Run("function _ALERT(message) alerts = (alerts or 0) + 1; lastAlert = message end"), "");
    }

    static CScriptHost& host() { return getScriptHost(); }

    // Runs a chunk in the current state: the error message, empty on success.
    std::string Run(const std::string& chunk)
    {
        lua_State* state = host().GetState();
        const int top = lua_gettop(state);
        std::string message;
        if (luaL_loadstring(state, chunk.c_str()) != LUA_OK || lua_pcall(state, 0, 0, 0) != LUA_OK) {
            const char* text = lua_tostring(state, -1);
            message = text ? text : "(non-string error)";
        }
        lua_settop(state, top);
        return message;
    }

    int GlobalType(const char* name)
    {
        lua_State* state = host().GetState();
        lua_getglobal(state, name);
        const int type = lua_type(state, -1);
        lua_pop(state, 1);
        return type;
    }

    std::string GlobalString(const char* name)
    {
        lua_State* state = host().GetState();
        lua_getglobal(state, name);
        const char* text = lua_type(state, -1) == LUA_TSTRING ? lua_tostring(state, -1) : nullptr;
        std::string value = text ? text : "<not a string>";
        lua_pop(state, 1);
        return value;
    }

    double GlobalNumber(const char* name)
    {
        lua_State* state = host().GetState();
        lua_getglobal(state, name);
        const double value = lua_type(state, -1) == LUA_TNUMBER ? lua_tonumber(state, -1) : -12345.0;
        lua_pop(state, 1);
        return value;
    }

    int Alerts()
    {
        const double count = GlobalNumber("alerts");
        return count == -12345.0 ? 0 : static_cast<int>(count);
    }

    lua_State* L = nullptr;
};
