// The states of an enemy that fights the hero: shooting in the open, running
// to cover, waiting behind it, leaning out to fire, reloading, rolling aside
// and leaving cover over the parapet.
#include "enemies/Enemy.h"

#include <cmath>

#include "enemies/EnemyAnimNames.h"
#include "enemies/EnemyManager.h"
#include "enemies/EnemySenses.h"
#include "math/VectorMath.h"
#include "platform/crt.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/Parapet.h"

namespace {

constexpr float kDegrees = 57.2957763671875f;
// Ground distance within which a runner to cover walks the last stretch on its own.
constexpr float kCoverApproach = 70.0f;
// Within this of its cover point the enemy has arrived.
constexpr float kCoverReached = 10.0f;

// A random draw taken modulo a tuning value whose default is 0:
// nothing divides by it, 0 counts as 1.
int Draw(std::uint16_t value)
{
    return crt::rand() % (value ? value : 1);
}

// A yaw in degrees within [0, 360).
float Degrees360(float yaw)
{
    float d = yaw * kDegrees;
    if (d < 0.0f)
        d += 360.0f;
    return d;
}

} // namespace

// --- shared pieces ---------------------------------------------------------------

std::string CIAEnemyCover::AnimName(EnemyAnim use) const
{
    const IWeapon* weapon = m_Owner->GetWeapon();
    EnemyCoverPose pose;
    pose.high = m_HighParapet;
    pose.atStartEnd = m_NearEndIsStart;
    return EnemyAnimName(use, weapon ? weapon->GetName() : std::string(), pose);
}

void CIAEnemyCover::BlendOnly(EnemyAnim cycle, float fade, float weight, float delay)
{
    if (CCharacterEntity* entity = m_Owner->GetEntity()) {
        entity->ClearAllCycles(fade);
        entity->BlendCycle(AnimName(cycle), weight, delay);
    }
}

float CIAEnemyCover::PlayOnce(EnemyAnim action, bool removeRunning)
{
    CCharacterEntity* entity = m_Owner->GetEntity();
    if (!entity)
        return 0.0f;
    if (removeRunning)
        entity->RemoveAction();
    return entity->ExecuteAction(AnimName(action), 0.0f, 0.5f, 1.0f, false);
}

void CIAEnemyCover::RemoveRunningAction()
{
    if (CCharacterEntity* entity = m_Owner->GetEntity())
        entity->RemoveAction();
}

void CIAEnemyCover::StartHold(float seconds)
{
    m_HoldTimer = seconds;
    m_Hold = true;
}

void CIAEnemyCover::ResetAttack()
{
    m_ShotCounter = 0;
    m_ShotTimer = 0.0f;
}

bool CIAEnemyCover::HeroBehindCoverLine() const
{
    // The hero's heading against the cover's: more than a quarter turn apart
    // he faces the enemy across the parapet, from its far side.
    return !WithinQuarterTurn(getEnemySenses().HeroPlacement().GetYaw(), m_CoverYaw);
}

bool CIAEnemyCover::ClipEmpty() const
{
    const IWeapon* weapon = m_Owner->GetWeapon();
    return !weapon || weapon->GetCurrentClip() == 0;
}

void CIAEnemyCover::FireShot()
{
    UpdateView();
    RemoveRunningAction();
    IWeapon* weapon = m_Owner->GetWeapon();
    if (!weapon || !weapon->FireEnemyShot(m_Owner->GetPosition(), m_Accuracy))
        return;
    getEnemyManager()->AlarmEnemiesNearPlayer();
    const std::string name = weapon->GetName();
    const float length = PlayOnce(EnemyAnim::Shot, false);
    // The Thompson's bursts go on under a looping fire animation.
    StartHold(name == "GUN" || name == "SHOTGUN" ? length : 0.1f);
}

void CIAEnemyCover::FireWhenReady(bool standing)
{
    if (m_ShotCounter == 0) {
        // The wait before an attack's first shot is drawn again every frame.
        const float wait = static_cast<float>(crt::rand() % 50) / 100.0f + 0.3f;
        if (m_ShotTimer < wait) {
            UpdateView();
            m_ShotTimer += m_LastStep;
            return;
        }
        // In the open the enemy may think better of it and start over.
        if (standing && Draw(m_WillOfStandingShoot) > 5) {
            UpdateView();
            ResetAttack();
            return;
        }
    }
    m_ShotTimer = 0.0f;
    const IWeapon* weapon = m_Owner->GetWeapon();
    if (weapon && m_Clock - m_LastShotClock > weapon->GetCadence()) {
        UpdateView();
        ++m_ShotCounter;
        FireShot();
        m_LastShotClock = m_Clock;
    }
}

