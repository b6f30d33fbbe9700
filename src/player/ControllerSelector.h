// Which of the hero's controllers is current, with the state name that goes
// with it: "FREE", "AIMING", "PARAPETED" or "FIGHTING".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CAimingController;
class CEnemy;
class CFightingController;
class CParapetedController;
class CPlayerFreeController;
class IController;

class CControllerSelector {
public:
    // The aiming, fighting and free controllers; the free one current.
    CControllerSelector();
    ~CControllerSelector();
    CControllerSelector(const CControllerSelector&) = delete;
    CControllerSelector& operator=(const CControllerSelector&) = delete;

    void SwitchToFree(bool reload, bool run);
    void SwitchToAiming();
    // Cover at the parapet (index into the scenario's list) and the point;
    // every entry after a LeaveParapet starts a fresh cover controller. An
    // index the current room does not have is refused: nothing changes.
    void SwitchToParapeted(std::uint16_t parapet, float x, float y, float z);
    // The cover controller gets up and out of its parapet, then as
    // SwitchToFree at once; out of cover already, only the parapet he still
    // holds is let go of.
    void LeaveParapet();
    void SwitchToFighting(CEnemy* opponent, int kind);

    // Hands a hit to the controller of the current state, which takes it in
    // its next update; (x, y, z) is the shooter's point.
    void ForwardHit(bool pending, std::uint16_t damage, float x, float y, float z);
    float GetTimeSinceHit() const { return m_TimeSinceHit; }
    void SetTimeSinceHit(float seconds) { m_TimeSinceHit = seconds; }

    std::string GetStateName() const { return m_State; }
    bool IsFree() const { return m_State == "FREE"; }
    bool IsParapeted() const { return m_State == "PARAPETED"; }
    bool IsFighting() const { return m_State == "FIGHTING"; }
    bool IsPlayerDead() const;
    bool IsReadyToShoot() const;
    bool IsPeeking() const;
    bool IsInCoverPose() const;
    bool IsJumpingParapet() const;
    // Turns the hero at once to face the point.
    void FacePoint(float x, float y, float z);

    IController* GetCurrent() const { return m_Current; }
    CPlayerFreeController* GetFreeController() const { return m_Free.get(); }
    CAimingController* GetAimingController() const { return m_Aiming.get(); }
    CParapetedController* GetParapetedController() const { return m_Parapeted.get(); }
    CFightingController* GetFightingController() const { return m_Fighting.get(); }

private:
    std::unique_ptr<CAimingController> m_Aiming;
    std::unique_ptr<CFightingController> m_Fighting;
    std::unique_ptr<CPlayerFreeController> m_Free;
    std::unique_ptr<CParapetedController> m_Parapeted;
    IController* m_Current = nullptr;
    std::string m_State = "FREE";
    // The cover controller holds a parapet taken since the last LeaveParapet.
    bool m_ParapetedReusable = false;
    float m_TimeSinceHit = 0.0f;
};
