#include "enemies/Enemy.h"

#include <cmath>

#include "enemies/EnemyManager.h"
#include "enemies/EnemySenses.h"
#include "enemies/EnemyStateHelpers.h"
#include "platform/crt.h"
#include "world/Parapet.h"
#include <algorithm>
#include "math/VectorMath.h"
#include "platform/win32.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "render/TextureManager.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "gui/Achievements.h"
#include "player/WeaponPickups.h"
#include "sound/SoundManager.h"
#include "world/TriggerManager.h"

namespace {

int g_LiveEnemies = 0;

// The marker floats this far over the enemy's feet.
const D3DXVECTOR3 kMarkerLift(0.0f, 110.0f, 0.0f);

// Feet further apart than this in height stand on different ground: a ledge,
// a plateau over a square. The ground distance alone would start a fight
// between a hero up there and a soldier below, each punching air.
constexpr float kSameGroundHeight = 60.0f;

} // namespace

// --- the AI --------------------------------------------------------------------

CIAEnemyCover::CIAEnemyCover(CEnemy* owner, CXMLAttributes a) : m_Owner(owner)
{
    m_NearDist = a.GetFloat("nearDist", 0.0f);
    m_ViewDist = a.GetFloat("viewDist", 0.0f);
    m_LostDist = a.GetFloat("lostDist", 0.0f);
    m_VisionAngle = a.GetFloat("visionAngle", 0.0f);
    m_AlarmDist = a.GetFloat("alarmDist", 0.0f);
    m_Accuracy = static_cast<std::uint16_t>(a.GetInt("accuracy", 80));
    m_WillOfShootFromCover = static_cast<std::uint16_t>(a.GetInt("willOfShootFromCover", 0));
    m_MinTimeToShotFromCover = static_cast<std::uint16_t>(a.GetInt("minTimeToShotFromCover", 0));
    m_WillOfStandingShoot = static_cast<std::uint16_t>(a.GetInt("willOfStandingShoot", 0));
    m_MinDistanceToPlayerWhenChasing = a.GetFloat("minDistanceToPlayerWhenChasing", 0.0f);
    m_MaxTimeCovered = a.GetFloat("maxTimeCovered", 0.0f);
    m_MaxTimeShootingFromCover = static_cast<std::uint16_t>(a.GetInt("maxTimeShootingFromCover", 0));
    m_SecondsToStartRegenerating = a.GetFloat("secondsToStartRegenerating", 0.0f);
    m_BulletsToRoll[0] = static_cast<std::uint16_t>(a.GetInt("bulletsToRollIfPlayerWithOstrel", 0));
    m_BulletsToRoll[1] = static_cast<std::uint16_t>(a.GetInt("bulletsToRollIfPlayerWithThompson", 0));
    m_BulletsToRoll[2] = static_cast<std::uint16_t>(a.GetInt("bulletsToRollIfPlayerWithShotgun", 0));
    m_MaxBulletsWithGun = static_cast<std::uint16_t>(a.GetInt("maxBulletsAttackingWithGun", 4));
    m_MaxBulletsWithShotgun = static_cast<std::uint16_t>(a.GetInt("maxBulletsAttackingWithShotgun", 1));
    m_MaxBulletsWithThompson = static_cast<std::uint16_t>(a.GetInt("maxBulletsAttackingWithThompson", 25));
    m_LifeLimitToBeHurt = static_cast<std::uint16_t>(a.GetInt("lifeLimitToBeHurt", 0));
    m_RegeneratingTax = static_cast<std::uint16_t>(a.GetInt("regeneratingTax", 0));
    m_CanCover = a.GetBool("canCover", true);
    m_CanMove = a.GetBool("canMove", true);
    m_NumOfScripts = static_cast<std::uint16_t>(a.GetInt("numOfScripts", 0));
    m_ScriptsText = a.GetString("scripts", "");

    Init();

    const IWeapon* weapon = owner ? owner->GetWeapon() : nullptr;
    const std::string weaponName = weapon ? weapon->GetName() : "";
    if (weaponName == "GUN")
        m_ShotsPerAttack = m_MaxBulletsWithGun;
    else if (weaponName == "THOMPSON")
        m_ShotsPerAttack = m_MaxBulletsWithThompson;
    else if (weaponName == "SHOTGUN")
        m_ShotsPerAttack = m_MaxBulletsWithShotgun;

    if (m_NumOfScripts != 0) {
        m_ScriptIndex = 0;
        m_State = WAITING;
        // Up to three names joined by "-"; further dashes belong to the third.
        const std::string& s = m_ScriptsText;
        const size_t first = m_NumOfScripts >= 2 ? s.find('-') : std::string::npos;
        if (first == std::string::npos) {
            m_Scripts[0] = s;
        } else {
            m_Scripts[0] = s.substr(0, first);
            const size_t second = m_NumOfScripts >= 3 ? s.find('-', first + 1) : std::string::npos;
            if (second == std::string::npos) {
                m_Scripts[1] = s.substr(first + 1);
            } else {
                m_Scripts[1] = s.substr(first + 1, second - first - 1);
                m_Scripts[2] = s.substr(second + 1);
            }
        }
    }

    const std::string name = owner ? owner->GetName() : "";
    m_DieWithoutAnimation = name == "ene_45" || name == "ene_42" || name == "ene_43" || name == "ene_44";
}

