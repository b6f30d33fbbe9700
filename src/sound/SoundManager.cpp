#include "sound/SoundManager.h"

void CSoundManager::Init(HWND window)
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::Update(float seconds)
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::pauseAllTypical()
{
    // Placeholder until the sound manager is built.
}

CSoundManager& getSoundManager()
{
    static CSoundManager manager;
    return manager;
}
