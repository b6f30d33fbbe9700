#include "sound/SoundManager.h"

#include <algorithm>
#include <cmath>

#include "app/GameStateFlags.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "platform/crt.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"

namespace {

const char* const kSoundFolder = "data/sound/";

struct SampleRow {
    const char* key;
    const char* file;
    HCHANNEL CSoundManager::*member;
};

// Effects and voice lines, one playback each, in load order.
const SampleRow kEffects[] = {
    {"lata", "lata1.wav", &CSoundManager::lata},
    {"botella1", "botella1.wav", &CSoundManager::botella1},
    {"botella2", "botella2.wav", &CSoundManager::botella2},
    {"enterParap", "parap.wav", &CSoundManager::enterParap},
    {"explosionBarrel", "explode1.wav", &CSoundManager::explosionBarrel},
    {"punchSound", "PUNCH.wav", &CSoundManager::punchSound},
    {"lostBulletSound1", "balaperdida1.wav", &CSoundManager::lostBulletSound1},
    {"lostBulletSound2", "balaperdida2.wav", &CSoundManager::lostBulletSound2},
    {"lostBulletSound3", "balaperdida3.wav", &CSoundManager::lostBulletSound3},
    {"lostBulletSound4", "balaperdida4.wav", &CSoundManager::lostBulletSound4},
    {"lostBulletSound5", "balaperdida5.wav", &CSoundManager::lostBulletSound5},
    {"lostBulletSound6", "balaperdida6.wav", &CSoundManager::lostBulletSound6},
    {"gunShotSound", "disparo_gun_malos.wav", &CSoundManager::gunShotSound},
    {"avionetaShotSound", "avionetaShot.wav", &CSoundManager::avionetaShotSound},
    {"shotgunShotAIMSound", "ShotgunShotBastoConChacAIM.wav", &CSoundManager::shotgunShotAIMSound},
    {"thompsonShotAIMSound", "thompsonATopeAIM.wav", &CSoundManager::thompsonShotAIMSound},
    {"ostrelShotAIMSound", "disparo_ostrelAIM.wav", &CSoundManager::ostrelShotAIMSound},
    {"shotgunShotSound", "ShotgunShotBastoConChac.wav", &CSoundManager::shotgunShotSound},
    {"thompsonShotSound", "thompsonATope.wav", &CSoundManager::thompsonShotSound},
    {"ostrelShotSound", "disparo_ostrel2.wav", &CSoundManager::ostrelShotSound},
    {"ostrelReloadSound", "reloadOstrel.wav", &CSoundManager::ostrelReloadSound},
    {"shotgunReloadSound", "recargaShotg.wav", &CSoundManager::shotgunReloadSound},
    {"thompsonReloadSound", "thompson_a_punto.wav", &CSoundManager::thompsonReloadSound},
    {"botDeathScream", "muerte_bot.wav", &CSoundManager::botDeathScream},
    {"botHittedScreamSound", "queja_recibir_ostia.wav", &CSoundManager::botHittedScreamSound},
    {"botShotedScreamSound", "recibir_balazo.wav", &CSoundManager::botShotedScreamSound},
    {"QZhop1", "hop1.wav", &CSoundManager::QZhop1},
    {"QZhop2", "hop2.wav", &CSoundManager::QZhop2},
    {"QZhop3", "hop3.wav", &CSoundManager::QZhop3},
    {"ZorvathFormaPasar", "ZorvathFormaPasar.ogg", &CSoundManager::ZorvathFormaPasar},
    {"ZorvathRecuerdosFaro", "ZorvathRecuerdosFaro.ogg", &CSoundManager::ZorvathRecuerdosFaro},
    {"VrekShotedScreamSound", "zorvath_impacto2.wav", &CSoundManager::VrekShotedScreamSound},
    {"VrekHittedScreamSound", "zorvath_impacto.wav", &CSoundManager::VrekHittedScreamSound},
    {"VrekOneMoreDown", "UnoMenosR.ogg", &CSoundManager::VrekOneMoreDown},
    {"HangOnVrek", "aguantaViejo.ogg", &CSoundManager::HangOnVrek},
    {"VrekBloodySky", "estaNocheCieloRojo.ogg", &CSoundManager::VrekBloodySky},
    {"VrekLoveOstrel", "nadieComoTuOstrel.ogg", &CSoundManager::VrekLoveOstrel},
    {"VrekClaimsVendetta", "nadaEvitaraNuestraVenganza.ogg", &CSoundManager::VrekClaimsVendetta},
    {"VrekPsicoticJoke", "chistePsicotico.ogg", &CSoundManager::VrekPsicoticJoke},
    {"VrekDangerousChicago", "chicagoPeligroso.ogg", &CSoundManager::VrekDangerousChicago},
    {"VrekBitchesSugar", "putasYNata.ogg", &CSoundManager::VrekBitchesSugar},
    {"aimingSound", "entradaAiming.wav", &CSoundManager::aimingSound},
    {"stepHangarSound", "pasoZorvathAcera.wav", &CSoundManager::stepHangarSound},
    {"stepSandSound", "stepInSand.wav", &CSoundManager::stepSandSound},
    {"stepAimingHangarSound", "pasoAimingZorvathAcera.wav", &CSoundManager::stepAimingHangarSound},
    {"VrekExterminteAllOfYou", "fardadaPlaga.ogg", &CSoundManager::VrekExterminteAllOfYou},
    {"VrekMoreScum", "MasEscoria.ogg", &CSoundManager::VrekMoreScum},
    {"VrekHurtBreathe", "respiraHerido.ogg", &CSoundManager::VrekHurtBreathe},
    {"VrekDontGetUp", "notelevantes.ogg", &CSoundManager::VrekDontGetUp},
    {"b1ConyoPasaAki", "b1ConyoPasaAki.ogg", &CSoundManager::b1ConyoPasaAki},
    {"b1MierdaQueStaPasando", "b1MierdaQueStaPasando.ogg", &CSoundManager::b1MierdaQueStaPasando},
    {"b1QPasoElla", "b1QPasoElla.ogg", &CSoundManager::b1QPasoElla},
    {"b1QuienEsEse", "b1QuienEsEse.ogg", &CSoundManager::b1QuienEsEse},
    {"b1TenemosQEhMatadlo", "b1TenemosQEhMatadlo.ogg", &CSoundManager::b1TenemosQEhMatadlo},
    {"b1TVoyAMachacar", "b1TVoyAMachacar.ogg", &CSoundManager::b1TVoyAMachacar},
    {"b1VueltoRecon", "b1VueltoRecon.ogg", &CSoundManager::b1VueltoRecon},
    {"b2AccionBrisu", "b2AccionBrisu.ogg", &CSoundManager::b2AccionBrisu},
    {"b2DisparaYLuegoPreguntms", "b2DisparaYLuegoPreguntms.ogg", &CSoundManager::b2DisparaYLuegoPreguntms},
    {"b2OdioEsperar", "b2OdioEsperar.ogg", &CSoundManager::b2OdioEsperar},
    {"bAPorEl", "bAPorEl.ogg", &CSoundManager::bAPorEl},
    {"bCubridme", "bCubridme.ogg", &CSoundManager::bCubridme},
    {"bEseEraMiHermano", "bEseEraMiHermano.ogg", &CSoundManager::bEseEraMiHermano},
    {"bHaSalidoFuego", "bHaSalidoFuego.ogg", &CSoundManager::bHaSalidoFuego},
    {"bJoderSiEsSolo1Hombre", "bJoderSiEsSolo1Hombre.ogg", &CSoundManager::bJoderSiEsSolo1Hombre},
    {"bLlenadloDePlomo", "bLlenadloDePlomo.ogg", &CSoundManager::bLlenadloDePlomo},
    {"bMatadlo", "bMatadlo.ogg", &CSoundManager::bMatadlo},
    {"bMeHaDado", "bMeHaDado.ogg", &CSoundManager::bMeHaDado},
    {"bMierdaEsVrek", "bMierdaEsVrek.ogg", &CSoundManager::bMierdaEsVrek},
    {"bNoPuedeSer", "bNoPuedeSer.ogg", &CSoundManager::bNoPuedeSer},
    {"bParadlo", "bParadlo.ogg", &CSoundManager::bParadlo},
    {"bQueNoAvance", "bQueNoAvance.ogg", &CSoundManager::bQueNoAvance},
    {"bRecargando", "bRecargando.ogg", &CSoundManager::bRecargando},
};

// Ambience, radios and music: loops, loaded last; the seabird call, which is
// not a loop, comes after the rain.
const SampleRow kLoops[] = {
    {"rainThunder", "rainThunder.ogg", &CSoundManager::rainThunder},
    {"seaWavesSound", "LoopOleaje.ogg", &CSoundManager::seaWavesSound},
    {"lowWindSound", "RachasVientoFlojoLoop.ogg", &CSoundManager::lowWindSound},
    {"mainThemeLoopChannel", "mainT3.ogg", &CSoundManager::mainThemeLoopChannel},
    {"actionThemeLoopChannel", "mainR.ogg", &CSoundManager::actionThemeLoopChannel},
    {"menuThemeLoopChannel", "menuTheme.ogg", &CSoundManager::menuThemeLoopChannel},
    {"radioHangar", "radioHangar.ogg", &CSoundManager::radioHangar},
    {"radioIsland", "radioIsla.ogg", &CSoundManager::radioIsland},
};

const SampleRow kSeabirds = {"seabirdsSound", "gaviotas.ogg", &CSoundManager::seabirdsSound};

// Playbacks a sound named by file may have at once: thunder and clicks can
// come faster than they end.
constexpr DWORD kFilePlaybacks = 4;

std::string RoomNow()
{
    return getEnemyManager()->GetCurrentRoom();
}

} // namespace

