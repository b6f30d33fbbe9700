// The rigid animations' and the story's link to the rest of the game.
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "input/InputManager.h"
#include "app/GameStateFlags.h"
#include "platform/dinput.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Controllers.h"
#include "player/HeroPoses.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/Entity3D.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace {

class CGameRigidAnimWorld : public IRigidAnimWorld {
public:
    CLocation* FindEntity(const std::string& name) override
    {
        IEntidad3D* entity = getSceneManager().FindEntity(name);
        return entity ? &entity->GetTransform() : nullptr;
    }
    bool HasMesh(const std::string& name) override { return getScenario()->HasObject(name); }

    void FadeOutToBlack(float seconds) override { getGUI().FadeOutToBlack(seconds); }
    void FadeOutToWhite(float seconds) override { getGUI().FadeOutToWhite(seconds); }
    void FadeInFromBlack(float seconds) override { getGUI().FadeInFromBlack(seconds); }
    void FadeInFromWhite(float seconds) override { getGUI().FadeInFromWhite(seconds); }
    bool IsFadingIn() override { return getGUI().fadeIn; }
    void ShowMission(int n) override { getGUI().showMission(n); }
    // The main menu's cursor is taken off Exit, so that a Return pressed in
    // a hurry after the credits does not quit.
    void ReturnToMainMenu() override
    {
        getGUI().mainMenuActive = true;
        getGUI().itemExit = false;
    }

    void PlaySampleOnce(const std::string& file, float volume) override
    {
        getSoundManager().playThisSampleOnce(file, volume);
    }
    void PlaySceneSounds(const std::string& file1, float volume1, bool on1, const std::string& file2, float volume2,
                         bool on2, const std::string& file3, float volume3, bool on3) override
    {
        getSoundManager().playThisSceneSound(file1, volume1, on1, file2, volume2, on2, file3, volume3, on3);
    }
    void StopSceneSounds() override { getSoundManager().StopSceneSounds(); }
    void StopOneShot() override { getSoundManager().StopOneShot(); }
    void PauseAllTypical() override { getSoundManager().pauseAllTypical(); }
    void ResumeAllTypical() override { getSoundManager().ResumeAllTypical(); }
    void LeaveMenu() override { getSoundManager().LeaveMenu(); }
    void ShowSubtitle(const std::string& key) override { getSubtitulos().showSubtitulo(key); }
    void ClearSubtitles() override { getSubtitulos().ClearLines(); }

    bool SkipPressed() override
    {
        CInputManager* input = getInputManager();
        const CKeyboard keyboard = input->GetKeyboardState();
        if (keyboard.IsKeyJustPressed(DIK_SPACE))
            return true;
        return input->IsGamepadConnected() && input->GetGamepadState().IsAJustPressed();
    }

    void FreezeIA() override { getEnemyManager()->freezeIA(); }
    void ResumeIA() override { getEnemyManager()->resumeIA(); }
    std::string CurrentWave() override { return getEnemyManager()->GetCurrentWave(); }
    void SetNewZone(const std::string& room, const std::string& wave) override
    {
        getEnemyManager()->setNewZone(room, wave);
    }
    void DestroyEnemies51To53() override { getEnemyManager()->DestroyEnemies51To53(); }
    void FinalBattle() override { getEnemyManager()->FinalBattle(); }
    bool PlaceAvioneta(const D3DXVECTOR3& position) override
    {
        CEnemy* plane = getEnemyManager()->getThisBotOfCurrentWave("ene_Avioneta");
        if (!plane)
            return false;
        plane->GetPosition().SetPosition(position);
        plane->getIA()->EnterAimingThompson();
        return true;
    }
    bool IsDocker3Done() override
    {
        CEnemy* docker = getEnemyManager()->getThisBotOfCurrentWave("ene_Dockers3");
        return docker && docker->getIA()->IsDockerDone();
    }
    bool PlaneStillFlying() override
    {
        const CCollisionManager& collisions = getCollisionManager();
        return collisions.planeHits >= 0 && collisions.tankHits >= 0;
    }
    void CarryBoxWith(const std::string& box, const std::string& object) override
    {
        if (IEntidad3D* entity = getSceneManager().FindEntity(object))
            getCollisionManager().CarryStaticBody(box, entity->GetTransform().GetMatrix());
    }

    bool IsFinisherUnderWay() override
    {
        const CControllerSelector* selector = getPlayer()->GetControllerSelector();
        const CFightingController* fight = selector ? selector->GetFightingController() : nullptr;
        return fight && fight->IsFinisherMode();
    }
    bool IsHeroFighting() override
    {
        const CControllerSelector* selector = getPlayer()->GetControllerSelector();
        return selector && selector->IsFighting();
    }
    void ForgetFireHeld() override { ForgetHeroFireHeld(*getPlayer()); }
    void RefillLife() override { getPlayer()->RefillLife(); }
    D3DXVECTOR3 HeroPosition() override { return getPlayer()->GetPosition().GetPosition(); }
    float HeroYaw() override { return getPlayer()->GetPosition().GetYaw(); }
    void SetHeroYaw(float yaw) override { getPlayer()->GetPosition().SetYaw(yaw); }
    void SetHeroBody(const D3DXVECTOR3& position) override { getCollisionManager().setNewPlayerPosition(position); }
    void SetHeroEntity(const D3DXVECTOR3& position, float yaw) override
    {
        CLocation& placement = getPlayer()->GetPosition();
        placement.SetPosition(position);
        placement.SetYaw(yaw);
    }
    bool IsExplosionRelocated() override { return getPlayer()->explosionRelocated; }
    void SetExplosionRelocated() override { getPlayer()->explosionRelocated = true; }
    void BlendLowCoverIdle(float weight, float delay, bool clearFirst) override
    {
        BlendHeroLowCoverIdle(*getPlayer(), weight, delay, clearFirst);
    }
    void SwitchToParapeted(int parapet, const D3DXVECTOR3& point) override
    {
        if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
            selector->SwitchToParapeted(static_cast<std::uint16_t>(parapet), point.x, point.y, point.z);
    }
    void ReleaseHeroToFree() override { ::ReleaseHeroToFree(*getPlayer()); }
    void StoreForCheckpoint() override { getPlayer()->storeForCHECKPOINT(); }
    void SetCheckpoint(int n) override { getTriggerManager().checkpoint = n; }
    void ActivateTriggerLogic(const std::string& name) override
    {
        getTriggerManager().getTriggerLogicByName(name)->active = true;
    }
    void ResetStoryRecord() override { getGSF().resetStates(); }

    void SetFreeCamera(bool on) override { getCamera().SetFreeCamera(on); }
    CLightCamera& FlightCamera() override { return getCamera().GetFlightCamera(); }
    float CameraReach(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
    {
        return getCollisionManager().CameraReach(from, to);
    }
    void SwitchFov(float fov) override
    {
        CCamera& camera = getCamera();
        camera.SetSavedFov(camera.GetFov());
        camera.SetFov(fov);
    }
    void RestoreFov() override
    {
        CCamera& camera = getCamera();
        camera.SetFov(camera.GetSavedFov());
    }
};

} // namespace

IRigidAnimWorld& getGameRigidAnimWorld()
{
    static CGameRigidAnimWorld world;
    return world;
}
