// An enemy: a character with its weapon and its cover-shooter AI.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "enemies/EnemyAnimNames.h"
#include "platform/d3dx9math.h"
#include "player/Human.h"
#include "xml/XMLAttributes.h"

class CEnemy;
class CCharacterEntity;
class CParticleEmitter;
struct TParapet;

// What every enemy brain offers the enemy that carries it.
class IAIController {
public:
    virtual ~IAIController() = default;
    virtual void Init() = 0;
    virtual void Update(float seconds) = 0;
    virtual void Idle() {}
    void ForwardIdle() { Idle(); }
};

// The cover-shooter state machine of one enemy.
class CIAEnemyCover : public IAIController {
public:
    // AI state codes that other parts of the game compare.
    enum : std::uint16_t {
        PATROL = 0,
        SHOOTING = 1,
        SEARCHING = 2,
        MOVE_TO_COVER = 3,
        COVER = 4,
        FIGHTING = 5,
        SHOOTING_FROM_COVER = 7,
        DEAD = 8,
        IDLE = 10,
        RELOAD = 12,
        ALARMED = 13,
        ROLL = 14,
        KAMIKAZE = 16,
        EVADE = 20,
        ACTING = 21,
        WAITING = 22,
        JUMPING_COVER = 23,
        AIMING_THOMPSON = 24,
        DOCKERS = 25,
    };

    // Reads the tuning of the enemy's type merged with its own attributes.
    CIAEnemyCover(CEnemy* owner, CXMLAttributes attributes);

    // Back to the first patrol point; fewer than two points patrol on the spot.
    void Init() override;
    // One frame of the state machine.
    void Update(float seconds) override;
    // Enters a state by its script name; unknown names are only stored.
    void SetState(std::string name);
    // Whether SetState knows the name.
    static bool IsStateName(const std::string& name);

    std::uint16_t GetState() const { return m_State; }
    // The label of the state that ran last ("SHOOTING", ...).
    const std::string& GetLabel() const { return m_Label; }
    // The state kept while evading (counted with the wave's searchers).
    std::int32_t GetSecondState() const { return m_SavedState; }
    const std::string& GetRequestedState() const { return m_RequestedState; }
    // The enemy was removed from play.
    bool IsDestroyed() const { return m_Destroyed; }
    bool IsDying() const { return m_Dying; }
    // A scripted animation plays (the weapon is not put in the hand meanwhile).
    bool IsInScriptAnimation() const { return m_ScriptAnimation; }
    // A hit docker has ducked for good.
    bool IsDockerDone() const { return m_DockerDone; }
    bool GetFinisherFlag() const { return m_Finisher; }
    void SetFinisherFlag(bool on) { m_Finisher = on; }
    bool CanMove() const { return m_CanMove; }
    bool DiesWithoutAnimation() const { return m_DieWithoutAnimation; }
    const std::string& GetScriptName(int index) const { return m_Scripts[index]; }
    std::uint16_t GetNumOfScripts() const { return m_NumOfScripts; }
    float GetNearDist() const { return m_NearDist; }
    std::uint16_t GetAccuracy() const { return m_Accuracy; }
    float GetDistance() const { return m_Distance; }
    bool IsNear() const { return m_Near; }
    bool IsFightingPartner() const { return m_FightingPartner; }
    void SetFightingPartner(bool on) { m_FightingPartner = on; }
    float GetClock() const { return m_Clock; }
    bool IsRegenerating() const { return m_Regenerating; }
    const D3DXVECTOR3& GetLastKnownHeroPosition() const { return m_LastKnownHero; }
    std::uint16_t GetShotsPerAttack() const { return m_ShotsPerAttack; }
    std::uint32_t GetRollCounter() const { return m_RollCounter; }
    // Shots fired in the current attack, and the wait before its first.
    std::uint16_t GetShotCounter() const { return m_ShotCounter; }
    float GetShotTimer() const { return m_ShotTimer; }
    // Counts down every frame; a dodge sets it to keep the next one away.
    float GetStateTimer() const { return m_StateTimer; }
    bool IsReloading() const { return m_Reloading; }
    float GetReloadTimer() const { return m_ReloadTimer; }
    float GetReloadDuration() const { return m_ReloadDuration; }
    float GetMoveToCoverTimer() const { return m_MoveToCoverTimer; }
    bool IsRollRunning() const { return m_RollRunning; }
    bool WillSearchAfterJump() const { return m_SearchAfterJump; }
    void AddRollCount(std::uint32_t n) { m_RollCounter += n; }