CSoundManager::CSoundManager()
{
    surroundings.currentRoom = RoomNow;
    surroundings.enemyNearHero = [] { return getEnemyManager()->IsEnemyNearPlayer(); };
    surroundings.moreThanOneEnemyAlive = [] { return getEnemyManager()->MoreThanOneAlive(); };
    surroundings.distanceToFirstLiveEnemy = [] { return getEnemyManager()->GetDistanceToFirstLiveEnemy(); };
    surroundings.heroLife = [] { return getPlayer()->getLife(); };
    surroundings.heroPosition = [] { return getPlayer()->GetPosition().GetPosition(); };
}

CSoundManager::~CSoundManager()
{
    StopAll();
    BASS_Free();
    channelsByName.clear();
}

void CSoundManager::Init(HWND window)
{
    thunderIndex = 1;
    BASS_Init(1, 44100, BASS_DEVICE_3D, window, nullptr);
    channelsByName.clear();
    for (D3DXVECTOR3& p : radioPositions)
        p = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    musicVolume = 1.0f;
    effectsVolume = 1.0f;
    m_FileSamples.clear();

    auto load = [this](const SampleRow& row, DWORD max, DWORD flags) {
        const std::string path = std::string(kSoundFolder) + row.file;
        const HSAMPLE sample = BASS_SampleLoad(FALSE, path.c_str(), 0, 0, max, flags);
        this->*row.member = BASS_SampleGetChannel(sample, TRUE);
        return this->*row.member;
    };
    for (const SampleRow& row : kEffects) {
        load(row, 1, 0);
        channelsByName[row.key] = &(this->*row.member);
    }
    for (const SampleRow& row : kLoops) {
        const HCHANNEL c = load(row, 15, BASS_SAMPLE_LOOP);
        if (row.member == &CSoundManager::rainThunder) {
            SlideVolume(c, 0.2f, 0);
            channelsByName[row.key] = &(this->*row.member);
            load(kSeabirds, 1, 0);
            SlideVolume(seabirdsSound, 0.7f, 0);
            channelsByName[kSeabirds.key] = &seabirdsSound;
            continue;
        }
        if (row.member == &CSoundManager::seaWavesSound || row.member == &CSoundManager::lowWindSound) {
            SlideVolume(c, (row.member == &CSoundManager::seaWavesSound ? 0.11f : 0.08f) * effectsVolume, 0);
            BASS_ChannelPlay(c, TRUE);
            BASS_ChannelPause(c);
        } else if (row.member == &CSoundManager::actionThemeLoopChannel) {
            SlideVolume(c, 0.0f, 0);
            BASS_ChannelPlay(c, TRUE);
        } else if (row.member == &CSoundManager::menuThemeLoopChannel) {
            SlideVolume(c, musicVolume, 0);
            BASS_ChannelPlay(c, TRUE);
            menuThemePlaying = false;
        }
        channelsByName[row.key] = &(this->*row.member);
    }

    mainThemeActive = true;
    actionThemeActive = false;
    actionLingerTimer = 3.0f;
    seabirdsTimer = 0.0f;
    heartbeatTimer = 7.0f;
    screamTimer = heroTalkTimer = enemyTalkTimer = 1.0f;
    screamsAllowed = heroMayTalk = enemiesMayTalk = true;
    muted = false;
    heroSilenced = false;
    killLineIndex = boastIndex = lostBulletIndex = alarmLineIndex = attackLineIndex = deathLineIndex = 0;
}

