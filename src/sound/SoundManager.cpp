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

void CSoundManager::ResumeAllTypical()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::StopSceneSounds()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::StopOneShot()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::playVrekAgainstNextWave()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::playThisSampleOnce(std::string file, float volume)
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::playThisAvionetaArrive()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::playThisSceneSound(std::string file1, float volume1, bool on1, std::string file2,
                                       float volume2, bool on2, std::string file3, float volume3, bool on3)
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::everybodyShutUp()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::play(std::string key)
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::EnterMenu()
{
    // Placeholder until the sound manager is built: only the theme's flag.
    menuThemePlaying = true;
}

void CSoundManager::LeaveMenu()
{
    // Placeholder until the sound manager is built: only the theme's flag.
    menuThemePlaying = false;
}

void CSoundManager::ApplyVolumes()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::PlayThunder()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::PlayLostBullet(float distance)
{
    // Placeholder until the sound manager is built.
}

CSoundManager& getSoundManager()
{
    static CSoundManager manager;
    return manager;
}

void CSoundManager::PlayHitScream(bool hero)
{
    // Placeholder until the sound manager is built: only what was asked for.
    lastScream = "hit";
    ++screamsAsked;
}

void CSoundManager::PlayShotScream(bool hero, float distance)
{
    // Placeholder until the sound manager is built: only what was asked for.
    lastScream = "shot";
    ++screamsAsked;
}

void CSoundManager::PlayAimingEnter()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::PlayPistolShot(bool aiming)
{
    // Placeholder until the sound manager is built: only what was asked for.
    ++shotsAsked;
}

void CSoundManager::PlayShotgunShot(bool byHero, bool aiming, float distance)
{
    // Placeholder until the sound manager is built: only what was asked for.
    ++shotsAsked;
}

void CSoundManager::PlayThompsonShot(bool byHero, bool aiming, float distance)
{
    // Placeholder until the sound manager is built: only what was asked for.
    ++shotsAsked;
}

void CSoundManager::PlayEnemyGunShot(float distance)
{
    // Placeholder until the sound manager is built: only what was asked for.
    ++shotsAsked;
}

void CSoundManager::PlayAvionetaShot()
{
    // Placeholder until the sound manager is built: only what was asked for.
    ++shotsAsked;
}

void CSoundManager::PlayReloadLine(int who, float distance, std::string weapon)
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::PlayHop()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::PlayHeroBoastLine()
{
    // Placeholder until the sound manager is built.
}

void CSoundManager::PlayStepSand()
{
    // Placeholder until the sound manager is built: only what was asked for.
    lastStep = "sand";
}

void CSoundManager::PlayStepHangar()
{
    // Placeholder until the sound manager is built: only what was asked for.
    lastStep = "hangar";
}

void CSoundManager::PlayStepAimingHangar()
{
    // Placeholder until the sound manager is built: only what was asked for.
    lastStep = "aiming";
}