    void SetSpawnPosition(float x, float y, float z) { m_Home = D3DXVECTOR3(x, y, z); }
    const D3DXVECTOR3& GetSpawnPosition() const { return m_Home; }
    void SetPatrolPoints(std::vector<D3DXVECTOR3> points) { m_PatrolPoints = std::move(points); }
    const std::vector<D3DXVECTOR3>& GetPatrolPoints() const { return m_PatrolPoints; }
    const D3DXVECTOR3& GetDestination() const { return m_MoveTarget; }
    const D3DXVECTOR3& GetEvadePoint() const { return m_SavedTarget; }
    const D3DXVECTOR3& GetLastSeenOwnPosition() const { return m_NearOwn; }
    const D3DXVECTOR3& GetLastSeenPlayerPosition() const { return m_NearHero; }
    const D3DXVECTOR3& GetEventPointA() const { return m_EventPoints[0]; }
    void SetEventPointA(float x, float y, float z) { m_EventPoints[0] = D3DXVECTOR3(x, y, z); }
    const D3DXVECTOR3& GetEventPointB() const { return m_EventPoints[1]; }
    void SetEventPointB(float x, float y, float z) { m_EventPoints[1] = D3DXVECTOR3(x, y, z); }

    // Held by the final fight with no entry action.
    void EnterFighting() { m_State = FIGHTING; }
    // Alarmed by the hero's noise (restarts when already alarmed): runs to
    // where the hero was last heard.
    void EnterAlarmed();
    // Walks the patrol points, or home when there are fewer than two.
    void EnterPatrol();
    // Stands with its weapon until the hero shows up.
    void EnterIdle();
    // Standing in the open, aiming at the hero and firing in attacks.
    void EnterShooting();
    // Behind the held parapet: crouched, or standing at a high wall's end.
    void EnterCover();
    // Leaning out of cover to fire.
    void EnterShootingFromCover();
    // Rolls aside, turned a random way.
    void EnterRoll();
    // State 24, the plane's hidden gunner: bursts at the hero, the first
    // 3.2 s on.
    void EnterAimingThompson();
    // No state runs for this long; with a hit reaction the enemy reacts
    // when it ends (a hit's stagger, a cover exit).
    void Hold(float seconds, bool hitReaction);
    // A hit's damage handling starts the death; the update finishes it.
    void StartDying() { m_Dying = true; }

    // Cover: the nearest suitable parapet of the zone, or the one named.
    TParapet* ChooseCoverPoint();
    bool TakeNamedCoverPoint(const std::string& name);
    TParapet* GetOccupiedParapet() const { return m_Occupied; }
    TParapet* GetPreviousParapet() const { return m_Previous; }
    bool IsInCover() const { return m_InCover; }
    void SetInCover(bool on) { m_InCover = on; }
    bool IsHighParapet() const { return m_HighParapet; }
    bool IsNearEndTheStart() const { return m_NearEndIsStart; }
    float GetCoverYaw() const { return m_CoverYaw; }
    const D3DXVECTOR3& GetCoverTarget() const { return m_CoverTarget; }
    void SetForceCoverChoice(bool on) { m_ForceCoverChoice = on; }

    // Shared tests of the states.
    bool MeleeTest();
    bool IsInWeaponRange();
    bool RollTrigger();
    void AlarmTest();
    bool HasLineOfSight();

    // Perception and timing tests.
    bool IsPlayerWithinNearDist() const { return m_Distance < m_NearDist; }
    bool CanSeePlayer() const;
    bool IsPointInShotRange(const D3DXVECTOR3& point);
    bool IsNearOwnParapet() const;
    bool IsCoverPointUnusable(const TParapet* parapet) const;
    bool IsCoverTimeOver() const { return m_Clock - m_CoverStart > m_MaxTimeCovered; }
    bool IsShootFromCoverTimeOver() const;
    bool IsPlayerAimingAtMe();
    bool WantsNewPosition() const { return m_MoveFlag && m_CanMove; }
    // This frame's state asked to walk to its destination.
    bool IsMoving() const { return m_MoveFlag; }
    std::uint16_t GetPatrolIndex() const { return m_PatrolIndex; }
    bool IsCoverRequested() const { return m_CoverRequested; }
    void StartCoverClock() { m_CoverStart = m_Clock; }
    void StartLeanOutClock() { m_LeanOutStart = m_Clock; }

    // Life back after a quiet while; each climb to the top costs 9 of it.
    void Regenerate();
    // A hit: the quiet while starts again.
    void ResetRegeneration()
    {
        m_Regenerating = false;
        m_RegenClock = 0.0f;
    }
    void FreeParapet();

