// The states the level scripts and the wave logic steer an enemy through:
// acting (a scripted animation, a talk line or a walked track), waiting,
// kamikaze, evading an obstacle, the melee hand-over, the pallet blast, the
// dockers' stand and the Thompson turret's bursts.
#include "enemies/Enemy.h"

#include <algorithm>
#include <cmath>

#include "enemies/EnemyManager.h"
#include "enemies/EnemySenses.h"
#include "gui/Subtitles.h"
#include "math/VectorMath.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

namespace {

char CharAt(const std::string& name, size_t index)
{
    return index < name.size() ? name[index] : '\0';
}

// Track points count as reached this close on the ground.
constexpr float kTrackPointReached = 7.5f;
// The fight starts with the two this far apart (Manhattan, on the ground).
constexpr float kFightNear = 51.0f;
constexpr float kFightFar = 59.0f;
// Each placement step is this share of the first offset.
constexpr float kFightStepShare = 0.1f;
// With no offset at all (both on one ground point) the enemy steps back
// along its own facing by this much.
constexpr float kFightStepAlone = 5.5f;
// Far more steps than any placement needs: a tiny offset must not spin here.
constexpr int kMaxFightSteps = 1000;

// A docker hidden behind its low cover pops up, fires this many shots and
// ducks; the next attack waits this long and needs the hero within reach.
constexpr std::uint16_t kDockerShots = 4;
constexpr float kDockerPause = 2.5f;
constexpr float kDockerReach = 1390.0f;

// The Thompson turret: bursts of 40, the first 13 held tight, then a pause.
constexpr std::uint16_t kBurstShots = 40;
constexpr std::uint16_t kTightShots = 13;
constexpr float kBurstPause = 4.5f;
constexpr float kFirstBurstDelay = 3.2f;

} // namespace

void CIAEnemyCover::ActivateLogic(const std::string& name)
{
    getTriggerManager().getTriggerLogicByName(name)->active = true;
}

// --- acting ------------------------------------------------------------------------

void CIAEnemyCover::setAnimScript(std::string animation, float seconds)
{
    // A script may reach an enemy its wave still holds but that has
    // died: the dead take no new state.
    if (m_Dying)
        return;
    m_State = ACTING;
    m_ScriptAnimation = true;
    if (CCharacterEntity* entity = m_Owner->GetEntity()) {
        if (entity->GetActionCount() > 0)
            entity->RemoveAction();
        entity->ExecuteAction(animation, 0.0f, 0.0f, 1.0f, false);
    }
    m_ScriptAnimationTimer = seconds;
}

void CIAEnemyCover::setTalkScript(std::string talk, float seconds)
{
    if (m_Dying)
        return;
    m_State = ACTING;
    m_Talking = true;
    const float distance =
        ManhattanDistanceXZ(m_Owner->GetPosition().GetPosition(), getEnemySenses().HeroPlacement().GetPosition());
    // However far the hero is, a scripted line stays audible.
    const float volume = std::max(CSoundManager::VolumeByDistance(distance), 0.6f);
    getSoundManager().playThisSampleOnce(talk, volume);
    m_TalkTimer = seconds;
}

void CIAEnemyCover::setTrackerScript(bool tracking, std::string target)
{
    if (m_Dying)
        return;
    m_State = ACTING;
    m_Tracking = true;
    m_TrackerPoints = m_PatrolPoints;
    m_TrackerIndex = 0;
    m_TrackerStateName = target;
    BlendOnly(tracking ? EnemyAnim::WalkTrack : EnemyAnim::Run);
}

void CIAEnemyCover::UpdateActing()
{
    const std::string wave = getEnemyManager()->GetCurrentWave();
    const bool quietWave =
        (wave == "wave_33" && getEnemyManager()->GetCurrentRoom() == "room3") || wave == "wave_04";
    if (CharAt(m_Owner->GetName(), 4) != 'D' && !quietWave) {
        AlarmTest();
        if (m_State == ALARMED)
            return;
    }
    const float step = m_LastStep;
    if (m_Talking) {
        getSoundManager().SetOneShotVolume(CSoundManager::VolumeByDistance(m_Distance));
        m_TalkTimer -= step;
        m_Talking = m_TalkTimer > 0.0f;
    }
    if (m_ScriptAnimation) {
        m_ScriptAnimationTimer -= step;
        m_ScriptAnimation = m_ScriptAnimationTimer > 0.0f;
        if (!m_ScriptAnimation) {
            if (CCharacterEntity* entity = m_Owner->GetEntity())
                entity->RemoveAction();
        }
    }
    if (m_Tracking) {
        if (m_TrackerIndex < m_TrackerPoints.size()) {
            const D3DXVECTOR3& point = m_TrackerPoints[m_TrackerIndex];
            MoveTowards(point);
            if (DistanceXZ(m_Own, point) < kTrackPointReached)
                ++m_TrackerIndex;
        }
        if (m_TrackerIndex >= m_TrackerPoints.size()) {
            BlendOnly(EnemyAnim::Stand, 0.1f, 0.1f);
            m_Tracking = false;
            std::string next = m_TrackerStateName;
            if (next == "Torret") {
                // A turret from here on: it stays and searches from its post.
                m_CanMove = false;
                next = "SEARCH_STATE";
            }
            SetState(next);
        }
    }
    if (m_Talking || m_ScriptAnimation || m_Tracking)
        return;
    if (m_SavedState == DOCKERS) {
        m_State = DOCKERS;
        UpdateDockers();
    } else if (m_State == ACTING && m_ScriptIndex < m_NumOfScripts) {
        // Only three names are kept; further indices have nothing to start.
        if (m_ScriptIndex < 3)
            ActivateLogic(m_Scripts[m_ScriptIndex]);
        ++m_ScriptIndex;
        if (m_Scripts[0] == "ene5_2")
            m_State = WAITING;
    } else if (m_State != SEARCHING) {
        EnterIdle();
    }
}

