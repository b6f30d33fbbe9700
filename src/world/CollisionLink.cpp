// The physics' link to the game: the hero it carries, the enemies of the
// current wave and the camera whose eye rides its own body.
#include "world/CollisionManager.h"

#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "player/IController.h"
#include "scene/CharacterEntity.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"

namespace {

class CGameCollisionWorld : public ICollisionWorld {
public:
    D3DXVECTOR3 HeroPosition() override { return getPlayer()->GetPosition().GetPosition(); }
    void SetHeroPosition(const D3DXVECTOR3& feet) override { getPlayer()->GetPosition().SetPosition(feet); }
    float HeroYaw() override { return getPlayer()->GetPosition().GetYaw(); }

    int HeroStateCode() override
    {
        IController* controller = getPlayer()->GetController();
        return controller ? controller->GetStateCode() : 0;
    }

    bool HeroBone(const std::string& bone, D3DXMATRIX* matrix) override
    {
        const CCharacterEntity* body = getPlayer()->GetEntity();
        if (!body)
            return false;
        // Asked before the lookup so that a model without the bone is quietly
        // left alone rather than reported every frame.
        const auto& anchors = body->GetCoreModelInfo()->anchors;
        const auto found = anchors.find(bone);
        if (found == anchors.end() || found->second < 0)
            return false;
        *matrix = body->GetBoneMatrix(bone);
        return true;
    }

    void SetCameraEye(const D3DXVECTOR3& eye) override
    {
        CCamera& camera = getCamera();
        camera.SetPosition(eye);
        camera.ApplyView();
    }

    void CameraView(D3DXVECTOR3* eye, D3DXVECTOR3* lookAt) override
    {
        const CCamera& camera = getCamera();
        *eye = camera.GetPosition();
        *lookAt = camera.GetLookAt();
    }

    std::vector<WaveEnemy> CurrentWave() override
    {
        std::vector<WaveEnemy> wave;
        for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies())
            if (!entry.second->getIA()->IsDestroyed())
                wave.push_back({entry.first, entry.second->GetName(), entry.second->GetPosition().GetPosition()});
        return wave;
    }

    bool FindEnemy(const std::string& name, EnemyState* state) override
    {
        CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave(name);
        if (!enemy)
            return false;
        state->position = enemy->GetPosition().GetPosition();
        state->yaw = enemy->GetPosition().GetYaw();
        CIAEnemyCover* ai = enemy->getIA();
        state->animationMoves = ai->GetState() == CIAEnemyCover::JUMPING_COVER || ai->GetFinisherFlag();
        return true;
    }

    void SetEnemyPosition(const std::string& name, const D3DXVECTOR3& feet) override
    {
        if (CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave(name)) {
            enemy->GetPosition().SetPosition(feet);
            enemy->PlaceEntity();
        }
    }

    bool EnemyBone(const std::string& name, const std::string& bone, D3DXMATRIX* matrix) override
    {
        CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave(name);
        if (!enemy || !enemy->GetEntity())
            return false;
        *matrix = enemy->GetEntity()->GetBoneMatrix(bone);
        return true;
    }
};

} // namespace

ICollisionWorld& getGameCollisionWorld()
{
    static CGameCollisionWorld world;
    return world;
}
