// The hero's controllers: each turns the action codes into the hero's moves
// in one state (free movement, aiming, cover, fighting), and the camera
// controller keeps the movement keys the follow camera reads.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3dx9math.h"
#include "player/FightingController.h"
#include "player/IController.h"
#include "player/PendingHit.h"

class CEnemy;
struct TParapet;

// The cover point a parapet offers a hero standing there and looking along
// heading, when it offers one: free, a hero's parapet, not blocked, in reach,
// faced from its front, crossed by his line of sight; its middle within 110,
// else an end within 130, in front of him.
bool CoverPointAt(const TParapet& parapet, const D3DXVECTOR3& hero, float heading, D3DXVECTOR3* point);

// Running, rolling, reloading, taking cover, dying and reviving.
class CPlayerFreeController : public IController {
public:
    CPlayerFreeController();

    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override;
    void Update(float seconds) override;
    int GetStateCode() override { return m_State; }
    bool WasHit() override { return m_WasHit; }

    // Standing (30), running (31), dead (49), each with its animation.
    void ToIdle(bool unused);
    void ToRun();
    void ToDead();
    // Reloads with its animation and sound, standing.
    void StartReload();
    // Lets go of every held direction and forgets the running reload.
    void ResetMoveInputs();
    void SetHit(bool pending, std::uint16_t damage, float x, float y, float z) { m_Hit.Set(pending, damage, x, y, z); }
    bool IsHitPending() const { return m_Hit.pending; }

    // The next owned weapon, told apart by clip size, in the pose's cycle.
    void ChangeWeapon();
    // Looks for a cover point in reach, first along the camera's heading,
    // then along the hero's; true when one is found.
    bool FindCoverPoint();

    // A roll runs: the hero's update moves the body by the animation.
    bool IsRolling() const { return m_Rolling; }
    bool IsReadyToShoot() const { return m_ReadyToShoot; }
    bool IsNearCover() const { return m_NearCover; }
    std::uint16_t GetParapetIndex() const { return m_ParapetIndex; }
    const D3DXVECTOR3& GetCoverPoint() const { return m_CoverPoint; }
    float GetActionTimer() const { return m_ActionTimer; }
    float GetIdleTimer() const { return m_IdleTimer; }

private:
    void Roll();
    void PlayReload();
    void IdleUpdate();
    void RunUpdate();

    bool m_Rolling = false;
    bool m_ReadyToShoot = false;
    int m_State = 30;
    float m_FrameSeconds = 0.0f;
    bool m_TargetHeld = false;
    bool m_NearCover = false;
    std::vector<TParapet*> m_Parapets;
    std::uint16_t m_ParapetIndex = 0;
    D3DXVECTOR3 m_CoverPoint{0.0f, 0.0f, 0.0f};
    float m_ActionTimer = 0.0f;
    float m_IdleTimer = 0.0f;
    bool m_WasHit = false;
    float m_RollTimer = 0.0f;
    bool m_RollInProgress = false;
    PendingHit m_Hit;
};

// Aiming and firing, standing or walking.
class CAimingController : public IController {
public:
    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override;
    void Update(float seconds) override;
    int GetStateCode() override { return m_State; }
    bool WasHit() override { return m_WasHit; }

    // Enters the standing aim, unless a shot pose still holds.
    void Start();
    // Lets go of every held direction and of the trigger.
    void ResetMoveInputs();
    void SetHit(bool pending, std::uint16_t damage, float x, float y, float z) { m_Hit.Set(pending, damage, x, y, z); }
    bool IsHitPending() const { return m_Hit.pending; }
    bool IsReadyToShoot() const { return m_ReadyToShoot; }
    bool IsFireHeld() const { return m_FireHeld; }
    float GetAimTimer() const { return m_AimTimer; }

private:
    void Walk();
    void ReloadFromAim();
    void ChangeWeapon();
    // Fires while the trigger is held; a shot holds its pose for poseTime.
    void ShotStep(float poseTime);

    bool m_ReadyToShoot = false;
    bool m_FireHeld = false;
    int m_State = 52;
    float m_FrameSeconds = 0.0f;
    bool m_WasHit = false;
    bool m_Leaving = false;
    float m_AimTimer = 0.0f;
    bool m_TargetHeld = false;
    PendingHit m_Hit;
};

// Behind a parapet: moving along it, peeking, firing, jumping over, leaving.
class CParapetedController : public IController {
public:
    CParapetedController(std::uint16_t parapet, float x, float y, float z);

    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override;
    void Update(float seconds) override;
    int GetStateCode() override { return m_State; }
    bool WasHit() override { return m_WasHit; }

    // Takes cover afresh at the parapet (index into the scenario's list) and
    // point, forgetting whatever the previous cover left behind.
    void Init(std::uint16_t parapet, float x, float y, float z);
    void ResetMoveInputs();
    // Gives the parapet back to whoever wants it next.
    void ReleaseParapet();
    void SetHit(bool pending, std::uint16_t damage, float x, float y, float z) { m_Hit.Set(pending, damage, x, y, z); }
    bool IsHitPending() const { return m_Hit.pending; }

    // The parapet held now, or null.
    TParapet* GetCurrentParapet();
    // Hands the hero on to a free adjacent parapet of the same height at that
    // end of the current one; false when there is none.
    bool SelectAdjacentParapetAtStart();
    bool SelectAdjacentParapetAtEnd();

    // The cover moves change the pose code and its flags together.
    void SetPose(int code, bool covered, bool peek, bool readyToShoot, float jumpTimer)
    {
        m_State = code;
        m_Covered = covered;
        m_Peek = peek;
        m_ReadyToShoot = readyToShoot;
        m_JumpTimer = jumpTimer;
    }

    bool IsReadyToShoot() const { return m_ReadyToShoot; }
    // Crouched out of sight behind the parapet.
    bool IsCovered() const { return m_Covered; }
    // Out of cover to aim and fire.
    bool IsPeekingOut() const { return !m_Covered && m_Peek; }
    float GetJumpTimer() const { return m_JumpTimer; }

private:
    bool m_ReadyToShoot = false;
    bool m_Covered = true;
    bool m_Peek = false;
    float m_JumpTimer = 0.0f;
    int m_State = 38;
    bool m_WasHit = false;
    std::uint16_t m_Parapet = 0;
    PendingHit m_Hit;
};

// The movement keys as the follow camera reads them.
class CCameraController : public IController {
public:
    // A press is dropped while the camera flies on its own.
    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override { Hold(code, false); }
    void Update(float seconds) override {}
    int GetStateCode() override { return 0; }
    bool WasHit() override { return false; }

    bool NoDirectionHeld() const { return !forwardHeld && !backHeld && !leftHeld && !rightHeld; }

    bool forwardHeld = false;
    bool backHeld = false;
    bool leftHeld = false;
    bool rightHeld = false;

private:
    void Hold(int code, bool held);
};

// The one camera controller, shared by the hero's controllers.
CCameraController& getCameraController();
