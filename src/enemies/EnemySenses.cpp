#include "enemies/EnemySenses.h"

#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"

namespace {

class CGameEnemySenses : public IEnemySenses {
public:
    CLocation HeroPlacement() override { return getPlayer()->GetPosition(); }
    bool HeroDead() override { return Selector() && Selector()->IsPlayerDead(); }
    bool HeroFighting() override { return Selector() && Selector()->IsFighting(); }
    bool HeroInCover() override { return Selector() && Selector()->IsParapeted(); }
    bool HeroReadyToShoot() override { return Selector() && Selector()->IsReadyToShoot(); }
    bool HeroJumpingCover() override { return Selector() && Selector()->IsJumpingParapet(); }

    bool HeroWasHit() override
    {
        IController* controller = getPlayer()->GetController();
        return controller && controller->WasHit();
    }

    std::string HeroWeaponName() override
    {
        const IWeapon* weapon = getPlayer()->GetCurrentWeapon();
        return weapon ? weapon->GetName() : "";
    }

    void StopHeroAction() override
    {
        if (CCharacterEntity* entity = getPlayer()->GetEntity())
            entity->RemoveAction();
    }

    bool RayBlocked(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
    {
        return getCollisionManager().CastRay(from, to).hit;
    }

    std::vector<TParapet*> Parapets() override { return getScenario()->GetParapets(); }

private:
    // A hero still loading has no selector: he is neither dead nor anything else.
    static CControllerSelector* Selector() { return getPlayer()->GetControllerSelector(); }
};

IEnemySenses* g_Senses = nullptr;

} // namespace

char IEnemySenses::NextHeroFightLetter()
{
    return getPlayer()->CycleWeaponSlot();
}

void IEnemySenses::HeroStartsFight(CEnemy* opponent, int kind)
{
    if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
        selector->SwitchToFighting(opponent, kind);
}

void IEnemySenses::HeroFaces(const D3DXVECTOR3& point)
{
    if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
        selector->FacePoint(point.x, point.y, point.z);
}

IEnemySenses& getEnemySenses()
{
    static CGameEnemySenses game;
    return g_Senses ? *g_Senses : game;
}

void SetEnemySenses(IEnemySenses* senses)
{
    g_Senses = senses;
}
