#include "player/ParapetedController.h"

#include <algorithm>
#include <cmath>

#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "input/InputManager.h"
#include "math/VectorMath.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/Parapet.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace {

constexpr float kQuarterTurn = 1.5707964f;
constexpr float kPi = 3.1415927f;
// The walk in ends this near the cover point, or when the enter time is up
// (something in the way).
constexpr float kArrival = 13.0f;
constexpr float kEnterTime = 1.2f;
// Near an end of the parapet: he stops sliding, and behind a high one he may
// peek out round it.
constexpr float kEndReach = 20.0f;
// How near the next parapet of a chain must start.
constexpr float kChainReach = 70.0f;
constexpr float kChainTurn = 0.5f;
constexpr float kPeekWait = 0.4f;
constexpr float kReloadWait = 1.6f;
constexpr float kJumpTime = 1.3f;
// Unhurt this long behind cover, he heals.
constexpr float kHealAfter = 4.0f;

int WeaponColumn(const std::string& weapon)
{
    return weapon == "GUN" ? 0 : weapon == "SHOTGUN" ? 1 : 2;
}

CCharacterEntity* HeroBody()
{
    return getPlayer()->GetEntity();
}

std::string WeaponName()
{
    const IWeapon* weapon = getPlayer()->GetCurrentWeapon();
    return weapon ? weapon->GetName() : "GUN";
}

D3DXVECTOR3 HeroPosition()
{
    return getPlayer()->GetPosition().GetPosition();
}

void ClearCycles(float fade)
{
    if (CCharacterEntity* body = HeroBody())
        body->ClearAllCycles(fade);
}

void StopAction()
{
    if (CCharacterEntity* body = HeroBody())
        body->RemoveAction();
}

bool ActionRunning()
{
    CCharacterEntity* body = HeroBody();
    return body && body->GetActionCount() > 0;
}

void PlayAction(const std::string& name, float fadeIn, float fadeOut)
{
    if (CCharacterEntity* body = HeroBody())
        body->ExecuteAction(name, fadeIn, fadeOut, 1.0f, false);
}

CControllerSelector& Selector()
{
    return *getPlayer()->GetControllerSelector();
}

} // namespace

std::string CoverAnimation(CoverAnim pose, bool low, bool aimFromStart, const std::string& weapon)
{
    // Columns: pistol, shotgun, Thompson.
    static const char* const lowNames[][3] = {
        {"pBajo_ostrel_enter", "pBajo_escopeta_enter", "pBajo_thompson_enter"},
        {"pBajo_ostrel_idle", "pBajo_escopeta_idle", "pBajo_thompson_idle"},
        {"pBajo_MoveRight", "pBajo_escopeta_moveL", "pBajo_thompson_moveL"},
        {"pBajo_MoveLeft", "pBajo_escopeta_moveR", "pBajo_thompson_moveR"},
        {"pBajo_ostrel_exit", "pBajo_escopeta_exit", "pBajo_thompson_exit"},
        {"pBajo_reload_ostrel", "pBajo_reload_shotgun", "pBajo_reload_thompson"},
        {"pBajo_ostrel_showida", "pBajo_escopeta_showida", "pBajo_thompson_showida"},
        {"pBajo_ostrel_showvuelta", "pBajo_escopeta_showvuelta", "pBajo_thompson_showvuelta"},
    };
    static const char* const highNames[][3] = {
        {"palto_ostrel_enter", "palto_escopeta_enter", "palto_thompson_enter"},
        {"palto_ostrel_idle", "palto_escopeta_idle", "palto_thompson_idle"},
        {"pAlto_MoveRight", "palto_escopeta_moveleft", "palto_thompson_moveleft"},
        {"pAlto_MoveLeft", "palto_escopeta_moveright", "palto_thompson_moveright"},
        {"palto_ostrel_exit", "palto_escopeta_exit", "palto_thompson_exit"},
        {"palto_reload_ostrel", "palto_reload_shotgun", "palto_reload_thompson"},
        {"palto_ostrel_asomarida", "palto_escopeta_asomarida", "palto_thompson_asomarida"},
        {"palto_ostrel_asomarvuelta", "palto_escopeta_asomarvuelta", "palto_thompson_asomarvuelta"},
    };
    // Aiming and firing; round the pt_ini end of a high parapet the poses
    // lean the other way.
    static const char* const aimNames[][3] = {
        {"aiming_idle", "aiming_shotgun_idle", "aiming_thompson_idle"},
        {"shoot_aiming", "aiming_shotgun_fire", "aiming_thompson_fire"},
        {"aimingPorIzq_ostrel", "aimingPorIzq_shotgun", "aimingPorIzq_thompson"},
        {"aimingPorIzq_FireG", "aimingPorIzq_FireS", "aimingPorIzq_FireT"},
    };
    static const char* const jumpNames[][3] = {
        {"idle_ostrel", "idle_escopeta", "idle_thompson"},
        {"jump_box_ostrel", "jump_box_escopeta", "jump_box_thompson"},
        {"jump_man_ostrel", "jump_man_escopeta", "jump_man_thompson"},
    };
    const int column = WeaponColumn(weapon);
    const bool leftOfHigh = !low && aimFromStart;
    switch (pose) {
    case CoverAnim::Aim:
        return aimNames[leftOfHigh ? 2 : 0][column];
    case CoverAnim::Fire:
        return aimNames[leftOfHigh ? 3 : 1][column];
    case CoverAnim::StandIdle:
        return jumpNames[0][column];
    case CoverAnim::JumpBox:
        return jumpNames[1][column];
    case CoverAnim::JumpMan:
        return jumpNames[2][column];
    default:
        break;
    }
    const int row = static_cast<int>(pose);
    std::string name = (low ? lowNames : highNames)[row][column];
    if (!low && (pose == CoverAnim::PeekOut || pose == CoverAnim::PeekBack))
        name += aimFromStart ? "R" : "L";
    return name;
}

