// The states of an enemy that has not engaged the hero yet, or has lost him:
// patrol, idle, alarm and search.
#include "enemies/Enemy.h"

#include "enemies/EnemyManager.h"
#include "enemies/EnemySenses.h"
#include "enemies/EnemyStateHelpers.h"
#include "math/VectorMath.h"
#include "scene/CharacterEntity.h"
#include "sound/SoundManager.h"
#include "world/TriggerManager.h"

void CIAEnemyCover::setSearchingState()
{
    if (m_Dying)
        return;
    CEnemyManager* manager = getEnemyManager();
    // The first hangar wave is staged: its alarm only wakes the next group.
    if (manager->GetCurrentWave() == "wave_01") {
        getTriggerManager().getTriggerLogicByName("ene1_2")->active = true;
        return;
    }
    m_SkipNextFight = true;
    m_FightingPartner = false;
    m_State = SEARCHING;

    if (m_InCover && manager->IsAnyEnemyShooting()) {
        getSoundManager().PlayEnemyCoverLine(m_Distance);
    } else if (m_Owner->GetName() != "ene_Avioneta") {
        getSoundManager().PlayEnemyAlarmLine(m_Distance);
        manager->AlarmEnemiesNearPlayer();
    }

    m_CoverRequested = false;
    if (m_InCover)
        JumpOverCover();
    m_InCover = false;

    if (m_CanMove) {
        m_MoveTarget = getEnemySenses().HeroPlacement().GetPosition();
        PlayCycle("run_");
    } else {
        PlayCycle("idle_");
    }
}

// --- patrol, idle, alarm and search --------------------------------------------

namespace {

// Patrol and home points count as reached this close on the ground.
constexpr float kPointReached = 10.5f;

} // namespace

bool CIAEnemyCover::PlaysNoCycle() const
{
    const CCharacterEntity* entity = m_Owner->GetEntity();
    return entity && entity->GetCycleCount() < 1;
}

void CIAEnemyCover::PlayCycle(const char* prefix)
{
    if (CCharacterEntity* entity = m_Owner->GetEntity()) {
        entity->ClearAllCycles(0.1f);
        entity->BlendCycle(prefix + m_Owner->WeaponWord(), 1.0f, 0.1f);
    }
}

void CIAEnemyCover::MoveTowards(const D3DXVECTOR3& point)
{
    m_MoveFlag = true;
    m_MoveMode = 'I';
    m_MoveTarget = point;
}

void CIAEnemyCover::EnterPatrol()
{
    FreeParapet();
    m_State = PATROL;
    m_InCover = false;
    PlayCycle(m_PatrolPoints.size() < 2 ? "idle_" : "run_");
}

void CIAEnemyCover::UpdatePatrol()
{
    const bool walks = m_PatrolPoints.size() >= 2;
    if (PlaysNoCycle())
        PlayCycle(walks ? "run_" : "idle_");
    if (CanSeePlayer()) {
        setSearchingState();
        return;
    }
    AlarmTest();
    if (m_State != PATROL)
        return;
    if (walks) {
        if (m_PatrolIndex >= m_PatrolPoints.size())
            m_PatrolIndex = 0;
        const D3DXVECTOR3& point = m_PatrolPoints[m_PatrolIndex];
        MoveTowards(point);
        if (DistanceXZ(m_Own, point) < kPointReached)
            m_PatrolIndex = static_cast<std::uint16_t>((m_PatrolIndex + 1) % m_PatrolPoints.size());
        return;
    }
    m_CoverRequested = true;
    if (DistanceXZ(m_Own, m_Home) >= kPointReached) {
        MoveTowards(m_Home);
    } else if (m_RequestedState != "PATROL_STATE") {
        // Sent to patrol with nowhere to go: back home, then what the
        // scripts asked of it before.
        SetState(m_RequestedState);
    }
}

void CIAEnemyCover::EnterIdle()
{
    m_State = IDLE;
    PlayCycle("idle_");
}

void CIAEnemyCover::UpdateIdle()
{
    if (CanSeePlayer()) {
        if (m_CanMove) {
            setSearchingState();
            return;
        }
    } else if (m_CanMove) {
        AlarmTest();
        return;
    }
    if (!m_CanMove && IsInWeaponRange() && HasLineOfSight())
        EnterShooting();
}

void CIAEnemyCover::EnterAlarmed()
{
    if (getEnemyManager()->GetCurrentWave() == "wave_01") {
        getTriggerManager().getTriggerLogicByName("ene1_2")->active = true;
        return;
    }
    // Dockers keep talking and acting when the others are alarmed.
    const bool docker = NameAt(m_Owner->GetName(), 4) == 'D';
    // An alarmed enemy has stopped talking: left flagged, his line would play
    // on and a later hit would cut whatever voice plays by then.
    if (m_Talking && !docker) {
        m_Talking = false;
        getSoundManager().StopOneShot();
    }
    if (m_ScriptAnimation && !docker) {
        if (CCharacterEntity* entity = m_Owner->GetEntity())
            entity->RemoveAction();
        m_ScriptAnimation = false;
    }
    m_LastKnownHero = getEnemySenses().HeroPlacement().GetPosition();
    m_State = ALARMED;
    if (m_CanMove)
        PlayCycle("run_");
}

void CIAEnemyCover::UpdateAlarmed()
{
    if (CanSeePlayer()) {
        setSearchingState();
        return;
    }
    AlarmTest();
    if (m_State != ALARMED)
        return;
    // Nothing was heard where: (0, 0, 0) is no place to run to.
    if (m_LastKnownHero.x == 0.0f && m_LastKnownHero.y == 0.0f && m_LastKnownHero.z == 0.0f) {
        EnterIdle();
        return;
    }
    if (DistanceXZ(m_Own, m_LastKnownHero) >= 10.0f)
        MoveTowards(m_LastKnownHero);
    else
        EnterPatrol();
}

void CIAEnemyCover::UpdateSearching()
{
    if (PlaysNoCycle())
        PlayCycle("run_");
    if (m_Distance >= m_LostDist) {
        EnterPatrol();
        return;
    }
    CEnemyManager* manager = getEnemyManager();
    if (m_CanCover && m_Owner->GetLife() < m_LifeLimitToBeHurt && manager->GetMoveToCoverCount() < 2 &&
        ChooseCoverPoint()) {
        setMoveToCoverState("");
        return;
    }
    if (m_CanMove && RollTrigger()) {
        EnterRoll();
        return;
    }
    if (IsInWeaponRange() && HasLineOfSight()) {
        EnterShooting();
        return;
    }
    if (m_Distance < m_MinDistanceToPlayerWhenChasing)
        return;  // close enough: it stands and waits for a clear shot
    if (manager->GetSearchingCount() >= 2 && m_CanCover && manager->GetMoveToCoverCount() < 2) {
        if (ChooseCoverPoint())
            setMoveToCoverState("");
        else
            EnterPatrol();
        return;
    }
    MoveTowards(m_Hero);
}