void CSoundManager::ApplyVolumes()
{
    SlideVolume(rainThunder, 0.2f * musicVolume, 0);
    SlideVolume(seabirdsSound, 0.7f * musicVolume, 0);
    SlideVolume(seaWavesSound, 0.11f * musicVolume, 0);
    SlideVolume(lowWindSound, 0.08f * musicVolume, 0);
    SlideVolume(menuThemeLoopChannel, musicVolume, 0);
    SlideVolume(mainThemeActive ? mainThemeLoopChannel : actionThemeLoopChannel, musicVolume, 0);
}

void CSoundManager::SlideVolume(HCHANNEL channel, float volume, float milliseconds)
{
    BASS_ChannelSlideAttribute(channel, BASS_ATTRIB_VOL, volume, static_cast<DWORD>(std::max(milliseconds, 0.0f)));
}

void CSoundManager::StopAll()
{
    BASS_Stop();
}

float CSoundManager::VolumeByDistance(float d)
{
    // Past 1000 the factor would jump from silence back up to 0.1: the floor
    // keeps it falling smoothly instead.
    return std::max(1.0f - 0.001f * d, 0.1f);
}

HCHANNEL CSoundManager::ChannelOf(const std::string& key) const
{
    auto it = channelsByName.find(key);
    return it == channelsByName.end() ? 0 : *it->second;
}