std::vector<std::string> CoverAnimationNames()
{
    std::vector<std::string> names;
    for (int pose = 0; pose <= static_cast<int>(CoverAnim::JumpMan); ++pose)
        for (bool low : {true, false})
            for (bool fromStart : {true, false})
                for (const char* weapon : {"GUN", "SHOTGUN", "THOMPSON"}) {
                    const std::string name = CoverAnimation(static_cast<CoverAnim>(pose), low, fromStart, weapon);
                    if (std::find(names.begin(), names.end(), name) == names.end())
                        names.push_back(name);
                }
    return names;
}

// --- taking and leaving cover -----------------------------------------------------------

CParapetedController::CParapetedController(std::uint16_t parapet, float x, float y, float z)
{
    Init(parapet, x, y, z);
}

void CParapetedController::Init(std::uint16_t parapet, float x, float y, float z)
{
    getSoundManager().PlayEnterParapet();
    m_EnterTimer = kEnterTime;
    m_Parapets = getScenario()->GetParapets();
    m_CoverPoint = D3DXVECTOR3(x, y, z);
    m_Index = parapet;
    m_State = 38;
    // A new cover may be slid along either way, whatever the last one left.
    m_MayMoveToStart = m_MayMoveToEnd = true;
    TParapet* held = GetCurrentParapet();
    if (!held)
        return;
    held->free = false;
    m_Holding = true;
    // Across the parapet toward the fight, a quarter turn from its run from
    // pt_ini to pt_fin (kept within a half turn either way, as every heading
    // is): where he peeks and vaults, and where the camera looks over him.
    // His cover poses turn his back to the parapet.
    m_CoverYaw = WrapAngle(YawFromDirection(held->pt_fin - held->pt_ini) + kQuarterTurn);
    m_LowCover = !held->high;
    if (ActionRunning())
        StopAction();
    PlayAction(Anim(CoverAnim::Enter), 0.1f, 0.1f);
}

TParapet* CParapetedController::ParapetAt(std::size_t index) const
{
    return index < m_Parapets.size() ? m_Parapets[index] : nullptr;
}

TParapet* CParapetedController::GetCurrentParapet()
{
    return ParapetAt(m_Index);
}

std::string CParapetedController::Anim(CoverAnim pose) const
{
    return CoverAnimation(pose, m_LowCover, m_AimFromStart, WeaponName());
}

bool CParapetedController::Jumpable()
{
    const TParapet* held = GetCurrentParapet();
    return held && held->jumpable;
}

bool CParapetedController::FacesCoverSide() const
{
    return WithinQuarterTurn(getPlayer()->GetPosition().GetYaw(), m_CoverYaw);
}

void CParapetedController::FreeParapet()
{
    // Only what he still holds: a parapet let go of may be an enemy's by now.
    if (!m_Holding)
        return;
    m_Holding = false;
    if (TParapet* held = GetCurrentParapet())
        held->free = true;
}

void CParapetedController::SetCurrentParapet(std::uint16_t index)
{
    FreeParapet();
    m_Index = index;
    if (TParapet* held = GetCurrentParapet()) {
        held->free = false;
        m_Holding = true;
    }
}

