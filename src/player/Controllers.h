// The hero's controllers: each turns the action codes into the hero's moves
// in one state (free movement, aiming, cover, fighting), and the camera
// controller keeps the movement keys the follow camera reads.
#pragma once

#include <cstdint>

#include "player/IController.h"

struct TParapet;

// Running, rolling, reloading, taking cover, dying and reviving.
class CPlayerFreeController : public IController {
public:
    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override;
    void Update(float seconds) override;
    int GetStateCode() override { return m_State; }
    bool WasHit() override { return m_WasHit; }

private:
    int m_State = 30;
    bool m_WasHit = false;
};

// Aiming and firing, standing or walking.
class CAimingController : public IController {
public:
    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override;
    void Update(float seconds) override;
    int GetStateCode() override { return m_State; }
    bool WasHit() override { return m_WasHit; }

private:
    int m_State = 52;
    bool m_WasHit = false;
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

    // Takes cover at the parapet (index into the scenario's list) and point.
    void Init(std::uint16_t parapet, float x, float y, float z);
    // The parapet held now, or null.
    TParapet* GetCurrentParapet();
    // Hands the hero on to a free adjacent parapet of the same height at that
    // end of the current one; false when there is none.
    bool SelectAdjacentParapetAtStart();
    bool SelectAdjacentParapetAtEnd();

private:
    int m_State = 38;
    bool m_WasHit = false;
    std::uint16_t m_Parapet = 0;
};

// Melee fights and the final finisher chain.
class CFightingController : public IController {
public:
    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override;
    void Update(float seconds) override;
    int GetStateCode() override { return 43; }
    bool WasHit() override { return false; }

    // While a finishing move is under way.
    bool finisher = false;
};

// The movement keys as the follow camera reads them.
class CCameraController : public IController {
public:
    void OnActionPressed(int code) override { Hold(code, true); }
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