void CIAEnemyCover::Init()
{
    m_PatrolIndex = 0;
    if (m_PatrolPoints.size() < 2 && m_Owner)
        m_PatrolPoints.assign(1, m_Owner->GetPosition().GetPosition());
}


bool CIAEnemyCover::IsStateName(const std::string& name)
{
    static const char* const kNames[] = {"WAITING_STATE", "ACTING_STATE", "PATROL_STATE", "KAMIKAZE",
                                         "SEARCH_STATE", "MOVE_TO_COVER_STATE", "COVER_STATE", "IDLE_STATE",
                                         "RELOAD_STATE", "ALARMED_STATE", "ROLL_STATE", "DOCKERS_STATE"};
    for (const char* known : kNames)
        if (name == known)
            return true;
    return false;
}

void CIAEnemyCover::SetState(std::string name)
{
    m_RequestedState = name;
    if (name == "WAITING_STATE") {
        setWaitingState(0.0f, "");
    } else if (name == "ACTING_STATE") {
        m_State = ACTING;
    } else if (name == "PATROL_STATE") {
        EnterPatrol();
    } else if (name == "KAMIKAZE") {
        setKamikazeState();
    } else if (name == "SEARCH_STATE") {
        setSearchingState();
    } else if (name == "MOVE_TO_COVER_STATE") {
        m_CoverRequested = true;
        m_ForceCoverChoice = true;
        const std::string own = m_Owner ? m_Owner->GetName() : "";
        // These three hold their own parapets of the hangar.
        std::string parapet;
        if (own == "ene_7")
            parapet = "p_a_n_A_B_502";
        else if (own == "ene_8")
            parapet = "p_b_n_A_B_501";
        else if (own == "ene_9")
            parapet = "p_b_n_A_B_500";
        setMoveToCoverState(parapet);
    } else if (name == "COVER_STATE") {
        m_CoverYaw = 1.043f;
        m_CoverRequested = true;
        m_CanMove = false;
        m_ForceCoverChoice = true;
        m_HighParapet = false;
        EnterCover();
    } else if (name == "IDLE_STATE") {
        EnterIdle();
    } else if (name == "RELOAD_STATE") {
        m_State = RELOAD;
    } else if (name == "ALARMED_STATE") {
        EnterAlarmed();
    } else if (name == "ROLL_STATE") {
        EnterRoll();
    } else if (name == "DOCKERS_STATE") {
        setDockersState();
        // The first dockers update runs the whole entry, taunt included, again.
        m_RestartDockers = true;
    }
}