void CParapetedController::BlendCycle(CoverAnim pose, float weight)
{
    if (CCharacterEntity* body = HeroBody())
        body->BlendCycle(Anim(pose), weight, 0.1f);
}

void CParapetedController::WaitForInput(float seconds)
{
    m_InputWait = true;
    m_InputWaitTimer = seconds;
}

void CParapetedController::ReleaseMoveKeys()
{
    // Pt_ini's key first: a release of the other key is ignored while this
    // one still moves him.
    OnActionReleased(ACTION_BACK);
    OnActionReleased(ACTION_LEFT);
    OnActionReleased(ACTION_RIGHT);
    m_FireHeld = false;
}

void CParapetedController::LeaveCover()
{
    CEnemyManager* enemies = getEnemyManager();
    if (enemies && enemies->IsAnyEnemyShooting())
        getSoundManager().PlayEnemyFireLine();
    const int before = m_State;
    m_State = 39;
    FreeParapet();
    StopAction();
    ClearCycles(0.1f);
    m_JumpTimer = 0.0f;
    // Out of a peek the hero already stands clear of a high parapet: he gets
    // up as from a low one.
    const bool highExit = !m_LowCover && before != 48;
    PlayAction(CoverAnimation(CoverAnim::Exit, !highExit, m_AimFromStart, WeaponName()), 0.1f, 0.1f);
    const std::string weapon = WeaponName();
    WaitForInput(weapon == "SHOTGUN" || weapon == "THOMPSON" ? 0.6f : 0.7f);
    m_GoToFreeAfterWait = true;
}

void CParapetedController::FinishLeave()
{
    m_LowCover = true;
    m_MayMoveToStart = m_MayMoveToEnd = true;
    m_FireHeld = m_FiredThisFrame = false;
    Selector().SwitchToFree(false, false);
}

void CParapetedController::LeaveToOpen(bool reload)
{
    m_LowCover = true;
    FreeParapet();
    m_AimMode = false;
    m_FireHeld = m_FiredThisFrame = false;
    Selector().SwitchToFree(reload, false);
}

void CParapetedController::Release()
{
    m_JumpTimer = 0.0f;
    LeaveToOpen(false);
}

bool CParapetedController::CoverBroken()
{
    const TParapet* held = GetCurrentParapet();
    if (!held)
        return false;
    return getRigid()->IsParapetBlocked(held->name);
}

// --- in cover ---------------------------------------------------------------------------

void CParapetedController::WalkToCoverPoint()
{
    const D3DXVECTOR3 hero = HeroPosition();
    if (m_EnterTimer < 0.0f || ManhattanDistanceXZ(hero, m_CoverPoint) < kArrival) {
        getPlayer()->GetPosition().SetYaw(m_CoverYaw);
        ToCoverIdle();
        return;
    }
    const D3DXVECTOR3 toPoint = m_CoverPoint - hero;
    const D3DXVECTOR3 away = DirectionFromYaw(WrapAngle(YawFromDirection(toPoint) + kPi));
    const D3DXVECTOR3 step = NegateVector(away) * (getPlayer()->GetStep() * m_FrameStep);
    getCollisionManager().SetPlayerWalkDirection(step.x, step.y, step.z);
}

void CParapetedController::ToCoverIdle()
{
    m_State = 62;
    getPlayer()->GetPosition().SetYaw(m_CoverYaw);
    ClearCycles(0.1f);
    BlendCycle(CoverAnim::Idle, 0.1f);
}

void CParapetedController::StartMove(int code)
{
    m_State = 34;
    ClearCycles(0.1f);
    const TParapet* held = GetCurrentParapet();
    if (!held)
        return;
    const bool toStart = code == ACTION_LEFT;
    const D3DXVECTOR3& end = toStart ? held->pt_ini : held->pt_fin;
    const bool atEnd = ManhattanDistanceXZ(HeroPosition(), end) <= kEndReach;
    (toStart ? m_MayMoveToStart : m_MayMoveToEnd) = !atEnd;
    BlendCycle(atEnd ? CoverAnim::Idle : toStart ? CoverAnim::MoveToStart : CoverAnim::MoveToEnd, 0.1f);
}

