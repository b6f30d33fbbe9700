#include "player/Player.h"

#include <algorithm>
#include <iterator>

#include <cal3d/cal3d.h>

#include "gui/Achievements.h"
#include "math/VectorMath.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/IController.h"
#include "player/Weapon.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

namespace {

constexpr float kHalfPi = 1.5707964f;

// Life after a loss, worked in int so a loss beyond 32767 cannot wrap round.
short LifeAfter(short life, std::uint16_t loss)
{
    const int left = static_cast<int>(life) - static_cast<int>(loss);
    return static_cast<short>(left < 0 ? 0 : left);
}

} // namespace

D3DXVECTOR3 GroundStep(float yaw, const float travel[3])
{
    const D3DXVECTOR3 ahead = DirectionFromYaw(yaw);
    const D3DXVECTOR3 side = DirectionFromYaw(WrapAngle(yaw - kHalfPi));
    return D3DXVECTOR3(ahead.x * travel[2] + side.x * travel[0], 0.0f, ahead.z * travel[2] + side.z * travel[0]);
}

CPlayer::CPlayer()
{
    // The library must outlive the hero's body, so it is made first.
    getModelsManager();
    m_Life = 350;
    m_TopLife = 350;
    m_Step = 200.0f;
    m_Turn = 8.0f;
    m_StepAiming = 100.0f;
}

CPlayer::~CPlayer()
{
    // At the process's end the scene may be gone before the hero: his body is
    // freed without asking it.
    DeleteWeapons();
    delete m_ControllerSelector;
    delete m_Entity;
}

void CPlayer::Release()
{
    DeleteWeapons();
    delete m_ControllerSelector;
    m_ControllerSelector = nullptr;
    ForgetEntity();
}

// The body leaves the scene's lists before it is freed: a frame drawn before
// the next body is handed over would read it.
void CPlayer::ForgetEntity()
{
    if (m_Entity)
        getSceneManager().ForgetObject(m_Entity);
    delete m_Entity;
    m_Entity = nullptr;
}

void CPlayer::Init()
{
    ForgetEntity();
    m_Entity = getModelsManager().CreateModelInstance("Zorvath");
    CreateWeapons();
    delete m_ControllerSelector;
    m_ControllerSelector = new CControllerSelector();
    GetPosition().SetYaw(kHalfPi);
    // A start in a process that already played hands out its fights from the
    // first, as the hero just built does.
    m_FightVariant = '1';
    // Nor does its first restart give back the rounds and weapons a run
    // before it kept at its last checkpoint.
    std::fill(std::begin(m_Checkpoint), std::end(m_Checkpoint), std::uint16_t{0});
}

void CPlayer::DeleteWeapons()
{
    delete m_Gun;
    delete m_Thompson;
    delete m_Shotgun;
    m_Gun = nullptr;
    m_Thompson = nullptr;
    m_Shotgun = nullptr;
    m_CurrentWeapon = nullptr;
}

void CPlayer::CreateWeapons()
{
    DeleteWeapons();
    m_Gun = new CGun();
    m_Thompson = new CThompson();
    m_Shotgun = new CShotgun();
    m_Gun->playerOwned = true;
    m_Thompson->playerOwned = true;
    m_Shotgun->playerOwned = true;
    m_CurrentWeapon = m_Gun;
    m_HasThompson = false;
    m_HasShotgun = false;
}

void CPlayer::Update(float seconds)
{
    if (m_Entity)
        m_Entity->Update(seconds);
    ApplyRootMotion();
    if (m_CurrentWeapon) {
        // The weapon's placement is where his shots start: keep it in his hand.
        if (m_Entity)
            m_CurrentWeapon->PlaceInHand(m_Entity->GetBoneMatrix("Bip01 pistola"), GetPosition());
        m_CurrentWeapon->Update(seconds);
    }
    if (IController* controller = GetController())
        controller->Update(seconds);
    Notify();
}

