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
        getTriggerManager(); // built first so that its own start of the Lua state is over
        host().Init();
        L = host().GetState();
        ASSERT_EQ(Run("function _ALERT(message) alerts = (alerts or 0) + 1; lastAlert = message end"), "");
    }

    static CScriptHost& host() { return getScriptHost(); }

    // Runs a chunk in the current state: the error message, empty on success.
    std::string Run(const std::string& chunk)
    {
        L = host().GetState();
        const int top = lua_gettop(L);
        std::string message;
        if (luaL_loadstring(L, chunk.c_str()) != LUA_OK || lua_pcall(L, 0, 0, 0) != LUA_OK)
            message = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(non-string error)";
        lua_settop(L, top);
        return message;
    }

    // A global of the current state: its type, or its value when it is a string or a number.
    lua_State* Push(const char* name)
    {
        L = host().GetState();
        lua_getglobal(L, name);
        return L;
    }
    int GlobalType(const char* name)
    {
        const int type = lua_type(Push(name), -1);
        lua_pop(L, 1);
        return type;
    }
    std::string GlobalString(const char* name)
    {
        const std::string value = lua_type(Push(name), -1) == LUA_TSTRING ? lua_tostring(L, -1) : "<not a string>";
        lua_pop(L, 1);
        return value;
    }
    double GlobalNumber(const char* name, double otherwise = -12345.0)
    {
        const double value = lua_type(Push(name), -1) == LUA_TNUMBER ? lua_tonumber(L, -1) : otherwise;
        lua_pop(L, 1);
        return value;
    }
    int Alerts() { return static_cast<int>(GlobalNumber("alerts", 0)); }

    lua_State* L = nullptr;
};
