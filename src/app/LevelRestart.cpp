#include "app/LevelRestart.h"

#include "app/GameStateFlags.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "gui/MissionText.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"
#include "world/TriggerManager.h"

namespace {

// The hangars' first checkpoint faces the way on, east: the first volume
// and the weapons lying by it straight ahead, wave 01's barrier and the
// crate rows a little to the right.
constexpr float kFirstCheckpointYaw = 1.5f;

const CheckpointPlace kCheckpoints[] = {
    {"hangares", D3DXVECTOR3(-1159.4f, 9.231f, -665.515f), kFirstCheckpointYaw, 1},
    {"hangares", D3DXVECTOR3(1316.95f, 9.24f, 499.93f), -1.14f, 1},
    {"isla", D3DXVECTOR3(1120.89f, 26.1259f, -912.779f), -1.76f, 2},
    {"isla", D3DXVECTOR3(-1007.4f, 375.0f, -509.552f), -0.98f, 2},
    {"isla", D3DXVECTOR3(-2297.4f, 375.0f, -163.31f), -0.51f, 2},
};

const char* const kHangarPlanks[] = {
    "maderitas3_ROTO_1", "maderitas3_ROTO_2", "maderitas3_ROTO_3", "maderitas3_ROTO_4", "maderitas3_ROTO_5",
    "maderitas2_ROTO_1", "maderitas2_ROTO_2", "maderitas2_ROTO_3", "maderitas2_ROTO_4",
};
const char* const kHangarDoors[] = {"Hangar_PUERTA_DER", "Hangar_PUERTA_IZQ"};
const char* const kScaffold[] = {"isla_madera_andamio_EXPLO_10", "isla_madera_andamio_EXPLO_06"};

constexpr float kNewGameYaw = kFirstCheckpointYaw;
// The missions in force from the second, third and fourth checkpoints.
constexpr int kHangarWayMission = 3;
constexpr int kIslandMission = 6;
constexpr int kSquareMission = 7;
const char kMissionSound[] = "data/sound/mission.wav";

template <std::size_t N>
void RestoreMatrices(ILevelWorld& world, const char* const (&names)[N])
{
    for (const char* name : names)
        world.RestoreStartMatrix(name);
}

void Activate(const char* logic)
{
    getTriggerManager().getTriggerLogicByName(logic)->active = true;
}

void SetSequenceFlags(bool first, bool second)
{
    CPlayer* hero = getPlayer();
    hero->firstSequenceFlag = first;
    hero->secondSequenceFlag = second;
}

// The island's opening: the lighthouse radio, its voice and music.
void IslandSceneStart(ILevelWorld& world, float introVolume)
{
    world.StopSceneSounds();
    world.PauseAllTypical();
    world.ShowSubtitle("ZvIntroFaro");
    world.PlaySceneSounds("data/sound/ZvIntroFaro.ogg", 1.0f, true, "data/sound/introIsla.ogg", introVolume, true, "",
                          1.0f, false);
}

void LighthouseLight(ILevelWorld& world)
{
    world.PlayRigid("Luz_Faro", true);
}

void NewGameSteps(ILevelWorld& world)
{
    CPlayer* hero = getPlayer();
    getAchievementStats().ResetForLevel();
    world.StopSceneSounds();
    world.ReleaseHero();
    world.PauseAllTypical();
    world.Mute();
    world.ResetWaves();
    world.ResetTriggers();
    world.ResetParticles(true);
    world.ClearRigidAnims();
    world.LoadLevel("hangares");
    world.SetupScene();
    getTriggerManager().currentZone = 1;
    // A new game chosen from the main menu after the island was reached (by
    // the pause menu's way back) would otherwise send its first death there.
    getTriggerManager().checkpoint = 1;
    world.ResetRigidAnims();
    world.LoadCamera(hero->GetPosition().GetPosition());
    world.Unmute();
    world.CreateWeapons();
    world.ResetParapets();
    SetSequenceFlags(false, false);
    world.HeroIdle();
    getGSF().resetStates();
    hero->GetPosition().SetYaw(kNewGameYaw);
    world.SetCameraYaw(kNewGameYaw);
    RestoreMatrices(world, kHangarPlanks);
    RestoreMatrices(world, kHangarDoors);
    world.PlayRadioHangar();
}

void CheckpointSteps(ILevelWorld& world)
{
    CTriggerManager& triggers = getTriggerManager();
    CGameStateFlagsManager& story = getGSF();
    CRigidAnimManager* rigid = getRigid();
    // A number no checkpoint has would leave the hero nowhere and no trigger
    // zone live: the level's first checkpoint instead.
    if (triggers.checkpoint < 1 || triggers.checkpoint > 5)
        triggers.checkpoint = 1;
    const int checkpoint = triggers.checkpoint;
    const CheckpointPlace& place = GetCheckpointPlace(checkpoint);

    world.StopSceneSounds();
    world.KillWave(world.CurrentWave());
    world.ReleaseHero();
    world.PauseAllTypical();
    world.Mute();
    world.ResetWaves();
    world.KillWave("wave_00");
    world.ResetRigidAnims();
    world.ClearRigidAnims();

    switch (checkpoint) {
    case 1:
        world.PlayRadioHangar();
        world.ResetParticles(true);
        world.LoadLevel("hangares");
        Activate("checkPoint1");
        story.hangaresLevel = true;
        story.setHangaresIntroDone();
        story.setRigidasHangaresIdle();
        getGUI().showMission(1);
        world.PlaySampleOnce(kMissionSound, 0.4f);
        SetSequenceFlags(false, false);
        break;
    case 2: {
        world.PlayRadioHangar();
        world.ResetParticles(true);
        world.LoadLevel("hangares");
        Activate("checkPoint2");
        world.SetNewZone("room01", "wave_05");
        Activate("ene10_1");
        story.hangaresLevel = true;
        story.setReadyCamEmpalado();
        story.setRigidaEneAvionetaDone();
        story.pierIntact = false;
        for (const char* body : {"col_avion_bucle", "col_055", "col_056"})
            world.RemoveCollisionBody(body);
        world.SetRemainingHits(9);
        // The hangar burns on after its explosion.
        const D3DXVECTOR3 smoke[] = {
            {1123.23f, 0.0f, 553.7f},  {1232.23f, 0.0f, 451.7f},  {1273.23f, 8.0f, 580.7f}, {1044.48f, 18.0f, 685.7f},
            {841.48f, 18.0f, 747.7f},  {13.48f, 138.0f, 509.7f},  {1197.48f, 87.0f, 444.7f},
        };
        for (const D3DXVECTOR3& at : smoke)
            world.CreateEmitter("humo", at);
        const D3DXVECTOR3 blood[] = {{13.48f, 138.0f, 509.7f}, {13.48f, 138.0f, 505.7f}, {13.48f, 138.0f, 501.7f}};
        for (const D3DXVECTOR3& at : blood)
            world.CreateEmitter("sangre_infinita", at);
        SetSequenceFlags(false, false);
        // The empaled guard's flight raises this stretch's banner as it ends;
        // the pause menu brings it back from the start.
        getGUI().currentMission = kHangarWayMission;
        break;
    }
    case 3:
        world.PlayRadioIsland();
        world.ResetParticles(false);
        world.LoadLevel("isla");
        Activate("checkPoint3");
        world.SetNewZone("room3", "wave_31");
        Activate("ene31_0");
        world.ForgetHangarFire();
        IslandSceneStart(world, 1.0f);
        story.hangaresLevel = false;
        story.setReadyCamIslaIntro();
        LighthouseLight(world);
        SetSequenceFlags(true, false);
        // Raised as the arrival's flight ends, as on the way from the hangars.
        getGUI().currentMission = kIslandMission;
        break;
    case 4:
        world.PlayRadioIsland();
        world.ResetParticles(false);
        world.LoadLevel("isla");
        Activate("checkPoint4");
        world.SetNewZone("room3", "wave_32");
        Activate("ene33_0");
        Activate("ene33_1");
        story.hangaresLevel = false;
        story.setIslaIntroDone();
        LighthouseLight(world);
        SetSequenceFlags(true, true);
        rigid->dockersTimer = 0.0f;
        // The square's flight, which raises its banner on the way there, is
        // not shown again: without this the banner of the stretch before it
        // (the hangars' first, after a jump from there) stayed in force and
        // came back with the pause menu.
        getGUI().showMission(kSquareMission);
        world.PlaySampleOnce(kMissionSound, 0.4f);
        break;
    default:
        world.PlayRadioIsland();
        world.ResetParticles(false);
        world.LoadLevel("isla");
        Activate("checkPoint5");
        rigid->dockersEscapeStage = 2;
        world.SetNewZone("room3", "wave_35");
        Activate("ene47_1");
        story.hangaresLevel = false;
        // Reached without the island's arrival (the console's jump from the
        // hangars): left pending, the arrival's flight would fly over the
        // island with this wave loose and end on the arrival's banner.
        if (story.isReadyCamIslaIntro() || story.isReadyLevelSwitchIsla())
            story.setIslaIntroDone();
        LighthouseLight(world);
        getGUI().showMission(10);
        world.PlaySampleOnce(kMissionSound, 0.4f);
        SetSequenceFlags(true, true);
        world.RemoveCollisionBody("col_isla_214");
        world.RemoveCollisionBody("col_isla_215");
        break;
    }

    CPlayer* hero = getPlayer();
    world.LoadCamera(hero->GetPosition().GetPosition());
    world.Unmute();
    // The island's opening keeps its ambience paused until its flight ends.
    if (checkpoint != 3)
        world.ResumeAllTypical();
    world.SetupScene();
    triggers.currentZone = place.zone;
    world.CreateWeapons();
    world.RestoreCheckpointAmmo();
    hero->GetPosition().SetPosition(place.position);
    world.SetHeroBody(place.position);
    hero->GetPosition().SetYaw(place.yaw);
    world.SetCameraYaw(place.yaw);
    world.ResetParapets();
    // At the scaffold the hero keeps the pose he was left in.
    if (checkpoint != 4)
        world.HeroIdle();
    if (checkpoint == 1)
        RestoreMatrices(world, kHangarPlanks);
    else if (checkpoint == 2)
        RestoreMatrices(world, kHangarDoors);
    else if (checkpoint == 3 || checkpoint == 4)
        RestoreMatrices(world, kScaffold);
}

} // namespace