void CSoundManager::PlayAt(HCHANNEL channel, float volume)
{
    SlideVolume(channel, volume, 0);
    BASS_ChannelPlay(channel, TRUE);
}

void CSoundManager::ContinueAt(HCHANNEL channel, float volume)
{
    SlideVolume(channel, volume, 0);
    BASS_ChannelPlay(channel, FALSE);
}

void CSoundManager::Subtitle(const std::string& key)
{
    getSubtitulos().showSubtitulo(key);
}

void CSoundManager::EnemyLineSaid()
{
    enemiesMayTalk = false;
    enemyTalkTimer = 9.0f;
}

// Plain effects.

void CSoundManager::PlayEnterParapet()
{
    if (!muted)
        PlayAt(enterParap, 0.45f * effectsVolume);
}

void CSoundManager::PlayAvionetaShot()
{
    if (!muted)
        PlayAt(avionetaShotSound, effectsVolume);
}

void CSoundManager::PlayPunch()
{
    if (!muted)
        PlayAt(punchSound, effectsVolume);
}

void CSoundManager::PlayStepHangar()
{
    if (!muted)
        ContinueAt(stepHangarSound, effectsVolume);
}

void CSoundManager::PlayStepSand()
{
    if (!muted)
        ContinueAt(stepSandSound, 0.6f * effectsVolume);
}

void CSoundManager::PlayStepAimingHangar()
{
    if (!muted)
        ContinueAt(stepAimingHangarSound, effectsVolume);
}

void CSoundManager::PlayHop()
{
    if (muted)
        return;
    const HCHANNEL hops[3] = {QZhop1, QZhop2, QZhop3};
    PlayAt(hops[hopIndex % 3], 0.6f * effectsVolume);
    hopIndex = static_cast<std::uint16_t>((hopIndex + 1) % 3);
}

void CSoundManager::PlayPistolShot(bool aiming)
{
    if (!muted)
        PlayAt(aiming ? ostrelShotAIMSound : ostrelShotSound, effectsVolume);
}

void CSoundManager::PlayAimingEnter()
{
    if (muted || getGSF().isPlayingMemoriam() || getGSF().isPlayingCreditos())
        return;
    PlayAt(aimingSound, effectsVolume);
}

// Effects that fade with distance.

void CSoundManager::PlayEnemyGunShot(float d)
{
    if (!muted)
        PlayAt(gunShotSound, effectsVolume * VolumeByDistance(d));
}

void CSoundManager::PlayCan(float d)
{
    if (!muted)
        PlayAt(lata, effectsVolume * VolumeByDistance(d));
}

void CSoundManager::PlayBottle(float d)
{
    if (!muted)
        PlayAt(crt::rand() % 10 < 5 ? botella1 : botella2, effectsVolume * VolumeByDistance(d));
}

void CSoundManager::PlayLostBullet(float d)
{
    if (muted)
        return;
    const HCHANNEL bullets[6] = {lostBulletSound1, lostBulletSound2, lostBulletSound3,
                                 lostBulletSound4, lostBulletSound5, lostBulletSound6};
    PlayAt(bullets[lostBulletIndex % 6], effectsVolume * VolumeByDistance(d));
    lostBulletIndex = static_cast<std::uint16_t>((lostBulletIndex + 1) % 6);
}

void CSoundManager::PlayBarrelExplosion(float d)
{
    if (!muted)
        PlayAt(explosionBarrel, effectsVolume * std::max(VolumeByDistance(d), 0.5f));
}

void CSoundManager::PlayShotgunShot(bool hero, bool aiming, float d)
{
    if (muted)
        return;
    if (hero)
        PlayAt(aiming ? shotgunShotAIMSound : shotgunShotSound, effectsVolume);
    else
        PlayAt(shotgunShotSound, effectsVolume * VolumeByDistance(d));
}

void CSoundManager::PlayThompsonShot(bool hero, bool aiming, float d)
{
    if (muted)
        return;
    if (hero)
        PlayAt(aiming ? thompsonShotAIMSound : thompsonShotSound, effectsVolume);
    else
        PlayAt(thompsonShotSound, effectsVolume * VolumeByDistance(d));
}

// Screams.

void CSoundManager::PlayHitScream(bool hero, float d)
{
    if (muted || !screamsAllowed)
        return;
    if (hero)
        PlayAt(VrekHittedScreamSound, effectsVolume);
    else
        PlayAt(botHittedScreamSound, 0.5f * effectsVolume);
    screamTimer = 1.0f;
}

