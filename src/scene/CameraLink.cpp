// The camera's link to the rest of the game: the hero it follows and steers,
// the enemies it locks onto, the physics bodies it moves and the input that
// turns it.
#include "scene/Camera.h"

#include "app/GameStateFlags.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "input/InputManager.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/IController.h"
#include "player/ParapetedController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/RigidAnimManager.h"
#include "world/CollisionManager.h"
#include "world/Parapet.h"

namespace {

// A line of sight is a thin sphere, so that a grazed edge counts as seen.
constexpr float kSightRadius = 1.0f;
// The hero looks for a soldier from his eyes to the soldier's chest.
constexpr float kHeroEyes = 65.0f;
constexpr float kSoldierChest = 55.0f;

// Nothing of the level stands between the hero's eyes and the soldier: the
// lock turns the view onto no one hidden behind a wall or under the floor.
bool HeroSees(const D3DXVECTOR3& soldier)
{
    const D3DXVECTOR3 eyes = getPlayer()->GetPosition().GetPosition() + D3DXVECTOR3(0.0f, kHeroEyes, 0.0f);
    return getCollisionManager().SweepSphere(eyes, soldier + D3DXVECTOR3(0.0f, kSoldierChest, 0.0f),
                                             kSightRadius) >= 1.0f;
}

// The plane's gunner keeps his post at the middle of its loop, where
// nothing is drawn: locked there, the view settled on empty sky beside the
// plane. While the loop plays the lock aims at the plane's body, whose box
// takes the shots, seen up to its skin (the sight would meet the box itself).
const char* const kPlaneGunner = "ene_Avioneta";
const char* const kPlaneBox = "col_avion_bucle";
constexpr float kPlaneSkin = 260.0f;

// The point the lock aims at lies the soldier's chest height over the one
// given back, as his chest lies over his feet. False when the hero cannot
// see it.
bool LockPoint(CEnemy* enemy, D3DXVECTOR3* feet)
{
    const D3DXVECTOR3 chest(0.0f, kSoldierChest, 0.0f);
    if (enemy->GetName() == kPlaneGunner && getGSF().isPlayingRigidaEneAvioneta()) {
        D3DXVECTOR3 centre;
        if (!getCollisionManager().StaticBodyCentre(kPlaneBox, &centre))
            return false;
        const D3DXVECTOR3 eyes = getPlayer()->GetPosition().GetPosition() + D3DXVECTOR3(0.0f, kHeroEyes, 0.0f);
        const D3DXVECTOR3 way = centre - eyes;
        const float length = D3DXVec3Length(&way);
        *feet = centre - chest;
        return length <= kPlaneSkin ||
               getCollisionManager().SweepSphere(eyes, eyes + way * ((length - kPlaneSkin) / length), kSightRadius) >=
                   1.0f;
    }
    *feet = enemy->GetPosition().GetPosition();
    return HeroSees(*feet);
}

// The parapet's line runs a little out from the face of its crate or
// barrier: back from it to the face at knee height, then straight down
// onto the top just behind the face.
void ReadParapetTop(const TParapet& parapet, CameraHeroState* state)
{
    CCollisionManager& physics = getCollisionManager();
    const D3DXVECTOR3 knee = parapet.transform.GetPosition() + D3DXVECTOR3(0.0f, 20.0f, 0.0f);
    const RayHit face = physics.CastRay(knee, knee - parapet.facing * 100.0f);
    if (!face.hit)
        return;
    const D3DXVECTOR3 inside = face.hitPoint - parapet.facing * 5.0f;
    const RayHit top =
        physics.CastRay(inside + D3DXVECTOR3(0.0f, 400.0f, 0.0f), inside - D3DXVECTOR3(0.0f, 25.0f, 0.0f));
    state->hasParapetTop = top.hit && top.name == face.name;
    state->parapetTop = top.hitPoint.y;
}

class CGameCameraWorld : public ICameraWorld {
public:
    CameraHeroState ReadHero() override
    {
        CameraHeroState state;
        CPlayer* hero = getPlayer();
        CLocation& placement = hero->GetPosition();
        state.position = placement.GetPosition();
        state.yaw = placement.GetYaw();
        state.walkSpeed = hero->GetStep();
        state.aimSpeed = hero->GetStepAiming();
        if (IController* controller = hero->GetController())
            state.stateCode = controller->GetStateCode();
        if (const IWeapon* weapon = hero->GetCurrentWeapon())
            state.weaponName = weapon->GetName();
        if (const CControllerSelector* selector = hero->GetControllerSelector()) {
            state.selectorState = selector->GetStateName();
            state.peeking = selector->IsPeeking();
            state.readyToShoot = selector->IsReadyToShoot();
            state.fighting = selector->IsFighting();
            // The status flag: the first flag of the controller in charge,
            // a roll under way or a shot that just left.
            const IController* current = selector->GetCurrent();
            if (current == selector->GetFreeController())
                state.controllerBusy = selector->GetFreeController()->IsRolling();
            else if (current == selector->GetAimingController())
                state.controllerBusy = selector->GetAimingController()->IsReadyToShoot();
            CParapetedController* cover = selector->GetParapetedController();
            if (cover && current == cover) {
                state.controllerBusy = cover->IsReadyToShoot();
                if (const TParapet* parapet = cover->GetCurrentParapet()) {
                    state.hasParapet = true;
                    state.lowCover = cover->IsLowCover();
                    state.parapetYaw = parapet->transform.GetYaw();
                    state.parapetStart = parapet->pt_ini;
                    state.parapetEnd = parapet->pt_fin;
                    ReadParapetTop(*parapet, &state);
                }
            }
        }
        const CCameraController& keys = getCameraController();
        state.forward = keys.forwardHeld;
        state.back = keys.backHeld;
        state.left = keys.leftHeld;
        state.right = keys.rightHeld;
        return state;
    }