// --- SHOOTING --------------------------------------------------------------------

void CIAEnemyCover::EnterShooting()
{
    getSoundManager().PlayEnemyAttackLine(m_Distance);
    FreeParapet();
    m_State = SHOOTING;
    m_InCover = false;
    BlendOnly(EnemyAnim::Aim, 0.5f, 1.0f, 0.0f);
}

void CIAEnemyCover::UpdateShooting()
{
    BlendOnly(EnemyAnim::Aim, 0.0f, 1.0f, 0.0f);
    CEnemyManager* manager = getEnemyManager();
    // Far from the hero a runner is better off behind something.
    if (m_CanCover && m_CanMove && m_Distance > 250.0f && manager->GetMoveToCoverCount() < 2 && ChooseCoverPoint()) {
        ResetAttack();
        setMoveToCoverState("");
        return;
    }
    if (m_CanMove) {
        const IWeapon* weapon = m_Owner->GetWeapon();
        const float range = weapon ? weapon->GetRatioOfShot() : 0.0f;
        if (!CanSeePlayer() && m_Distance > range) {
            ResetAttack();
            setSearchingState();
            return;
        }
        if (RollTrigger()) {
            ResetAttack();
            EnterRoll();
            return;
        }
    }
    if (m_StateTimer <= 0.0f && m_CanMove && crt::rand() % 100 < 60 && IsPlayerAimingAtMe()) {
        m_StateTimer = 6.0f;
        RemoveRunningAction();
        const int r = crt::rand() % 10;
        if (r >= 8) {
            EnterRoll();
            return;
        }
        UpdateView();
        PlayOnce(r < 4 ? EnemyAnim::StepLeft : EnemyAnim::StepRight, false);
        StartHold(0.8f);
        return;
    }
    if (m_CanMove && m_CanCover && getEnemySenses().HeroInCover() && manager->GetMoveToCoverCount() < 2 &&
        ChooseCoverPoint()) {
        setMoveToCoverState("");
        return;
    }
    if (ClipEmpty()) {
        ResetAttack();
        m_State = RELOAD;
        return;
    }
    m_MoveFlag = false;
    // Tested before it grows: an attack of n fires n + 1 shots.
    if (m_ShotCounter > m_ShotsPerAttack) {
        UpdateView();
        ResetAttack();
        return;
    }
    FireWhenReady(true);
}

// --- MOVE TO COVER ---------------------------------------------------------------

void CIAEnemyCover::setMoveToCoverState(std::string coverPoint)
{
    if (m_Dying)
        return;
    m_MoveToCoverTimer = 0.0f;
    m_State = MOVE_TO_COVER;
    if (!coverPoint.empty())
        TakeNamedCoverPoint(coverPoint);
    if (m_InCover && getEnemyManager()->GetCurrentWave() != "wave_01")
        JumpOverCover();
    m_InCover = false;
    BlendOnly(EnemyAnim::Run, 0.2f, 0.1f, 0.1f);
}

void CIAEnemyCover::UpdateMoveToCover()
{
    m_MoveToCoverTimer += m_LastStep;
    if (m_MoveToCoverTimer > 2.5f && IsInWeaponRange()) {
        EnterShooting();
        return;
    }
    if (!m_Occupied || IsCoverPointUnusable(m_Occupied))
        ChooseCoverPoint();
    // An end picked before the enemy stood anywhere was picked from nowhere.
    if (m_Occupied && m_CoverEndUnplaced)
        PickCoverTarget(*m_Occupied);
    if (m_CanMove && RollTrigger() && ManhattanDistanceXZ(m_Own, m_CoverTarget) > 100.0f) {
        EnterRoll();
        return;
    }
    if (!m_Occupied) {
        setSearchingState();
        return;
    }
    MoveTowards(m_CoverTarget);
    if (ManhattanDistanceXZ(m_Own, m_Occupied->transform.GetPosition()) < kCoverApproach) {
        m_MoveToCoverTimer = 0.0f;
        if (ManhattanDistanceXZ(m_Own, m_CoverTarget) <= kCoverReached) {
            m_Owner->GetPosition().SetYaw(YawFromDirection(m_Occupied->pt_fin - m_Occupied->pt_ini));
            m_Owner->PlaceEntity();
            EnterCover();
        } else {
            D3DXVECTOR3 way = m_CoverTarget - m_Own;
            way.y = 0.0f;
            getCollisionManager().SetEnemyWalkDirection(
                m_Owner->GetName(), NormalizeVector(way) * (m_Owner->GetStep() * m_LastStep));
        }
    }
}

