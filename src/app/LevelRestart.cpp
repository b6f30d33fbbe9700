#include "app/LevelRestart.h"

#include "app/GameStateFlags.h"
#include "player/Player.h"

void RestartLevel(bool newGame)
{
    // Placeholder until the level restart is built: only the hero's life,
    // which every restart gives back in full.
    CPlayer* hero = getPlayer();
    hero->SetLife(350);
    hero->SetTopLife(350);
}

void SwitchLevelToIsla()
{
    // Placeholder until the level switch is built: only the record moves on,
    // so that the switch is not asked for again every frame.
    getGSF().setPlayingCamIslaIntro();
}
