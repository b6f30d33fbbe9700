// The owner of the game's one Lua state: creates it with the bound script
// API, runs script files, and runs the command lines of the trigger volumes
// and the debug console.
#pragma once

#include <string>

struct lua_State;

class CScriptHost {
public:
    // Replaces the state with a fresh one holding every binding.
    void Init();
    // Runs a Lua file in the current state; errors go to Lua's own alert path.
    int DoFile(const char* file);
    int DoFile(const std::string& file);
    // Calls the global named by the line's first word with the next six words;
    // when it returns true, runs the whole line as a chunk. Errors are dropped.
    void RunCommand(const char* line);
    void RunCommand(const std::string& line);

    lua_State* GetState() const { return m_State; }

private:
    lua_State* m_State = nullptr;
};

CScriptHost& getScriptHost();