// --- COVER -----------------------------------------------------------------------

void CIAEnemyCover::EnterCover()
{
    // Sent by a script to a named parapet: it stays there for good.
    if (m_NamedCover) {
        m_NamedCover = false;
        m_CanMove = false;
    }
    m_CoverStart = m_Clock;
    m_LastShotClock = m_Clock;
    m_InCover = true;
    m_RollCounter = 0;
    m_ShotCounter = 0;
    RemoveRunningAction();
    BlendOnly(EnemyAnim::CoverIdle, 0.1f, 0.1f, 0.1f);
    if (m_State == SHOOTING_FROM_COVER) {
        PlayOnce(EnemyAnim::LeanBack, false);
        m_HoldTimer = 1.0f;
    } else {
        PlayOnce(EnemyAnim::CoverEnter, false);
        m_HoldTimer = 0.8f;
    }
    m_State = COVER;
    m_Hold = true;
}

void CIAEnemyCover::UpdateCover()
{
    CLocation& place = m_Owner->GetPosition();
    if (m_HighParapet && ManhattanDistanceXZ(m_Own, m_CoverTarget) > kCoverReached) {
        // A high wall is held at its end, where the lean-outs look round it.
        getCollisionManager().setNewEnemyPosition(m_Owner->GetName(), m_CoverTarget);
        place.SetPosition(m_CoverTarget);
        m_Own = m_CoverTarget;
    }
    place.SetYaw(m_CoverYaw);
    m_Owner->PlaceEntity();
    BlendOnly(EnemyAnim::CoverIdle, 0.1f, 0.1f, 0.1f);

    CEnemyManager* manager = getEnemyManager();
    if (m_CanMove && IsCoverPointUnusable(m_Occupied)) {
        // He has walked round it.
        if (ChooseCoverPoint())
            setMoveToCoverState("");
        else
            setSearchingState();
        return;
    }
    const short life = m_Owner->GetLife();
    if (life < m_LifeLimitToBeHurt)
        return;
    if (m_Regenerating && life < static_cast<short>(m_Owner->GetTopLife()))
        return;

    if (IsInWeaponRange()) {
        if (ClipEmpty()) {
            m_State = RELOAD;
            return;
        }
        m_CoverRequested = false;
        if (Draw(m_WillOfShootFromCover) > 1)
            return;
        const float wait =
            m_MinTimeToShotFromCover == 0 ? 0.0f : static_cast<float>(crt::rand() % m_MinTimeToShotFromCover) + 0.6f;
        if (m_Clock - m_LastShotClock > wait)
            EnterShootingFromCover();
        return;
    }
    if (m_CoverRequested && m_CanMove) {
        AlarmTest();
        if (m_State == ALARMED)
            JumpOverCover();
        return;
    }
    if (manager->GetSearchingCount() < 2 && m_CanMove &&
        ((IsCoverTimeOver() && CanSeePlayer()) || life == static_cast<short>(m_Owner->GetTopLife())))
        setSearchingState();
}

// --- SHOOTING FROM COVER ---------------------------------------------------------

void CIAEnemyCover::EnterShootingFromCover()
{
    getSoundManager().PlayEnemyAttackLine(m_Distance);
    m_LeanOutStart = m_Clock;
    m_State = SHOOTING_FROM_COVER;
    m_InCover = false;
    m_RollCounter = 0;
    m_ShotCounter = 0;
    if (CCharacterEntity* entity = m_Owner->GetEntity())
        entity->ClearAllCycles(0.0f);
    RemoveRunningAction();
    if (!m_HighParapet)
        UpdateView();
    PlayOnce(EnemyAnim::LeanOut, false);
    if (CCharacterEntity* entity = m_Owner->GetEntity())
        entity->BlendCycle(AnimName(EnemyAnim::Aim), 1.0f, 0.0f);
    StartHold(0.4f);
}

void CIAEnemyCover::UpdateShootingFromCover()
{
    if (RollTrigger() || m_Owner->GetLife() < m_LifeLimitToBeHurt) {
        ResetAttack();
        EnterCover();
        return;
    }
    if (!IsInWeaponRange()) {
        EnterCover();
        ResetAttack();
        return;
    }
    UpdateView();
    const bool over = ClipEmpty() || (m_ShotCounter > 0 && IsShootFromCoverTimeOver()) ||
                      m_ShotCounter > m_ShotsPerAttack;
    if (over) {
        ResetAttack();
        if (m_CanMove && HeroBehindCoverLine()) {
            const bool staged = getEnemyManager()->GetCurrentWave() == "wave_01";
            if (!staged) {
                FreeParapet();
                m_InCover = false;
            }
            setSearchingState();
            // The staged first wave takes no search (its alarm only wakes the
            // next group): there it ducks back behind the parapet it still
            // holds, or, unless a script sent it somewhere, it would stand
            // leant out in the open for good with an empty clip.
            if (!staged)
                return;
        }
        EnterCover();
        return;
    }
    FireWhenReady(false);
}