// --- waiting -------------------------------------------------------------------------

void CIAEnemyCover::setWaitingState(float seconds, std::string triggerLogic)
{
    if (m_Dying)
        return;
    if (seconds > 0.0f) {
        m_WaitingTimer = seconds;
        m_WaitingLogic = triggerLogic;
        m_Waiting = true;
    } else {
        m_Waiting = false;
    }
    m_State = WAITING;
    BlendOnly(EnemyAnim::Stand, 0.1f, 0.1f);
}

void CIAEnemyCover::UpdateWaiting()
{
    if (getEnemyManager()->GetCurrentWave() == "wave_37")
        return;
    AlarmTest();
    if (m_State == WAITING && m_Waiting && m_WaitingTimer <= 0.0f) {
        m_Waiting = false;
        ActivateLogic(m_WaitingLogic);
    }
}

// --- kamikaze ------------------------------------------------------------------------

void CIAEnemyCover::setKamikazeState()
{
    if (m_Dying)
        return;
    if (m_InCover) {
        FreeParapet();
        if (CCharacterEntity* entity = m_Owner->GetEntity()) {
            entity->RemoveAction();
            entity->ExecuteAction(AnimName(EnemyAnim::CoverExit), 0.1f,
                                  0.1f, 1.0f, false);
        }
        // Held while it comes out; a hit reaction still pending stays so.
        m_Hold = true;
        m_HoldTimer = 0.8f;
    }
    m_InCover = false;
    BlendOnly(EnemyAnim::Run);
    m_State = KAMIKAZE;
}

void CIAEnemyCover::UpdateKamikaze()
{
    MoveTowards(getEnemySenses().HeroPlacement().GetPosition());
    // Over a parapet he is out of reach: it looks for him instead.
    if (getEnemySenses().HeroJumpingCover())
        setSearchingState();
}

// --- evade ----------------------------------------------------------------------------

void CIAEnemyCover::EnterEvade(D3DXVECTOR3 point, bool direct)
{
    m_EvadeDirect = direct;
    BlendOnly(EnemyAnim::Run);
    if (m_State != EVADE) {
        m_SavedState = m_State;
        m_SavedTarget = m_MoveTarget;
    }
    m_MoveTarget = point;
    m_State = EVADE;
}

void CIAEnemyCover::LeaveEvade()
{
    m_EvadeDirect = false;
    m_State = static_cast<std::uint16_t>(m_SavedState);
    const bool chasing = m_SavedState == ALARMED || m_SavedState == SEARCHING || m_SavedState == KAMIKAZE;
    m_MoveTarget = chasing ? getEnemySenses().HeroPlacement().GetPosition() : m_SavedTarget;
    m_SecondMode = 'N';
    m_PointName.clear();
}

void CIAEnemyCover::UpdateEvade()
{
    const bool chase = m_SavedState == SEARCHING || m_SavedState == ALARMED;
    if (m_EvadeDirect || (m_SavedState != MOVE_TO_COVER && !chase)) {
        MoveTowards(m_MoveTarget);
        return;
    }
    if (chase) {
        m_SavedTarget = m_Hero;
        MoveTowards(m_MoveTarget);
        return;
    }
    m_MoveToCoverTimer += m_LastStep;
    if (m_MoveToCoverTimer > 2.5f && IsInWeaponRange()) {
        m_SecondMode = 'N';
        m_PointName.clear();
        EnterShooting();
        return;
    }
    if (ChooseCoverPoint() && m_CoverTarget != m_SavedTarget)
        m_SavedTarget = m_CoverTarget;
    MoveTowards(m_MoveTarget);
}