void CSoundManager::PlayShotScream(bool hero, float d)
{
    if (muted || !screamsAllowed)
        return;
    if (hero) {
        PlayAt(VrekShotedScreamSound, effectsVolume);
        if (heroMayTalk)
            PlayHangOnLine();
    } else {
        PlayAt(botShotedScreamSound, effectsVolume * VolumeByDistance(d));
    }
    screamTimer = 1.0f;
}

void CSoundManager::PlayEnemyDeathScream(bool nearHero, float d)
{
    if (muted)
        return;
    if (nearHero) {
        PlayAt(botDeathScream, effectsVolume);
        return;
    }
    PlayAt(botDeathScream, effectsVolume * VolumeByDistance(d));
    heroMayTalk = heroTalkTimer <= 0.0f;
    if (heroMayTalk)
        PlayHeroKillLine();
}

// Voice lines.

void CSoundManager::PlayHeroKillLine()
{
    if (muted)
        return;
    static const char* const subtitles[3] = {"UnoMenosR", "estaNocheCieloRojo", "notelevantes"};
    const HCHANNEL lines[3] = {VrekOneMoreDown, VrekBloodySky, VrekDontGetUp};
    const int i = killLineIndex % 3;
    killLineIndex = static_cast<std::uint16_t>((i + 1) % 3);
    PlayAt(lines[i], effectsVolume);
    Subtitle(subtitles[i]);
    heroTalkTimer = 6.0f;
    screamTimer = 1.0f;
}

void CSoundManager::PlayHangOnLine()
{
    if (muted)
        return;
    PlayAt(HangOnVrek, effectsVolume);
    Subtitle("aguantaViejo");
    heroTalkTimer = 7.0f;
}

void CSoundManager::playVrekAgainstNextWave()
{
    if (muted)
        return;
    static const char* const subtitles[2] = {"fardadaPlaga", "MasEscoria"};
    const HCHANNEL lines[2] = {VrekExterminteAllOfYou, VrekMoreScum};
    const int i = tauntIndex % 2;
    tauntIndex = static_cast<std::uint16_t>((i + 1) % 2);
    PlayAt(lines[i], effectsVolume);
    Subtitle(subtitles[i]);
    heroMayTalk = false;
    heroTalkTimer = 3.5f;
}

void CSoundManager::PlayHeroBoastLine()
{
    if (muted || !heroMayTalk || actionThemeActive || heroSilenced)
        return;
    static const char* const subtitles[5] = {"chicagoPeligroso", "nadaEvitaraNuestraVenganza", "chistePsicotico",
                                             "nadieComoTuOstrel", "putasYNata"};
    static const float times[5] = {7.0f, 8.0f, 13.0f, 7.0f, 15.0f};
    const HCHANNEL lines[5] = {VrekDangerousChicago, VrekClaimsVendetta, VrekPsicoticJoke, VrekLoveOstrel,
                               VrekBitchesSugar};
    const int i = boastIndex % 5;
    boastIndex = static_cast<std::uint16_t>((i + 1) % 5);
    heroTalkTimer = screamTimer = times[i];
    PlayAt(lines[i], effectsVolume);
    Subtitle(subtitles[i]);
}

void CSoundManager::PlayEnemyAlarmLine(float d)
{
    if (muted || !enemiesMayTalk)
        return;
    static const char* const keys[4] = {"bMatadlo", "bMierdaEsVrek", "bParadlo", "bQueNoAvance"};
    const HCHANNEL lines[4] = {bMatadlo, bMierdaEsVrek, bParadlo, bQueNoAvance};
    const int i = alarmLineIndex % 4;
    alarmLineIndex = static_cast<std::uint16_t>((i + 1) % 4);
    PlayAt(lines[i], effectsVolume * VolumeByDistance(d));
    Subtitle(keys[i]);
    EnemyLineSaid();
}

void CSoundManager::PlayEnemyAttackLine(float d)
{
    if (muted || !enemiesMayTalk)
        return;
    static const char* const keys[2] = {"bAPorEl", "bLlenadloDePlomo"};
    const HCHANNEL lines[2] = {bAPorEl, bLlenadloDePlomo};
    const int i = attackLineIndex % 2;
    attackLineIndex = static_cast<std::uint16_t>((i + 1) % 2);
    PlayAt(lines[i], effectsVolume * VolumeByDistance(d));
    Subtitle(keys[i]);
    EnemyLineSaid();
}

void CSoundManager::PlayEnemyDeathLine()
{
    if (muted || !enemiesMayTalk)
        return;
    static const char* const keys[3] = {"bEseEraMiHermano", "bJoderSiEsSolo1Hombre", "bNoPuedeSer"};
    const HCHANNEL lines[3] = {bEseEraMiHermano, bJoderSiEsSolo1Hombre, bNoPuedeSer};
    const int i = deathLineIndex % 3;
    deathLineIndex = static_cast<std::uint16_t>((i + 1) % 3);
    PlayAt(lines[i], effectsVolume * VolumeByDistance(surroundings.distanceToFirstLiveEnemy()));
    Subtitle(keys[i]);
    EnemyLineSaid();
}

