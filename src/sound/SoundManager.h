// Sounds, voice lines, ambience and music by name: one sample and one playback
// channel per sound, the two user volumes, and the talk timers that keep
// voice lines apart.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/bass.h"
#include "platform/d3dx9math.h"
#include "platform/win32.h"

// What the sound reads of the hero and the enemies each frame. The game asks
// the real managers; tests put a room, a hero and enemies of their own here.
struct SoundSurroundings {
    std::function<std::string()> currentRoom;
    std::function<bool()> enemyNearHero;
    std::function<bool()> moreThanOneEnemyAlive;
    std::function<float()> distanceToFirstLiveEnemy;
    std::function<short()> heroLife;
    std::function<D3DXVECTOR3()> heroPosition;
};

class CSoundManager {
public:
    CSoundManager();
    // Stops and frees the output; safe at exit after the layer has closed.
    ~CSoundManager();
    CSoundManager(const CSoundManager&) = delete;
    CSoundManager& operator=(const CSoundManager&) = delete;

    // Opens the output, loads every sample and leaves the loops in their
    // start states. Once per run, while loading.
    void Init(HWND window);
    // Per frame, in the menu loop and in the game: muting, talk gates, the
    // hurt breathing, the credits radio, the radio mix and the theme switch.
    void Update(float dt);
    void UpdateRadioMix(float dt);

    void Mute() { muted = true; }
    void Unmute() { muted = false; }
    // Brings ambience, radios and themes to the music volume after the option
    // screen changed it.
    void ApplyVolumes();
    static void SlideVolume(HCHANNEL channel, float volume, float milliseconds);
    void StopAll();

    // V(d): 1 at the hero, nothing at 1000, a faint 0.1 beyond.
    static float VolumeByDistance(float d);

    // Plain effects.
    void PlayEnterParapet();
    void PlayAvionetaShot();
    void PlayPunch();
    void PlayStepHangar();
    void PlayStepSand();
    void PlayStepAimingHangar();
    void PlayHop();
    void PlayPistolShot(bool aiming);
    void PlayAimingEnter();
    // Effects that fade with distance.
    void PlayEnemyGunShot(float d);
    void PlayCan(float d);
    void PlayBottle(float d);
    void PlayLostBullet(float d);
    void PlayBarrelExplosion(float d);
    void PlayShotgunShot(bool hero, bool aiming, float d);
    void PlayThompsonShot(bool hero, bool aiming, float d);
    // Screams.
    void PlayHitScream(bool hero, float d);
    void PlayShotScream(bool hero, float d);
    void PlayEnemyDeathScream(bool nearHero, float d);
    // Voice lines, each with its subtitle.
    void PlayHeroKillLine();
    void PlayHangOnLine();
    void PlayHeroBoastLine();
    void PlayEnemyAlarmLine(float d);
    void PlayEnemyAttackLine(float d);
    void PlayEnemyDeathLine();
    void PlayEnemyCoverLine(float d);
    void PlayEnemyFireLine();
    void PlayReloadLine(bool hero, float d, std::string weapon);
    // Radios, ambience and music.
    void PlayRadioHangar();
    void PlayRadioIsland();
    void PlayActionTheme();
    void ResumeAllTypical();
    // The menus' lightning: thunder1 to thunder5 in turn.
    void PlayThunder();
    void PlayHurtBreath();
    void PlaySeabirds();
    // Control.
    void StopOneShot();
    void SetOneShotVolume(float f);
    void StopSceneSounds();
    // Bracket every menu: the level's sounds pause and the menu theme plays.
    void EnterMenu();
    void LeaveMenu();

    // Cross-fades: the first channel to its weight times the music volume,
    // the second to its own, each over whole seconds.
    void CrossFade(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond);
    void CrossFade30To70(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond);
    void CrossFade50To50(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond);
    void CrossFade75To25(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond);
    void CrossFade10To90(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond);

    // Script methods.
    void playVrekAgainstNextWave();
    void playThisSampleOnce(std::string file, float volume);
    void playThisAvionetaArrive();
    void playThisSceneSound(std::string file1, float volume1, bool on1, std::string file2, float volume2,
                            bool on2, std::string file3, float volume3, bool on3);
    void everybodyShutUp();
    void play(std::string key);
    void pauseAllTypical();

    // The channel registered under a key, 0 for an unknown one.
    HCHANNEL ChannelOf(const std::string& key) const;

    SoundSurroundings surroundings;

