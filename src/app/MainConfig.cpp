#include "app/MainConfig.h"

#include "script/ScriptHost.h"

namespace {

std::map<std::string, bool>& MainConfigTable()
{
    static std::map<std::string, bool> table;
    return table;
}

} // namespace

std::map<std::string, bool>& MainConfig = MainConfigTable();

float GameTimeScale = 1.0f;

void InitMainConfig()
{
    std::map<std::string, bool>& table = MainConfigTable();
    table["playerRender"] = true;
    table["playerUpdate"] = true;
    table["enemiesRender"] = true;
    table["enemiesUpdate"] = true;
    table["sceneMngrUpdate"] = true;
    table["rigidAnimsUpdate"] = true;
    table["guiRender"] = true;
    // Motion blur costs a second pass over the level; the option screen turns it on.
    table["blurRender"] = false;
    table["applyOld"] = true;
    table["latasRender"] = true;
    table["scenarioRender"] = true;
    table["scenarioUpdate"] = true;
    table["textdebugRender"] = true;
    table["textdebugUpdate"] = true;
    table["skyboxRender"] = true;
    table["skyboxUpdate"] = true;
    table["projectilesRender"] = true;
    table["projectilesUpdate"] = true;
    table["particlesRender"] = true;
    table["particlesUpdate"] = true;
    table["cameraRender"] = true;
    table["cameraUpdate"] = true;
    table["soundRender"] = true;
    table["soundUpdate"] = true;
    table["luaMsgRender"] = true;
    table["luaMsgUpdate"] = true;
    table["collisionsRender"] = true;
    table["collisionsUpdate"] = true;
    table["bloomRender"] = true;
    table["inputUpdate"] = true;
    table["triggersUpdate"] = true;
}

bool getMainConfig(std::string name)
{
    // operator[] is deliberate: an unknown name is remembered as off.
    return MainConfigTable()[name];
}

void setMainConfig(std::string name, bool value)
{
    MainConfigTable()[name] = value;
}

void SetTimeScale(float value)
{
    GameTimeScale = value;
}

void updateLuaFile(const std::string& file)
{
    getScriptHost().DoFile(file);
}