namespace {

constexpr float kQuarterTurn = 1.5707964f;

const char* LabelOf(std::uint16_t state)
{
    switch (state) {
    case CIAEnemyCover::PATROL: return "PATROL";
    case CIAEnemyCover::SHOOTING: return "SHOOTING";
    case CIAEnemyCover::SEARCHING: return "SEARCHING";
    case CIAEnemyCover::MOVE_TO_COVER: return "MOVE TO COVER";
    case CIAEnemyCover::COVER: return "COVER";
    case CIAEnemyCover::FIGHTING: return "FIGHTING";
    case CIAEnemyCover::SHOOTING_FROM_COVER: return "SHOOTING FROM COVER";
    case CIAEnemyCover::DEAD: return "DEAD";
    case CIAEnemyCover::IDLE: return "IDLE";
    case CIAEnemyCover::RELOAD: return "RELOAD";
    case CIAEnemyCover::ALARMED: return "ALARMED";
    case CIAEnemyCover::ROLL: return "ROLL";
    case CIAEnemyCover::KAMIKAZE: return "KAMIKAZE";
    case CIAEnemyCover::EVADE: return "EVADE STATE";
    case CIAEnemyCover::ACTING: return "ACTING STATE";
    case CIAEnemyCover::WAITING: return "WAITING STATE";
    case CIAEnemyCover::DOCKERS: return "DOCKERS STATE";
    default: return nullptr;
    }
}

} // namespace

void CIAEnemyCover::Update(float seconds)
{
    // A hit is news for the one update after it landed, whichever way this
    // update ends.
    struct HitSeen {
        bool& flag;
        ~HitSeen() { flag = false; }
    } hitSeen{m_HitThisFrame};
    IEnemySenses& senses = getEnemySenses();
    if (senses.HeroDead())
        return;
    // Everyone else stands frozen while the hero fights one of them.
    if (senses.HeroFighting() && !m_FightingPartner)
        return;

    CCharacterEntity* entity = m_Owner->GetEntity();
    if (m_Dying) {
        if (m_Destroyed)
            return;
        if (entity && entity->GetActionCount() > 0)
            return;  // the death animation plays on
        if (m_DieWithoutAnimation) {
            m_State = DEAD;
            m_Regenerating = false;
            RemoveBody();
            m_Destroyed = true;
            if (entity)
                entity->SetVisible(false);
            return;
        }
        // The corpse keeps the last pose of its death.
        if (entity)
            entity->ClearAllCycles(0.0f);
        RemoveBody();
        if (getEnemyManager()->GetCurrentWave() != "wave_04")
            DropWeapon();
        m_Destroyed = true;
        return;
    }

    m_MoveFlag = false;
    if (seconds < 0.0f)
        seconds = 0.0f;
    m_PreviousClock = m_Clock;
    m_Clock += seconds;
    m_LastStep = seconds;
    m_Own = m_Owner->GetPosition().GetPosition();
    m_Placed = true;

    if (m_State == AIMING_THOMPSON) {
        UpdateAimingThompson();
        return;
    }

    m_StateTimer -= seconds;
    m_WaitingTimer -= seconds;
    m_Hero = senses.HeroPlacement().GetPosition();
    m_Distance = ManhattanDistanceXZ(m_Own, m_Hero);

    // Sight in passing: anyone this close notices him, walls or not.
    const std::uint16_t s = m_State;
    const bool quiet = s == WAITING || s == ACTING || s == PATROL || s == IDLE || s == EVADE || s == MOVE_TO_COVER;
    if (!senses.HeroInCover() && quiet && m_Distance < 250.0f && NameAt(m_Owner->GetName(), 4) != 'D')
        EnterShooting();

    // Only a hero on this enemy's own ground comes near: the spots kept here
    // are where a lost fight puts both back, so they must be that ground's.
    const float nearLimit = m_NearDist + 80.0f;
    const bool sameGround = std::fabs(m_Own.y - m_Hero.y) <= kSameGroundHeight;
    if (!m_Near && m_Distance <= nearLimit && sameGround) {
        m_Near = true;
        m_NearOwn = m_Own;
        m_NearHero = m_Hero;
    } else if (m_Near && (m_Distance > nearLimit || !sameGround)) {
        m_Near = false;
    }

    if (m_Near && m_State != FIGHTING && m_Distance < m_NearDist && MeleeTest()) {
        if (m_State == ROLL)
            m_RollRunning = false;
        if (m_State == SHOOTING || m_State == SHOOTING_FROM_COVER) {
            m_ShotCounter = 0;
            m_ShotTimer = 0.0f;
        }
        if (m_State == RELOAD) {
            m_Reloading = false;
            m_ReloadTimer = 0.0f;
        }
        if (m_SkipNextFight)
            m_SkipNextFight = false;
        else
            EnterFightingFromMelee();
    } else {
        Regenerate();
        if (m_Hold && !m_FightingPartner) {
            m_HoldTimer -= seconds;
            if (m_HoldTimer > 0.0f)
                return;
            m_ShotTimer = 0.0f;
            m_Hold = false;
            if (m_DockerHit && m_InCover) {
                m_DockerDone = true;
                return;
            }
            if (m_SearchAfterJump) {
                m_SearchAfterJump = false;
                m_HitReaction = false;
                FreeParapet();
                m_InCover = false;
                setSearchingState();
                m_MoveFlag = true;
            }
            if (m_HitReaction) {
                m_StateTimer = 0.0f;
                m_HitReaction = false;
                if (m_InCover) {
                    if (entity) {
                        entity->ClearAllCycles(0.1f);
                        entity->BlendCycle((m_HighParapet ? "palto_" : "pBajo_") + m_Owner->WeaponWord() + "_idle",
                                           0.1f, 0.1f);
                    }
                } else {
                    if (m_TrackerStateName == "Torret")
                        m_CanMove = false;
                    setSearchingState();
                }
            }
        }
    }
    RunState();
}

