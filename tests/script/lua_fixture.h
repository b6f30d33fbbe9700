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
        ASSERT_EQ(Run("alerts = 0; function _ALERT(message) alerts = alerts + 1; lastAlert = message end"), "");
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

    // A global of the current state: a string or a number as Lua spells it,
    // anything else as its type in brackets ("<nil>", "<function>").
    std::string Global(const char* name)
    {
        L = host().GetState();
        lua_getglobal(L, name);
        const int type = lua_type(L, -1);
        const std::string value = type == LUA_TSTRING || type == LUA_TNUMBER
                                      ? lua_tostring(L, -1)
                                      : "<" + std::string(lua_typename(L, type)) + ">";
        lua_pop(L, 1);
        return value;
    }
    int Alerts() { return std::stoi(Global("alerts")); }

    lua_State* L = nullptr;
};