    CameraInputState ReadInput() override
    {
        CameraInputState input;
        CInputManager* manager = getInputManager();
        // The manager hands out a copy: keep it alive while its state is read.
        const CMouse mouseDevice = manager->GetMouseState();
        const DIMOUSESTATE& mouse = mouseDevice.GetCurrentState();
        input.mouseX = static_cast<float>(mouse.lX);
        input.mouseY = static_cast<float>(mouse.lY);
        input.padConnected = manager->IsGamepadConnected();
        if (input.padConnected) {
            const CGamepad pad = manager->GetGamepadState();
            input.rightStickX = pad.GetRightStickX();
            input.rightStickY = pad.GetRightStickY();
            input.leftStickX = pad.GetLeftStickX();
            input.leftStickY = pad.GetLeftStickY();
        }
        return input;
    }

    bool IsAction(const std::string& name) override { return getInputManager()->IsAction(name); }

    bool IsScriptedSequenceRunning() override { return getRigid()->scriptedSequenceRunning; }

    void SetHeroYaw(float yaw) override { getPlayer()->GetPosition().SetYaw(yaw); }

    void WalkHero(const D3DXVECTOR3& step) override
    {
        getCollisionManager().SetPlayerWalkDirection(step.x, step.y, step.z);
    }

    void WalkCamera(const D3DXVECTOR3& step) override
    {
        getCollisionManager().SetCameraWalkDirection(step.x, step.y, step.z);
    }

    float ClearReach(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
    {
        return getCollisionManager().CameraReach(from, to);
    }

    bool Sees(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
    {
        return getCollisionManager().SweepSphere(from, to, kSightRadius) >= 1.0f;
    }

    void PlaceCamera(const D3DXVECTOR3& eye) override { getCollisionManager().WarpCamera(eye); }

    // Walking toward pt_fin the next parapet must start where this one ends,
    // and the other way round.
    bool SelectAdjacentParapet(bool towardEnd) override
    {
        const CControllerSelector* selector = getPlayer()->GetControllerSelector();
        CParapetedController* cover = selector ? selector->GetParapetedController() : nullptr;
        if (!cover)
            return false;
        return towardEnd ? cover->SelectAdjacentParapetAtStart() : cover->SelectAdjacentParapetAtEnd();
    }

    bool NextAimTarget(const std::string& current, std::string* name, D3DXVECTOR3* position) override
    {
        CEnemy* enemy = getEnemyManager()->GetNearestTrackedEnemy(
            current, [](CEnemy* soldier) {
                D3DXVECTOR3 feet;
                return LockPoint(soldier, &feet);
            });
        if (!enemy)
            return false;
        *name = enemy->GetName();
        return LockPoint(enemy, position);
    }

    bool FindLiveTarget(const std::string& name, D3DXVECTOR3* position) override
    {
        CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave(name);
        if (!enemy || enemy->getIA()->GetState() == CIAEnemyCover::DEAD)
            return false;
        return LockPoint(enemy, position);
    }
};

} // namespace

ICameraWorld& getGameCameraWorld()
{
    static CGameCameraWorld world;
    return world;
}