const CheckpointPlace& GetCheckpointPlace(int checkpoint)
{
    if (checkpoint < 1 || checkpoint > 5)
        checkpoint = 1;
    return kCheckpoints[checkpoint - 1];
}

void RestartLevel(bool newGame, ILevelWorld& world)
{
    CRigidAnimManager* rigid = getRigid();
    rigid->crateBroken2 = false;
    rigid->crateBroken3 = false;
    CPlayer* hero = getPlayer();
    hero->SetLife(350);
    hero->SetTopLife(350);
    // The hangar explosion moves him again in the new run.
    hero->explosionRelocated = false;
    // A line about the stretch left behind (the plane, a docker) would send
    // him after what is no longer there.
    getMissionText().Hide();
    // So is its banner, still up after a quick death, which the pause menu's
    // Continue would not bring back.
    getGUI().HideMissionBanners();
    if (newGame)
        NewGameSteps(world);
    else
        CheckpointSteps(world);
}

void RestartLevel(bool newGame)
{
    RestartLevel(newGame, getGameLevelWorld());
}

void SwitchLevelToIsla(ILevelWorld& world)
{
    world.ReleaseHero();
    world.ClearRigidAnims();
    world.ResetParticles(false);
    world.LoadLevel("isla");
    world.SetupScene();
    LighthouseLight(world);
    world.SetNewZone("room3", "wave_31");
    getTriggerManager().currentZone = 2;
    Activate("ene31_0");
    Activate("Wave31");
    world.ResetParapets();
    world.PlayRadioIsland();
    CGameStateFlagsManager& story = getGSF();
    story.hangaresLevel = false;
    IslandSceneStart(world, 0.7f);
    story.setPlayingCamIslaIntro();
    world.PlayCam("camara_isla_intro");
    RestoreMatrices(world, kScaffold);
}

void SwitchLevelToIsla()
{
    SwitchLevelToIsla(getGameLevelWorld());
}