void CParapetedController::UpdateMove()
{
    if (!m_MovingToStart && !m_MovingToEnd) {
        ToCoverIdle();
        return;
    }
    const TParapet* held = GetCurrentParapet();
    if (!held)
        return;
    const D3DXVECTOR3 hero = HeroPosition();
    if (m_MovingToEnd && ManhattanDistanceXZ(hero, held->pt_fin) < kEndReach) {
        if (!SelectAdjacentParapetAtStart()) {
            OnActionReleased(ACTION_RIGHT);
            ClearCycles(0.1f);
            BlendCycle(CoverAnim::Idle, 0.1f);
        }
    } else if (m_MovingToStart && ManhattanDistanceXZ(hero, held->pt_ini) < kEndReach) {
        if (!SelectAdjacentParapetAtEnd()) {
            OnActionReleased(ACTION_LEFT);
            ClearCycles(0.1f);
            BlendCycle(CoverAnim::Idle, 0.1f);
        }
    }
}

bool CParapetedController::SelectAdjacentParapetAtStart()
{
    return SelectAdjacent(true);
}

bool CParapetedController::SelectAdjacentParapetAtEnd()
{
    return SelectAdjacent(false);
}

bool CParapetedController::SelectAdjacent(bool byStart)
{
    const TParapet* held = GetCurrentParapet();
    if (!held)
        return false;
    const D3DXVECTOR3 hero = HeroPosition();
    const float yaw = held->transform.GetYaw();
    for (std::size_t i = 0; i < m_Parapets.size(); ++i) {
        const TParapet& next = *m_Parapets[i];
        if (!next.free || next.high == m_LowCover)
            continue;
        if (std::fabs(AngleDifference(yaw, next.transform.GetYaw())) >= kChainTurn)
            continue;
        if (ManhattanDistanceXZ(byStart ? next.pt_ini : next.pt_fin, hero) >= kChainReach)
            continue;
        // The hero keeps the heading of the first parapet of the chain.
        SetCurrentParapet(static_cast<std::uint16_t>(i));
        return true;
    }
    return false;
}

void CParapetedController::StartAiming()
{
    const TParapet* held = GetCurrentParapet();
    if (!held)
        return;
    if (!m_LowCover) {
        // Round an end only: the wall hides him everywhere else.
        const D3DXVECTOR3 hero = HeroPosition();
        if (ManhattanDistanceXZ(hero, held->pt_ini) <= kEndReach)
            m_AimFromStart = true;
        else if (ManhattanDistanceXZ(hero, held->pt_fin) <= kEndReach)
            m_AimFromStart = false;
        else
            return;
    }
    m_AimMode = true;
    m_State = 48;
    ClearCycles(0.1f);
    PlayAction(Anim(CoverAnim::PeekOut), 0.1f, 0.1f);
    BlendCycle(CoverAnim::Aim, 1.0f);
    WaitForInput(kPeekWait);
}

void CParapetedController::UpdateAiming()
{
    m_FiredThisFrame = false;
    if (!m_FireHeld)
        return;
    IWeapon* weapon = getPlayer()->GetCurrentWeapon();
    if (weapon->NeedsReload()) {
        if (FacesCoverSide()) {
            // Back behind the parapet to reload there.
            ClearCycles(0.1f);
            StopAction();
            BlendCycle(CoverAnim::Idle, 0.1f);
            PlayAction(Anim(CoverAnim::PeekBack), 0.1f, 0.5f);
            m_AimMode = false;
            WaitForInput(kPeekWait);
            m_ReloadAfterWait = true;
        } else {
            // Turned round: he reloads in the open.
            LeaveToOpen(true);
        }
        return;
    }
    if (weapon->FirePlayerShot()) {
        m_FiredThisFrame = true;
        StopAction();
        PlayAction(Anim(CoverAnim::Fire), 0.0f, 0.5f);
    }
}

void CParapetedController::ReleaseAim()
{
    m_AimMode = m_AimTargetHold = m_FireHeld = m_FiredThisFrame = false;
    if (!FacesCoverSide()) {
        LeaveToOpen(false);
        return;
    }
    ClearCycles(0.1f);
    StopAction();
    PlayAction(Anim(CoverAnim::PeekBack), 0.1f, 0.5f);
    WaitForInput(kPeekWait);
    m_GoToIdleAfterWait = true;
}

void CParapetedController::Reload()
{
    IWeapon* weapon = getPlayer()->GetCurrentWeapon();
    if (m_AimMode || m_State == 63 || !weapon->CanReload())
        return;
    getPlayer()->GetPosition().SetYaw(m_CoverYaw);
    weapon->Reload();
    getSoundManager().PlayReloadLine(true, 0.0f, weapon->GetName());
    PlayAction(Anim(CoverAnim::Reload), 0.1f, 0.1f);
    WaitForInput(kReloadWait);
    m_State = 63;
}

