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

void CGameStateFlagsManager::setWaveCodeFromName(const std::string& wave, bool anyAlive)
{
    if (wave.size() < 2 || wave[wave.size() - 2] != '0')
        return;
    const char last = wave.back();
    if (last >= '0' && last <= '8')
        waveCode = (anyAlive ? 14 : 25) + (last - '0');
    else if (last == '9' && anyAlive)
        waveCode = 23;
}