void CSoundManager::PlayEnemyCoverLine(float d)
{
    if (muted || !enemiesMayTalk)
        return;
    PlayAt(bCubridme, effectsVolume * VolumeByDistance(d));
    Subtitle("bCubridme");
    EnemyLineSaid();
}

void CSoundManager::PlayEnemyFireLine()
{
    if (muted || !enemiesMayTalk)
        return;
    PlayAt(bHaSalidoFuego, effectsVolume * VolumeByDistance(surroundings.distanceToFirstLiveEnemy()));
    Subtitle("bHaSalidoFuego");
    EnemyLineSaid();
}

void CSoundManager::PlayReloadLine(bool hero, float d, std::string weapon)
{
    if (muted)
        return;
    const HCHANNEL reload = weapon == "SHOTGUN"    ? shotgunReloadSound
                            : weapon == "THOMPSON" ? thompsonReloadSound
                                                   : ostrelReloadSound;
    if (hero) {
        PlayAt(reload, effectsVolume);
        return;
    }
    const float volume = effectsVolume * VolumeByDistance(d);
    PlayAt(reload, volume);
    if (enemiesMayTalk && surroundings.moreThanOneEnemyAlive()) {
        PlayAt(bRecargando, volume);
        Subtitle("bRecargando");
        // The gate itself closes at the next update, so a second line may
        // still come in this frame.
        enemyTalkTimer = 9.0f;
    }
}

// Radios, ambience and music.

void CSoundManager::PlayRadioHangar()
{
    BASS_ChannelPlay(radioHangar, TRUE);
    CSubtitleManager& subtitles = getSubtitulos();
    subtitles.ResetDisplay();
    subtitles.showSubtitulo("radioHangar");
    subtitles.StopRadioIsland();
    subtitles.StartRadioHangar();
}

void CSoundManager::PlayRadioIsland()
{
    BASS_ChannelPlay(radioIsland, TRUE);
    CSubtitleManager& subtitles = getSubtitulos();
    subtitles.ResetDisplay();
    subtitles.showSubtitulo("radioIsla");
    subtitles.StopRadioHangar();
    subtitles.StartRadioIsland();
}

void CSoundManager::PlayActionTheme()
{
    PlayAt(actionThemeLoopChannel, musicVolume);
}

void CSoundManager::pauseAllTypical()
{
    if (surroundings.currentRoom() == "room01") {
        for (HCHANNEL c : {seaWavesSound, lowWindSound, mainThemeLoopChannel, actionThemeLoopChannel,
                           seabirdsSound, radioHangar})
            BASS_ChannelPause(c);
        getSubtitulos().StopRadioHangar();
    } else {
        BASS_ChannelPause(mainThemeLoopChannel);
        BASS_ChannelPause(actionThemeLoopChannel);
        BASS_ChannelPause(radioIsland);
        getSubtitulos().StopRadioIsland();
        BASS_ChannelPause(rainThunder);
    }
}

void CSoundManager::ResumeAllTypical()
{
    if (muted)
        return;
    BASS_ChannelPlay(mainThemeLoopChannel, FALSE);
    BASS_ChannelPlay(actionThemeLoopChannel, FALSE);
    if (surroundings.currentRoom() == "room01") {
        for (HCHANNEL c : {seaWavesSound, lowWindSound, seabirdsSound, radioHangar})
            BASS_ChannelPlay(c, FALSE);
        getSubtitulos().StartRadioHangar();
    } else {
        BASS_ChannelPlay(radioIsland, FALSE);
        getSubtitulos().StartRadioIsland();
        BASS_ChannelPlay(rainThunder, FALSE);
    }
}

// Sounds named by file while the game runs.

HCHANNEL CSoundManager::ChannelOfFile(const std::string& file)
{
    // Loading the file anew on every call would keep every copy until exit
    // (the heartbeat alone comes every 7 s): one decoded sample per path.
    auto it = m_FileSamples.find(file);
    if (it == m_FileSamples.end() || it->second == 0) {
        const HSAMPLE sample = BASS_SampleLoad(FALSE, file.c_str(), 0, 0, kFilePlaybacks, 0);
        if (sample == 0)
            return 0;
        it = m_FileSamples.insert_or_assign(file, sample).first;
    }
    return BASS_SampleGetChannel(it->second, TRUE);
}

void CSoundManager::playThisSampleOnce(std::string file, float volume)
{
    oneShotChannel = ChannelOfFile(file);
    PlayAt(oneShotChannel, effectsVolume * volume);
    heroTalkTimer = enemyTalkTimer = 10.0f;
    heroMayTalk = enemiesMayTalk = false;
}