void CIAEnemyCover::RunState()
{
    if (const char* label = LabelOf(m_State))
        m_Label = label;
    switch (m_State) {
    case SHOOTING:
        UpdateShooting();
        break;
    case MOVE_TO_COVER:
        UpdateMoveToCover();
        break;
    case COVER:
        UpdateCover();
        break;
    case SHOOTING_FROM_COVER:
        UpdateShootingFromCover();
        break;
    case RELOAD:
        UpdateReload();
        break;
    case ROLL:
        UpdateRoll();
        break;
    case PATROL:
        UpdatePatrol();
        break;
    case IDLE:
        UpdateIdle();
        break;
    case ALARMED:
        UpdateAlarmed();
        break;
    case SEARCHING:
        UpdateSearching();
        break;
    case FIGHTING:
        UpdateFighting();
        break;
    case KAMIKAZE:
        UpdateKamikaze();
        break;
    case EVADE:
        UpdateEvade();
        break;
    case ACTING:
        UpdateActing();
        break;
    case WAITING:
        UpdateWaiting();
        break;
    case DOCKERS:
        UpdateDockers();
        break;
    default:
        // The dead lie still; the jump over cover runs out on its hold.
        break;
    }
}

bool CIAEnemyCover::MeleeTest()
{
    IEnemySenses& senses = getEnemySenses();
    if (senses.HeroJumpingCover() || NameAt(m_Owner->GetName(), 4) == 'D')
        return false;
    // Chest height; the lift stays until the next frame reads the positions.
    m_Own.y += 15.0f;
    m_Hero.y += 15.0f;
    if (senses.RayBlocked(m_Own, m_Hero))
        return false;
    if ((m_State == COVER || m_State == SHOOTING_FROM_COVER || m_State == RELOAD) && m_InCover && !m_HighParapet) {
        // Behind a low parapet only a hero on its own side may start a fight:
        // his heading must lie within a quarter turn of the cover's.
        if (HeroBehindCoverLine())
            return false;
    }
    return true;
}