    // Script methods.
    void setTalkScript(std::string talk, float seconds);
    void setAnimScript(std::string animation, float seconds);
    void setDockersState();
    void setTrackerScript(bool tracking, std::string target);
    void setWaitingState(float seconds, std::string triggerLogic);
    void setSearchingState();
    void setMoveToCoverState(std::string coverPoint);
    // Faces the hero at once.
    void UpdateView();
    void setKamikazeState();
    void setYawFromScript(float yaw);
    // False while IDLE, WAITING or ACTING.
    bool botIsInAction();
    // The enemy keeps its place from now on.
    void becomeATorretGuy();
    // Life 0, DEAD, hidden, body removed, removed flag set.
    void destroyThisGuy();

    // A hit of the hero's on a body zone ("h", "bo", "la", "ra", "ll", "rl"
    // or "ba" for a barrel's blast) coming from point.
    void OnHit(std::uint16_t damage, std::string zone, D3DXVECTOR3 point);
    // Starts the death: a fall chosen from the last hit, or none at all.
    void Die(bool withoutAnimation);
    // Leaves the weapon on the ground as a pickup.
    void DropWeapon();
    const std::string& GetLastHitZone() const { return m_LastHitZone; }
    const D3DXVECTOR3& GetLastHitPoint() const { return m_LastHitPoint; }
    bool IsReactingToHit() const { return m_HitReaction; }
    bool IsHolding() const { return m_Hold; }
    float GetHoldTimer() const { return m_HoldTimer; }
    bool WasHitThisFrame() const { return m_HitThisFrame; }
    bool IsDockerHit() const { return m_DockerHit; }
    // Thrown by the flying pallet: dies without a fall of its own.
    void SetThrown(bool on) { m_DieWithoutAnimation = on; }
    // Thrown through the air by an exploding pallet: it dies when it lands.
    void StartFlyingPallet();
    // The death animation started and the cycle it lies in after.
    const std::string& GetDeathAnimation() const { return m_DeathAnimation; }
    const std::string& GetDeathCycle() const { return m_DeathCycle; }
    // The hit reaction started last.
    const std::string& GetReaction() const { return m_Reaction; }

    // Scripted and special states, the dockers and the Thompson turret.
    // Walks to the point (the detour round an obstacle), keeping the state
    // and target it came from; a second call keeps the first ones.
    void EnterEvade(D3DXVECTOR3 point, bool direct);
    // Back to the kept state and target, with no entry action.
    void LeaveEvade();
    // The name of the obstacle being walked round.
    void SetEvadedObstacle(std::string name) { m_PointName = name; }
    const std::string& GetEvadedObstacle() const { return m_PointName; }
    // Moved along the line to the hero until its ground distance lies
    // between 51 and 59.
    void PlaceAtFightingDistance();
    void UpdateDockers();
    void UpdateAimingThompson();
    bool IsTalking() const { return m_Talking; }
    bool IsTracking() const { return m_Tracking; }
    std::uint16_t GetTrackerIndex() const { return m_TrackerIndex; }
    bool IsWaitingForLogic() const { return m_Waiting; }
    std::uint16_t GetScriptIndex() const { return m_ScriptIndex; }
    // The name of the animation of that kind for this enemy's weapon.
    std::string AnimName(EnemyAnim kind) const;

private:
    void EnterFightingFromMelee();
    // Every cycle off, then the one given: "idle_"/"run_" plus the weapon.
    void PlayCycle(const char* prefix);
    void MoveTowards(const D3DXVECTOR3& point);
    void UpdatePatrol();
    void UpdateIdle();
    void UpdateAlarmed();
    void UpdateSearching();
    void UpdateShooting();
    void UpdateMoveToCover();
    void UpdateCover();
    void UpdateShootingFromCover();
    void UpdateReload();
    void UpdateRoll();
    // Leaves cover over the parapet when the way lies across it, else by
    // the exit animation on its own side.
    void JumpOverCover();
    // The shot of an attack, through the enemy's weapon.
    void FireShot();
    // The random wait before an attack's first shot, then a shot per cadence;
    // standing in the open the enemy may restart the attack instead.
    void FireWhenReady(bool standing);
    // Clears the shot counter and the first-shot wait.
    void ResetAttack();
    bool ClipEmpty() const;
    // The hero faces across the cover toward the enemy, from its far side.
    bool HeroBehindCoverLine() const;
    // Every cycle faded out, then the one cycle given.
    void BlendOnly(EnemyAnim cycle, float fade, float weight, float delay);
    float PlayOnce(EnemyAnim action, bool removeRunning);
    void RemoveRunningAction();
    // No state runs for this long (a hit reaction waiting is kept).
    void StartHold(float seconds);
    // Where to stand at the parapet: its centre, or the nearer end of a high one.
    void PickCoverTarget(const TParapet& parapet);
    // Counts only when the model plays something at all.
    bool PlaysNoCycle() const;
    void RunState();
    void RemoveBody();
    void PlayDeath(const char* action, const char* cycle);
    // Takes the parapet as the held one (cover facing, target, not free).
    void Occupy(TParapet* parapet, std::uint32_t index, TParapet* previous);

