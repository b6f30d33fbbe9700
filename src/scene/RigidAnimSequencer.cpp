// The per-frame update of the rigid animations and the story it drives: each
// "Ready" code of the record starts its comic panels or flight and stores its
// "Playing" code; the end of the flight (or a skip) stores the next one.
#include <cmath>
#include <string>

#include "app/GameStateFlags.h"
#include "scene/LightCamera.h"
#include "scene/Location.h"
#include "scene/RigidAnimManager.h"

namespace {

using G = CGameStateFlagsManager;

constexpr float kFov35 = 0.61086524f;
constexpr float kFov55 = 0.9599311f;
constexpr float kFov50 = 0.87266463f;

// Where the looping enemy plane circles; the plane's enemy is put there.
const D3DXVECTOR3 kAvionetaLoopCentre(2541.06f, 50.0f, 430.616f);

void Mission(IRigidAnimWorld& world, int n)
{
    world.PlaySampleOnce("data/sound/mission.wav", 0.4f);
    world.ShowMission(n);
}

// The three scene channels: an empty file with its flag clear leaves a
// channel alone.
void SceneSound(IRigidAnimWorld& world, const char* file, float volume)
{
    world.PlaySceneSounds(file, volume, true, "", 0.4f, false, "", 1.0f, false);
}

} // namespace

void CRigidAnimManager::ApplyPose(RunningAnimation& running, const std::string& name)
{
    CLocation* entity = World().FindEntity(name);
    if (!entity)
        return;
    D3DXMATRIX matrix;
    D3DXQUATERNION q(running.anim.GetRotation());
    D3DXMatrixRotationQuaternion(&matrix, &q);
    const D3DXVECTOR3& at = entity->GetPosition();
    const float* p = running.anim.GetPosition();
    matrix._41 = p[0] + at.x;
    matrix._42 = p[1] + at.y;
    matrix._43 = p[2] + at.z;
    entity->SetMatrix(matrix);
}

void CRigidAnimManager::RelocateForExplosion()
{
    IRigidAnimWorld& world = World();
    if (getGSF().hangarRigidState != G::RigidasHangarExplosion || !explosionTeleportArmed ||
        world.IsExplosionRelocated())
        return;
    world.SetHeroBody(D3DXVECTOR3(453.748f, 0.57f, 3567.08f));
    world.BlendLowCoverIdle(1.0f, 0.0f, true);
    world.SetHeroYaw(-0.6f);
    world.SetExplosionRelocated();
}

void CRigidAnimManager::UpdateCamera(float dt)
{
    IRigidAnimWorld& world = World();
    // A fight outlasts its camera's flight (its last blows come after it, and
    // slow motion stretches it further): the camera stays on the fighters,
    // at its last point, until the fight is over, instead of going to black
    // and back to the follow camera in the middle of it. The final chain
    // cuts from shot to shot by itself.
    const bool holdOnFight = comboCameraSequence && world.IsHeroFighting() && !world.IsFinisherUnderWay();
    if (camPosAnim.IsFinished() && camLookAnim.IsFinished() && !holdOnFight) {
        cameraTracksEnded = true;
        return;
    }
    const int code = getGSF().sequence;
    const float remaining = camPosAnim.HasSamples() ? camPosAnim.track->duration - camPosAnim.time : 0.0f;
    const float fadeTime = code == G::PlayingVinyetasIntro1 ? 0.3f : 0.5f;
    if (code != G::PlayingCamHangaresLlegadaAvion && code != G::PlayingCamAvionetaNueva2 && remaining <= fadeTime &&
        !holdOnFight && !world.IsFadingIn()) {
        if (code == G::PlayingVinyetasIntro1)
            world.FadeInFromWhite(fadeTime);
        else if (!world.IsFinisherUnderWay())
            world.FadeInFromBlack(fadeTime);
    }
    camPosAnim.Update(dt * cameraSpeedModifier);
    camLookAnim.Update(dt * cameraSpeedModifier);

    D3DXVECTOR3 eye = camPosAnim.position + camPosOffset;
    D3DXVECTOR3 target = camLookAnim.position + camLookOffset;
    D3DXMATRIX turn;
    D3DXMatrixRotationQuaternion(&turn, &camPosAnim.orientation);
    D3DXVECTOR3 up;
    const D3DXVECTOR3 down(0.0f, 0.0f, -1.0f);
    if (comboCameraSequence) {
        eye = comboFraming.Fit(eye);
        D3DXMatrixRotationY(&comboCameraMatrix, world.HeroYaw());
        const D3DXMATRIX both = turn * comboCameraMatrix;
        D3DXVec3TransformNormal(&up, &down, &both);
        const D3DXVECTOR3 hero = world.HeroPosition();
        D3DXVECTOR3 moved;
        D3DXVec3TransformCoord(&moved, &eye, &comboCameraMatrix);
        eye = moved + hero;
        D3DXVec3TransformCoord(&moved, &target, &comboCameraMatrix);
        target = moved + hero;
    } else {
        D3DXVec3TransformNormal(&up, &down, &turn);
    }
    world.FlightCamera().SetLookAtUp(eye, target, up);
}