bool CIAEnemyCover::IsInWeaponRange()
{
    const char mark = NameAt(m_Owner->GetName(), 4);
    if (mark == '7' || mark == '8' || mark == '9')
        return m_Distance < 1600.0f;
    const std::string wave = getEnemyManager()->GetCurrentWave();
    if (wave == "wave_34")
        return m_Distance < 1700.0f;
    if (wave == "wave_35")
        return m_Distance < 900.0f;
    const float range = m_Owner->GetWeapon() ? m_Owner->GetWeapon()->GetRatioOfShot() : 0.0f;
    if (m_State == SHOOTING_FROM_COVER)
        return m_Distance <= range + 30.0f;
    return m_Distance <= range;
}

bool CIAEnemyCover::RollTrigger()
{
    IEnemySenses& senses = getEnemySenses();
    if (!senses.HeroReadyToShoot())
        return false;
    if (m_InCover) {
        m_RollCounter = 0;
        return false;
    }
    if (std::fabs(senses.HeroPlacement().AngleTo(m_Own)) < 0.1f)
        ++m_RollCounter;
    const std::string weapon = senses.HeroWeaponName();
    const std::uint16_t threshold =
        weapon == "THOMPSON" ? m_BulletsToRoll[1] : weapon == "SHOTGUN" ? m_BulletsToRoll[2] : m_BulletsToRoll[0];
    return m_RollCounter >= threshold;
}

void CIAEnemyCover::AlarmTest()
{
    if (!(m_Distance < m_AlarmDist))
        return;
    IEnemySenses& senses = getEnemySenses();
    if (!senses.HeroReadyToShoot() && !senses.HeroWasHit())
        return;
    m_LastKnownHero = m_Hero;
    if (m_State != ALARMED)
        EnterAlarmed();
}

bool CIAEnemyCover::HasLineOfSight()
{
    const D3DXVECTOR3 lift(0.0f, 75.0f, 0.0f);
    return !getEnemySenses().RayBlocked(m_Own + lift, m_Hero + lift);
}

bool CIAEnemyCover::CanSeePlayer() const
{
    if (m_Distance > m_ViewDist)
        return false;
    const float yaw = m_Owner->GetPosition().GetYaw();
    const D3DXVECTOR3 facing(std::sin(yaw), 0.0f, std::cos(yaw));
    return WrappedAngleBetween(facing, m_Hero - m_Own) < m_VisionAngle * 0.01745329238474369f;
}

bool CIAEnemyCover::IsPointInShotRange(const D3DXVECTOR3& point)
{
    const IWeapon* weapon = m_Owner->GetWeapon();
    if (!weapon)
        return false;
    return ManhattanDistanceXZ(m_Hero, point) <= weapon->GetRatioOfShot();
}

bool CIAEnemyCover::IsNearOwnParapet() const
{
    return m_Occupied && ManhattanDistanceXZ(m_Own, m_Occupied->transform.GetPosition()) < 70.0f;
}

bool CIAEnemyCover::IsCoverPointUnusable(const TParapet* parapet) const
{
    if (!parapet)
        return true;
    const D3DXVECTOR3 centre = parapet->transform.GetPosition();
    if (ManhattanDistanceXZ(m_Own, centre) > ManhattanDistanceXZ(m_Hero, centre))
        return true;
    D3DXVECTOR3 toHero = m_Hero - centre;
    toHero.y = 0.0f;
    return std::fabs(AngleDifference(YawFromDirection(parapet->facing), YawFromDirection(toHero))) < 2.1f;
}

bool CIAEnemyCover::IsShootFromCoverTimeOver() const
{
    // A value of 0 would divide by nothing: it counts as 1.
    const int spread = m_MaxTimeShootingFromCover ? m_MaxTimeShootingFromCover : 1;
    return static_cast<float>(crt::rand() % spread) + 7.0f < m_Clock - m_LeanOutStart;
}

bool CIAEnemyCover::IsPlayerAimingAtMe()
{
    return std::fabs(getEnemySenses().HeroPlacement().AngleTo(m_Own)) < 0.1f;
}