    bool muted = false;
    bool heroSilenced = false;
    std::map<std::string, HCHANNEL*> channelsByName;
    HCHANNEL oneShotChannel = 0;
    HCHANNEL sceneChannels[3] = {};
    HCHANNEL rainThunder = 0, radioHangar = 0, radioIsland = 0, seaWavesSound = 0, seabirdsSound = 0,
             lowWindSound = 0;
    // Objects and explosions.
    HCHANNEL lata = 0, botella1 = 0, botella2 = 0, enterParap = 0, explosionBarrel = 0, punchSound = 0;
    // Stray bullets.
    HCHANNEL lostBulletSound1 = 0, lostBulletSound2 = 0, lostBulletSound3 = 0, lostBulletSound4 = 0,
             lostBulletSound5 = 0, lostBulletSound6 = 0;
    std::uint16_t lostBulletIndex = 0;
    // Weapons.
    HCHANNEL gunShotSound = 0, avionetaShotSound = 0, shotgunShotAIMSound = 0, thompsonShotAIMSound = 0,
             ostrelShotAIMSound = 0, shotgunShotSound = 0, thompsonShotSound = 0, ostrelShotSound = 0,
             ostrelReloadSound = 0, shotgunReloadSound = 0, thompsonReloadSound = 0;
    // Enemy screams.
    HCHANNEL botDeathScream = 0, botHittedScreamSound = 0, botShotedScreamSound = 0;
    // The hero.
    HCHANNEL QZhop1 = 0, QZhop2 = 0, QZhop3 = 0;
    std::uint16_t hopIndex = 0;
    HCHANNEL ZorvathFormaPasar = 0, ZorvathRecuerdosFaro = 0, VrekShotedScreamSound = 0,
             VrekHittedScreamSound = 0, VrekOneMoreDown = 0, HangOnVrek = 0, VrekBloodySky = 0;
    std::uint16_t tauntIndex = 0;
    HCHANNEL VrekLoveOstrel = 0, VrekClaimsVendetta = 0, VrekPsicoticJoke = 0, VrekDangerousChicago = 0,
             VrekBitchesSugar = 0;
    std::uint16_t killLineIndex = 0;
    HCHANNEL aimingSound = 0;
    // Steps.
    HCHANNEL stepHangarSound = 0, stepSandSound = 0, stepAimingHangarSound = 0;
    HCHANNEL VrekExterminteAllOfYou = 0, VrekMoreScum = 0, VrekHurtBreathe = 0, VrekDontGetUp = 0;
    std::uint16_t boastIndex = 0;
    // Enemy voice lines.
    HCHANNEL b1ConyoPasaAki = 0, b1MierdaQueStaPasando = 0, b1QPasoElla = 0, b1QuienEsEse = 0,
             b1TenemosQEhMatadlo = 0, b1TVoyAMachacar = 0, b1VueltoRecon = 0, b2AccionBrisu = 0,
             b2DisparaYLuegoPreguntms = 0, b2OdioEsperar = 0, bAPorEl = 0, bCubridme = 0, bEseEraMiHermano = 0,
             bHaSalidoFuego = 0, bJoderSiEsSolo1Hombre = 0, bLlenadloDePlomo = 0, bMatadlo = 0, bMeHaDado = 0,
             bMierdaEsVrek = 0, bNoPuedeSer = 0, bParadlo = 0, bQueNoAvance = 0, bRecargando = 0;
    bool mainThemeActive = false;
    bool actionThemeActive = false;
    float screamTimer = 0.0f, heroTalkTimer = 0.0f, enemyTalkTimer = 0.0f;
    bool screamsAllowed = false, heroMayTalk = false, enemiesMayTalk = false;
    float actionLingerTimer = 0.0f, seabirdsTimer = 0.0f, heartbeatTimer = 0.0f;
    std::uint16_t alarmLineIndex = 0, attackLineIndex = 0, deathLineIndex = 0;
    HCHANNEL mainThemeLoopChannel = 0, actionThemeLoopChannel = 0, menuThemeLoopChannel = 0;
    bool menuThemePlaying = false;
    // Written every frame by the collision manager from the four radio props.
    D3DXVECTOR3 radioPositions[4] = {};
    float musicVolume = 0.0f;
    float effectsVolume = 0.0f;
    int thunderIndex = 0;

private:
    void PlayAt(HCHANNEL channel, float volume);
    void ContinueAt(HCHANNEL channel, float volume);
    void Subtitle(const std::string& key);
    void EnemyLineSaid();
    // A fresh playback of a file that the game names while it runs; the
    // decoded sample is kept by path and its ended playbacks are reused.
    HCHANNEL ChannelOfFile(const std::string& file);
    HCHANNEL RunningTheme() const;

    std::map<std::string, HSAMPLE> m_FileSamples;
};

CSoundManager& getSoundManager();