void CRigidAnimManager::Update(float dt)
{
    IRigidAnimWorld& world = World();
    G& record = getGSF();

    waitToPlayAvioneta -= dt;
    for (auto& entry : oneShotAnims) {
        RunningAnimation& running = entry.second;
        running.anim.Update(dt);
        ApplyPose(running, entry.first);
        if (running.anim.IsFinished() || (!scriptedSequenceRunning && entry.first.find("vinyetas") != std::string::npos &&
                                          entry.first.find("vinyetas") > 0))
            finishedAnims.push_back(entry.first);
        RelocateForExplosion();
    }
    if (record.hangarRigidState == G::RigidasHangarExplosion)
        explosionTeleportArmed = false;

    for (auto& entry : loopAnims) {
        RunningAnimation& running = entry.second;
        running.anim.Update(dt);
        ApplyPose(running, entry.first);
        if (running.anim.IsFinished()) {
            const D3DXVECTOR3 p = running.anim.position;
            const D3DXQUATERNION q = running.anim.orientation;
            running.anim.RestartFrom(p, q);
        }
    }

    if (camSequenceRunning)
        UpdateCamera(dt);

    HandleSequenceEnd(world.SkipPressed());

    for (const std::string& name : finishedAnims)
        oneShotAnims.erase(name);
    finishedAnims.clear();

    UpdateHangarStates();
    StartReadySequence();
    UpdateDockersEscape(dt);
}

void CRigidAnimManager::HandleSequenceEnd(bool skip)
{
    IRigidAnimWorld& world = World();
    G& record = getGSF();
    const int code = record.sequence;
    const int isla = record.islaSequence;
    const bool unskippable = code == G::PlayingCamHangaresLlegadaAvion || code == G::PlayingCamAvionetaNueva2 ||
                             code == G::PlayingCamAvionetaNueva3 || isla == G::PlayingCamIslaLlegadaPlaza ||
                             isla == G::PlayingCamIslaSegundaOleadaPlaza || isla == G::PlayingCamIslaOleadaAndamio;
    const bool ended = cameraTracksEnded || comboCameraEndRequested || cameraStopRequested ||
                       (skip && !comboCameraSequence && camSequenceRunning && !unskippable);
    if (!ended)
        return;
    if (skip) {
        world.StopSceneSounds();
        world.ClearSubtitles();
    }
    if (scriptedSequenceRunning) {
        oneShotAnims.clear();
        finishedAnims.clear();
        world.RestoreFov();
        world.ResumeIA();
        scriptedSequenceRunning = false;
    }
    ApplyEndTable();
    if (record.sequence != G::ReadyCamAvionetaNueva2 && record.sequence != G::ReadyCamAvionetaNueva3) {
        if (record.sequence == G::PlayingVinyetasIntro1 || record.sequence == G::PlayingVinyetasIntro2) {
            world.StopSceneSounds();
        } else {
            const std::string wave = world.CurrentWave();
            if (wave != "wave_32" && wave != "wave_33" && wave != "wave_34" && wave != "wave_37")
                world.StopOneShot();
        }
        world.ResumeAllTypical();
    }
    if (world.IsFinisherUnderWay())
        return;
    camSequenceRunning = false;
    comboCameraSequence = false;
    cameraStopRequested = false;
    comboCameraEndRequested = false;
    cameraTracksEnded = false;
    world.SetFreeCamera(false);
}

