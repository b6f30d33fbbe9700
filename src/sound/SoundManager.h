// Sounds, voice lines, ambience and music by name.
#pragma once

#include <string>

#include "platform/win32.h"

class CSoundManager {
public:
    // Starts the audio output for the window and loads the sample table.
    void Init(HWND window);
    // Per frame, in the menu loop and in the game: fades, radio mix, themes.
    void Update(float seconds);
    // While muted every play operation does nothing.
    void Mute() { muted = true; }
    void Unmute() { muted = false; }
    // Pauses the ambience and music of the current room.
    void pauseAllTypical();
    void ResumeAllTypical();
    // The three scene channels and the one-shot channel stopped.
    void StopSceneSounds();
    void StopOneShot();

    // Script methods.
    // The hero's taunt before the next wave.
    void playVrekAgainstNextWave();
    // Loads the file (a whole path) and plays it once at that volume.
    void playThisSampleOnce(std::string file, float volume);
    // The small plane's fly-by.
    void playThisAvionetaArrive();
    // Up to three scene sounds; a slot whose flag is false is left alone.
    void playThisSceneSound(std::string file1, float volume1, bool on1, std::string file2, float volume2,
                            bool on2, std::string file3, float volume3, bool on3);
    // Silences the hero's and the enemies' talk for a long while.
    void everybodyShutUp();
    // Plays a registered sound from the start.
    void play(std::string key);
    // A stray bullet's ricochet, quieter with its ground distance from the hero.
    void PlayLostBullet(float distance);
    // A punch landing on the hero (full) or on an enemy (half).
    void PlayHitScream(bool hero);
    // A bullet hitting the hero, or an enemy that far away.
    void PlayShotScream(bool hero, float distance);
    // The hero raises his weapon.
    void PlayAimingEnter();
    // The hero's pistol; the shotgun and the Thompson of the hero (hip or aimed,
    // full) or of an enemy (hip, quieter with distance); an enemy's pistol;
    // the small plane's gun, which an enemy's Thompson burst uses.
    void PlayPistolShot(bool aiming);
    void PlayShotgunShot(bool byHero, bool aiming, float distance);
    void PlayThompsonShot(bool byHero, bool aiming, float distance);
    void PlayEnemyGunShot(float distance);
    void PlayAvionetaShot();
    // The reload of that weapon ("SHOTGUN", "THOMPSON", else the pistol).
    void PlayReloadLine(int who, float distance, std::string weapon);
    // The hero's roll, his idle remark, his footsteps (sand, pavement, aimed).
    void PlayHop();
    void PlayHeroBoastLine();
    void PlayStepSand();
    void PlayStepHangar();
    void PlayStepAimingHangar();
    // How many shots were asked for, and the last step sound ("sand",
    // "hangar", "aiming").
    int shotsAsked = 0;
    std::string lastStep;
    // The name of the last scream asked for ("hit" or "shot"), and how many.
    std::string lastScream;
    int screamsAsked = 0;

    bool muted = false;

    // What the menus need of the sound manager.
    // Pauses the game's sounds and starts the menu theme.
    void EnterMenu();
    // Resumes the game's sounds and stops the menu theme.
    void LeaveMenu();
    // Sends the two volumes to every loaded sound.
    void ApplyVolumes();
    // The next of the five thunder claps behind the menus' lightning.
    void PlayThunder();
    float musicVolume = 1.0f;   // 0..1
    float effectsVolume = 1.0f; // 0..1
    bool menuThemePlaying = false;
};

CSoundManager& getSoundManager();
