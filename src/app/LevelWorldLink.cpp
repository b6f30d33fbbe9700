// The level restart's link to the rest of the game.
#include "app/LevelPictures.h"
#include "app/LevelRestart.h"
#include "app/Startup.h"
#include "enemies/EnemyManager.h"
#include "gui/Subtitles.h"
#include "player/HeroPoses.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/Entity3D.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace {

class CGameLevelWorld : public ILevelWorld {
public:
    void StopSceneSounds() override { getSoundManager().StopSceneSounds(); }
    void PauseAllTypical() override { getSoundManager().pauseAllTypical(); }
    void ResumeAllTypical() override { getSoundManager().ResumeAllTypical(); }
    void Mute() override { getSoundManager().Mute(); }
    void Unmute() override { getSoundManager().Unmute(); }
    void PlayRadioHangar() override { getSoundManager().PlayRadioHangar(); }
    void PlayRadioIsland() override { getSoundManager().PlayRadioIsland(); }
    void PlaySampleOnce(const std::string& file, float volume) override
    {
        getSoundManager().playThisSampleOnce(file, volume);
    }
    void PlaySceneSounds(const std::string& file1, float volume1, bool on1, const std::string& file2, float volume2,
                         bool on2, const std::string& file3, float volume3, bool on3) override
    {
        getSoundManager().playThisSceneSound(file1, volume1, on1, file2, volume2, on2, file3, volume3, on3);
    }
    void ShowSubtitle(const std::string& key) override { getSubtitulos().showSubtitulo(key); }

    void ResetWaves() override { getEnemyManager()->ResetWaves(); }
    std::string CurrentWave() override { return getEnemyManager()->GetCurrentWave(); }
    void KillWave(const std::string& wave) override { getEnemyManager()->killThisWave(wave); }
    void SetNewZone(const std::string& room, const std::string& wave) override
    {
        getEnemyManager()->setNewZone(room, wave);
    }
    void ResetTriggers() override { getTriggerManager().Reset(); }

    void ResetParticles(bool ambient) override
    {
        if (ambient)
            getParticleManager().ResetWithAmbient();
        else
            getParticleManager().Reset();
    }
    void CreateEmitter(const std::string& type, const D3DXVECTOR3& position) override
    {
        getParticleManager().CreateEmitter(getParticleTypes().FindSystemType(type), position,
                                           D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    }

    void ClearRigidAnims() override { getRigid()->Clear(); }
    void ResetRigidAnims() override { getRigid()->Reset(); }
    void PlayRigid(const std::string& name, bool loop) override { getRigid()->play(name, loop); }
    void PlayCam(const std::string& name) override { getRigid()->playCam(name); }

    void LoadLevel(const std::string& level) override
    {
        getCollisionManager().LoadNewScenario(level);
        getScenario()->SelectScenario(level);
    }
    void SetupScene() override
    {
        getSceneManager().Setup();
        HoldCurrentLevelPictures();
    }
    void RemoveCollisionBody(const std::string& name) override { getCollisionManager().RemoveStaticBody(name); }
    void SetRemainingHits(int hits) override { getCollisionManager().hangarHits = hits; }
    void ForgetHangarFire() override { getSceneManager().ForgetHangarFire(); }
    void ResetParapets() override { getScenario()->ResetParapets(); }
    void RestoreStartMatrix(const std::string& name) override
    {
        IEntidad3D* entity = getSceneManager().FindEntity(name);
        const D3DXMATRIX* start = getRigid()->GetStartMatrix(name);
        if (entity && start)
            entity->GetTransform().SetMatrix(*start);
    }

    void LoadCamera(const D3DXVECTOR3& hero) override { getCamera().LoadValues(hero.x, hero.y, hero.z, D3DDevice); }
    void SetCameraYaw(float yaw) override { getCamera().SetYaw(yaw); }

    void ReleaseHero() override { ReleaseHeroToFree(*getPlayer()); }
    void HeroIdle() override { BlendHeroIdle(*getPlayer()); }
    void CreateWeapons() override { getPlayer()->CreateWeapons(); }
    void RestoreCheckpointAmmo() override { getPlayer()->RestoreCheckpoint(); }
    void SetHeroBody(const D3DXVECTOR3& position) override { getCollisionManager().setNewPlayerPosition(position); }
};

} // namespace

ILevelWorld& getGameLevelWorld()
{
    static CGameLevelWorld world;
    return world;
}