void CRigidAnimManager::ApplyEndTable()
{
    IRigidAnimWorld& world = World();
    G& record = getGSF();
    switch (record.sequence) {
    case G::PlayingVinyetasIntro1:
        if (cameraTracksEnded) {
            record.sequence = G::ReadyVinyetasIntro2;
            world.FadeOutToWhite(0.3f);
        } else {
            record.sequence = G::ReadyCamIntroHangares;
            world.FadeOutToBlack(0.5f);
        }
        return;
    case G::PlayingVinyetasIntro2:
        record.sequence = G::ReadyCamIntroHangares;
        world.FadeOutToBlack(0.5f);
        return;
    case G::PlayingCamIntroHangares:
        record.sequence = G::HangaresIntroDone;
        world.FadeOutToBlack(0.5f);
        Mission(world, 1);
        return;
    case G::PlayingCamHangaresLlegadaAvion:
        record.sequence = G::ReadyCamAvionetaNueva2;
        return;
    case G::PlayingCamAvionetaNueva2:
        record.sequence = G::ReadyCamAvionetaNueva3;
        return;
    case G::PlayingCamAvionetaNueva3:
        record.sequence = G::HangaresAvionetaDone;
        world.FadeOutToBlack(0.5f);
        Mission(world, 2);
        world.PlaySceneSounds("data/sound/flyby2.wav", 0.2f, true, "", 0.4f, false, "", 0.9f, false);
        return;
    case G::PlayingSecondMovie:
        record.sequence = G::ReadyCamEmpalado;
        world.FadeOutToBlack(0.5f);
        return;
    case G::PlayingCamEmpalado:
        record.sequence = G::HangaresEmpaladoDone;
        world.FadeOutToBlack(0.5f);
        Mission(world, 3);
        return;
    case G::PlayingCamHangar:
        record.sequence = G::ReadyVinyetasFinalHangares;
        world.FadeOutToBlack(0.5f);
        return;
    case G::PlayingVinyetasFinalHangares:
        if (record.hangaresLevel) {
            record.islaSequence = G::ReadyLevelSwitchIsla;
            world.FadeOutToBlack(0.5f);
            return;
        }
        break;
    default:
        break;
    }
    switch (record.islaSequence) {
    case G::PlayingCamIslaIntro:
        record.islaSequence = G::IslaIntroDone;
        world.ResumeAllTypical();
        world.DestroyEnemies51To53();
        world.FadeOutToBlack(0.5f);
        Mission(world, 6);
        return;
    case G::PlayingCamIslaLlegadaPlaza:
        record.islaSequence = G::IslaLlegadaPlazaDone;
        world.FadeOutToBlack(0.5f);
        Mission(world, 7);
        return;
    case G::PlayingCamIslaSegundaOleadaPlaza:
        record.islaSequence = G::IslaSegundaOleadaPlazaDone;
        world.FadeOutToBlack(0.5f);
        Mission(world, 8);
        return;
    case G::PlayingCamIslaOleadaAndamio:
        world.FadeOutToBlack(0.5f);
        Mission(world, 9);
        return;
    case G::PlayingVinyetasDockersHuye:
        world.FadeOutToBlack(0.5f);
        world.ActivateTriggerLogic("ene47_1");
        world.PlaySampleOnce("data/sound/DondeVasDockers.wav", 1.0f);
        world.ShowSubtitle("DondeVasDockers");
        world.ShowMission(10);
        return;
    case G::PlayingVinyetasPredockers:
        if (!world.IsFinisherUnderWay()) {
            Clear();
            playCam("Luz_Faro");
            world.FinalBattle();
            world.FadeOutToBlack(0.5f);
            return;
        }
        break;
    case G::PlayingMemoriam:
        record.islaSequence = G::ReadyCreditos;
        world.FadeOutToBlack(0.5f);
        return;
    case G::PlayingCreditos:
        world.ReturnToMainMenu();
        world.ResetStoryRecord();
        world.SetCheckpoint(1);
        return;
    default:
        break;
    }
    world.FadeOutToBlack(0.5f);
}