// --- RELOAD ----------------------------------------------------------------------

void CIAEnemyCover::UpdateReload()
{
    if (!m_Reloading) {
        IWeapon* weapon = m_Owner->GetWeapon();
        if (weapon)
            weapon->Reload();
        m_ReloadTimer = 0.0f;
        m_Reloading = true;
        m_ReloadDuration = m_InCover ? 2.5f : 2.0f;
        RemoveRunningAction();
        getSoundManager().PlayReloadLine(false, m_Distance, weapon ? weapon->GetName() : std::string());
        if (m_InCover) {
            PlayOnce(EnemyAnim::CoverReload, false);
            BlendOnly(EnemyAnim::CoverIdle, 0.1f, 0.1f, 0.1f);
        } else {
            PlayOnce(EnemyAnim::ReloadStanding, false);
            BlendOnly(EnemyAnim::Stand, 0.1f, 1.0f, 0.1f);
        }
        return;
    }
    if (m_ReloadTimer < m_ReloadDuration) {
        m_ReloadTimer += m_LastStep;
        return;
    }
    // Back to what it was doing, without starting it over.
    m_State = m_InCover ? COVER : SHOOTING;
    m_ReloadTimer = 0.0f;
    m_Reloading = false;
}

// --- ROLL ------------------------------------------------------------------------

void CIAEnemyCover::EnterRoll()
{
    m_RollRunning = false;
    m_RollCounter = 0;
    m_State = ROLL;
    m_InCover = false;
    m_MoveFlag = false;
    float turn = static_cast<float>(crt::rand() % 157) / 100.0f;
    if (crt::rand() % 10 < 6)
        turn = -turn;
    m_Owner->GetPosition().AddYaw(turn);
    m_Owner->PlaceEntity();
    PlayOnce(EnemyAnim::Roll, true);
}

void CIAEnemyCover::UpdateRoll()
{
    if (!m_RollRunning) {
        m_RollRunning = true;
        m_RollTimer = 0.0f;
    }
    if (m_RollTimer < 1.5f) {
        m_RollTimer += m_LastStep;
        return;
    }
    m_RollRunning = false;
    if (m_Occupied)
        setMoveToCoverState("");
    else if (IsInWeaponRange() && HasLineOfSight())
        EnterShooting();
    else
        setSearchingState();
}

// --- leaving cover ---------------------------------------------------------------

void CIAEnemyCover::JumpOverCover()
{
    if (getEnemyManager()->IsAnyEnemyShooting())
        getSoundManager().PlayEnemyCoverLine(m_Distance);

    // Which parapet is crossed, and the way the enemy wants to go over it.
    const TParapet* crossed = nullptr;
    D3DXVECTOR3 way(0.0f, 0.0f, 0.0f);
    if ((m_State == ALARMED || m_State == SEARCHING) && m_Occupied && m_Occupied->jumpable) {
        crossed = m_Occupied;
        way = m_Hero - m_Own;
    } else if (m_State == MOVE_TO_COVER && m_Previous && m_Previous->jumpable) {
        crossed = m_Previous;
        way = m_CoverTarget - m_Own;
    }
    if (crossed) {
        float angle = std::fabs(Degrees360(YawFromDirection(way)) - Degrees360(m_CoverYaw));
        if (angle > 180.0f)
            angle = 360.0f - angle;
        if (angle < 30.0f) {
            StartHold(1.3f);
            m_SearchAfterJump = true;
            m_State = JUMPING_COVER;
            RemoveRunningAction();
            m_Owner->GetPosition().SetYaw(m_CoverYaw);
            m_Owner->PlaceEntity();
            PlayOnce(crossed->kind == 'B' ? EnemyAnim::JumpBox : EnemyAnim::JumpOther, false);
            return;
        }
    }
    RemoveRunningAction();
    PlayOnce(EnemyAnim::CoverExit, false);
    StartHold(0.8f);
    // On its way to a new cover the old one is already let go: the one held
    // now is where it runs.
    if (m_State != MOVE_TO_COVER)
        FreeParapet();
    m_InCover = false;
}
