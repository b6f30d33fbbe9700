// The owner of the game's one Lua state: creates it with the bound script
// API, runs script files, and runs the command lines of the trigger volumes
// and the debug console.
//
// Scripts get the language, the base library's self-contained functions
// (error, pcall, assert, type, tostring, select, pairs...), luabind's class
// helpers and the bound API: nothing that prints, reads files, loads code or
// reaches the operating system.
#pragma once

#include <string>
#include <vector>

struct lua_State;

class CScriptHost {
public:
    CScriptHost() = default;
    ~CScriptHost();
    CScriptHost(const CScriptHost&) = delete;
    CScriptHost& operator=(const CScriptHost&) = delete;

    // Replaces the state with a fresh one holding every binding. The old
    // state is closed; when this runs from inside a script call (a bound
    // getter building the trigger manager, say) the old state is closed
    // once that call has returned.
    void Init();
    // Runs a Lua file in the current state. 0 on success, else Lua's error
    // code; the message goes to the alert path (see ReportError). A missing
    // or empty file is refused there too ("<file>: refused: it is empty").
    int DoFile(const char* file);
    int DoFile(const std::string& file);
    // Calls the global named by the line's first word with the next six
    // words as strings (empty when the line is shorter); when it returns
    // true, runs the whole line as a chunk. Nothing on this path escapes:
    // a missing global is ignored quietly (most trigger volumes have no
    // script), a failing call or chunk is reported on the alert path, and
    // the Lua stack is left as it was. False when the line's first word
    // names nothing in the state (the console says so; a trigger need not).
    bool RunCommand(const char* line);
    bool RunCommand(const std::string& line);
    // The same, but a failing call or chunk is not reported: its message
    // (with its place) comes back in failure, empty when nothing failed.
    bool RunCommand(const char* line, std::string* failure);
    bool RunCommand(const std::string& line, std::string* failure);
    // Whether the last RunCommand was stopped by the instruction budget.
    bool StoppedByBudget() const { return m_Stopped; }
    // A message on the alert path, as a failing call's would go.
    void Report(const std::string& message);

    lua_State* GetState() const { return m_State; }

private:
    // Counts the host's calls into Lua that are in progress, so that a state
    // replaced meanwhile is closed only when the outermost call is over.
    class CallScope {
    public:
        explicit CallScope(CScriptHost& host);
        ~CallScope();
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

    private:
        CScriptHost& m_Host;
    };

    lua_State* m_State = nullptr;
    int m_CallDepth = 0;
    bool m_Stopped = false;
    std::vector<lua_State*> m_Retired;
};

CScriptHost& getScriptHost();

// Registers the 14 global functions and the 16 classes of the script API in
// a state that luabind has been opened on.
void RegisterScriptApi(lua_State* L);

// Where a script error goes: a global _ALERT function when a script defined
// one, else the standard error stream. Takes the message from the top of the
// stack and pops it.
void ReportScriptError(lua_State* L);