void CRigidAnimManager::UpdateHangarStates()
{
    IRigidAnimWorld& world = World();
    G& record = getGSF();
    switch (record.hangarRigidState) {
    case G::RigidasHangaresDespegueAvion:
        record.hangarRigidState = G::RigidasHangaresDespegueAvionDone;
        break;
    case G::RigidasHangaresLlegadaAvion:
        record.hangarRigidState = G::RigidasHangaresLlegadaAvionDone;
        break;
    case G::PlayingRigidaEneAvioneta:
        // The plane's loop ends once it is shot down: one of the collision
        // manager's plane counters below 0, its final stage played, which
        // ends its wave. The pistol's threes leave a counter at exactly 0
        // one hit short of that; ending there would leave the wave standing.
        if (!world.PlaneStillFlying())
            record.hangarRigidState = G::RigidaEneAvionetaDone;
        else
            CarryPlaneBox();
        break;
    case G::PlayingRigidasHangarOpen:
        record.hangarRigidState = G::RigidasHangarOpenDone;
        break;
    default:
        break;
    }
    if (record.hangarRigidState == G::RigidasHangaresLlegadaAvionDone) {
        record.hangarRigidState = G::PlayingRigidaEneAvioneta;
        play("nueva_avioneta_bucle", true);
        world.PlaceAvioneta(kAvionetaLoopCentre);
        CarryPlaneBox();
    }
}

// The plane's box goes round with the plane: shots at the body a player
// sees circling are the shots that bring it down, wherever on its loop.
void CRigidAnimManager::CarryPlaneBox()
{
    World().CarryBoxWith("col_avion_bucle", "AVION_NUEVO_CUERPO_BUCLE");
}

void CRigidAnimManager::Scripted(float fov)
{
    scriptedSequenceRunning = true;
    World().SwitchFov(fov);
}

