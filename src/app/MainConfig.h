#pragma once

#include <map>
#include <string>

// The named on/off switches that gate the frame update's steps and the frame
// render's passes. Scripts and the option screen flip them at run time; a step
// reads its switch each time it is reached, so a change applies at once.
//
// The table itself lives behind a function-local static so that a script run
// while the program's static objects are still being built can already set a
// switch; MainConfig is simply a name for it.
extern std::map<std::string, bool>& MainConfig;

// Factor applied to the frame step of the game-time steps (enemies,
// projectiles, hero, rigid animations, particles). 1.0 is real time.
extern float GameTimeScale;

// Writes the default of every switch: all on except "blurRender".
void InitMainConfig();

// The switch's value. A name the table does not know is added as off, so a
// misspelt switch reads as off rather than failing.
bool getMainConfig(std::string name);

// Sets the switch, adding it when new.
void setMainConfig(std::string name, bool value);

// Replaces GameTimeScale; any value is taken as it is (0 freezes game time).
void SetTimeScale(float value);

// Script function: runs a Lua file in the game's one Lua state, so a script can
// reload another while the game runs. Nothing is reported back to the script.
void updateLuaFile(const std::string& file);
