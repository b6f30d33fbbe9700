#include "script/ScriptHost.h"

void CScriptHost::Init()
{
    // Placeholder until the script host is built.
}

int CScriptHost::DoFile(const char* file)
{
    // Placeholder until the script host is built.
    return 0;
}

int CScriptHost::DoFile(const std::string& file)
{
    return DoFile(file.c_str());
}

void CScriptHost::RunCommand(const char* line)
{
    // Placeholder until the script host is built.
}

void CScriptHost::RunCommand(const std::string& line)
{
    RunCommand(line.c_str());
}

CScriptHost& getScriptHost()
{
    static CScriptHost host;
    return host;
}