// --- the melee hand-over --------------------------------------------------------------

void CIAEnemyCover::EnterFightingFromMelee()
{
    m_State = FIGHTING;
    if (CCharacterEntity* entity = m_Owner->GetEntity())
        entity->RemoveAction();
    getEnemySenses().StopHeroAction();
    PlaceAtFightingDistance();
    CLocation& place = m_Owner->GetPosition();
    place.AddYaw(WrapAngle(place.AngleTo(m_Hero)));
    m_Owner->PlaceEntity();
    if (m_InCover)
        FreeParapet();
    m_InCover = false;
}

void CIAEnemyCover::PlaceAtFightingDistance()
{
    CLocation& place = m_Owner->GetPosition();
    D3DXVECTOR3 own = place.GetPosition();
    const D3DXVECTOR3 hero = getEnemySenses().HeroPlacement().GetPosition();
    float d = ManhattanDistanceXZ(own, hero);
    if (d >= kFightNear && d <= kFightFar)
        return;
    D3DXVECTOR3 step((own.x - hero.x) * kFightStepShare, 0.0f, (own.z - hero.z) * kFightStepShare);
    if (step.x == 0.0f && step.z == 0.0f) {
        // Standing on the hero's own ground point there is no line to step
        // along: it steps the way it faces.
        const D3DXVECTOR3 facing = DirectionFromYaw(place.GetYaw());
        step = D3DXVECTOR3(facing.x * kFightStepAlone, 0.0f, facing.z * kFightStepAlone);
    }
    const bool outward = d < kFightNear;
    for (int i = 0; i < kMaxFightSteps && (outward ? d < kFightNear : d > kFightFar); ++i) {
        own = outward ? own + step : own - step;
        d = ManhattanDistanceXZ(own, hero);
    }
    place.SetPosition(own);
    m_Owner->PlaceEntity();
    getCollisionManager().setNewEnemyPosition(m_Owner->GetName(), own);
}

void CIAEnemyCover::UpdateFighting()
{
    IEnemySenses& senses = getEnemySenses();
    const bool heroFighting = senses.HeroFighting();
    if (heroFighting && !m_FightingPartner) {
        // Someone else holds him.
        EnterShooting();
        return;
    }
    if (!heroFighting && !m_FightingPartner) {
        const char letter = senses.NextHeroFightLetter();
        senses.HeroStartsFight(m_Owner, static_cast<int>(letter));
        senses.HeroFaces(m_Owner->GetPosition().GetPosition());
        m_FightingPartner = true;
    }
}

// --- the pallet blast --------------------------------------------------------------------

void CIAEnemyCover::StartFlyingPallet()
{
    m_DieWithoutAnimation = true;
    m_Dying = true;
    m_Owner->RemoveMarker();
    float length = 0.0f;
    if (CCharacterEntity* entity = m_Owner->GetEntity()) {
        entity->ClearAllCycles(0.1f);
        entity->RemoveAction();
        length = entity->ExecuteAction(AnimName(EnemyAnim::FlyingPallet), 0.0f, 0.0f, 1.0f, false);
        entity->BlendCycle(AnimName(EnemyAnim::FlyingPalletIdle), 1.0f, 0.1f);
    }
    m_Hold = true;
    m_HoldTimer = length;
}

// --- the dockers -------------------------------------------------------------------------

void CIAEnemyCover::setDockersState()
{
    if (m_Dying)
        return;
    m_BurstPause = kDockerPause;
    m_CoverYaw = -0.548f;
    m_Bursting = false;
    m_BurstCount = 0;
    m_Accuracy = 1;
    m_Owner->GetPosition().SetYaw(2.68f);
    m_Owner->PlaceEntity();
    m_CoverRequested = true;
    m_ForceCoverChoice = true;
    m_CanMove = false;
    m_HighParapet = false;
    m_InCover = false;
    m_DockerDone = false;
    m_DockerHit = false;
    m_SavedState = DOCKERS;

    // Each docker has its own taunt, by the digit of its name.
    const char which = CharAt(m_Owner->GetName(), 11);
    const char* line = which == '1' ? "dockersAQEsperais" : which == '2' ? "dockersInutiles" : "dockersAndamio";
    const float tauntTime = which == '1' ? 2.1f : 4.0f;
    getSoundManager().playThisSampleOnce(std::string("data/sound/") + line + ".ogg", 1.0f);
    getSubtitulos().showSubtitulo(line);
    setAnimScript(EnemyAnimName(EnemyAnim::Pointing, "GUN"), tauntTime);

    m_RestartDockers = false;
    if (CCharacterEntity* entity = m_Owner->GetEntity()) {
        entity->ClearAllCycles(0.0f);
        entity->BlendCycle(EnemyAnimName(EnemyAnim::Aim, "GUN"), 1.0f, 0.0f);
    }
}

