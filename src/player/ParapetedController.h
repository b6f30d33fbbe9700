// The hero in cover behind a parapet of the current room: he walks to the
// cover point and turns his back to it, crouches behind a low parapet or
// stands behind a high one, slides along it and on to the next one, peeks out
// to aim and fire, reloads and changes weapon behind it, vaults a low one
// that allows it, and leaves it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx9math.h"
#include "player/Controllers.h"
#include "player/IController.h"

struct TParapet;

// The cover poses, each named after the parapet's height and the weapon in
// hand.
enum class CoverAnim {
    Enter,
    Idle,
    MoveToStart,  // along the parapet toward pt_ini
    MoveToEnd,    // toward pt_fin
    Exit,
    Reload,
    PeekOut,
    PeekBack,
    Aim,          // the aiming cycle while peeking
    Fire,
    StandIdle,    // the standing idle a vault starts from
    JumpBox,      // over a parapet of kind 'B'
    JumpMan,      // over any other
};

// The animation of a pose. `aimFromStart` is the aiming side of a high
// parapet (its pt_ini end); the weapon is told by its name: "GUN" the pistol,
// "SHOTGUN", anything else the Thompson.
std::string CoverAnimation(CoverAnim pose, bool low, bool aimFromStart, const std::string& weapon);
// Every name the poses can ask for, each once.
std::vector<std::string> CoverAnimationNames();

class CParapetedController : public IController {
public:
    // Takes cover at once (Init); the parapet is an index into the current
    // room's parapet list, the point where he is to crouch.
    CParapetedController(std::uint16_t parapet, float x, float y, float z);

    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override;
    void Update(float seconds) override;
    int GetStateCode() override { return m_State; }
    bool WasHit() override { return m_WasHit; }

    // Takes the parapet and starts the walk to the point (state 38).
    void Init(std::uint16_t parapet, float x, float y, float z);
    // Lets go of the keys that move him along the parapet, and of the trigger.
    void ReleaseMoveKeys();
    void SetHit(bool pending, std::uint16_t damage, float x, float y, float z) { m_Hit.Set(pending, damage, x, y, z); }
    bool IsHitPending() const { return m_Hit.pending; }
    // Gets up and out (state 39); free after a short wait.
    void LeaveCover();
    // Lets go of the parapet and hands the hero to the free controller at
    // once (a fatal hit).
    void Release();
    // Marks the parapet he holds free again; nothing once he has let go.
    void FreeParapet();

    // The parapet held now; null when the index is outside the list.
    TParapet* GetCurrentParapet();
    std::uint16_t GetCurrentIndex() const { return m_Index; }
    // Hands the cover on to a free parapet of the same height, turned less
    // than 0.5 rad from this one, whose pt_ini (AtStart) or pt_fin (AtEnd)
    // lies within 70 of the hero; false when there is none.
    bool SelectAdjacentParapetAtStart();
    bool SelectAdjacentParapetAtEnd();

    bool IsLowCover() const { return m_LowCover; }
    // Out from the pt_ini end of a high parapet.
    bool IsPeekingHigh() const { return !m_LowCover && m_AimFromStart; }
    bool IsJumpingOver() const { return m_JumpTimer > 0.0f && m_State == 37; }
    // A shot left the weapon in this update.
    bool IsReadyToShoot() const { return m_FiredThisFrame; }

    // A restart or a cut-scene takes the hero: nothing he held goes on.
    void ClearActionFlags() override { m_FiredThisFrame = m_FireHeld = false; }
    void ForgetFireHeld() { m_FireHeld = false; }

    bool IsAiming() const { return m_AimMode; }
    bool IsFireHeld() const { return m_FireHeld; }
    bool IsMovingToStart() const { return m_MovingToStart; }
    bool IsMovingToEnd() const { return m_MovingToEnd; }
    bool MayMoveToStart() const { return m_MayMoveToStart; }
    bool MayMoveToEnd() const { return m_MayMoveToEnd; }
    bool IsWaitingForInput() const { return m_InputWait; }
    float GetInputWait() const { return m_InputWaitTimer; }
    float GetJumpTimer() const { return m_JumpTimer; }
    float GetCoverYaw() const { return m_CoverYaw; }
    const D3DXVECTOR3& GetCoverPoint() const { return m_CoverPoint; }

private:
    // The parapet of the index, or null.
    TParapet* ParapetAt(std::size_t index) const;
    std::string Anim(CoverAnim pose) const;
    bool Jumpable();
    // The hero faces the cover's side (within a quarter turn of its heading).
    bool FacesCoverSide() const;
    void SetCurrentParapet(std::uint16_t index);
    bool SelectAdjacent(bool byStart);

    void BlendCycle(CoverAnim pose, float weight);
    void WaitForInput(float seconds);

    void WalkToCoverPoint();
    void ToCoverIdle();
    void StartMove(int code);
    void UpdateMove();
    void StartAiming();
    void UpdateAiming();
    void ReleaseAim();
    void Reload();
    void ReloadWhileAiming();
    void ChangeWeapon();
    void JumpOver();
    void UpdateJump();
    void FinishLeave();
    // Out in the open: the parapet given back and the free controller takes
    // over (reloading when asked).
    void LeaveToOpen(bool reload);
    // The forced exit: the planks of the two crate parapets are gone.
    bool CoverBroken();

    bool m_FiredThisFrame = false;
    bool m_FireHeld = false;
    float m_EnterTimer = 0.0f;
    int m_State = 38;
    float m_FrameStep = 0.0f;
    bool m_AimMode = false;
    bool m_ReloadAfterWait = false;
    bool m_AimTargetHold = false;
    bool m_MovingToStart = false;
    bool m_MovingToEnd = false;
    bool m_MayMoveToStart = false;
    bool m_MayMoveToEnd = false;
    float m_JumpTimer = 0.0f;
    std::uint16_t m_Index = 0;
    // The parapet of m_Index is marked taken by him.
    bool m_Holding = false;
    float m_CoverYaw = 0.0f;
    bool m_LowCover = true;
    // High parapets: aiming from the pt_ini end (else from pt_fin).
    bool m_AimFromStart = false;
    std::vector<TParapet*> m_Parapets;
    PendingHit m_Hit;
    bool m_WasHit = false;
    bool m_InputWait = false;
    float m_InputWaitTimer = 0.0f;
    bool m_GoToFreeAfterWait = false;
    bool m_GoToIdleAfterWait = false;
    D3DXVECTOR3 m_CoverPoint{0.0f, 0.0f, 0.0f};
};
