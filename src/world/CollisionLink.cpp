// The physics' link to the game: the hero it carries, the enemies of the
// current wave and the camera whose eye rides its own body.
#include "world/CollisionManager.h"

#include "player/IController.h"
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

    // The enemy manager keeps no wave table yet: no enemy gets a body.
    std::vector<WaveEnemy> CurrentWave() override { return {}; }
    bool FindEnemy(const std::string& name, EnemyState* state) override { return false; }
    void SetEnemyPosition(const std::string& name, const D3DXVECTOR3& feet) override {}
    bool EnemyBone(const std::string& name, const std::string& bone, D3DXMATRIX* matrix) override { return false; }
};

} // namespace

ICollisionWorld& getGameCollisionWorld()
{
    static CGameCollisionWorld world;
    return world;
}