void CParapetedController::ReloadWhileAiming()
{
    if (!getPlayer()->GetCurrentWeapon()->CanReload())
        return;
    if (!FacesCoverSide()) {
        LeaveToOpen(true);
        return;
    }
    ClearCycles(0.1f);
    BlendCycle(CoverAnim::Idle, 0.1f);
    PlayAction(Anim(CoverAnim::PeekBack), 0.1f, 0.5f);
    WaitForInput(kPeekWait);
    m_ReloadAfterWait = true;
    m_AimMode = false;
}

void CParapetedController::ChangeWeapon()
{
    if (m_State != 62 && m_State != 48)
        return;
    CCharacterEntity* body = HeroBody();
    if (m_State == 62 && body)
        body->ClearCycle(Anim(CoverAnim::Idle), 0.1f);
    else
        ClearCycles(0.1f);
    getPlayer()->SetCurrentWeapon(NextWeapon());
    if (m_State == 62)
        BlendCycle(CoverAnim::Idle, 0.1f);
    else
        BlendCycle(CoverAnim::Aim, 1.0f);
}

void CParapetedController::JumpOver()
{
    const TParapet* held = GetCurrentParapet();
    if (!held || !m_LowCover || !held->jumpable || m_State == 37)
        return;
    if (m_State == 38 && ManhattanDistanceXZ(HeroPosition(), m_CoverPoint) >= kEndReach)
        return;
    // Wave 01's barrier holds until nobody of the wave stands.
    CEnemyManager* enemies = getEnemyManager();
    const bool barrier = held->name.size() > 10 && held->name[10] == '5' && enemies &&
                         enemies->GetCurrentWave() == "wave_01";
    if (barrier && enemies->anyBotAlive())
        return;
    ++getAchievementStats().coverJumps;
    getSoundManager().PlayHop();
    if (barrier)
        if (CTriggerLogic* logic = getTriggerManager().getTriggerLogicByName("OnEnter_trg_031"))
            logic->active = true;
    m_State = 37;
    ClearCycles(0.0f);
    BlendCycle(CoverAnim::StandIdle, 0.1f);
    StopAction();
    getPlayer()->GetPosition().SetYaw(m_CoverYaw);
    m_JumpTimer = kJumpTime;
    PlayAction(Anim(held->kind == 'B' ? CoverAnim::JumpBox : CoverAnim::JumpMan), 0.1f, 0.1f);
}

void CParapetedController::UpdateJump()
{
    if (m_JumpTimer > 0.0f)
        m_JumpTimer -= m_FrameStep;
    if (m_JumpTimer > 0.0f)
        return;
    FreeParapet();
    m_JumpTimer = 0.0f;
    m_FireHeld = m_FiredThisFrame = false;
    Selector().SwitchToFree(false, false);
}

// --- input ------------------------------------------------------------------------------

void CParapetedController::OnActionPressed(int code)
{
    if (ControlsTaken())
        return;
    if ((code == ACTION_RIGHT && m_MovingToStart) || (code == ACTION_LEFT && m_MovingToEnd))
        return;
    const bool jumpable = Jumpable();
    if (m_State == 38) {
        if (code != ACTION_USE || !jumpable)
            return;
    } else if ((code == ACTION_BACK || code == ACTION_AIM || (code == ACTION_USE && !jumpable)) && ActionRunning()) {
        return;
    }
    if (m_JumpTimer > 0.0f || m_InputWait || ScriptedSequence())
        return;
    if ((code == ACTION_RIGHT && !m_MayMoveToEnd) || (code == ACTION_LEFT && !m_MayMoveToStart))
        return;

    CPlayer* hero = getPlayer();
    if (m_AimMode) {
        switch (code) {
        case ACTION_RELOAD:
            ReloadWhileAiming();
            break;
        case ACTION_CHANGE_WEAPON:
            if (hero->HasSecondWeapon())
                ChangeWeapon();
            break;
        case ACTION_FIRE:
            m_FireHeld = true;
            break;
        case ACTION_TARGET:
            getCamera().SelectNextAimTarget();
            m_AimTargetHold = true;
            break;
        default:
            break;
        }
        return;
    }
    switch (code) {
    case ACTION_BACK:
        LeaveCover();
        break;
    case ACTION_LEFT:
        m_MayMoveToEnd = true;
        m_MovingToStart = true;
        OnActionReleased(ACTION_RIGHT);
        m_MovingToEnd = false;
        getCameraController().OnActionPressed(code);
        StartMove(code);
        break;
    case ACTION_RIGHT:
        m_MayMoveToStart = true;
        m_MovingToStart = false;
        m_MovingToEnd = true;
        OnActionReleased(ACTION_LEFT);
        getCameraController().OnActionPressed(code);
        StartMove(code);
        break;
    case ACTION_RELOAD:
        Reload();
        break;
    case ACTION_CHANGE_WEAPON:
        if (hero->HasSecondWeapon())
            ChangeWeapon();
        break;
    case ACTION_USE:
        if (m_LowCover && jumpable && m_State != 37)
            JumpOver();
        else if (!jumpable && m_State != 38)
            LeaveCover();
        break;
    case ACTION_AIM:
        if (m_State != 63)
            StartAiming();
        break;
    case ACTION_TARGET:
        getCamera().SelectNextAimTarget();
        m_AimTargetHold = true;
        break;
    default:
        break;
    }
}