void CSoundManager::playThisSceneSound(std::string file1, float volume1, bool on1, std::string file2,
                                       float volume2, bool on2, std::string file3, float volume3, bool on3)
{
    const std::string* files[3] = {&file1, &file2, &file3};
    const float volumes[3] = {volume1, volume2, volume3};
    const bool on[3] = {on1, on2, on3};
    for (int i = 0; i < 3; ++i) {
        if (!on[i])
            continue;
        BASS_ChannelStop(sceneChannels[i]);
        sceneChannels[i] = ChannelOfFile(*files[i]);
        PlayAt(sceneChannels[i], effectsVolume * volumes[i]);
    }
    heroTalkTimer = enemyTalkTimer = 10.0f;
    heroMayTalk = enemiesMayTalk = false;
}

void CSoundManager::playThisAvionetaArrive()
{
    PlayAt(ChannelOfFile("data/sound/FLYBY.ogg"), 0.5f * effectsVolume);
}

void CSoundManager::PlayThunder()
{
    const int n = thunderIndex;
    PlayAt(ChannelOfFile("data/sound/thunder" + std::to_string(n) + ".wav"), 0.45f * effectsVolume);
    thunderIndex = n >= 5 ? 1 : n + 1;
}

void CSoundManager::PlayHurtBreath()
{
    if (muted)
        return;
    PlayAt(VrekHurtBreathe, effectsVolume);
    PlayAt(ChannelOfFile("data/sound/heart.wav"), effectsVolume);
    heroTalkTimer = 6.0f;
}

void CSoundManager::PlaySeabirds()
{
    if (!muted)
        PlayAt(seabirdsSound, 0.7f * musicVolume);
}

// Control.

void CSoundManager::play(std::string key)
{
    if (muted)
        return;
    auto it = channelsByName.find(key);
    if (it != channelsByName.end())
        BASS_ChannelPlay(*it->second, TRUE);
}

void CSoundManager::everybodyShutUp()
{
    heroTalkTimer = enemyTalkTimer = 1000.0f;
    heroMayTalk = enemiesMayTalk = false;
}

void CSoundManager::StopOneShot()
{
    BASS_ChannelStop(oneShotChannel);
    oneShotChannel = 0;
}

void CSoundManager::SetOneShotVolume(float f)
{
    SlideVolume(oneShotChannel, effectsVolume * std::max(f, 0.3f), 0);
}

void CSoundManager::StopSceneSounds()
{
    for (HCHANNEL& c : sceneChannels) {
        BASS_ChannelStop(c);
        c = 0;
    }
}

void CSoundManager::EnterMenu()
{
    pauseAllTypical();
    BASS_ChannelPause(oneShotChannel);
    for (HCHANNEL c : sceneChannels) {
        if (c != 0)
            BASS_ChannelPause(c);
    }
    PlayAt(menuThemeLoopChannel, musicVolume);
    menuThemePlaying = true;
}

void CSoundManager::LeaveMenu()
{
    ResumeAllTypical();
    muted = false;
    const CRigidAnimManager* rigid = getRigid();
    if (!rigid->camSequenceRunning && !rigid->scriptedSequenceRunning) {
        StopSceneSounds();
    } else {
        BASS_ChannelPlay(oneShotChannel, FALSE);
        for (HCHANNEL c : sceneChannels) {
            if (c != 0)
                BASS_ChannelPlay(c, FALSE);
        }
    }
    BASS_ChannelPause(menuThemeLoopChannel);
    menuThemePlaying = false;
}

// Cross-fades: durations count whole seconds only.

namespace {

void Fade(HCHANNEL first, HCHANNEL second, float weightFirst, float weightSecond, float m, float secondsFirst,
          float secondsSecond)
{
    CSoundManager::SlideVolume(first, weightFirst * m, std::trunc(secondsFirst) * 1000.0f);
    CSoundManager::SlideVolume(second, weightSecond * m, std::trunc(secondsSecond) * 1000.0f);
}

} // namespace

void CSoundManager::CrossFade(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond)
{
    Fade(first, second, 0.0f, 1.0f, musicVolume, secondsFirst, secondsSecond);
}

void CSoundManager::CrossFade30To70(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond)
{
    Fade(first, second, 0.3f, 0.7f, musicVolume, secondsFirst, secondsSecond);
}

void CSoundManager::CrossFade50To50(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond)
{
    Fade(first, second, 0.5f, 0.5f, musicVolume, secondsFirst, secondsSecond);
}

void CSoundManager::CrossFade75To25(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond)
{
    Fade(first, second, 0.75f, 0.25f, musicVolume, secondsFirst, secondsSecond);
}