    // Scripted and special states.
    void UpdateActing();
    void UpdateWaiting();
    void UpdateKamikaze();
    void UpdateEvade();
    void UpdateFighting();
    void ActivateLogic(const std::string& name);
    // Every cycle off (fade 0.1), then the one of that kind.
    void BlendOnly(EnemyAnim kind, float weight = 1.0f, float delay = 0.1f) { BlendOnly(kind, 0.1f, weight, delay); }

    float m_TalkTimer = 0.0f;
    float m_ScriptAnimationTimer = 0.0f;
    bool m_Talking = false;
    bool m_Tracking = false;
    std::vector<D3DXVECTOR3> m_TrackerPoints;
    std::uint16_t m_TrackerIndex = 0;
    std::string m_WaitingLogic;
    bool m_Waiting = false;
    bool m_EvadeDirect = false;
    // Dockers and the Thompson turret: shots of this attack or burst, the
    // attack or burst under way, the pause before the next, and the burst's
    // first shots counted up to 13.
    std::uint16_t m_BurstCount = 0;
    bool m_Bursting = false;
    float m_BurstPause = 0.0f;
    std::uint16_t m_AimCounter = 0;
    bool m_RestartDockers = false;
    // The docker's one-shot animation and the time left of it.
    bool m_DockerActionPlaying = false;
    float m_DockerActionTimer = 0.0f;

