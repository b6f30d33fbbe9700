#include "app/LevelRestart.h"

#include "app/GameStateFlags.h"
#include "player/Player.h"
#include "scene/Camera.h"

void RestartLevel(bool newGame)
{
    // Placeholder until the level restart is built: the hero's life, which
    // every restart gives back in full, and a new game's heading.
    CPlayer* hero = getPlayer();
    hero->SetLife(350);
    hero->SetTopLife(350);
    if (newGame) {
        hero->GetPosition().SetYaw(-1.59f);
        getCamera().SetYaw(-1.59f);
    }
}

void SwitchLevelToIsla()
{
    // Placeholder until the level switch is built: only the record moves on,
    // so that the switch is not asked for again every frame.
    getGSF().setPlayingCamIslaIntro();
}