void CRigidAnimManager::StartReadySequence()
{
    IRigidAnimWorld& world = World();
    G& record = getGSF();
    switch (record.sequence) {
    case G::ReadyVinyetasIntro1:
        world.LeaveMenu();
        play("vinyetas_intro1", false);
        playCam("vinyetas_intro1");
        Scripted(kFov35);
        world.FreezeIA();
        world.PauseAllTypical();
        world.PlaySceneSounds("data/sound/comicIntro.ogg", 0.8f, true, "data/sound/lluvia.ogg", 0.4f, true,
                              "data/sound/intro_1+2.ogg", 0.9f, true);
        world.ShowSubtitle("intro_1+2");
        record.sequence = G::PlayingVinyetasIntro1;
        return;
    case G::ReadyVinyetasIntro2:
        play("vinyetas_intro2", false);
        playCam("vinyetas_intro2");
        Scripted(kFov35);
        world.FreezeIA();
        record.sequence = G::PlayingVinyetasIntro2;
        return;
    case G::ReadyCamIntroHangares:
        playCam("camara_intro_hangares");
        world.StopSceneSounds();
        SceneSound(world, "data/sound/intro_3++.ogg", 1.0f);
        world.ShowSubtitle("intro_3++");
        record.sequence = G::PlayingCamIntroHangares;
        world.ResumeAllTypical();
        world.ResumeIA();
        world.ActivateTriggerLogic("enemiesTravellingCamera");
        return;
    case G::ReadyCamAvionetaNueva2:
        playCam("camara_avioneta_nueva2");
        record.sequence = G::PlayingCamAvionetaNueva2;
        return;
    case G::ReadyCamAvionetaNueva3:
        playCam("camara_avioneta_nueva3");
        cameraSpeedModifier = 0.7f;
        world.SetNewZone("room01", "wave_04");
        world.ActivateTriggerLogic("ene7_1");
        world.ActivateTriggerLogic("Wave5");
        record.sequence = G::PlayingCamAvionetaNueva3;
        return;
    case G::ReadyCamEmpalado:
        playCam("camara_empalado");
        cameraSpeedModifier = 0.5f;
        record.sequence = G::PlayingCamEmpalado;
        world.StoreForCheckpoint();
        world.SetCheckpoint(2);
        return;
    case G::ReadyVinyetasFinalHangares:
        Clear();
        world.StopSceneSounds();
        SceneSound(world, "data/sound/vinyetas_isla.ogg", 1.0f);
        world.ShowSubtitle("vinyetas_isla");
        play("vinyetas_final_hangares", false);
        playCam("vinyetas_final_hangares");
        Scripted(kFov35);
        world.FreezeIA();
        record.sequence = G::PlayingVinyetasFinalHangares;
        return;
    default:
        break;
    }
    switch (record.islaSequence) {
    case G::ReadyCamIslaIntro:
        if (record.hangaresLevel)
            return;
        world.ActivateTriggerLogic("enemiesTravellingCameraIsla");
        world.StopSceneSounds();
        world.PauseAllTypical();
        world.PlaySceneSounds("data/sound/ZvIntroFaro.ogg", 1.0f, true, "data/sound/introIsla.ogg", 1.0f, true, "",
                              1.0f, false);
        world.ShowSubtitle("ZvIntroFaro");
        Clear();
        // Only a restart at the island's first checkpoint comes this way, and
        // it has just lit the lighthouse: keep it turning through the flight.
        play("Luz_Faro", true);
        record.islaSequence = G::PlayingCamIslaIntro;
        playCam("camara_isla_intro");
        return;
    case G::ReadyCreditos:
        play("creditos", false);
        playCam("creditos");
        scriptedSequenceRunning = true;
        world.StopSceneSounds();
        world.PauseAllTypical();
        world.PlaySceneSounds("data/sound/CheekToCheek.ogg", 1.0f, true, "", 0.0f, false, "", 0.0f, false);
        world.SwitchFov(kFov55);
        record.islaSequence = G::PlayingCreditos;
        world.FreezeIA();
        return;
    case G::ReadyCamIslaVinyetasIntroLucha:
        scriptedSequenceRunning = true;
        play("vinyetas_predockers", false);
        playCam("vinyetas_predockers");
        world.SwitchFov(kFov55);
        record.islaSequence = G::PlayingVinyetasPredockers;
        return;
    case G::ReadyMemoriam:
        world.PauseAllTypical();
        scriptedSequenceRunning = true;
        play("Memoriam", false);
        playCam("Memoriam");
        world.SwitchFov(kFov55);
        record.islaSequence = G::PlayingMemoriam;
        world.PlaySceneSounds("data/sound/final_juego.ogg", 1.0f, true, "", 0.0f, false, "", 0.0f, false);
        world.ShowSubtitle("final_juego");
        return;
    default:
        break;
    }
}

void CRigidAnimManager::UpdateDockersEscape(float dt)
{
    if (dockersEscapeStage != 1)
        return;
    IRigidAnimWorld& world = World();
    dockersTimer += dt;
    if (!(dockersTimer > 4.0f && (world.IsDocker3Done() || world.CurrentWave() == "wave_35")))
        return;
    dockersEscapeStage = 2;
    dockersTimer = 0.0f;
    getGSF().islaSequence = G::PlayingVinyetasDockersHuye;
    world.ReleaseHeroToFree();
    const D3DXVECTOR3 spot(-2297.4f, 375.0f, -163.31f);
    world.SetHeroEntity(spot, -0.51f);
    world.SetHeroBody(spot);
    world.SetCheckpoint(5);
    play("vinyetas_dockers_huye", false);
    playCam("vinyetas_dockers_huye");
    scriptedSequenceRunning = true;
    world.StopSceneSounds();
    world.PlaySceneSounds("data/sound/cubridme.ogg", 1.0f, true, "data/sound/DondeVasDockers.wav", 1.0f, true, "",
                          0.0f, false);
    world.ShowSubtitle("cubridme");
    world.ActivateTriggerLogic("ene47_1");
    world.SwitchFov(kFov50);
    world.FreezeIA();
}
