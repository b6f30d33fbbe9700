#include "app/GameCalls.h"

#include "app/FrameRender.h"
#include "app/FrameUpdate.h"
#include "app/GameStateFlags.h"
#include "app/LevelPictures.h"
#include "app/LevelRestart.h"
#include "app/Startup.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "gui/MissionText.h"
#include "gui/Subtitles.h"
#include "input/InputManager.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "player/WeaponPickups.h"
#include "scene/Camera.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace {

CGameCalls* g_Installed = nullptr;

} // namespace

CGameCalls& GetGameCalls()
{
    static CGameCalls gameCalls;
    return g_Installed ? *g_Installed : gameCalls;
}

void SetGameCalls(CGameCalls* calls)
{
    g_Installed = calls;
}

void CGameCalls::RestartLevel(bool newGame)
{
    ::RestartLevel(newGame);
}

void CGameCalls::AddPlayTime(float dt)
{
    getAchievementStats().playTime += dt;
    CheckAchievements();
}

void CGameCalls::UpdateSceneManager(float dt)
{
    getSceneManager().Update(dt);
}

void CGameCalls::UpdateInput()
{
    getInputManager()->Update();
}

void CGameCalls::UpdateCamera(float dt)
{
    getCamera().Update(dt);
}

void CGameCalls::UpdateEnemies(float dt)
{
    getEnemyManager()->Update(dt);
}

void CGameCalls::UpdateProjectiles(float dt)
{
    getProjectileManager().Update(dt);
}

void CGameCalls::UpdateParticles(float dt)
{
    getParticleManager().Update(dt);
}

void CGameCalls::UpdateMissionText(float dt)
{
    getMissionText().Update(dt);
}

void CGameCalls::UpdateCollisions(float dt)
{
    getCollisionManager().Update(dt);
}

void CGameCalls::UpdatePlayer(float dt)
{
    getPlayer()->Update(dt);
}

void CGameCalls::UpdateSound(float dt)
{
    getSoundManager().Update(dt);
}

void CGameCalls::UpdatePickups(float dt)
{
    getWeaponPickups().Update(dt);
}

void CGameCalls::UpdateSubtitles(float dt)
{
    getSubtitulos().Update(dt);
}

void CGameCalls::UpdateTriggers(float dt)
{
    getTriggerManager().Update(dt);
}

void CGameCalls::SwitchLevelToIsla()
{
    ::SwitchLevelToIsla();
}

void CGameCalls::UpdateRigidAnims(float dt)
{
    getRigid()->Update(dt);
}

void CGameCalls::UpdateGUI(float dt)
{
    getGUI().Update(dt);
}

void CGameCalls::UpdateFrustum()
{
    getCamera().UpdateFrustum();
}

void CGameCalls::UpdateMainMenu(float dt)
{
    getGUI().UpdateMainMenu(dt);
}

void CGameCalls::UpdateFrame(float dt)
{
    ::UpdateFrame(dt);
}

void CGameCalls::RenderFrame(float dt)
{
    ::RenderFrame(dt);
}

void CGameCalls::ResetManagers()
{
    CSoundManager& sound = getSoundManager();
    sound.pauseAllTypical();
    sound.Mute();
    getEnemyManager()->ResetWaves();
    getTriggerManager().Reset();
    getParticleManager().ResetWithAmbient();
    getRigid()->Clear();
    getCollisionManager().LoadNewScenario("hangares");
    getScenario()->SelectScenario("hangares");
    getSceneManager().Setup();
    HoldCurrentLevelPictures();
    getTriggerManager().currentZone = 1;
    getRigid()->Reset();
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    getCamera().LoadValues(hero.x, hero.y, hero.z, D3DDevice);
    sound.Unmute();
    getPlayer()->CreateWeapons();
    getGSF().resetStates();
}