void CIAEnemyCover::Regenerate()
{
    if (m_Regenerating && m_Owner->GetLife() != static_cast<short>(m_Owner->GetTopLife())) {
        const int top = m_Owner->GetTopLife();
        if (m_Owner->GetLife() + m_RegeneratingTax >= top) {
            const int lowered = std::max(1, top - 9);
            m_Owner->SetLifeAndTopLife(static_cast<short>(lowered), static_cast<std::uint16_t>(lowered));
        } else {
            m_Owner->AddLife(m_RegeneratingTax);
        }
    }
    m_RegenClock += m_LastStep;
    if (m_SecondsToStartRegenerating < m_RegenClock)
        m_Regenerating = true;
}

void CIAEnemyCover::FreeParapet()
{
    if (!m_Occupied)
        return;
    // A level loaded since may have taken its parapets away with it: only a
    // parapet still in the list is given back.
    for (TParapet* parapet : getEnemySenses().Parapets())
        if (parapet == m_Occupied) {
            parapet->free = true;
            break;
        }
    m_Occupied = nullptr;
}

void CIAEnemyCover::Occupy(TParapet* parapet, std::uint32_t index, TParapet* previous)
{
    m_Occupied = parapet;
    if (previous && previous->name == parapet->name)
        m_Previous = nullptr;
    m_CoverYaw = YawFromDirection(parapet->pt_fin - parapet->pt_ini) + kQuarterTurn;
    PickCoverTarget(*parapet);
    parapet->free = false;
    m_ForceCoverChoice = false;
    m_ParapetIndex = index;
}

void CIAEnemyCover::PickCoverTarget(const TParapet& parapet)
{
    m_CoverEndUnplaced = false;
    if (!parapet.high) {
        m_HighParapet = false;
        m_CoverTarget = parapet.transform.GetPosition();
        return;
    }
    m_HighParapet = true;
    const bool startNearer = ManhattanDistanceXZ(m_Own, parapet.pt_ini) < ManhattanDistanceXZ(m_Own, parapet.pt_fin);
    m_CoverTarget = startNearer ? parapet.pt_ini : parapet.pt_fin;
    m_NearEndIsStart = startNearer;
    // Chosen before the enemy was placed (a state set as the level loads):
    // the end is picked again once it stands somewhere.
    m_CoverEndUnplaced = !m_Placed;
}

TParapet* CIAEnemyCover::ChooseCoverPoint()
{
    m_Parapets = getEnemySenses().Parapets();
    TParapet* previous = m_Occupied;
    m_Previous = previous;
    if (m_Occupied)
        m_Occupied->free = true;
    m_Occupied = nullptr;

    CEnemyManager* manager = getEnemyManager();
    const char zone = manager->GetZoneLetter();
    const bool crowdedSearch = m_State == SEARCHING && manager->GetSearchingCount() >= 2;
    const bool attack = m_Owner->GetLife() >= m_LifeLimitToBeHurt && !m_ForceCoverChoice && !crowdedSearch;
    const float range = m_Owner->GetWeapon() ? m_Owner->GetWeapon()->GetRatioOfShot() : 0.0f;
    float best = 600.0f;
    int winner = -1;
    for (size_t i = 0; i < m_Parapets.size(); ++i) {
        TParapet* p = m_Parapets[i];
        if (!p || p->kind == 'P' || p->zone != zone || !p->free || IsCoverPointUnusable(p))
            continue;
        const D3DXVECTOR3 centre = p->transform.GetPosition();
        const float own = ManhattanDistanceXZ(m_Own, centre);
        if (attack && (ManhattanDistanceXZ(m_Hero, centre) > range || !(m_Distance > own + 100.0f)))
            continue;
        if (own < best) {
            best = own;
            winner = static_cast<int>(i);
        }
    }
    if (winner < 0) {
        m_CoverYaw = 0.0f;
        m_ParapetIndex = 0;
        m_CoverTarget = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        return nullptr;
    }
    Occupy(m_Parapets[winner], static_cast<std::uint32_t>(winner), previous);
    return m_Occupied;
}

