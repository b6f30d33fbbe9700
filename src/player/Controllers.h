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

class IWeapon;

// What the hero's controllers share.
// Menus and camera flights take the controls away: presses are dropped.
bool ControlsTaken();
// A scripted sequence (comic panels, a camera flight) is under way.
bool ScriptedSequence();
// Either pad shoulder or the Q key: the player keeps his aim target.
bool TargetInputHeld();
// The next owned weapon after the one in hand, which is told by its clip
// size: up to 6 the pistol, up to 20 the shotgun, above that the Thompson.
IWeapon* NextWeapon();
// Regeneration: the clock since the last hit runs on, and past `after`
// seconds the hero gains 3 life a frame.
void Regenerate(float seconds, float after);

// Running, rolling, reloading, taking cover, dying and reviving.
class CPlayerFreeController : public IController {
public:
    CPlayerFreeController();

    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override;
    void Update(float seconds) override;
    int GetStateCode() override { return m_State; }
    bool WasHit() override { return m_WasHit; }
    // A restart or a cut-scene takes him out of whatever he was doing.
    void ClearActionFlags() override
    {
        m_Rolling = false;
        m_ReadyToShoot = false;
        m_TargetHeld = false;
        m_NearCover = false;
    }

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
    const PendingHit& GetPendingHit() const { return m_Hit; }

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
    void ClearActionFlags() override
    {
        m_ReadyToShoot = false;
        m_FireHeld = false;
        m_TargetHeld = false;
    }

    // Enters the standing aim, unless a shot pose still holds.
    void Start();
    // Lets go of every held direction and of the trigger.
    void ResetMoveInputs();
    void SetHit(bool pending, std::uint16_t damage, float x, float y, float z) { m_Hit.Set(pending, damage, x, y, z); }
    bool IsHitPending() const { return m_Hit.pending; }
    bool IsReadyToShoot() const { return m_ReadyToShoot; }
    bool IsFireHeld() const { return m_FireHeld; }
    float GetAimTimer() const { return m_AimTimer; }
    void ForgetFireHeld() { m_FireHeld = false; }

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
