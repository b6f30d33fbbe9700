#include "player/Controllers.h"

void CPlayerFreeController::OnActionPressed(int code)
{
    // Placeholder until the free controller is built.
}

void CPlayerFreeController::OnActionReleased(int code)
{
    // Placeholder until the free controller is built.
}

void CPlayerFreeController::Update(float seconds)
{
    // Placeholder until the free controller is built.
    m_WasHit = false;
}

void CAimingController::OnActionPressed(int code)
{
    // Placeholder until the aiming controller is built.
}

void CAimingController::OnActionReleased(int code)
{
    // Placeholder until the aiming controller is built.
}

void CAimingController::Update(float seconds)
{
    // Placeholder until the aiming controller is built.
    m_WasHit = false;
}

CParapetedController::CParapetedController(std::uint16_t parapet, float x, float y, float z)
{
    Init(parapet, x, y, z);
}

void CParapetedController::OnActionPressed(int code)
{
    // Placeholder until the cover controller is built.
}

void CParapetedController::OnActionReleased(int code)
{
    // Placeholder until the cover controller is built.
}

void CParapetedController::Update(float seconds)
{
    // Placeholder until the cover controller is built.
    m_WasHit = false;
}

void CParapetedController::Init(std::uint16_t parapet, float x, float y, float z)
{
    // Placeholder until the cover controller is built.
    m_Parapet = parapet;
    m_State = 38;
}

TParapet* CParapetedController::GetCurrentParapet()
{
    // Placeholder until the cover controller is built.
    return nullptr;
}

bool CParapetedController::SelectAdjacentParapetAtStart()
{
    // Placeholder until the cover controller is built.
    return false;
}

bool CParapetedController::SelectAdjacentParapetAtEnd()
{
    // Placeholder until the cover controller is built.
    return false;
}

void CFightingController::OnActionPressed(int code)
{
    // Placeholder until the fighting controller is built.
}

void CFightingController::OnActionReleased(int code)
{
}

void CFightingController::Update(float seconds)
{
    // Placeholder until the fighting controller is built.
}

void CCameraController::Hold(int code, bool held)
{
    switch (code) {
    case ACTION_FORWARD:
        forwardHeld = held;
        break;
    case ACTION_BACK:
        backHeld = held;
        break;
    case ACTION_LEFT:
        leftHeld = held;
        break;
    case ACTION_RIGHT:
        rightHeld = held;
        break;
    default:
        break;
    }
}