bool CIAEnemyCover::TakeNamedCoverPoint(const std::string& name)
{
    m_Parapets = getEnemySenses().Parapets();
    for (size_t i = 0; i < m_Parapets.size(); ++i) {
        TParapet* p = m_Parapets[i];
        if (!p || p->name != name)
            continue;
        // Another enemy's cover is not taken from it, named or not.
        if (!p->free && p != m_Occupied)
            return false;
        TParapet* previous = m_Occupied;
        m_Previous = previous;
        // The invariant holds here too: only what this enemy holds is taken.
        if (m_Occupied && m_Occupied != p)
            m_Occupied->free = true;
        Occupy(p, static_cast<std::uint32_t>(i), previous);
        m_NamedCover = true;
        return true;
    }
    return false;
}


void CIAEnemyCover::UpdateView()
{
    CLocation& place = m_Owner->GetPosition();
    place.AddYaw(WrapAngle(place.AngleTo(getEnemySenses().HeroPlacement().GetPosition())));
    m_Owner->PlaceEntity();
}

void CIAEnemyCover::setYawFromScript(float yaw)
{
    m_Owner->GetPosition().SetYaw(yaw);
    m_Owner->PlaceEntity();
}

bool CIAEnemyCover::botIsInAction()
{
    return m_State != IDLE && m_State != WAITING && m_State != ACTING;
}

void CIAEnemyCover::becomeATorretGuy()
{
    m_CanMove = false;
}

void CIAEnemyCover::destroyThisGuy()
{
    m_Owner->SetLife(0);
    m_Dying = true;
    m_State = DEAD;
    m_Owner->RemoveMarker();
    if (CCharacterEntity* entity = m_Owner->GetEntity())
        entity->SetVisible(false);
    m_Regenerating = false;
    FreeParapet();
    if (m_Owner->GetName() != "ene_Avioneta")
        RemoveBody();
    m_Destroyed = true;
}

// --- the enemy -----------------------------------------------------------------

CEnemy::CEnemy(std::string name) : m_Name(std::move(name))
{
    ++g_LiveEnemies;
}

CEnemy::~CEnemy()
{
    // The particles keep their own share of the marker.
    delete m_Entity;
    --g_LiveEnemies;
}

int CEnemy::LiveCount()
{
    return g_LiveEnemies;
}

void CEnemy::Load(CXMLAttributes a, const std::string& file)
{
    m_StepAiming = a.GetFloat("stepAiming", 0.0f);
    m_Name = a.GetString("name", "ID_INVALID");
    m_Step = a.GetFloat("step", 4.5f);
    m_Turn = a.GetFloat("turn", 0.0f);
    m_TopLife = static_cast<std::uint16_t>(a.GetInt("topLife", 0));
    m_Life = static_cast<short>(m_TopLife);
    CreateWeapon(a);
    const std::string model = a.GetString("model", "");
    m_DockWorkerSkin = model == "portuario";
    m_WhiteSkin = model == "enemyWhite";
    delete m_Entity;
    m_Entity = getModelsManager().CreateModelInstance(model);
    if (m_Entity)
        m_Entity->GetTransform().SetPitch(0.0f);
    m_IA = std::make_unique<CIAEnemyCover>(this, a);
    m_IA->Init();
    m_BloodApplied = false;
    m_MarkerPending = true;
}

void CEnemy::CreateWeapon(const CXMLAttributes& a)
{
    const std::string name = a.GetString("weapon", "gun");
    if (name == "thompson") {
        m_OwnedWeapon = std::make_unique<CThompson>();
    } else if (name == "shotgun") {
        m_OwnedWeapon = std::make_unique<CShotgun>();
    } else {
        // Every enemy fights with something: an unknown name would leave its
        // update and its death without a weapon to hold or drop.
        if (name != "gun")
            OutputDebugStringA(("Enemy " + m_Name + ": unknown weapon \"" + name + "\", given a gun\n").c_str());
        m_OwnedWeapon = std::make_unique<CGun>();
    }
    SetWeapon(m_OwnedWeapon.get());
}

