// The level flow the enemy manager carries itself: entering a zone with its
// hard-coded wave actions, the island's waves following one another, the
// three scripted level events and the return to the first zone.
#include "enemies/EnemyManager.h"

#include "app/GameStateFlags.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyStateHelpers.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/IController.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

namespace {

constexpr float kFov35 = 0.61086524f;
constexpr float kFov50 = 0.87266463f;

// The digit a room or wave name carries at that index; a name too short for
// it counts as 0 rather than reading past its end.
int DigitAt(const std::string& name, size_t index)
{
    return index < name.size() ? name[index] - '0' : 0;
}

int RoomDigit(const std::string& room)
{
    return DigitAt(room, 4);
}

int WaveDigit(const std::string& wave)
{
    return DigitAt(wave, 6);
}

void Activate(const char* logic)
{
    getTriggerManager().getTriggerLogicByName(logic)->active = true;
}

// The camera keeps the view it had for the end of the sequence.
void SwitchFov(float fov)
{
    CCamera& camera = getCamera();
    camera.SetSavedFov(camera.GetFov());
    camera.SetFov(fov);
}

void CreateEmitters(const char* type, std::initializer_list<D3DXVECTOR3> points)
{
    const ParticleSystemType* found = getParticleTypes().FindSystemType(type);
    for (const D3DXVECTOR3& at : points)
        getParticleManager().CreateEmitter(found, at, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
}

// The dockers run for the boat: the hero is put where the comic panels
// leave him and the enemies wait for the scripts.
void DockersFlee()
{
    getTriggerManager().checkpoint = 5;
    getGSF().setPlayingVinyetasDockersHuye();
    CPlayer* hero = getPlayer();
    if (IController* controller = hero->GetController())
        controller->ClearActionFlags();
    if (CCharacterEntity* entity = hero->GetEntity())
        entity->RemoveAction();
    if (CControllerSelector* selector = hero->GetControllerSelector()) {
        selector->SwitchToFree(false, false);
        selector->LeaveParapet();
    }
    const D3DXVECTOR3 spot(-2297.4f, 375.0f, -163.31f);
    hero->GetPosition().SetPosition(spot);
    getCollisionManager().setNewPlayerPosition(spot);
    hero->GetPosition().SetYaw(-0.51f);
    CRigidAnimManager* rigid = getRigid();
    rigid->play("vinyetas_dockers_huye", false);
    rigid->playCam("vinyetas_dockers_huye");
    rigid->scriptedSequenceRunning = true;
    CSoundManager& sound = getSoundManager();
    sound.StopSceneSounds();
    sound.playThisSceneSound("data/sound/cubridme.ogg", 1.0f, true, "data/sound/DondeVasDockers.wav", 1.0f, true, "",
                             0.0f, false);
    getSubtitulos().showSubtitulo("cubridme");
    SwitchFov(kFov50);
}

} // namespace

void CEnemyManager::setNewZone(std::string room, std::string wave)
{
    const int roomDigit = RoomDigit(room);
    const int waveDigit = WaveDigit(wave);
    if (!m_Room.empty() && !m_Wave.empty()) {
        const int currentRoom = RoomDigit(m_Room);
        const int currentWave = WaveDigit(m_Wave);
        // Going back to an earlier zone destroys the wave being left.
        if (roomDigit < currentRoom || (roomDigit == currentRoom && waveDigit < currentWave))
            killThisWave(m_Wave);
    }
    m_Room = room;
    m_Wave = wave;
    if (roomDigit == 0)
        m_ZoneLetter = waveDigit <= 4 ? 'A' : waveDigit == 5 ? 'B' : waveDigit == 6 ? 'C' : 'D';
    else
        m_ZoneLetter = waveDigit == 1 ? 'A' : 'B';
    m_WaveStart = true;
    m_DockersPointedTo = false;

    if (wave == "wave_31") {
        getPlayer()->storeForCHECKPOINT();
        getTriggerManager().checkpoint = 3;
    } else if (wave == "wave_32") {
        getPlayer()->storeForCHECKPOINT();
        getTriggerManager().checkpoint = 4;
    } else if (wave == "wave_35" && getRigid()->dockersEscapeStage == 0) {
        DockersFlee();
        m_Frozen = true;
    }
    if (wave == "wave_01") {
        // The wave that was current when the call began.
        std::vector<IEntidad3D*> characters;
        for (CCharacterEntity* entity : GetCurrentWaveCharacters())
            characters.push_back(entity);
        getSceneManager().SetCharacterList(characters);
    }
    RefreshCurrent();
}

void CEnemyManager::UpdateWaveProgression()
{
    const int room = RoomDigit(m_Room);
    const int wave = WaveDigit(m_Wave);
    if (room != 3) {
        if (m_Wave == "wave_04" && !anyBotAlive())
            secondMovieOn();
        return;
    }
    // Each condition is asked only on its own wave: the docker test destroys
    // a finished docker as it answers.
    switch (wave) {
    case 1:
        if (!anyBotAlive()) {
            setNewZone("room3", "wave_32");
            Activate("ene33_0");
        }
        break;
    case 2:
        if (onlyDockersAliveAndKilled()) {
            setNewZone("room3", "wave_33");
            Activate("ene37_1");
        } else {
            PointToDockers();
        }
        break;
    case 3:
        if (onlyDockersAliveAndKilled()) {
            setNewZone("room3", "wave_34");
            Activate("ene42_0");
        } else {
            PointToDockers();
        }
        break;
    case 4:
        if (onlyDockersAliveAndKilled())
            setNewZone("room3", "wave_35");
        else
            PointToDockers();
        break;
    case 5:
        if (!anyBotAlive()) {
            setNewZone("room3", "wave_36");
            Activate("Wave36");
        }
        break;
    default:
        break;
    }
}

void CEnemyManager::PointToDockers()
{
    if (m_DockersPointedTo || m_WaveEnemies.empty() || IsAnyNonDockerAlive())
        return;
    for (const auto& entry : m_WaveEnemies) {
        const CIAEnemyCover* ai = entry.second->getIA();
        if (NameAt(entry.first, 4) == 'D' && !ai->IsDockerHit() && !ai->IsDestroyed()) {
            m_DockersPointedTo = true;
            Activate("dockersLeft");
            return;
        }
    }
}

void CEnemyManager::secondMovieOn()
{
    CCollisionManager& collisions = getCollisionManager();
    for (const char* body : {"col_avion_bucle", "col_055", "col_056"})
        collisions.RemoveStaticBody(body);
    CGameStateFlagsManager& story = getGSF();
    story.setPlayingSecondMovie();
    story.setRigidaEneAvionetaDone();
    CRigidAnimManager* rigid = getRigid();
    rigid->play("vinyetas_avioneta2", false);
    rigid->playCam("vinyetas_avioneta2");
    rigid->scriptedSequenceRunning = true;
    SwitchFov(kFov35);
    m_Frozen = true;
    // The hangar burns on after the plane came down on it.
    CreateEmitters("humo", {{1123.23f, 0.0f, 553.7f},
                            {1232.23f, 0.0f, 451.7f},
                            {1273.23f, 8.0f, 580.7f},
                            {1044.48f, 18.0f, 685.7f},
                            {841.48f, 18.0f, 747.7f},
                            {13.48f, 138.0f, 509.7f},
                            {1197.48f, 87.0f, 444.7f}});
    CreateEmitters("sangre_infinita", {{13.48f, 138.0f, 509.7f}, {13.48f, 138.0f, 505.7f}, {13.48f, 138.0f, 501.7f}});
    CSoundManager& sound = getSoundManager();
    sound.pauseAllTypical();
    sound.playThisSceneSound("data/sound/explode1.wav", 1.0f, true, "data/sound/vinyetas_avionWARRA3.wav", 1.0f, true,
                             "data/sound/Trozo2.wav", 1.0f, true);
    setNewZone("room01", "wave_05");
    Activate("ene10_1");
}

void CEnemyManager::getHangarOpenLastWave()
{
    getRigid()->play("puerta_hangar", false);
    getGSF().setPlayingRigidasHangarOpen();
    getGUI().showMission(5);
    CSoundManager& sound = getSoundManager();
    sound.playThisSampleOnce("data/sound/mission.wav", 0.4f);
    // The closed door's collision.
    getCollisionManager().RemoveStaticBody("col_0118");
    setNewZone("room01", "wave_09");
    Activate("ene25_1");
    sound.playThisSampleOnce("data/sound/mcHangExpl.ogg", 1.0f);
    getSubtitulos().showSubtitulo("mcHangExpl");
}

void CEnemyManager::firstMovieOn()
{
}

void CEnemyManager::playPaletaVoladoresHangarExplosivo()
{
    if (m_Wave != "wave_09" || m_WaveEnemies.empty())
        return;
    struct Landing {
        const char* name;
        D3DXVECTOR3 at;
        float yaw;
    };
    // The last row stands for every other name, and moves "ene_29"'s body.
    static const Landing kLandings[] = {
        {"ene_25", {263.0f, 0.0f, 3859.0f}, 2.48f},   {"ene_26", {403.0f, 0.0f, 3863.0f}, -2.55f},
        {"ene_27", {499.4f, 0.0f, 4041.4f}, 2.24f},   {"ene_28", {353.37f, 0.0f, 4019.0f}, -2.9f},
        {"ene_29", {531.1f, 0.0f, 3936.2f}, 1.04f},
    };
    bool thrown = false;
    for (auto& entry : m_WaveEnemies) {
        CEnemy* enemy = entry.second;
        if (enemy->getIA()->GetState() == CIAEnemyCover::DEAD)
            continue;
        const float y = enemy->GetPosition().GetPosition().y;
        const Landing* landing = &kLandings[4];
        for (const Landing& l : kLandings)
            if (enemy->GetName() == l.name)
                landing = &l;
        getCollisionManager().setNewEnemyPosition(landing->name, D3DXVECTOR3(landing->at.x, y, landing->at.z));
        enemy->GetPosition().SetYaw(landing->yaw);
        enemy->getIA()->StartFlyingPallet();
        thrown = true;
    }
    if (thrown)
        getSoundManager().playThisSampleOnce("data/sound/kelmoth.wav", 1.0f);
}

void CEnemyManager::ResetWaves()
{
    m_Frozen = false;
    ClearTables();
    setNewZone("room01", "wave_00");
    LoadEnemyList();
    // The zone's enemies are the ones just built: a restart's kill of the
    // first wave must find them, or that wave stands again.
    RefreshCurrent();
}

void CEnemyManager::ClearTables()
{
    // Everything that may point at the enemies being dropped lets go before
    // they are freed: their bodies leave the world, the tracked list, the
    // drawn characters, the camera's target and the hero's fight forget them.
    CCollisionManager& collisions = getCollisionManager();
    CFightingController* fight = nullptr;
    if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
        fight = selector->GetFightingController();
    for (auto& enemy : m_Owned) {
        collisions.RemoveEnemyBody(enemy->GetName());
        enemy->RemoveMarker();
        // The cover they held is free for the next load's enemies.
        enemy->getIA()->FreeParapet();
        if (fight)
            fight->ForgetOpponent(enemy.get());
    }
    for (CEnemy*& tracked : TrackedEnemies)
        tracked = nullptr;
    m_TrackedCount = 0;
    getSceneManager().SetCharacterList({});
    m_Rooms.clear();
    m_RoomWaves.clear();
    m_WaveEnemies.clear();
    // Freed by the next update, once this frame's draw and shadow lists,
    // built before the reset, have been drawn.
    for (auto& enemy : m_Owned)
        m_Retired.push_back(std::move(enemy));
    m_Owned.clear();
}
