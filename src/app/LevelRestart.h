// Rebuilding a level in memory: a new game, a restart at the last checkpoint,
// and the switch from "hangares" to "isla".
#pragma once

// true: a new game on "hangares"; false: back to the last checkpoint reached.
void RestartLevel(bool newGame);

// Run by the frame update when the scripted-sequence record says the island
// is ready; it moves the record on, so it runs once.
void SwitchLevelToIsla();