void CSoundManager::CrossFade10To90(HCHANNEL first, HCHANNEL second, float secondsFirst, float secondsSecond)
{
    Fade(first, second, 0.1f, 0.9f, musicVolume, secondsFirst, secondsSecond);
}

// The per-frame step.

HCHANNEL CSoundManager::RunningTheme() const
{
    if (mainThemeActive)
        return mainThemeLoopChannel;
    return actionThemeActive ? actionThemeLoopChannel : 0;
}

void CSoundManager::Update(float dt)
{
    const CGUIManager& gui = getGUI();
    muted = gui.pauseActive || gui.mainMenuActive || gui.optionsActive;

    CRigidAnimManager* rigid = getRigid();
    if (getGSF().isPlayingCreditos()) {
        rigid->creditsRadioTimer += dt;
        if (rigid->creditsRadioTimer > 140.0f) {
            rigid->creditsRadioTimer = 0.0f;
            SlideVolume(sceneChannels[0], 0.3f, 0);
            playThisSampleOnce("data/sound/RadioCredits.ogg", 1.0f);
            Subtitle("RadioCredits");
        }
    }

    heroSilenced = rigid->scriptedSequenceRunning || getCamera().IsFreeCamera();

    if (heartbeatTimer >= 7.0f && surroundings.heroLife() < 50) {
        PlayHurtBreath();
        heartbeatTimer = 0.0f;
    } else {
        heartbeatTimer += dt;
    }

    screamTimer -= dt;
    heroTalkTimer -= dt;
    enemyTalkTimer -= dt;
    screamsAllowed = screamTimer <= 0.0f;
    heroMayTalk = heroTalkTimer <= 0.0f;
    enemiesMayTalk = enemyTalkTimer <= 0.0f;

    UpdateRadioMix(dt);

    const bool enemyNear = surroundings.enemyNearHero();
    if (enemyNear) {
        if (!actionThemeActive) {
            CrossFade(mainThemeLoopChannel, actionThemeLoopChannel, 3.0f, 8.0f);
            mainThemeActive = false;
            actionThemeActive = true;
        }
    } else if (!mainThemeActive) {
        if (actionLingerTimer > 0.0f) {
            actionLingerTimer -= dt;
        } else {
            CrossFade(actionThemeLoopChannel, mainThemeLoopChannel, 3.0f, 8.0f);
            mainThemeActive = true;
            actionThemeActive = false;
            actionLingerTimer = 3.0f;
        }
    }
}

void CSoundManager::UpdateRadioMix(float dt)
{
    CSubtitleManager& subtitles = getSubtitulos();
    HCHANNEL radio = 0;
    bool* display = nullptr;
    int points = 4;
    if (surroundings.currentRoom() == "room01") {
        BASS_ChannelSetAttribute(radioIsland, BASS_ATTRIB_VOL, 0.0f);
        if (seabirdsTimer < 50.0f) {
            seabirdsTimer += dt;
        } else {
            seabirdsTimer = 0.0f;
            PlaySeabirds();
        }
        radio = radioHangar;
        display = &subtitles.hangarRadioVisible;
        points = 2;
        // The other level's radio is silent here: its lines go with it, or
        // the last one heard would stay on screen for the rest of the game.
        subtitles.islandRadioVisible = false;
    } else {
        BASS_ChannelSetAttribute(radioHangar, BASS_ATTRIB_VOL, 0.0f);
        radio = radioIsland;
        display = &subtitles.islandRadioVisible;
        subtitles.hangarRadioVisible = false;
    }

    const D3DXVECTOR3 hero = surroundings.heroPosition();
    float nearest = 0.0f;
    for (int i = 0; i < points; ++i) {
        const float d = std::fabs(hero.x - radioPositions[i].x) + std::fabs(hero.z - radioPositions[i].z);
        if (i == 0 || d < nearest)
            nearest = d;
    }

    const HCHANNEL theme = RunningTheme();
    if (nearest < 50.0f) {
        if (theme)
            CrossFade10To90(theme, radio, 1.0f, 1.0f);
        heroSilenced = true;
        *display = true;
    } else if (nearest < 130.0f) {
        if (theme)
            CrossFade30To70(theme, radio, 1.0f, 1.0f);
        heroSilenced = true;
        *display = true;
    } else if (nearest < 270.0f) {
        if (theme)
            CrossFade50To50(theme, radio, 1.0f, 1.0f);
        heroSilenced = true;
        *display = true;
    } else if (nearest < 400.0f) {
        if (theme)
            CrossFade75To25(theme, radio, 1.0f, 1.0f);
        heroSilenced = true;
        *display = false;
    } else {
        if (theme)
            CrossFade(radio, theme, 1.0f, 1.0f);
        *display = false;
    }
}

CSoundManager& getSoundManager()
{
    static CSoundManager manager;
    return manager;
}