void CIAEnemyCover::UpdateDockers()
{
    if (m_RestartDockers) {
        m_RestartDockers = false;
        setDockersState();
        return;
    }
    const float step = m_LastStep;
    if (m_DockerActionPlaying) {
        m_DockerActionTimer -= step;
        if (m_DockerActionTimer > 0.0f)
            return;
        m_DockerActionPlaying = false;
    }
    CCharacterEntity* entity = m_Owner->GetEntity();
    // The dockers' poses are the pistol's, whatever they carry.
    auto duck = [&]() {
        if (entity) {
            entity->ClearAllCycles(0.0f);
            entity->BlendCycle(EnemyAnimName(EnemyAnim::CoverIdle, "GUN"), 0.1f, 0.1f);
            entity->ExecuteAction(EnemyAnimName(EnemyAnim::LeanBack, "GUN"), 0.1f, 0.1f, 1.0f, false);
        }
        m_DockerActionPlaying = true;
        m_DockerActionTimer = 1.0f;
        m_InCover = true;
    };
    if (m_DockerHit) {
        if (m_InCover) {
            // Down for good once the duck has played out.
            if (!entity || entity->GetActionCount() <= 0)
                m_DockerDone = true;
            return;
        }
        duck();
        return;
    }
    if (m_Bursting) {
        if (entity) {
            entity->ClearAllCycles(0.0f);
            entity->BlendCycle(EnemyAnimName(EnemyAnim::Aim, "GUN"), 1.0f, 0.0f);
        }
        if (m_InCover) {
            if (entity)
                entity->ExecuteAction(EnemyAnimName(EnemyAnim::LeanOut, "GUN"), 0.1f, 0.1f, 1.0f, false);
            m_DockerActionPlaying = true;
            m_DockerActionTimer = 0.4f;
            m_InCover = false;
            return;
        }
        UpdateView();
        if (m_BurstCount < kDockerShots) {
            IWeapon* weapon = m_Owner->GetWeapon();
            if (weapon && m_Clock - m_LastShotClock > weapon->GetCadence()) {
                weapon->FireEnemyShot(m_Owner->GetPosition(), m_Accuracy);
                const float length =
                    entity ? entity->ExecuteAction(EnemyAnimName(EnemyAnim::Shot, "GUN"), 0.0f, 0.5f, 1.0f, false)
                           : 0.0f;
                m_DockerActionTimer = length;
                m_DockerActionPlaying = true;
                ++m_BurstCount;
                m_LastShotClock = m_Clock;
                // A docker never reloads.
                weapon->SetClipAndAmmo(6, 6);
            }
            return;
        }
        duck();
        m_BurstPause = kDockerPause;
        m_Bursting = false;
        m_BurstCount = 0;
        return;
    }
    m_BurstPause -= step;
    m_Bursting = m_BurstPause < 0.0f && m_Distance < kDockerReach;
}

// --- the Thompson turret -----------------------------------------------------------------

void CIAEnemyCover::EnterAimingThompson()
{
    m_BurstPause = kFirstBurstDelay;
    m_LastShotClock = 0.0f;
    m_State = AIMING_THOMPSON;
    m_BurstCount = 0;
    m_Bursting = false;
    m_AimCounter = 0;
    if (CCharacterEntity* entity = m_Owner->GetEntity()) {
        entity->ClearAllCycles(0.0f);
        entity->BlendCycle(AnimName(EnemyAnim::AimingThompson), 1.0f, 0.0f);
    }
    UpdateView();
    // The gunner sits inside the plane: only its shots are seen.
    if (CCharacterEntity* entity = m_Owner->GetEntity())
        entity->SetVisible(false);
}

void CIAEnemyCover::UpdateAimingThompson()
{
    CLocation& place = m_Owner->GetPosition();
    place.AddYaw(WrapAngle(place.AngleTo(getEnemySenses().HeroPlacement().GetPosition())));
    m_Owner->PlaceEntity();
    if (!m_Bursting) {
        m_BurstPause -= m_LastStep;
        m_Bursting = m_BurstPause < 0.0f;
        return;
    }
    if (m_BurstCount < kBurstShots) {
        IWeapon* weapon = m_Owner->GetWeapon();
        if (weapon && m_Clock - m_LastShotClock > weapon->GetCadence()) {
            const std::uint16_t n = m_AimCounter;
            int spread = 2;
            if (n < kTightShots) {
                spread = 0;
                ++m_AimCounter;
            }
            weapon->FireThompsonShot(place, spread, n);
            ++m_BurstCount;
            m_LastShotClock = m_Clock;
        }
        return;
    }
    m_BurstPause = kBurstPause;
    m_Bursting = false;
    m_BurstCount = 0;
    m_AimCounter = 0;
}