void CParapetedController::OnActionReleased(int code)
{
    if (m_JumpTimer > 0.0f)
        return;
    if ((code == ACTION_RIGHT && m_MovingToStart) || (code == ACTION_LEFT && m_MovingToEnd))
        return;
    if (m_AimMode) {
        if (code == ACTION_FIRE)
            m_FireHeld = false;
        else if (code == ACTION_AIM)
            ReleaseAim();
        else if (code == ACTION_TARGET)
            m_AimTargetHold = false;
        return;
    }
    if (code == ACTION_LEFT || code == ACTION_RIGHT) {
        (code == ACTION_LEFT ? m_MovingToStart : m_MovingToEnd) = false;
        ClearCycles(0.1f);
        BlendCycle(CoverAnim::Idle, 0.1f);
        CCameraController& camera = getCameraController();
        camera.OnActionReleased(code);
        if (camera.NoDirectionHeld() && (code == ACTION_LEFT || m_State != 62))
            ToCoverIdle();
    } else if (code == ACTION_TARGET) {
        m_AimTargetHold = false;
    }
}

// --- the frame --------------------------------------------------------------------------

void CParapetedController::Update(float seconds)
{
    m_FrameStep = seconds;
    m_FiredThisFrame = false;
    m_EnterTimer -= seconds;

    if (m_State != 39 && CoverBroken()) {
        m_AimMode = false;
        LeaveCover();
        return;
    }
    CCharacterEntity* body = HeroBody();
    if (body && body->GetCycleCount() == 0)
        BlendCycle(CoverAnim::Idle, 0.1f);
    if (getCamera().IsFreeCamera() && m_State != 38)
        return;

    if (m_AimTargetHold && TargetInputHeld() && (m_State == 48 || m_State == 62))
        getCamera().RefreshAimTarget();
    else
        m_AimTargetHold = false;

    m_WasHit = false;
    if (m_Hit.pending)
        m_WasHit = m_Hit.Take();
    // Life gone by a hit or any other way (a script, the console): out of
    // cover to fall; kept in cover he would heal back up from nothing.
    if (getPlayer()->getLife() < 1) {
        Release();
        return;
    }
    if (!m_WasHit)
        Regenerate(seconds, kHealAfter);

    if (m_InputWait) {
        m_InputWaitTimer -= seconds;
        if (m_InputWaitTimer > 0.0f)
            return;
        m_InputWait = false;
        // What the wait was for is this frame's work.
        if (m_State == 63) {
            m_FireHeld = false;
            ToCoverIdle();
            return;
        }
        if (m_ReloadAfterWait) {
            m_ReloadAfterWait = false;
            Reload();
            // Nothing to reload after all: back to the cover idle, not stuck
            // half out of the peek.
            if (m_State != 63)
                ToCoverIdle();
            return;
        }
        if (m_GoToFreeAfterWait) {
            m_GoToFreeAfterWait = false;
            FinishLeave();
            return;
        }
        if (m_GoToIdleAfterWait) {
            m_GoToIdleAfterWait = false;
            ToCoverIdle();
            return;
        }
    }

    switch (m_State) {
    case 34:
        UpdateMove();
        break;
    case 37:
        UpdateJump();
        break;
    case 38:
        WalkToCoverPoint();
        break;
    case 39:
        FinishLeave();
        break;
    case 48:
        UpdateAiming();
        break;
    case 62:
        m_FiredThisFrame = false;
        break;
    case 63:
        m_State = 62;
        break;
    default:
        break;
    }
}
