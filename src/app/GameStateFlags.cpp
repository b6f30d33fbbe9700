#include "app/GameStateFlags.h"

void CGameStateFlagsManager::resetStates()
{
    sequence = ReadyVinyetasIntro1;
    hangarRigidState = RigidasHangaresIdle;
    islaSequence = ReadyCamIslaIntro;
    pierIntact = true;
    hangaresLevel = true;
}

CGameStateFlagsManager& getGSF()
{
    static CGameStateFlagsManager record;
    return record;
}