std::string CEnemy::WeaponWord() const
{
    return EnemyWeaponWord(m_Weapon ? m_Weapon->GetName() : "");
}

void CEnemy::PlaceEntity()
{
    if (!m_Entity)
        return;
    m_Entity->GetTransform().SetPosition(m_Location.GetPosition());
    m_Entity->GetTransform().SetYaw(m_Location.GetYaw());
}

void CEnemy::RemoveMarker()
{
    if (!m_Marker)
        return;
    getParticleManager().RemoveEmitter(m_Marker.get());
    m_Marker.reset();
}

void CEnemy::UpdateMarker()
{
    const D3DXVECTOR3 over = m_Location.GetPosition() + kMarkerLift;
    if (m_MarkerPending && !getCamera().IsFreeCamera() && getEnemyManager()->GetCurrentWave() != "wave_00" &&
        (m_Name.size() <= 4 || m_Name[4] != '5' || m_Name.size() == 5)) {
        m_MarkerPending = false;
        m_Marker = getParticleManager().CreateEmitter(getParticleTypes().FindSystemType("aviso_enemigo"), over,
                                                      D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    }
    if (!m_MarkerPending && m_Marker)
        m_Marker->SetPosition(over.x, over.y, over.z);
}

void CEnemy::UpdateMuzzle()
{
    if (!m_Entity)
        return;
    D3DXMATRIX bone = m_Entity->GetBoneMatrix("EBip01 pipa");
    D3DXMATRIX world;
    D3DXMatrixMultiply(&world, &bone, &m_Entity->GetTransform().GetMatrix());
    m_Muzzle.SetPosition(D3DXVECTOR3(world._41, world._42, world._43));
    m_Muzzle.SetYaw(m_Location.GetYaw());
    // Its shots leave from the weapon (the plane's hidden gunner's too): the
    // weapon is where the muzzle is.
    if (m_Weapon)
        m_Weapon->PlaceInHand(bone, m_Entity->GetTransform());
}

void CEnemy::Update(float step)
{
    UpdateMarker();

    const std::uint16_t state = m_IA ? m_IA->GetState() : std::uint16_t{CIAEnemyCover::IDLE};
    const bool animationMoves = m_IA && (state == CIAEnemyCover::JUMPING_COVER || m_IA->GetFinisherFlag());
    if (!animationMoves) {
        const auto& bodies = getCollisionManager().GetEnemyBodies();
        auto body = bodies.find(m_Name);
        if (body != bodies.end() && body->second.Exists())
            m_Location.SetPosition(body->second.position);
    }

    if (m_Entity && !(m_IA && m_IA->IsDestroyed()))
        m_Entity->Update(step);

    // "ene_50" fights the final combo in place: its fight animations must
    // not walk it out of the hero's hands. His finishers are the exception:
    // they carry him where the hero's moves throw him.
    if (m_Entity && !(state == CIAEnemyCover::FIGHTING && m_Name == "ene_50" && !animationMoves)) {
        const D3DXVECTOR3 travel = m_Entity->TakeDisplacement();
        const float yaw = m_Location.GetYaw();
        const D3DXVECTOR3 forward = DirectionFromYaw(yaw);
        const D3DXVECTOR3 side = DirectionFromYaw(WrapAngle(yaw - D3DX_PI / 2));
        const D3DXVECTOR3 motion = forward * travel.z + side * travel.x;
        if (animationMoves)
            m_Location.SetPosition(m_Location.GetPosition() + D3DXVECTOR3(motion.x, 0.0f, motion.z));
        else
            getCollisionManager().SetEnemyWalkDirection(m_Name, D3DXVECTOR3(motion.x, 0.0f, motion.z));
    }
    PlaceEntity();
    UpdateMuzzle();

    if (m_IA)
        m_IA->Update(step);
    if (m_Weapon)
        m_Weapon->Update(step);
}
