#include "player/Player.h"

CPlayer* getPlayer()
{
    static CPlayer player;
    return &player;
}