void CPlayer::ApplyRootMotion()
{
    if (!m_Entity)
        return;
    // Taken every frame: travel left in the mixer would come out all at once
    // the next time a pose that moves him starts.
    float d[3] = {0.0f, 0.0f, 0.0f};
    TakeAnimationDisplacement(m_Entity->GetCalModel()->getMixer(), d);
    IController* controller = GetController();
    if (!controller)
        return;
    const int code = controller->GetStateCode();
    const CPlayerFreeController* free = m_ControllerSelector->GetFreeController();
    const bool rolling = free && free->IsRolling();
    CLocation& placement = GetPosition();
    const D3DXVECTOR3 step = GroundStep(placement.GetYaw(), d);
    if (code == 49 || code == 38 || code == 39 || code == 48 || rolling) {
        getCollisionManager().SetPlayerWalkDirection(step.x, 0.0f, step.z);
    } else if (code == 37) {
        // Vaulting a parapet: the body goes where the animation takes it,
        // through the parapet itself.
        placement.SetPosition(placement.GetPosition() + step);
    }
}

void CPlayer::Notify()
{
    for (IPlayerObserver* observer : m_Observers)
        observer->OnPlayerMoved();
}

void CPlayer::reduceLife(std::uint16_t n)
{
    m_Life = LifeAfter(m_Life, n);
}

void CPlayer::storeForCHECKPOINT()
{
    if (!m_Gun)
        return;
    m_Checkpoint[0] = m_Gun->GetCurrentClip();
    m_Checkpoint[1] = m_Gun->GetAmmo();
    if (m_HasThompson) {
        m_Checkpoint[2] = 1;
        m_Checkpoint[3] = m_Thompson->GetCurrentClip();
        m_Checkpoint[4] = m_Thompson->GetAmmo();
    }
    if (m_HasShotgun) {
        m_Checkpoint[5] = 1;
        m_Checkpoint[6] = m_Shotgun->GetCurrentClip();
        m_Checkpoint[7] = m_Shotgun->GetAmmo();
    }
}

void CPlayer::RestoreCheckpoint()
{
    if (getTriggerManager().checkpoint != 3)
        ++getAchievementStats().checkpointRestores;
    if (!m_Gun)
        return;
    // Whatever was spent, a restart gives at least a full clip and a little
    // reserve back.
    auto restore = [](IWeapon* weapon, const std::uint16_t* stored, std::uint16_t least, std::uint16_t clip,
                      std::uint16_t ammo) {
        if (stored[1] < least)
            weapon->SetClipAndAmmo(clip, ammo);
        else
            weapon->SetClipAndAmmo(stored[0], stored[1]);
    };
    restore(m_Gun, &m_Checkpoint[0], 20, 6, 26);
    if (m_Checkpoint[2]) {
        m_HasThompson = true;
        restore(m_Thompson, &m_Checkpoint[3], 60, 60, 60);
    }
    if (m_Checkpoint[5]) {
        m_HasShotgun = true;
        restore(m_Shotgun, &m_Checkpoint[6], 8, 8, 8);
    }
}

void CPlayer::TakeHit(std::uint16_t damage, bool melee, float x, float y, float z)
{
    const bool fighting = m_ControllerSelector && m_ControllerSelector->IsFighting();
    CCamera& camera = getCamera();
    if (camera.IsFreeCamera() && !fighting)
        return;
    getAchievementStats().damageTaken += damage;
    m_Life = LifeAfter(m_Life, damage);
    if (melee) {
        getSoundManager().PlayHitScream(true, 0.0f);
        return;
    }
    hitYaw = YawFromDirection(camera.GetLookAt() - camera.GetPosition());
    hitDistance = camera.DistanceTo(x, y, z);
    if (!fighting)
        getSoundManager().PlayShotScream(true, 0.0f);
}

CPlayer* getPlayer()
{
    static CPlayer player;
    return &player;
}
