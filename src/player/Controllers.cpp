#include "player/Controllers.h"

#include "enemies/EnemyManager.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"

namespace {

// The pose animations follow the weapon in hand, told by its name; anything
// that is neither the pistol nor the shotgun is the Thompson.
enum class Pose { Idle, Run, Reload };

std::string PoseAnimation(Pose pose)
{
    const IWeapon* weapon = getPlayer()->GetCurrentWeapon();
    const std::string name = weapon ? weapon->GetName() : "GUN";
    const int column = name == "GUN" ? 0 : name == "SHOTGUN" ? 1 : 2;
    static const char* const table[][3] = {
        {"idle_ostrel", "idle_escopeta", "idle_thompson"},
        {"run", "run_shotgun", "run_thompson"},
        {"reload_ostrel", "reload_shotgun", "reload_thompson"},
    };
    return table[static_cast<int>(pose)][column];
}

CCharacterEntity* HeroBody()
{
    return getPlayer()->GetEntity();
}

void BlendOnly(const std::string& cycle, float weight, float delay)
{
    if (CCharacterEntity* body = HeroBody()) {
        body->ClearAllCycles(0.1f);
        body->BlendCycle(cycle, weight, delay);
    }
}

} // namespace

bool PendingHit::Take()
{
    if (!pending)
        return false;
    CPlayer* hero = getPlayer();
    if (CControllerSelector* selector = hero->GetControllerSelector())
        selector->SetTimeSinceHit(0.0f);
    hero->TakeHit(damage, false, origin.x, origin.y, origin.z);
    pending = false;
    return true;
}

// --- free ------------------------------------------------------------------------------

CPlayerFreeController::CPlayerFreeController()
{
    ToIdle(false);
}

void CPlayerFreeController::ToIdle(bool)
{
    m_State = 30;
    BlendOnly(PoseAnimation(Pose::Idle), 1.0f, 0.1f);
}

void CPlayerFreeController::ToRun()
{
    m_State = 31;
    BlendOnly(PoseAnimation(Pose::Run), 1.0f, 0.1f);
}

void CPlayerFreeController::ToDead()
{
    if (CEnemyManager* enemies = getEnemyManager())
        enemies->freezeIA();
    m_State = 49;
    if (CCharacterEntity* body = HeroBody()) {
        body->ClearAllCycles(0.1f);
        body->ExecuteAction("dead", 0.2f, 0.5f, 1.0f, false);
        body->BlendCycle("deadIdle", 1.0f, 1.0f);
    }
}

void CPlayerFreeController::StartReload()
{
    if (CCharacterEntity* body = HeroBody())
        body->ExecuteAction(PoseAnimation(Pose::Reload), 0.1f, 0.1f, 1.0f, false);
    if (IWeapon* weapon = getPlayer()->GetCurrentWeapon())
        weapon->Reload();
    m_State = 30;
}

void CPlayerFreeController::ResetMoveInputs()
{
    for (int code = ACTION_FORWARD; code <= ACTION_RIGHT; ++code)
        OnActionReleased(code);
}

void CPlayerFreeController::OnActionPressed(int code)
{
    // Placeholder until the free controller is built.
}

void CPlayerFreeController::OnActionReleased(int code)
{
    // Placeholder until the free controller is built.
}

void CPlayerFreeController::Update(float seconds)
{
    // Placeholder until the free controller is built: only the hits land.
    m_WasHit = m_Hit.Take();
}

// --- aiming ----------------------------------------------------------------------------

void CAimingController::Start()
{
    m_State = 52;
}

void CAimingController::ResetMoveInputs()
{
    for (int code = ACTION_FORWARD; code <= ACTION_RIGHT; ++code)
        OnActionReleased(code);
}

void CAimingController::OnActionPressed(int code)
{
    // Placeholder until the aiming controller is built.
}

void CAimingController::OnActionReleased(int code)
{
    // Placeholder until the aiming controller is built.
}

void CAimingController::Update(float seconds)
{
    // Placeholder until the aiming controller is built: only the hits land.
    m_WasHit = m_Hit.Take();
}

// --- cover -----------------------------------------------------------------------------

CParapetedController::CParapetedController(std::uint16_t parapet, float x, float y, float z)
{
    Init(parapet, x, y, z);
}

void CParapetedController::OnActionPressed(int code)
{
    // Placeholder until the cover controller is built.
}

void CParapetedController::OnActionReleased(int code)
{
    // Placeholder until the cover controller is built.
}

void CParapetedController::Update(float seconds)
{
    // Placeholder until the cover controller is built: only the hits land.
    m_WasHit = m_Hit.Take();
}

void CParapetedController::Init(std::uint16_t parapet, float x, float y, float z)
{
    // Placeholder until the cover controller is built: the entry pose only.
    m_Parapet = parapet;
    m_State = 38;
    m_ReadyToShoot = false;
    m_Covered = true;
    m_Peek = false;
    m_JumpTimer = 0.0f;
    m_Hit = PendingHit();
}

void CParapetedController::ResetMoveInputs()
{
    for (int code = ACTION_FORWARD; code <= ACTION_RIGHT; ++code)
        OnActionReleased(code);
}

void CParapetedController::ReleaseParapet()
{
    // Placeholder until the cover controller is built: no parapet is taken.
}

TParapet* CParapetedController::GetCurrentParapet()
{
    // Placeholder until the cover controller is built.
    return nullptr;
}

bool CParapetedController::SelectAdjacentParapetAtStart()
{
    // Placeholder until the cover controller is built.
    return false;
}

bool CParapetedController::SelectAdjacentParapetAtEnd()
{
    // Placeholder until the cover controller is built.
    return false;
}

// --- fights ----------------------------------------------------------------------------

void CFightingController::StartFight(CEnemy* opponent, int kind)
{
    // Placeholder until the fighting controller is built: the fight is only named.
    m_Opponent = opponent;
    m_Kind = kind;
}

void CFightingController::OnActionPressed(int code)
{
    // Placeholder until the fighting controller is built.
}

void CFightingController::OnActionReleased(int code)
{
}

void CFightingController::Update(float seconds)
{
    // Placeholder until the fighting controller is built.
}

// --- camera ----------------------------------------------------------------------------

void CCameraController::Hold(int code, bool held)
{
    switch (code) {
    case ACTION_FORWARD:
        forwardHeld = held;
        break;
    case ACTION_BACK:
        backHeld = held;
        break;
    case ACTION_LEFT:
        leftHeld = held;
        break;
    case ACTION_RIGHT:
        rightHeld = held;
        break;
    default:
        break;
    }
}