    CEnemy* m_Owner;
    std::uint16_t m_State = IDLE;
    std::string m_Label;
    std::int32_t m_SavedState = 0;
    std::string m_RequestedState;
    std::vector<D3DXVECTOR3> m_PatrolPoints;
    std::uint16_t m_PatrolIndex = 0;
    D3DXVECTOR3 m_Home{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_Own{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_Hero{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_NearOwn{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_NearHero{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_LastKnownHero{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_MoveTarget{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_SavedTarget{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_EventPoints[2] = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};
    bool m_Near = false;
    float m_Distance = 0.0f;

    float m_NearDist = 0.0f;
    float m_ViewDist = 0.0f;
    float m_LostDist = 0.0f;
    float m_VisionAngle = 0.0f;
    float m_AlarmDist = 0.0f;
    std::uint16_t m_Accuracy = 80;
    std::uint16_t m_WillOfShootFromCover = 0;
    std::uint16_t m_MinTimeToShotFromCover = 0;
    std::uint16_t m_WillOfStandingShoot = 0;
    float m_MinDistanceToPlayerWhenChasing = 0.0f;
    float m_MaxTimeCovered = 0.0f;
    std::uint16_t m_MaxTimeShootingFromCover = 0;
    float m_SecondsToStartRegenerating = 0.0f;
    std::uint16_t m_BulletsToRoll[3] = {0, 0, 0};
    std::uint16_t m_MaxBulletsWithGun = 4;
    std::uint16_t m_MaxBulletsWithShotgun = 1;
    std::uint16_t m_MaxBulletsWithThompson = 25;
    std::uint16_t m_ShotsPerAttack = 0;
    std::uint16_t m_ShotCounter = 0;
    float m_ShotTimer = 0.0f;
    std::uint16_t m_LifeLimitToBeHurt = 0;
    std::uint16_t m_RegeneratingTax = 0;
    bool m_CanCover = true;
    bool m_CanMove = true;
    std::uint16_t m_NumOfScripts = 0;
    std::string m_ScriptsText;
    std::string m_Scripts[3];
    std::uint16_t m_ScriptIndex = 0;
    std::string m_TrackerStateName;

    float m_Clock = 0.0f;
    float m_PreviousClock = 0.0f;
    float m_LastStep = 0.0f;
    float m_StateTimer = 0.0f;
    float m_WaitingTimer = 0.0f;
    float m_CoverStart = 0.0f;
    float m_LeanOutStart = 0.0f;
    float m_RegenClock = 0.0f;
    float m_ReloadTimer = 0.0f;
    float m_ReloadDuration = 0.0f;
    float m_RollTimer = 0.0f;
    float m_MoveToCoverTimer = 0.0f;
    float m_LastShotClock = 0.0f;
    // The enemy's own position has been read once: it stands somewhere.
    bool m_Placed = false;
    // The held high parapet's end was picked before that.
    bool m_CoverEndUnplaced = false;
    float m_HoldTimer = 0.0f;
    bool m_Hold = false;
    bool m_HitReaction = false;
    bool m_FightingPartner = false;
    bool m_Regenerating = false;
    bool m_Reloading = false;
    bool m_RollRunning = false;
    bool m_SearchAfterJump = false;
    bool m_SkipNextFight = false;
    bool m_DockerHit = false;
    bool m_MoveFlag = false;
    bool m_NewPosition = false;
    char m_MoveMode = 'I';
    char m_SecondMode = 'N';
    std::string m_PointName;
    std::uint32_t m_RollCounter = 0;

    std::vector<TParapet*> m_Parapets;
    TParapet* m_Occupied = nullptr;
    TParapet* m_Previous = nullptr;
    std::uint32_t m_ParapetIndex = 0;
    bool m_InCover = false;
    float m_CoverYaw = 0.0f;
    D3DXVECTOR3 m_CoverTarget{0.0f, 0.0f, 0.0f};
    bool m_CoverRequested = false;
    bool m_ForceCoverChoice = false;
    bool m_HighParapet = false;
    bool m_NearEndIsStart = false;
    bool m_NamedCover = false;

    bool m_Dying = false;
    bool m_Destroyed = false;
    bool m_DieWithoutAnimation = false;
    bool m_ScriptAnimation = false;
    bool m_DockerDone = false;
    bool m_Finisher = false;
    std::string m_LastHitZone;
    D3DXVECTOR3 m_LastHitPoint{0.0f, 0.0f, 0.0f};
    bool m_HitThisFrame = false;
    std::string m_DeathAnimation;
    std::string m_DeathCycle;
    std::string m_Reaction;
};

// The pickup an enemy's weapon leaves: "obj_" + weapon word + "_" + the
// enemy's name, with two clips of rounds (a near-empty clip counts as 2).
struct DroppedWeapon {
    std::string name;
    std::uint16_t ammo = 0;
};
DroppedWeapon DroppedWeaponFor(const std::string& weaponName, const std::string& enemyName, std::uint16_t clip);

class CEnemy : public IHuman {
public:
    explicit CEnemy(std::string name = "");
    ~CEnemy() override;

    // Builds the enemy from its attribute map: tuning, weapon, skin, model
    // and AI. The file is not read.
    void Load(CXMLAttributes attributes, const std::string& file);
    void Update(float step) override;
    void reduceLife(std::uint16_t amount) override;

    std::string GetName() const { return m_Name; }
    CIAEnemyCover* getIA() { return m_IA.get(); }
    CCharacterEntity* GetEntity() const { return m_Entity; }
    // Where the shots leave the weapon: the hand's "EBip01 pipa" this frame.
    const CLocation& GetMuzzle() const { return m_Muzzle; }
    bool HasWarningMarker() const { return m_Marker != nullptr; }
    // How the weapon sits on the hand's "EBip01 pipa", in degrees about x, y
    // and z; the drawing counts the first from the back of the hand. The
    // game's weapon meshes are modelled in the hand's own frame.
    float weaponAngles[3] = {-180.0f, 0.0f, 0.0f};
    bool IsBloodApplied() const { return m_BloodApplied; }

    // Puts the model where the enemy stands and the way it faces.
    void PlaceEntity();
    // Takes the warning marker off the particles.
    void RemoveMarker();
    // The weapon word of the animation names: "ostrel", "escopeta" or "thompson".
    std::string WeaponWord() const;

    // Enemies alive in the process (reloads free the old ones).
    static int LiveCount();

private:
    void CreateWeapon(const CXMLAttributes& attributes);
    void UpdateMarker();
    void UpdateMuzzle();

    std::string m_Name;
    std::unique_ptr<CIAEnemyCover> m_IA;
    std::unique_ptr<IWeapon> m_OwnedWeapon;
    CCharacterEntity* m_Entity = nullptr;
    float m_DeathTime = 0.0f;
    bool m_DockWorkerSkin = false;
    bool m_WhiteSkin = false;
    bool m_BloodApplied = false;
    std::shared_ptr<CParticleEmitter> m_Marker;
    bool m_MarkerPending = true;
    CLocation m_Muzzle;
};
